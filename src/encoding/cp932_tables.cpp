#include "encoding/cp932_tables.h"

#include <iconv.h>

#include <cstring>
#include <memory>

namespace cp932_tables
{
namespace
{

// iconv_open fails on a system without the CP932 gconv module; the tables then stay empty
// and every byte 0x80-0xFF is treated as invalid, which keeps the editor lossless.
struct Converter {
    explicit Converter(const char *to, const char *from)
        : m_cd(iconv_open(to, from))
    {
    }
    ~Converter()
    {
        if (ok()) iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts one short sequence; returns the number of output bytes or -1. Code page 932
    // and UTF-16LE (no byte-order mark) have no shift state, so there is nothing to reset
    // before or to flush after: one call per sequence, which keeps building the tables at a
    // few milliseconds.
    int run(const void *in, std::size_t inLen, void *out, std::size_t outCap)
    {
        char *ip = const_cast<char *>(static_cast<const char *>(in));
        char *op = static_cast<char *>(out);
        std::size_t il = inLen, ol = outCap;
        if (iconv(m_cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0) return -1;
        return int(outCap - ol);
    }

private:
    iconv_t m_cd;
};

void build(Tables &t)
{
    std::memset(&t, 0, sizeof t);
    for (unsigned u = 1; u < 0x80; ++u)
        t.encode[u] = std::uint16_t(u);
    for (unsigned b = 0xA1; b <= 0xDF; ++b)
        t.encode[HalfWidthKana(static_cast<unsigned char>(b))] = std::uint16_t(b);
    Converter dec("UTF-16LE", "CP932");
    Converter enc("CP932", "UTF-16LE");
    if (!dec.ok() || !enc.ok()) return;

    // Encoding first: one call per BMP unit costs a few milliseconds once.
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        const unsigned char in[2] = { static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8) };
        unsigned char out[8];
        const int n = enc.run(in, 2, out, sizeof out);
        if (n == 1 && out[0] != 0)
            t.encode[u] = out[0];
        else if (n == 2 && out[0] >= 0x81)
            t.encode[u] = std::uint16_t(out[0] << 8 | out[1]);
    }
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
        if (IsHalfWidthKana(static_cast<unsigned char>(lead))) continue;
        for (unsigned trail = 0x40; trail <= 0xFF; ++trail) {
            const unsigned char in[2] = { static_cast<unsigned char>(lead), static_cast<unsigned char>(trail) };
            unsigned char out[8];
            if (dec.run(in, 2, out, sizeof out) != 2) continue;
            const char16_t u = char16_t(out[0] | out[1] << 8);
            // A pair never stands for ASCII or a surrogate; refuse anything odd rather than
            // let it collide with the single-byte maps.
            if (u < 0x80 || (u >= 0xD800 && u < 0xE000)) continue;
            const unsigned pair = lead << 8 | trail;
            t.pairDecode[pair] = u;
            // The editor reserves U+F700-U+F7FF and treats U+2028/U+2029 as line breaks.
            const bool reserved = (u >= 0xF700 && u < 0xF800) || u == 0x2028 || u == 0x2029;
            if (t.encode[u] == pair && !reserved) t.pairExact[pair] = u;
        }
    }
}

void buildEditorEncode(Tables &t)
{
    std::memcpy(t.editorEncode, t.encode, sizeof t.encode);
    t.editorEncode[u'\n'] = t.editorEncode[u'\r'] = 0;
    t.editorEncode[0x2028] = t.editorEncode[0x2029] = 0;
    t.editorEncode[0xF70A] = 0x0A;
    t.editorEncode[0xF70D] = 0x0D;
    for (unsigned b = 0x80; b <= 0xFF; ++b)
        t.editorEncode[0xF700 + b] = std::uint16_t(b);
}

} // namespace

const Tables &Get()
{
    static const std::unique_ptr<Tables> tables = [] {
        auto t = std::make_unique<Tables>();
        build(*t);
        buildEditorEncode(*t);
        return t;
    }();
    return *tables;
}

} // namespace cp932_tables
