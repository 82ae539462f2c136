#pragma once
// lanzo.ini as the windows find it at start-up: read once, each window handed its part.
#include <climits>
#include <cstdint>
#include <string_view>

namespace window_settings
{

// The main window's place (WINDOW LEFT, TOP, WIDTH, HEIGHT).
struct MainPart {
    std::int64_t left = 0, top = 0, width = 500, height = 500;
};

// What the control panel restores: its place (WINDOW2 TOP, LEFT), the main window's
// "常に手前に表示" (WINDOW ONTOP) and the download options (INTERNET WEB, TOSJIS).
struct CtrlPart {
    static constexpr long kUnset = LONG_MIN; // a coordinate never stored
    long top = kUnset, left = kUnset;
    bool onTop = false;
    bool web = false;
    bool toSjis = false;
};

// What the settings dialog restores: the URL list pane (WINDOW LIST, MENU2) and whether the
// control panel was open (WINDOW CTRL).
struct SetPart {
    int listWidth = 200;
    bool listShown = true;
    bool ctrlShown = false;
};

struct WindowSettings {
    MainPart main;
    CtrlPart ctrl;
    SetPart set;
};

// The parts of lanzo.ini's bytes; a missing or unreadable value keeps its default.
WindowSettings ParseWindowSettings(std::string_view iniBytes);

} // namespace window_settings
