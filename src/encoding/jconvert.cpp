#include "encoding/jconvert.h"

#include "encoding/cp932_tables.h"

#include <algorithm>
#include <array>
#include <cstring>

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

// Output goes through a small buffer on the stack and is appended to a string reserved for
// the worst case, so that only the pages the result really uses are ever touched. A step
// converts from p until it reaches blockEnd (it may read and consume a few bytes beyond,
// never beyond end) and returns where it stopped.
constexpr std::size_t kBlock = 8192;

template <typename OutChar, std::size_t MaxOutPerUnit, typename InChar, typename Step>
std::basic_string<OutChar> convertBlocks(std::basic_string_view<InChar> in, Step step)
{
    std::basic_string<OutChar> out;
    out.reserve(in.size() * MaxOutPerUnit + 8);
    OutChar buf[(kBlock + 4) * MaxOutPerUnit + 16];
    const InChar *p = in.data();
    const InChar *const end = p + in.size();
    while (p < end) {
        const InChar *const blockEnd = std::size_t(end - p) > kBlock ? p + kBlock : end;
        OutChar *o = buf;
        p = step(p, blockEnd, end, o);
        out.append(buf, std::size_t(o - buf));
    }
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
        t[b] = b < 0x80 ? kAscii : cp932::IsHalfWidthKana(Byte(b)) ? kHalfWidth : kLead;
    return t;
}
constexpr std::array<Byte, 256> kSjisClass = makeSjisClasses();

// What a byte decodes to when it does not start a valid pair.
constexpr std::array<char16_t, 256> makePlatformSingles()
{
    std::array<char16_t, 256> t {};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = b < 0x80 ? char16_t(b) : cp932::IsHalfWidthKana(Byte(b)) ? cp932::HalfWidthKana(Byte(b)) : kInvalidByte;
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

} // namespace

std::string EucToSjis(std::string_view in)
{
    return convertBlocks<char, 1>(bytesOf(in), [](const Byte *p, const Byte *blockEnd, const Byte *end, char *&o) {
        const Byte *const stop = std::min(blockEnd, end - 1);
        while (p < stop) {
            if (copyAscii8(p, end, o)) continue;
            const unsigned b = p[0], next = p[1], cls = kEucClass[b];
            const unsigned word = cls == kPair ? jisToSjisWord(b & 0x7F, next & 0x7F) : cls == kSingleShift ? next : b;
            store16(o, word);
            o += cls == kPair ? 2 : 1;
            p += cls == kCopy ? 1 : 2;
        }
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
        return p;
    });
}

std::string SjisToEuc(std::string_view in)
{
    return convertBlocks<char, 2>(bytesOf(in), [](const Byte *p, const Byte *blockEnd, const Byte *end, char *&o) {
        const auto step = [&o](const Byte *&p, unsigned next) {
            const unsigned b = p[0], cls = kSjisClass[b];
            store16(o, cls == kLead ? sjisToEucWord(b, next) : cls == kHalfWidth ? (0x8E | b << 8) : b);
            o += cls == kAscii ? 1 : 2;
            p += cls == kLead ? 2 : 1;
        };
        const Byte *const stop = std::min(blockEnd, end - 1);
        while (p < stop)
            if (!copyAscii8(p, end, o)) step(p, p[1]);
        if (p == end - 1) step(p, 0);
        return std::min(p, end);
    });
}

std::string Utf8ToSjis(std::string_view in)
{
    const std::uint16_t *const table = cp932::Get().encode;
    bool malformed = false;
    char16_t previous = 0;
    const auto step = [&](const Byte *p, const Byte *blockEnd, const Byte *end, char *&o) {
        while (p < blockEnd) {
            if (copyAscii8(p, end, o)) {
                // A low surrogate after these is no longer right after a high one.
                previous = 0;
                continue;
            }
            // Missing bytes at the end read as 0x00, which no continuation byte can be.
            const unsigned b0 = p[0], b1 = end - p > 1 ? p[1] : 0, b2 = end - p > 2 ? p[2] : 0;
            const bool ascii = b0 < 0x80, three = b0 & 0x20;
            if (!ascii && ((b1 & 0xC0) != 0x80 || (three && (b2 & 0xC0) != 0x80))) {
                malformed = true;
                return end;
            }
            const char16_t u = char16_t(ascii ? b0
                    : three                   ? (b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F)
                                              : (b0 & 0x3F) << 6 | (b1 & 0x3F));
            p += ascii ? 1 : three ? 3 : 2;
            if (const unsigned e = table[u])
                o += storeCp932(o, e);
            else
                storeUnmapped(o, u, previous);
            previous = u;
        }
        return p;
    };
    std::string out = convertBlocks<char, 1>(bytesOf(in), step);
    if (malformed) return {};
    return out;
}

std::string SjisToUtf8(std::string_view in)
{
    const char16_t *const pairs = cp932::Get().pairDecode;
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
    const char16_t *const pairs = cp932::Get().pairDecode;
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
    const std::uint16_t *const table = cp932::Get().encode;
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
