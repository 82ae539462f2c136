// The menus of the main window: the enabling rules, the editing shortcuts wherever the focus
// is, the conversion tables found at start-up, and the view commands.
#include "app/frm_main.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "support/window_test.h"

#include <QAction>
#include <QClipboard>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QSplitterHandle>
#include <QtTest>
#include <filesystem>

namespace
{

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

// The items a menu holds and the condition each one is enabled under.
enum Cond { Always, Named, HasItems, ListSelected, Selection, NoSelection, Never };
struct Item {
    const char *name; // an action's object name, or a conversion submenu (N69...)
    Cond cond;
};

const std::map<QString, std::pair<const char *, std::vector<Item>>> &menus()
{
    static const std::map<QString, std::pair<const char *, std::vector<Item>>> table {
        { "F",
            { "mnuFile",
                { { "mnuNew", Always }, { "mnuOpenWork", Always }, { "mnuOpen", Always }, { "mnuSave", Named },
                    { "mnuSaveAs", Always }, { "mnuLinkPage", HasItems }, { "mnuMakeUrlList", HasItems } } } },
        // Nothing has been typed in these sessions, so undo has nothing to take back.
        { "E",
            { "mnuEditSource",
                { { "mnuUndo", Never }, { "mnuDelete", Selection }, { "mnuDeleteAll", Always }, { "mnuCut", Selection },
                    { "mnuCopy", Selection }, { "mnuPaste", Always }, { "mnuSelectAll", Always },
                    { "N69", NoSelection }, { "N70", Selection } } } },
        { "L",
            { "mnuEditList",
                { { "lstSelectAll", Always }, { "lstInvert", Always }, { "lstDelete", ListSelected },
                    { "lstDeleteAll", Always }, { "lstRemoveDuplicates", Always }, { "lstCopy", ListSelected },
                    { "lstCopyAll", Always }, { "lstSortForward", Always }, { "lstSortBackward", Always } } } },
        { "D",
            { "mnuExtract",
                { { "N7", NoSelection }, { "N8", Selection }, { "HTML1", NoSelection }, { "N92", Selection } } } },
        { "P",
            { "PopupMenu2",
                { { "pmUndo", Never }, { "pmSelectAll", Always }, { "pmCut", Selection }, { "pmPaste", Always },
                    { "pmCopy", Selection }, { "pmDelete", Always }, { "pmDeleteAll", Always }, { "N61", NoSelection },
                    { "N62", Selection }, { "N72", NoSelection }, { "N73", Selection } } } },
        { "list context menu",
            { "PopupMenu1",
                { { "plSelectAll", Always }, { "plInvert", Always }, { "plDelete", Always }, { "plDeleteAll", Always },
                    { "plRemoveDuplicates", Always }, { "plCopy", Always }, { "plCopyAll", Always },
                    { "plSortForward", Always }, { "plSortBackward", Always }, { "plSequence", Always } } } },
    };
    return table;
}

QAction *findItem(Session &s, const char *name)
{
    if (QMenu *sub = s.menu(name); sub && QByteArray(name).startsWith("N")) return sub->menuAction();
    return s.action(name);
}

void activate(Session &s)
{
    s.main()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.main()));
}

} // namespace

class TestMainMenus : public WindowTest
{
    Q_OBJECT
private slots:
    void enablingRules_data();
    void enablingRules();
    void shortcutsActOnTheEditor_data();
    void shortcutsActOnTheEditor();
    void undoKeepsOneLevel();
    void tableItems();
    void viewCommands();
    void splitterCollapsesANarrowList();
};

void TestMainMenus::enablingRules_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<bool>("selection");
    QTest::addColumn<int>("list"); // 0 empty, 1 items, 2 items with one selected
    QTest::addColumn<bool>("named");
    for (const auto &entry : menus())
        for (bool selection : { false, true })
            for (int list : { 0, 1, 2 })
                for (bool named : { false, true })
                    QTest::addRow("%s, %s, %s, %s", qPrintable(entry.first), selection ? "selection" : "no selection",
                        list == 0       ? "empty list"
                            : list == 1 ? "items"
                                        : "item selected",
                        named ? "named file" : "work file")
                        << entry.first << selection << list << named;
}

