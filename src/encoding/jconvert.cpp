#include "encoding/jconvert.h"

#include "encoding/cp932_tables.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jconvert
{

std::pair<unsigned char, unsigned char> JisToSjis(unsigned char j1, unsigned char j2)
{
    const auto s1 = static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0));
    unsigned char s2;
    if ((j1 & 1) == 0)
        s2 = static_cast<unsigned char>(j2 + 0x7E);
    else
        s2 = static_cast<unsigned char>(j2 <= 0x5F ? j2 + 0x1F : j2 + 0x20);
    return { s1, s2 };
}

std::pair<unsigned char, unsigned char> SjisToJis(unsigned char s1, unsigned char s2)
{
    auto j1 = static_cast<unsigned char>((s1 < 0xA0 ? s1 - 0x70 : s1 - 0xB0) * 2);
    unsigned char j2;
    if (s2 < 0x9F) {
        j1 = static_cast<unsigned char>(j1 - 1);
        j2 = static_cast<unsigned char>(s2 > 0x7F ? s2 - 0x20 : s2 - 0x1F);
    } else {
        j2 = static_cast<unsigned char>(s2 - 0x7E);
    }
    return { j1, j2 };
}

// The scanning loops below are branch-free per character: they compute every possible
// output, pick one by the byte's class, write a fixed number of bytes and advance by the
// real length. Mixed Japanese text would otherwise mispredict a branch on almost every
// character. Runs of ASCII are copied eight bytes at a time.
namespace
{

using Byte = unsigned char;

constexpr char16_t kInvalidByte = 0x30FB; // "・"
constexpr char kUnmappable = '?';

// Whether the character of the program's UTF-8 rules that starts with lead b0 (0x80 or above)
// decodes to U+0000: an overlong form of the NUL byte.
constexpr bool encodesNul(unsigned b0, unsigned b1, unsigned b2)
{
    return b0 & 0x20 ? ((b0 & 0x0F) | (b1 & 0x3F) | (b2 & 0x3F)) == 0 : ((b0 & 0x3F) | (b1 & 0x3F)) == 0;
}

// Output goes through a small buffer on the stack and is appended to a string reserved for
// the worst case, so that only the pages the result really uses are ever touched. A step
// converts from p until it reaches blockEnd (it may read and consume a few bytes beyond,
// never beyond end) and returns where it stopped.
constexpr std::size_t kBlock = 8192;

template <typename OutChar, std::size_t MaxOutPerUnit, typename InChar, typename Step>
void convertBlocksInto(std::basic_string_view<InChar> in, std::basic_string<OutChar> &out, Step step)
{
    out.clear();
    out.reserve(in.size() * MaxOutPerUnit + 8);
    OutChar buf[(kBlock + 64) * MaxOutPerUnit + 64];
    const InChar *p = in.data();
    const InChar *const end = p + in.size();
    while (p < end) {
        const InChar *const blockEnd = std::size_t(end - p) > kBlock ? p + kBlock : end;
        OutChar *o = buf;
        p = step(p, blockEnd, end, o);
        out.append(buf, std::size_t(o - buf));
    }
}

template <typename OutChar, std::size_t MaxOutPerUnit, typename InChar, typename Step>
std::basic_string<OutChar> convertBlocks(std::basic_string_view<InChar> in, Step step)
{
    std::basic_string<OutChar> out;
    convertBlocksInto<OutChar, MaxOutPerUnit>(in, out, step);
    return out;
}

inline std::basic_string_view<Byte> bytesOf(std::string_view s)
{
    return { reinterpret_cast<const Byte *>(s.data()), s.size() };
}

inline std::uint64_t load64(const Byte *p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// Copies 8 bytes when they are all ASCII.
inline bool copyAscii8(const Byte *&p, const Byte *end, char *&o)
{
    if (end - p < 8) return false;
    const std::uint64_t w = load64(p);
    if (w & 0x8080808080808080ull) return false;
    std::memcpy(o, &w, 8);
    p += 8;
    o += 8;
    return true;
}

inline void store16(char *o, unsigned v)
{
    const std::uint16_t x = std::uint16_t(v);
    std::memcpy(o, &x, 2); // little-endian: the low byte first
}

// A code page 932 table value as bytes, lead first; returns how many.
inline unsigned storeCp932(char *o, unsigned e)
{
    const bool pair = e >= 0x100;
    store16(o, pair ? (e >> 8 | (e & 0xFF) << 8) : e);
    return pair ? 2 : 1;
}

// The program's UTF-8 encoder: one 16-bit unit by itself in one to three bytes. Writes four
// bytes and returns how many count.
inline unsigned storeUtf8(char *o, unsigned u)
{
    const unsigned two = (0xC0 | u >> 6) | (0x80 | (u & 0x3F)) << 8;
    const unsigned three = (0xE0 | u >> 12) | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0x80 | (u & 0x3F)) << 16;
    const unsigned len = 1 + (u >= 0x80) + (u >= 0x800);
    const std::uint32_t w = len == 1 ? u : len == 2 ? two : three;
    std::memcpy(o, &w, 4);
    return len;
}

// Code page 932 units with no table entry: U+0000 is the NUL byte, a character outside the
// code page is '?', and a low surrogate right after a high one belongs to the same '?'.
inline void storeUnmapped(char *&o, char16_t u, char16_t previous)
{
    if (u == 0)
        *o++ = '\0';
    else if (!(u >= 0xDC00 && u < 0xE000 && previous >= 0xD800 && previous < 0xDC00))
        *o++ = kUnmappable;
}

enum : Byte { kCopy, kSingleShift, kPair };

constexpr std::array<Byte, 256> makeEucClasses()
{
    std::array<Byte, 256> t {};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = (b <= 0x80 || b == 0xFF) ? kCopy : b == 0x8E ? kSingleShift : kPair;
    return t;
}
constexpr std::array<Byte, 256> kEucClass = makeEucClasses();

enum : Byte { kAscii, kHalfWidth, kLead };

constexpr std::array<Byte, 256> makeSjisClasses()
{
    std::array<Byte, 256> t {};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = b < 0x80 ? kAscii : cp932_tables::IsHalfWidthKana(Byte(b)) ? kHalfWidth : kLead;
    return t;
}
constexpr std::array<Byte, 256> kSjisClass = makeSjisClasses();

// What a byte decodes to when it does not start a valid pair.
constexpr std::array<char16_t, 256> makePlatformSingles()
{
    std::array<char16_t, 256> t {};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = b < 0x80                              ? char16_t(b)
            : cp932_tables::IsHalfWidthKana(Byte(b)) ? cp932_tables::HalfWidthKana(Byte(b))
                                                     : kInvalidByte;
    return t;
}
constexpr std::array<char16_t, 256> kPlatformSingles = makePlatformSingles();

inline unsigned jisToSjisWord(unsigned j1, unsigned j2)
{
    const auto [s1, s2] = JisToSjis(Byte(j1), Byte(j2));
    return unsigned(s1) | unsigned(s2) << 8;
}

inline unsigned sjisToEucWord(unsigned s1, unsigned s2)
{
    const auto [j1, j2] = SjisToJis(Byte(s1), Byte(s2));
    return unsigned(j1 | 0x80) | unsigned(j2 | 0x80) << 8;
}

// One code page 932 character at p as the platform decodes it; next is the byte after it
// (0 at the end of the input).
inline char16_t decodeCp932(const Byte *&p, unsigned next, const char16_t *pairs)
{
    const char16_t pair = pairs[*p << 8 | next];
    const char16_t u = pair ? pair : kPlatformSingles[*p];
    p += pair ? 2 : 1;
    return u;
}

// Blocks of 64 bytes as four SSE2 vectors (SSE2 is part of every x86-64 processor; elsewhere
// the character loops do everything). A byte's role depends on the bytes before it (a lead
// byte makes the next byte its trail, whatever that byte is), so the roles in a block are
// worked out from a mask of its lead-class bytes: in a run of them the first, third, ... byte
// leads and the byte after each leader is a trail, and a run always starts on a character
// boundary because the byte before it is a single-byte character or a trail. A character
// whose output is longer or shorter than its input (a half-width kana to EUC-JP, a single
// shift from it) ends a block early and is written by itself.
#if defined(__SSE2__)

inline __m128i splat(int b)
{
    return _mm_set1_epi8(char(b));
}

// Bytes v with v <= c (unsigned), as 0xFF.
inline __m128i atMost(__m128i v, int c)
{
    return _mm_cmpeq_epi8(_mm_min_epu8(v, splat(c)), v);
}

// Bytes v with lo <= v <= hi (unsigned), as 0xFF.
inline __m128i inRange(__m128i v, int lo, int hi)
{
    return atMost(_mm_sub_epi8(v, splat(lo)), hi - lo);
}

inline unsigned bitsOf(__m128i v)
{
    return unsigned(_mm_movemask_epi8(v));
}

// Bit i of m as byte i (0x00 or 0xFF).
inline __m128i bytesOfBits(unsigned m)
{
    const __m128i sel = _mm_set1_epi64x(std::int64_t(0x8040201008040201ull));
    const __m128i v = _mm_set_epi64x(
        std::int64_t(0x0101010101010101ull * ((m >> 8) & 0xFF)), std::int64_t(0x0101010101010101ull * (m & 0xFF)));
    return _mm_cmpeq_epi8(_mm_and_si128(v, sel), sel);
}

inline __m128i select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The trail bytes of 64 bytes: lead is their mask of lead-class bytes, carry says that the
// first one is the trail of the byte before. Bit i is set when an odd number of lead-class
// bytes that start characters ends just before i (the run-parity trick of vector JSON
// parsers).
inline std::uint64_t trailBits(std::uint64_t lead, std::uint64_t carry)
{
    lead &= ~carry;
    const std::uint64_t follows = lead << 1 | carry;
    constexpr std::uint64_t even = 0x5555555555555555ull;
    const std::uint64_t oddStarts = lead & ~even & ~follows;
    return (even ^ ((oddStarts + lead) << 1)) & follows;
}

// Bit i of m as byte i (0x00 or 0xFF), for the 16 bits from bit 16 * k.
inline __m128i bytesOfBits(std::uint64_t m, int k)
{
    return bytesOfBits(unsigned(m >> 16 * k) & 0xFFFF);
}

// The bytes of four vectors, as one 64-bit mask per test.
template <typename Test> inline std::uint64_t bits64(const __m128i *x, Test test)
{
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k)
        m |= std::uint64_t(bitsOf(test(x[k]))) << 16 * k;
    return m;
}

