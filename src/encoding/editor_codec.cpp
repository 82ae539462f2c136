#include "encoding/editor_codec.h"

#include "encoding/cp932_tables.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace editor_codec
{
namespace
{

constexpr char16_t kRawByteBase = 0xF700;
constexpr char16_t kLoneCr = kRawByteBase + 0x0D;
constexpr char16_t kLoneLf = kRawByteBase + 0x0A;

constexpr bool isHighSurrogate(char16_t u)
{
    return u >= 0xD800 && u < 0xDC00;
}
constexpr bool isLowSurrogate(char16_t u)
{
    return u >= 0xDC00 && u < 0xE000;
}

// What a byte shows as when it does not start a pair. 0 for NUL, CR and LF, which the
// decoder handles apart.
constexpr std::array<char16_t, 256> makeSingles()
{
    std::array<char16_t, 256> t {};
    for (unsigned b = 0; b < 256; ++b) {
        if (b < 0x80)
            t[b] = char16_t(b);
        else if (cp932_tables::IsHalfWidthKana(static_cast<unsigned char>(b)))
            t[b] = cp932_tables::HalfWidthKana(static_cast<unsigned char>(b));
        else
            t[b] = char16_t(kRawByteBase + b);
    }
    t[0] = t['\r'] = t['\n'] = 0;
    return t;
}
constexpr std::array<char16_t, 256> kSingles = makeSingles();

// Handles a byte whose single form is 0 (NUL, CR, LF); returns the bytes consumed.
template <bool lineBreaks>
inline std::size_t decodeSpecial(const unsigned char *p, const unsigned char *end, char16_t *&o)
{
    const unsigned char c = *p;
    if (!lineBreaks || c == 0) {
        *o++ = c;
    } else if (c == '\n') {
        *o++ = kLoneLf;
    } else if (p + 1 < end && p[1] == '\n') {
        *o++ = u'\n';
        return 2;
    } else {
        *o++ = kLoneCr;
    }
    return 1;
}

#if defined(__SSE2__)
// Widens the 16 bytes at p into o and returns how many of them, from the first, are plain ASCII:
// below 0x80 (no lead byte, no kana, no raw byte) and, in text form, no CR or LF. Those decode
// to themselves whatever follows them. o has room for 16 units whenever p has 16 bytes left,
// as the output never runs ahead of the input.
template <bool lineBreaks> inline unsigned decodeAscii16(const unsigned char *p, char16_t *o)
{
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    __m128i bad = b; // the high bit marks 0x80-0xFF
    if constexpr (lineBreaks)
        bad = _mm_or_si128(
            bad, _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(b, _mm_set1_epi8('\n'))));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i *>(o), _mm_unpacklo_epi8(b, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 8), _mm_unpackhi_epi8(b, zero));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(bad));
    return mask == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(mask));
}
#endif

template <bool lineBreaks, bool fast> std::size_t decodeInto(std::string_view bytes, char16_t *out)
{
    const char16_t *const pairs = cp932_tables::Get().pairExact;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    char16_t *o = out;
    // Branch-free for everything but NUL, CR and LF: the pair table says 0 for any byte
    // that does not start a pair with its successor.
    while (end - p >= 2) {
#if defined(__SSE2__)
        // Runs of ASCII (markup, addresses) sixteen bytes at a time.
        if (fast && *p < 0x80 && end - p >= 16) {
            const unsigned run = decodeAscii16<lineBreaks>(p, o);
            p += run;
            o += run;
            if (run == 16 || end - p < 2) continue;
        }
#endif
        const char16_t pair = pairs[p[0] << 8 | p[1]];
        const char16_t u = pair ? pair : kSingles[p[0]];
        if (u == 0) {
            p += decodeSpecial<lineBreaks>(p, end, o);
            continue;
        }
        *o++ = u;
        p += pair ? 2 : 1;
    }
    if (p < end) {
        if (kSingles[*p])
            *o++ = kSingles[*p];
        else
            decodeSpecial<lineBreaks>(p, end, o);
    }
    return std::size_t(o - out);
}

// Handles a unit the table has no bytes for; returns the units consumed.
template <bool lineBreaks> inline std::size_t encodeSpecial(const char16_t *p, const char16_t *end, char *&o)
{
    const char16_t u = *p;
    if (u == u'\n' || u == u'\r') {
        if (!lineBreaks) {
            *o++ = char(u);
            return 1;
        }
        *o++ = '\r';
        *o++ = '\n';
        return u == u'\r' && p + 1 < end && p[1] == u'\n' ? 2 : 1;
    }
    if (lineBreaks && (u == 0x2028 || u == 0x2029)) {
        *o++ = '\r';
        *o++ = '\n';
        return 1;
    }
    *o++ = '?';
    return isHighSurrogate(u) && p + 1 < end && isLowSurrogate(p[1]) ? 2 : 1;
}

