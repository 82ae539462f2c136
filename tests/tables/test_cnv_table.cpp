#include "tables/cnv_table.h"

#include "support/random_text.h"
#include "support/table_dir_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

using func_token::StringList;

namespace
{

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Zip(const StringList &before, const StringList &after)
{
    Pairs pairs;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i)
        pairs.emplace_back(before[i], after[i]);
    return pairs;
}

Pairs Parse(std::string_view bytes)
{
    StringList before, after;
    cnv_table::ParseCnvTable(bytes, before, after);
    EXPECT_EQ(before.size(), after.size());
    return Zip(before, after);
}

const std::string kChikanSjis = "\x92\x75\x8a\xb7"; // 置換

using TableFiles = TableDirFixture;

} // namespace

TEST(CnvTableParse, Rows)
{
    struct Row {
        const char *name;
        std::string bytes;
        Pairs want;
    };
    const Row rows[] = {
        { "CR LF lines", "a\tb\r\nc\td\r\n", { { "a", "b" }, { "c", "d" } } },
        { "LF lines, last line without break", "a\tb\nc\td", { { "a", "b" }, { "c", "d" } } },
        { "a lone CR is dropped and does not end the line", "a\r\tb\rc\n", { { "a", "bc" } } },
        { "CR CR LF keeps no CR", "a\tb\r\r\n", { { "a", "b" } } },
        { "0x1A ends the file",
            "a\tb\n\x1a"
            "c\td\n",
            { { "a", "b" } } },
        { "0x1A inside a line cuts it",
            "a\tb\x1a"
            "c\n",
            { { "a", "b" } } },
        { "quoted fields lose one pair of quotes, keep inner spaces", "\" x \"\t\"y\"\n", { { " x ", "y" } } },
        { "two double quotes make an empty after text", "\"XYZ\"\t\"\"\n", { { "XYZ", "" } } },
        { "three fields are ignored", "a\tb\tz\n", {} },
        { "a final tab adds no field", "x\ty\t\n", { { "x", "y" } } },
        { "lines without a tab and empty lines are ignored", "heading\n\n\r\nq\tr\n", { { "q", "r" } } },
        { "an empty before text still makes a pair", "\tz\n", { { "", "z" } } },
        { "double-byte text and spaces are kept as they are", "\x82\x88\x82\x94\x82\x94\x82\x90\thttp\n a \t b \n",
            { { "\x82\x88\x82\x94\x82\x94\x82\x90", "http" }, { " a ", " b " } } },
        { "empty file", "", {} },
        { "a line with a NUL byte is no pair", std::string("a\tb\0c\n\0\tz\nq\tr\n", 14), { { "q", "r" } } },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Parse(row.bytes), row.want);
    }
}

TEST(CnvTableNames, PathAndNameRoundTrip)
{
    struct Row {
        std::string path;
        std::string name;
    };
    const Row rows[] = {
        { "/t/ABC.tbl", "ABC" },
        { "/t/x.TBL", "x" },
        { "/t/置換.tbl", kChikanSjis }, // four characters are dropped, not four bytes
        { "/t/.tbl", "" },
        { "置換.tbl", kChikanSjis },
    };
    for (const auto &row : rows)
        EXPECT_EQ(cnv_table::TableNameFromPath(row.path), row.name) << row.path;
    EXPECT_EQ(cnv_table::TablePath("/t", kChikanSjis), "/t/置換.tbl");
    EXPECT_EQ(cnv_table::TablePath("/t/", "ABC"), "/t/ABC.tbl");
}

