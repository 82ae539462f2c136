// The menus by keyboard: access keys unique within each menu (a table named with "&" takes
// none), the menus opened and their items run through Alt+letter and the letter, the standard
// shortcuts shown beside their items, and the menu icons drawn from vector images.
#include "app/frm_main.h"
#include "base/file_io.h"
#include "support/window_test.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QtTest>

namespace
{

// The access key of a caption ("&&" is a literal "&"), upper case; 0 when it has none.
QChar accessKey(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&')) continue;
        if (caption.at(i + 1) != QLatin1Char('&')) return caption.at(i + 1).toUpper();
        ++i;
    }
    return QChar();
}

// Every menu of the window: the menu bar's, their submenus and the context menus.
QList<QMenu *> allMenus(Session &s)
{
    QList<QMenu *> menus;
    QList<QMenu *> pending;
    for (QAction *top : s.main()->menuBar()->actions())
        if (top->menu()) pending << top->menu();
    pending << s.menu("PopupMenu1") << s.menu("PopupMenu2");
    while (!pending.isEmpty()) {
        QMenu *menu = pending.takeFirst();
        menus << menu;
        for (QAction *action : menu->actions())
            if (action->menu()) pending << action->menu();
    }
    return menus;
}

QString menuPath(QMenu *menu)
{
    QString path = menu->title().isEmpty() ? menu->objectName() : menu->title();
    for (QObject *p = menu->parent(); p; p = p->parent())
        if (auto *parentMenu = qobject_cast<QMenu *>(p)) path = parentMenu->title() + QStringLiteral(" > ") + path;
    return path;
}

// The offscreen platform cannot raise windows or grab the keyboard; menus work all the same.
QtMessageHandler g_previousHandler = nullptr;
void dropPlatformNotes(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    g_previousHandler(type, context, message);
}

QString sourceText(Session &s)
{
    return QString::fromStdString(s.main()->sourceText());
}

} // namespace

class TstAccessKeys : public WindowTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void uniqueWithinEachMenu();
    void topLevelMenusHaveKeys();
    void keysRunTheItems_data();
    void keysRunTheItems();
    void standardShortcutsShown_data();
    void standardShortcutsShown();
    void iconsAreVectorImages();
};

void TstAccessKeys::initTestCase()
{
    WindowTest::initTestCase();
    g_previousHandler = qInstallMessageHandler(dropPlatformNotes);
}

void TstAccessKeys::init()
{
    // Table names become menu items; an "&" in one must stay a letter.
    file_io::MakeDirectory(home.paths().tableDir);
    writeBytes(home.paths().tableDir + "/A&B.tbl", "a\tb\r\n");
    writeBytes(home.paths().tableDir + "/&F.tbl", "f\tF\r\n");
}

void TstAccessKeys::cleanup()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
    WindowTest::cleanup();
}

void TstAccessKeys::uniqueWithinEachMenu()
{
    Session s(home);
    QStringList collisions;
    int menusChecked = 0;
    // The menu bar counts as one menu too.
    QList<QList<QAction *>> groups { s.main()->menuBar()->actions() };
    QStringList names { QStringLiteral("menu bar") };
    for (QMenu *menu : allMenus(s)) {
        groups << menu->actions();
        names << menuPath(menu);
    }
    for (int g = 0; g < groups.size(); ++g) {
        QHash<QChar, QString> seen;
        for (QAction *action : groups[g]) {
            const QChar key = accessKey(action->text());
            if (key.isNull()) continue;
            if (seen.contains(key))
                collisions << QStringLiteral("%1: %2 / %3").arg(names[g], seen[key], action->text());
            seen.insert(key, action->text());
        }
        ++menusChecked;
    }
    QVERIFY2(collisions.isEmpty(), qPrintable(collisions.join(QLatin1Char('\n'))));
    QVERIFY(menusChecked > 10);
    // The tables' items show their names exactly, with no access key.
    QMenu *whole = s.menu("N69");
    QStringList tableCaptions;
    for (QAction *action : whole->actions())
        if (!action->menu() && !action->isSeparator()) tableCaptions << action->iconText();
    tableCaptions.sort();
    QCOMPARE(tableCaptions, (QStringList { QStringLiteral("&F"), QStringLiteral("A&B") }));
}

void TstAccessKeys::topLevelMenusHaveKeys()
{
    Session s(home);
    QString keys;
    for (QAction *top : s.main()->menuBar()->actions())
        keys += accessKey(top->text());
    QCOMPARE(keys, QStringLiteral("FELDTV"));
}

