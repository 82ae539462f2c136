// Start-up and exit of the main window: defaults, what the exit writes, what the next start
// restores, and exits whose writes fail.
#include "app/frm_main.h"
#include "base/file_io.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "settings/func_save.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "support/window_test.h"

#include <QCheckBox>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QtTest>
#include <filesystem>

namespace
{

const QString kWorkTitle = QStringLiteral("Lanzo 作業用ファイル編集中");

QByteArray bytes(std::string_view s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QList<QByteArray> toList(const func_token::StringList &items)
{
    QList<QByteArray> list;
    for (const std::string &item : items)
        list << bytes(item);
    return list;
}

// The fixed entries of a conversion submenu: the URL submenu, the code submenu, a separator.
constexpr int kFixedConvertEntries = 3;

} // namespace

class TestMainStartup : public WindowTest
{
    Q_OBJECT
private slots:
    void firstStartCreatesConfigAndShowsDefaults();
    void exitWritesEveryFileInOrder();
    void restoresGeometry_data();
    void restoresGeometry();
    void restoresBuffersByteForByte_data();
    void restoresBuffersByteForByte();
    void roundTripThroughExitAndStart();
    void unreadableWorkFileStopsTheSetUp();
    void oversizedSettingsFileIsSetAside_data();
    void oversizedSettingsFileIsSetAside();
    void exitWriteFailure_data();
    void exitWriteFailure();
};

void TestMainStartup::firstStartCreatesConfigAndShowsDefaults()
{
    QVERIFY(!file_io::DirectoryExists(home.paths().configDir));
    Session s(home);
    QVERIFY(file_io::DirectoryExists(home.paths().configDir));
    QCOMPARE(s.main()->size(), QSize(500, 500));
    QCOMPARE(s.main()->pos(), QPoint(0, 0));
    QCOMPARE(s.main()->windowTitle(), kWorkTitle);
    QVERIFY(s.main()->sourceText().empty());
    QVERIFY(s.main()->urlListItems().empty());
    QVERIFY(!s.main()->isModified());
    QVERIFY(s.main()->urlListShown());
    QCOMPARE(s.main()->urlListWidth(), 200);
    QCOMPARE(s.splitter()->sizes().value(1), 200);
    QVERIFY(!s.main()->stayOnTop());
    QVERIFY(!s.windows().ctrl->isVisible());
    QVERIFY(!s.windows().set->isVisible());
    for (const char *name : { "N69", "N70", "N72", "N73" })
        QCOMPARE(s.menu(name)->actions().size(), kFixedConvertEntries);
    QVERIFY(s.prompts.errors.isEmpty());
}

void TestMainStartup::exitWritesEveryFileInOrder()
{
    Session s(home);
    const std::string text = std::string(sjis::A) + "\r\nline2";
    s.main()->setSourceText(text, true);
    s.main()->setUrlListItems({ "http://x/", "", std::string(sjis::KA) });
    s.main()->setUrlListWidth(150);
    s.windows().ctrl->move(40, 50);
    s.windows().ctrl->ckToSjis->setChecked(true);
    QVERIFY(s.close());

    const app_paths::AppPaths &p = home.paths();
    const std::vector<std::string> order { p.setIni, p.set2Ini, p.windowFile, p.workFile, p.listFile };
    QCOMPARE(s.main()->exitWriteLog(), order);
    QCOMPARE(bytes(readBytes(p.workFile)), bytes(text));
    QCOMPARE(bytes(readBytes(p.listFile)), bytes("http://x/\r\n\r\n\x83\x4a\r\n"));
    QCOMPARE(bytes(readBytes(p.setIni)), bytes(func_save::WriteSetIni(s.windows().ctrl->state())));
    QCOMPARE(bytes(readBytes(p.set2Ini)), bytes(func_save::WriteSet2Ini(s.windows().set->state())));

    const ini_file::IniFile ini(readBytes(p.windowFile));
    QCOMPARE(ini.ReadInteger("WINDOW", "WIDTH", -1), 500L);
    QCOMPARE(ini.ReadInteger("WINDOW", "HEIGHT", -1), 500L);
    QCOMPARE(ini.ReadInteger("WINDOW", "TOP", -1), 0L);
    QCOMPARE(ini.ReadInteger("WINDOW", "LEFT", -1), 0L);
    QCOMPARE(ini.ReadInteger("WINDOW", "LIST", -1), 150L);
    QCOMPARE(ini.ReadInteger("WINDOW2", "TOP", -1), 50L);
    QCOMPARE(ini.ReadInteger("WINDOW2", "LEFT", -1), 40L);
    QCOMPARE(ini.ReadString("SYSTEM", "PREFIX", "none"), std::string());
    QCOMPARE(ini.ReadString("SYSTEM", "SUFFIX", "none"), std::string());
    QCOMPARE(ini.ReadString("SYSTEM", "MIDDLE", "none"), std::string());
    QCOMPARE(ini.ReadBool("WINDOW", "MENU2", false), true);
    QCOMPARE(ini.ReadBool("WINDOW", "CTRL", true), false);
    QCOMPARE(ini.ReadBool("WINDOW", "ONTOP", true), false);
    QCOMPARE(ini.ReadBool("INTERNET", "WEB", true), false);
    QCOMPARE(ini.ReadBool("INTERNET", "TOSJIS", false), true);
}

void TestMainStartup::restoresGeometry_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("stored") << QByteArray("[WINDOW]\r\nWIDTH=640\r\nHEIGHT=480\r\nTOP=30\r\nLEFT=20\r\n")
                            << QRect(20, 30, 640, 480);
    QTest::newRow("narrower than the minimum")
        << QByteArray("[WINDOW]\r\nWIDTH=300\r\nHEIGHT=50\r\n") << QRect(0, 0, 500, 100);
    QTest::newRow("not a number") << QByteArray("[window]\r\nwidth=abc\r\nHeight=0x258\r\n") << QRect(0, 0, 500, 600);
    QTest::newRow("no file") << QByteArray() << QRect(0, 0, 500, 500);
    // The offscreen screen is 800 by 800.
    QTest::newRow("on a screen since unplugged")
        << QByteArray("[WINDOW]\r\nWIDTH=640\r\nHEIGHT=480\r\nTOP=3000\r\nLEFT=5000\r\n") << QRect(160, 320, 640, 480);
    QTest::newRow("larger than the screen")
        << QByteArray("[WINDOW]\r\nWIDTH=2147483647\r\nHEIGHT=99999\r\nTOP=30\r\nLEFT=20\r\n") << QRect(0, 0, 800, 800);
}

