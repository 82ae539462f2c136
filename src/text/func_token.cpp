#include "text/func_token.h"

#include "text/byte_scan.h"
#include "text/text_stream.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace func_token
{

namespace
{

using Byte = unsigned char;

inline Byte byteAt(std::string_view s, std::size_t i)
{
    return static_cast<Byte>(s[i]);
}

// Bytes taken by the character that starts at i. A lead byte as the very last byte is a
// character of its own, so a walk never steps past the end.
inline std::size_t charLen(std::string_view s, std::size_t i)
{
    return (IsLeadByte(byteAt(s, i)) && i + 1 < s.size()) ? 2 : 1;
}

// Answers "is the byte at p a trail byte?" for a non-decreasing series of positions in
// O(total length). It remembers one position known to start a character; for a new
// position it looks back only over the run of lead-valued bytes right before it (a byte
// that is not lead-valued always ends a character), never past the remembered position.
class TrailCursor
{
public:
    explicit TrailCursor(std::string_view text)
        : m_text(text)
    {
    }

    bool isTrail(std::size_t p)
    {
        if (p < m_known) m_known = 0; // not expected; stays correct, only slower
        std::size_t q = p;
        while (q > m_known && IsLeadByte(byteAt(m_text, q - 1)))
            --q;
        // q starts a character: every byte from q to p - 1 is lead-valued, so they pair up.
        const bool trail = ((p - q) & 1) != 0;
        m_known = trail ? p - 1 : p;
        return trail;
    }

private:
    std::string_view m_text;
    std::size_t m_known = 0;
};

inline std::size_t findExact(std::string_view text, std::string_view pattern, std::size_t from)
{
    if (from > text.size() || pattern.size() > text.size() - from) return std::string_view::npos;
    const void *hit = ::memmem(text.data() + from, text.size() - from, pattern.data(), pattern.size());
    return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - text.data()) : std::string_view::npos;
}

constexpr std::array<Byte, 256> makeFoldTable()
{
    std::array<Byte, 256> t {};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<Byte>((i >= 'A' && i <= 'Z') ? i + ('a' - 'A') : i);
    return t;
}
constexpr std::array<Byte, 256> kFold = makeFoldTable();

constexpr char upperOf(char lower)
{
    return (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - ('a' - 'A')) : lower;
}

// First position >= from where pattern occurs with ASCII letters folded; byte positions,
// no character-boundary care (the caller checks the trail status). Positions asked for
// must not decrease.
class FoldFinder
{
public:
    FoldFinder(std::string_view text, std::string_view pattern)
        : m_text(text)
        , m_pattern(pattern)
        , m_firstLower(static_cast<char>(kFold[static_cast<Byte>(pattern.front())]))
        , m_firstUpper(upperOf(m_firstLower))
    {
        for (char c : pattern) {
            const Byte b = static_cast<Byte>(c);
            if (kFold[b] != b || (b >= 'a' && b <= 'z')) m_hasLetter = true;
        }
    }

    std::size_t find(std::size_t from)
    {
        if (!m_hasLetter) return findExact(m_text, m_pattern, from);
        if (m_pattern.size() > m_text.size()) return std::string_view::npos;
        const std::size_t last = m_text.size() - m_pattern.size(); // last possible start
        for (std::size_t p = nextFirst(from); p <= last; p = nextFirst(p + 1))
            if (restMatches(p)) return p;
        return std::string_view::npos;
    }

private:
    // The next position of either case of the pattern's first byte.
    std::size_t nextFirst(std::size_t from) const
    {
        return byte_scan::NextOfEither(m_text, from, m_firstLower, m_firstUpper);
    }

    bool restMatches(std::size_t p) const
    {
        for (std::size_t k = 1; k < m_pattern.size(); ++k)
            if (kFold[byteAt(m_text, p + k)] != kFold[byteAt(m_pattern, k)]) return false;
        return true;
    }

    std::string_view m_text;
    std::string_view m_pattern;
    char m_firstLower; // both cases of the pattern's first byte
    char m_firstUpper;
    bool m_hasLetter = false;
};

// Finds the first occurrence at or after from that does not begin on a trail byte.
template <typename Finder> std::size_t findNotOnTrail(Finder &finder, TrailCursor &cursor, std::size_t from)
{
    for (;;) {
        const std::size_t p = finder.find(from);
        if (p == std::string_view::npos || !cursor.isTrail(p)) return p;
        from = p + 1;
    }
}

struct ExactFinder {
    std::string_view text;
    std::string_view pattern;
    std::size_t find(std::size_t from) const { return findExact(text, pattern, from); }
};

template <typename Finder>
std::string replaceWith(std::string_view text, std::string_view oldText, std::string_view newText, Finder &finder)
{
    TrailCursor cursor(text);
    std::size_t p = findNotOnTrail(finder, cursor, 0);
    if (p == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + (newText.size() > oldText.size() ? text.size() / 8 : 0));
    std::size_t copied = 0;
    while (p != std::string_view::npos) {
        out.append(text.data() + copied, p - copied);
        out.append(newText);
        copied = p + oldText.size();
        p = findNotOnTrail(finder, cursor, copied);
    }
    out.append(text.data() + copied, text.size() - copied);
    return out;
}

// Delimiter characters of SplitTokens / IsDelimiterChar, split once into one-byte
// characters (a lookup table) and two-byte characters (a short list).
class DelimiterSet
{
public:
    explicit DelimiterSet(std::string_view delimiters)
    {
        for (std::size_t i = 0; i < delimiters.size();) {
            const std::size_t len = charLen(delimiters, i);
            if (len == 1)
                m_single[byteAt(delimiters, i)] = true;
            else
                m_double.push_back(delimiters.substr(i, 2));
            i += len;
        }
    }

    // Length of the delimiter character at i of text, or 0 when that character is none.
    std::size_t delimiterAt(std::string_view text, std::size_t i) const
    {
        if (charLen(text, i) == 1) return m_single[byteAt(text, i)] ? 1 : 0;
        for (std::string_view d : m_double)
            if (d[0] == text[i] && d[1] == text[i + 1]) return 2;
        return 0;
    }

private:
    std::array<bool, 256> m_single {};
    std::vector<std::string_view> m_double;
};

} // namespace

