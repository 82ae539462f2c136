// Speed of the extraction, link and table core on the generated corpus (bench/out/page.html,
// about 64 MB of Shift_JIS HTML). Run bench/gen_corpus.py first, or bench/run.sh.
#include "base/file_io.h"
#include "extract/extraction.h"
#include "extract/html_links.h"
#include "tables/cnv_table.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{

std::string DataPath(const char *name)
{
    const char *dir = std::getenv("LANZO_BENCH_DATA");
    return std::string(dir ? dir : LANZO_BENCH_DATA) + "/" + name;
}

const std::string &Page()
{
    static const std::string page = file_io::ReadWholeFile(DataPath("page.html")).value_or("");
    return page;
}

// The conditions of the corpus's set2.ini.
const extraction::Conditions kSet2 { { "http://", "https://", "ttp://" }, {}, { ".jpg", ".png", ".zip" } };

bool HavePage(benchmark::State &state)
{
    if (Page().empty()) {
        state.SkipWithError("bench/out/page.html is missing: run bench/gen_corpus.py");
        return false;
    }
    return true;
}

void Finish(benchmark::State &state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_PreparedLength(benchmark::State &state)
{
    if (!HavePage(state)) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(extraction::PreparedLength(Page()));
    Finish(state, Page().size());
}

void BM_TokenizeOnly(benchmark::State &state)
{
    // No condition can match: the scan alone, with nothing copied.
    if (!HavePage(state)) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(extraction::FilterTokens(Page(), extraction::Conditions {}));
    Finish(state, Page().size());
}

void BM_FilterSet2(benchmark::State &state)
{
    if (!HavePage(state)) return;
    std::size_t kept = 0;
    for (auto _ : state)
        kept = extraction::FilterTokens(Page(), kSet2).size();
    state.counters["kept"] = static_cast<double>(kept);
    Finish(state, Page().size());
}

void BM_FilterMiddle(benchmark::State &state)
{
    if (!HavePage(state)) return;
    const extraction::Conditions middle { {}, { "example.co" }, {} };
    std::size_t kept = 0;
    for (auto _ : state)
        kept = extraction::FilterTokens(Page(), middle).size();
    state.counters["kept"] = static_cast<double>(kept);
    Finish(state, Page().size());
}

void BM_RunExtractionSet2(benchmark::State &state)
{
    // The whole job with progress and no tables, as the window and the command line run it.
    if (!HavePage(state)) return;
    for (auto _ : state) {
        job_progress::JobProgress progress;
        benchmark::DoNotOptimize(extraction::RunExtraction(Page(), kSet2, {}, &progress));
    }
    Finish(state, Page().size());
}

void BM_RunExtractionTable40(benchmark::State &state)
{
    if (!HavePage(state)) return;
    const cnv_table::TablePairs tables = cnv_table::LoadTables({ "table40" }, DataPath(""));
    for (auto _ : state) {
        job_progress::JobProgress progress;
        benchmark::DoNotOptimize(extraction::RunExtraction(Page(), kSet2, tables, &progress));
    }
    Finish(state, Page().size());
}

void BM_ExtractLinks(benchmark::State &state)
{
    if (!HavePage(state)) return;
    std::size_t links = 0;
    for (auto _ : state) {
        job_progress::JobProgress progress;
        links = html_links::ExtractLinks(Page(), &progress).links.size();
    }
    state.counters["links"] = static_cast<double>(links);
    Finish(state, Page().size());
}

void BM_PrepareHtmlText(benchmark::State &state)
{
    if (!HavePage(state)) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(html_links::PrepareHtmlText(Page()));
    Finish(state, Page().size());
}

void BM_ApplyTable40(benchmark::State &state)
{
    if (!HavePage(state)) return;
    const cnv_table::TablePairs tables = cnv_table::LoadTables({ "table40" }, DataPath(""));
    if (tables.before.size() != 40) {
        state.SkipWithError("bench/out/table40.tbl is missing or not 40 pairs");
        return;
    }
    for (auto _ : state) {
        std::string text = Page();
        cnv_table::ApplyPairs(text, tables.before, tables.after, nullptr);
        benchmark::DoNotOptimize(text);
    }
    Finish(state, Page().size());
}

} // namespace

BENCHMARK(BM_PreparedLength)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TokenizeOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterSet2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterMiddle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunExtractionSet2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunExtractionTable40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractLinks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareHtmlText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyTable40)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