void TestMainStartup::restoresGeometry()
{
    QFETCH(QByteArray, ini);
    QFETCH(QRect, expected);
    std::filesystem::create_directories(home.paths().configDir);
    if (!ini.isEmpty()) writeBytes(home.paths().windowFile, ini.toStdString());
    Session s(home);
    QCOMPARE(QRect(s.main()->pos(), s.main()->size()), expected);
}

void TestMainStartup::restoresBuffersByteForByte_data()
{
    QTest::addColumn<QByteArray>("editFile");
    QTest::addColumn<QByteArray>("listFile");
    QTest::addColumn<QByteArray>("expectedText");
    QTest::addColumn<QList<QByteArray>>("expectedItems");
    QTest::newRow("japanese") << QByteArray("\x93\xfa\x96\x7b\r\n\x83\x41") << QByteArray("\x82\xa0\r\nhttp://x/\r\n")
                              << QByteArray("\x93\xfa\x96\x7b\r\n\x83\x41")
                              << QList<QByteArray> { "\x82\xa0", "http://x/" };
    QTest::newRow("lone LF and CR become CR LF") << QByteArray("a\nb\rc\n\rd") << QByteArray("x\n")
                                                 << QByteArray("a\r\nb\r\nc\r\n\r\nd") << QList<QByteArray> { "x" };
    QTest::newRow("empty items in the middle and at the end")
        << QByteArray() << QByteArray("a\r\n\r\nb\r\n\r\n") << QByteArray() << QList<QByteArray> { "a", "", "b", "" };
    QTest::newRow("one empty item") << QByteArray("") << QByteArray("\r\n") << QByteArray() << QList<QByteArray> { "" };
    QTest::newRow("text ends at a NUL") << QByteArray("ab\0cd", 5) << QByteArray("a\r\nb\0c\r\n", 8) << QByteArray("ab")
                                        << QList<QByteArray> { "a", "b" };
}

