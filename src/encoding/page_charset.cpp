#include "encoding/page_charset.h"

#include "encoding/jconvert.h"

#include <algorithm>
#include <iconv.h>
#include <memory>
#include <uchardet.h>

namespace page_charset
{
namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string LowerTrimmed(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

bool StartsWithIgnoreCase(std::string_view text, std::size_t at, std::string_view lowerPrefix)
{
    if (text.size() - std::min(at, text.size()) < lowerPrefix.size()) return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
        if (Lower(text[at + i]) != lowerPrefix[i]) return false;
    return true;
}

struct Alias {
    std::string_view label;
    std::string_view name;
};

// The labels pages use most, grouped the way browsers read them; anything else goes to iconv.
constexpr Alias kAliases[] = {
    { "shift_jis", "SHIFT_JIS" },
    { "shift-jis", "SHIFT_JIS" },
    { "sjis", "SHIFT_JIS" },
    { "x-sjis", "SHIFT_JIS" },
    { "ms_kanji", "SHIFT_JIS" },
    { "csshiftjis", "SHIFT_JIS" },
    { "windows-31j", "SHIFT_JIS" },
    { "cp932", "SHIFT_JIS" },
    { "ms932", "SHIFT_JIS" },
    { "x-ms-cp932", "SHIFT_JIS" },
    { "euc-jp", "EUC-JP" },
    { "x-euc-jp", "EUC-JP" },
    { "cseucpkdfmtjapanese", "EUC-JP" },
    { "iso-2022-jp", "ISO-2022-JP" },
    { "csiso2022jp", "ISO-2022-JP" },
    { "utf-8", "UTF-8" },
    { "utf8", "UTF-8" },
    { "unicode-1-1-utf-8", "UTF-8" },
    { "utf-16", "UTF-16LE" },
    { "utf-16le", "UTF-16LE" },
    { "unicode", "UTF-16LE" },
    { "utf-16be", "UTF-16BE" },
    { "us-ascii", "WINDOWS-1252" },
    { "ascii", "WINDOWS-1252" },
    { "iso-8859-1", "WINDOWS-1252" },
    { "latin1", "WINDOWS-1252" },
    { "l1", "WINDOWS-1252" },
    { "windows-1252", "WINDOWS-1252" },
    { "x-user-defined", "WINDOWS-1252" },
    { "gb2312", "GBK" },
    { "gbk", "GBK" },
    { "x-gbk", "GBK" },
};

bool IconvKnows(const std::string &name)
{
    const iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

// The value of "charset=" in a Content-Type or in a meta element's content: quoted, or up to a
// blank or a semicolon.
std::string CharsetParameter(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t found = [&] {
            for (std::size_t i = at; i + 7 <= text.size(); ++i)
                if (StartsWithIgnoreCase(text, i, "charset")) return i;
            return std::string_view::npos;
        }();
        if (found == std::string_view::npos) return "";
        std::size_t i = found + 7;
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        if (i >= text.size() || text[i] != '=') {
            at = found + 7;
            continue;
        }
        ++i;
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
            const std::size_t close = text.find(text[i], i + 1);
            if (close == std::string_view::npos) return "";
            return std::string(text.substr(i + 1, close - i - 1));
        }
        std::size_t end = i;
        while (end < text.size() && !IsSpace(text[end]) && text[end] != ';')
            ++end;
        return std::string(text.substr(i, end - i));
    }
    return "";
}

// One attribute of a tag, as the prescan reads it; pos moves past it. False at the tag's end.
bool NextAttribute(std::string_view s, std::size_t &pos, std::string &name, std::string &value)
{
    name.clear();
    value.clear();
    while (pos < s.size() && (IsSpace(s[pos]) || s[pos] == '/'))
        ++pos;
    if (pos >= s.size() || s[pos] == '>') return false;
    do {
        if (s[pos] == '=' && !name.empty()) break;
        name += Lower(s[pos++]);
    } while (pos < s.size() && !IsSpace(s[pos]) && s[pos] != '/' && s[pos] != '>' && s[pos] != '=');
    while (pos < s.size() && IsSpace(s[pos]))
        ++pos;
    if (pos >= s.size() || s[pos] != '=') return true;
    ++pos;
    while (pos < s.size() && IsSpace(s[pos]))
        ++pos;
    if (pos >= s.size()) return true;
    if (s[pos] == '"' || s[pos] == '\'') {
        const char quote = s[pos++];
        while (pos < s.size() && s[pos] != quote)
            value += Lower(s[pos++]);
        if (pos < s.size()) ++pos;
        return true;
    }
    while (pos < s.size() && !IsSpace(s[pos]) && s[pos] != '>')
        value += Lower(s[pos++]);
    return true;
}

// The label a meta tag declares (its attributes start at pos), or "".
std::string MetaLabel(std::string_view s, std::size_t &pos)
{
    bool gotPragma = false, needPragma = false, haveCharset = false;
    std::string charset, name, value;
    while (NextAttribute(s, pos, name, value)) {
        if (name == "http-equiv") {
            gotPragma = gotPragma || value == "content-type";
        } else if (name == "content" && !haveCharset) {
            charset = CharsetParameter(value);
            if (!charset.empty()) haveCharset = needPragma = true;
        } else if (name == "charset" && !haveCharset) {
            charset = value;
            haveCharset = true;
            needPragma = false;
        }
    }
    if (!haveCharset || (needPragma && !gotPragma)) return "";
    return charset;
}

} // namespace

