#pragma once
// A program session for window tests: a temporary --home folder, scripted prompts, and the
// windows created in the start-up order.
#include "app/gui_startup_qt.h"
#include "settings/app_paths.h"
#include "support/fake_prompts.h"

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <string_view>

class QListView;
class QPlainTextEdit;
class QSplitter;
class QAction;
class QMenu;

class TempHome
{
public:
    TempHome();
    bool isValid() const { return m_dir->isValid(); }
    // A fresh, empty folder takes the place of this one, which is removed.
    void renew();
    const app_paths::AppPaths &paths() const { return m_paths; }
    // A path inside the home folder (UTF-8).
    std::string path(std::string_view relative) const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    app_paths::AppPaths m_paths;
};

// Whole-file helpers; readBytes gives "<missing>" for a file that cannot be read.
void writeBytes(const std::string &path, std::string_view bytes);
std::string readBytes(const std::string &path);
bool fileExists(const std::string &path);

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