void TestMainStartup::restoresBuffersByteForByte()
{
    QFETCH(QByteArray, editFile);
    QFETCH(QByteArray, listFile);
    QFETCH(QByteArray, expectedText);
    QFETCH(QList<QByteArray>, expectedItems);
    std::filesystem::create_directories(home.paths().configDir);
    writeBytes(home.paths().workFile, editFile.toStdString());
    writeBytes(home.paths().listFile, listFile.toStdString());
    Session s(home);
    QCOMPARE(bytes(s.main()->sourceText()), expectedText);
    QCOMPARE(toList(s.main()->urlListItems()), expectedItems);
    QVERIFY(!s.main()->isModified());
    QVERIFY(s.prompts.errors.isEmpty());
}

void TestMainStartup::roundTripThroughExitAndStart()
{
    const std::string text = std::string(sjis::KANJI) + "\r\n\r\n" + std::string(sjis::TAKA)
        + " \x81\x40"
          "end";
    const func_token::StringList items { "", std::string(sjis::A), "http://x/[01-03].jpg", "" };
    {
        Session first(home);
        first.main()->setSourceText(text, true);
        first.main()->setUrlListItems(items);
        first.main()->resize(620, 410);
        first.main()->move(15, 25);
        first.main()->setUrlListWidth(0);
        first.main()->setUrlListShown(false);
        first.main()->OnTopClick();
        first.main()->mnuCtrlClick();
        QVERIFY(first.close());
    }
    Session second(home);
    QCOMPARE(bytes(second.main()->sourceText()), bytes(text));
    QCOMPARE(toList(second.main()->urlListItems()), toList(items));
    QCOMPARE(QRect(second.main()->pos(), second.main()->size()), QRect(15, 25, 620, 410));
    QVERIFY(!second.main()->urlListShown());
    QVERIFY(!second.list()->isVisible());
    QCOMPARE(second.main()->urlListWidth(), 0);
    QCOMPARE(second.main()->windowTitle(), kWorkTitle);
    QVERIFY(second.main()->stayOnTop());
    QVERIFY(second.main()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(second.windows().ctrl->isVisible());
}

void TestMainStartup::unreadableWorkFileStopsTheSetUp()
{
    std::filesystem::create_directories(home.paths().workFile); // a folder where the file should be
    writeBytes(home.paths().listFile, "a\r\n");
    std::filesystem::create_directories(home.paths().tableDir);
    writeBytes(home.path("table/t.tbl"), "a\tb\r\n");
    Session s(home);
    QCOMPARE(s.prompts.errors.size(), 1);
    QVERIFY(s.prompts.errors.first().contains(QStringLiteral("edit.txt")));
    QVERIFY(s.main()->urlListItems().empty());
    QCOMPARE(s.menu("N69")->actions().size(), kFixedConvertEntries);
    QVERIFY(s.main()->isVisible());
    // Neither buffer was loaded, so the exit writes neither file (a folder would be reported).
    QVERIFY(s.close());
    QCOMPARE(bytes(readBytes(home.paths().listFile)), QByteArray("a\r\n"));
    // Once something has been put into the list, it is written.
    Session again(home);
    again.main()->appendUrlListItems({ "new" });
    QVERIFY(again.close());
    QCOMPARE(bytes(readBytes(home.paths().listFile)), QByteArray("new\r\n"));
}

void TestMainStartup::oversizedSettingsFileIsSetAside_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lanzo.ini of blank lines")
        << "lanzo.ini"
        << QByteArray(settings_file::kMaxSettingsFileSize + 2, '\n').replace(0, 18, "[WINDOW]\nWIDTH=900");
    const QByteArray values(settings_file::kMaxSettingsValues + 1, '\t');
    QTest::newRow("set.ini with too many values") << "set.ini"
                                                  << "URL\thttp://kept/" + values;
    QTest::newRow("set2.ini with too many values") << "set2.ini"
                                                   << "Prefix\t1\thttp://" + values;
}

