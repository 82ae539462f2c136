#pragma once
// The character code of a downloaded page: the Content-Type header's charset, else the page's
// own <meta> declaration in its first 1024 bytes, else a byte-order mark, else a guess by the
// uchardet library. Names come back as iconv knows them; "SHIFT_JIS" stands for the whole
// Shift_JIS family (code page 932 included), which the program keeps as it is.
#include <string>
#include <string_view>

namespace page_charset
{

enum class Source { Header, Meta, ByteOrderMark, Detected, Assumed };

struct Charset {
    std::string name; // an iconv name, e.g. "UTF-8", "EUC-JP", "SHIFT_JIS"
    Source source = Source::Assumed;
};

// An encoding label as iconv names it, with the aliases pages use ("x-sjis", "latin1" ...);
// "" when neither the list below nor iconv knows it.
std::string Canonical(std::string_view label);

// The charset parameter of a Content-Type value, as written; "" when none.
std::string LabelFromContentType(std::string_view contentType);

// The label a <meta charset> or <meta http-equiv="Content-Type" content="...; charset=...">
// declares within the first 1024 bytes, found the way browsers prescan a page; "" when none.
std::string LabelFromMeta(std::string_view page);

// "UTF-8", "UTF-16LE" or "UTF-16BE" for a page that starts with that byte-order mark; "" else.
std::string FromByteOrderMark(std::string_view page);

Charset Determine(std::string_view contentType, std::string_view page);

} // namespace page_charset
