#pragma once
// Japanese character-code conversion: the EUC-JP arithmetic, the program's own UTF-8
// rules, and code page 932 <-> UTF-16 with the tables of glibc iconv "CP932".
//
// Replacements (where the platform conversion has to give up):
// - a byte that does not start a valid code page 932 character becomes U+30FB ("・") and
//   the next byte is read afresh, so an ASCII byte after a stray lead byte survives;
// - a character code page 932 cannot hold becomes '?' (a surrogate pair is one character).
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace jconvert
{

std::pair<unsigned char, unsigned char> JisToSjis(unsigned char j1, unsigned char j2);
std::pair<unsigned char, unsigned char> SjisToJis(unsigned char s1, unsigned char s2);

std::string EucToSjis(std::string_view in);
std::string SjisToEuc(std::string_view in);
// Empty when the input is empty or not well-formed by the decoder's rules.
std::string Utf8ToSjis(std::string_view in);

// The same into out (its old content replaced, its storage reused), for callers that
// convert many pieces. Utf8ToSjis returns false (out empty) when the input is not
// well-formed by the decoder's rules.
void EucToSjis(std::string_view in, std::string &out);
void SjisToEuc(std::string_view in, std::string &out);
bool Utf8ToSjis(std::string_view in, std::string &out);

// True when Utf8ToSjis accepts in (the decoder's rules: any byte 0x80-0xFF starts a
// character of two bytes, or three when its bit 0x20 is set; the bytes after it must be
// 0x80-0xBF; no such character may decode to U+0000, as the NUL byte would end the text).
// Checks standard UTF-8 sixteen bytes at a time without converting.
bool IsWellFormedUtf8(std::string_view in);
std::string SjisToUtf8(std::string_view in);

// Code page 932 <-> UTF-16 as the platform would do it. Bytes that are not valid code page
// 932 become U+30FB ("・"), characters it cannot hold become '?'.
std::u16string Cp932ToUtf16(std::string_view in);
std::string Utf16ToCp932(std::u16string_view in);

// File names: table names live as Shift_JIS bytes; the file system speaks UTF-8. These use
// standard UTF-8 (four-byte forms, strict validation), not the command's rules above; a
// byte of a malformed UTF-8 name becomes '?'.
std::string SjisToUtf8Name(std::string_view sjis);
std::string Utf8ToSjisName(std::string_view utf8);

} // namespace jconvert
