// Source cleanup, the link page, the URL list operations and the control panel helpers.
#include "text/func_lanzo.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace func_lanzo;

namespace
{
const std::string kA = "\x83\x41"; // ア: its trail byte is 'A'
const std::string kDi = "\x83\x61"; // ヂ: its trail byte is 'a'
} // namespace

// ---- Source cleanup ----------------------------------------------------------------------

struct TagCase {
    std::string text;
    StringList cut, removed;
};
class TagsTest : public ::testing::TestWithParam<TagCase>
{
};
TEST_P(TagsTest, CutAndRemove)
{
    EXPECT_EQ(CutOutTags(GetParam().text), GetParam().cut);
    EXPECT_EQ(RemoveTags(GetParam().text), GetParam().removed);
}
INSTANTIATE_TEST_SUITE_P(Table, TagsTest,
    ::testing::Values(TagCase { "<a href='x.html'>Top</a>", { "<a href='x.html'>", "</a>" }, { "Top" } },
        TagCase { "a<b<i>c", { "<i>" }, {} }, // a second "<" restarts the tag
        TagCase { "x>y<p>", { "<p>" }, { "y" } }, // a ">" without "<" is forgotten
        TagCase { "<img\r\nsrc='a.gif'>", { "<imgsrc='a.gif'>" }, {} },
        TagCase { "<img src='a.gif'>", { "<img href='a.gif'>" }, {} },
        TagCase { "<IMG SRC=a>", { "<IMG href=a>" }, {} },
        TagCase { "Hello <b>bold</b> world<br>end", { "<b>", "</b>", "<br>" }, { "bold", " world" } },
        TagCase { "<p>a</p><p>b</p>", { "<p>", "</p>", "<p>", "</p>" }, { "a", "b" } },
        TagCase { "<a>x\r\ny</a>", { "<a>", "</a>" }, { "xy" } },
        TagCase { "<a>x\ry</a>", { "<a>", "</a>" }, { "x\ry" } }, // a lone CR stays
        TagCase { "no tags at all", {}, {} }, TagCase { "", {}, {} }));

