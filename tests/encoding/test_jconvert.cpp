#include "encoding/jconvert.h"

#include "support/cp932_oracle.h"

#include <gtest/gtest.h>

#include <random>

using namespace jconvert;

namespace
{

struct Conversion {
    const char *name;
    std::string in;
    std::string out;
};

void PrintTo(const Conversion &c, std::ostream *os)
{
    *os << c.name;
}

std::string caseName(const ::testing::TestParamInfo<Conversion> &info)
{
    return info.param.name;
}

} // namespace

// Rows that hold in both directions.
class SjisEucPairs : public ::testing::TestWithParam<Conversion>
{
};

TEST_P(SjisEucPairs, BothWays)
{
    EXPECT_EQ(SjisToEuc(GetParam().in), GetParam().out);
    EXPECT_EQ(EucToSjis(GetParam().out), GetParam().in);
}

INSTANTIATE_TEST_SUITE_P(Characters, SjisEucPairs,
    ::testing::Values(Conversion { "hiragana_a", "\x82\xa0", "\xa4\xa2" },
        Conversion { "kanji_a", "\x88\x9f", "\xb0\xa1" }, Conversion { "katakana_a", "\x83\x41", "\xa5\xa2" },
        Conversion { "halfwidth_a", "\xb1", "\x8e\xb1" }, Conversion { "last_kanji_row", "\xea\xa4", "\xf4\xa6" },
        Conversion { "ascii_and_breaks", "a b\r\nc\rd\n~\\", "a b\r\nc\rd\n~\\" },
        Conversion { "mixed", "x\x82\xa0y\xb1\x88\x9f", "x\xa4\xa2y\x8e\xb1\xb0\xa1" }, Conversion { "empty", "", "" }),
    caseName);

