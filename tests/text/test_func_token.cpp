#include "text/func_token.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace func_token;

namespace
{

// Shift_JIS characters used below: ア = 83 41 (trail byte 'A'), ー = 81 5B (trail byte '['),
// あ = 82 A0, 表 = 95 5C (trail byte '\').
const std::string kA = "\x83\x41";
const std::string kBar = "\x81\x5B";
const std::string kHiA = "\x82\xA0";

// ---- Straightforward references: walk from the first byte for every question. ----------

bool naiveIsTrail(const std::string &s, std::size_t p)
{
    std::size_t i = 0;
    while (i < p)
        i += IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
    return i != p;
}

bool naiveContains(const std::string &text, const std::string &pat, bool fold)
{
    auto eq = [&](char a, char b) {
        return fold ? std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b))
                    : a == b;
    };
    if (text.empty() || pat.empty()) return false;
    for (std::size_t p = 0; p + pat.size() <= text.size(); ++p) {
        bool match = true;
        for (std::size_t k = 0; k < pat.size() && match; ++k)
            match = eq(text[p + k], pat[k]);
        if (match && !naiveIsTrail(text, p)) return true;
    }
    return false;
}

std::string naiveReplace(const std::string &text, const std::string &oldText, const std::string &newText, bool fold)
{
    if (oldText.empty()) return text;
    std::string out;
    std::size_t p = 0;
    while (p < text.size()) {
        bool match = p + oldText.size() <= text.size();
        for (std::size_t k = 0; k < oldText.size() && match; ++k) {
            char a = text[p + k], b = oldText[k];
            match = fold ? std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b))
                         : a == b;
        }
        if (match && !naiveIsTrail(text, p)) {
            out += newText;
            p += oldText.size();
        } else {
            out += text[p++];
        }
    }
    return out;
}

bool naiveHasSuffix(const std::string &suffix, const std::string &text)
{
    if (suffix.empty() || suffix.size() > text.size()) return false;
    const std::size_t p = text.size() - suffix.size();
    return !naiveIsTrail(text, p) && text.compare(p, std::string::npos, suffix) == 0;
}

// The token splitter written position by position with CharAt, as the rules read.
StringList naiveTokens(const std::string &text, const std::string &delims)
{
    StringList tokens;
    const long n = static_cast<long>(CharCount(text));
    auto delim = [&](long p) { return IsDelimiterChar(delims, text, p); };
    long p = 1;
    while (delim(p))
        ++p;
    while (p <= n) {
        if (CharAt(text, p) == "\"") {
            const long start = p + 1;
            long end = start;
            while (CharAt(text, end) != "\"" && end <= n)
                ++end;
            tokens.push_back(MidChars(text, start, end - start));
            p = end + 1;
        } else {
            const long start = p;
            while (CharAt(text, p) != "\"" && !delim(p) && p <= n)
                ++p;
            tokens.push_back(MidChars(text, start, p - start));
        }
        while (delim(p))
            ++p;
    }
    return tokens;
}

std::string randomText(std::mt19937 &rng, std::size_t maxLen)
{
    static const std::vector<std::string> pieces = { "a", "A", "b", "B", " ", "\"", ":", "/", "[", "]", "-", "0", "\t",
        "\r", kA, kBar, kHiA, "\x83", "\x81", "\x5B" };
    std::uniform_int_distribution<std::size_t> len(0, maxLen), pick(0, pieces.size() - 1);
    std::string s;
    for (std::size_t i = len(rng); i > 0; --i)
        s += pieces[pick(rng)];
    return s;
}

} // namespace

// ---- Characters ---------------------------------------------------------------------

struct CharCase {
    std::string text;
    long start, count;
    std::string mid;
};
class MidCharsTest : public ::testing::TestWithParam<CharCase>
{
};
TEST_P(MidCharsTest, CountsCharactersNotBytes)
{
    const CharCase &c = GetParam();
    EXPECT_EQ(MidChars(c.text, c.start, c.count), c.mid);
    if (c.count == 1 && c.start >= 1) {
        EXPECT_EQ(CharAt(c.text, c.start), c.mid);
    }
}
INSTANTIATE_TEST_SUITE_P(Table, MidCharsTest,
    ::testing::Values(CharCase { "a" + kA + "b", 2, 1, kA }, // the double-byte character whole
        CharCase { "a" + kA + "b", 3, 1, "b" }, // counted in characters
        CharCase { "a" + kA + "b", 4, 1, "" }, // past the end
        CharCase { "a" + kA + "b", 2, 99, kA + "b" }, // a long range stops at the end
        CharCase { "abc", 0, 2, "ab" }, // a start below 1 counts from the first
        CharCase { "abc", -5, 1, "a" }, CharCase { "abc", 1, 0, "" }, CharCase { "abc", 1, -1, "" },
        CharCase { "ab\x83", 3, 1, "\x83" })); // a lead byte as last byte stands alone

