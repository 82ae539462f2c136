#pragma once
// Whole-buffer byte searches used by the text rules and the extraction scans: sixteen bytes at
// a time where SSE2 is available (every x86-64), a plain loop elsewhere. All are exact; they
// only find.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/func_token.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace byte_scan
{

// The first byte in [p, end) that equals a or b, or end.
inline const char *FindEither(const char *p, const char *end, char a, char b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, va), _mm_cmpeq_epi8(block, vb)));
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b) return p;
    }
    return end;
}

// The position of the first a or b at or after from in text, or text.size(). A scan that asks
// again just past each hit reads every byte once.
inline std::size_t NextOfEither(std::string_view text, std::size_t from, char a, char b)
{
    if (from >= text.size()) return text.size();
    const char *const begin = text.data();
    return static_cast<std::size_t>(FindEither(begin + from, begin + text.size(), a, b) - begin);
}

// The first position in [p, end) holding a space followed by 's' or 'S', or end. The byte
// after the space may lie at end (it is then not looked at).
inline const char *FindSpaceS(const char *p, const char *end)
{
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i lowerS = _mm_set1_epi8('s');
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; end - p >= 17; p += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i next = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 1)), caseBit);
        const int mask = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, space), _mm_cmpeq_epi8(next, lowerS)));
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; p + 1 < end; ++p) {
        if (p[0] == ' ' && (p[1] | 0x20) == 's') return p;
    }
    return end;
}

// The first occurrence of needle (not empty) in [p, end), or end. Candidates are the positions
// where both the first and the last byte of needle fit, sixteen at a time, so a needle whose
// first byte is common (a lead byte of hiragana, say) is still found at memory speed.
inline const char *FindBytes(const char *p, const char *end, std::string_view needle)
{
    const std::size_t n = needle.size();
    if (n == 0 || end - p < static_cast<std::ptrdiff_t>(n)) return end;
    if (n == 1) {
        const void *hit = std::memchr(p, needle[0], static_cast<std::size_t>(end - p));
        return hit ? static_cast<const char *>(hit) : end;
    }
    const char *const stop = end - n + 1; // candidates begin before stop
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[n - 1]);
    for (; stop - p >= 16; p += 16) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + n - 1));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(tail, last))));
        while (mask != 0) {
            const char *at = p + __builtin_ctz(mask);
            if (n == 2 || std::memcmp(at + 1, needle.data() + 1, n - 2) == 0) return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; p < stop; ++p) {
        if (*p == needle[0] && std::memcmp(p, needle.data(), n) == 0) return p;
    }
    return end;
}

#if defined(__SSE2__)
// One bit per byte of the 64 bytes at p, set where the byte is one of the delimiters of a
// tokenizer: space, '<', '>' and apostrophe, and with withBreaksAndQuotes also CR, LF and '"'.
template <bool withBreaksAndQuotes> inline std::uint64_t DelimiterMask64(const char *p)
{
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i less = _mm_set1_epi8('<');
    const __m128i greater = _mm_set1_epi8('>');
    const __m128i apostrophe = _mm_set1_epi8('\'');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, space), _mm_cmpeq_epi8(b, less)),
            _mm_or_si128(_mm_cmpeq_epi8(b, greater), _mm_cmpeq_epi8(b, apostrophe)));
        if constexpr (withBreaksAndQuotes)
            hit = _mm_or_si128(hit,
                _mm_or_si128(_mm_cmpeq_epi8(b, quote), _mm_or_si128(_mm_cmpeq_epi8(b, cr), _mm_cmpeq_epi8(b, lf))));
        mask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * k);
    }
    return mask;
}
#endif

// Whether the byte at pos is the trail byte of a double-byte character when the text is walked
// from begin: exactly when an odd number of lead-byte values stand directly before it (the
// byte before such a run always ends a character, so the run pairs up from its start).
inline bool IsTrailAt(const char *begin, const char *pos)
{
    std::size_t leads = 0;
    for (const char *q = pos; q > begin && func_token::IsLeadByte(static_cast<unsigned char>(q[-1])); --q)
        ++leads;
    return leads % 2 == 1;
}

} // namespace byte_scan
