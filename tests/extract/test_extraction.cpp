#include "extract/extraction.h"
#include "tables/cnv_table.h"

#include "support/table_dir_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

using extraction::Conditions;
using func_token::StringList;

namespace
{

// The tokenizer exactly as the job is described, step by step: lines joined with a space
// before each, double quotes made spaces, then one byte at a time.
std::string ReferencePrepare(std::string_view text)
{
    std::string prepared;
    for (const auto &line : func_token::SplitLines(text))
        prepared += " " + line;
    for (char &c : prepared) {
        if (c == '"') c = ' ';
    }
    return prepared;
}

StringList ReferenceTokens(const std::string &prepared)
{
    StringList tokens;
    std::size_t start = 0;
    bool open = false;
    for (std::size_t p = 0; p < prepared.size(); ++p) {
        const char c = prepared[p];
        const bool delimiter = c == ' ' || c == '<' || c == '>' || c == '\'';
        if (delimiter && open) {
            tokens.push_back(prepared.substr(start, p - start));
            open = false;
        } else if (!delimiter && !open) {
            start = p;
            open = true;
        }
    }
    if (open) tokens.push_back(prepared.substr(start));
    return tokens;
}

StringList ReferenceFilter(std::string_view text, const Conditions &conditions)
{
    StringList kept;
    for (const auto &token : ReferenceTokens(ReferencePrepare(text))) {
        std::string_view t;
        if (extraction::MatchToken(token, conditions, t)) kept.emplace_back(t);
    }
    return kept;
}

std::string RandomText(std::mt19937 &rng, std::size_t maxLength)
{
    // Heavy on delimiters, breaks, NUL, blanks and lead bytes; 'h' and 'A' so conditions match.
    static const char alphabet[] = { ' ', '<', '>', '\'', '"', '\r', '\n', '\0', '\t', '\x01', 'h', 'A', 'a', '/', '.',
        '\x83', '\x81', '\x40', '\xe0', 'p', ':' };
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    std::string text(length(rng), ' ');
    for (char &c : text)
        c = alphabet[pick(rng)];
    return text;
}

StringList RandomConditionList(std::mt19937 &rng)
{
    static const char *const pool[] = { "h", "ha", "A", "\x83\x41", "a/", ".", "\x40", "\t", "", "hh", "p:", "\x81" };
    std::uniform_int_distribution<int> count(0, 3);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1);
    StringList list;
    for (int i = count(rng); i > 0; --i)
        list.emplace_back(pool[pick(rng)]);
    return list;
}

const std::string kWorkedExample = "<a href=\"http://x/a.jpg\">pic</a>\r\nsee http://x/b.html, 'ok'";

} // namespace

TEST(ExtractionTokens, WorkedExample)
{
    const StringList want = { "a", "href=", "http://x/a.jpg", "pic", "/a", "see", "http://x/b.html,", "ok" };
    StringList fromPrepared, fromInput;
    ASSERT_TRUE(extraction::ExtractTokens(fromPrepared, extraction::PrepareText(kWorkedExample)));
    ASSERT_TRUE(extraction::ExtractTextTokens(fromInput, kWorkedExample));
    EXPECT_EQ(fromPrepared, want);
    EXPECT_EQ(fromInput, want);
    EXPECT_EQ(extraction::FilterTokens(kWorkedExample, Conditions { { "http://" }, {}, {} }),
        (StringList { "http://x/a.jpg", "http://x/b.html," }));
}

TEST(ExtractionTokens, PreparedTextShape)
{
    struct Row {
        std::string text, prepared;
    };
    const Row rows[] = {
        { "", "" }, { "\r\n", " " }, { "a\r\nb", " a b" }, { "a\n\rb\r", " a  b" }, // LF CR is two breaks
        { "a\"b\"", " a b " }, { std::string("a\0\nb", 4), " a" }, // text after NUL is ignored
    };
    for (const auto &row : rows) {
        EXPECT_EQ(extraction::PrepareText(row.text), row.prepared);
        EXPECT_EQ(extraction::PreparedLength(row.text), static_cast<std::int64_t>(row.prepared.size()));
    }
}

