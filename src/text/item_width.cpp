#include "text/item_width.h"

namespace item_width
{

std::uint64_t ItemWidth(std::string_view item, const CharWidths &widths)
{
    std::uint64_t width = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(item.data());
    const auto *const end = p + item.size();
    while (p < end) {
        if (func_token::IsLeadByte(*p) && end - p >= 2 && p[1] >= 0x40 && p[1] != 0x7F && p[1] <= 0xFC) {
            width += widths.pair;
            p += 2;
        } else {
            width += widths.single[*p++];
        }
    }
    return width;
}

void WidestItem::setCharWidths(const CharWidths &widths, const func_token::StringList &items)
{
    m_widths = widths;
    reset(items);
}

void WidestItem::reset(const func_token::StringList &items)
{
    m_widest = 0;
    m_count = 0;
    m_stale = false;
    for (const std::string &item : items)
        add(item);
}

void WidestItem::add(std::string_view item)
{
    const std::uint64_t width = ItemWidth(item, m_widths);
    if (width > m_widest) {
        m_widest = width;
        m_count = 1;
    } else if (width == m_widest) {
        ++m_count;
    }
}

void WidestItem::remove(std::string_view item)
{
    if (m_stale || ItemWidth(item, m_widths) != m_widest) return;
    if (--m_count == 0) m_stale = true;
}

std::uint64_t WidestItem::widest(const func_token::StringList &items)
{
    if (m_stale) reset(items);
    return m_widest;
}

} // namespace item_width
