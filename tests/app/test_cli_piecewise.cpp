// The text commands convert large inputs in pieces on two threads and write them in order; the
// output must be the whole-text result byte for byte, on text where every piece differs (so a
// piece written twice, or out of turn, shows).
#include "app/cli_commands.h"
#include "encoding/jconvert.h"
#include "encoding/url_codec.h"
#include "text/func_token.h"

#include "support/stdout_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>

namespace
{

using test_support::ReadFile;
using test_support::StdoutTo;

void WriteFile(const std::string &path, const std::string &data)
{
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
}

// About 3 MB of numbered Shift_JIS lines with every kind of line break.
std::string NumberedSjisLines()
{
    std::mt19937 rng(12);
    const char *const words[] = { "\x82\xa0", "\x88\x9f", "\xb1", "abc", "\x83\x41", " ", "%", "\x81\x60" };
    const char *const breaks[] = { "\r\n", "\n", "\r" };
    std::string text;
    for (int line = 0; text.size() < (3u << 20); ++line) {
        text += std::to_string(line);
        for (unsigned n = rng() % 40; n > 0; --n)
            text += words[rng() % 8];
        text += breaks[rng() % 3];
    }
    return text;
}

} // namespace

TEST(PiecewiseCommands, LargeInputsGiveTheWholeTextResult)
{
    using Convert = std::function<std::string(std::string_view)>;
    const std::string sjis = NumberedSjisLines();
    const std::string source = func_token::NormalizeLineBreaks(sjis);
    const std::string utf8 = jconvert::SjisToUtf8(source);
    const auto decodeRaw = [](std::string_view s) { return url_codec::UrlDecode(s).value_or("refused"); };
    struct Row {
        const char *name;
        const char *command;
        std::string input;
        Convert convert; // the whole-text result; null when the input is refused and stays
        int status;
    };
    const Row rows[] = {
        { "sjis2euc", "sjis2euc", sjis, [](std::string_view s) { return jconvert::SjisToEuc(s); }, 0 },
        { "euc2sjis", "euc2sjis", jconvert::SjisToEuc(source),
            [](std::string_view s) { return jconvert::EucToSjis(s); }, 0 },
        { "utf82sjis", "utf82sjis", utf8, [](std::string_view s) { return jconvert::Utf8ToSjis(s); }, 0 },
        { "utf82sjis_broken_at_the_end", "utf82sjis", utf8 + "\xe3\x81", nullptr, 1 },
        { "utf82sjis_broken_after_a_nul", "utf82sjis", utf8 + std::string("\0\xe3", 2),
            [](std::string_view s) { return jconvert::Utf8ToSjis(s); }, 0 },
        { "sjis2euc_nul_midway", "sjis2euc", sjis.substr(0, 2u << 20) + std::string(1, '\0') + sjis,
            [](std::string_view s) { return jconvert::SjisToEuc(s); }, 0 },
        { "encode", "encode", sjis, [](std::string_view s) { return url_codec::UrlEncode(s); }, 0 },
        { "decode", "decode", url_codec::UrlEncode(source), decodeRaw, 0 },
    };
    const std::string in = ::testing::TempDir() + "piecewise_in.txt";
    const std::string out = ::testing::TempDir() + "piecewise_out.txt";
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        WriteFile(in, row.input);
        cli_commands::Options options;
        options.command = row.command;
        options.file = in;
        int status;
        {
            StdoutTo redirect(out);
            status = cli_commands::RunTextCommand(options);
        }
        const std::string loaded = func_token::NormalizeLineBreaks(row.input);
        const std::string expected = func_token::NormalizeLineBreaks(row.convert ? row.convert(loaded) : loaded);
        const std::string written = ReadFile(out);
        EXPECT_EQ(status, row.status);
        ASSERT_EQ(written.size(), expected.size());
        EXPECT_TRUE(written == expected);
    }
}
