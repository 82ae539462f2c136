// URL list operations, sequence expansion and the link page on an arbitrary list (the input's
// LF-separated lines).
#include "text/func_lanzo.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

using func_token::StringList;

namespace
{

std::size_t Count(std::string_view text, std::string_view needle)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    StringList items;
    for (std::size_t start = 0; start <= in.size();) {
        const std::size_t end = std::min(in.find('\n', start), in.size());
        items.emplace_back(in.substr(start, end - start));
        start = end + 1;
    }

    StringList sorted = items, sortedBack = items, unique = items;
    func_lanzo::SortForward(sorted);
    func_lanzo::SortBackward(sortedBack);
    func_lanzo::RemoveDuplicates(unique);
    StringList a = items, b = sorted, c = sortedBack;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::sort(c.begin(), c.end());
    if (a != b || a != c) std::abort(); // sorting only reorders
    if (std::set<std::string>(items.begin(), items.end()).size() != unique.size()) std::abort();
    StringList again = sorted;
    func_lanzo::SortForward(again);
    if (again != sorted) std::abort(); // and is stable on its own output

    // The page holds one entry per item whatever the items hold: markup in an item is escaped.
    const std::string page = func_lanzo::MakeLinkPage(items);
    if (Count(page, "<li>") != items.size() || Count(page, "</a>") != items.size()) std::abort();

    // Expansion produces as many lines as it announces, and the bound is honoured.
    std::uint64_t announced = 0;
    bool plain = true;
    for (const std::string &item : items) {
        announced += func_lanzo::ExpandedLineCount(item);
        if (item.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) plain = false;
    }
    constexpr std::uint64_t kBound = 20000;
    const auto expanded = func_lanzo::ExpandList(items, kBound);
    if (announced > kBound && announced > items.size()) {
        if (expanded) std::abort();
    } else {
        if (!expanded) std::abort();
        // Items without line breaks of their own give exactly the announced lines (less the
        // empty items at the ends, which the join and the cut drop).
        if (plain && expanded->size() > announced) std::abort();
        if (plain && !items.front().empty() && !items.back().empty() && expanded->size() != announced) std::abort();
    }
    for (const std::string &item : items)
        if (func_lanzo::ExpandedLineCount(item) <= 1000) {
            const std::string one = func_lanzo::ExpandSequence(item);
            if (plain && Count(one, "\r") + 1 != func_lanzo::ExpandedLineCount(item)) std::abort();
        }

    (void)func_lanzo::CopyItemsText(items, {});
    std::vector<bool> selected(items.size());
    for (std::size_t i = 0; i < selected.size(); ++i)
        selected[i] = (i * 7 + size) % 3 == 0;
    (void)func_lanzo::CopyItemsText(items, selected);
    StringList history;
    for (const std::string &item : items)
        func_lanzo::AddComboHistory(history, item, 5);
    if (history.size() > 5) std::abort();
    const auto found = func_lanzo::FindInSource(in, items.front(), size / 2);
    if (found && *found + items.front().size() > in.size()) std::abort();
    for (std::size_t i : func_lanzo::SelectMatchingItems(items, items.back()))
        if (i >= items.size()) std::abort();
    return 0;
}
