// Character-code and URL conversions on arbitrary bytes.
#include "encoding/jconvert.h"
#include "encoding/url_codec.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    (void)jconvert::EucToSjis(in);
    (void)jconvert::SjisToEuc(in);
    const std::string sjis = jconvert::Utf8ToSjis(in);
    (void)jconvert::SjisToUtf8(in);
    // A NUL would cut the text the result is put into: none may come out unless it went in.
    if (in.find('\0') == std::string_view::npos && sjis.find('\0') != std::string::npos) std::abort();

    const std::string encoded = url_codec::UrlEncode(in);
    const auto decoded = url_codec::UrlDecode(encoded);
    const std::string_view upToNul = in.substr(0, in.find('\0'));
    if (!decoded || *decoded != upToNul) std::abort();
    const auto raw = url_codec::UrlDecode(in);
    if (raw && (raw->size() > in.size() || raw->find('\0') != std::string::npos)) std::abort();
    std::string out;
    (void)url_codec::DecodeWholeLines(in, out);
    (void)url_codec::DecodeSelectionLines(in, out);
    return 0;
}
