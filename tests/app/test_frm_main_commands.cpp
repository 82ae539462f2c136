// The buffers of the main window and the commands on them: bytes through the real editor,
// byte offsets against editor positions, the URL list commands, the conversions, extraction
// and the double-click on the list.
#include "app/frm_main.h"
#include "app/memory_guard_qt.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "support/window_test.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QtTest>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace
{

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

QList<QByteArray> toList(const func_token::StringList &items)
{
    QList<QByteArray> list;
    for (const std::string &item : items)
        list << bytes(item);
    return list;
}

func_token::StringList fromList(const QList<QByteArray> &list)
{
    func_token::StringList items;
    for (const QByteArray &item : list)
        items.push_back(item.toStdString());
    return items;
}

// A menu item by caption, searched through the submenus of a menu.
QAction *findCaption(QMenu *menu, const QString &caption)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == caption) return action;
        if (action->menu())
            if (QAction *found = findCaption(action->menu(), caption)) return found;
    }
    return nullptr;
}

std::vector<int> rows(const QList<int> &list)
{
    return std::vector<int>(list.begin(), list.end());
}

// Allocations of at least this many bytes fail (none while it is SIZE_MAX).
std::atomic<std::size_t> g_failFrom { SIZE_MAX };

} // namespace

void *operator new(std::size_t size)
{
    if (size >= g_failFrom.load(std::memory_order_relaxed)) throw std::bad_alloc();
    if (void *p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

class TestMainCommands : public WindowTest
{
    Q_OBJECT
private slots:
    void bytesSurviveTheEditor_data();
    void bytesSurviveTheEditor();
    void byteOffsetsMapOntoCharacters_data();
    void byteOffsetsMapOntoCharacters();
    void listCommands_data();
    void listCommands();
    void conversions_data();
    void conversions();
    void extractionAppendsAndExpands();
    void urlCorrection();
    void doubleClickOnTheList();
    void commandOutOfMemory_data();
    void commandOutOfMemory();
    void startUpOutOfMemory();
};

void TestMainCommands::bytesSurviveTheEditor_data()
{
    QTest::addColumn<QByteArray>("input");
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all.append(char(b));
    QTest::newRow("every byte 1-255") << all;
    QByteArray pairs;
    for (int lead = 0x81; lead <= 0xfc; ++lead) {
        if (lead > 0x9f && lead < 0xe0) continue;
        for (int trail = 0x40; trail <= 0xfc; ++trail)
            pairs.append(char(lead)).append(char(trail)).append(' ');
    }
    QTest::newRow("every lead x trail pair") << pairs;
    std::mt19937 random(7);
    QByteArray noise;
    for (int i = 0; i < 20000; ++i)
        noise.append(char(1 + random() % 255));
    QTest::newRow("random bytes") << noise;
    QTest::newRow("line breaks of every kind") << QByteArray("a\rb\nc\r\n\n\rd\r");
    QTest::newRow("lead byte at the end") << QByteArray("abc\x82");
    QTest::newRow("control characters") << QByteArray("\x01\x1a\x1c\x7f\t\x0b\x0c");
    QTest::newRow("japanese with extensions") << QByteArray("\x82\xa0\x81\x40\xfb\xfc\xed\x40\x87\x90\r\n");
}

void TestMainCommands::bytesSurviveTheEditor()
{
    QFETCH(QByteArray, input);
    Session s(home);
    const std::string expected = func_token::NormalizeLineBreaks(input.toStdString());
    s.main()->setSourceText(input.toStdString(), false);
    QCOMPARE(bytes(s.main()->sourceText()), bytes(expected));
    QVERIFY(!s.main()->isModified());

    // An edit makes the window read the text back from the editor.
    QTextCursor cursor = s.memo()->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("x"));
    cursor.deletePreviousChar();
    QVERIFY(s.main()->isModified());
    QCOMPARE(bytes(s.main()->sourceText()), bytes(expected));
    s.main()->mnuSelectAllClick();
    QCOMPARE(bytes(s.main()->selectedSourceText()), bytes(expected));
    QCOMPARE(s.main()->sourceSelectionEndBytes(), expected.size());
}

void TestMainCommands::byteOffsetsMapOntoCharacters_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expectSelected");
    QTest::addColumn<int>("expectEnd");
    // The text: a, あ (2 bytes), CR LF, カ (2 bytes), z: 8 bytes.
    QTest::newRow("one byte") << 0 << 1 << QByteArray("a") << 1;
    QTest::newRow("a double-byte character") << 1 << 2 << QByteArray("\x82\xa0") << 3;
    QTest::newRow("from its trail byte") << 2 << 1 << QByteArray("\x82\xa0") << 3;
    QTest::newRow("ending on its lead byte") << 1 << 1 << QByteArray("\x82\xa0") << 3;
    QTest::newRow("the line break") << 3 << 2 << QByteArray("\r\n") << 5;
    QTest::newRow("from the LF of CR LF") << 4 << 3 << QByteArray("\r\n\x83\x4a") << 7;
    QTest::newRow("past the end") << 6 << 10 << QByteArray("\x83\x4az") << 8;
    QTest::newRow("caret at the end") << 8 << 0 << QByteArray() << 8;
    QTest::newRow("all") << 0 << 8 << QByteArray("a\x82\xa0\r\n\x83\x4az") << 8;
}

