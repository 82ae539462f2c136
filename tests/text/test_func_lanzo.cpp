// URL correction and sequence expansion.
#include "text/func_lanzo.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace func_lanzo;
using func_token::SplitLines;

namespace
{

// ー and ‐ in Shift_JIS: their trail bytes are '[' and ']'.
const std::string kTrailOpen = "\x81\x5B";
const std::string kTrailClose = "\x81\x5D";

StringList splitCr(const std::string &text)
{
    StringList lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

// The command as written: join the expansions with CR (an empty text takes the expansion
// as it is), then cut the text into lines.
StringList referenceExpandList(const StringList &items)
{
    std::string text;
    for (const std::string &item : items) {
        const std::string e = ExpandSequence(item);
        text = text.empty() ? e : text + "\r" + e;
    }
    return SplitLines(text);
}

} // namespace

// ---- URL correction --------------------------------------------------------------------

struct CorrectCase {
    std::string base, url;
    std::optional<std::string> want;
};
class CorrectUrlTest : public ::testing::TestWithParam<CorrectCase>
{
};
TEST_P(CorrectUrlTest, AgainstBase)
{
    EXPECT_EQ(CorrectUrl(GetParam().base, GetParam().url), GetParam().want) << GetParam().base << " " << GetParam().url;
}

// The resolution examples published with the generic URI syntax, normal and abnormal.
const std::string kRfcBase = "http://a/b/c/d;p?q";
std::vector<CorrectCase> rfcExamples()
{
    const std::vector<std::pair<std::string, std::string>> rows = { { "g:h", "g:h" }, { "g", "http://a/b/c/g" },
        { "./g", "http://a/b/c/g" }, { "g/", "http://a/b/c/g/" }, { "/g", "http://a/g" }, { "//g", "http://g" },
        { "?y", "http://a/b/c/d;p?y" }, { "g?y", "http://a/b/c/g?y" }, { "#s", "http://a/b/c/d;p?q#s" },
        { "g#s", "http://a/b/c/g#s" }, { "g?y#s", "http://a/b/c/g?y#s" }, { ";x", "http://a/b/c/;x" },
        { "g;x", "http://a/b/c/g;x" }, { "g;x?y#s", "http://a/b/c/g;x?y#s" }, { "", "http://a/b/c/d;p?q" },
        { ".", "http://a/b/c/" }, { "./", "http://a/b/c/" }, { "..", "http://a/b/" }, { "../", "http://a/b/" },
        { "../g", "http://a/b/g" }, { "../..", "http://a/" }, { "../../", "http://a/" }, { "../../g", "http://a/g" },
        { "../../../g", "http://a/g" }, { "../../../../g", "http://a/g" }, { "/./g", "http://a/g" },
        { "/../g", "http://a/g" }, { "g.", "http://a/b/c/g." }, { ".g", "http://a/b/c/.g" },
        { "g..", "http://a/b/c/g.." }, { "..g", "http://a/b/c/..g" }, { "./../g", "http://a/b/g" },
        { "./g/.", "http://a/b/c/g/" }, { "g/./h", "http://a/b/c/g/h" }, { "g/../h", "http://a/b/c/h" },
        { "g;x=1/./y", "http://a/b/c/g;x=1/y" }, { "g;x=1/../y", "http://a/b/c/y" },
        { "g?y/./x", "http://a/b/c/g?y/./x" }, { "g?y/../x", "http://a/b/c/g?y/../x" },
        { "g#s/./x", "http://a/b/c/g#s/./x" }, { "g#s/../x", "http://a/b/c/g#s/../x" }, { "http:g", "http:g" } };
    std::vector<CorrectCase> cases;
    for (const auto &[url, want] : rows)
        cases.push_back({ kRfcBase, url, want });
    return cases;
}
INSTANTIATE_TEST_SUITE_P(PublishedExamples, CorrectUrlTest, ::testing::ValuesIn(rfcExamples()));

// 表 and ソ end in 0x5C; 字 is 0x8E 0x9A.
const std::string kSjisDir = "http://h/\x95\x5C/\x83\x5C/";
INSTANTIATE_TEST_SUITE_P(Bases, CorrectUrlTest,
    ::testing::Values(CorrectCase { "http://example.com/gallery/", "a.jpg", "http://example.com/gallery/a.jpg" },
        CorrectCase { "http://u:p@example.com:8080/dir/page.html", "/x", "http://u:p@example.com:8080/x" },
        CorrectCase { "http://example.com:8080/dir/page.html", "b.html", "http://example.com:8080/dir/b.html" },
        CorrectCase { "https://example.com/a", "//cdn.example.net/x.js", "https://cdn.example.net/x.js" },
        CorrectCase { "http://h/p", "mailto:a@b", "mailto:a@b" },
        CorrectCase { "http://h/p", "javascript:void(0)", "javascript:void(0)" },
        CorrectCase { "http://h/list.cgi?dir=a/b", "c.html", "http://h/c.html" },
        CorrectCase { "http://h/list.cgi?dir=a/b", "?x=1", "http://h/list.cgi?x=1" },
        CorrectCase { "http://h/list.cgi?dir=a/b", "#top", "http://h/list.cgi?dir=a/b#top" },
        CorrectCase { "http://h/page.html#part", "", "http://h/page.html" }, // the base's fragment is not kept
        CorrectCase { "http://h", "b.html", "http://h/b.html" },
        CorrectCase { "HTTP://H/D/p", "a%2Fb c%zz", "HTTP://H/D/a%2Fb c%zz" }, // no folding, no encoding
        CorrectCase { kSjisDir + "page.html", "\x8E\x9A.html", kSjisDir + "\x8E\x9A.html" },
        CorrectCase { kSjisDir + "page.html", "../\x8E\x9A/./x", "http://h/\x95\x5C/\x8E\x9A/x" },
        CorrectCase { " \thttp://h/d/page.html \r\n", "x", "http://h/d/x" }, // blanks around the base
        CorrectCase { "example.com/dir/page.html", "a.jpg", "http://example.com/dir/a.jpg" },
        CorrectCase { "example.com:8080/dir/page.html", "/x", "http://example.com:8080/x" },
        CorrectCase { "", "a.html", "a.html" }, CorrectCase { " ", "/x", "/x" }, // an empty base does nothing
        CorrectCase { "http://", "a.html", std::nullopt }, CorrectCase { "://", "../b", std::nullopt },
        CorrectCase { "http:", "/x", std::nullopt }, CorrectCase { "http://u@:80/", "//h/x", std::nullopt },
        CorrectCase { "http://", "ftp://y", "ftp://y" })); // an item with a scheme needs no base

TEST(CorrectListTest, StopsAtFirstItemNeedingHost)
{
    const StringList items = { "https://a/b", "mailto:c", "d.html", "/e" };
    StringList corrected = items;
    const auto r = CorrectList("http://", corrected);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, error::Kind::BaseWithoutHost);
    EXPECT_EQ(r.error().position, 2u);
    EXPECT_EQ(r.error().found, "http://");
    EXPECT_EQ(corrected, items);
}

