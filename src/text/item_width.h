#pragma once
// The width of a list's widest item, kept up to date as items come and go. A list of half a
// million URLs changes often and its widest item rarely, so no change measures every item again:
// only removing the last item of the widest width does, and only when the width is next asked.
#include "text/func_token.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace item_width
{

// Advances in any unit (the window uses 1/64 pixel): single[b] for a byte shown on its own,
// pair for a double-byte character (lead byte and trail byte).
struct CharWidths {
    std::array<std::uint32_t, 256> single {};
    std::uint32_t pair = 0;
};

std::uint64_t ItemWidth(std::string_view item, const CharWidths &widths);

class WidestItem
{
public:
    void setCharWidths(const CharWidths &widths, const func_token::StringList &items);
    // The items all replaced (a new list, a rewrite, a reordering that dropped some).
    void reset(const func_token::StringList &items);
    void add(std::string_view item);
    void remove(std::string_view item);
    // items: the list as it stands, measured again only when the widest item went away.
    std::uint64_t widest(const func_token::StringList &items);

private:
    CharWidths m_widths;
    std::uint64_t m_widest = 0;
    std::size_t m_count = 0; // items of the widest width
    bool m_stale = false;
};

} // namespace item_width