void TestMainCommands::byteOffsetsMapOntoCharacters()
{
    QFETCH(int, offset);
    QFETCH(int, length);
    QFETCH(QByteArray, expectSelected);
    QFETCH(int, expectEnd);
    Session s(home);
    s.main()->setSourceText("a\x82\xa0\r\n\x83\x4az", false);
    s.main()->selectSourceBytes(std::size_t(offset), std::size_t(length));
    QCOMPARE(bytes(s.main()->selectedSourceText()), expectSelected);
    QCOMPARE(s.main()->sourceSelectionEndBytes(), std::size_t(expectEnd));
    QCOMPARE(s.main()->hasSourceSelection(), !expectSelected.isEmpty());
}

void TestMainCommands::listCommands_data()
{
    QTest::addColumn<QList<QByteArray>>("items");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("command"); // an action's object name, or "key:Delete"
    QTest::addColumn<QList<QByteArray>>("expectItems");
    QTest::addColumn<QList<int>>("expectSelected");
    QTest::addColumn<QString>("expectClipboard"); // "-" = untouched
    using L = QList<QByteArray>;
    using R = QList<int>;
    // clang-format off
    QTest::newRow("delete the selected") << L{"a", "b", "c", "d"} << R{1, 3} << "lstDelete" << L{"a", "c"} << R{} << "-";
    QTest::newRow("Delete key") << L{"a", "b", "c"} << R{0} << "key:Delete" << L{"b", "c"} << R{} << "-";
    QTest::newRow("Shift+Delete key") << L{"a", "b", "c"} << R{2} << "key:Shift+Delete" << L{"a", "b"} << R{} << "-";
    QTest::newRow("delete all") << L{"a", "b"} << R{0} << "plDeleteAll" << L{} << R{} << "-";
    QTest::newRow("select all") << L{"a", "b", "c"} << R{1} << "lstSelectAll" << L{"a", "b", "c"} << R{0, 1, 2} << "-";
    QTest::newRow("invert") << L{"a", "b", "c", "d"} << R{1, 3} << "plInvert" << L{"a", "b", "c", "d"} << R{0, 2} << "-";
    QTest::newRow("copy skips empty items, trims the ends") << L{"a", "", " b ", "c"} << R{0, 1, 2}
        << "lstCopy" << L{"a", "", " b ", "c"} << R{0, 1, 2} << "a\n b";
    QTest::newRow("copy with nothing selected") << L{"a"} << R{} << "plCopy" << L{"a"} << R{} << "";
    QTest::newRow("copy all") << L{"a", "", "\x82\xa0"} << R{0} << "lstCopyAll" << L{"a", "", "\x82\xa0"} << R{0}
        << "a\nあ";
    QTest::newRow("sort forward ignores case") << L{"B", "a"} << R{0} << "lstSortForward" << L{"a", "B"} << R{} << "-";
    QTest::newRow("sort backward") << L{"x.gif", "a.jpg", "b.gif"} << R{} << "plSortBackward"
        << L{"b.gif", "x.gif", "a.jpg"} << R{} << "-";
    QTest::newRow("remove duplicates") << L{"b", "a", "b", "a"} << R{0} << "lstRemoveDuplicates" << L{"a", "b"} << R{}
        << "-";
    QTest::newRow("remove duplicates, one item") << L{"x"} << R{0} << "plRemoveDuplicates" << L{"x"} << R{0} << "-";
    QTest::newRow("sequence expansion") << L{"a[1-3]", "b"} << R{} << "plSequence" << L{"a1", "a2", "a3", "b"} << R{}
        << "-";
    // clang-format on
}