inline void loadBlock(const Byte *p, __m128i *x)
{
    for (int k = 0; k < 4; ++k)
        x[k] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
}

// SJIS -> EUC-JP for 64 bytes (65 must be readable). Every byte keeps its place up to the
// first half-width kana that starts a character (it needs a single shift in front); returns
// how many bytes were converted, 64 or the kana's offset (carry is then 0). Up to 64 bytes
// are written.
inline unsigned sjisToEuc64(const Byte *p, char *o, unsigned &carry)
{
    __m128i x[4];
    loadBlock(p, x);
    const std::uint64_t nonAscii = bits64(x, [](__m128i v) { return v; });
    if (nonAscii == 0 && carry == 0) {
        std::memcpy(o, p, 64);
        return 64;
    }
    const std::uint64_t half = bits64(x, [](__m128i v) { return inRange(v, 0xA1, 0xDF); });
    const std::uint64_t trail = trailBits(nonAscii & ~half, carry);
    const std::uint64_t kana = half & ~trail;
    const unsigned n = kana ? unsigned(__builtin_ctzll(kana)) : 64;
    // Before the first kana every byte 0x80-0xFF is a lead or a trail.
    for (int k = 0; 16 * k < int(n); ++k) {
        const __m128i v = x[k];
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k + 1));
        // The lead: ((s1 < 0xA0 ? s1 - 0x70 : s1 - 0xB0) * 2, minus one when s2 < 0x9F) | 0x80.
        const __m128i highLead = _mm_cmpeq_epi8(_mm_max_epu8(v, splat(0xA0)), v);
        __m128i j1 = _mm_sub_epi8(_mm_sub_epi8(v, splat(0x70)), _mm_and_si128(highLead, splat(0x40)));
        j1 = _mm_add_epi8(_mm_add_epi8(j1, j1), atMost(y, 0x9E)); // 0xFF adds -1
        // The trail: s2 < 0x9F ? (s2 > 0x7F ? s2 - 0x20 : s2 - 0x1F) : s2 - 0x7E, | 0x80.
        const __m128i high = _mm_cmplt_epi8(v, _mm_setzero_si128());
        const __m128i lowSub = _mm_sub_epi8(splat(0x1F), high); // one more when >= 0x80
        const __m128i j2 = _mm_sub_epi8(v, select(atMost(v, 0x9E), lowSub, splat(0x7E)));
        const __m128i trails = bytesOfBits(trail, k); // an ASCII byte can be a trail too
        const __m128i out = select(trails, j2, select(high, j1, v));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 16 * k),
            _mm_or_si128(out, _mm_and_si128(_mm_or_si128(high, trails), splat(0x80))));
    }
    carry = n == 64 ? unsigned((nonAscii & ~trail) >> 63) : 0;
    return n;
}