class SjisToEucOnly : public ::testing::TestWithParam<Conversion>
{
};
TEST_P(SjisToEucOnly, Converts)
{
    EXPECT_EQ(SjisToEuc(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Arithmetic, SjisToEucOnly,
    ::testing::Values(Conversion { "final_lead_reads_nul", "\x82", "\xa3\xe1" },
        Conversion { "invalid_single_bytes_pair_up", "\x80\x41", "\x9f\xa2" },
        Conversion { "lead_swallows_a_break", "\x82\n", "\xa3\xeb" }),
    caseName);

class EucToSjisOnly : public ::testing::TestWithParam<Conversion>
{
};
TEST_P(EucToSjisOnly, Converts)
{
    EXPECT_EQ(EucToSjis(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Arithmetic, EucToSjisOnly,
    ::testing::Values(Conversion { "final_lead_reads_nul", "\xb0", "\x88\x7e" },
        Conversion { "final_single_shift_gives_nothing", "a\x8e", "a" },
        Conversion { "single_shift_copies_any_byte", "\x8e\x41\x8e\xdf", "A\xdf" },
        Conversion { "bytes_80_and_ff_copied", "\x80\xff", "\x80\xff" },
        Conversion { "three_byte_form_has_no_rule", "\x8f\xa2\xaf", "\x78\x41\x88\x1f" }),
    caseName);

// The arithmetic maps every JIS X 0208 position (leads up to 0xEF) back to itself; the user
// area and the IBM extensions (0xF0-0xFC) have no room in it.
TEST(SjisEucRoundTrip, EveryCharacterUpToLeadEF)
{
    int checked = 0;
    for (const auto &ch : cp932_oracle::validCharacters()) {
        if (ch.bytes.size() == 2 && static_cast<unsigned char>(ch.bytes[0]) > 0xEF) continue;
        const std::string euc = SjisToEuc(ch.bytes);
        ASSERT_EQ(EucToSjis(euc), ch.bytes) << ::testing::PrintToString(ch.bytes);
        ++checked;
    }
    EXPECT_GT(checked, 7000);
}

class Utf8ToSjisCases : public ::testing::TestWithParam<Conversion>
{
};
TEST_P(Utf8ToSjisCases, Converts)
{
    EXPECT_EQ(Utf8ToSjis(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Decoder, Utf8ToSjisCases,
    ::testing::Values(Conversion { "hiragana", "\xe3\x81\x82", "\x82\xa0" },
        Conversion { "halfwidth", "\xef\xbd\xb1", "\xb1" }, Conversion { "ascii", "a\r\n~\\", "a\r\n~\\" },
        Conversion { "empty", "", "" }, Conversion { "sjis_katakana_is_malformed", "\x83\x41", "" },
        Conversion { "sjis_hiragana_is_u00a0_not_in_cp932", "\x82\xa0", "?" },
        Conversion { "malformed_anywhere_gives_nothing", "\xe3\x81\x82\x83\x41", "" },
        Conversion { "lead_at_end", "a\xe3", "" }, Conversion { "three_byte_form_cut_short", "\xe3\x81", "" },
        Conversion { "four_byte_form_leaves_a_stray_byte", "\xf0\x9f\x98\x80", "" },
        Conversion { "lead_bytes_not_tested", "\xa3\x81\x82", "\x82\xa0" },
        Conversion { "surrogate_pair_is_one_char", "\xed\xa0\xbd\xed\xb8\x80", "?" },
        Conversion { "lone_surrogate",
            "\xed\xa0\x80"
            "a",
            "?a" },
        Conversion { "one_way_wave_dash", "\xe3\x80\x9c", "\x81\x60" },
        Conversion { "user_area", "\xee\x80\x80", "\xf0\x40" }, Conversion { "not_in_cp932", "\xc3\xa9", "?" }),
    caseName);

class SjisToUtf8Cases : public ::testing::TestWithParam<Conversion>
{
};
TEST_P(SjisToUtf8Cases, Converts)
{
    EXPECT_EQ(SjisToUtf8(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Encoder, SjisToUtf8Cases,
    ::testing::Values(Conversion { "hiragana", "\x82\xa0", "\xe3\x81\x82" },
        Conversion { "halfwidth", "\xb1", "\xef\xbd\xb1" }, Conversion { "ascii", "a\r\n~\\", "a\r\n~\\" },
        Conversion { "two_byte_form", "\x81\x8b", "\xc2\xb0" }, Conversion { "nec_row13", "\x87\x90", "\xe2\x89\x92" },
        Conversion { "ibm_extension", "\xfa\x40", "\xe2\x85\xb0" },
        Conversion { "invalid_bytes_become_dot", "\x80\xa0\xff", "\xe3\x83\xbb\xe3\x83\xbb\xe3\x83\xbb" },
        Conversion { "final_lead", "a\x82", "a\xe3\x83\xbb" },
        Conversion { "invalid_pair_keeps_ascii", "\x85\x41",
            "\xe3\x83\xbb"
            "A" },
        Conversion { "lead_before_break", "\x82\r\n", "\xe3\x83\xbb\r\n" },
        Conversion { "nul_passes", std::string("a\0b", 3), std::string("a\0b", 3) }, Conversion { "empty", "", "" }),
    caseName);

// The platform conversion agrees with iconv on every valid character, all in one buffer.
TEST(Cp932Platform, AgreesWithIconvOnValidText)
{
    std::string all, exact;
    for (const auto &ch : cp932_oracle::validCharacters()) {
        all += ch.bytes;
        if (ch.exact) exact += ch.bytes;
    }
    const auto utf16 = cp932_oracle::convert("UTF-16LE", "CP932", all);
    const auto utf8 = cp932_oracle::convert("UTF-8", "CP932", all);
    ASSERT_TRUE(utf16 && utf8);
    EXPECT_EQ(Cp932ToUtf16(all), cp932_oracle::toU16(*utf16));
    EXPECT_EQ(SjisToUtf8(all), *utf8);

    // And back, for the characters that come back as the same bytes.
    const auto exactUtf8 = cp932_oracle::convert("UTF-8", "CP932", exact);
    ASSERT_TRUE(exactUtf8);
    EXPECT_EQ(Utf8ToSjis(*exactUtf8), exact);
    EXPECT_EQ(Utf16ToCp932(Cp932ToUtf16(exact)), exact);
}

// Every BMP character iconv can encode is encoded the same way; the others give '?'.
TEST(Cp932Platform, EncodesLikeIconv)
{
    std::u16string encodable;
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        const std::u16string one(1, char16_t(u));
        const auto bytes = cp932_oracle::convert("CP932", "UTF-16LE", cp932_oracle::fromU16(one));
        if (bytes)
            encodable += char16_t(u);
        else
            ASSERT_EQ(Utf16ToCp932(one), "?") << u;
    }
    const auto want = cp932_oracle::convert("CP932", "UTF-16LE", cp932_oracle::fromU16(encodable));
    ASSERT_TRUE(want);
    EXPECT_EQ(Utf16ToCp932(encodable), *want);
}

TEST(Cp932Platform, NamesUseStandardUtf8)
{
    const std::string test = "\x83\x65\x83\x58\x83\x67"; // テスト
    const std::string utf8 = "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88";
    EXPECT_EQ(SjisToUtf8Name(test + ".tbl"), utf8 + ".tbl");
    EXPECT_EQ(Utf8ToSjisName(utf8 + ".tbl"), test + ".tbl");

    const struct {
        const char *name;
        std::string utf8;
        std::string sjis;
    } rows[] = {
        { "four_byte_form",
            "a\xf0\x9f\x98\x80"
            "b",
            "a?b" },
        { "stray_byte",
            "\xff"
            "a",
            "?a" },
        { "overlong", "\xc0\xaf", "??" },
        { "encoded_surrogate", "\xed\xa0\x80", "???" },
        { "cut_short", "\xe3\x81", "??" },
    };
    for (const auto &row : rows)
        EXPECT_EQ(Utf8ToSjisName(row.utf8), row.sjis) << row.name;
}

// Long texts are converted in pieces; a character split between two pieces must come out
// exactly as it does on its own.
TEST(Cp932Platform, LongTextEqualsItsCharacters)
{
    const auto &all = cp932_oracle::validCharacters();
    std::mt19937 rng(11);
    std::uniform_int_distribution<std::size_t> pick(0, all.size() - 1);
    std::string text, euc, utf8;
    std::u16string utf16;
    while (text.size() < 100000) {
        const auto &ch = all[pick(rng)];
        text += ch.bytes;
        euc += SjisToEuc(ch.bytes);
        utf8 += SjisToUtf8(ch.bytes);
        utf16 += Cp932ToUtf16(ch.bytes);
    }
    EXPECT_EQ(SjisToEuc(text), euc);
    EXPECT_EQ(SjisToUtf8(text), utf8);
    EXPECT_EQ(Cp932ToUtf16(text), utf16);
    EXPECT_EQ(Utf16ToCp932(utf16), Utf16ToCp932(Cp932ToUtf16(text)));
    EXPECT_EQ(Utf8ToSjis(utf8), Utf16ToCp932(utf16));
    EXPECT_EQ(Utf8ToSjis(utf8 + "\x83\x41"), "") << "malformed far from the start";
}