TEST(ExtractionTokens, PreparedLengthOfLongRunsOfBreaks)
{
    // Runs long enough that every counter lane fills up many times over.
    auto repeat = [](std::string_view piece, std::size_t times) {
        std::string out;
        for (std::size_t i = 0; i < times; ++i)
            out += piece;
        return out;
    };
    const std::string rows[] = {
        repeat("\r\n", 70000),
        repeat("\r", 70001),
        repeat("\n", 69999),
        repeat("\n\r", 40000),
        repeat("a\r\r\n", 33333) + "b",
        repeat("\r\n", 2040) + "\r" + repeat("\n", 17),
    };
    for (const auto &text : rows) {
        SCOPED_TRACE(text.size());
        EXPECT_EQ(extraction::PreparedLength(text), static_cast<std::int64_t>(extraction::PrepareText(text).size()));
    }
}

TEST(ExtractionFilter, Rows)
{
    struct Row {
        const char *name;
        std::string text;
        Conditions conditions;
        StringList want;
    };
    const Row rows[] = {
        { "quotes of either kind are cut off", "say \"http://q/x\" and 'http://q/y'", { { "http://" }, {}, {} },
            { "http://q/x", "http://q/y" } },
        { "a tab inside a token stays, at its ends it is trimmed before the test", "http://t\ta \thttp://z\t",
            { { "http://" }, {}, {} }, { "http://t\ta", "http://z" } },
        { "a tab does not separate", "x\thttp://t", { { "http://" }, {}, {} }, {} },
        { "a suffix never matches from a trail byte", "\x83\x41 zA", { {}, {}, { "A" } }, { "zA" } },
        { "a middle never matches from a trail byte", "\x83\x41 \x83\x41\x41", { {}, { "A" }, {} },
            { "\x83\x41\x41" } },
        { "an empty prefix keeps every token, a tab-only one as an empty line", "a \t b", { { "" }, {}, {} },
            { "a", "", "b" } },
        { "an empty suffix keeps nothing", "a b", { {}, {}, { "" } }, {} },
        { "an empty middle keeps nothing", "a b", { {}, { "" }, {} }, {} },
        { "no condition keeps nothing", "http://a", {}, {} },
        { "letter case counts", "HTTP://x http://y", { { "http://" }, {}, {} }, { "http://y" } },
        { "a URL broken over two lines gives two tokens", "http://a/\r\nb.jpg", { { "http://" }, {}, {} },
            { "http://a/" } },
        { "a URL ends at '<' and keeps a comma or parenthesis", "http://x/a<b> http://x/c) http://x/d,",
            { { "http://" }, {}, {} }, { "http://x/a", "http://x/c)", "http://x/d," } },
        { "parentheses defeat a prefix but not a middle", "(http://x)", { { "http://" }, { "://" }, {} },
            { "(http://x)" } },
        { "a full-width space does not separate", "http://a\x81\x40http://b\x81\x42", { { "http://" }, {}, {} },
            { "http://a\x81\x40http://b\x81\x42" } },
        { "text after NUL is ignored", std::string("http://a\0 http://b", 18), { { "http://" }, {}, {} },
            { "http://a" } },
        { "each kept token once, in text order, duplicates kept", "b.jpg http://a.jpg b.jpg",
            { { "http://" }, {}, { ".jpg" } }, { "b.jpg", "http://a.jpg", "b.jpg" } },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(extraction::FilterTokens(row.text, row.conditions), row.want);
        EXPECT_EQ(ReferenceFilter(row.text, row.conditions), row.want);
    }
}

TEST(ExtractionTokens, MatchesReferenceOnRandomInput)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text = RandomText(rng, round < 2990 ? 80 : 300000);
        if (text.size() > 1000) std::replace(text.begin(), text.end(), '\0', 'h'); // long texts cross scan chunks
        SCOPED_TRACE(round);
        const std::string prepared = ReferencePrepare(text);
        ASSERT_EQ(extraction::PrepareText(text), prepared);
        ASSERT_EQ(extraction::PreparedLength(text), static_cast<std::int64_t>(prepared.size()));

        const StringList want = ReferenceTokens(prepared);
        StringList fromPrepared, fromInput;
        job_progress::JobProgress progress;
        ASSERT_TRUE(extraction::ExtractTokens(fromPrepared, prepared, &progress));
        EXPECT_EQ(progress.position(), static_cast<std::int64_t>(prepared.size()));
        ASSERT_TRUE(extraction::ExtractTextTokens(fromInput, text, &progress));
        EXPECT_EQ(progress.maximum(), static_cast<std::int64_t>(prepared.size()));
        EXPECT_EQ(progress.position(), static_cast<std::int64_t>(prepared.size()));
        ASSERT_EQ(fromPrepared, want);
        ASSERT_EQ(fromInput, want);

        const Conditions conditions { RandomConditionList(rng), RandomConditionList(rng), RandomConditionList(rng) };
        ASSERT_EQ(extraction::FilterTokens(text, conditions), ReferenceFilter(text, conditions));
    }
}

