// The control panel over a real main window: replace, search, history, click options,
// download against a local server, start-up restore and the set.ini round trip.
#include "app/frm_main.h"
#include "encoding/editor_text_qt.h"
#include "extract/html_links.h"
#include "settings/frm_ctrl.h"
#include "settings/func_save.h"
#include "support/panels_support.h"
#include "support/window_test.h"
#include "text/func_lanzo.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using func_token::StringList;

Q_DECLARE_METATYPE(StringList)

namespace
{

QString sj(const char *bytes)
{
    return LineToQString(bytes);
}

StringList comboItems(const QComboBox *box)
{
    StringList items;
    for (int i = 0; i < box->count(); ++i)
        items.push_back(QStringToLine(box->itemText(i)));
    return items;
}

void setHistory(QComboBox *box, const StringList &items, const std::string &text)
{
    box->clear();
    for (const std::string &item : items)
        box->addItem(LineToQString(item));
    box->setEditText(LineToQString(text));
}

QListView *urlList(TfrmMain *main)
{
    return main->findChild<QListView *>(QStringLiteral("UrlList"));
}

void doubleClickItem(TfrmMain *main, int row)
{
    QListView *list = urlList(main);
    list->setCurrentIndex(list->model()->index(row, 0));
    main->UrlListDblClick();
}

} // namespace

class TstCtrl : public WindowTest
{
    Q_OBJECT
private slots:
    void init();

    void captionsAndFrame();
    void replace_data();
    void replace();
    void emptyBeforeDoesNothing();
    void history_data();
    void history();
    void searchSource_data();
    void searchSource();
    void searchListAddsToSelection();
    void clickOptions();
    void browserGetsUrlAsOneArgument_data();
    void browserGetsUrlAsOneArgument();
    void browseForBrowser();
    void historyBoxesTakeTextAsTyped();
    void storedTexts_data();
    void storedTexts();
    void download_data();
    void download();
    void downloadWithEmptyUrlDoesNothing();
    void downloadTwiceKeepsOneHistoryItem();
    void downloadRunsExtractionAndCorrection_data();
    void downloadRunsExtractionAndCorrection();
    void downloadInTheWebMode_data();
    void downloadInTheWebMode();
    void downloadCanBeCancelled_data();
    void downloadCanBeCancelled();
    void startupRestore();
    void setIniRoundTrip();

private:
    TfrmCtrl *ctrl() { return session().windows().ctrl.get(); }
};

void TstCtrl::init()
{
    startSession(false);
}