void TestMainMenus::enablingRules()
{
    QFETCH(QString, menu);
    QFETCH(bool, selection);
    QFETCH(int, list);
    QFETCH(bool, named);
    const std::string file = home.path("named.txt");
    writeBytes(file, "named text");
    Session s(home);
    s.main()->setSourceText("source text", false);
    if (named) {
        s.prompts.openFiles = { QString::fromStdString(file) };
        s.main()->mnuOpenClick();
        QVERIFY(!s.main()->currentFileName().isEmpty());
    }
    if (list > 0) s.main()->setUrlListItems({ "a", "b" });
    if (list == 2) s.main()->addUrlListSelection({ 1 });
    if (selection) s.main()->selectSourceBytes(0, 5);
    QCOMPARE(s.main()->hasSourceSelection(), selection);

    const auto &[menuName, items] = menus().at(menu);
    QMenu *m = s.menu(menuName);
    QVERIFY(m);
    const auto expectedFor = [&](Cond cond) {
        switch (cond) {
        case Always:
            return true;
        case Named:
            return named;
        case HasItems:
            return list > 0;
        case ListSelected:
            return list == 2;
        case Selection:
            return selection;
        case NoSelection:
            return !selection;
        case Never:
            break;
        }
        return false;
    };
    // Whatever state a ruled item was left in, opening the menu decides it afresh.
    for (const Item &item : items) {
        QAction *action = findItem(s, item.name);
        QVERIFY2(action, item.name);
        if (item.cond != Always) action->setEnabled(!expectedFor(item.cond));
    }
    emit m->aboutToShow();
    for (const Item &item : items)
        QVERIFY2(findItem(s, item.name)->isEnabled() == expectedFor(item.cond), item.name);
}

void TestMainMenus::shortcutsActOnTheEditor_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("selection"); // "abc" selected, else the caret at the end
    QTest::addColumn<QString>("expectClipboard");
    QTest::addColumn<QByteArray>("expectText");
    QTest::addColumn<QByteArray>("expectSelected");
    const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    // clang-format off
    QTest::newRow("Ctrl+A in the list") << "list" << int(Qt::Key_A) << ctrl << false << "before" << QByteArray("abc def")
                                        << QByteArray("abc def");
    QTest::newRow("Ctrl+A in the editor") << "memo" << int(Qt::Key_A) << ctrl << false << "before" << QByteArray("abc def")
                                          << QByteArray("abc def");
    QTest::newRow("Ctrl+C in the list, selection") << "list" << int(Qt::Key_C) << ctrl << true << "abc"
                                                   << QByteArray("abc def") << QByteArray("abc");
    QTest::newRow("Ctrl+C in the list, no selection") << "list" << int(Qt::Key_C) << ctrl << false << "before"
                                                      << QByteArray("abc def") << QByteArray();
    QTest::newRow("Ctrl+C in the editor, no selection") << "memo" << int(Qt::Key_C) << ctrl << false << "before"
                                                        << QByteArray("abc def") << QByteArray();
    QTest::newRow("Ctrl+X in the list, selection") << "list" << int(Qt::Key_X) << ctrl << true << "abc"
                                                   << QByteArray(" def") << QByteArray();
    QTest::newRow("Ctrl+X, no selection") << "memo" << int(Qt::Key_X) << ctrl << false << "before"
                                          << QByteArray("abc def") << QByteArray();
    QTest::newRow("Ctrl+V in the list") << "list" << int(Qt::Key_V) << ctrl << false << "before"
                                        << QByteArray("abc defbefore") << QByteArray();
    QTest::newRow("Ctrl+Insert in the list") << "list" << int(Qt::Key_Insert) << ctrl << true << "abc"
                                             << QByteArray("abc def") << QByteArray("abc");
    QTest::newRow("Shift+Delete in the editor") << "memo" << int(Qt::Key_Delete) << shift << true << "abc"
                                                << QByteArray(" def") << QByteArray();
    QTest::newRow("Shift+Insert in the list") << "list" << int(Qt::Key_Insert) << shift << false << "before"
                                              << QByteArray("abc defbefore") << QByteArray();
    QTest::newRow("Ctrl+V over a selection") << "memo" << int(Qt::Key_V) << ctrl << true << "before"
                                             << QByteArray("before def") << QByteArray();
    // clang-format on
}

