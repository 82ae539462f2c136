// The streaming and in-place paths against the whole-text functions they stand in for: every
// test compares the two on tricky and on random input, so a fast path that drifts from the
// rules fails here.
#include "encoding/jconvert.h"
#include "encoding/url_codec.h"
#include "extract/extract_stream.h"
#include "extract/extraction.h"
#include "extract/html_links.h"
#include "support/random_text.h"
#include "tables/cnv_table.h"
#include "text/func_lanzo.h"
#include "text/func_token.h"
#include "text/text_stream.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

using func_token::StringList;

namespace
{

using random_text::RandomText;

// Random words of an alphabet, so that longer patterns turn up too.
std::string RandomWords(std::mt19937 &rng, const std::vector<std::string> &words, std::size_t maxWords)
{
    std::string text;
    for (std::size_t n = rng() % (maxWords + 1); n > 0; --n)
        text += words[rng() % words.size()];
    return text;
}

StringList Collect(const std::function<void(const text_stream::Emit &)> &run)
{
    StringList out;
    run([&](std::string_view piece) { out.emplace_back(piece); });
    return out;
}

// Breaks, NUL, a lead byte and plain bytes, in every order.
constexpr std::string_view kBreakAlphabet("a\r\n\r\n\0\x82 ", 8);

} // namespace

TEST(SourceForm, Rows)
{
    struct Row {
        std::string text;
        bool want;
    };
    const std::string block(64, 'x');
    const Row rows[] = {
        { "", true },
        { "a\r\nb\r\n", true },
        { "a\rb", false },
        { "a\nb", false },
        { "a\r", false },
        { "\n", false },
        { "\n\r", false },
        { std::string("a\0b", 3), false },
        // Across the 64-byte blocks: a CR as the last byte of one, its LF first in the next.
        { std::string(63, 'x') + "\r\n" + block, true },
        { std::string(63, 'x') + "\r" + block, false },
        { block + "\n", false },
        { block + std::string(1, '\0') + block, false },
        { block + block + "\r", false },
    };
    for (const Row &row : rows)
        EXPECT_EQ(text_stream::IsSourceForm(row.text), row.want) << testing::PrintToString(row.text);
}

TEST(SourceForm, MatchesNormalizationOnRandomInput)
{
    std::mt19937 rng(1);
    for (int round = 0; round < 4000; ++round) {
        const std::string text = RandomText(rng, round % 2 ? "ab\r\n\r\nx" : kBreakAlphabet, 200);
        ASSERT_EQ(text_stream::IsSourceForm(text), func_token::NormalizeLineBreaks(text) == text)
            << testing::PrintToString(text);
    }
}

TEST(ForEachLine, MatchesSplitLines)
{
    std::mt19937 rng(2);
    for (int round = 0; round < 2000; ++round) {
        const std::string text = RandomText(rng, kBreakAlphabet, 40);
        ASSERT_EQ(
            Collect([&](const auto &emit) { text_stream::ForEachLine(text, emit); }), func_token::SplitLines(text))
            << testing::PrintToString(text);
    }
}

TEST(BreakNormalizer, PiecesGiveTheWholeNormalization)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(rng, kBreakAlphabet, 60);
        const bool markLast = round % 2 == 0; // with and without telling the last piece
        text_stream::BreakNormalizer normalizer;
        std::string scratch, got;
        for (std::size_t from = 0; from < text.size();) {
            const std::size_t size = 1 + rng() % 5;
            const std::size_t end = std::min(text.size(), from + size);
            got += normalizer.next(
                std::string_view(text).substr(from, end - from), scratch, markLast && end == text.size());
            from = end;
        }
        got += normalizer.finish();
        ASSERT_EQ(got, func_token::NormalizeLineBreaks(text)) << testing::PrintToString(text);
    }
}