std::size_t CharCount(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += charLen(text, i))
        ++count;
    return count;
}

std::string CharAt(std::string_view text, long n)
{
    if (n < 1) return {};
    long k = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = charLen(text, i);
        if (++k == n) return std::string(text.substr(i, len));
        i += len;
    }
    return {};
}

bool IsDelimiterChar(std::string_view delimiters, std::string_view text, long n)
{
    const std::string wanted = CharAt(text, n);
    if (wanted.empty()) return false;
    for (std::size_t i = 0; i < delimiters.size();) {
        const std::size_t len = charLen(delimiters, i);
        if (delimiters.substr(i, len) == wanted) return true;
        i += len;
    }
    return false;
}

bool NextTabField(std::string_view line, std::size_t &pos, std::string_view &field)
{
    const std::size_t n = line.size();
    if (pos >= n) return false;
    const std::size_t start = pos;
    std::size_t lastChar = start;
    std::size_t i = start;
    while (i < n && line[i] != '\t') {
        lastChar = i;
        i += charLen(line, i);
    }
    // One pair of enclosing double quotes goes; a lone quote becomes the empty field.
    if (i > start && line[start] == '"' && line[lastChar] == '"' && i - lastChar == 1)
        field = lastChar == start ? std::string_view() : line.substr(start + 1, lastChar - start - 1);
    else
        field = line.substr(start, i - start);
    pos = i + 1; // past the tab; a tab as the last character gives no field after it
    return true;
}

void SplitTabFields(StringList &fields, std::string_view line)
{
    fields.clear();
    std::size_t pos = 0;
    std::string_view field;
    while (NextTabField(line, pos, field))
        fields.emplace_back(field);
}

