#pragma once
// glibc iconv used directly as the reference the encoding tests compare against.
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cp932_oracle
{

// Converts the whole input in one call; nullopt when iconv stops on an invalid or
// incomplete sequence or cannot convert a character. Handles are opened once per pair.
inline std::optional<std::string> convert(const char *to, const char *from, std::string_view in)
{
    struct Handle {
        std::string to, from;
        iconv_t cd;
    };
    struct Handles {
        std::vector<Handle> open;
        ~Handles()
        {
            for (const Handle &h : open)
                iconv_close(h.cd);
        }
    };
    static thread_local Handles handles;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    for (const Handle &h : handles.open)
        if (h.to == to && h.from == from) cd = h.cd;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
        handles.open.push_back({ to, from, cd });
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 16, '\0');
    char *ip = const_cast<char *>(in.data());
    char *op = out.data();
    std::size_t il = in.size(), ol = out.size();
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0) return std::nullopt;
    out.resize(out.size() - ol);
    return out;
}

inline std::u16string toU16(const std::string &le)
{
    std::u16string u(le.size() / 2, u'\0');
    for (std::size_t i = 0; i < u.size(); ++i)
        u[i] = char16_t(static_cast<unsigned char>(le[2 * i]) | static_cast<unsigned char>(le[2 * i + 1]) << 8);
    return u;
}

inline std::string fromU16(std::u16string_view u)
{
    std::string le;
    for (const char16_t c : u) {
        le += char(c & 0xFF);
        le += char(c >> 8);
    }
    return le;
}

struct Character {
    std::string bytes; // one or two bytes
    char16_t unit; // what the platform decodes them to
    bool exact; // the platform encodes the unit back to the same bytes
};

// Every single byte and lead x trail pair that the platform decodes to one UTF-16 unit.
inline const std::vector<Character> &validCharacters()
{
    static const std::vector<Character> all = [] {
        std::vector<Character> v;
        auto consider = [&v](std::string bytes) {
            const auto le = convert("UTF-16LE", "CP932", bytes);
            if (!le || le->size() != 2) return;
            const char16_t unit = toU16(*le)[0];
            const auto back = convert("CP932", "UTF-16LE", *le);
            v.push_back({ bytes, unit, back && *back == bytes });
        };
        for (int b = 1; b < 0x100; ++b)
            consider(std::string(1, char(b)));
        for (int lead = 0x81; lead < 0x100; ++lead)
            for (int trail = 0x40; trail < 0x100; ++trail)
                consider(std::string { char(lead), char(trail) });
        return v;
    }();
    return all;
}

} // namespace cp932_oracle
