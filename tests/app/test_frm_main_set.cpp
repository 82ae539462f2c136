// The settings dialog over a real main window: the table list buttons, the live settings
// extraction reads, start-up restore, set2.ini round trip and the news download.
#include "app/frm_main.h"
#include "encoding/editor_text_qt.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "settings/func_save.h"
#include "settings/http_client.h"
#include "support/panels_support.h"
#include "support/window_test.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using func_token::StringList;

Q_DECLARE_METATYPE(StringList)

namespace
{

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

} // namespace

class TstSet : public WindowTest
{
    Q_OBJECT
private slots:
    void init();

    void captionsAndFrame();
    void opensCentredOverMainWindow();
    void listButtons_data();
    void listButtons();
    void addTable_data();
    void addTable();
    void liveSettings();
    void startupRestore_data();
    void startupRestore();
    void set2IniRoundTrip();
    void news_data();
    void news();

private:
    void fillTables(const StringList &names);
    TfrmSet *set() { return session().windows().set.get(); }
};

void TstSet::init()
{
    startSession(false);
}

void TstSet::fillTables(const StringList &names)
{
    func_save::SetDialogState state = set()->state();
    state.convert = names;
    set()->applyState(state);
}

void TstSet::captionsAndFrame()
{
    QCOMPARE(set()->windowTitle(), QStringLiteral("環境設定"));
    QVERIFY(set()->windowFlags().testFlag(Qt::Tool));
    QVERIFY(set()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!set()->isModal());
    QVERIFY(!set()->isVisible());
    QCOMPARE(set()->size(), QSize(492, 292));
    QStringList tabs;
    for (int i = 0; i < set()->PageControl1->count(); ++i)
        tabs << set()->PageControl1->tabText(i);
    QCOMPARE(tabs, (QStringList { "抽出条件", "最新情報", "バージョン" }));

    QStringList labels;
    for (const QLabel *label : set()->findChildren<QLabel *>())
        labels << label->text();
    for (const char *caption :
        { "抽出時に自動実行する変換テーブル：", "先頭条件：", "内部条件：", "末尾条件：", "Lanzo", "Versionβ2" })
        QVERIFY2(labels.contains(QString::fromUtf8(caption)), caption);
    QCOMPARE(set()->ckAuto->text(), QStringLiteral("[00-99]自動展開する。"));
    QCOMPARE(set()->lbStatus->text(), QStringLiteral("status: "));
    const QStringList news = set()->mmNew->toPlainText().split('\n');
    QCOMPARE(news,
        (QStringList { "次のテキストファイルをダウンロードして表示します。", "",
            QString::fromStdString(http_client::NewsUrl()), "",
            "このファイルには、通常のWebブラウザからもアクセスできます。", "" }));
    QVERIFY(set()->mmNew->font().fixedPitch());

    set()->show();
    QVERIFY(set()->close());
    QVERIFY(!set()->isVisible());
}

void TstSet::opensCentredOverMainWindow()
{
    main()->setGeometry(200, 150, 800, 600);
    set()->show();
    const QPoint offset = set()->frameGeometry().center() - main()->frameGeometry().center();
    QVERIFY2(
        offset.manhattanLength() <= 40, qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));
    set()->hide();
}

void TstSet::listButtons_data()
{
    QTest::addColumn<StringList>("items");
    QTest::addColumn<int>("selected"); // -1: nothing selected
    QTest::addColumn<QString>("button");
    QTest::addColumn<StringList>("want");
    QTest::addColumn<int>("wantSelected");
    const StringList abc { "a", "b", "c" };
    QTest::newRow("up from the middle") << abc << 1 << "up" << StringList { "b", "a", "c" } << 0;
    QTest::newRow("up at the top") << abc << 0 << "up" << abc << 0;
    QTest::newRow("down from the top") << abc << 0 << "down" << StringList { "b", "a", "c" } << 1;
    QTest::newRow("down at the bottom") << abc << 2 << "down" << abc << 2;
    QTest::newRow("one entry, up") << StringList { "a" } << 0 << "up" << StringList { "a" } << 0;
    QTest::newRow("one entry, down") << StringList { "a" } << 0 << "down" << StringList { "a" } << 0;
    QTest::newRow("up, nothing selected") << abc << -1 << "up" << abc << -1;
    QTest::newRow("down, nothing selected") << abc << -1 << "down" << abc << -1;
    QTest::newRow("delete") << abc << 1 << "del" << StringList { "a", "c" } << -1;
    QTest::newRow("delete the last one") << StringList { "a" } << 0 << "del" << StringList {} << -1;
    QTest::newRow("delete, nothing selected") << abc << -1 << "del" << abc << -1;
    QTest::newRow("Japanese bytes move intact")
        << StringList { "\x82\xa0", "\x83\x5c\x80" } << 1 << "up" << StringList { "\x83\x5c\x80", "\x82\xa0" } << 0;
}