void SplitTokens(StringList &tokens, std::string_view text, std::string_view delimiters)
{
    tokens.clear();
    const DelimiterSet delims(delimiters);
    const std::size_t n = text.size();
    auto skipDelims = [&](std::size_t i) {
        while (i < n) {
            const std::size_t len = delims.delimiterAt(text, i);
            if (len == 0) break;
            i += len;
        }
        return i;
    };

    std::size_t p = skipDelims(0);
    while (p < n) {
        if (text[p] == '"') {
            const std::size_t start = p + 1;
            std::size_t end = start;
            while (end < n && text[end] != '"')
                end += charLen(text, end);
            tokens.emplace_back(text.substr(start, end - start));
            p = end < n ? end + 1 : n;
        } else {
            const std::size_t start = p;
            while (p < n && text[p] != '"' && delims.delimiterAt(text, p) == 0)
                p += charLen(text, p);
            tokens.emplace_back(text.substr(start, p - start));
        }
        p = skipDelims(p);
    }
}

StringList SplitLines(std::string_view text)
{
    if (const void *nul = text.empty() ? nullptr : std::memchr(text.data(), 0, text.size()))
        text = text.substr(0, static_cast<std::size_t>(static_cast<const char *>(nul) - text.data()));
    StringList lines;
    const std::size_t n = text.size();
    std::size_t start = 0;
    for (std::size_t i = byte_scan::NextOfEither(text, 0, '\r', '\n'); i < n;
         i = byte_scan::NextOfEither(text, start, '\r', '\n')) {
        lines.emplace_back(text.substr(start, i - start));
        start = i + ((text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1);
    }
    if (start < n) lines.emplace_back(text.substr(start));
    return lines;
}

bool HasPrefix(std::string_view prefix, std::string_view text)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool HasSuffix(std::string_view suffix, std::string_view text)
{
    if (suffix.empty() || suffix.size() > text.size()) return false;
    const std::size_t p = text.size() - suffix.size();
    if (text.substr(p) != suffix) return false;
    TrailCursor cursor(text);
    return !cursor.isTrail(p);
}

bool ContainsText(std::string_view text, std::string_view pattern)
{
    if (text.empty() || pattern.empty()) return false;
    ExactFinder finder { text, pattern };
    TrailCursor cursor(text);
    return findNotOnTrail(finder, cursor, 0) != std::string_view::npos;
}

bool ContainsTextIgnoreCase(std::string_view text, std::string_view pattern)
{
    if (text.empty() || pattern.empty()) return false;
    FoldFinder finder(text, pattern);
    TrailCursor cursor(text);
    return findNotOnTrail(finder, cursor, 0) != std::string_view::npos;
}

std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText)
{
    if (oldText.empty() || text.empty()) return std::string(text);
    ExactFinder finder { text, oldText };
    return replaceWith(text, oldText, newText, finder);
}

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view oldText, std::string_view newText)
{
    if (oldText.empty() || text.empty()) return std::string(text);
    FoldFinder finder(text, oldText);
    return replaceWith(text, oldText, newText, finder);
}

std::string_view TrimBlanks(std::string_view text)
{
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && byteAt(text, b) <= 0x20)
        ++b;
    while (e > b && byteAt(text, e - 1) <= 0x20)
        --e;
    return text.substr(b, e - b);
}

std::string MidChars(std::string_view text, long start, long count)
{
    if (count <= 0) return {};
    if (start < 1) start = 1;
    const std::size_t n = text.size();
    std::size_t i = 0;
    for (long k = 1; k < start && i < n; ++k)
        i += charLen(text, i);
    const std::size_t begin = i;
    for (long k = 0; k < count && i < n; ++k)
        i += charLen(text, i);
    return std::string(text.substr(begin, i - begin));
}

std::string LeftChars(std::string_view text, long n)
{
    return MidChars(text, 1, n);
}

namespace
{

// Appends NormalizeLineBreaks(text) to out, for a text without NUL bytes.
void appendNormalized(std::string &out, std::string_view text)
{
    const std::size_t n = text.size();
    std::size_t copied = 0;
    for (std::size_t i = byte_scan::NextOfEither(text, 0, '\r', '\n'); i < n;
         i = byte_scan::NextOfEither(text, i, '\r', '\n')) {
        if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') {
            i += 2; // CR LF stays as it is
            continue;
        }
        out.append(text.data() + copied, i - copied);
        out.append("\r\n");
        copied = ++i;
    }
    out.append(text.data() + copied, n - copied);
}

