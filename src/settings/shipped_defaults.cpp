#include "settings/shipped_defaults.h"

#include <initializer_list>
#include <utility>

namespace shipped_defaults
{
namespace
{

// "ttp補正" in Shift_JIS: the table that runs before every extraction.
constexpr const char *kTtpTableName = "ttp\x95\xe2\x90\xb3";

struct Item {
    const char *text;
    bool checked;
};

func_save::CheckListState CheckList(std::initializer_list<Item> items)
{
    func_save::CheckListState state;
    for (const Item &item : items) {
        state.items.emplace_back(item.text);
        state.checked.push_back(item.checked);
    }
    return state;
}

using Pair = std::pair<std::string, std::string>;

std::string TableBytes(const std::vector<Pair> &pairs)
{
    std::string out;
    for (const auto &[before, after] : pairs) {
        out += before;
        out += '\t';
        out += after;
        out += "\r\n";
    }
    return out;
}

// Addresses written without their "h" (or with "xx" for "tt") so that a board does not make
// them links. Every http:// is first taken back to ttp:// and then every ttp:// gets one h,
// so an address that already has its h is left as it was, whatever precedes it.
std::vector<Pair> TtpPairs()
{
    return {
        { "hxxp://", "http://" },
        { "hxxps://", "https://" },
        { "http://", "ttp://" },
        { "ttp://", "http://" },
        { "https://", "ttps://" },
        { "ttps://", "https://" },
    };
}

// Full-width letters, digits and the symbols of addresses (Shift_JIS row 1 and row 3) to ASCII.
std::vector<Pair> FullWidthUrlPairs()
{
    std::vector<Pair> pairs;
    const auto add = [&pairs](unsigned char lead, unsigned char trail, char ascii) {
        pairs.push_back({ std::string { static_cast<char>(lead), static_cast<char>(trail) }, std::string(1, ascii) });
    };
    for (int i = 0; i < 26; ++i)
        add(0x82, static_cast<unsigned char>(0x81 + i), static_cast<char>('a' + i)); // ａ-ｚ
    for (int i = 0; i < 26; ++i)
        add(0x82, static_cast<unsigned char>(0x60 + i), static_cast<char>('A' + i)); // Ａ-Ｚ
    for (int i = 0; i < 10; ++i)
        add(0x82, static_cast<unsigned char>(0x4F + i), static_cast<char>('0' + i)); // ０-９
    const std::pair<unsigned char, char> symbols[] = {
        { 0x46, ':' },
        { 0x5E, '/' },
        { 0x44, '.' },
        { 0x51, '_' },
        { 0x7C, '-' },
        { 0x60, '~' },
        { 0x48, '?' },
        { 0x95, '&' },
        { 0x81, '=' },
        { 0x93, '%' },
        { 0x94, '#' },
        { 0x7B, '+' },
        { 0x97, '@' },
        { 0x49, '!' },
        { 0x96, '*' },
        { 0x69, '(' },
        { 0x6A, ')' },
        { 0x47, ';' },
        { 0x43, ',' },
        { 0x90, '$' },
        { 0x6D, '[' },
        { 0x6E, ']' },
        { 0x62, '|' },
    };
    for (const auto &[trail, ascii] : symbols)
        add(0x81, trail, ascii);
    return pairs;
}

} // namespace

func_save::SetDialogState ShippedSetDialogState()
{
    func_save::SetDialogState state;
    state.prefix = CheckList({
        { "http://", true },
        { "https://", true },
        { "ttp://", true },
        { "ttps://", true },
        { "ftp://", false },
        { "www.", false },
    });
    state.middle = CheckList({ { "://", false } });
    state.suffix = CheckList({
        { ".jpg", true },
        { ".jpeg", true },
        { ".png", true },
        { ".gif", true },
        { ".webp", false },
        { ".zip", false },
        { ".rar", false },
        { ".7z", false },
        { ".lzh", false },
        { ".mp3", false },
        { ".mp4", false },
        { ".pdf", false },
    });
    state.autoExpand = false;
    state.convert = { kTtpTableName };
    return state;
}

std::string ShippedSet2Ini()
{
    return func_save::WriteSet2Ini(ShippedSetDialogState());
}

std::vector<ShippedFile> ShippedTables()
{
    return {
        { "ttp補正.tbl", TableBytes(TtpPairs()) },
        { "全角→半角URL.tbl", TableBytes(FullWidthUrlPairs()) },
        // Only the one entity: decoding several in turn would decode "&amp;lt;" twice.
        { "amp実体参照の解除.tbl", TableBytes({ { "&amp;", "&" } }) },
    };
}

} // namespace shipped_defaults
