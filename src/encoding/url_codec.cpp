#include "encoding/url_codec.h"

#include "encoding/message_quote.h"
#include "text/func_token.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace url_codec
{
namespace
{

using Byte = unsigned char;

constexpr bool isKept(Byte b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '!' || b == '$'
        || b == '\'' || b == '(' || b == ')' || b == '*' || b == '-' || b == '.' || b == '@' || b == '_';
}

// Per byte: what the encoder writes, packed little-endian into 32 bits, and its length.
struct EncodeTable {
    std::uint32_t text[256];
    Byte length[256];
};

constexpr EncodeTable makeEncodeTable()
{
    constexpr char hex[] = "0123456789ABCDEF";
    EncodeTable t {};
    for (unsigned b = 0; b < 256; ++b) {
        if (isKept(Byte(b))) {
            t.text[b] = b;
            t.length[b] = 1;
        } else if (b == ' ') {
            t.text[b] = '+';
            t.length[b] = 1;
        } else {
            t.text[b] = unsigned('%') | unsigned(hex[b >> 4]) << 8 | unsigned(hex[b & 15]) << 16;
            t.length[b] = 3;
        }
    }
    return t;
}
constexpr EncodeTable kEncode = makeEncodeTable();

constexpr std::array<signed char, 256> makeHexTable()
{
    std::array<signed char, 256> table {};
    for (auto &v : table)
        v = -1;
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = static_cast<signed char>(10 + i);
        table['a' + i] = static_cast<signed char>(10 + i);
    }
    return table;
}
constexpr std::array<signed char, 256> kHex = makeHexTable();

constexpr std::array<Byte, 256> makePlusTable()
{
    std::array<Byte, 256> table {};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = b == '+' ? ' ' : Byte(b);
    return table;
}
constexpr std::array<Byte, 256> kPlusToSpace = makePlusTable();

// Output goes through a small buffer on the stack and is appended to a string reserved for
// the worst case, so that only the pages the result really uses are ever touched.
constexpr std::size_t kBlock = 8192;

std::string_view upToNul(std::string_view in)
{
    const std::size_t nul = in.find('\0');
    return nul == std::string_view::npos ? in : in.substr(0, nul);
}

CommandResult failed(std::string_view text, const DecodeResult &r)
{
    return { std::string(text), false, r.message() };
}

// Calls fn(line, lineBreak) for each line of text; a line ends at CR LF, a lone CR or a
// lone LF, and the break bytes are passed on as they are. A text ending in a break has an
// empty last line.
template <typename Fn> void forEachLine(std::string_view text, Fn fn)
{
    std::size_t start = 0;
    for (;;) {
        // A plain loop: find_first_of calls memchr once per byte of the text.
        std::size_t brk = start;
        while (brk < text.size() && text[brk] != '\r' && text[brk] != '\n')
            ++brk;
        if (brk == text.size()) {
            fn(text.substr(start), std::string_view());
            return;
        }
        std::size_t after = brk + 1;
        if (text[brk] == '\r' && after < text.size() && text[after] == '\n') ++after;
        if (!fn(text.substr(start, brk - start), text.substr(brk, after - brk))) return;
        start = after;
    }
}

} // namespace