void TstAccessKeys::keysRunTheItems_data()
{
    QTest::addColumn<QChar>("menuKey");
    QTest::addColumn<QChar>("itemKey");
    QTest::addColumn<QString>("effect");
    QTest::newRow("ファイル > ファイルを開く") << QChar('F') << QChar('O') << "open dialog";
    QTest::newRow("ファイル > 名前を付けて保存") << QChar('F') << QChar('A') << "save dialog";
    QTest::newRow("ファイル > リンク集作成") << QChar('F') << QChar('L') << "save dialog";
    QTest::newRow("編集（ソース） > すべてを削除") << QChar('E') << QChar('D') << "source emptied";
    QTest::newRow("編集（ソース） > すべてを選択") << QChar('E') << QChar('S') << "source selected";
    QTest::newRow("編集（ソース） > ペースト") << QChar('E') << QChar('P') << "pasted";
    QTest::newRow("ツール > データコピー") << QChar('T') << QChar('X') << "submenu open";
    QTest::newRow("抽出 opens") << QChar('D') << QChar() << "menu open";
    QTest::newRow("編集（ＵＲＬリスト） opens") << QChar('L') << QChar() << "menu open";
    QTest::newRow("表示 opens") << QChar('V') << QChar() << "menu open";
}

void TstAccessKeys::keysRunTheItems()
{
    QFETCH(QChar, menuKey);
    QFETCH(QChar, itemKey);
    QFETCH(QString, effect);
    Session s(home);
    s.main()->setSourceText("text", false);
    s.main()->setUrlListItems({ "http://a/" });
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    s.main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.main()));

    const auto key = [](QChar c) { return Qt::Key(Qt::Key_A + (c.unicode() - 'A')); };
    QTest::keyClick(s.main(), key(menuKey), Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(accessKey(menu->title()), menuKey);
    if (effect == QLatin1String("menu open")) return;

    // The dialogs the items open are scripted to be cancelled.
    QTest::keyClick(menu, key(itemKey));
    if (effect == QLatin1String("submenu open")) {
        QTRY_VERIFY(QApplication::activePopupWidget() != menu);
        QCOMPARE(qobject_cast<QMenu *>(QApplication::activePopupWidget())->title(), QStringLiteral("データコピー(&X)"));
        return;
    }
    QTRY_VERIFY(!QApplication::activePopupWidget());
    if (effect == QLatin1String("open dialog"))
        QCOMPARE(s.prompts.openRequests.size(), std::size_t(1));
    else if (effect == QLatin1String("save dialog"))
        QCOMPARE(s.prompts.saveRequests.size(), std::size_t(1));
    else if (effect == QLatin1String("source emptied"))
        QCOMPARE(sourceText(s), QString());
    else if (effect == QLatin1String("source selected"))
        QCOMPARE(QString::fromStdString(s.main()->selectedSourceText()), QStringLiteral("text"));
    else if (effect == QLatin1String("pasted"))
        QCOMPARE(sourceText(s), QStringLiteral("cliptext"));
    else
        QFAIL("unknown effect");
}

void TstAccessKeys::standardShortcutsShown_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::newRow("元に戻す") << "mnuUndo" << QKeySequence(Qt::CTRL | Qt::Key_Z);
    QTest::newRow("カット") << "mnuCut" << QKeySequence(Qt::CTRL | Qt::Key_X);
    QTest::newRow("コピー") << "mnuCopy" << QKeySequence(Qt::CTRL | Qt::Key_C);
    QTest::newRow("ペースト") << "mnuPaste" << QKeySequence(Qt::CTRL | Qt::Key_V);
    QTest::newRow("すべてを選択") << "mnuSelectAll" << QKeySequence(Qt::CTRL | Qt::Key_A);
}

void TstAccessKeys::standardShortcutsShown()
{
    QFETCH(QString, item);
    QFETCH(QKeySequence, shortcut);
    Session s(home);
    QAction *action = s.action(qPrintable(item));
    QVERIFY(action);
    QCOMPARE(action->shortcut(), shortcut);
}

void TstAccessKeys::iconsAreVectorImages()
{
    // Icons drawn from SVG scale to any density: a 64-pixel request gives 64 pixels.
    Session s(home);
    int icons = 0;
    for (QMenu *menu : allMenus(s)) {
        for (QAction *action : menu->actions()) {
            if (action->icon().isNull()) continue;
            const QPixmap big = action->icon().pixmap(QSize(64, 64));
            QVERIFY2(big.width() == 64 && big.height() == 64, qPrintable(action->text()));
            ++icons;
        }
    }
    QVERIFY(icons >= 10);
}

QTEST_MAIN(TstAccessKeys)
#include "test_frm_main_access_keys.moc"