std::string Canonical(std::string_view label)
{
    const std::string lower = LowerTrimmed(label);
    if (lower.empty()) return "";
    for (const Alias &alias : kAliases)
        if (alias.label == lower) return std::string(alias.name);
    std::string upper = lower;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    return IconvKnows(upper) ? upper : "";
}

std::string LabelFromContentType(std::string_view contentType)
{
    const std::size_t semicolon = contentType.find(';');
    if (semicolon == std::string_view::npos) return "";
    return CharsetParameter(contentType.substr(semicolon + 1));
}

std::string LabelFromMeta(std::string_view page)
{
    const std::string_view s = page.substr(0, 1024);
    std::size_t pos = 0;
    std::string name, value;
    while (pos < s.size()) {
        if (s[pos] != '<') {
            ++pos;
            continue;
        }
        if (s.substr(pos, 4) == "<!--") {
            const std::size_t end = s.find("-->", pos + 2);
            if (end == std::string_view::npos) return "";
            pos = end + 3;
        } else if (StartsWithIgnoreCase(s, pos, "<meta") && pos + 5 < s.size()
            && (IsSpace(s[pos + 5]) || s[pos + 5] == '/')) {
            pos += 6;
            std::string label = MetaLabel(s, pos);
            if (!label.empty()) {
                // A page that declares UTF-16 in ASCII bytes cannot be UTF-16.
                const std::string canonical = Canonical(label);
                if (canonical == "UTF-16LE" || canonical == "UTF-16BE") return "utf-8";
                return label;
            }
        } else if (pos + 1 < s.size()
            && ((s[pos + 1] >= 'a' && s[pos + 1] <= 'z') || (s[pos + 1] >= 'A' && s[pos + 1] <= 'Z')
                || s[pos + 1] == '/')) {
            // Another tag: its name, then its attributes, so that a ">" in a quoted value is skipped.
            ++pos;
            while (pos < s.size() && !IsSpace(s[pos]) && s[pos] != '>')
                ++pos;
            while (NextAttribute(s, pos, name, value)) { }
            ++pos;
        } else if (pos + 1 < s.size() && (s[pos + 1] == '!' || s[pos + 1] == '?')) {
            const std::size_t end = s.find('>', pos);
            if (end == std::string_view::npos) return "";
            pos = end + 1;
        } else {
            ++pos;
        }
    }
    return "";
}

std::string FromByteOrderMark(std::string_view page)
{
    if (page.substr(0, 3) == "\xEF\xBB\xBF") return "UTF-8";
    if (page.substr(0, 2) == "\xFF\xFE") return "UTF-16LE";
    if (page.substr(0, 2) == "\xFE\xFF") return "UTF-16BE";
    return "";
}

Charset Determine(std::string_view contentType, std::string_view page)
{
    if (std::string name = Canonical(LabelFromContentType(contentType)); !name.empty()) return { name, Source::Header };
    if (std::string name = Canonical(LabelFromMeta(page)); !name.empty()) return { name, Source::Meta };
    if (std::string name = FromByteOrderMark(page); !name.empty()) return { name, Source::ByteOrderMark };

    // The detector settles early on most pages; a megabyte is plenty for the rest.
    const std::unique_ptr<uchardet, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    std::string detected;
    if (detector) {
        const std::string_view sample = page.substr(0, 1u << 20);
        if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) == 0) {
            uchardet_data_end(detector.get());
            detected = uchardet_get_charset(detector.get());
        }
    }
    // Plain ASCII reads the same in every code the program knows.
    if (LowerTrimmed(detected) == "ascii") return { "SHIFT_JIS", Source::Detected };
    if (std::string name = Canonical(detected); !name.empty()) return { name, Source::Detected };
    if (jconvert::IsWellFormedUtf8(page)) return { "UTF-8", Source::Assumed };
    return { "SHIFT_JIS", Source::Assumed };
}

} // namespace page_charset
