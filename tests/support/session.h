#pragma once
// A program session for window tests: scripted prompts and the windows created in the start-up
// order over a temporary home.
#include "app/gui_startup_qt.h"
#include "support/fake_prompts.h"
#include "support/temp_home.h"

#include <string_view>

class QListView;
class QPlainTextEdit;
class QSplitter;
class QAction;
class QMenu;

class Session
{
public:
    explicit Session(const TempHome &home, bool show = true);
    ~Session();

    TfrmMain *main() const { return m_windows.main.get(); }
    GuiWindows &windows() { return m_windows; }
    FakePrompts prompts;

    QPlainTextEdit *memo() const;
    QListView *list() const;
    QSplitter *splitter() const;
    QAction *action(const char *objectName) const;
    QMenu *menu(const char *objectName) const;
    // Closes the main window as the close button would; true when it closed.
    bool close();

private:
    GuiWindows m_windows;
};

// Shift_JIS samples for the tests.
namespace sjis
{
inline constexpr std::string_view A = "\x82\xa0"; // あ
inline constexpr std::string_view KA = "\x83\x4a"; // カ (trail byte in ASCII range)
inline constexpr std::string_view KANJI = "\x93\xfa"; // 日
inline constexpr std::string_view TAKA = "\xfb\xfc"; // 髙
} // namespace sjis
