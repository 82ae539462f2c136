#include "encoding/error_text_ja.h"
#include "encoding/message_quote.h"
#include "encoding/url_codec.h"

#include <gtest/gtest.h>

#include <functional>

using namespace url_codec;
using error::Kind;

namespace
{

struct Case {
    const char *name;
    std::string in;
    std::string out;
};
void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}
std::string caseName(const ::testing::TestParamInfo<Case> &info)
{
    return info.param.name;
}

} // namespace

class UrlEncodeCases : public ::testing::TestWithParam<Case>
{
};
TEST_P(UrlEncodeCases, Encodes)
{
    EXPECT_EQ(UrlEncode(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Bytes, UrlEncodeCases,
    ::testing::Values(Case { "space_plus_slash_tilde", "a b+c/d~e", "a+b%2Bc%2Fd%7Ee" },
        Case { "katakana_trail_is_a_letter", "\x83\x41", "%83A" }, Case { "hiragana", "\x82\xa0", "%82%A0" },
        Case { "line_break", "a\r\nb", "a%0D%0Ab" }, Case { "kept_set", "AZaz09!$'()*-.@_", "AZaz09!$'()*-.@_" },
        Case { "reserved_characters", ":?=&#%,;\"", "%3A%3F%3D%26%23%25%2C%3B%22" },
        Case { "control_and_high_bytes", "\x01\x7f\x80\xff", "%01%7F%80%FF" },
        Case { "nul_ends_input", std::string("ab\0cd", 5), "ab" }, Case { "empty", "", "" }),
    caseName);

class UrlDecodeCases : public ::testing::TestWithParam<Case>
{
};
TEST_P(UrlDecodeCases, Decodes)
{
    const auto r = UrlDecode(GetParam().in);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Bytes, UrlDecodeCases,
    ::testing::Values(Case { "lower_case_hex", "%e3%81%82", "\xe3\x81\x82" },
        Case { "upper_case_hex", "%E3%81%82", "\xe3\x81\x82" }, Case { "double_percent", "%%41", "%41" },
        Case { "plus_is_space", "a+b", "a b" }, Case { "encoded_plus", "%2b", "+" },
        Case { "line_break", "a%0D%0Ab", "a\r\nb" }, Case { "raw_bytes_copied", "\x82\xa0~/", "\x82\xa0~/" },
        Case { "nul_ends_input", std::string("ab\0%zz", 6), "ab" }, Case { "empty", "", "" },
        Case { "double_percent_before_zeros", "%%00", "%00" }),
    caseName);

TEST(UrlCodec, EveryByteComesBack)
{
    // Long enough for escapes to straddle every internal piece boundary.
    std::string all;
    for (int n = 0; n < 200; ++n)
        for (int b = 1; b < 256; ++b)
            all += char(b);
    const std::string encoded = UrlEncode(all);
    EXPECT_LE(encoded.size(), 3 * all.size());
    const auto r = UrlDecode(encoded);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, all);
}

TEST(UrlCodec, DecodingErrors)
{
    const struct {
        const char *name;
        std::string in;
        Kind error;
        std::size_t position;
        std::string found;
        std::string message;
    } rows[] = {
        { "truncated", "abc%4", Kind::TruncatedEscape, 4, "", "URL 表記用エンコード（%XX）文字列のエラー：位置 - 4" },
        { "invalid", "x%G1", Kind::BadEscape, 2, "%G1", "URL 表記エンコードでは許されない文字 (%G1)：位置 - 2" },
        { "lone_percent", "%", Kind::TruncatedEscape, 1, "", "" },
        { "after_double_percent", "%%%", Kind::TruncatedEscape, 3, "", "" },
        { "cut_by_nul",
            std::string("%4\0"
                        "1",
                4),
            Kind::TruncatedEscape, 1, "", "" },
        { "second_digit_invalid", "ab%4z", Kind::BadEscape, 3, "%4z", "" },
        { "shift_jis_after_percent", "%\x82\xa0", Kind::BadEscape, 1, "%\x82\xa0",
            "URL 表記エンコードでは許されない文字 (%あ)：位置 - 1" },
        // The NUL byte would end the text it is put into.
        { "nul_escape", "a%00b", Kind::BadEscape, 2, "%00", "URL 表記エンコードでは許されない文字 (%00)：位置 - 2" },
        { "control_after_percent", "%\t1", Kind::BadEscape, 1, "%\t1",
            "URL 表記エンコードでは許されない文字 (%\\x091)：位置 - 1" },
    };
    for (const auto &row : rows) {
        const auto r = UrlDecode(row.in);
        ASSERT_FALSE(r) << row.name;
        EXPECT_EQ(r.error().kind, row.error) << row.name;
        EXPECT_EQ(r.error().position, row.position) << row.name;
        EXPECT_EQ(r.error().found, row.found) << row.name;
        if (!row.message.empty()) {
            EXPECT_EQ(error_text_ja::Text(r.error()), row.message) << row.name;
        }
    }
}

// Input quoted in a message never carries a control code to the terminal or the message box.
TEST(QuotedInput, ControlsShownEscaped)
{
    const std::pair<std::string, std::string> rows[] = {
        { "http://x/a b", "http://x/a b" }, { "a\x1b[2J\r\n\x7f", "a\\x1B[2J\\x0D\\x0A\\x7F" },
        { "\xc3\xa9\xc2\x9b", "\xc3\xa9\\xC2\\x9B" }, // UTF-8: é, then the control U+009B
        { "\xb1\x82\xa0\x9b", "\xef\xbd\xb1\xe3\x81\x82\\x9B" }, // Shift_JIS: ｱ, あ, a lone 0x9B
    };
    for (const auto &[in, want] : rows)
        EXPECT_EQ(message_quote::Quoted(in), want) << in;
}

namespace
{

struct CommandCase {
    const char *name;
    std::function<error::Result<void>(std::string_view, std::string &)> command;
    std::string in;
    std::string out;
    bool ok = true;
    std::string message = {};
};
void PrintTo(const CommandCase &c, std::ostream *os)
{
    *os << c.name;
}
// The encoding commands cannot fail.
std::function<error::Result<void>(std::string_view, std::string &)> Encoding(std::string (*encode)(std::string_view))
{
    return [encode](std::string_view in, std::string &out) {
        out = encode(in);
        return error::Result<void>();
    };
}

} // namespace

class UrlCommands : public ::testing::TestWithParam<CommandCase>
{
};
TEST_P(UrlCommands, ResultText)
{
    std::string text;
    const error::Result<void> r = GetParam().command(GetParam().in, text);
    EXPECT_EQ(text, GetParam().out);
    EXPECT_EQ(r.has_value(), GetParam().ok);
    EXPECT_EQ(r ? std::string() : error_text_ja::Text(r.error()), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Commands, UrlCommands,
    ::testing::Values(CommandCase { "encode_whole_joins_lines", Encoding(EncodeWhole), "a b\r\nc", "a+b%0D%0Ac" },
        CommandCase {
            "encode_lines_keeps_breaks", Encoding(EncodeWholeLines), "a b\r\nc/\nd\r\r\n", "a+b\r\nc%2F\nd\r\r\n" },
        CommandCase { "encode_selection_adds_final_break", Encoding(EncodeSelectionLines), "a b\rc", "a+b\r\nc\r\n" },
        CommandCase { "encode_selection_empty", Encoding(EncodeSelectionLines), "", "" },
        CommandCase { "decode_whole", DecodeWhole, "a%0D%0Ab+c", "a\r\nb c" },
        CommandCase { "decode_whole_fails_unchanged", DecodeWhole, "ok\r\n%zz", "ok\r\n%zz", false,
            "URL 表記エンコードでは許されない文字 (%zz)：位置 - 5" },
        CommandCase { "decode_lines_keeps_breaks", DecodeWholeLines, "a%20\rb\n%41\r\n", "a \rb\nA\r\n" },
        // A line that decodes to a line break is not decoded again, and the last line is
        // still decoded: every line present at the start, exactly once.
        CommandCase { "decode_lines_each_once", DecodeWholeLines, "%2541%0D%0A\r\n%2542", "%41\r\n\r\n%42" },
        CommandCase { "decode_lines_keeps_lines_before_error", DecodeWholeLines, "a%20\r\nb%4\r\nc%20",
            "a \r\nb%4\r\nc%20", false, "URL 表記用エンコード（%XX）文字列のエラー：位置 - 2" },
        CommandCase { "decode_lines_stops_at_nul", DecodeWholeLines, "a+b\r\nx%00y\r\nc+d\r\n",
            "a b\r\nx%00y\r\nc+d\r\n", false, "URL 表記エンコードでは許されない文字 (%00)：位置 - 2" },
        CommandCase { "decode_selection", DecodeSelectionLines, "a%20\r\n%41", "a \r\nA\r\n" },
        CommandCase { "decode_selection_fails_unchanged", DecodeSelectionLines, "a%20\r\nb%4", "a%20\r\nb%4", false,
            "URL 表記用エンコード（%XX）文字列のエラー：位置 - 2" },
        CommandCase { "decode_selection_empty", DecodeSelectionLines, "", "" }),
    [](const auto &info) { return std::string(info.param.name); });