void TestMainMenus::shortcutsActOnTheEditor()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, selection);
    QFETCH(QString, expectClipboard);
    QFETCH(QByteArray, expectText);
    QFETCH(QByteArray, expectSelected);
    Session s(home);
    activate(s);
    s.main()->setSourceText("abc def", false);
    s.main()->setUrlListItems({ "x", "y" });
    s.main()->addUrlListSelection({ 1 });
    if (selection)
        s.main()->selectSourceBytes(0, 3);
    else
        s.main()->selectSourceBytes(7, 0);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QWidget *target = focus == QLatin1String("list") ? static_cast<QWidget *>(s.list()) : s.memo();
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());

    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(QGuiApplication::clipboard()->text(), expectClipboard);
    QCOMPARE(bytes(s.main()->sourceText()), expectText);
    QCOMPARE(bytes(s.main()->selectedSourceText()), expectSelected);
    // The list keeps its own selection.
    QCOMPARE(s.main()->selectedUrlListRows(), std::vector<int> { 1 });
}

void TestMainMenus::undoKeepsOneLevel()
{
    Session s(home);
    activate(s);
    s.main()->setSourceText("base", false);
    QVERIFY(!s.main()->canUndoSource());
    QTextCursor cursor = s.memo()->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("X"));
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(QStringLiteral("Y"));
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("YbaseX"));
    s.main()->setModified(false);

    // Ctrl+Z from the list: the last edit, then back again, never the edit before it.
    s.list()->setFocus();
    QTRY_VERIFY(s.list()->hasFocus());
    const QByteArray expected[] = { "baseX", "YbaseX", "baseX" };
    for (const QByteArray &text : expected) {
        QTest::keyClick(s.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(bytes(s.main()->sourceText()), text);
        QVERIFY(s.main()->canUndoSource());
    }
    QVERIFY(s.main()->isModified());

    // Deleting the selection cannot be undone, and leaves nothing to undo.
    s.main()->selectSourceBytes(0, 2);
    s.main()->mnuDeleteClick();
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("seX"));
    QVERIFY(!s.main()->canUndoSource());
    QTest::keyClick(s.memo(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("seX"));

    // Deleting everything sets the modified flag and cannot be undone either.
    s.main()->setModified(false);
    s.main()->mnuDeleteAllClick();
    QVERIFY(s.main()->sourceText().empty());
    QVERIFY(s.main()->isModified());
    QVERIFY(!s.main()->canUndoSource());
}

