#include "extract/html_links.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using func_token::StringList;

namespace
{

// Tag cutting exactly as described: two markers, one byte at a time.
StringList ReferenceTags(std::string_view prepared)
{
    StringList tags;
    std::size_t start = 0, end = 0; // 1-based, 0 = unset
    for (std::size_t p = 1; p <= prepared.size(); ++p) {
        if (prepared[p - 1] == '<') {
            start = p;
            end = 0;
        } else if (prepared[p - 1] == '>') {
            end = p;
        }
        if (start != 0 && end != 0) {
            tags.emplace_back(prepared.substr(start - 1, end - start + 1));
            start = end = 0;
        }
    }
    return tags;
}

} // namespace

TEST(HtmlPickLink, Rows)
{
    struct Row {
        std::string tag;
        std::optional<std::string> link;
    };
    const Row rows[] = {
        { "<a href=\"a.html\">", "a.html" }, { "<img href=b.gif width=10>", "b.gif" }, { "<a href=c.html>", "c.html" },
        { "<a class=\"k\" href=\"d.html\">", "d.html" },
        { "<a href= \"e.html\">", "\"e.html\"" }, // no space is skipped after '='
        { "<a href=\"\">", "\"\"" }, { "<a href=>", "" }, { "<a href=\"f.html>", std::nullopt }, // quote never closed
        { "<a href>", std::nullopt }, // no '='
        { "<A HREF=G.HTML>", "G.HTML" }, { "<a class=k Href=x>", "k" }, // mixed case: from the first byte
        { "<a href='x y'>", "'x" }, // apostrophes are kept, the value ends at a space
        { "<a title=\"see href\" x=y>", "y" }, // href inside a value: the '=' after it
        { "<a name=n href=\"h\tq \">", "h\tq" }, // inner blanks stay, outer ones are trimmed
        { "<a href=\"\t\x83\x41\t\">", "\x83\x41" }, // trimming after unquoting
    };
    for (const auto &row : rows)
        EXPECT_EQ(html_links::PickLink(row.tag), row.link) << row.tag;
}

TEST(HtmlPrepare, SrcBecomesHrefAfterASpaceOnly)
{
    struct Row {
        std::string text, prepared;
    };
    const Row rows[] = {
        { "<img SRC=a><img Src=b>", " <img href=a><img href=b>" },
        { "<img\tsrc=c>", " <img\tsrc=c>" },
        { "a\r\nsrc=d", " a href=d" }, // a line start counts: every line gets a space
        { "x srcset=e", " x hrefset=e" },
        { "\x83 src", " \x83 src" }, // the space is the trail byte of a double-byte character
        { "", "" },
    };
    for (const auto &row : rows)
        EXPECT_EQ(html_links::PrepareHtmlText(row.text), row.prepared) << row.text;
}

TEST(HtmlPrepare, MatchesReferenceOnRandomInput)
{
    // Lead bytes before spaces decide whether " src" may be rewritten; line breaks become spaces.
    std::mt19937 rng(5);
    static const char alphabet[] = { ' ', 's', 'S', 'r', 'R', 'c', 'C', '\r', '\n', '\0', '\x83', '\x9f', 'x' };
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % (round < 2990 ? 50 : 5000), ' ');
        for (char &c : text)
            c = alphabet[pick(rng)];
        std::string want;
        for (const auto &line : func_token::SplitLines(text))
            want += " " + line;
        want = func_token::ReplaceAllIgnoreCase(want, " src", " href");
        ASSERT_EQ(html_links::PrepareHtmlText(text), want) << round;
    }
}

TEST(HtmlExtractLinks, Rows)
{
    struct Row {
        const char *name;
        std::string text;
        StringList links;
    };
    const Row rows[] = {
        { "src in any case after a space", "<img SRC=\"a.gif\"><IMG Src=b.gif>", { "a.gif", "b.gif" } },
        { "src after a tab is not rewritten and the tag is dropped", "<img\tsrc=c.gif>", {} },
        { "a tag over two lines", "<a\r\nhref=\"d.html\">", { "d.html" } },
        { "an unclosed quote gives no link", "<a href=\"e.html>x</a>", {} },
        { "a '<' restarts an unclosed tag", "<a <a href=f>", { "f" } },
        { "a '>' before any '<' is ignored, an unclosed tag at the end yields nothing", "> <a href=g> <a href=h",
            { "g" } },
        { "equal links are all kept", "<a href=i><a href=i>", { "i", "i" } },
        { "an empty value gives an empty line", "<a href=>", { "" } },
        { "a tag without href gives nothing", "<p class=x>", {} },
        { "empty input", "", {} },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        job_progress::JobProgress progress;
        const auto result = html_links::ExtractLinks(row.text, &progress);
        EXPECT_FALSE(result.stopped);
        EXPECT_EQ(result.links, row.links);
        const auto length = static_cast<std::int64_t>(html_links::PrepareHtmlText(row.text).size());
        EXPECT_EQ(progress.maximum(), length);
        EXPECT_EQ(progress.position(), length);
        EXPECT_EQ(progress.caption(), "抽出中");
    }
}

TEST(HtmlCollectTags, MatchesReferenceOnRandomInput)
{
    std::mt19937 rng(77);
    static const char alphabet[] = { '<', '>', 'a', ' ', '"', '=' };
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        if (round < 1995) {
            text.resize(rng() % 60);
            for (char &c : text)
                c = alphabet[pick(rng)];
        } else {
            // Sparse markers over several scan chunks, so tags span chunk boundaries.
            text.assign(300000, 'a');
            for (int i = 0; i < 40; ++i)
                text[rng() % text.size()] = (rng() % 2) ? '<' : '>';
        }
        StringList tags;
        job_progress::JobProgress progress;
        ASSERT_TRUE(html_links::CollectTags(tags, text, &progress));
        ASSERT_EQ(tags, ReferenceTags(text)) << round;
        EXPECT_EQ(progress.position(), static_cast<std::int64_t>(text.size()));
    }
}

TEST(HtmlExtractLinks, StopAppendsNothing)
{
    std::string page;
    for (int i = 0; i < 10000; ++i)
        page += "<a href=\"x" + std::to_string(i) + "\">x</a>\r\n";
    job_progress::JobProgress progress;
    progress.requestStop();
    const auto result = html_links::ExtractLinks(page, &progress);
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.links.empty());
    EXPECT_EQ(progress.position(), 0);

    StringList tags { "old" };
    EXPECT_FALSE(html_links::CollectTags(tags, page, &progress));
    EXPECT_TRUE(tags.empty());
}