namespace
{

// Appends the encoding of in (already cut at its first NUL) to out.
void encodeAppend(std::string &out, std::string_view in)
{
    char buf[kBlock * 3 + 4];
    for (std::size_t start = 0; start < in.size(); start += kBlock) {
        const std::string_view block = in.substr(start, kBlock);
        char *o = buf;
        for (const char ch : block) {
            const Byte b = Byte(ch);
            std::memcpy(o, &kEncode.text[b], 4);
            o += kEncode.length[b];
        }
        out.append(buf, std::size_t(o - buf));
    }
}

// Appends the decoding of in (already cut at its first NUL) to out, up to an error, which it
// reports in r (r.out is not touched).
void decodeAppend(std::string &out, std::string_view in, DecodeResult &r)
{
    const auto *const s = reinterpret_cast<const Byte *>(in.data());
    const std::size_t n = in.size();
    char buf[kBlock + 4];
    std::size_t i = 0;
    while (i < n && r.ok()) {
        const std::size_t blockEnd = std::min(n, i + kBlock);
        char *o = buf;
        while (i < blockEnd) {
            const unsigned c = s[i];
            // Three bytes are readable: every byte is handled without a branch, an escape
            // being the hex value and anything else the byte itself ('+' as a space).
            if (i + 2 < n) {
                const int hi = kHex[s[i + 1]], lo = kHex[s[i + 2]];
                const bool escape = c == '%';
                // "%00" goes the slow way too: a NUL would end the text it is put into.
                if (!(escape && ((hi | lo) < 0 || (hi | lo) == 0))) {
                    *o++ = char(escape ? hi << 4 | lo : kPlusToSpace[c]);
                    i += escape ? 3 : 1;
                    continue;
                }
            }
            if (c != '%') {
                *o++ = char(kPlusToSpace[c]);
                ++i;
            } else if (i + 1 < n && s[i + 1] == '%') {
                *o++ = '%';
                i += 2;
            } else if (i + 2 >= n) {
                r.error = DecodeResult::Error::Truncated;
                r.position = i + 1;
                break;
            } else {
                // Only reached when the two bytes after the '%' are not both hex digits, or
                // spell the NUL byte, which no text can hold.
                r.error = DecodeResult::Error::InvalidChar;
                r.position = i + 1;
                r.found = std::string(in.substr(i, 3));
                break;
            }
        }
        out.append(buf, std::size_t(o - buf));
    }
}

} // namespace

std::string UrlEncode(std::string_view in)
{
    in = upToNul(in);
    std::string out;
    out.reserve(in.size() * 3);
    encodeAppend(out, in);
    return out;
}

DecodeResult UrlDecode(std::string_view in)
{
    in = upToNul(in);
    DecodeResult r;
    r.out.reserve(in.size());
    decodeAppend(r.out, in, r);
    return r;
}

std::string DecodeResult::message() const
{
    switch (error) {
    case Error::InvalidChar:
        return "URL 表記エンコードでは許されない文字 (" + message_quote::Quoted(found) + ")：位置 - "
            + std::to_string(position);
    case Error::Truncated:
        return "URL 表記用エンコード（%XX）文字列のエラー：位置 - " + std::to_string(position);
    case Error::None:
        break;
    }
    return {};
}

CommandResult EncodeWhole(std::string_view text)
{
    return { UrlEncode(text), true, {} };
}

CommandResult DecodeWhole(std::string_view text)
{
    DecodeResult r = UrlDecode(text);
    if (!r.ok()) return failed(text, r);
    return { std::move(r.out), true, {} };
}

CommandResult EncodeWholeLines(std::string_view text)
{
    CommandResult result;
    result.text.reserve(text.size() * 3);
    forEachLine(text, [&](std::string_view line, std::string_view lineBreak) {
        encodeAppend(result.text, upToNul(line));
        result.text += lineBreak;
        return true;
    });
    return result;
}

// Every line present at the start is decoded exactly once, even when its result holds a
// line break of its own (%0D%0A). On an error the lines decoded so far stay decoded and the
// failing line and those after it are kept as they were.
CommandResult DecodeWholeLines(std::string_view text)
{
    CommandResult result;
    result.text.reserve(text.size());
    std::size_t consumed = 0;
    forEachLine(text, [&](std::string_view line, std::string_view lineBreak) {
        const std::size_t before = result.text.size();
        DecodeResult r;
        decodeAppend(result.text, upToNul(line), r);
        if (!r.ok()) {
            result.text.resize(before);
            result.ok = false;
            result.message = r.message();
            return false;
        }
        result.text += lineBreak;
        consumed += line.size() + lineBreak.size();
        return true;
    });
    if (!result.ok) result.text += text.substr(consumed);
    return result;
}

CommandResult EncodeSelectionLines(std::string_view text)
{
    CommandResult result;
    result.text.reserve(text.size() * 3 + 2);
    for (const std::string &line : func_token::SplitLines(text)) {
        encodeAppend(result.text, upToNul(line));
        result.text += "\r\n";
    }
    return result;
}

CommandResult DecodeSelectionLines(std::string_view text)
{
    CommandResult result;
    result.text.reserve(text.size() + 2);
    for (const std::string &line : func_token::SplitLines(text)) {
        DecodeResult r;
        decodeAppend(result.text, upToNul(line), r);
        if (!r.ok()) return failed(text, r);
        result.text += "\r\n";
    }
    return result;
}

} // namespace url_codec
