// The cleanup commands read the text in place, tag by tag or line by line. They must give
// exactly what the whole-text rules give: every CR LF pair joined away first (unless its CR is
// a trail byte), then " src" made " href" (unless its space is a trail byte), then the scan.
// The references below are those rules written plainly over the whole text.
#include "text/func_lanzo.h"
#include "text/func_token.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace func_lanzo;

namespace
{

StringList refCutOutTags(std::string_view text)
{
    const std::string joined
        = func_token::ReplaceAllIgnoreCase(func_token::ReplaceAll(text, "\r\n", ""), " src", " href");
    StringList out;
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] == '<') {
            open = i;
        } else if (joined[i] == '>' && open != std::string::npos) {
            out.push_back(joined.substr(open, i - open + 1));
            open = std::string::npos;
        }
    }
    return out;
}

// The texts between a ">" and the next "<", empty ones included.
StringList refBetweenTags(std::string_view text)
{
    const std::string joined = func_token::ReplaceAll(text, "\r\n", "");
    StringList out;
    std::size_t close = std::string::npos;
    for (std::size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] == '>') {
            close = i;
        } else if (joined[i] == '<' && close != std::string::npos) {
            out.push_back(joined.substr(close + 1, i - close - 1));
            close = std::string::npos;
        }
    }
    return out;
}

StringList refRemoveTags(std::string_view text)
{
    StringList out;
    for (const std::string &s : refBetweenTags(text))
        if (!s.empty()) out.push_back(s);
    return out;
}

std::string refCleanText(std::string_view text)
{
    StringList kept;
    for (const std::string &s : refBetweenTags(text))
        if (!func_token::TrimBlanks(s).empty()) kept.emplace_back(func_token::TrimBlanks(s));
    return func_token::JoinCrLf(kept);
}

// The editor's lines: separated by CR LF; a CR LF at the very end starts no further line.
std::string refLineCommand(std::string_view text, bool trim)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\n' && text[i - 1] == '\r' && i - 1 >= start) {
            lines.emplace_back(text.substr(start, i - 1 - start));
            start = i + 1;
        }
    }
    const bool endsWithBreak = start == text.size() && !text.empty();
    if (start < text.size()) lines.emplace_back(text.substr(start));
    std::string out;
    bool first = true;
    for (const std::string &line : lines) {
        const std::string_view kept = trim ? func_token::TrimBlanks(line) : std::string_view(line);
        if (!trim && kept.empty()) continue;
        if (!first) out += "\r\n";
        first = false;
        out += kept;
    }
    if (endsWithBreak && !first) out += "\r\n";
    return out;
}

std::string refText(Cleanup command, std::string_view text)
{
    switch (command) {
    case Cleanup::CutOutTags:
        return func_token::JoinCrLf(refCutOutTags(text));
    case Cleanup::RemoveTags:
        return func_token::JoinCrLf(refRemoveTags(text));
    case Cleanup::TrimLines:
        return refLineCommand(text, true);
    case Cleanup::DeleteEmptyLines:
        return refLineCommand(text, false);
    case Cleanup::Clean:
        return refCleanText(text);
    }
    return {};
}

std::string wholeText(Cleanup command, std::string_view text)
{
    switch (command) {
    case Cleanup::CutOutTags:
        return CutOutTagsText(text);
    case Cleanup::RemoveTags:
        return RemoveTagsText(text);
    case Cleanup::TrimLines:
        return TrimLinesText(text);
    case Cleanup::DeleteEmptyLines:
        return DeleteEmptyLinesText(text);
    case Cleanup::Clean:
        return CleanText(text);
    }
    return {};
}

constexpr Cleanup kCommands[]
    = { Cleanup::CutOutTags, Cleanup::RemoveTags, Cleanup::TrimLines, Cleanup::DeleteEmptyLines, Cleanup::Clean };