// EUC-JP -> SJIS for 64 bytes (65 must be readable): before is the byte before p (0 at the
// start). Every byte keeps its place up to the first single shift that starts a character
// (two bytes become one); returns how many bytes were converted, 64 or the single shift's
// offset (carry is then 0). Up to 64 bytes are written.
inline unsigned eucToSjis64(const Byte *p, unsigned before, char *o, unsigned &carry)
{
    __m128i x[4];
    loadBlock(p, x);
    const std::uint64_t nonAscii = bits64(x, [](__m128i v) { return v; });
    if (nonAscii == 0 && carry == 0) {
        std::memcpy(o, p, 64);
        return 64;
    }
    const std::uint64_t leadClass = bits64(x, [](__m128i v) { return inRange(v, 0x81, 0xFE); });
    const std::uint64_t trail = trailBits(leadClass, carry);
    const std::uint64_t lead = leadClass & ~trail;
    const std::uint64_t shift = bits64(x, [](__m128i v) { return _mm_cmpeq_epi8(v, splat(0x8E)); }) & lead;
    const unsigned n = shift ? unsigned(__builtin_ctzll(shift)) : 64;
    const __m128i seven = splat(0x7F);
    for (int k = 0; 16 * k < int(n); ++k) {
        const __m128i v = x[k];
        const __m128i w = k == 0 ? _mm_or_si128(_mm_slli_si128(v, 1), _mm_cvtsi32_si128(int(before)))
                                 : _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k - 1));
        // The lead: ((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0).
        const __m128i j1 = _mm_and_si128(v, seven);
        const __m128i s1 = _mm_add_epi8(_mm_avg_epu8(j1, _mm_setzero_si128()),
            _mm_sub_epi8(splat(0xB0), _mm_and_si128(atMost(j1, 0x5E), splat(0x40))));
        // The trail, from its lead w: j1 even ? j2 + 0x7E : j2 + (j2 <= 0x5F ? 0x1F : 0x20).
        const __m128i j2 = _mm_and_si128(v, seven);
        const __m128i odd = _mm_cmpeq_epi8(_mm_and_si128(w, splat(1)), splat(1));
        const __m128i oddAdd = _mm_add_epi8(splat(0x20), atMost(j2, 0x5F));
        const __m128i s2 = _mm_add_epi8(j2, select(odd, oddAdd, splat(0x7E)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 16 * k),
            select(bytesOfBits(trail, k), s2, select(bytesOfBits(lead, k), s1, v)));
    }
    carry = n == 64 ? unsigned(lead >> 63) : 0;
    return n;
}

