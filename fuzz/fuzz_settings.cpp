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

// The readers as the window runs them on a settings file of at most maxValues values.
void readSettings(std::string_view in, std::size_t maxValues)
{
    ini_file::IniFile ini(in);
    (void)ini.ReadBool("window", "menu2", true);
    ini.WriteInteger("WINDOW", "LIST", 200);
    if (ini_file::IniFile(ini.serialize()).ReadInteger("window", "list", 0) != 200) std::abort();
    if (settings_file::HasTooManyValues(in, maxValues)) return;
    func_save::CtrlPanelState ctrl, ctrl2;
    func_save::ApplySetIni(ctrl, in);
    func_save::ApplySetIni(ctrl2, func_save::WriteSetIni(ctrl));
    func_save::SetDialogState set;
    func_save::ApplySet2Ini(set, in);
    if (set.prefix.items.size() != set.prefix.checked.size()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    readSettings(in, SIZE_MAX);
    // Every 64th input (the first one too, so that one input alone reproduces) is also read
    // repeated into a file of 256 KB, where a reader that keeps something per line makes an
    // allocation past this target's 4 MB limit (scripts/fuzz.sh). A value a control keeps costs
    // about 32 bytes, so that file may hold one per 16 bytes.
    static unsigned inputs = 0;
    if (size > 0 && inputs++ % 64 == 0) {
        std::string big;
        while (big.size() < (std::size_t(256) << 10))
            big.append(in);
        readSettings(big, big.size() / 16);
    }
    func_token::StringList before, after;
    cnv_table::ParseCnvTable(in, before, after);
    if (before.size() != after.size()) std::abort();
    return 0;
}