// Texts made of the pieces that matter: angle brackets, CR and LF alone and in pairs, " src" in
// both cases and cut by a break, lead bytes (so that a CR, a space or an angle bracket becomes a
// trail byte), double-byte characters, blanks and NUL.
std::string randomText(std::mt19937 &rng)
{
    static const char *const pieces[] = { "<", ">", "\r\n", "\r", "\n", " ", " src", " SrC", " s\r\nrc", " \r\nsrc",
        "\x81", "\xe0", "\x9f", "\xfc", "\x82\xa0", "\x83\x41", "\x95\x5c", "a", "xy", "\t", "" /* a NUL */, "=", "'",
        "<img src='a.gif'>", "</p>" };
    std::uniform_int_distribution<std::size_t> count(0, 40), pick(0, std::size(pieces) - 1);
    std::string text;
    for (std::size_t n = count(rng); n > 0; --n) {
        const std::size_t k = pick(rng);
        if (*pieces[k] == '\0')
            text.push_back('\0');
        else
            text += pieces[k];
    }
    return text;
}

} // namespace

struct CleanupCase {
    const char *name;
    std::string text;
    StringList cut, removed;
    std::string cleaned;
};

void PrintTo(const CleanupCase &c, std::ostream *os)
{
    *os << c.name;
}

class CleanupEdges : public ::testing::TestWithParam<CleanupCase>
{
};

TEST_P(CleanupEdges, SameAsTheWholeTextRules)
{
    const CleanupCase &c = GetParam();
    EXPECT_EQ(CutOutTags(c.text), c.cut);
    EXPECT_EQ(RemoveTags(c.text), c.removed);
    EXPECT_EQ(CleanText(c.text), c.cleaned);
}

INSTANTIATE_TEST_SUITE_P(Table, CleanupEdges,
    ::testing::Values(CleanupCase { "BreakAfterLeadByteStays", "<a\x81\r\nb>c\x81\r\nd<", { "<a\x81\r\nb>" },
                          { "c\x81\r\nd" }, "c\x81\r\nd\r\n" },
        CleanupCase { "BreakAfterDoubleByteGoes", "<a\x81\x81\r\nb>c\x82\xa0\r\nd<",
            { "<a\x81\x81"
              "b>" },
            { "c\x82\xa0"
              "d" },
            "c\x82\xa0"
            "d\r\n" },
        CleanupCase { "SpaceAfterLeadByteIsNoSrc", "<a\x81 src=x><b\x81\x81 src=y>",
            { "<a\x81 src=x>", "<b\x81\x81 href=y>" }, {}, "" },
        CleanupCase { "TagAfterLeadByteStillRewritten", "\x81<a src=x>", { "<a href=x>" }, {}, "" },
        CleanupCase { "SrcCutByABreak", "<a \r\nSrC=x><b s\r\nrc=y>", { "<a href=x>", "<b href=y>" }, {}, "" },
        CleanupCase { "SrcWithoutSpaceStays", "<img\r\nsrc=x><a xsrc=y>", { "<imgsrc=x>", "<a xsrc=y>" }, {}, "" },
        CleanupCase { "AngleAfterLeadByteIsStillABracket", "<\x83>x<", { "<\x83>" }, { "x" }, "x\r\n" },
        CleanupCase { "BlanksAndBreaksTrimmed", "> \r\n x \r\n\t<>\r\n<", { "<>" }, { "  x \t" }, "x\r\n" },
        CleanupCase { "LoneBreaksStay", "<a\rb>\n<", { "<a\rb>" }, { "\n" }, "" },
        CleanupCase { "UnclosedTagAtTheEnd", "<p>t<a src", { "<p>" }, { "t" }, "t\r\n" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CleanupStream, RandomTextsGiveTheWholeTextResultInAnyBlocks)
{
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<std::size_t> flushSize(1, 64);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomText(rng);
        ASSERT_EQ(CutOutTags(text), refCutOutTags(text)) << ::testing::PrintToString(text);
        ASSERT_EQ(RemoveTags(text), refRemoveTags(text)) << ::testing::PrintToString(text);
        for (Cleanup command : kCommands) {
            const std::string want = refText(command, text);
            ASSERT_EQ(wholeText(command, text), want)
                << static_cast<int>(command) << " " << ::testing::PrintToString(text);
            // Streamed with a small block: the blocks put together are the whole result.
            const std::size_t flushAt = flushSize(rng);
            std::string out, joined;
            bool shortBlock = false;
            AppendCleanupText(command, text, out, flushAt, [&](std::string_view block) {
                shortBlock = shortBlock || block.size() < flushAt;
                joined.append(block);
            });
            joined += out;
            ASSERT_EQ(joined, want) << static_cast<int>(command) << " " << ::testing::PrintToString(text);
            ASSERT_FALSE(shortBlock);
            ASSERT_LT(out.size(), flushAt);
        }
    }
}