#if defined(__SSE2__)
// Narrows the 8 units at p into o and returns how many of them, from the first, are plain ASCII:
// U+0001-U+007F and, in text form, no CR or LF. Those encode to themselves. o has room for 8
// bytes whenever p has 8 units left, as the buffer holds two bytes per unit.
template <bool lineBreaks> inline unsigned encodeAscii8(const char16_t *p, char *o)
{
    const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i zero = _mm_setzero_si128();
    const __m128i high = _mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xFF80)));
    __m128i bad
        = _mm_or_si128(_mm_cmpeq_epi16(u, zero), _mm_andnot_si128(_mm_cmpeq_epi16(high, zero), _mm_set1_epi16(-1)));
    if constexpr (lineBreaks)
        bad = _mm_or_si128(
            bad, _mm_or_si128(_mm_cmpeq_epi16(u, _mm_set1_epi16('\r')), _mm_cmpeq_epi16(u, _mm_set1_epi16('\n'))));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(o), _mm_packus_epi16(u, u));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(bad));
    return mask == 0 ? 8 : static_cast<unsigned>(__builtin_ctz(mask)) / 2;
}
#endif

template <bool lineBreaks, bool fast> std::size_t encodeInto(std::u16string_view text, char *out)
{
    const std::uint16_t *const table = cp932_tables::Get().editorEncode;
    const char16_t *p = text.data();
    const char16_t *const end = p + text.size();
    char *o = out;
    while (p < end) {
#if defined(__SSE2__)
        if (fast && *p < 0x80 && end - p >= 8) {
            const unsigned run = encodeAscii8<lineBreaks>(p, o);
            p += run;
            o += run;
            if (run == 8) continue;
        }
#endif
        const std::uint16_t e = table[*p];
        if (e == 0) {
            p += encodeSpecial<lineBreaks>(p, end, o);
            continue;
        }
        // A pair is written lead first; a single byte is written twice and counted once.
        const bool pair = e >= 0x100;
        o[0] = char(pair ? e >> 8 : e);
        o[1] = char(e);
        o += pair ? 2 : 1;
        ++p;
    }
    return std::size_t(o - out);
}

} // namespace

std::size_t DecodeInto(std::string_view bytes, char16_t *out, Breaks breaks)
{
    return breaks == Breaks::Text ? decodeInto<true, true>(bytes, out) : decodeInto<false, true>(bytes, out);
}

std::size_t EncodeInto(std::u16string_view text, char *out, Breaks breaks)
{
    return breaks == Breaks::Text ? encodeInto<true, true>(text, out) : encodeInto<false, true>(text, out);
}

std::size_t DecodeIntoSimple(std::string_view bytes, char16_t *out, Breaks breaks)
{
    return breaks == Breaks::Text ? decodeInto<true, false>(bytes, out) : decodeInto<false, false>(bytes, out);
}

std::size_t EncodeIntoSimple(std::u16string_view text, char *out, Breaks breaks)
{
    return breaks == Breaks::Text ? encodeInto<true, false>(text, out) : encodeInto<false, false>(text, out);
}

namespace
{

std::u16string decode(std::string_view bytes, Breaks breaks)
{
    std::u16string out(bytes.size(), u'\0');
    out.resize(DecodeInto(bytes, out.data(), breaks));
    return out;
}

std::string encode(std::u16string_view text, Breaks breaks)
{
    std::string out(MaxEncodedSize(text.size()), '\0');
    out.resize(EncodeInto(text, out.data(), breaks));
    return out;
}

} // namespace

std::u16string Decode(std::string_view bytes)
{
    return decode(bytes, Breaks::Text);
}
std::string Encode(std::u16string_view text)
{
    return encode(text, Breaks::Text);
}
std::u16string DecodeLine(std::string_view bytes)
{
    return decode(bytes, Breaks::Line);
}
std::string EncodeLine(std::u16string_view text)
{
    return encode(text, Breaks::Line);
}

std::string EncodeUrlLine(std::u16string_view text)
{
    const std::uint16_t *const table = cp932_tables::Get().editorEncode;
    std::string out;
    out.reserve(text.size());
    const auto percent = [&out](unsigned byte) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (const std::uint16_t e = table[u]; e != 0 || u == u'\n' || u == u'\r') {
            if (e >= 0x100) out += char(e >> 8);
            out += e != 0 ? char(e) : char(u);
            continue;
        }
        char32_t c = u;
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
            c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[++i]) - 0xDC00);
        else if (isHighSurrogate(u) || isLowSurrogate(u))
            c = 0xFFFD;
        if (c < 0x80) {
            percent(unsigned(c));
        } else if (c < 0x800) {
            percent(0xC0 | unsigned(c >> 6));
            percent(0x80 | unsigned(c & 0x3F));
        } else if (c < 0x10000) {
            percent(0xE0 | unsigned(c >> 12));
            percent(0x80 | unsigned((c >> 6) & 0x3F));
            percent(0x80 | unsigned(c & 0x3F));
        } else {
            percent(0xF0 | unsigned(c >> 18));
            percent(0x80 | unsigned((c >> 12) & 0x3F));
            percent(0x80 | unsigned((c >> 6) & 0x3F));
            percent(0x80 | unsigned(c & 0x3F));
        }
    }
    return out;
}

} // namespace editor_codec
