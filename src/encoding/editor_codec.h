#pragma once
// The lossless bridge between the source text's bytes and the editor's UTF-16 text.
// Every valid code page 932 character that re-encodes to itself is shown as itself;
// every other byte 0x80-0xFF is shown as U+F700+byte; CR LF is one line break ('\n');
// a lone CR or LF is shown as U+F70D / U+F70A. For every byte string b without NUL,
// Encode(Decode(b)) == b. Characters code page 932 cannot hold encode as '?'.
//
// Encoding text that did not come from Decode (typed or pasted):
// - '\n', '\r', "\r\n", U+2028 and U+2029 (the document's paragraph separator) are line
//   breaks and become CR LF;
// - U+F70D, U+F70A and U+F780-U+F7FF become their raw byte;
// - U+0000 becomes '?': a NUL would end the source text and drop everything after it;
// - a surrogate pair (a character outside the BMP) becomes one '?', a lone surrogate '?'.
// Decode passes a NUL byte through as U+0000 (buffers never hold one).
#include <cstddef>
#include <string>
#include <string_view>

namespace editor_codec
{

std::u16string Decode(std::string_view bytes);
std::string Encode(std::u16string_view text);

// Lines of a list item or a single-line control (no line-break handling): the same maps,
// but '\n' and '\r' are plain bytes both ways.
std::u16string DecodeLine(std::string_view bytes);
std::string EncodeLine(std::u16string_view text);

// A URL typed into a box: as EncodeLine, but a character code page 932 cannot hold is
// percent-encoded from its UTF-8 bytes, as browsers send it ("ü" -> "%C3%BC"); a lone surrogate
// counts as U+FFFD.
std::string EncodeUrlLine(std::u16string_view text);

// Forms that write into a buffer the caller owns (the Qt bridge decodes straight into a
// QString). Decoding writes at most bytes.size() units, encoding at most 2 * text.size()
// bytes; both return the number written.
enum class Breaks { Text, Line };
std::size_t DecodeInto(std::string_view bytes, char16_t *out, Breaks breaks = Breaks::Text);
std::size_t EncodeInto(std::u16string_view text, char *out, Breaks breaks = Breaks::Text);
// The same, one character at a time: the plain forms the fast ones (runs of ASCII sixteen bytes
// at a time) are tested against.
std::size_t DecodeIntoSimple(std::string_view bytes, char16_t *out, Breaks breaks = Breaks::Text);
std::size_t EncodeIntoSimple(std::u16string_view text, char *out, Breaks breaks = Breaks::Text);
constexpr std::size_t MaxEncodedSize(std::size_t units)
{
    return 2 * units;
}

} // namespace editor_codec
