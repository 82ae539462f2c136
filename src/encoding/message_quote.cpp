#include "encoding/message_quote.h"

#include "encoding/cp932_tables.h"

namespace message_quote
{
namespace
{

using Byte = unsigned char;

void appendEscape(std::string &out, Byte b)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isControl(Byte b)
{
    return b < 0x20 || b == 0x7F;
}

// A byte below 0x80: itself, or escaped when it is a control.
void appendAscii(std::string &out, Byte b)
{
    if (isControl(b))
        appendEscape(out, b);
    else
        out += static_cast<char>(b);
}

// Length of the well-formed UTF-8 sequence at i (no overlong forms, no surrogates, at most
// U+10FFFF), or 0.
std::size_t utf8Length(std::string_view s, std::size_t i)
{
    const Byte b = static_cast<Byte>(s[i]);
    std::size_t len;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < len) return 0;
    char32_t c = b & (0x3F >> (len - 1));
    for (std::size_t k = 1; k < len; ++k) {
        const Byte t = static_cast<Byte>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        c = (c << 6) | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return len;
}

bool isUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        if (static_cast<Byte>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = utf8Length(s, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

void quoteUtf8(std::string &out, std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const Byte b = static_cast<Byte>(s[i]);
        if (b < 0x80) {
            appendAscii(out, b);
            ++i;
            continue;
        }
        const std::size_t len = utf8Length(s, i);
        // U+0080-U+009F, the C1 controls, are C2 80-C2 9F.
        if (b == 0xC2 && static_cast<Byte>(s[i + 1]) < 0xA0) {
            appendEscape(out, b);
            appendEscape(out, static_cast<Byte>(s[i + 1]));
        } else {
            out.append(s.substr(i, len));
        }
        i += len;
    }
}

void quoteCp932(std::string &out, std::string_view s)
{
    const cp932_tables::Tables &tables = cp932_tables::Get();
    for (std::size_t i = 0; i < s.size(); ++i) {
        const Byte b = static_cast<Byte>(s[i]);
        if (b < 0x80) {
            appendAscii(out, b);
        } else if (cp932_tables::IsHalfWidthKana(b)) {
            appendUtf8(out, cp932_tables::HalfWidthKana(b));
        } else if (const char16_t c = i + 1 < s.size() ? tables.pairDecode[b << 8 | static_cast<Byte>(s[i + 1])] : 0;
                   c != 0 && !(c >= 0xD800 && c <= 0xDFFF)) {
            appendUtf8(out, c);
            ++i;
        } else {
            appendEscape(out, b); // C1 controls among them: 0x80-0x9F start no character alone
        }
    }
}

} // namespace

std::string Quoted(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 8);
    if (isUtf8(bytes))
        quoteUtf8(out, bytes);
    else
        quoteCp932(out, bytes);
    return out;
}

} // namespace message_quote
