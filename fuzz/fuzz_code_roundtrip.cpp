// Round trips of the character-code conversions on texts they must carry losslessly: the
// input is turned into ASCII, half-width katakana and JIS X 0208 positions, converted to
// EUC-JP and UTF-8 and back. The URL codec's line forms undo each other the same way.
#include "encoding/jconvert.h"
#include "encoding/url_codec.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string sjis; // only characters the EUC-JP arithmetic maps back to themselves
    std::string simple; // ASCII and half-width katakana: the same in every direction
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c >= 0x01 && c <= 0x7F) {
            sjis.push_back(static_cast<char>(c));
            simple.push_back(static_cast<char>(c));
        } else if (c >= 0xA1 && c <= 0xDF) {
            sjis.push_back(static_cast<char>(c));
            simple.push_back(static_cast<char>(c));
        } else if (i + 1 < size) {
            const unsigned char j1 = static_cast<unsigned char>(0x21 + c % 94);
            const unsigned char j2 = static_cast<unsigned char>(0x21 + data[++i] % 94);
            const auto [s1, s2] = jconvert::JisToSjis(j1, j2);
            const auto [k1, k2] = jconvert::SjisToJis(s1, s2);
            if (k1 != j1 || k2 != j2) std::abort();
            sjis.push_back(static_cast<char>(s1));
            sjis.push_back(static_cast<char>(s2));
        }
    }
    if (jconvert::EucToSjis(jconvert::SjisToEuc(sjis)) != sjis) std::abort();
    if (jconvert::Utf8ToSjis(jconvert::SjisToUtf8(simple)) != simple) std::abort();

    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    if (raw.find('\0') == std::string_view::npos) {
        std::string back, whole;
        if (!url_codec::DecodeWholeLines(url_codec::EncodeWholeLines(raw), back) || back != raw) std::abort();
        if (!url_codec::DecodeWhole(url_codec::EncodeWhole(raw), whole) || whole != raw) std::abort();
    }
    // Utf16 and back: never crashes, whatever the bytes.
    (void)jconvert::Utf16ToCp932(jconvert::Cp932ToUtf16(raw));
    (void)jconvert::Utf8ToSjisName(jconvert::SjisToUtf8Name(raw));
    return 0;
}