void TstSet::listButtons()
{
    QFETCH(StringList, items);
    QFETCH(int, selected);
    QFETCH(QString, button);
    QFETCH(StringList, want);
    QFETCH(int, wantSelected);
    fillTables(items);
    if (selected >= 0) set()->lstCnv->setCurrentRow(selected);
    set()->show();
    QPushButton *b = button == "up" ? set()->btnUp : button == "down" ? set()->btnDown : set()->btnDel;
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(set()->tableNames(), want);
    QCOMPARE(selectedRow(set()->lstCnv), wantSelected);
    if (wantSelected >= 0) QCOMPARE(set()->lstCnv->item(wantSelected)->text(), LineToQString(want[wantSelected]));
}

void TstSet::addTable_data()
{
    QTest::addColumn<QStringList>("answers"); // one file dialog answer per press; "" cancels
    QTest::addColumn<StringList>("want");
    QTest::newRow("extension dropped") << QStringList { "/t/abc.tbl" } << StringList { "x", "abc" };
    QTest::newRow("Japanese name keeps whole characters")
        << QStringList { QStringLiteral("/t/置換.tbl") } << StringList { "x", "\x92\x75\x8a\xb7" };
    QTest::newRow("short name gives an empty entry") << QStringList { "/t/ab" } << StringList { "x", "" };
    QTest::newRow("any extension loses four characters") << QStringList { "/t/list.txt" } << StringList { "x", "list" };
    QTest::newRow("same table twice") << QStringList { "/t/a.tbl", "/u/a.tbl" } << StringList { "x", "a", "a" };
    QTest::newRow("cancelled") << QStringList { "" } << StringList { "x" };
}

void TstSet::addTable()
{
    QFETCH(QStringList, answers);
    QFETCH(StringList, want);
    fillTables({ "x" });
    for (const QString &answer : answers)
        session().prompts.openFiles.push_back(answer);
    for (int i = 0; i < answers.size(); ++i)
        set()->btnAddClick();
    QCOMPARE(set()->tableNames(), want);
    QCOMPARE(session().prompts.openRequests.at(0).filter, QStringLiteral("変換テーブル(*.tbl)|*.tbl"));
    // The dialog starts in the table folder.
    QCOMPARE(session().prompts.openRequests.at(0).initialPath, QString::fromStdString(home.paths().tableDir));
}

void TstSet::liveSettings()
{
    endSession();
    writeConfigFile(home, "set2.ini",
        QByteArray("Prefix\t101\thttp://\tftp://\tttp://\r\n"
                   "Middle\t0\t.jpg\r\n"
                   "Suffix\t1\t")
            + "\x81\x42" + "\r\nAuto\t1\r\nConvert\t\x92\x75\x8a\xb7\tb\r\n");
    startSession(false);
    extraction::Conditions c = set()->conditions();
    QCOMPARE(c.prefixes, (StringList { "http://", "ttp://" }));
    QCOMPARE(c.middles, StringList {});
    QCOMPARE(c.suffixes, StringList { "\x81\x42" });
    QCOMPARE(set()->tableNames(), (StringList { "\x92\x75\x8a\xb7", "b" }));
    QVERIFY(set()->autoExpand());
    QCOMPARE(set()->lstCnv->item(0)->text(), QStringLiteral("置換"));
    QCOMPARE(set()->cbxSuffix->item(0)->text(), QStringLiteral("。"));

    // Ticking in the dialog is read by the next extraction.
    set()->cbxMiddle->item(0)->setCheckState(Qt::Checked);
    set()->cbxPrefix->item(0)->setCheckState(Qt::Unchecked);
    set()->ckAuto->setChecked(false);
    c = set()->conditions();
    QCOMPARE(c.prefixes, StringList { "ttp://" });
    QCOMPARE(c.middles, StringList { ".jpg" });
    QVERIFY(!set()->autoExpand());

    // The extraction command reads them: only .jpg and ttp:// tokens are kept.
    main()->setSourceText("http://a/b.jpg ttp://c x.png", false);
    main()->N7Click();
    QCOMPARE(main()->urlListItems(), (StringList { "http://a/b.jpg", "ttp://c" }));
}