TEST(PieceEnd, Rows)
{
    struct Row {
        std::string_view text;
        std::size_t from, size, want;
    };
    const Row rows[] = {
        { "ab\ncd\nef", 0, 2, 3 }, // the LF at the last byte of the size
        { "ab\ncd\nef", 0, 1, 3 }, // the piece runs on to the next LF
        { "ab\ncd\nef", 3, 2, 6 },
        { "ab\ncd\nef", 6, 2, 8 }, // the rest fits
        { "abcdef", 0, 2, 6 }, // no LF: the whole rest
        { "ab\n", 0, 10, 3 },
        { "ab", 2, 1, 2 },
    };
    for (const Row &row : rows)
        EXPECT_EQ(text_stream::PieceEnd(row.text, row.from, row.size), row.want) << row.text << " " << row.from;
}

// Every command that streams in pieces gives, for a source text cut with PieceEnd, the pieces'
// results put together, and refuses the whole text exactly when it refuses one of the pieces:
// the whole point of cutting after an LF.
TEST(PieceEnd, CuttingNeverChangesAPiecewiseResult)
{
    using Result = std::optional<std::string>; // nullopt: the input is refused
    struct Command {
        const char *name;
        std::vector<std::string> words;
        std::function<Result(std::string_view)> run;
    };
    const auto always
        = [](std::string (*f)(std::string_view)) { return [f](std::string_view s) { return Result(f(s)); }; };
    // Lead bytes right before the CR LF, half-width kana, EUC single shifts, escapes, UTF-8
    // surrogate halves and broken sequences.
    const Command commands[] = {
        { "SjisToEuc", { "a", "\x82", "\xa0", "\x88\x9f", "\xb1", "\x80", "\xfd", "\r\n" },
            always(jconvert::SjisToEuc) },
        { "EucToSjis", { "a", "\xa4\xa2", "\x8e", "\xb1", "\xb0", "\xff", "\r\n" }, always(jconvert::EucToSjis) },
        { "SjisToUtf8", { "a", "\x82", "\xa0", "\x88\x9f", "\xb1", "\x80", "\xfd", "\x81", "\r\n" },
            always(jconvert::SjisToUtf8) },
        { "Utf8ToSjis", { "a", "\xe3\x81\x82", "\xc3\xa9", "\xed\xa0\xbd", "\xed\xb0\xbd", "\r\n", "\r\n", "\r\n" },
            [](std::string_view s) {
                std::string out = jconvert::Utf8ToSjis(s);
                return out.empty() && !s.empty() ? Result() : Result(out);
            } },
        { "Utf8ToSjis broken", { "a", "\xe3\x81\x82", "\xe3", "\x81", "\r\n", "\r\n", "\r\n", "\r\n", "\r\n" },
            [](std::string_view s) {
                std::string out = jconvert::Utf8ToSjis(s);
                return out.empty() && !s.empty() ? Result() : Result(out);
            } },
        { "UrlEncode", { "a", " ", "\x82\xa0", "%", "+", "\r\n" }, always(url_codec::UrlEncode) },
        { "EncodeWholeLines", { "a", " ", "\x82", "%", "\r\n" }, always(url_codec::EncodeWholeLines) },
        { "UrlDecode", { "a", "+", "%41", "%%", "%", "4", "\x82", "\r\n", "\r\n", "\r\n", "\r\n", "\r\n" },
            [](std::string_view s) {
                auto r = url_codec::UrlDecode(s);
                return r ? Result(*r) : Result();
            } },
        { "DecodeWholeLines", { "a", "+", "%41", "%%", "%", "\r\n", "\r\n", "\r\n", "\r\n", "\r\n" },
            [](std::string_view s) {
                std::string out;
                return url_codec::DecodeWholeLines(s, out) ? Result(out) : Result();
            } },
    };
    std::mt19937 rng(4);
    for (const Command &command : commands) {
        int refused = 0;
        for (int round = 0; round < 1500; ++round) {
            // Source texts only: CR LF breaks, no NUL.
            const std::string text = RandomWords(rng, command.words, 40);
            ASSERT_TRUE(text_stream::IsSourceForm(text));
            const Result whole = command.run(text);
            Result pieces = std::string();
            for (std::size_t from = 0; from < text.size() && pieces;) {
                const std::size_t end = text_stream::PieceEnd(text, from, 1 + rng() % 8);
                const Result piece = command.run(std::string_view(text).substr(from, end - from));
                pieces = piece ? Result(*pieces + *piece) : Result();
                from = end;
            }
            ASSERT_EQ(pieces, whole) << command.name << " " << testing::PrintToString(text);
            refused += !whole;
        }
        if (std::string_view(command.name).find("broken") != std::string_view::npos) {
            EXPECT_GT(refused, 100) << command.name; // the refusing side is exercised too
        }
    }
}

