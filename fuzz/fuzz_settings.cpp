// Readers of files other programs and people write: ini, control-state files, tables.
#include "settings/func_save.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "tables/cnv_table.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

constexpr std::size_t kBigFile = std::size_t(256) << 10;

// The readers as the window runs them on a settings file. The values a control keeps cost about
// 32 bytes each, so the control-state readers get files of at most one value per 16 bytes here
// (the program's own bound is a fixed count).
void readSettings(std::string_view in)
{
    settings::IniFile ini(in);
    ini.WriteInteger("WINDOW", "LIST", 200);
    if (ini.ReadInteger("window", "list", 0) != 200) std::abort();
    if (settings::HasTooManyValues(in, in.size() / 16)) return;
    func_save::CtrlPanelState ctrl;
    func_save::ApplySetIni(ctrl, in);
    func_save::SetDialogState set;
    func_save::ApplySet2Ini(set, in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    // Every 64th input (the first one too, so that a single input reproduces; seeds run smallest
    // first) is also read repeated into a file of 256 KB: a reader that keeps something per line
    // then makes an allocation past the 4 MB this target may take at once (scripts/fuzz.sh).
    static unsigned inputs = 0;
    if (size > 0 && inputs++ % 64 == 0) {
        std::string big;
        big.reserve(kBigFile + size);
        while (big.size() < kBigFile)
            big.append(in);
        readSettings(big);
    }
    settings::IniFile ini(in);
    (void)ini.ReadInteger("WINDOW", "WIDTH", 500);
    (void)ini.ReadBool("window", "menu2", true);
    ini.WriteInteger("WINDOW", "LIST", 200);
    settings::IniFile again(ini.serialize());
    if (again.ReadInteger("window", "list", 0) != 200) std::abort();

    func_save::CtrlPanelState ctrl;
    func_save::ApplySetIni(ctrl, in);
    func_save::CtrlPanelState ctrl2;
    func_save::ApplySetIni(ctrl2, func_save::WriteSetIni(ctrl));
    func_save::SetDialogState set;
    func_save::ApplySet2Ini(set, in);
    if (set.prefix.items.size() != set.prefix.checked.size()) std::abort();

    func_token::StringList before, after;
    tables::ParseCnvTable(in, before, after);
    if (before.size() != after.size()) std::abort();
    return 0;
}
