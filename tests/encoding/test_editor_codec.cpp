#include "encoding/editor_codec.h"

#include "support/cp932_oracle.h"

#include <gtest/gtest.h>

#include <random>

using editor_codec::Decode;
using editor_codec::DecodeLine;
using editor_codec::Encode;
using editor_codec::EncodeLine;

namespace
{

// Both directions of both forms; returns the first mismatch as a readable message.
::testing::AssertionResult roundTrips(const std::string &bytes)
{
    if (Encode(Decode(bytes)) != bytes)
        return ::testing::AssertionFailure() << "text form: " << ::testing::PrintToString(bytes);
    if (EncodeLine(DecodeLine(bytes)) != bytes)
        return ::testing::AssertionFailure() << "line form: " << ::testing::PrintToString(bytes);
    return ::testing::AssertionSuccess();
}

// What a byte read by itself decodes to.
char16_t single(unsigned char b)
{
    if (b < 0x80) return b;
    if (b >= 0xA1 && b <= 0xDF) return char16_t(0xFF61 + b - 0xA1);
    return char16_t(0xF700 + b);
}

} // namespace

TEST(EditorCodecRoundTrip, EveryStringOfOneAndTwoBytes)
{
    for (int a = 1; a < 256; ++a) {
        ASSERT_TRUE(roundTrips(std::string(1, char(a))));
        for (int b = 1; b < 256; ++b)
            ASSERT_TRUE(roundTrips(std::string { char(a), char(b) }));
    }
}

TEST(EditorCodecRoundTrip, EveryThreeByteStringOverTrickyBytes)
{
    // Line-break bytes, ASCII that doubles as a trail byte, half-width kana, lead bytes whose
    // pairs are valid, invalid or re-encode elsewhere, and the bytes no character uses.
    const unsigned char alphabet[] = { 0x0A, 0x0D, 0x41, 0x5C, 0x7E, 0x80, 0x81, 0x82, 0x87, 0x8E, 0xA0, 0xA1, 0xDF,
        0xE0, 0xED, 0xEE, 0xFA, 0xFC, 0xFD, 0xFF, 0x40, 0x9F };
    for (unsigned char a : alphabet)
        for (unsigned char b : alphabet)
            for (unsigned char c : alphabet)
                ASSERT_TRUE(roundTrips(std::string { char(a), char(b), char(c) }));
}

TEST(EditorCodecRoundTrip, RandomStrings)
{
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<int> length(0, 48), anyByte(1, 255), pick(0, 3);
    const char favoured[] = "\r\n\x82\xa0\x87\x90\xed\x40\xfa\x4a\x80\xff";
    for (int n = 0; n < 200000; ++n) {
        std::string s(std::size_t(length(rng)), '\0');
        for (char &c : s)
            c = pick(rng) == 0 ? favoured[std::size_t(anyByte(rng)) % (sizeof favoured - 1)] : char(anyByte(rng));
        ASSERT_TRUE(roundTrips(s));
    }
}

// Every character the platform decodes and encodes back to the same bytes is shown as itself;
// a pair that would come back as other bytes is shown as its two bytes.
TEST(EditorCodecDecode, ValidCharactersShowAsThemselves)
{
    int exact = 0;
    for (const auto &ch : cp932_oracle::validCharacters()) {
        const std::u16string got = DecodeLine(ch.bytes);
        if (ch.exact) {
            ++exact;
            ASSERT_EQ(got, std::u16string(1, ch.unit)) << ::testing::PrintToString(ch.bytes);
        } else {
            ASSERT_EQ(ch.bytes.size(), 2u);
            const std::u16string want { single(ch.bytes[0]), single(ch.bytes[1]) };
            ASSERT_EQ(got, want) << ::testing::PrintToString(ch.bytes);
        }
    }
    EXPECT_GT(exact, 9000);
}

struct DecodeCase {
    const char *name;
    std::string bytes;
    std::u16string text;
};

