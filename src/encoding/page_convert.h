#pragma once
// A downloaded page converted to code page 932 (Shift_JIS), so that it enters the source text
// like any other page: a character code page 932 cannot hold becomes an HTML numeric character
// reference (&#x1F600;), so nothing is lost; a page already in Shift_JIS is kept byte for byte.
#include "encoding/page_charset.h"

#include <string>
#include <string_view>

namespace page_convert
{

struct Converted {
    std::string text;
    page_charset::Charset charset; // what the page was read as
};

// charsetName is a name page_charset gives. A byte sequence that is not valid in that code
// becomes &#xFFFD;, the mark browsers show. A byte-order mark at the start is dropped.
std::string ToCp932(std::string_view page, const std::string &charsetName);

// The page's charset from the header and the page itself, then the conversion.
Converted ToShiftJis(std::string_view page, std::string_view contentType);

// An ISO-2022-JP text rewritten as EUC-JP, byte for byte where it can be: the two codes carry
// the same JIS rows, so the NEC row 13 characters (①) survive, which iconv's ISO-2022-JP
// refuses. An escape sequence it does not know is kept as it stands.
std::string Iso2022JpToEucJp(std::string_view in);

} // namespace page_convert
