#pragma once
// Japanese character-code conversion: the EUC-JP arithmetic, the program's own UTF-8
// rules, and code page 932 <-> UTF-16 through glibc iconv.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace jconvert {

std::pair<unsigned char, unsigned char> JisToSjis(unsigned char j1, unsigned char j2);
std::pair<unsigned char, unsigned char> SjisToJis(unsigned char s1, unsigned char s2);

std::string EucToSjis(std::string_view in);
std::string SjisToEuc(std::string_view in);
// Empty when the input is empty or not well-formed by the decoder's rules.
std::string Utf8ToSjis(std::string_view in);
std::string SjisToUtf8(std::string_view in);

// Code page 932 <-> UTF-16 as the platform would do it. Bytes that are not valid code page
// 932 become U+30FB ("・"), characters it cannot hold become '?'.
std::u16string Cp932ToUtf16(std::string_view in);
std::string Utf16ToCp932(std::u16string_view in);

// File names: table names live as Shift_JIS bytes; the file system speaks UTF-8.
std::string SjisToUtf8Name(std::string_view sjis);
std::string Utf8ToSjisName(std::string_view utf8);

} // namespace jconvert