class EditorCodecDecodeCases : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(EditorCodecDecodeCases, DecodesAndComesBack)
{
    EXPECT_EQ(Decode(GetParam().bytes), GetParam().text);
    EXPECT_EQ(Encode(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Bytes, EditorCodecDecodeCases,
    ::testing::Values(DecodeCase { "hiragana", "\x82\xa0", u"\u3042" }, DecodeCase { "halfwidth", "\xb1", u"\uff71" },
        DecodeCase { "backslash_and_tilde", "\x5c\x7e", u"\\~" },
        DecodeCase { "nec_row13_reencodes_elsewhere", "\x87\x90", u"\uf787\uf790" },
        DecodeCase { "ibm_ext_selected_by_nec", "\xed\x40", u"\uf7ed@" },
        DecodeCase { "user_defined_area", "\xf0\x40", u"\ue000" }, DecodeCase { "crlf", "a\r\nb", u"a\nb" },
        DecodeCase { "lone_cr", "a\rb", u"a\uf70db" }, DecodeCase { "lone_lf", "a\nb", u"a\uf70ab" },
        DecodeCase { "lf_cr", "\n\r", u"\uf70a\uf70d" }, DecodeCase { "cr_crlf", "\r\r\n", u"\uf70d\n" },
        DecodeCase { "lead_before_crlf", "\x82\r\n", u"\uf782\n" },
        DecodeCase { "final_lead_byte", "a\x82", u"a\uf782" },
        DecodeCase { "invalid_pair_keeps_ascii_trail", "\x85\x41", u"\uf785A" },
        DecodeCase { "bytes_no_character_uses", "\x80\xa0\xfd\xfe\xff", u"\uf780\uf7a0\uf7fd\uf7fe\uf7ff" },
        DecodeCase { "control_characters", "\x01\x09\x1a\x1f\x7f", u"\x01\x09\x1a\x1f\x7f" },
        DecodeCase { "empty", "", u"" }),
    [](const auto &info) { return std::string(info.param.name); });

struct EncodeCase {
    const char *name;
    std::u16string text;
    std::string bytes;
    std::string lineBytes;
};

class EditorCodecEncodeCases : public ::testing::TestWithParam<EncodeCase>
{
};

// Text that never came from Decode: typed, pasted, or the document's own separators.
TEST_P(EditorCodecEncodeCases, TypedText)
{
    EXPECT_EQ(Encode(GetParam().text), GetParam().bytes);
    EXPECT_EQ(EncodeLine(GetParam().text), GetParam().lineBytes);
}

INSTANTIATE_TEST_SUITE_P(Text, EditorCodecEncodeCases,
    ::testing::Values(EncodeCase { "paragraph_separator", u"a\u2029b", "a\r\nb", "a?b" },
        EncodeCase { "line_separator", u"a\u2028b", "a\r\nb", "a?b" },
        EncodeCase { "cr_lf_is_one_break", u"a\r\nb", "a\r\nb", "a\r\nb" },
        EncodeCase { "lone_cr_is_a_break", u"a\rb", "a\r\nb", "a\rb" },
        EncodeCase { "nul_does_not_cut_the_text", std::u16string(u"a\0b", 3), "a?b", "a?b" },
        EncodeCase { "outside_bmp_is_one_char", u"a\U0001F600b", "a?b", "a?b" },
        EncodeCase { "lone_surrogates", std::u16string { u'\xd800', u'a', u'\xdc00' }, "?a?", "?a?" },
        EncodeCase { "not_in_code_page", u"\u4e02\u00e9", "??", "??" },
        EncodeCase { "one_way_mappings", u"\u00a5\u301c", "\x5c\x81\x60", "\x5c\x81\x60" },
        EncodeCase { "reserved_below_raw_bytes", u"\uf741", "?", "?" },
        EncodeCase { "raw_bytes", u"\uf782\uf7a0", "\x82\xa0", "\x82\xa0" }),
    [](const auto &info) { return std::string(info.param.name); });

// A URL box: what code page 932 cannot hold goes out as percent-encoded UTF-8, never as '?'.
TEST(EditorCodecUrl, PercentEncodesWhatCodePage932CannotHold)
{
    EXPECT_EQ(
        editor_codec::EncodeUrlLine(u"http://x/\u00fc\u20ac\u3042\uf782?"), "http://x/%C3%BC%E2%82%AC\x82\xa0\x82?");
    EXPECT_EQ(editor_codec::EncodeUrlLine(u"\U0001F600\u2029"), "%F0%9F%98%80%E2%80%A9");
    EXPECT_EQ(editor_codec::EncodeUrlLine(std::u16string { u'\xd800', u'a', u'\xdc00' }), "%EF%BF%BDa%EF%BF%BD");
}

TEST(EditorCodecLine, BreakBytesArePlain)
{
    EXPECT_EQ(DecodeLine("a\r\nb\rc\n"), u"a\r\nb\rc\n");
    EXPECT_EQ(EncodeLine(u"a\r\nb\rc\n"), "a\r\nb\rc\n");
}

// The fast forms copy runs of ASCII sixteen bytes (eight units) at a time; whatever stands where
// a run stops (a line break, a NUL, a lead byte, kana, a raw byte, the end) must come out exactly
// as one character at a time would make it.
TEST(EditorCodecFastPaths, MatchTheSimpleFormsOnRandomInput)
{
    using editor_codec::Breaks;
    std::mt19937 rng(77);
    const std::string specials[] = { "\r\n", "\r", "\n", std::string(1, '\0'), "\x82\xa0", "\x83\x41", "\xb1", "\x80",
        "\xff", "\x82", "\x82\r\n", "\x87\x90", "\xed\x40" };
    const std::u16string unitSpecials[] = { u"\n", u"\r", u"\r\n", std::u16string(1, u'\0'), u"\u2028", u"\u2029",
        u"\u3042", u"\uff71", u"\uf782", u"\uf70d", std::u16string { char16_t(0xD83D), char16_t(0xDE00) },
        std::u16string(1, char16_t(0xDC00)), u"\u00e9", u"\u007f" };
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        std::u16string units;
        while (bytes.size() < std::size_t(rng() % 80)) {
            const std::size_t run = rng() % 40;
            for (std::size_t i = 0; i < run; ++i) {
                const char c = char(0x20 + rng() % 0x5f);
                bytes += c;
                units += char16_t(c);
            }
            bytes += specials[rng() % std::size(specials)];
            units += unitSpecials[rng() % std::size(unitSpecials)];
        }
        for (const Breaks breaks : { Breaks::Text, Breaks::Line }) {
            std::u16string fast(bytes.size() + 16, u'\0'), simple(bytes.size() + 16, u'\0');
            fast.resize(editor_codec::DecodeInto(bytes, fast.data(), breaks));
            simple.resize(editor_codec::DecodeIntoSimple(bytes, simple.data(), breaks));
            ASSERT_EQ(fast, simple) << ::testing::PrintToString(bytes);
            std::string fastBytes(editor_codec::MaxEncodedSize(units.size()), '\0'), simpleBytes = fastBytes;
            fastBytes.resize(editor_codec::EncodeInto(units, fastBytes.data(), breaks));
            simpleBytes.resize(editor_codec::EncodeIntoSimple(units, simpleBytes.data(), breaks));
            ASSERT_EQ(fastBytes, simpleBytes) << round;
        }
    }
}