void TstCtrl::captionsAndFrame()
{
    QCOMPARE(ctrl()->windowTitle(), QStringLiteral("コントロールパネル"));
    QVERIFY(ctrl()->windowFlags().testFlag(Qt::Tool));
    QVERIFY(ctrl()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(ctrl()->size(), QSize(560, 133));
    QStringList tabs;
    for (int i = 0; i < ctrl()->PageControl1->count(); ++i)
        tabs << ctrl()->PageControl1->tabText(i);
    QCOMPARE(tabs, (QStringList { "置換", "検索", "インターネット", "動作設定" }));
    QCOMPARE(ctrl()->PageControl1->currentIndex(), 0);
    QVERIFY(ctrl()->rdo1S->isChecked());
    QVERIFY(ctrl()->rdo2S->isChecked());
    QCOMPARE(ctrl()->Label12->text(), QStringLiteral("status：000"));
    QCOMPARE(ctrl()->btnDownload->text(), QStringLiteral("ダウンロード"));
    QVERIFY(ctrl()->cmbUrl->isEditable());
    QCOMPARE(ctrl()->cmbUrl->insertPolicy(), QComboBox::NoInsert);

    // Closing only hides.
    ctrl()->show();
    QVERIFY(ctrl()->close());
    QVERIFY(!ctrl()->isVisible());
}

void TstCtrl::replace_data()
{
    QTest::addColumn<bool>("onList");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<StringList>("items");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QByteArray>("wantSource");
    QTest::addColumn<StringList>("wantItems");

    const StringList list { "ab", "cab", "x" };
    QTest::newRow("source, left to right") << false << QByteArray("aabab") << list << "ab"
                                           << "x" << QByteArray("axx") << list;
    QTest::newRow("source, nothing found") << false << QByteArray("abc\r\ndef") << list << "zz"
                                           << "y" << QByteArray("abc\r\ndef") << list;
    QTest::newRow("source, Japanese typed") << false << QByteArray("x\x82\xa0y") << list << sj("\x82\xa0")
                                            << sj("\x83\x41") << QByteArray("x\x83\x41y") << list;
    QTest::newRow("source, byte after a lead byte") << false << QByteArray("\x83\x41") << list << "A"
                                                    << "B" << QByteArray("\x83\x41") << list;
    QTest::newRow("list, item emptied stays") << true << QByteArray("ab") << list << "ab"
                                              << "" << QByteArray("ab") << StringList { "", "c", "x" };
    QTest::newRow("list, empty items kept") << true << QByteArray() << StringList { "a", "", "a" } << "a"
                                            << "b" << QByteArray() << StringList { "b", "", "b" };
}

void TstCtrl::replace()
{
    QFETCH(bool, onList);
    QFETCH(QByteArray, source);
    QFETCH(StringList, items);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QByteArray, wantSource);
    QFETCH(StringList, wantItems);

    main()->setSourceText(source.toStdString(), false);
    main()->setModified(false);
    main()->setUrlListItems(items);
    main()->addUrlListSelection({ 0 });
    (onList ? ctrl()->rdo1L : ctrl()->rdo1S)->setChecked(true);
    ctrl()->cmbBefore->setEditText(before);
    ctrl()->cmbAfter->setEditText(after);
    QTest::mouseClick(ctrl()->btnReplace, Qt::LeftButton);

    QCOMPARE(QByteArray::fromStdString(main()->sourceText()), wantSource);
    QCOMPARE(main()->urlListItems(), wantItems);
    // The source target always sets the modified flag, even when nothing matched.
    QCOMPARE(main()->isModified(), !onList);
    if (onList) QVERIFY(main()->selectedUrlListRows().empty()); // the selection is lost
    QCOMPARE(comboItems(ctrl()->cmbBefore), StringList { QStringToLine(before) });
    QCOMPARE(comboItems(ctrl()->cmbAfter).size(), after.isEmpty() ? std::size_t(0) : std::size_t(1));
    QCOMPARE(ctrl()->cmbBefore->currentText(), before); // the typed text stays in the box
}

void TstCtrl::emptyBeforeDoesNothing()
{
    main()->setSourceText("abc", false);
    main()->setModified(false);
    ctrl()->cmbAfter->setEditText("x");
    ctrl()->btnReplaceClick();
    ctrl()->btnSearchClick(); // empty keyword too
    QCOMPARE(main()->sourceText(), std::string("abc"));
    QVERIFY(!main()->isModified());
    QCOMPARE(ctrl()->cmbAfter->count(), 0);
    QCOMPARE(ctrl()->cmbKey->count(), 0);
}

void TstCtrl::history_data()
{
    QTest::addColumn<StringList>("items");
    QTest::addColumn<QString>("text");
    QTest::addColumn<StringList>("want");
    const StringList five { "a", "b", "c", "d", "e" };
    QTest::newRow("new text drops the oldest") << five << "f" << StringList { "b", "c", "d", "e", "f" };
    QTest::newRow("known text keeps the order") << five << "c" << five;
    QTest::newRow("case counts") << StringList { "a" } << "A" << StringList { "a", "A" };
    QTest::newRow("long loaded history shrinks by one at most") << StringList { "1", "2", "3", "4", "5", "6", "7",
        "8" } << "9" << StringList { "2", "3", "4", "5", "6", "7", "8", "9" };
    QTest::newRow("Japanese item compared by bytes")
        << StringList { "\x82\xa0" } << sj("\x82\xa0") << StringList { "\x82\xa0" };
}

void TstCtrl::history()
{
    QFETCH(StringList, items);
    QFETCH(QString, text);
    QFETCH(StringList, want);
    // The search box shows the same history rule as the others.
    setHistory(ctrl()->cmbKey, items, QStringToLine(text));
    ctrl()->btnSearchClick();
    QCOMPARE(comboItems(ctrl()->cmbKey), want);
    QCOMPARE(ctrl()->cmbKey->currentText(), text);
}