// True when the block of UTF-8 at p has every byte 0x80-0xBF right after a lead byte
// 0xC0-0xFF or two after a lead byte 0xE0-0xFF, and every byte such a lead asks for is one.
// Such text is well-formed by the decoder's rules, and its characters start at the bytes
// outside 0x80-0xBF. need carries the demands of the block before (bit 0: its first byte,
// bit 1: its second) and receives those of this block on the next one.
// C0, E0 or F0 right before 0x80 never occurs in standard UTF-8 and starts every overlong NUL
// a block can hold: the block then fails, and the walk decides. before is the byte before p.
inline bool utf8Block16(const Byte *p, unsigned before, unsigned &need)
{
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const unsigned nonAscii = bitsOf(x);
    if (nonAscii == 0) return need == 0;
    const unsigned cont = bitsOf(inRange(x, 0x80, 0xBF));
    const unsigned lead2 = nonAscii & ~cont;
    const unsigned lead3 = bitsOf(_mm_cmpeq_epi8(_mm_max_epu8(x, splat(0xE0)), x));
    const __m128i previous = _mm_or_si128(_mm_slli_si128(x, 1), _mm_cvtsi32_si128(int(before)));
    const __m128i nulLead = _mm_or_si128(
        _mm_cmpeq_epi8(previous, splat(0xC0)), _mm_cmpeq_epi8(_mm_and_si128(previous, splat(0xEF)), splat(0xE0)));
    if (bitsOf(_mm_and_si128(nulLead, _mm_cmpeq_epi8(x, splat(0x80)))) != 0) return false;
    const unsigned wanted = lead2 << 1 | lead3 << 2 | need;
    need = wanted >> 16;
    return (wanted & 0xFFFF) == cont;
}
#endif

} // namespace

