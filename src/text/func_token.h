#pragma once
// The text rules every other unit builds on. Text is a byte string, normally Shift_JIS
// (code page 932): a character is one byte, or two when the first is a lead byte
// (0x81-0x9F, 0xE0-0xFC). Positions given to these functions are 1-based; each function
// says whether it counts bytes or characters. None keeps state; all are thread-safe.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace func_token
{

using StringList = std::vector<std::string>;

constexpr bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Number of characters (a double-byte character counts once).
std::size_t CharCount(std::string_view text);
// The n-th character (1-based, in characters), or "" when n is out of range.
std::string CharAt(std::string_view text, long n);
// True when the n-th character of text equals one of the characters of delimiters.
bool IsDelimiterChar(std::string_view delimiters, std::string_view text, long n);
// Clears fields and fills it with the tab-separated fields of line; one pair of enclosing
// double quotes is removed from a field.
void SplitTabFields(StringList &fields, std::string_view line);
// The same fields one at a time, as views into line and without allocating: reads the field
// that starts at pos into field and moves pos past its tab. False once line is used up
// (start with pos = 0).
bool NextTabField(std::string_view line, std::size_t &pos, std::string_view &field);
// Clears tokens and fills it with the tokens of text between delimiter characters;
// double quotes group a token.
void SplitTokens(StringList &tokens, std::string_view text, std::string_view delimiters);

// CR LF, a lone LF and a lone CR each end a line; a final break adds no empty line;
// text after a NUL byte is ignored.
StringList SplitLines(std::string_view text);
bool HasPrefix(std::string_view prefix, std::string_view text);
// False for an empty suffix, or when the suffix would begin on a trail byte.
bool HasSuffix(std::string_view suffix, std::string_view text);
// False when either is empty; an occurrence must not begin on a trail byte.
bool ContainsText(std::string_view text, std::string_view pattern);
bool ContainsTextIgnoreCase(std::string_view text, std::string_view pattern);
// Left to right, never rescanning inserted text, never matching from a trail byte.
std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText);
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view oldText, std::string_view newText);
// Removes leading and trailing bytes 0x00-0x20.
std::string_view TrimBlanks(std::string_view text);
// Characters start..start+count-1 (1-based, in characters).
std::string MidChars(std::string_view text, long start, long count);
std::string LeftChars(std::string_view text, long n);

// --- Shared helpers for the buffers -------------------------------------------------

// Text put into the source text as a whole: ends at the first NUL, every lone CR and
// lone LF becomes CR LF (so LF CR gives two breaks), CR LF stays.
std::string NormalizeLineBreaks(std::string_view text);
// The text form of a list: every item followed by CR LF, the last one included.
std::string JoinCrLf(const StringList &items);

} // namespace func_token