void TstCtrl::searchSource_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("caret"); // byte offset of the caret before the first press
    QTest::addColumn<QList<int>>("starts"); // byte offset selected after each press, -1: none
    // あい then " ab ab": the byte offsets pass over double-byte characters.
    const QByteArray jp("\x82\xa0\x82\xa2 ab ab");
    QTest::newRow("forward, then wrap") << jp << QByteArray("ab") << 0 << QList<int> { 5, 8, 5 };
    QTest::newRow("caret at the end wraps to the first")
        << jp << QByteArray("ab") << int(jp.size()) << QList<int> { 5 };
    QTest::newRow("single occurrence found again and again")
        << QByteArray("xyz\x82\xa0q") << QByteArray("q") << 0 << QList<int> { 5, 5, 5 };
    QTest::newRow("Japanese key") << QByteArray("a\x82\xa0 b\x82\xa0") << QByteArray("\x82\xa0") << 2
                                  << QList<int> { 5, 1 };
    QTest::newRow("key longer than the text") << QByteArray("ab") << QByteArray("abc") << 0 << QList<int> { -1 };
    QTest::newRow("across lines") << QByteArray("ab\r\ncd ab") << QByteArray("ab") << 1 << QList<int> { 7, 0 };
}

void TstCtrl::searchSource()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(int, caret);
    QFETCH(QList<int>, starts);
    main()->setSourceText(text.toStdString(), false);
    main()->selectSourceBytes(static_cast<std::size_t>(caret), 0);
    ctrl()->rdo2S->setChecked(true);
    ctrl()->cmbKey->setEditText(LineToQString(key.toStdString()));
    for (int start : starts) {
        QTest::mouseClick(ctrl()->btnSearch, Qt::LeftButton);
        if (start < 0) {
            QVERIFY(!main()->hasSourceSelection());
            QCOMPARE(main()->sourceSelectionEndBytes(), std::size_t(caret));
            continue;
        }
        QCOMPARE(QByteArray::fromStdString(main()->selectedSourceText()), key);
        QCOMPARE(main()->sourceSelectionEndBytes(), std::size_t(start + key.size()));
    }
}

void TstCtrl::searchListAddsToSelection()
{
    main()->setUrlListItems({ "http://a/x", "ftp://b", "http://c/x", "\x82\xa0x" });
    main()->addUrlListSelection({ 1 });
    ctrl()->rdo2L->setChecked(true);
    ctrl()->cmbKey->setEditText("x");
    ctrl()->btnSearchClick();
    QCOMPARE(main()->selectedUrlListRows(), (std::vector<int> { 0, 1, 2, 3 }));

    main()->setUrlListItems({ "ab", "cd" });
    ctrl()->cmbKey->setEditText("zz");
    ctrl()->btnSearchClick();
    QVERIFY(main()->selectedUrlListRows().empty());
}

void TstCtrl::clickOptions()
{
    const std::string url = "http://x/\x82\xa0 y";
    main()->setUrlListItems({ "first", url });
    setHistory(ctrl()->cmbUrl, { "h1" }, "old");
    QGuiApplication::clipboard()->setText("untouched");

    // Nothing ticked: nothing happens.
    doubleClickItem(main(), 1);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    QCOMPARE(ctrl()->urlText(), std::string("old"));

    // The URL box is filled while the panel is hidden; its history stays.
    QVERIFY(!ctrl()->isVisible());
    ctrl()->ckToURL->setChecked(true);
    ctrl()->ckToClip->setChecked(true);
    ctrl()->ckToExe->setChecked(true);
    ctrl()->edtExe->setText(QString::fromStdString(home.path("missing-browser")));
    doubleClickItem(main(), 1);
    QCOMPARE(ctrl()->urlText(), url);
    QCOMPARE(comboItems(ctrl()->cmbUrl), StringList { "h1" });
    QCOMPARE(QGuiApplication::clipboard()->text(), LineToQString(url));
    QVERIFY(session().prompts.errors.isEmpty()); // a missing browser is not reported
}

void TstCtrl::browserGetsUrlAsOneArgument_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("exe"); // empty: the script's full path; else a name looked up in PATH
    QTest::addColumn<bool>("started");
    QTest::newRow("spaces") << QByteArray("http://x/a b  c") << QString() << true;
    QTest::newRow("quotes and shell characters")
        << QByteArray("http://x/?a=\"1\"&b='2';c=$(id)|`x`") << QString() << true;
    QTest::newRow("Japanese") << QByteArray("http://x/\x82\xa0\x83\x41") << QString() << true;
    QTest::newRow("bare name found on PATH") << QByteArray("http://x/") << "browser.sh" << true;
    QTest::newRow("bare name not on PATH") << QByteArray("http://x/") << "missing.sh" << false;
    QTest::newRow("item read as an option") << QByteArray("--gpu-launcher=x") << QString() << false;
}