std::string EucToSjis(std::string_view in)
{
    std::string out;
    EucToSjis(in, out);
    return out;
}

void EucToSjis(std::string_view in, std::string &out)
{
    const Byte *const begin = bytesOf(in).data();
    convertBlocksInto<char, 1>(
        bytesOf(in), out, [begin](const Byte *p, const Byte *blockEnd, const Byte *end, char *&o) {
            const auto step = [&o](const Byte *&p, unsigned next) {
                const unsigned b = p[0], cls = kEucClass[b];
                const unsigned word = cls == kPair ? jisToSjisWord(b & 0x7F, next & 0x7F)
                    : cls == kSingleShift          ? next
                                                   : b;
                store16(o, word);
                o += cls == kPair ? 2 : 1;
                p += cls == kCopy ? 1 : 2;
            };
#if defined(__SSE2__)
            {
                unsigned carry = 0;
                while (p < blockEnd && end - p > 64) {
                    const unsigned n = eucToSjis64(p, p > begin ? p[-1] : 0, o, carry);
                    p += n;
                    o += n;
                    // Single shifts, a few at most, before the next block.
                    for (int k = 0; n < 64 && k < 8 && end - p > 1 && p[0] == 0x8E; ++k) {
                        *o++ = char(p[1]);
                        p += 2;
                    }
                }
                if (carry) {
                    // The second byte of a pair whose first byte the last block wrote.
                    *o++ = char(jisToSjisWord(p[-1] & 0x7F, p[0] & 0x7F) >> 8);
                    ++p;
                }
            }
#endif
            const Byte *const stop = std::min(blockEnd, end - 1);
            while (p < stop)
                if (!copyAscii8(p, end, o)) step(p, p[1]);
            if (p == end - 1) {
                // The byte after the last one reads as 0x00; a final single shift gives nothing.
                const unsigned cls = kEucClass[*p];
                if (cls == kCopy) {
                    *o++ = char(*p);
                } else if (cls == kPair) {
                    store16(o, jisToSjisWord(*p & 0x7F, 0));
                    o += 2;
                }
                ++p;
            }
            return std::min(p, end);
        });
}