void TestMainMenus::tableItems()
{
    std::filesystem::create_directories(home.paths().tableDir);
    writeBytes(home.path("table/ab.tbl"), "a\tb\r\nb\td\r\n");
    writeBytes(home.path("table/A&B.tbl"), "x\ty\r\n");
    writeBytes(home.path("table/\xe8\xa1\xa8.tbl"), "d\tz\r\n"); // 表, a UTF-8 file name
    writeBytes(home.path("table/gone.tbl"), "a\tq\r\n");
    Session s(home);

    // Every submenu lists the same tables after its fixed entries, captioned by name.
    QStringList captions;
    for (QAction *a : s.menu("N69")->actions().mid(3))
        captions << a->text();
    captions.sort();
    QCOMPARE(captions, (QStringList { "A&&B", "ab", "gone", "表" }));
    for (const char *name : { "N70", "N72", "N73" }) {
        QStringList others;
        for (QAction *a : s.menu(name)->actions().mid(3))
            others << a->text();
        others.sort();
        QCOMPARE(others, captions);
    }
    const auto item = [&](const char *menu, const QString &caption) -> QAction * {
        for (QAction *a : s.menu(menu)->actions())
            if (a->text() == caption) return a;
        return nullptr;
    };

    // Whole text: the pairs in order (a -> b, then b -> d).
    s.main()->setSourceText("ab-xy", false);
    item("N69", "ab")->trigger();
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("dd-xy"));
    QVERIFY(s.main()->isModified());
    QVERIFY(!s.main()->canUndoSource());

    // Selection: only the selected part changes.
    s.main()->setSourceText("ab-ab", false);
    s.main()->setModified(false);
    s.main()->selectSourceBytes(3, 2);
    item("N73", "ab")->trigger();
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("ab-dd"));
    QVERIFY(s.main()->isModified());
    QVERIFY(!s.main()->canUndoSource());

    // A table removed since start-up changes nothing but still counts as a run.
    std::filesystem::remove(home.path("table/gone.tbl"));
    s.main()->setSourceText("aaa", false);
    s.main()->setModified(false);
    item("N72", "gone")->trigger();
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("aaa"));
    QVERIFY(s.main()->isModified());

    // A table name with a double-byte character.
    s.main()->setSourceText("d", false);
    item("N69", QStringLiteral("表"))->trigger();
    QCOMPARE(bytes(s.main()->sourceText()), QByteArray("z"));
    QCOMPARE(s.main()->tableNames().size(), std::size_t(4));
}

void TestMainMenus::viewCommands()
{
    Session s(home);
    QAction *onTop = s.action("OnTop");
    onTop->trigger();
    QVERIFY(s.main()->stayOnTop());
    QVERIFY(onTop->isChecked());
    QVERIFY(s.main()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(s.main()->isVisible());
    s.main()->OnTopClick();
    QVERIFY(!s.main()->stayOnTop());
    QVERIFY(!s.main()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(s.main()->isVisible());

    s.main()->setUrlListItems({ "kept" });
    QAction *listView = s.action("mnuListView");
    listView->trigger();
    QVERIFY(!s.main()->urlListShown());
    QVERIFY(!s.list()->isVisible());
    s.main()->mnuSequenceClick(); // the list's commands keep working while it is hidden
    QCOMPARE(s.main()->urlListItems(), func_token::StringList { "kept" });
    listView->trigger();
    QVERIFY(s.main()->urlListShown());
    QVERIFY(s.list()->isVisible());
    QCOMPARE(s.main()->urlListWidth(), 200);

    s.action("mnuCtrl")->trigger();
    QVERIFY(s.windows().ctrl->isVisible());
    s.action("mnuSet")->trigger();
    QVERIFY(s.windows().set->isVisible());
}

void TestMainMenus::splitterCollapsesANarrowList()
{
    Session s(home);
    QSplitter *splitter = s.splitter();
    QSplitterHandle *handle = splitter->handle(1);
    const auto drag = [&](int listWidth) {
        const QPoint grip(handle->width() / 2, handle->height() / 2);
        const int dx = splitter->sizes().value(1) - listWidth;
        QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, grip);
        QTest::mouseMove(handle, grip + QPoint(dx / 2, 0));
        QTest::mouseMove(handle, grip + QPoint(dx, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, grip + QPoint(dx, 0));
    };
    // The grip is a pixel or so off the handle's edge.
    const auto near = [](int actual, int expected) { return qAbs(actual - expected) <= 2; };
    drag(120);
    QVERIFY(near(s.main()->urlListWidth(), 120));
    drag(20);
    QCOMPARE(s.main()->urlListWidth(), 0);
    QCOMPARE(splitter->sizes().value(1), 0);
    drag(150);
    const int open = s.main()->urlListWidth();
    QVERIFY(near(open, 150));
    // The freed width goes to the editor when the window grows; the list keeps its width.
    s.main()->resize(700, 500);
    QTRY_COMPARE(s.main()->width(), 700);
    QCOMPARE(s.main()->urlListWidth(), open);
}

QTEST_MAIN(TestMainMenus)
#include "test_frm_main_menus.moc"