void TstCtrl::browserGetsUrlAsOneArgument()
{
    QFETCH(QByteArray, url);
    QFETCH(QString, exe);
    QFETCH(bool, started);
    const QString out = QString::fromStdString(home.path("argv.txt"));
    const QString script = QString::fromStdString(home.path("browser.sh"));
    {
        // Each start appends its arguments, so a start that must not happen shows as well.
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >> \"" + out.toUtf8()
            + "\"\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    main()->setUrlListItems({ url.toStdString(), "http://later/" });
    ctrl()->ckToExe->setChecked(true);
    ctrl()->edtExe->setText(exe.isEmpty() ? script : exe);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent::" + QFileInfo(script).path().toUtf8() + ":" + path);
    doubleClickItem(main(), 0);
    qputenv("PATH", path);
    ctrl()->edtExe->setText(script);
    if (!started) doubleClickItem(main(), 1);
    const auto written = [&] {
        QFile f(out);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray expected = "1\n" + LineToQString(started ? url.toStdString() : "http://later/").toUtf8() + "\n";
    QTRY_VERIFY_WITH_TIMEOUT(written().endsWith(expected), 5000);
    QCOMPARE(written(), expected);
}

void TstCtrl::historyBoxesTakeTextAsTyped()
{
    // A box completes only while it is shown.
    ctrl()->show();
    ctrl()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(ctrl()));
    for (QComboBox *box : { ctrl()->cmbBefore, ctrl()->cmbAfter, ctrl()->cmbKey, ctrl()->cmbUrl }) {
        ctrl()->PageControl1->setCurrentWidget(box->parentWidget());
        setHistory(box, { "ab" }, "");
        box->lineEdit()->setFocus();
        QTest::keyClicks(box->lineEdit(), "a");
        QCOMPARE(box->currentText(), QStringLiteral("a"));
    }
}

void TstCtrl::storedTexts_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed"); // null: the record comes from an older version
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("shown");
    const QByteArray x(40000, 'x');
    for (const char *control : { "cmbBefore", "cmbUrl", "edtExe" })
        QTest::addRow("40,000 characters in %s", control)
            << control << QString::fromLatin1(x) << QByteArray(control + 3).toUpper() + "\t" + x
            << QString::fromLatin1(x);
    QTest::newRow("URL with characters Shift_JIS lacks")
        << "cmbUrl"
        << "http://x/ü€あ" << QByteArray("URL\thttp://x/%C3%BC%E2%82%AC\x82\xa0") << "http://x/%C3%BC%E2%82%ACあ";
    QTest::newRow("browser path outside Shift_JIS")
        << "edtExe"
        << "/opt/josé/€" << QByteArray("EXE\t/opt/jos\xc3\xa9/\xe2\x82\xac") << "/opt/josé/€";
    QTest::newRow("browser path of an older version")
        << "edtExe" << QString() << QByteArray("EXE\t/opt/\x83u\x83\x89\x83\x45\x83U/b") << "/opt/ブラウザ/b";
}

// What is stored at exit and what the next start shows and stores again (the line edits'
// 32767-character limit, characters code page 932 cannot hold, the file system's spelling of a path).
void TstCtrl::storedTexts()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QByteArray, record);
    QFETCH(QString, shown);
    const auto edit = [&](TfrmCtrl *panel) {
        auto *box = panel->findChild<QComboBox *>(control);
        return box ? box->lineEdit() : panel->findChild<QLineEdit *>(control);
    };
    const auto stored
        = [](TfrmCtrl *panel) { return QByteArray::fromStdString(func_save::WriteSetIni(panel->state())); };
    if (!typed.isNull()) {
        edit(ctrl())->setText(typed);
        QVERIFY(stored(ctrl()).contains(record + "\r\n"));
        if (control == "cmbUrl") QCOMPARE(ctrl()->urlText(), record.mid(4).toStdString()); // what is sent
    }
    TempHome other;
    writeConfigFile(other, "set.ini", record + "\r\n");
    Session again(other, false);
    QCOMPARE(edit(again.windows().ctrl.get())->text(), shown);
    const QByteArray resaved = typed.isNull() ? record.left(4) + shown.toUtf8() : record;
    QVERIFY(stored(again.windows().ctrl.get()).contains(resaved + "\r\n"));
}

