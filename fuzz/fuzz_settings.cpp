// Readers of files other programs and people write: ini, control-state files, tables.
#include "settings/func_save.h"
#include "settings/ini_file.h"
#include "tables/cnv_table.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
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