// A high surrogate swallows only a low one right after it; ASCII in between (a run long
// enough for the eight-byte copy, too) ends that.
TEST(Utf8ToSjis, LowSurrogateAfterOtherCharactersIsItsOwnCharacter)
{
    const std::string high = "\xed\xa0\xbd", low = "\xed\xb0\xbd";
    struct Row {
        std::string in, want;
    };
    const Row rows[] = {
        { high + low, "?" },
        { high + "a" + low, "?a?" },
        { high + "\r\nabcdefgh" + low, "?\r\nabcdefgh?" },
        { high + "abcdefghijklmnop" + low, "?abcdefghijklmnop?" },
    };
    for (const Row &row : rows)
        EXPECT_EQ(jconvert::Utf8ToSjis(row.in), row.want) << testing::PrintToString(row.in);
}

TEST(ForEachExpandedLine, MatchesExpandSequence)
{
    const std::string_view lines[]
        = { "", "plain", "a[1-3]b", "a[08-11]", "[3-1]", "x[1-2]y[3-4]", "[a-b]", "[1-]", "\x83[1-2]",
              "\x83\x5b"
              "1-2]",
              "p[-2-1]", "q[ 1 - 2 ]",
              // counting up in place: carries, a number that gains digits, padding kept
              "u[7-12].jpg", "v[095-1003]/", "w[0-0]", "[98-101]", "z[9999-10001]x", "[0009-0011]",
              "[2147483646-2147483647]" };
    for (std::string_view line : lines) {
        StringList want;
        const std::string joined = func_lanzo::ExpandSequence(line);
        for (std::size_t start = 0;;) {
            const std::size_t cr = joined.find('\r', start);
            want.push_back(joined.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
            if (cr == std::string::npos) break;
            start = cr + 1;
        }
        EXPECT_EQ(Collect([&](const auto &emit) { text_stream::ForEachExpandedLine(line, emit); }), want) << line;
        EXPECT_EQ(func_lanzo::ExpandedLineCount(line), want.size()) << line;
        // The appending form, flushed in small blocks: the same lines, each with its break.
        std::string wantText, out = "x", flushed;
        for (const std::string &l : want)
            wantText += l + "\r\n";
        text_stream::AppendExpandedLines(line, "\r\n", out, 5, [&](std::string_view block) {
            EXPECT_GE(block.size(), 5u);
            flushed += block;
        });
        EXPECT_EQ(flushed + out, "x" + wantText) << line;
        EXPECT_LT(out.size(), 5u);
    }
}

TEST(ForEachMatch, MatchesRunExtraction)
{
    const std::vector<std::string> words = { "http://", "x.jpg", " ", "<", ">", "'", "\"", "\r\n", "\n", "\r", "a",
        "\x82", "\x83\x41", "\x82\x2e", "jpg", ".", "ttp", "\t", std::string(1, '\0'), "mid" };
    const extraction::Conditions conditionSets[] = {
        { { "http://" }, {}, { ".jpg" } },
        { { "ttp" }, { "mid" }, {} },
        { {}, {}, { "\x2ejpg", "a" } },
        { { "" }, {}, {} }, // an empty prefix keeps every token
        { {}, {}, {} },
    };
    std::mt19937 rng(5);
    for (const auto &conditions : conditionSets) {
        for (int round = 0; round < 800; ++round) {
            const std::string text = RandomWords(rng, words, round < 790 ? 30 : 3000);
            const StringList want = extraction::RunExtraction(text, conditions, {}).urls;
            job_progress::JobProgress progress;
            StringList got;
            ASSERT_TRUE(extract_stream::ForEachMatch(
                text, conditions, &progress, [&](std::string_view url) { got.emplace_back(url); }));
            ASSERT_EQ(got, want) << testing::PrintToString(text);
            EXPECT_EQ(progress.position(), progress.maximum());
        }
    }
}

TEST(ForEachLink, MatchesExtractLinks)
{
    // Tags across line breaks of every kind, " src" in any case (also right after a break),
    // lead bytes before a space, unclosed and nested '<', quoted and unquoted values.
    const std::vector<std::string> words = { "<a", "<", ">", " href=", " HREF=", " src=", " SRC=", " Src=", "\r\n",
        "\r", "\n", "src=", "\"x y\"", "\"", "u", " ", "\x82", "\x83\x41", "'", "=", "hReF", std::string(1, '\0') };
    std::mt19937 rng(6);
    for (int round = 0; round < 5000; ++round) {
        const std::string text = RandomWords(rng, words, round < 4990 ? 25 : 4000);
        const StringList want = html_links::ExtractLinks(text).links;
        job_progress::JobProgress progress;
        StringList got;
        ASSERT_TRUE(
            extract_stream::ForEachLink(text, &progress, [&](std::string_view link) { got.emplace_back(link); }));
        ASSERT_EQ(got, want) << testing::PrintToString(text);
    }
}

TEST(ForEachLink, StopsWhenAsked)
{
    job_progress::JobProgress progress;
    progress.requestStop();
    int links = 0;
    EXPECT_FALSE(extract_stream::ForEachLink("<a href=x>", &progress, [&](std::string_view) { ++links; }));
    EXPECT_EQ(links, 0);
}

// Mixed case, double-byte characters whose trail bytes are capital letters, exact and
// case-only duplicates, empty items, zero and high bytes, and long shared beginnings and
// endings, so that keys tie over many eight-byte steps and end at every offset within one.
TEST(ListOrders, MatchTheListOperations)
{
    const std::vector<std::string> words
        = { "a", "A", "b", "B", "\x82\x41", "\x82\x61", "/", "", std::string(1, '\0'), "\xff", "http://www.ex" };
    std::mt19937 rng(8);
    for (int round = 0; round < 2000; ++round) {
        StringList items;
        for (std::size_t n = rng() % (round < 1990 ? 12 : 3000); n > 0; --n)
            items.push_back(RandomWords(rng, words, 6));
        const std::vector<std::string_view> views(items.begin(), items.end());
        const auto pick = [&](const std::vector<std::size_t> &order) {
            StringList out;
            for (std::size_t i : order)
                out.push_back(items[i]);
            return out;
        };
        StringList forward = items, backward = items, unique = items;
        func_lanzo::SortForward(forward);
        func_lanzo::SortBackward(backward);
        func_lanzo::RemoveDuplicates(unique);
        ASSERT_EQ(pick(text_stream::SortOrder(views, false)), forward);
        ASSERT_EQ(pick(text_stream::SortOrder(views, true)), backward);
        ASSERT_EQ(pick(text_stream::DedupOrder(views)), unique);
    }
}

// Long tables whose pairs feed each other: an earlier pair creates, removes or joins the text a
// later pair looks for, which the skipping of pairs that cannot occur has to notice.
TEST(ApplyPairs, ChainedPairsMatchReplaceAll)
{
    const std::vector<std::string> words = { "a", "b", "ab", "\x82", "\x82\xa0", "\x83\x41", "A", "" };
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        const std::string input = RandomWords(rng, words, round < 2990 ? 12 : 5000);
        StringList before, after;
        for (int i = 1 + rng() % 12; i > 0; --i) {
            before.push_back(RandomWords(rng, words, 2));
            after.push_back(RandomWords(rng, words, 2));
        }
        std::string want = input;
        for (std::size_t i = 0; i < before.size(); ++i)
            want = func_token::ReplaceAll(want, before[i], after[i]);
        std::string text = input;
        ASSERT_TRUE(cnv_table::ApplyPairs(text, before, after, nullptr));
        ASSERT_EQ(text, want) << testing::PrintToString(input);
    }
}