void TstCtrl::browseForBrowser()
{
    session().prompts.openFiles = { "/usr/bin/firefox", "" };
    ctrl()->btnExeClick();
    QCOMPARE(ctrl()->edtExe->text(), QStringLiteral("/usr/bin/firefox"));
    QCOMPARE(ctrl()->exePath(), std::string("/usr/bin/firefox"));
    QCOMPARE(session().prompts.openRequests.size(), std::size_t(1));
    QVERIFY(session().prompts.openRequests[0].filter.startsWith(QStringLiteral("ブラウザ(*.exe)|*.exe")));
    ctrl()->btnExeClick(); // cancelled: the path stays
    QCOMPARE(ctrl()->edtExe->text(), QStringLiteral("/usr/bin/firefox"));
}

void TstCtrl::download_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QByteArray>("wantSource");
    QTest::addColumn<QString>("wantStatus");
    const auto ok = [](const QByteArray &body) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    };
    QTest::newRow("lone LF made CR LF") << ok("a\nb\r\nc\n\r") << QByteArray("a\r\nb\r\nc\r\n\r\n") << "status：200";
    QTest::newRow("text ends at a NUL") << ok(QByteArray("ab\0cd", 5)) << QByteArray("ab") << "status：200";
    QTest::newRow("Shift_JIS body as received")
        << ok("\x82\xa0\x83\x5c") << QByteArray("\x82\xa0\x83\x5c") << "status：200";
    QTest::newRow("404 keeps the text") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")
                                        << QByteArray("old\r\ntext") << "status：404";
    QTest::newRow("302 is not followed") << QByteArray(
        "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n")
                                         << QByteArray("old\r\ntext") << "status：302";
    QTest::newRow("no status line") << QByteArray("garbage\r\n\r\n") << QByteArray("old\r\ntext") << "status：-1";
}

void TstCtrl::download()
{
    QFETCH(QByteArray, response);
    QFETCH(QByteArray, wantSource);
    QFETCH(QString, wantStatus);
    PanelsHttpServer server;
    server.respond(response);
    main()->setSourceText("old\r\ntext", false);
    main()->setModified(false);
    ctrl()->cmbUrl->setEditText(server.url("/page.html"));
    QTest::mouseClick(ctrl()->btnDownload, Qt::LeftButton);

    QCOMPARE(QByteArray::fromStdString(main()->sourceText()), wantSource);
    QCOMPARE(ctrl()->Label12->text(), wantStatus);
    QVERIFY(main()->isModified()); // after a failure too
    QCOMPARE(ctrl()->btnDownload->text(), QStringLiteral("ダウンロード"));
    QCOMPARE(server.requests().size(), 1);
    QVERIFY(server.requests().value(0).startsWith("GET /page.html HTTP/1.1\r\n"));
}

void TstCtrl::downloadWithEmptyUrlDoesNothing()
{
    main()->setSourceText("keep", false);
    main()->setModified(false);
    ctrl()->btnDownloadClick();
    QCOMPARE(ctrl()->Label12->text(), QStringLiteral("status：000"));
    QCOMPARE(main()->sourceText(), std::string("keep"));
    QVERIFY(!main()->isModified());
    QCOMPARE(ctrl()->cmbUrl->count(), 0);
}

void TstCtrl::downloadTwiceKeepsOneHistoryItem()
{
    PanelsHttpServer server;
    server.respond(200, "one");
    server.respond(200, "two");
    ctrl()->cmbUrl->setEditText(server.url("/p"));
    ctrl()->btnDownloadClick();
    ctrl()->btnDownloadClick();
    QCOMPARE(main()->sourceText(), std::string("two"));
    QCOMPARE(comboItems(ctrl()->cmbUrl), StringList { server.url("/p").toStdString() });
}

void TstCtrl::downloadRunsExtractionAndCorrection_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<StringList>("links"); // the links of the text that ends up in the source
    QTest::newRow("after a download") << 200 << StringList { "x.html", "/img/y.gif" };
    QTest::newRow("after a failure, on the old text") << 404 << StringList { "old.html" };
}

