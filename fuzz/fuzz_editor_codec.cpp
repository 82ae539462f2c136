// The editor codec's promise: every byte string without NUL comes back byte for byte.
#include "encoding/editor_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char *>(data), size);
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
    if (editor_codec::Encode(editor_codec::Decode(bytes)) != bytes) std::abort();
    if (editor_codec::EncodeLine(editor_codec::DecodeLine(bytes)) != bytes) std::abort();
    // Arbitrary UTF-16 from the user never crashes the encoder.
    std::u16string typed(reinterpret_cast<const char16_t *>(data), size / 2);
    (void)editor_codec::Encode(typed);
    return 0;
}