TEST(CnvTableApply, Rows)
{
    struct Row {
        const char *name;
        std::string text;
        Pairs pairs;
        std::string want;
    };
    const Row rows[] = {
        { "pairs apply in order, each on the result of the earlier ones", "ab", { { "a", "b" }, { "b", "d" } }, "dd" },
        { "no overlapping matches", "aaa", { { "aa", "b" } }, "ba" },
        { "inserted text is not scanned again", "x", { { "x", "xx" } }, "xx" },
        { "matching is case-sensitive", "ABC", { { "abc", "z" } }, "ABC" },
        { "an empty before text does nothing", "abc", { { "", "z" } }, "abc" },
        { "an empty after text deletes", "aXYZbXYZ", { { "XYZ", "" } }, "ab" },
        { "no match from a trail byte", "\x83\x41", { { "A", "B" } }, "\x83\x41" },
        { "no pairs", "abc", {}, "abc" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        StringList before, after;
        for (const auto &[b, a] : row.pairs) {
            before.push_back(b);
            after.push_back(a);
        }
        std::string text = row.text;
        job_progress::JobProgress progress;
        EXPECT_TRUE(cnv_table::ApplyPairs(text, before, after, &progress));
        EXPECT_EQ(text, row.want);
        EXPECT_EQ(progress.maximum(), static_cast<std::int64_t>(row.pairs.size()));
        EXPECT_EQ(progress.position(), static_cast<std::int64_t>(row.pairs.size()));
    }
}

TEST(CnvTableApply, MatchesReplaceAllOnRandomInput)
{
    // Pairs whose before bytes occur only across character boundaries must change nothing.
    std::mt19937 rng(9);
    const auto randomText
        = [&rng](std::size_t maxLength) { return random_text::RandomText(rng, "aA\x82\x9f\x83\x41\xe0", maxLength); };
    for (int round = 0; round < 3000; ++round) {
        const std::string input = randomText(round < 2990 ? 40 : 20000);
        StringList before, after;
        for (int i = rng() % 4; i > 0; --i) {
            before.push_back(randomText(3));
            after.push_back(randomText(2));
        }
        std::string want = input;
        for (std::size_t i = 0; i < before.size(); ++i)
            want = func_token::ReplaceAll(want, before[i], after[i]);
        std::string text = input;
        ASSERT_TRUE(cnv_table::ApplyPairs(text, before, after, nullptr));
        ASSERT_EQ(text, want) << round;
    }
}

TEST(CnvTableApply, MatchesReplaceAllAcrossStopCheckWindows)
{
    // With a progress to watch, each pass searches the text in windows; occurrences and trail
    // bytes that straddle a window's edge must be found exactly as in one search.
    std::mt19937 rng(21);
    static const char alphabet[] = { 'a', 'b', '\x82', '\xa0', '\x83', '\x41' };
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    for (int round = 0; round < 12; ++round) {
        std::string input(3 * job_progress::kScanChunk + rng() % 4096, ' ');
        for (char &c : input)
            c = alphabet[pick(rng)];
        StringList before, after;
        for (int i = 1 + rng() % 3; i > 0; --i) {
            before.push_back(std::string(1 + rng() % 3, '\0'));
            for (char &c : before.back())
                c = alphabet[pick(rng)];
            after.push_back(round % 2 ? "xyz1" : "");
        }
        std::string want = input;
        for (std::size_t i = 0; i < before.size(); ++i)
            want = func_token::ReplaceAll(want, before[i], after[i]);
        std::string text = input;
        job_progress::JobProgress progress;
        ASSERT_TRUE(cnv_table::ApplyPairs(text, before, after, &progress));
        ASSERT_EQ(text, want) << round;
    }
}

TEST(CnvTableApply, StopBeforeTheStartChangesNothing)
{
    job_progress::JobProgress progress;
    progress.requestStop();
    std::string text = "ab";
    EXPECT_FALSE(cnv_table::ApplyPairs(text, { "a", "b" }, { "b", "c" }, &progress));
    EXPECT_EQ(progress.position(), 0);
    EXPECT_EQ(text, "ab");
}

TEST(CnvTableApply, StopInsideAPassLeavesAConvertedPrefix)
{
    // A stop during a pass over a big text ends that pass early. Whatever the moment, the text
    // is the pair applied up to some occurrence and the original after it (in place), or the
    // input (a growing pair): never torn bytes.
    struct Row {
        const char *name;
        std::string after;
    };
    const Row rows[] = { { "shrinking, in place", "c" }, { "same length, in place", "cd" }, { "growing", "cde" } };
    const std::size_t units = 8 << 20;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::string text;
        text.reserve(2 * units);
        for (std::size_t i = 0; i < units; ++i)
            text += "ab";
        job_progress::JobProgress progress;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            progress.requestStop();
        });
        const bool completed = cnv_table::ApplyPairs(text, { "ab" }, { row.after }, &progress);
        stopper.join();
        if (completed) {
            EXPECT_EQ(text.size(), units * row.after.size());
            continue;
        }
        EXPECT_EQ(progress.position(), 0);
        // Converted units, then original ones.
        std::size_t converted = 0;
        while (text.compare(converted * row.after.size(), row.after.size(), row.after) == 0
            && converted * row.after.size() < text.size())
            ++converted;
        const std::size_t rest = text.size() - converted * row.after.size();
        ASSERT_EQ(rest % 2, 0u);
        EXPECT_EQ(converted + rest / 2, units);
        EXPECT_EQ(text.find_first_not_of("ab", converted * row.after.size()), std::string::npos);
        if (row.after.size() > 2) {
            EXPECT_EQ(converted, 0u);
        }
    }
}

TEST_F(TableFiles, MakeCnvTableAppendsTablesInLoadOrder)
{
    write("one.tbl", "a\tb\r\nc\td");
    write("置換.tbl", "e\tf\n");
    write("UP.Tbl", "g\th\n");
    std::filesystem::create_directory(m_dir + "/dir.tbl");
    StringList before, after;
    const auto load = [&](std::string_view name) {
        const auto loaded = cnv_table::MakeCnvTable(before, after, name, m_dir);
        return loaded ? std::string("ok") : loaded.error().reason();
    };
    EXPECT_EQ(load("one"), "ok");
    EXPECT_EQ(load("UP"), "ok"); // listed as UP, so loadable as UP
    EXPECT_EQ(load("missing"), std::strerror(ENOENT));
    EXPECT_EQ(load("dir"), std::strerror(EISDIR));
    EXPECT_EQ(load(kChikanSjis), "ok");
    EXPECT_EQ(Zip(before, after), (Pairs { { "a", "b" }, { "c", "d" }, { "g", "h" }, { "e", "f" } }));
}

TEST_F(TableFiles, SearchListsTblEntriesInAnyCase)
{
    for (const char *name : { "a.tbl", "B.TBL", "c.Tbl", "置換.tbl", "d.txt", "etbl", "f.tbl.bak" })
        write(name, "x\ty\n");
    std::filesystem::create_directory(m_dir + "/sub.tbl");
    std::filesystem::create_directory(m_dir + "/deeper");
    write("deeper/g.tbl", "");

    auto found = cnv_table::SearchTableFiles(m_dir);
    std::sort(found.begin(), found.end());
    std::vector<std::string> want;
    for (const char *name : { "B.TBL", "a.tbl", "c.Tbl", "sub.tbl", "置換.tbl" })
        want.push_back(m_dir + "/" + name);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(found, want);
    EXPECT_TRUE(cnv_table::SearchTableFiles(m_dir + "/nothing-here").empty());
}