std::string SjisToEuc(std::string_view in)
{
    std::string out;
    SjisToEuc(in, out);
    return out;
}

void SjisToEuc(std::string_view in, std::string &out)
{
    convertBlocksInto<char, 2>(bytesOf(in), out, [](const Byte *p, const Byte *blockEnd, const Byte *end, char *&o) {
        const auto step = [&o](const Byte *&p, unsigned next) {
            const unsigned b = p[0], cls = kSjisClass[b];
            store16(o, cls == kLead ? sjisToEucWord(b, next) : cls == kHalfWidth ? (0x8E | b << 8) : b);
            o += cls == kAscii ? 1 : 2;
            p += cls == kLead ? 2 : 1;
        };
#if defined(__SSE2__)
        {
            unsigned carry = 0;
            while (p < blockEnd && end - p > 64) {
                const unsigned n = sjisToEuc64(p, o, carry);
                p += n;
                o += n;
                // Half-width kana, a few at most, before the next block.
                for (int k = 0; n < 64 && k < 16 && p < end && cp932_tables::IsHalfWidthKana(p[0]); ++k) {
                    o[0] = '\x8e';
                    o[1] = char(p[0]);
                    o += 2;
                    ++p;
                }
            }
            if (carry) {
                // The second byte of a pair whose first byte the last block wrote.
                *o++ = char(sjisToEucWord(p[-1], p[0]) >> 8);
                ++p;
            }
        }
#endif
        const Byte *const stop = std::min(blockEnd, end - 1);
        while (p < stop)
            if (!copyAscii8(p, end, o)) step(p, p[1]);
        if (p == end - 1) step(p, 0);
        return std::min(p, end);
    });
}

namespace
{

// The decoder's rules one character at a time: a byte below 0x80 is a character; any other
// byte needs one continuation byte after it, two when its bit 0x20 is set. A character that
// decodes to U+0000 (an overlong NUL such as C0 80) is refused too, as a NUL would end the
// text it is put into.
bool wellFormedByWalk(const Byte *p, const Byte *end)
{
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const unsigned b1 = end - p > 1 ? p[1] : 0, b2 = end - p > 2 ? p[2] : 0;
        const bool three = *p & 0x20;
        if ((b1 & 0xC0) != 0x80 || (three && (b2 & 0xC0) != 0x80)) return false;
        if (encodesNul(*p, b1, b2)) return false;
        p += three ? 3 : 2;
    }
    return true;
}

} // namespace

bool IsWellFormedUtf8(std::string_view in)
{
    const Byte *p = bytesOf(in).data();
    const Byte *const begin = p, *const end = p + in.size();
#if defined(__SSE2__)
    {
        // Standard UTF-8 passes the block test; anything else (also text the decoder accepts
        // although it is no standard UTF-8) is decided by the walk.
        unsigned need = 0;
        for (; end - p >= 16; p += 16)
            if (!utf8Block16(p, p > begin ? p[-1] : 0, need)) return wellFormedByWalk(begin, end);
        Byte last[16] = {};
        if (end != p) std::memcpy(last, p, std::size_t(end - p)); // p is null for an empty view
        if (!utf8Block16(last, p > begin ? p[-1] : 0, need) || need != 0) return wellFormedByWalk(begin, end);
        return true;
    }
#endif
    return wellFormedByWalk(begin, end);
}

std::string Utf8ToSjis(std::string_view in)
{
    std::string out;
    Utf8ToSjis(in, out);
    return out;
}

