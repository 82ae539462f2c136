#include "encoding/url_codec.h"

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

// Where a decode stopped, if it did.
struct DecodeStop {
    bool stopped = false;
    error::Kind kind = error::Kind::TruncatedEscape;
    std::size_t position = 0; // 1-based position of the offending '%'
    std::string_view found;

    error::Unexpected error() const
    {
        error::Error e = error::Error::Of(kind);
        e.position = position;
        e.found = std::string(found);
        return error::Unexpected(std::move(e));
    }
};

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
// reports in stop.
void decodeAppend(std::string &out, std::string_view in, DecodeStop &stop)
{
    const auto *const s = reinterpret_cast<const Byte *>(in.data());
    const std::size_t n = in.size();
    char buf[kBlock + 4];
    std::size_t i = 0;
    while (i < n && !stop.stopped) {
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
            } else {
                // Only reached at the end of the input, or when the two bytes after the '%' are
                // not both hex digits, or spell the NUL byte, which no text can hold.
                stop.stopped = true;
                stop.kind = i + 2 >= n ? error::Kind::TruncatedEscape : error::Kind::BadEscape;
                stop.position = i + 1;
                if (i + 2 < n) stop.found = in.substr(i, 3);
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

error::Result<std::string> UrlDecode(std::string_view in)
{
    in = upToNul(in);
    std::string out;
    out.reserve(in.size());
    DecodeStop stop;
    decodeAppend(out, in, stop);
    if (stop.stopped) return stop.error();
    return out;
}

std::string EncodeWhole(std::string_view text)
{
    return UrlEncode(text);
}

error::Result<void> DecodeWhole(std::string_view text, std::string &out)
{
    error::Result<std::string> decoded = UrlDecode(text);
    if (!decoded) {
        out = text;
        return error::Unexpected(std::move(decoded).error());
    }
    out = std::move(*decoded);
    return {};
}

std::string EncodeWholeLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    forEachLine(text, [&](std::string_view line, std::string_view lineBreak) {
        encodeAppend(out, upToNul(line));
        out += lineBreak;
        return true;
    });
    return out;
}

// Every line present at the start is decoded exactly once, even when its result holds a
// line break of its own (%0D%0A). On an error the lines decoded so far stay decoded and the
// failing line and those after it are kept as they were.
error::Result<void> DecodeWholeLines(std::string_view text, std::string &out)
{
    out.clear();
    out.reserve(text.size());
    std::size_t consumed = 0;
    DecodeStop stop;
    forEachLine(text, [&](std::string_view line, std::string_view lineBreak) {
        const std::size_t before = out.size();
        decodeAppend(out, upToNul(line), stop);
        if (stop.stopped) {
            out.resize(before);
            return false;
        }
        out += lineBreak;
        consumed += line.size() + lineBreak.size();
        return true;
    });
    if (!stop.stopped) return {};
    out += text.substr(consumed);
    return stop.error();
}

std::string EncodeSelectionLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 3 + 2);
    for (const std::string &line : func_token::SplitLines(text)) {
        encodeAppend(out, upToNul(line));
        out += "\r\n";
    }
    return out;
}

error::Result<void> DecodeSelectionLines(std::string_view text, std::string &out)
{
    out.clear();
    out.reserve(text.size() + 2);
    for (const std::string &line : func_token::SplitLines(text)) {
        DecodeStop stop;
        decodeAppend(out, upToNul(line), stop);
        if (stop.stopped) {
            // stop.found points into line, which is about to go.
            error::Unexpected failure = stop.error();
            out = text;
            return failure;
        }
        out += "\r\n";
    }
    return {};
}

} // namespace url_codec