struct TextCommandCase {
    std::string (*command)(std::string_view);
    std::string in, out;
};
class TextCommandTest : public ::testing::TestWithParam<TextCommandCase>
{
};
TEST_P(TextCommandTest, WholeText)
{
    EXPECT_EQ(GetParam().command(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Table, TextCommandTest,
    ::testing::Values(TextCommandCase { CutOutTagsText, "<a>b<c>", "<a>\r\n<c>\r\n" },
        TextCommandCase { RemoveTagsText, "<a> b <c>d", " b \r\n" }, TextCommandCase { RemoveTagsText, "no tags", "" },
        TextCommandCase { CleanText, "<td> x </td><td>   </td>", "x\r\n" },
        TextCommandCase { CleanText, "<p>\r\n  a\r\n</p><p>\t</p>b<i>", "a\r\nb\r\n" },
        TextCommandCase { TrimLinesText, " a \r\n \r\nb\t", "a\r\n\r\nb" },
        TextCommandCase { TrimLinesText, "x \r\n", "x\r\n" },
        TextCommandCase { TrimLinesText, "\x81\x40x\x81\x40\r\n", "\x81\x40x\x81\x40\r\n" },
        TextCommandCase { TrimLinesText, "", "" },
        TextCommandCase { DeleteEmptyLinesText, "a\r\n\r\n \r\nb\r\n", "a\r\n \r\nb\r\n" },
        TextCommandCase { DeleteEmptyLinesText, "a\r\n\r\n", "a\r\n" },
        TextCommandCase { DeleteEmptyLinesText, "\r\na", "a" },
        TextCommandCase { DeleteEmptyLinesText, "\r\n\r\n", "" }));

// ---- Link page ---------------------------------------------------------------------------

const std::string kHeader = "<html><head><title>\x83\x8A\x83\x93\x83\x4E\x8F\x57</title>\r\n"
                            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
                            "</head><body bgcolor=\"#FFFFFF\"><ol>\r\n";
const std::string kFooter = "</ol></body></html>\r\n";

struct LinkCase {
    StringList items;
    std::string body;
};
class LinkPageTest : public ::testing::TestWithParam<LinkCase>
{
};
TEST_P(LinkPageTest, ExactBytes)
{
    EXPECT_EQ(MakeLinkPage(GetParam().items), kHeader + GetParam().body + kFooter);
}
INSTANTIATE_TEST_SUITE_P(Table, LinkPageTest,
    ::testing::Values(LinkCase { { "a.html" }, "<li><a href=\"a.html\" target=\"_blank\">a.html</a></li>\r\n" },
        LinkCase { { "" }, "<li><a href=\"\" target=\"_blank\"></a></li>\r\n" },
        LinkCase { { "a?x=1&y=\"<2>\"" },
            "<li><a href=\"a?x=1&amp;y=&quot;&lt;2&gt;&quot;\" target=\"_blank\">"
            "a?x=1&amp;y=&quot;&lt;2&gt;&quot;</a></li>\r\n" },
        LinkCase { { "\x95\x5C" + kA, "b" },
            "<li><a href=\"\x95\x5C\x83\x41\" target=\"_blank\">\x95\x5C\x83\x41</a></li>\r\n"
            "<li><a href=\"b\" target=\"_blank\">b</a></li>\r\n" },
        LinkCase { {}, "" }));

// ---- URL list operations -----------------------------------------------------------------

struct ListCase {
    void (*operation)(StringList &);
    StringList in, out;
};
class ListOperationTest : public ::testing::TestWithParam<ListCase>
{
};
TEST_P(ListOperationTest, Result)
{
    StringList items = GetParam().in;
    GetParam().operation(items);
    EXPECT_EQ(items, GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Table, ListOperationTest,
    ::testing::Values(ListCase { SortForward, { "B", "a" }, { "a", "B" } },
        ListCase { SortForward, { "b", "", "a10", "a9" }, { "", "a10", "a9", "b" } },
        // Only single-byte letters fold: ア (83 41) and ヂ (83 61) stay apart.
        ListCase { SortForward, { kA + "2", kDi + "1", kA + "1" }, { kA + "1", kA + "2", kDi + "1" } },
        ListCase { SortForward, { "x", "X", "x" }, { "x", "X", "x" } }, // equal keys keep their order
        ListCase { SortBackward, { "x.gif", "a.jpg", "b.gif" }, { "b.gif", "x.gif", "a.jpg" } },
        ListCase { SortBackward, { "b", "x" + kA, "A", "y" + kA }, { "x" + kA, "y" + kA, "A", "b" } },
        ListCase { SortBackward, { "a.GIF", "b.gif", "c.Jpg" }, { "a.GIF", "b.gif", "c.Jpg" } },
        ListCase { RemoveDuplicates, { "b", "a", "b", "a" }, { "a", "b" } },
        ListCase { RemoveDuplicates, { "z" }, { "z" } },
        // Exact duplicates go even when a case variant sorts between them; case variants stay.
        ListCase { RemoveDuplicates, { "a", "A", "a" }, { "a", "A" } },
        ListCase { RemoveDuplicates, { "B", "b", "a", "B", "b", "B" }, { "a", "B", "b" } },
        ListCase { RemoveDuplicates, { "x" + kA, "X" + kA, "x" + kA, "x" + kDi }, { "x" + kA, "X" + kA, "x" + kDi } },
        ListCase { RemoveDuplicates, { "a", "a", "A" }, { "a", "A" } },
        ListCase { RemoveDuplicates, { "", "b", "" }, { "", "b" } }));

struct CopyCase {
    StringList items;
    std::vector<bool> selected;
    std::string want;
};
class CopyItemsTest : public ::testing::TestWithParam<CopyCase>
{
};
TEST_P(CopyItemsTest, Clipboard)
{
    EXPECT_EQ(CopyItemsText(GetParam().items, GetParam().selected), GetParam().want);
}
INSTANTIATE_TEST_SUITE_P(Table, CopyItemsTest,
    ::testing::Values(CopyCase { { "a", "", " b ", "c" }, { true, true, true, false }, "a\r\n b" },
        CopyCase { { "a", "b" }, { false, false }, "" },
        CopyCase { { "a", "", " b ", "c" }, {}, "a\r\n b \r\nc" }, // copy all
        CopyCase { { " ", "a" }, { true, true }, "a" }, CopyCase { {}, {}, "" }));

// ---- Control panel helpers ---------------------------------------------------------------

struct HistoryCase {
    StringList before;
    std::string text;
    StringList after;
};
class ComboHistoryTest : public ::testing::TestWithParam<HistoryCase>
{
};
TEST_P(ComboHistoryTest, AppendAndTrim)
{
    StringList history = GetParam().before;
    AddComboHistory(history, GetParam().text);
    EXPECT_EQ(history, GetParam().after);
}
INSTANTIATE_TEST_SUITE_P(Table, ComboHistoryTest,
    ::testing::Values(HistoryCase { { "a", "b", "c", "d", "e" }, "f", { "b", "c", "d", "e", "f" } },
        HistoryCase { { "a", "b", "c", "d", "e" }, "c", { "a", "b", "c", "d", "e" } },
        HistoryCase { { "a", "b" }, "", { "a", "b" } }, HistoryCase { { "a" }, "A", { "a", "A" } },
        HistoryCase { { "1", "2", "3", "4", "5", "6", "7", "8" }, "n", { "2", "3", "4", "5", "6", "7", "8", "n" } },
        HistoryCase { { "1", "2", "3", "4", "5", "6", "7", "8" }, "3", { "2", "3", "4", "5", "6", "7", "8" } }));

struct FindCase {
    std::string text, key;
    std::size_t selectionEnd;
    std::optional<std::size_t> want;
};
class FindInSourceTest : public ::testing::TestWithParam<FindCase>
{
};
TEST_P(FindInSourceTest, ForwardThenWrap)
{
    EXPECT_EQ(FindInSource(GetParam().text, GetParam().key, GetParam().selectionEnd), GetParam().want);
}
INSTANTIATE_TEST_SUITE_P(Table, FindInSourceTest,
    ::testing::Values(FindCase { "abcabc", "b", 0, 1 }, FindCase { "abcabc", "b", 2, 4 },
        FindCase { "abcabc", "b", 5, 1 }, // wraps to the start
        FindCase { "xax", "a", 2, 1 }, // the only match again
        FindCase { "abc", "a", 3, 0 }, // caret at the end
        FindCase { "abcd", "bc", 2, 1 }, // straddles the selection end
        FindCase { "abcd", "cd", 3, 2 }, FindCase { "ab", "abc", 0, std::nullopt },
        FindCase { "abc", "", 0, std::nullopt }, FindCase { "abc", "x", 1, std::nullopt },
        FindCase { kA + "A", "A", 0, 1 }, // bytes, not characters
        FindCase { "abc", "a", 99, 0 }));

TEST(SelectMatchingItemsTest, ContainsNeverFromTrailByte)
{
    EXPECT_EQ(SelectMatchingItems({ "http://a", kA, "xA", "A" + kA, "b" }, "A"), (std::vector<std::size_t> { 2, 3 }));
    EXPECT_TRUE(SelectMatchingItems({ "a", "b" }, "").empty());
}