TEST(CorrectListTest, EmptyBaseLeavesListAndEveryItemCorrected)
{
    const StringList items = { "a.html", "/b", "" };
    StringList untouched = items;
    EXPECT_TRUE(CorrectList("", untouched));
    EXPECT_EQ(untouched, items);
    StringList all = items;
    EXPECT_TRUE(CorrectList("http://h/p", all));
    EXPECT_EQ(all, (StringList { "http://h/a.html", "http://h/b", "http://h/p" }));
}

// ---- Sequence expansion ----------------------------------------------------------------

struct ExpandCase {
    std::string line;
    StringList want; // empty: the line comes back unchanged
};
class ExpandSequenceTest : public ::testing::TestWithParam<ExpandCase>
{
};
TEST_P(ExpandSequenceTest, OneLinePerNumber)
{
    const ExpandCase &c = GetParam();
    const StringList want = c.want.empty() ? StringList { c.line } : c.want;
    EXPECT_EQ(splitCr(ExpandSequence(c.line)), want);
    EXPECT_EQ(ExpandedLineCount(c.line), want.size());
}
INSTANTIATE_TEST_SUITE_P(Table, ExpandSequenceTest,
    ::testing::Values(ExpandCase { "img[08-11].jpg", { "img08.jpg", "img09.jpg", "img10.jpg", "img11.jpg" } },
        ExpandCase { "a[1-3]b", { "a1b", "a2b", "a3b" } }, ExpandCase { "[001-3]", { "001", "002", "003" } },
        ExpandCase { "[9-11]", { "9", "10", "11" } }, // width from the start field only
        ExpandCase { "[98-100]", { "98", "99", "100" } }, // wider numbers are never cut
        ExpandCase { "x[5-1]", { "x5" } }, // start above end: one line
        ExpandCase { "p[1-2]q[3-4]", { "p1q[3-4]", "p2q[3-4]" } }, ExpandCase { "[ 1 - 3 ]", { "1", "2", "3" } },
        ExpandCase { "[1--2]", { "1", "2" } }, ExpandCase { "[+1-3]", { "01", "02", "03" } },
        ExpandCase { "[$A-$C]", { "10", "11", "12" } }, ExpandCase { "[x9-xb]", { "09", "10", "11" } },
        ExpandCase { "[0x0f-0X11]", { "0015", "0016", "0017" } },
        ExpandCase { "[2147483645-2147483647]", { "2147483645", "2147483646", "2147483647" } },
        ExpandCase { "[$80000000-$80000001]", { "-2147483648", "-2147483647" } },
        ExpandCase { "[$FFFFFFFE-0]", { "-000000002", "-000000001", "000000000" } },
        ExpandCase { kTrailClose + "[1-2]", { kTrailClose + "1", kTrailClose + "2" } }, // trail byte ']' is no bracket
        ExpandCase { kTrailOpen + "1-2]", {} }, // trail byte '[' is no bracket
        ExpandCase { "[a-z]", {} }, ExpandCase { "[1-2-3]", {} }, ExpandCase { "[5]", {} }, ExpandCase { "[]", {} },
        ExpandCase { "x]y[1-2]", {} }, ExpandCase { "plain", {} }, ExpandCase { "", {} },
        ExpandCase { "[12345678901-2]", {} }, ExpandCase { "[2147483647-2147483648]", {} },
        ExpandCase { "[$FFFFFFFF-1]", {} }, // -1 marks a failed conversion
        ExpandCase { "[1-$100000000]", {} }, ExpandCase { "[0x-3]", {} }, ExpandCase { "[$-3]", {} },
        ExpandCase { "[1a-3]", {} }, ExpandCase { "[\"\"-3]", {} },
        // digits, blanks and hyphens only: split without the token list
        ExpandCase { "[1 2]", { "1", "2" } }, ExpandCase { "[-07 -- 9-]", { "07", "08", "09" } },
        ExpandCase { "[-]", {} }, ExpandCase { "[ -3]", {} }, ExpandCase { "[1-2 3]", {} }));

