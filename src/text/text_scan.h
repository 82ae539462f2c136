#pragma once
// Whole-buffer scanning helpers shared by the text units (internal, byte-wise).
#include <cstddef>
#include <cstring>
#include <string_view>

namespace text_scan
{

// Finds, for non-decreasing start positions, the next byte equal to a or b. Each byte is
// searched with memchr and its last hit is remembered, so a whole scan stays linear.
class NextOfTwo
{
public:
    NextOfTwo(std::string_view text, char a, char b)
        : m_text(text)
        , m_a(a)
        , m_b(b)
    {
    }

    // Position of the next a or b at or after from; text.size() when there is none.
    std::size_t find(std::size_t from)
    {
        if (m_nextA < from || m_nextA == kUnknown) m_nextA = search(m_a, from);
        if (m_nextB < from || m_nextB == kUnknown) m_nextB = search(m_b, from);
        return m_nextA < m_nextB ? m_nextA : m_nextB;
    }

private:
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

    std::size_t search(char c, std::size_t from) const
    {
        if (from >= m_text.size()) return m_text.size();
        const void *hit = std::memchr(m_text.data() + from, c, m_text.size() - from);
        return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - m_text.data()) : m_text.size();
    }

    std::string_view m_text;
    char m_a;
    char m_b;
    std::size_t m_nextA = kUnknown;
    std::size_t m_nextB = kUnknown;
};

} // namespace text_scan
