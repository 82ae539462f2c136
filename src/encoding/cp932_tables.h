#pragma once
// Code page 932 tables shared by the editor codec and the character-code conversions, built
// once from glibc iconv "CP932" on first use (thread-safe). Indexed by lead << 8 | trail for
// pairs and by the UTF-16 unit for encoding; 0 means "no mapping".
#include <cstdint>

namespace cp932_tables
{

struct Tables {
    // Every pair the platform decodes to one UTF-16 unit.
    char16_t pairDecode[65536];
    // Only the pairs whose character the platform encodes back to the same two bytes: the
    // editor shows the others as two raw bytes so that they survive a round trip.
    char16_t pairExact[65536];
    // The platform's encoding of each BMP unit: a single byte b as b, a pair as lead << 8 | trail
    // (lead >= 0x81, so pairs are >= 0x8100). U+0000 and surrogates are 0.
    std::uint16_t encode[65536];
    // The editor's encoding: like encode, but U+F70A, U+F70D and U+F780-U+F7FF give their raw
    // byte, and '\n', '\r', U+2028, U+2029, U+0000 and surrogates are 0 (handled by the caller).
    std::uint16_t editorEncode[65536];
};

const Tables &Get();

constexpr bool IsHalfWidthKana(unsigned char c)
{
    return c >= 0xA1 && c <= 0xDF;
}
constexpr char16_t HalfWidthKana(unsigned char c)
{
    return char16_t(0xFF61 + (c - 0xA1));
}

} // namespace cp932_tables
