#include "support/session.h"

#include "app/frm_main.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>

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