void TestMainCommands::listCommands()
{
    QFETCH(QList<QByteArray>, items);
    QFETCH(QList<int>, selected);
    QFETCH(QString, command);
    QFETCH(QList<QByteArray>, expectItems);
    QFETCH(QList<int>, expectSelected);
    QFETCH(QString, expectClipboard);
    Session s(home);
    s.main()->setUrlListItems(fromList(items));
    std::vector<std::size_t> indices(selected.begin(), selected.end());
    s.main()->addUrlListSelection(indices);
    QGuiApplication::clipboard()->setText(QStringLiteral("-"));

    if (command.startsWith(QLatin1String("key:"))) {
        s.list()->setFocus();
        const Qt::KeyboardModifiers mods
            = command.contains(QLatin1String("Shift")) ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::keyClick(s.list(), Qt::Key_Delete, mods);
    } else {
        QAction *action = s.action(command.toLatin1().constData());
        QVERIFY(action);
        action->setEnabled(true); // the list menu's rule is tested elsewhere
        action->trigger();
    }
    QCOMPARE(toList(s.main()->urlListItems()), expectItems);
    QCOMPARE(s.main()->selectedUrlListRows(), rows(expectSelected));
    QCOMPARE(QGuiApplication::clipboard()->text(), expectClipboard);
    QVERIFY(!s.main()->isModified());
}

void TestMainCommands::conversions_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("selectFrom"); // -1: no selection
    QTest::addColumn<int>("selectLength");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("expectText");
    QTest::addColumn<bool>("expectModified");
    QTest::addColumn<QString>("expectError"); // the start of the message, "" = none
    // clang-format off
    QTest::newRow("URL encode, whole") << QByteArray("a b\r\nc") << -1 << 0 << "N69" << "ＵＲＬエンコード"
        << QByteArray("a+b%0D%0Ac") << true << "";
    QTest::newRow("URL encode per line, context menu") << QByteArray("a b\r\nc/") << -1 << 0 << "N72"
        << "ＵＲＬエンコード（行毎に処理）" << QByteArray("a+b\r\nc%2F") << true << "";
    QTest::newRow("URL decode error, whole") << QByteArray("abc%4") << -1 << 0 << "N69" << "ＵＲＬデコード"
        << QByteArray("abc%4") << false << "URL";
    QTest::newRow("URL decode per line keeps the lines before the error") << QByteArray("a%41\r\nb%4\r\nc%41") << -1
        << 0 << "N69" << "ＵＲＬデコード(行毎に処理)" << QByteArray("aA\r\nb%4\r\nc%41") << true << "URL";
    QTest::newRow("URL encode per line, selection") << QByteArray("ab-cd") << 0 << 2 << "N70"
        << "ＵＲＬエンコード(行毎に処理)" << QByteArray("ab\r\n-cd") << true << "";
    QTest::newRow("URL decode, selection error") << QByteArray("x%G1y") << 0 << 4 << "N73" << "ＵＲＬデコード"
        << QByteArray("x%G1y") << false << "URL";
    QTest::newRow("UTF8 to SJIS, malformed: unchanged") << QByteArray("\x83\x41") << -1 << 0 << "N69" << "UTF8→SJIS"
        << QByteArray("\x83\x41") << false << "";
    QTest::newRow("UTF8 to SJIS") << QByteArray("\xe3\x81\x82") << -1 << 0 << "N72" << "UTF8→SJIS"
        << QByteArray("\x82\xa0") << true << "";
    QTest::newRow("SJIS to EUC, selection") << QByteArray("x\x82\xa0y") << 1 << 2 << "N70" << "SJIS→EUC"
        << QByteArray("x\xa4\xa2y") << true << "";
    QTest::newRow("SJIS to UTF8, whole") << QByteArray("\xb1") << -1 << 0 << "N69" << "SJIS→UTF8"
        << QByteArray("\xef\xbd\xb1") << true << "";
    QTest::newRow("EUC to SJIS, selection") << QByteArray("\xb0\xa1-") << 0 << 2 << "N73" << "EUC→SJIS"
        << QByteArray("\x88\x9f-") << true << "";
    // clang-format on
}