bool Utf8ToSjis(std::string_view in, std::string &out)
{
    const std::uint16_t *const table = cp932_tables::Get().encode;
    bool malformed = false;
    char16_t previous = 0;
    const auto put = [&](char *&o, unsigned u) {
        if (const unsigned e = table[u])
            o += storeCp932(o, e);
        else
            storeUnmapped(o, char16_t(u), previous);
        previous = char16_t(u);
    };
    const auto step = [&](const Byte *p, const Byte *blockEnd, const Byte *end, char *&o) {
#if defined(__SSE2__)
        {
            // Blocks of standard UTF-8: the characters start at the bytes outside 0x80-0xBF, so
            // each one is decoded on its own instead of after the one before it. Four vectors
            // make one 64-bit mask, so that the walk over the starts ends once per 64 bytes.
            std::uint64_t need = 0;
            while (p < blockEnd && end - p >= 80) {
                std::uint64_t nonAscii = 0, cont = 0, lead3 = 0;
                for (int k = 0; k < 4; ++k) {
                    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
                    nonAscii |= std::uint64_t(bitsOf(x)) << 16 * k;
                    cont |= std::uint64_t(bitsOf(inRange(x, 0x80, 0xBF))) << 16 * k;
                    lead3 |= std::uint64_t(bitsOf(_mm_cmpeq_epi8(_mm_max_epu8(x, splat(0xE0)), x))) << 16 * k;
                }
                if ((nonAscii | need) == 0) {
                    std::memcpy(o, p, 64);
                    p += 64;
                    o += 64;
                    previous = 0;
                    continue;
                }
                if ((cont & need) != need) {
                    // A character of the block before lacks a continuation byte.
                    malformed = true;
                    return end;
                }
                const std::uint64_t lead = nonAscii & ~cont;
                if ((lead << 1 | lead3 << 2 | need) != cont) break; // the character loop decides
                for (std::uint64_t starts = ~cont; starts != 0;) {
                    const unsigned i = unsigned(__builtin_ctzll(starts));
                    if (p[i] < 0x80) {
                        // A run of ASCII, up to 16 bytes of it at once (the bytes copied past
                        // the run are overwritten by what follows).
                        const std::uint64_t after = nonAscii >> i;
                        const unsigned run = std::min(after ? unsigned(__builtin_ctzll(after)) : 64 - i, 16u);
                        std::memcpy(o, p + i, 16);
                        o += run;
                        previous = 0;
                        starts = i + run == 64 ? 0 : starts & ~0ull << (i + run);
                        continue;
                    }
                    std::uint32_t w;
                    std::memcpy(&w, p + i, 4);
                    const unsigned b0 = w & 0xFF, b1 = w >> 8 & 0x3F, b2 = w >> 16 & 0x3F;
                    const unsigned two = (b0 & 0x3F) << 6 | b1, three = (b0 & 0x0F) << 12 | b1 << 6 | b2;
                    const unsigned u = b0 & 0x20 ? three : two;
                    if (u == 0) {
                        malformed = true; // an overlong NUL
                        return end;
                    }
                    put(o, u);
                    starts &= starts - 1;
                }
                need = lead >> 63 | lead3 >> 62;
                p += 64;
            }
            // Past the continuation bytes of a character that crossed the last block edge.
            if (need != 0) {
                // The block before had 80 bytes left, so both bytes are there.
                if ((p[0] & 0xC0) != 0x80 || (need & 2 && (p[1] & 0xC0) != 0x80)) {
                    malformed = true;
                    return end;
                }
                p += need & 2 ? 2 : 1;
            }
        }
#endif
        while (p < blockEnd) {
            if (copyAscii8(p, end, o)) {
                // A low surrogate after these is no longer right after a high one.
                previous = 0;
                continue;
            }
            // Missing bytes at the end read as 0x00, which no continuation byte can be.
            const unsigned b0 = p[0], b1 = end - p > 1 ? p[1] : 0, b2 = end - p > 2 ? p[2] : 0;
            const bool ascii = b0 < 0x80, three = b0 & 0x20;
            if (!ascii && ((b1 & 0xC0) != 0x80 || (three && (b2 & 0xC0) != 0x80) || encodesNul(b0, b1, b2))) {
                malformed = true;
                return end;
            }
            const char16_t u = char16_t(ascii ? b0
                    : three                   ? (b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F)
                                              : (b0 & 0x3F) << 6 | (b1 & 0x3F));
            p += ascii ? 1 : three ? 3 : 2;
            put(o, u);
        }
        return p;
    };
    convertBlocksInto<char, 1>(bytesOf(in), out, step);
    if (malformed) out.clear();
    return !malformed;
}