TEST(CharCountTest, DoubleByteCharactersCountOnce)
{
    EXPECT_EQ(CharCount(""), 0u);
    EXPECT_EQ(CharCount(kA + kA), 2u);
    EXPECT_EQ(CharCount("a" + kHiA + "\x83"), 3u);
    EXPECT_EQ(CharAt("abc", 0), "");
    EXPECT_EQ(LeftChars(kA + "xy", 2), kA + "x");
}

struct DelimCase {
    std::string delims, text;
    long n;
    bool want;
};
class IsDelimiterCharTest : public ::testing::TestWithParam<DelimCase>
{
};
TEST_P(IsDelimiterCharTest, WholeCharactersOnly)
{
    const DelimCase &c = GetParam();
    EXPECT_EQ(IsDelimiterChar(c.delims, c.text, c.n), c.want);
}
INSTANTIATE_TEST_SUITE_P(Table, IsDelimiterCharTest,
    ::testing::Values(DelimCase { ":/", "a/b", 2, true }, DelimCase { ":/", "a/b", 1, false },
        DelimCase { "A", kA, 1, false }, // trail byte 'A' is not 'A'
        DelimCase { kA, "x" + kA, 2, true }, // double-byte delimiter
        DelimCase { kA, "A", 1, false }, DelimCase { ":", ":", 0, false }, DelimCase { ":", ":", 2, false },
        DelimCase { "", "a", 1, false }));

// ---- Fields and tokens ----------------------------------------------------------------

struct SplitCase {
    std::string text;
    StringList want;
};

class SplitTabFieldsTest : public ::testing::TestWithParam<SplitCase>
{
};
TEST_P(SplitTabFieldsTest, Fields)
{
    StringList fields = { "stale" };
    SplitTabFields(fields, GetParam().text);
    EXPECT_EQ(fields, GetParam().want);
}
INSTANTIATE_TEST_SUITE_P(Table, SplitTabFieldsTest,
    ::testing::Values(SplitCase { "a\tb", { "a", "b" } }, SplitCase { "a\t", { "a" } },
        SplitCase { "\tb", { "", "b" } }, SplitCase { "a\t\tb", { "a", "", "b" } }, SplitCase { "", {} },
        SplitCase { kA + kHiA + "\t", { kA + kHiA } }, SplitCase { "\"x\"", { "x" } }, SplitCase { "\"\"", { "" } },
        SplitCase { "\"", { "" } }, SplitCase { "\"x", { "\"x" } }, SplitCase { "\"a\tb\"", { "\"a", "b\"" } },
        SplitCase { "\"\"x\"\"", { "\"x\"" } }, // only one pair goes
        SplitCase { "\x83\x09\tb", { "\x83\x09", "b" } })); // trail byte 0x09

struct TokenCase {
    std::string text, delims;
    StringList want;
};
class SplitTokensTest : public ::testing::TestWithParam<TokenCase>
{
};
TEST_P(SplitTokensTest, Tokens)
{
    StringList tokens = { "stale" };
    SplitTokens(tokens, GetParam().text, GetParam().delims);
    EXPECT_EQ(tokens, GetParam().want);
}
INSTANTIATE_TEST_SUITE_P(Table, SplitTokensTest,
    ::testing::Values(TokenCase { "ab://cd/ef/g", ":/", { "ab", "cd", "ef", "g" } },
        TokenCase { "[00-99]", "[]- ", { "00", "99" } }, TokenCase { "say \"a b\" c", " ", { "say", "a b", "c" } },
        TokenCase { "ab\"cd\"", " ", { "ab", "cd" } }, TokenCase { "\"ab", " ", { "ab" } },
        TokenCase { "\"\"", " ", { "" } }, TokenCase { "ab \"", " ", { "ab", "" } }, TokenCase { "", " ", {} },
        TokenCase { "  ", " ", {} },
        TokenCase { "x" + kBar + "y", "[", { "x" + kBar + "y" } }, // trail byte '[' is no delimiter
        TokenCase { "x" + kA + "y", kA, { "x", "y" } }));