std::string_view upToNul(std::string_view text)
{
    if (text.empty()) return text; // an empty view may have no storage at all
    if (const void *nul = std::memchr(text.data(), 0, text.size()))
        return text.substr(0, static_cast<std::size_t>(static_cast<const char *>(nul) - text.data()));
    return text;
}

} // namespace

std::string NormalizeLineBreaks(std::string_view text)
{
    text = upToNul(text);
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 16);
    appendNormalized(out, text);
    return out;
}

std::string JoinCrLf(const StringList &items)
{
    std::size_t total = 0;
    for (const std::string &item : items)
        total += item.size() + 2;
    std::string out;
    out.reserve(total);
    for (const std::string &item : items) {
        out.append(item);
        out.append("\r\n");
    }
    return out;
}

} // namespace func_token

namespace text_stream
{

bool IsSourceForm(std::string_view text)
{
    const char *const p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    std::uint64_t carry = 0; // 1 when the byte before i is a CR
#if defined(__SSE2__)
    // Per 64 bytes: no NUL, and the LF bits are exactly the CR bits moved up by one.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 64; i += 64) {
        std::uint64_t crs = 0, lfs = 0;
        unsigned nuls = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 16 * k));
            crs |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, cr))))
                << (16 * k);
            lfs |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, lf))))
                << (16 * k);
            nuls |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, zero)));
        }
        if (nuls != 0 || ((crs << 1) | carry) != lfs) return false;
        carry = crs >> 63;
    }
#endif
    for (; i < n; ++i) {
        const char c = p[i];
        if (c == '\0' || (c == '\n') != (carry != 0)) return false;
        carry = c == '\r';
    }
    return carry == 0;
}

void ForEachLine(std::string_view text, const Emit &emit)
{
    text = func_token::upToNul(text);
    // Lines are short: an inline sixteen-byte search beats a library call per break.
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    const char *start = begin;
    for (const char *brk = byte_scan::FindEither(start, end, '\r', '\n'); brk != end;
         brk = byte_scan::FindEither(start, end, '\r', '\n')) {
        emit(std::string_view(start, static_cast<std::size_t>(brk - start)));
        start = brk + ((*brk == '\r' && brk + 1 < end && brk[1] == '\n') ? 2 : 1);
    }
    if (start < end) emit(std::string_view(start, static_cast<std::size_t>(end - start)));
}

std::size_t PieceEnd(std::string_view text, std::size_t from, std::size_t size)
{
    if (from >= text.size() || text.size() - from <= size) return text.size();
    const std::size_t look = from + (size > 0 ? size - 1 : 0);
    const void *lf = std::memchr(text.data() + look, '\n', text.size() - look);
    return lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - text.data()) + 1 : text.size();
}

std::string_view BreakNormalizer::next(std::string_view piece, std::string &scratch, bool last)
{
    if (m_ended) return {};
    const std::string_view beforeNul = func_token::upToNul(piece);
    if (beforeNul.size() != piece.size() || last) m_ended = true;
    if (beforeNul.empty() && !m_ended) return {};
    // A final CR waits for the next piece, unless the text ends here.
    const bool hold = !m_ended && beforeNul.back() == '\r';
    std::string_view body = hold ? beforeNul.substr(0, beforeNul.size() - 1) : beforeNul;
    const bool carried = m_pendingCr;
    m_pendingCr = hold;
    if (!carried && IsSourceForm(body)) return body;
    scratch.clear();
    scratch.reserve(body.size() + body.size() / 32 + 16);
    if (carried) {
        // The held CR pairs with an LF that starts this piece, or is a lone CR.
        scratch.append("\r\n");
        if (!body.empty() && body.front() == '\n') body.remove_prefix(1);
    }
    func_token::appendNormalized(scratch, body);
    return scratch;
}

std::string_view BreakNormalizer::finish()
{
    const bool pending = m_pendingCr && !m_ended;
    m_pendingCr = false;
    return pending ? std::string_view("\r\n") : std::string_view();
}

} // namespace text_stream
