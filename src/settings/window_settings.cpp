#include "settings/window_settings.h"

#include "settings/ini_file.h"

namespace window_settings
{

WindowSettings ParseWindowSettings(std::string_view iniBytes)
{
    const ini_file::IniFile ini(iniBytes);
    WindowSettings s;
    s.main.left = ini.ReadInteger("WINDOW", "LEFT", 0);
    s.main.top = ini.ReadInteger("WINDOW", "TOP", 0);
    s.main.width = ini.ReadInteger("WINDOW", "WIDTH", 500);
    s.main.height = ini.ReadInteger("WINDOW", "HEIGHT", 500);

    s.ctrl.onTop = ini.ReadBool("WINDOW", "ONTOP", false);
    s.ctrl.top = ini.ReadInteger("WINDOW2", "TOP", CtrlPart::kUnset);
    s.ctrl.left = ini.ReadInteger("WINDOW2", "LEFT", CtrlPart::kUnset);
    s.ctrl.web = ini.ReadBool("INTERNET", "WEB", false);
    s.ctrl.toSjis = ini.ReadBool("INTERNET", "TOSJIS", false);

    s.set.listWidth = static_cast<int>(ini.ReadInteger("WINDOW", "LIST", 200));
    s.set.listShown = ini.ReadBool("WINDOW", "MENU2", true);
    s.set.ctrlShown = ini.ReadBool("WINDOW", "CTRL", false);
    return s;
}

} // namespace window_settings