TEST(SplitRandomTest, TokensMatchCharacterByCharacterReference)
{
    std::mt19937 rng(7);
    StringList tokens;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = randomText(rng, 14);
        const std::string delims = randomText(rng, 3);
        SplitTokens(tokens, text, delims);
        ASSERT_EQ(tokens, naiveTokens(text, delims)) << "text=" << text << " delims=" << delims;
    }
}

// ---- Lines -----------------------------------------------------------------------------

class SplitLinesTest : public ::testing::TestWithParam<SplitCase>
{
};
TEST_P(SplitLinesTest, Lines)
{
    EXPECT_EQ(SplitLines(GetParam().text), GetParam().want);
}
INSTANTIATE_TEST_SUITE_P(Table, SplitLinesTest,
    ::testing::Values(SplitCase { "", {} }, SplitCase { "a\r\n\r\nb\r\n", { "a", "", "b" } },
        SplitCase { "a\rb\nc", { "a", "b", "c" } }, SplitCase { "a\n\r", { "a", "" } }, SplitCase { "\r\n", { "" } },
        SplitCase { "a\r\r", { "a", "" } }, SplitCase { std::string("a\r\nb\0c\r\nd", 9), { "a", "b" } }));

struct NormalizeCase {
    std::string in, out;
};
class NormalizeTest : public ::testing::TestWithParam<NormalizeCase>
{
};
TEST_P(NormalizeTest, EveryBreakBecomesCrLf)
{
    EXPECT_EQ(NormalizeLineBreaks(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Table, NormalizeTest,
    ::testing::Values(NormalizeCase { "a\r\nb", "a\r\nb" }, NormalizeCase { "a\nb\r", "a\r\nb\r\n" },
        NormalizeCase { "\n\r", "\r\n\r\n" }, NormalizeCase { "\r\r\n", "\r\n\r\n" },
        NormalizeCase { std::string("a\nb\0\nc", 6), "a\r\nb" }, NormalizeCase { "", "" }));

TEST(JoinCrLfTest, EveryItemEndsWithCrLf)
{
    EXPECT_EQ(JoinCrLf({ "a", "", "b" }), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinCrLf({}), "");
    EXPECT_EQ(SplitLines(JoinCrLf({ "a", "", "b" })), (StringList { "a", "", "b" }));
}

// ---- Tests on strings --------------------------------------------------------------

struct MatchCase {
    std::string a, b;
    bool prefix, suffix, contains;
};
class MatchTest : public ::testing::TestWithParam<MatchCase>
{
};
// a is the text, b the prefix / suffix / pattern.
TEST_P(MatchTest, PrefixSuffixContains)
{
    const MatchCase &c = GetParam();
    EXPECT_EQ(HasPrefix(c.b, c.a), c.prefix);
    EXPECT_EQ(HasSuffix(c.b, c.a), c.suffix);
    EXPECT_EQ(ContainsText(c.a, c.b), c.contains);
}
INSTANTIATE_TEST_SUITE_P(Table, MatchTest,
    ::testing::Values(MatchCase { "abc", "", true, false, false }, MatchCase { "", "", true, false, false },
        MatchCase { "ab", "abc", false, false, false }, MatchCase { kA, "A", false, false, false }, // trail byte 0x41
        MatchCase { kA + "A", "A", false, true, true }, MatchCase { "x" + kA, kA, false, true, true },
        MatchCase { kHiA + kA, "\xA0\x83", false, false, false },
        MatchCase { "\x83\x83\x41", "\x83\x41", false, false, false },
        MatchCase { "a\x83\x83\x83\x41", "\x83\x41", false, true, true },
        MatchCase { "ABC", "abc", false, false, false }));

TEST(ContainsIgnoreCaseTest, AsciiLettersOnly)
{
    EXPECT_TRUE(ContainsTextIgnoreCase("xHtTp://", "http"));
    EXPECT_FALSE(ContainsTextIgnoreCase(kA, "a")); // trail byte: no match, not even folded
    EXPECT_TRUE(ContainsTextIgnoreCase(kA + "a", "A"));
    EXPECT_FALSE(ContainsTextIgnoreCase("abc", ""));
    EXPECT_TRUE(ContainsTextIgnoreCase("\x82\xA0:", ":"));
}

struct ReplaceCase {
    std::string text, oldText, newText, want;
    bool ignoreCase;
};
class ReplaceTest : public ::testing::TestWithParam<ReplaceCase>
{
};
TEST_P(ReplaceTest, LeftToRightNoRescan)
{
    const ReplaceCase &c = GetParam();
    EXPECT_EQ(
        c.ignoreCase ? ReplaceAllIgnoreCase(c.text, c.oldText, c.newText) : ReplaceAll(c.text, c.oldText, c.newText),
        c.want);
}
INSTANTIATE_TEST_SUITE_P(Table, ReplaceTest,
    ::testing::Values(ReplaceCase { "aaa", "aa", "b", "ba", false }, ReplaceCase { "abc", "", "x", "abc", false },
        ReplaceCase { "aabab", "ab", "x", "axx", false },
        ReplaceCase { "ab", "a", "aa", "aab", false }, // inserted text not rescanned
        ReplaceCase { kA + "A", "A", "b", kA + "b", false }, // trail byte left alone
        ReplaceCase { "\x83\x83\x41\x41", "A", "b", "\x83\x83\x62\x62", false },
        ReplaceCase { "", "a", "b", "", false }, ReplaceCase { "aXa", "x", "", "aa", true },
        ReplaceCase { "<IMG SRC=a>", " src", " href", "<IMG href=a>", true },
        ReplaceCase { "Ab" + kA + "aB", "ab", "-", "-" + kA + "-", true }));

TEST(TrimBlanksTest, ControlBytesAndSpaceAtBothEnds)
{
    EXPECT_EQ(TrimBlanks("\ta b\r\n"), "a b");
    EXPECT_EQ(TrimBlanks(std::string("\0 x\x01", 4)), "x");
    EXPECT_EQ(TrimBlanks("  "), "");
    EXPECT_EQ(TrimBlanks("\x81\x40"), "\x81\x40"); // the full-width space is not blank
}

TEST(SearchRandomTest, FastSearchesMatchReference)
{
    std::mt19937 rng(11);
    for (int i = 0; i < 5000; ++i) {
        const std::string text = randomText(rng, 12);
        const std::string pat = randomText(rng, 3);
        const std::string repl = randomText(rng, 2);
        ASSERT_EQ(ContainsText(text, pat), naiveContains(text, pat, false)) << text << " / " << pat;
        ASSERT_EQ(ContainsTextIgnoreCase(text, pat), naiveContains(text, pat, true)) << text << " / " << pat;
        ASSERT_EQ(HasSuffix(pat, text), naiveHasSuffix(pat, text)) << text << " / " << pat;
        ASSERT_EQ(ReplaceAll(text, pat, repl), naiveReplace(text, pat, repl, false)) << text << " / " << pat;
        ASSERT_EQ(ReplaceAllIgnoreCase(text, pat, repl), naiveReplace(text, pat, repl, true)) << text << " / " << pat;
    }
}

// A text of nothing but lead-valued bytes puts a candidate on every byte; the trail-byte
// decisions must stay linear (a walk from the start per candidate would not finish).
TEST(SearchScaleTest, LeadByteRunsStayLinear)
{
    const std::size_t chars = 1'000'000;
    const std::string text(2 * chars, '\x82'); // chars characters 82 82
    EXPECT_EQ(ReplaceAll(text, "\x82\x82", "x"), std::string(chars, 'x'));
    EXPECT_EQ(CharCount(text), chars);
    EXPECT_FALSE(HasSuffix("\x82\x41", "a" + text + "A"));
    EXPECT_TRUE(HasSuffix("\x82\x41", text + "\x82\x41"));

    std::string katakana;
    katakana.reserve(2 * chars);
    while (katakana.size() < 2 * chars)
        katakana += kA;
    EXPECT_FALSE(ContainsText(katakana, "A\x83")); // every occurrence starts on a trail byte
    EXPECT_EQ(ReplaceAll(katakana, "A\x83", "!"), katakana);

    // Only one case of the first letter occurs: the other must not be searched for again
    // and again.
    const std::string letters(2 * chars, 's');
    EXPECT_FALSE(ContainsTextIgnoreCase(letters, "s!"));
    EXPECT_EQ(ReplaceAllIgnoreCase(letters, "SS", "t"), std::string(chars, 't'));
}