std::string SjisToUtf8(std::string_view in)
{
    const char16_t *const pairs = cp932_tables::Get().pairDecode;
    return convertBlocks<char, 3>(bytesOf(in), [pairs](const Byte *p, const Byte *blockEnd, const Byte *end, char *&o) {
        const Byte *const stop = std::min(blockEnd, end - 1);
        while (p < stop)
            if (!copyAscii8(p, end, o)) o += storeUtf8(o, decodeCp932(p, p[1], pairs));
        if (p == end - 1) o += storeUtf8(o, decodeCp932(p, 0, pairs));
        return std::min(p, end);
    });
}

std::u16string Cp932ToUtf16(std::string_view in)
{
    const char16_t *const pairs = cp932_tables::Get().pairDecode;
    return convertBlocks<char16_t, 1>(
        bytesOf(in), [pairs](const Byte *p, const Byte *blockEnd, const Byte *end, char16_t *&o) {
            const Byte *const stop = std::min(blockEnd, end - 1);
            while (p < stop)
                *o++ = decodeCp932(p, p[1], pairs);
            if (p == end - 1) *o++ = decodeCp932(p, 0, pairs);
            return std::min(p, end);
        });
}

std::string Utf16ToCp932(std::u16string_view in)
{
    const std::uint16_t *const table = cp932_tables::Get().encode;
    char16_t previous = 0;
    return convertBlocks<char, 2>(in, [&](const char16_t *p, const char16_t *blockEnd, const char16_t *, char *&o) {
        for (; p < blockEnd; ++p) {
            if (const unsigned e = table[*p])
                o += storeCp932(o, e);
            else
                storeUnmapped(o, *p, previous);
            previous = *p;
        }
        return p;
    });
}

std::string SjisToUtf8Name(std::string_view sjis)
{
    // Code page 932 yields no surrogates, so the unit-by-unit encoder is standard UTF-8 here.
    return SjisToUtf8(sjis);
}

std::string Utf8ToSjisName(std::string_view utf8)
{
    std::u16string units;
    units.reserve(utf8.size());
    const Byte *p = reinterpret_cast<const Byte *>(utf8.data());
    const Byte *const end = p + utf8.size();
    const auto cont = [&](std::ptrdiff_t i) { return end - p > i && (p[i] & 0xC0) == 0x80; };
    while (p < end) {
        const Byte b = *p;
        char32_t cp = 0;
        int len = 0;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if (b >= 0xC2 && b <= 0xDF && cont(1)) {
            cp = (b & 0x1F) << 6 | (p[1] & 0x3F);
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF && cont(1) && cont(2)) {
            cp = (b & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) len = 3;
        } else if (b >= 0xF0 && b <= 0xF4 && cont(1) && cont(2) && cont(3)) {
            cp = (b & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F);
            if (cp >= 0x10000 && cp <= 0x10FFFF) len = 4;
        }
        // A malformed byte, and a character outside the BMP, are one '?' each.
        units += len == 0 || cp >= 0x10000 ? char16_t(kUnmappable) : char16_t(cp);
        p += len ? len : 1;
    }
    return Utf16ToCp932(units);
}

} // namespace jconvert
