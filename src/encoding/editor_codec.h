#pragma once
// The lossless bridge between the source text's bytes and the editor's UTF-16 text.
// Every valid code page 932 character that re-encodes to itself is shown as itself;
// every other byte 0x80-0xFF is shown as U+F700+byte; CR LF is one line break ('\n');
// a lone CR or LF is shown as U+F70D / U+F70A. For every byte string b without NUL,
// Encode(Decode(b)) == b. Characters code page 932 cannot hold encode as '?'.
#include <string>
#include <string_view>

namespace editor_codec {

std::u16string Decode(std::string_view bytes);
std::string Encode(std::u16string_view text);

// Lines of a list item or a single-line control (no line-break handling): the same maps,
// but '\n' and '\r' are plain bytes both ways.
std::u16string DecodeLine(std::string_view bytes);
std::string EncodeLine(std::u16string_view text);

} // namespace editor_codec