void TstCtrl::downloadRunsExtractionAndCorrection()
{
    QFETCH(int, status);
    QFETCH(StringList, links);
    PanelsHttpServer server;
    server.respond(status, "<a href=\"x.html\">x</a>\n<img src=\"/img/y.gif\">");
    main()->setSourceText("<a href=old.html>", false);
    main()->setUrlListItems({ "kept" });
    const QString url = server.url("/dir/page.html");
    ctrl()->cmbUrl->setEditText(url);
    ctrl()->ckHosei->setChecked(true);
    ctrl()->btnDownloadClick();

    StringList want { "kept" };
    want.insert(want.end(), links.begin(), links.end());
    QVERIFY(func_lanzo::CorrectList(url.toStdString(), want));
    QCOMPARE(main()->urlListItems(), want);
    QVERIFY(main()->urlListItems().back().rfind("http://127.0.0.1", 0) == 0);
    QVERIFY(session().prompts.errors.isEmpty());
}

void TstCtrl::downloadCanBeCancelled_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<bool>("midBody"); // the status line and a part of the body came first
    QTest::newRow("the button, now 中止") << false << false;
    QTest::newRow("Esc") << true << false;
    QTest::newRow("Esc mid-body") << true << true;
    QTest::newRow("中止 mid-body") << false << true;
}

