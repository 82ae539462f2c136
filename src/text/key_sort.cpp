#include "text/key_sort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace key_sort
{
namespace
{

// Keys are sorted eight bytes at a time: each entry holds the next eight bytes of its key as
// one number, so most comparisons are two integer compares on a small array instead of a
// memcmp through a pointer; only entries whose eight bytes tie are sorted again on the next
// eight. URLs share long beginnings ("http://www."), which made every memcmp walk them.
struct Entry {
    std::uint64_t word; // the eight bytes from the current depth, most significant first
    std::uint64_t tie; // the remaining length (0 to 8, or 9 for more) above the index
};

constexpr int kIndexBits = 59;
constexpr std::uint64_t kIndexMask = (std::uint64_t { 1 } << kIndexBits) - 1;
constexpr std::uint64_t kMoreThanEight = 9;

bool operator<(const Entry &a, const Entry &b)
{
    return a.word != b.word ? a.word < b.word : a.tie < b.tie;
}

std::uint64_t LoadLittleEndian(const char *bytes, std::size_t count)
{
    std::uint64_t word = 0;
    if (count > 0) std::memcpy(&word, bytes, count); // x86-64 and the other targets are little-endian
    return word;
}

// The eight bytes of key at depth: key[depth] most significant, or with fromEnd
// key[size - 1 - depth]; a key that ends before them is padded with zero bytes, and the
// remaining length tells a padding zero from a zero byte of the key.
void Fill(Entry &entry, std::string_view key, std::size_t depth, bool fromEnd)
{
    const std::size_t index = entry.tie & kIndexMask;
    const std::size_t remaining = key.size() > depth ? key.size() - depth : 0;
    const std::size_t count = std::min<std::size_t>(remaining, 8);
    if (fromEnd) {
        // The bytes before the end, loaded as a little-endian number, have the last one on top.
        const std::uint64_t word = LoadLittleEndian(key.data() + remaining - count, count);
        entry.word = count == 0 ? 0 : word << (8 * (8 - count));
    } else {
        entry.word = __builtin_bswap64(LoadLittleEndian(key.data() + depth, count));
    }
    const std::uint64_t length = remaining > 8 ? kMoreThanEight : remaining;
    entry.tie = (length << kIndexBits) | index;
}

struct Range {
    std::size_t begin, end, depth;
};

} // namespace

std::vector<std::size_t> SortedKeyOrder(const std::vector<std::string_view> &keys, bool fromEnd)
{
    std::vector<Entry> entries(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        entries[i].tie = i;
    std::vector<Range> pending;
    if (keys.size() > 1) pending.push_back({ 0, keys.size(), 0 });
    while (!pending.empty()) {
        const Range range = pending.back();
        pending.pop_back();
        const auto first = entries.begin() + static_cast<std::ptrdiff_t>(range.begin);
        const auto last = entries.begin() + static_cast<std::ptrdiff_t>(range.end);
        for (auto it = first; it != last; ++it)
            Fill(*it, keys[it->tie & kIndexMask], range.depth, fromEnd);
        const auto continues = [](const Entry &e) { return (e.tie >> kIndexBits) == kMoreThanEight; };
        // Many equal long keys would otherwise be sorted again at every depth.
        const bool allTied
            = std::all_of(first, last, [&](const Entry &e) { return e.word == first->word && continues(e); });
        if (allTied) {
            pending.push_back({ range.begin, range.end, range.depth + 8 });
            continue;
        }
        // The index below the length keeps equal keys in their order.
        std::sort(first, last);
        for (auto group = first; group != last;) {
            auto next = group + 1;
            if (continues(*group))
                while (next != last && next->word == group->word && continues(*next))
                    ++next;
            if (next - group > 1)
                pending.push_back({ static_cast<std::size_t>(group - entries.begin()),
                    static_cast<std::size_t>(next - entries.begin()), range.depth + 8 });
            group = next;
        }
    }
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        order[i] = entries[i].tie & kIndexMask;
    return order;
}

} // namespace key_sort