void TestMainCommands::conversions()
{
    QFETCH(QByteArray, text);
    QFETCH(int, selectFrom);
    QFETCH(int, selectLength);
    QFETCH(QString, menu);
    QFETCH(QString, caption);
    QFETCH(QByteArray, expectText);
    QFETCH(bool, expectModified);
    QFETCH(QString, expectError);
    Session s(home);
    s.main()->setSourceText(text.toStdString(), false);
    if (selectFrom >= 0) s.main()->selectSourceBytes(std::size_t(selectFrom), std::size_t(selectLength));
    QAction *item = findCaption(s.menu(menu.toLatin1().constData()), caption);
    QVERIFY(item);
    item->trigger();
    QCOMPARE(bytes(s.main()->sourceText()), expectText);
    QCOMPARE(s.main()->isModified(), expectModified);
    if (expectError.isEmpty()) {
        QVERIFY(s.prompts.errors.isEmpty());
    } else {
        QCOMPARE(s.prompts.errors.size(), 1);
        QVERIFY2(s.prompts.errors.first().startsWith(expectError), qPrintable(s.prompts.errors.first()));
    }
}

void TestMainCommands::extractionAppendsAndExpands()
{
    Session s(home);
    func_save::SetDialogState settings;
    settings.prefix.items = { "http://" };
    settings.prefix.checked = { true };
    settings.autoExpand = true;
    s.windows().set->applyState(settings);
    s.main()->setUrlListItems({ "old[1-2]" });
    s.main()->setSourceText("see http://x/a[1-2].jpg and\r\n'http://y/'", false);

    s.action("N7")->trigger();
    QCOMPARE(toList(s.main()->urlListItems()),
        (QList<QByteArray> { "old1", "old2", "http://x/a1.jpg", "http://x/a2.jpg", "http://y/" }));

    // From the selection only, without expansion; the source text is never changed.
    settings.autoExpand = false;
    s.windows().set->applyState(settings);
    s.main()->setUrlListItems({});
    s.main()->selectSourceBytes(4, 19);
    s.action("N62")->trigger();
    QCOMPARE(toList(s.main()->urlListItems()), (QList<QByteArray> { "http://x/a[1-2].jpg" }));
    QVERIFY(!s.main()->isModified());

    // Links of the tags, appended after what is there.
    s.main()->setSourceText("<a href=\"p.html\">x</a><img src=q.gif>", false);
    s.action("HTML1")->trigger();
    QCOMPARE(toList(s.main()->urlListItems()), (QList<QByteArray> { "http://x/a[1-2].jpg", "p.html", "q.gif" }));
}

void TestMainCommands::urlCorrection()
{
    Session s(home);
    s.main()->setUrlListItems({ "/a.gif", "b.html", "https://o/x", "//cdn/y.js" });
    s.main()->addUrlListSelection({ 1 });
    s.windows().ctrl->setUrlText("http://host:8080/dir/");
    s.action("UrlCorrect")->trigger();
    QCOMPARE(toList(s.main()->urlListItems()),
        (QList<QByteArray> {
            "http://host:8080/a.gif", "http://host:8080/dir/b.html", "https://o/x", "http://cdn/y.js" }));
    QCOMPARE(s.main()->selectedUrlListRows(), std::vector<int> { 1 });
    QVERIFY(s.prompts.errors.isEmpty());

    // A base without a host stops at the first item that needs one, with a message.
    s.main()->setUrlListItems({ "https://o/x", "b.html", "c.html" });
    s.windows().ctrl->setUrlText("http://");
    s.main()->UrlCorrectClick();
    QCOMPARE(toList(s.main()->urlListItems()), (QList<QByteArray> { "https://o/x", "b.html", "c.html" }));
    QCOMPARE(s.prompts.errors.size(), 1);
}