void TstSet::startupRestore_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no lanzo.ini
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("listShown");
    QTest::addColumn<bool>("ctrlShown");
    QTest::newRow("defaults without lanzo.ini") << QByteArray() << 200 << true << false;
    QTest::newRow("stored values") << QByteArray("[WINDOW]\r\nLIST=321\r\nMENU2=0\r\nCTRL=1\r\n") << 321 << false
                                   << true;
    QTest::newRow("hexadecimal and bad values")
        << QByteArray("[window]\r\nlist=0x20\r\nMENU2=abc\r\nCTRL=2\r\n") << 32 << true << true;
}

void TstSet::startupRestore()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, width);
    QFETCH(bool, listShown);
    QFETCH(bool, ctrlShown);
    endSession();
    if (!ini.isEmpty()) writeConfigFile(home, "lanzo.ini", ini);
    startSession(false);
    QCOMPARE(main()->urlListWidth(), width);
    QCOMPARE(main()->urlListShown(), listShown);
    QCOMPARE(session().windows().ctrl->isVisible(), ctrlShown);
    QVERIFY(!set()->isVisible());
    QVERIFY(set()->cbxPrefix->count() == 0 && set()->lstCnv->count() == 0); // no set2.ini: empty lists
}

void TstSet::set2IniRoundTrip()
{
    func_save::SetDialogState state;
    state.prefix.items = { "http://", "\x83\x5c\x80", "x y" };
    state.prefix.checked = { true, false, true };
    state.middle.items = { "\x82\xa0" };
    state.middle.checked = { true };
    state.autoExpand = true;
    state.convert = { "\x92\x75\x8a\xb7", "", "t" };
    const std::string bytes = func_save::WriteSet2Ini(state);
    endSession();
    writeConfigFile(home, "set2.ini", QByteArray::fromStdString(bytes));
    startSession(false);
    QCOMPARE(func_save::WriteSet2Ini(set()->state()), bytes);
    QCOMPARE(set()->cbxPrefix->item(1)->checkState(), Qt::Unchecked);
    QCOMPARE(set()->cbxPrefix->item(2)->checkState(), Qt::Checked);
}

void TstSet::news_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("200: body with lone line ends") << 200 << QByteArray("line1\nline2\r\n\x82\xa0\r") << true;
    QTest::newRow("404 keeps the explanation") << 404 << QByteArray("not found") << false;
    QTest::newRow("500 keeps the explanation") << 500 << QByteArray("oops") << false;
}

void TstSet::news()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, replaced);
    PanelsHttpServer server;
    server.respond(status, body);
    qputenv("LANZO_NEWS_URL", server.url("/new.txt").toUtf8());
    const QString before = set()->mmNew->toPlainText();
    set()->PageControl1->setCurrentIndex(1);
    set()->show();
    QTest::mouseClick(set()->btnNews, Qt::LeftButton);
    QCOMPARE(set()->lbStatus->text(), QStringLiteral("status：%1").arg(status));
    if (replaced)
        QCOMPARE(set()->mmNew->toPlainText(), QStringLiteral("line1\nline2\nあ\n"));
    else
        QCOMPARE(set()->mmNew->toPlainText(), before);
    QCOMPARE(set()->btnNews->text(), QStringLiteral("最新情報"));
    QCOMPARE(server.requests().size(), 1);
    QVERIFY(server.requests().value(0).startsWith("GET /new.txt HTTP/1.1\r\n"));
}

QTEST_MAIN(TstSet)
#include "test_frm_main_set.moc"