namespace
{

using TableDir = TableDirFixture;

const std::string kChikanSjis = "\x92\x75\x8a\xb7"; // 置換

} // namespace

TEST_F(TableDir, AutoRunTablesChainInListOrder)
{
    write("a2b.tbl", "a\tb\r\n");
    write("置換.tbl", "b\tc\n");
    const Conditions all { { "" }, {}, {} };
    struct Row {
        StringList tables;
        StringList want;
    };
    const Row rows[] = {
        { { "a2b", kChikanSjis }, { "c", "c", "c" } },
        { { kChikanSjis, "a2b" }, { "b", "b", "c" } },
        { { "missing", "a2b" }, { "b", "b", "b" } },
        { {}, { "a", "a", "b" } },
    };
    const std::string input = "a a b";
    for (const auto &row : rows) {
        job_progress::JobProgress progress;
        const auto result = extraction::RunExtraction(input, all, cnv_table::LoadTables(row.tables, m_dir), &progress);
        EXPECT_FALSE(result.stopped);
        EXPECT_EQ(result.urls, row.want);
        EXPECT_EQ(progress.caption(), "抽出中");
        EXPECT_EQ(progress.captionSerial(), 2u);
        EXPECT_EQ(progress.maximum(), extraction::PreparedLength(input));
        EXPECT_EQ(progress.position(), extraction::PreparedLength(input));
    }
    EXPECT_EQ(input, "a a b");
}

TEST_F(TableDir, ConvertedTokensAreMatched)
{
    write("fix.tbl", "hxxp\thttp\n");
    const auto result = extraction::RunExtraction(
        "see hxxp://x/a.jpg", Conditions { { "http://" }, {}, {} }, cnv_table::LoadTables({ "fix" }, m_dir), nullptr);
    EXPECT_EQ(result.urls, StringList { "http://x/a.jpg" });
}

TEST_F(TableDir, StopDiscardsEverything)
{
    write("t.tbl", "a\tb\nc\td\n");
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "http://x/" + std::to_string(i) + "\r\n";
    struct Row {
        const char *name;
        StringList tables;
    };
    const Row rows[]
        = { { "during the tables", { "t" } }, { "during the scan", {} }, { "scan after a missing table", { "none" } } };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        job_progress::JobProgress progress;
        progress.requestStop();
        const auto result = extraction::RunExtraction(
            big, Conditions { { "http://" }, {}, {} }, cnv_table::LoadTables(row.tables, m_dir), &progress);
        EXPECT_TRUE(result.stopped);
        EXPECT_TRUE(result.urls.empty());
        EXPECT_EQ(progress.position(), 0);
    }
}

TEST(ExtractionProgress, StopFromAnotherThreadEndsTheScan)
{
    // A long scan sees a stop requested while it runs; its results are then discarded.
    std::string big(64 << 20, 'x');
    for (std::size_t i = 0; i < big.size(); i += 4096)
        big[i] = ' ';
    job_progress::JobProgress progress;
    std::thread stopper([&] {
        while (progress.position() == 0)
            std::this_thread::yield();
        progress.requestStop();
    });
    const auto result = extraction::RunExtraction(big, Conditions { { "x" }, {}, {} }, {}, &progress);
    stopper.join();
    if (result.stopped) {
        EXPECT_TRUE(result.urls.empty());
        EXPECT_EQ(progress.position(), 0);
    } else {
        // The scan won the race; it must then have reported its full length.
        EXPECT_EQ(progress.position(), extraction::PreparedLength(big));
    }
}
