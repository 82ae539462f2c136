#include "encoding/page_convert.h"

#include "encoding/cp932_tables.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>

namespace page_convert
{
namespace
{

constexpr char32_t kReplacement = 0xFFFD;

void AppendCp932(std::string &out, char32_t c, const cp932_tables::Tables &tables)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    const std::uint16_t code = c < 0x10000 ? tables.encode[c] : 0;
    if (code != 0) {
        if (code >= 0x100) out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        return;
    }
    char ref[16];
    const int n = std::snprintf(ref, sizeof ref, "&#x%X;", static_cast<unsigned>(c));
    out.append(ref, static_cast<std::size_t>(n));
}

// Decodes in with iconv's from-code and encodes each character into out.
bool Convert(std::string_view in, const char *from, std::string &out)
{
    const iconv_t cd = iconv_open("UTF-32LE", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    const cp932_tables::Tables &tables = cp932_tables::Get();
    out.reserve(in.size());
    char32_t units[4096];
    char *ip = const_cast<char *>(in.data());
    std::size_t il = in.size();
    bool first = true, inputDone = false;
    for (;;) {
        char *op = reinterpret_cast<char *>(units);
        std::size_t ol = sizeof units;
        // After the input, one call without input writes out what a stateful code still holds.
        const std::size_t rc = inputDone ? iconv(cd, nullptr, nullptr, &op, &ol) : iconv(cd, &ip, &il, &op, &ol);
        const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
        const std::size_t count = (sizeof units - ol) / sizeof(char32_t);
        for (std::size_t i = 0; i < count; ++i) {
            if (!(first && units[i] == 0xFEFF)) AppendCp932(out, units[i], tables);
            first = false;
        }
        if (error == E2BIG) continue;
        if ((error == EILSEQ || error == EINVAL) && !inputDone) {
            // An invalid or cut sequence: one mark, then the next byte is read afresh.
            AppendCp932(out, kReplacement, tables);
            first = false;
            ++ip;
            --il;
            continue;
        }
        if (error != 0 || inputDone) break;
        inputDone = true;
    }
    iconv_close(cd);
    return true;
}

} // namespace

std::string Iso2022JpToEucJp(std::string_view in)
{
    enum class Set { Ascii, Katakana, Jis0208, Jis0212 } set = Set::Ascii;
    struct Escape {
        std::string_view bytes;
        Set set;
    };
    static constexpr Escape kEscapes[]
        = { { "\x1B(B", Set::Ascii }, { "\x1B(J", Set::Ascii }, { "\x1B(I", Set::Katakana }, { "\x1B$@", Set::Jis0208 },
              { "\x1B$B", Set::Jis0208 }, { "\x1B$(B", Set::Jis0208 }, { "\x1B$(D", Set::Jis0212 } };
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c == 0x1B) {
            const Escape *known = nullptr;
            for (const Escape &e : kEscapes)
                if (in.substr(i, e.bytes.size()) == e.bytes) known = &e;
            if (known) {
                set = known->set;
                i += known->bytes.size();
                continue;
            }
        }
        const bool graphic = c >= 0x21 && c <= 0x7E;
        if (set == Set::Katakana && c >= 0x21 && c <= 0x5F) {
            out += '\x8E';
            out += static_cast<char>(c | 0x80);
            ++i;
        } else if ((set == Set::Jis0208 || set == Set::Jis0212) && graphic && i + 1 < in.size()
            && static_cast<unsigned char>(in[i + 1]) >= 0x21 && static_cast<unsigned char>(in[i + 1]) <= 0x7E) {
            if (set == Set::Jis0212) out += '\x8F';
            out += static_cast<char>(c | 0x80);
            out += static_cast<char>(in[i + 1] | 0x80);
            i += 2;
        } else {
            out += static_cast<char>(c);
            ++i;
        }
    }
    return out;
}

std::string ToCp932(std::string_view page, const std::string &charsetName)
{
    if (charsetName == "SHIFT_JIS") return std::string(page);
    std::string out;
    // glibc's EUC-JP-MS reads the NEC and IBM rows that Japanese EUC-JP pages carry.
    if (charsetName == "ISO-2022-JP") {
        if (Convert(Iso2022JpToEucJp(page), "EUC-JP-MS", out)) return out;
    } else if (charsetName == "EUC-JP") {
        if (Convert(page, "EUC-JP-MS", out)) return out;
    } else if (Convert(page, charsetName.c_str(), out)) {
        return out;
    }
    // A code iconv cannot open after all: the bytes as they came.
    return std::string(page);
}

Converted ToShiftJis(std::string_view page, std::string_view contentType)
{
    Converted result;
    result.charset = page_charset::Determine(contentType, page);
    result.text = ToCp932(page, result.charset.name);
    return result;
}

} // namespace page_convert