void TstCtrl::downloadCanBeCancelled()
{
    QFETCH(bool, byEscape);
    QFETCH(bool, midBody);
    PanelsHttpServer server;
    server.stall(midBody ? "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart" : "");
    ctrl()->show();
    main()->setSourceText("abc", false);
    ctrl()->cmbBefore->setEditText("abc");
    ctrl()->cmbUrl->setEditText(server.url("/slow"));

    QString captionWhileRunning;
    QTimer::singleShot(300, ctrl(), [&] {
        captionWhileRunning = ctrl()->btnDownload->text();
        // Other input is dropped while the download runs: this replace never happens.
        ctrl()->PageControl1->setCurrentIndex(0);
        QTest::mouseClick(ctrl()->btnReplace, Qt::LeftButton);
        if (byEscape)
            QTest::keyClick(ctrl()->cmbUrl, Qt::Key_Escape);
        else
            QTest::mouseClick(ctrl()->btnDownload, Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    ctrl()->btnDownloadClick();
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(captionWhileRunning, QStringLiteral("中止"));
    QCOMPARE(ctrl()->btnDownload->text(), QStringLiteral("ダウンロード"));
    QVERIFY(!ctrl()->isDownloading());
    QCOMPARE(ctrl()->Label12->text(), QStringLiteral("status：-1"));
    QCOMPARE(main()->sourceText(), std::string("abc"));
    QCOMPARE(ctrl()->cmbBefore->count(), 0);

    // Input works again afterwards.
    QTest::mouseClick(ctrl()->btnReplace, Qt::LeftButton);
    QCOMPARE(ctrl()->cmbBefore->count(), 1);
}

void TstCtrl::downloadInTheWebMode_data()
{
    QTest::addColumn<QByteArray>("page"); // what the redirect leads to
    QTest::addColumn<QByteArray>("wantSource");
    QTest::addColumn<QString>("wantStatus");
    QTest::addColumn<QString>("tooltipHas");
    QTest::newRow("a UTF-8 page") << QByteArray(
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 29\r\n\r\n"
        "<a href=\"x.html\">\xe3\x81\x82\xf0\x9f\x98\x80</a>\n")
                                  << QByteArray("<a href=\"x.html\">\x82\xa0&#x1F600;</a>\r\n") << "status：200"
                                  << "UTF-8";
    QTest::newRow("a redirect to file:") << QByteArray(
        "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n")
                                         << QByteArray("old\r\ntext") << "status：302"
                                         << "file";
}

void TstCtrl::downloadInTheWebMode()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, wantSource);
    QFETCH(QString, wantStatus);
    QFETCH(QString, tooltipHas);
    PanelsHttpServer server;
    server.respond("HTTP/1.1 301 Moved\r\nLocation: ../new/page.html\r\nContent-Length: 0\r\n\r\n");
    server.respond(page);
    main()->setSourceText("old\r\ntext", false);
    ctrl()->ckWeb->setChecked(true);
    ctrl()->ckToSjis->setChecked(true);
    ctrl()->ckHosei->setChecked(true);
    const QString typed = server.url("/old/page.html");
    ctrl()->cmbUrl->setEditText(typed);
    ctrl()->btnDownloadClick();

    QCOMPARE(QByteArray::fromStdString(main()->sourceText()), wantSource);
    QCOMPARE(ctrl()->Label12->text(), wantStatus);
    QVERIFY2(ctrl()->Label12->toolTip().contains(tooltipHas), qPrintable(ctrl()->Label12->toolTip()));
    if (wantStatus != QStringLiteral("status：200")) return;
    // The final address becomes the base of the correction that follows, and joins the history.
    const QString final = server.url("/new/page.html");
    QCOMPARE(ctrl()->cmbUrl->currentText(), final);
    QCOMPARE(comboItems(ctrl()->cmbUrl), (StringList { typed.toStdString(), final.toStdString() }));
    QCOMPARE(main()->urlListItems(), StringList { server.url("/new/x.html").toStdString() });
}

void TstCtrl::startupRestore()
{
    endSession();
    writeConfigFile(
        home, "lanzo.ini", "[WINDOW]\r\nONTOP=1\r\n[WINDOW2]\r\nTOP=37\r\nLEFT=45\r\n[INTERNET]\r\nWEB=1\r\n");
    writeConfigFile(home, "set.ini",
        "BEFORE\tb\tx\ty\r\n"
        "URL\thttp://h/\r\n"
        "RDO1L\t1\r\n"
        "RDO2L\t0\r\n"
        "before\tignored\r\n"
        "TOEXE\t1\r\n"
        "EXE\t/bin/true\r\n");
    startSession(false);
    QVERIFY(main()->stayOnTop());
    QVERIFY(main()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(ctrl()->pos(), QPoint(45, 37));
    QVERIFY(!ctrl()->isVisible()); // CTRL absent: hidden
    QCOMPARE(comboItems(ctrl()->cmbBefore), (StringList { "x", "y" }));
    QCOMPARE(ctrl()->cmbBefore->currentText(), QStringLiteral("b"));
    QCOMPARE(ctrl()->urlText(), std::string("http://h/"));
    QVERIFY(ctrl()->rdo1L->isChecked());
    QVERIFY(ctrl()->rdo2S->isChecked());
    QVERIFY(ctrl()->toExe());
    QVERIFY(!ctrl()->toUrl());
    QCOMPARE(ctrl()->exePath(), std::string("/bin/true"));
    QVERIFY(ctrl()->ckWeb->isChecked());
    QVERIFY(!ctrl()->ckToSjis->isChecked()); // a missing key means off
}

void TstCtrl::setIniRoundTrip()
{
    setHistory(ctrl()->cmbBefore, { "x", "\x82\xa0\x83\x41" }, "abc");
    setHistory(ctrl()->cmbAfter, { "a", "b" }, "");
    setHistory(ctrl()->cmbKey, {}, "\x83\x5c"); // ソ: its trail byte is a backslash
    setHistory(ctrl()->cmbUrl, { "http://u/" }, "http://u/");
    ctrl()->rdo1L->setChecked(true);
    ctrl()->ckHosei->setChecked(true);
    ctrl()->ckToClip->setChecked(true);
    ctrl()->edtExe->setText("/opt/b r/x");
    const func_save::CtrlPanelState saved = ctrl()->state();
    const std::string bytes = func_save::WriteSetIni(saved);
    QVERIFY(bytes.find("BEFORE\tabc\tx\t\x82\xa0\x83\x41\r\n") != std::string::npos);

    TempHome other;
    writeConfigFile(other, "set.ini", QByteArray::fromStdString(bytes));
    Session again(other, false);
    TfrmCtrl *restored = again.windows().ctrl.get();
    QCOMPARE(func_save::WriteSetIni(restored->state()), bytes);
    QCOMPARE(comboItems(restored->cmbBefore), (StringList { "x", "\x82\xa0\x83\x41" }));
    QCOMPARE(QStringToLine(restored->cmbKey->currentText()), std::string("\x83\x5c"));
    QVERIFY(restored->rdo1L->isChecked() && restored->rdo2S->isChecked());
    QVERIFY(restored->ckHosei->isChecked() && restored->toClip() && !restored->toUrl() && !restored->toExe());
    QCOMPARE(restored->edtExe->text(), QStringLiteral("/opt/b r/x"));
}

QTEST_MAIN(TstCtrl)
#include "test_frm_main_ctrl.moc"
