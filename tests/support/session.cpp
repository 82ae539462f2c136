#include "support/session.h"

#include "app/frm_main.h"
#include "base/file_io.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>

TempHome::TempHome()
{
    renew();
}

void TempHome::renew()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_paths = app_paths::PathsForHome(m_dir->path().toStdString());
}

std::string TempHome::path(std::string_view relative) const
{
    return file_io::JoinPath(m_paths.home, std::string(relative));
}

void writeBytes(const std::string &path, std::string_view bytes)
{
    if (!file_io::WriteFileAtomic(path, std::string(bytes))) qWarning("cannot write %s", path.c_str());
}

std::string readBytes(const std::string &path)
{
    return file_io::ReadWholeFile(path).value_or("<missing>");
}

bool fileExists(const std::string &path)
{
    return file_io::FileExists(path);
}

Session::Session(const TempHome &home, bool show)
    : m_windows(CreateWindows(home.paths(), &prompts))
{
    if (show) {
        main()->show();
        if (!QTest::qWaitForWindowExposed(main())) qWarning("main window not exposed");
    }
}

Session::~Session() = default;

QPlainTextEdit *Session::memo() const
{
    return main()->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
}
QListView *Session::list() const
{
    return main()->findChild<QListView *>(QStringLiteral("UrlList"));
}
QSplitter *Session::splitter() const
{
    return main()->findChild<QSplitter *>(QStringLiteral("Splitter1"));
}

QAction *Session::action(const char *objectName) const
{
    return main()->findChild<QAction *>(QLatin1String(objectName));
}

QMenu *Session::menu(const char *objectName) const
{
    return main()->findChild<QMenu *>(QLatin1String(objectName));
}

bool Session::close()
{
    return main()->close();
}