// The defaults apply, the user hears once where the file went, and the exit writes a new one
// beside it.
void TestMainStartup::oversizedSettingsFileIsSetAside()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    const std::string path = home.path("config/" + file.toStdString());
    std::filesystem::create_directories(home.paths().configDir);
    writeBytes(path, bytes.toStdString());
    Session s(home);
    QCOMPARE(s.prompts.errors.size(), 1);
    QVERIFY2(s.prompts.errors.first().contains(file + QStringLiteral(".bad")), qPrintable(s.prompts.errors.first()));
    QCOMPARE(s.main()->width(), 500);
    QCOMPARE(s.windows().ctrl->urlText(), std::string());
    QVERIFY(s.windows().set->conditions().prefixes.empty());
    QVERIFY(s.close());
    QVERIFY(readBytes(path + ".bad") == bytes.toStdString());
    QVERIFY(readBytes(path).size() < 1000);
}

void TestMainStartup::exitWriteFailure_data()
{
    QTest::addColumn<QString>("blocked"); // what stands in the way
    QTest::addColumn<bool>("closeAnyway");
    QTest::addColumn<QStringList>("failedFiles");
    QTest::addColumn<bool>("listWritten");
    QTest::newRow("set.ini blocked, keep open") << "set.ini" << false << QStringList { "set.ini" } << true;
    QTest::newRow("list.txt blocked, keep open") << "list.txt" << false << QStringList { "list.txt" } << false;
    QTest::newRow("set.ini blocked, close anyway") << "set.ini" << true << QStringList { "set.ini" } << true;
    QTest::newRow("config is a file") << "config" << false
                                      << QStringList { "set.ini", "set2.ini", "lanzo.ini", "edit.txt", "list.txt" }
                                      << false;
}

void TestMainStartup::exitWriteFailure()
{
    QFETCH(QString, blocked);
    QFETCH(bool, closeAnyway);
    QFETCH(QStringList, failedFiles);
    QFETCH(bool, listWritten);
    Session s(home);
    const std::string text = "kept text";
    s.main()->setSourceText(text, true);
    s.main()->setUrlListItems({ "kept item" });
    const app_paths::AppPaths &p = home.paths();
    if (blocked == QLatin1String("config")) {
        std::filesystem::remove_all(p.configDir);
        writeBytes(p.configDir, "a file, not a folder");
    } else {
        // A folder under the file's name: the file cannot be replaced.
        std::filesystem::create_directories(file_io::JoinPath(p.configDir, blocked.toStdString()));
    }
    s.prompts.closeAnswers = { closeAnyway };

    QCOMPARE(s.close(), closeAnyway);
    QCOMPARE(s.main()->isVisible(), !closeAnyway);
    // Every write was tried, and one message names every file that failed with a reason.
    QCOMPARE(s.main()->exitWriteLog().size(), std::size_t(5));
    QCOMPARE(s.prompts.closeQuestions.size(), 1);
    const QString message = s.prompts.closeQuestions.first();
    for (const QString &file : failedFiles)
        QVERIFY2(message.contains(QStringLiteral("/config/") + file), qPrintable(message));
    QCOMPARE(message.count(QStringLiteral("/config/")), failedFiles.size());
    if (listWritten) QCOMPARE(bytes(readBytes(p.listFile)), QByteArray("kept item\r\n"));
    // Both buffers are intact for another try.
    QCOMPARE(bytes(s.main()->sourceText()), bytes(text));
    QCOMPARE(s.main()->urlListItems(), func_token::StringList { "kept item" });
}

QTEST_MAIN(TestMainStartup)
#include "test_frm_main_startup.moc"
