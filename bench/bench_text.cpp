// Speed of the text rules and text tools on a generated Shift_JIS HTML text (about 32 MB)
// and on generated URL lists. Needs no corpus.
#include "text/func_lanzo.h"
#include "text/func_token.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace
{

const std::string &Page()
{
    static const std::string page = [] {
        std::string text;
        text.reserve(33u << 20);
        std::mt19937 rng(1);
        // ア (83 41) and ー (81 5B) carry trail bytes that look like 'A' and '['.
        const char *words[] = { "\x83\x41\x83\x8A", "\x81\x5B\x82\xA0", "text", " ", "\x95\x5C" };
        while (text.size() < (32u << 20)) {
            text += "<a href=\"http://example.com/dir/page";
            text += std::to_string(rng() % 1000);
            text += ".html\">";
            for (int k = 0; k < 6; ++k)
                text += words[rng() % 5];
            text += "</a> <IMG SRC='img.gif'>\r\n";
        }
        return text;
    }();
    return page;
}

void Finish(benchmark::State &state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_ContainsTextMiss(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_token::ContainsText(Page(), "A\x83"));
    Finish(state, Page().size());
}

void BM_ContainsTextIgnoreCaseMiss(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_token::ContainsTextIgnoreCase(Page(), "https://"));
    Finish(state, Page().size());
}

void BM_ReplaceAll(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_token::ReplaceAll(Page(), "http://", "https://"));
    Finish(state, Page().size());
}

void BM_ReplaceAllIgnoreCase(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_token::ReplaceAllIgnoreCase(Page(), " src", " href"));
    Finish(state, Page().size());
}

void BM_SplitLines(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_token::SplitLines(Page()));
    Finish(state, Page().size());
}

void BM_NormalizeLineBreaks(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_token::NormalizeLineBreaks(Page()));
    Finish(state, Page().size());
}

void BM_SplitTokens(benchmark::State &state)
{
    func_token::StringList tokens;
    for (auto _ : state) {
        func_token::SplitTokens(tokens, Page(), " <>'");
        benchmark::DoNotOptimize(tokens.data());
    }
    Finish(state, Page().size());
}

void BM_CutOutTags(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_lanzo::CutOutTags(Page()));
    Finish(state, Page().size());
}

void BM_CleanText(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_lanzo::CleanText(Page()));
    Finish(state, Page().size());
}

void BM_TrimLinesText(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(func_lanzo::TrimLinesText(Page()));
    Finish(state, Page().size());
}

void BM_ExpandListMillion(benchmark::State &state)
{
    const func_token::StringList items(10'000, "http://example.com/img/photo[000-099].jpg");
    for (auto _ : state)
        benchmark::DoNotOptimize(func_lanzo::ExpandList(items));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 1'000'000));
}

void BM_SortBackward(benchmark::State &state)
{
    std::mt19937 rng(2);
    func_token::StringList items;
    for (int i = 0; i < 200'000; ++i)
        items.push_back("http://example.com/" + std::to_string(rng()) + (i % 2 ? ".JPG" : ".gif"));
    for (auto _ : state) {
        func_token::StringList copy = items;
        func_lanzo::SortBackward(copy);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * items.size()));
}

} // namespace

BENCHMARK(BM_ContainsTextMiss)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContainsTextIgnoreCaseMiss)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllIgnoreCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NormalizeLineBreaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitTokens)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CutOutTags)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrimLinesText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandListMillion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortBackward)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
