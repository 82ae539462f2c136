#pragma once
// The window's start-up: creates the windows in their order and runs the event loop.
#include "settings/app_paths.h"

#include <QFont>
#include <memory>
#include <string>
#include <vector>

class TfrmMain;
class TfrmCtrl;
class TfrmSet;
class TfrmCnv;
class TfrmExtraction;
class TfrmExtHtml;
class UserPrompts;

// files: paths named on the command line; the last one is opened like a dropped file.
int RunGui(int argc, char **argv, const app_paths::AppPaths &paths, const std::vector<std::string> &files = {});

// Registers the icons; safe to call more than once.
void InitLanzoResources();

// The font of every control: a proportional Japanese Gothic, 12 pixels high.
QFont LanzoFont();

// All windows of the program, created in the start-up order: the main window (which restores
// itself and the buffers), the control panel, the three progress dialogs, the control panel
// hidden again, the settings dialog. lanzo.ini is read once and each window restores its part;
// the panels' requests for main-window commands are connected here. Tests start the program
// this way too.
struct GuiWindows {
    std::unique_ptr<TfrmMain> main; // owns the progress dialogs
    std::unique_ptr<TfrmCtrl> ctrl;
    std::unique_ptr<TfrmSet> set;
    TfrmCnv *cnv = nullptr;
    TfrmExtraction *extraction = nullptr;
    TfrmExtHtml *extHtml = nullptr;

    GuiWindows();
    GuiWindows(GuiWindows &&) noexcept;
    ~GuiWindows(); // the panels go before the main window they point to
};
GuiWindows CreateWindows(const app_paths::AppPaths &paths, UserPrompts *prompts);
