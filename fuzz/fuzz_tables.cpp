// The table-file reader and the application of its pairs, on arbitrary table bytes and texts.
#include "tables/cnv_table.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using func_token::StringList;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A 0xFF byte, if any, separates the table file from the text it is applied to.
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    const std::size_t cut = in.find('\xff');
    const std::string_view table = in.substr(0, cut);
    const std::string_view text = cut == std::string_view::npos ? std::string_view() : in.substr(cut + 1);

    StringList before, after;
    cnv_table::ParseCnvTable(table, before, after);
    if (before.size() != after.size()) std::abort();
    for (std::size_t i = 0; i < before.size(); ++i) {
        // A pair lives on one line. (A tab may stay inside a field as the trail byte of a
        // double-byte character.)
        if (before[i].find('\n') != std::string::npos || after[i].find('\n') != std::string::npos) std::abort();
    }
    // Reading the same bytes twice appends the same pairs again.
    StringList before2 = before, after2 = after;
    cnv_table::ParseCnvTable(table, before2, after2);
    if (before2.size() != 2 * before.size()) std::abort();

    // Pairs whose after holds its before several times multiply the text with every pair (a
    // table of thirty "a<TAB>aa" lines doubles it thirty times); such tables are skipped here
    // so the fuzzer measures the reader rather than the memory of the machine.
    double bound = static_cast<double>(text.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        if (!before[i].empty() && after[i].size() > before[i].size())
            bound *= static_cast<double>(after[i].size()) / static_cast<double>(before[i].size());
    if (bound > 1e6) return 0;

    std::string converted(text);
    job_progress::JobProgress progress;
    if (!cnv_table::ApplyPairs(converted, before, after, &progress)) std::abort();
    if (progress.position() > progress.maximum() && progress.maximum() > 0) std::abort();
    bool anyFound = false;
    for (const std::string &b : before)
        if (!b.empty() && func_token::ContainsText(text, b)) anyFound = true;
    if (!anyFound && converted != text) std::abort();

    // A stop requested before the job starts leaves a partly converted text but never crashes.
    std::string stopped(text);
    job_progress::JobProgress stop;
    stop.requestStop();
    (void)cnv_table::ApplyPairs(stopped, before, after, &stop);

    (void)cnv_table::TableNameFromPath(table);
    return 0;
}
