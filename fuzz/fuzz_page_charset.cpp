// Downloaded pages: the charset prescan, the ISO-2022-JP rewrite and the conversion to Shift_JIS
// on arbitrary bytes. The first line stands for the Content-Type header.
#include "encoding/page_convert.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    const std::size_t lineEnd = in.find('\n');
    const std::string_view contentType = in.substr(0, lineEnd);
    const std::string_view page = lineEnd == std::string_view::npos ? std::string_view() : in.substr(lineEnd + 1);
    const page_convert::Converted converted = page_convert::ToShiftJis(page, contentType);
    if (converted.charset.name == "SHIFT_JIS" && converted.text != page) std::abort();
    // Every character becomes at most a ten-byte reference; every invalid byte one &#xFFFD;.
    if (converted.text.size() > 10 * page.size() + 16) std::abort();
    if (page_convert::Iso2022JpToEucJp(page).size() > 2 * page.size()) std::abort();
    return 0;
}