TEST(ExpandedLineCountTest, HugeRangesAreCountedNotBuilt)
{
    EXPECT_EQ(ExpandedLineCount("[0-2147483647]"), 2147483648ull);
    EXPECT_EQ(ExpandedLineCount("[$80000000-2147483647]"), 4294967296ull);
}

struct ExpandListCase {
    StringList items, want;
};
class ExpandListTest : public ::testing::TestWithParam<ExpandListCase>
{
};
TEST_P(ExpandListTest, JoinThenSplit)
{
    const auto r = ExpandList(GetParam().items);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, GetParam().want);
}
INSTANTIATE_TEST_SUITE_P(Table, ExpandListTest,
    ::testing::Values(ExpandListCase { {}, {} }, ExpandListCase { { "b", "a" }, { "b", "a" } },
        ExpandListCase { { "", "", "a[1-2]", "", "b", "" }, { "a1", "a2", "", "b" } },
        ExpandListCase { { "", "" }, {} }, ExpandListCase { { "x", "", "" }, { "x", "" } },
        ExpandListCase { { "a\rb[1-2]" }, { "a", "b1", "a", "b2" } }, // an item's own break cuts too
        ExpandListCase { { "p1q[3-4]", "p2q[3-4]" }, { "p1q3", "p1q4", "p2q3", "p2q4" } }));

TEST(ExpandListTest, RefusesOutputBeyondLimit)
{
    const StringList items = { "a", "b[1-100]" };
    const auto r = ExpandList(items, 50);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, error::Kind::TooManyLines);
    EXPECT_EQ(r.error().count, 101u);
    EXPECT_EQ(r.error().limit, 50u);
    // A list that is already long but expands nothing is not refused.
    EXPECT_TRUE(ExpandList({ "a", "b", "c" }, 2));
    // The default limit stops a range of two billion numbers before anything is built.
    EXPECT_FALSE(ExpandList({ "[0-2147483647]" }));
}

TEST(ExpandListTest, MatchesJoinAndSplitOnRandomLists)
{
    const std::vector<std::string> pieces
        = { "", "", "x", "[1-3]", "a[01-2]b", "[5-1]", "\r", "\n", "[", "]", "-", "\x81\x5B", "q[2-2]", "[$A-$B]" };
    std::mt19937 rng(3);
    std::uniform_int_distribution<std::size_t> count(0, 6), parts(0, 3), pick(0, pieces.size() - 1);
    for (int round = 0; round < 4000; ++round) {
        StringList items(count(rng));
        for (std::string &item : items)
            for (std::size_t k = parts(rng); k > 0; --k)
                item += pieces[pick(rng)];
        ASSERT_EQ(ExpandList(items).value(), referenceExpandList(items)) << ::testing::PrintToString(items);
    }
}

TEST(ExpandListTest, MillionLines)
{
    StringList items(10'000, "http://h/img[000-099].jpg");
    items[5] = "";
    const auto r = ExpandList(items);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 999'901u);
    EXPECT_EQ((*r)[0], "http://h/img000.jpg");
    EXPECT_EQ((*r)[500], "");
    EXPECT_EQ(r->back(), "http://h/img099.jpg");
}