void TestMainCommands::doubleClickOnTheList()
{
    Session s(home);
    // A "browser" that writes the one argument it was given into a file.
    const std::string browser = home.path("browser.sh");
    const std::string out = home.path("argument.txt");
    writeBytes(browser, "#!/bin/sh\nprintf '%s' \"$1\" > '" + out + "'\n");
    std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
    const std::string url = "http://x/a b&c;d'e\"f|g$(h)\x82\xa0";
    s.main()->setUrlListItems({ "first", url });
    TfrmCtrl *ctrl = s.windows().ctrl.get();
    ctrl->ckToClip->setChecked(true);
    ctrl->ckToURL->setChecked(true);
    ctrl->ckToExe->setChecked(true);
    ctrl->edtExe->setText(QString::fromStdString(browser));

    const QRect rect = s.list()->visualRect(s.list()->model()->index(1, 0));
    QTest::mouseClick(s.list()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(s.list()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());

    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://x/a b&c;d'e\"f|g$(h)あ"));
    QCOMPARE(bytes(ctrl->urlText()), bytes(url));
    QTRY_COMPARE(bytes(readBytes(out)), QByteArray("http://x/a b&c;d'e\"f|g$(h)あ"));

    // A right-click leaves the selection and the focused item as they are, and a right
    // double-click runs no click action.
    const QRect first = s.list()->visualRect(s.list()->model()->index(0, 0));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::mouseClick(s.list()->viewport(), Qt::RightButton, Qt::NoModifier, first.center());
    QTest::mouseDClick(s.list()->viewport(), Qt::RightButton, Qt::NoModifier, first.center());
    QCOMPARE(s.main()->selectedUrlListRows(), std::vector<int> { 1 });
    QCOMPARE(s.list()->currentIndex().row(), 1);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    // An empty list has no focused item: nothing happens.
    std::filesystem::remove(out);
    s.main()->setUrlListItems({});
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::mouseDClick(s.list()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

void TestMainCommands::commandOutOfMemory_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("item");
    QTest::newRow("expansion") << "mnuSequence" << QByteArray("<b>x</b>") << QByteArray("a[0-999999]");
    QTest::newRow("tag removal") << "mnuRemoveTags" << QByteArray("<b>x</b>").repeated(300000) << QByteArray("a");
}

// A command whose memory runs out ends with a message; the window and both buffers stay.
void TestMainCommands::commandOutOfMemory()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, item);
    Session s(home);
    static_cast<LanzoApplication *>(qApp)->setPrompts(&s.prompts, s.main());
    s.main()->setSourceText(source.toStdString(), false);
    s.main()->setUrlListItems({ item.toStdString() });
    // Delivered as an event, the way a click or a shortcut runs it.
    QMetaObject::invokeMethod(s.action(command.toLatin1().constData()), &QAction::trigger, Qt::QueuedConnection);
    g_failFrom = std::size_t(1) << 20;
    QCoreApplication::processEvents();
    g_failFrom = SIZE_MAX;
    QTRY_COMPARE(s.prompts.errors, QStringList { OutOfMemoryMessage() });
    QCOMPARE(bytes(s.main()->sourceText()), source);
    QCOMPARE(toList(s.main()->urlListItems()), QList<QByteArray> { item });
    QVERIFY(!s.main()->isModified());
    static_cast<LanzoApplication *>(qApp)->setPrompts(nullptr, nullptr);
}

// Start-up goes on without a buffer that does not fit, and the exit leaves its file alone.
void TestMainCommands::startUpOutOfMemory()
{
    std::filesystem::create_directories(home.paths().configDir);
    const std::string text = QByteArray("a\n").repeated(1 << 19).toStdString(); // 1.5 MB with CR LF
    writeBytes(home.paths().workFile, text);
    writeBytes(home.paths().listFile, "x\r\n");
    g_failFrom = std::size_t(1200) << 10;
    Session s(home);
    g_failFrom = SIZE_MAX;
    QCOMPARE(s.prompts.errors, QStringList { OutOfMemoryMessage() });
    QVERIFY(s.close());
    QVERIFY(readBytes(home.paths().workFile) == text);
    QCOMPARE(readBytes(home.paths().listFile), std::string("x\r\n"));
}

// The application object is the window program's own, which catches a failed allocation.
int main(int argc, char **argv)
{
    LanzoApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMainCommands test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_frm_main_commands.moc"
