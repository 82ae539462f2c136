// The work file and named files: every command of the file menu from each state, the
// overwrite question and its answers, failed writes, the close question and dropped files.
#include "app/frm_main.h"
#include "base/file_io.h"
#include "support/window_test.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>

using Answer = UserPrompts::Answer;
Q_DECLARE_METATYPE(UserPrompts::Answer)

namespace
{

const QString kWorkTitle = QStringLiteral("Lanzo 作業用ファイル編集中");
const QString kOverwrite = QStringLiteral("ファイルを上書き保存しますか？");
const QString kClearWork = QStringLiteral("現在の作業用ファイルをクリアしてもよろしいですか？");

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

enum class Start { Work, WorkTyped, Named, NamedModified };

// A home with a work file, a named file old.txt and a file new.txt to open, and a session
// brought into the start state.
struct Fixture {
    const TempHome &home;
    std::unique_ptr<Session> session;
    QString dir;

    Fixture(const TempHome &home, Start start)
        : home(home)
    {
        std::filesystem::create_directories(home.paths().configDir);
        writeBytes(home.paths().workFile, "work");
        writeBytes(home.path("old.txt"), "named");
        writeBytes(home.path("new.txt"), "new\ntext");
        dir = QString::fromStdString(home.paths().home);
        session = std::make_unique<Session>(home);
        TfrmMain *main = session->main();
        if (start == Start::WorkTyped) main->setSourceText("typed", true);
        if (start == Start::Named || start == Start::NamedModified) {
            session->prompts.openFiles = { file("old.txt") };
            main->mnuOpenClick();
            session->prompts.clearRecord();
        }
        if (start == Start::NamedModified) main->setSourceText("edited", true);
    }
    QString file(const QString &name) const { return name.isEmpty() ? QString() : dir + QLatin1Char('/') + name; }
};

} // namespace

class TestMainFiles : public WindowTest
{
    Q_OBJECT
private slots:
    void fileStates_data();
    void fileStates();
    void closeQuestion_data();
    void closeQuestion();
    void dialogsRememberTheirChoice();
    void realDialogReportsTheChosenFilter_data();
    void realDialogReportsTheChosenFilter();
    void droppedFiles_data();
    void droppedFiles();
    void startupFile();
    void linkPage();
};

void TestMainFiles::fileStates_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QString>("dialogFile"); // "" cancels the dialog
    QTest::addColumn<bool>("blockOldFile"); // old.txt cannot be written
    QTest::addColumn<QString>("expectFile"); // the current file afterwards, "" = work file
    QTest::addColumn<QByteArray>("expectText");
    QTest::addColumn<bool>("expectModified");
    QTest::addColumn<QByteArray>("expectOld"); // old.txt afterwards
    QTest::addColumn<QStringList>("expectQuestions");
    QTest::addColumn<int>("expectErrors");

    const int work = int(Start::Work), typed = int(Start::WorkTyped), named = int(Start::Named),
              modified = int(Start::NamedModified);
    const QStringList none;
    const QStringList overwrite { kOverwrite };
    // clang-format off
    QTest::newRow("new, work, Yes") << work << "mnuNew" << QList<Answer>{Answer::Yes} << "" << false
        << "" << QByteArray() << false << QByteArray("named") << QStringList{kClearWork} << 0;
    QTest::newRow("new, work, No") << typed << "mnuNew" << QList<Answer>{Answer::No} << "" << false
        << "" << QByteArray("typed") << true << QByteArray("named") << QStringList{kClearWork} << 0;
    QTest::newRow("new, work, Cancel") << work << "mnuNew" << QList<Answer>{Answer::Cancel} << "" << false
        << "" << QByteArray("work") << false << QByteArray("named") << QStringList{kClearWork} << 0;
    QTest::newRow("new, named clean: no question") << named << "mnuNew" << QList<Answer>{} << "" << false
        << "" << QByteArray() << false << QByteArray("named") << none << 0;
    QTest::newRow("new, modified, Yes") << modified << "mnuNew" << QList<Answer>{Answer::Yes} << "" << false
        << "" << QByteArray() << false << QByteArray("edited") << overwrite << 0;
    QTest::newRow("new, modified, No") << modified << "mnuNew" << QList<Answer>{Answer::No} << "" << false
        << "" << QByteArray() << false << QByteArray("named") << overwrite << 0;
    QTest::newRow("new, modified, Cancel") << modified << "mnuNew" << QList<Answer>{Answer::Cancel} << "" << false
        << "old.txt" << QByteArray("edited") << true << QByteArray("named") << overwrite << 0;
    QTest::newRow("new, modified, Yes, write fails") << modified << "mnuNew" << QList<Answer>{Answer::Yes} << ""
        << true << "old.txt" << QByteArray("edited") << true << QByteArray("<missing>") << overwrite << 1;

    QTest::newRow("work file, after typing: no question") << typed << "mnuOpenWork" << QList<Answer>{} << "" << false
        << "" << QByteArray("work") << false << QByteArray("named") << none << 0;
    QTest::newRow("work file, modified, Yes") << modified << "mnuOpenWork" << QList<Answer>{Answer::Yes} << ""
        << false << "" << QByteArray("work") << false << QByteArray("edited") << overwrite << 0;
    QTest::newRow("work file, modified, Cancel") << modified << "mnuOpenWork" << QList<Answer>{Answer::Cancel} << ""
        << false << "old.txt" << QByteArray("edited") << true << QByteArray("named") << overwrite << 0;

    QTest::newRow("open, work") << typed << "mnuOpen" << QList<Answer>{} << "new.txt" << false
        << "new.txt" << QByteArray("new\r\ntext") << false << QByteArray("named") << none << 0;
    QTest::newRow("open, dialog cancelled") << typed << "mnuOpen" << QList<Answer>{} << "" << false
        << "" << QByteArray("typed") << true << QByteArray("named") << none << 0;
    QTest::newRow("open, missing file: nothing") << typed << "mnuOpen" << QList<Answer>{} << "missing.txt" << false
        << "" << QByteArray("typed") << true << QByteArray("named") << none << 0;
    QTest::newRow("open, modified, No, cancelled") << modified << "mnuOpen" << QList<Answer>{Answer::No} << ""
        << false << "old.txt" << QByteArray("edited") << true << QByteArray("named") << overwrite << 0;
    QTest::newRow("open, modified, Yes, cancelled") << modified << "mnuOpen" << QList<Answer>{Answer::Yes} << ""
        << false << "old.txt" << QByteArray("edited") << true << QByteArray("edited") << overwrite << 0;
    QTest::newRow("open, modified, Yes, opened") << modified << "mnuOpen" << QList<Answer>{Answer::Yes}
        << "new.txt" << false << "new.txt" << QByteArray("new\r\ntext") << false << QByteArray("edited") << overwrite
        << 0;
    QTest::newRow("open, modified, Yes, write fails") << modified << "mnuOpen" << QList<Answer>{Answer::Yes}
        << "new.txt" << true << "old.txt" << QByteArray("edited") << true << QByteArray("<missing>") << overwrite
        << 1;

    QTest::newRow("save as, work") << typed << "mnuSaveAs" << QList<Answer>{} << "saved.txt" << false
        << "saved.txt" << QByteArray("typed") << false << QByteArray("named") << none << 0;
    QTest::newRow("save as, cancelled") << typed << "mnuSaveAs" << QList<Answer>{} << "" << false
        << "" << QByteArray("typed") << true << QByteArray("named") << none << 0;
    QTest::newRow("save as, write fails") << typed << "mnuSaveAs" << QList<Answer>{} << "new.txt/x.txt" << false
        << "" << QByteArray("typed") << true << QByteArray("named") << none << 1;
    QTest::newRow("save, modified") << modified << "mnuSave" << QList<Answer>{} << "" << false
        << "old.txt" << QByteArray("edited") << false << QByteArray("edited") << none << 0;
    QTest::newRow("save, work: nothing") << typed << "mnuSave" << QList<Answer>{} << "" << false
        << "" << QByteArray("typed") << true << QByteArray("named") << none << 0;
    QTest::newRow("save, write fails") << modified << "mnuSave" << QList<Answer>{} << "" << true
        << "old.txt" << QByteArray("edited") << true << QByteArray("<missing>") << none << 1;
    // clang-format on
}

void TestMainFiles::fileStates()
{
    QFETCH(int, start);
    QFETCH(QString, command);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, dialogFile);
    QFETCH(bool, blockOldFile);
    QFETCH(QString, expectFile);
    QFETCH(QByteArray, expectText);
    QFETCH(bool, expectModified);
    QFETCH(QByteArray, expectOld);
    QFETCH(QStringList, expectQuestions);
    QFETCH(int, expectErrors);

    Fixture f(home, static_cast<Start>(start));
    Session &s = *f.session;
    FakePrompts &p = s.prompts;
    p.answers.assign(answers.begin(), answers.end());
    const bool usesDialog = command == QLatin1String("mnuOpen") || command == QLatin1String("mnuSaveAs");
    const bool dialogReached = usesDialog && (answers.isEmpty() || answers.first() != Answer::Cancel) && !blockOldFile;
    if (dialogReached) (command == QLatin1String("mnuOpen") ? p.openFiles : p.saveFiles) = { f.file(dialogFile) };
    if (blockOldFile) {
        std::filesystem::remove(f.home.path("old.txt"));
        std::filesystem::create_directories(f.home.path("old.txt"));
    }
    const std::string workBefore = readBytes(f.home.paths().workFile);

    s.action(command.toLatin1().constData())->trigger();

    QStringList asked;
    for (const FakePrompts::Question &q : p.questions) {
        asked << q.text;
        QCOMPARE(q.caption, QStringLiteral("ファイルの保存"));
    }
    QCOMPARE(asked, expectQuestions);
    QCOMPARE(p.errors.size(), expectErrors);
    QVERIFY2(p.unexpected.isEmpty(), qPrintable(p.unexpected.join(QLatin1Char(','))));
    QCOMPARE(int(p.openRequests.size() + p.saveRequests.size()), dialogReached ? 1 : 0);
    const QString expectPath = f.file(expectFile);
    QCOMPARE(s.main()->currentFileName(), expectPath);
    QCOMPARE(s.main()->windowTitle(), expectPath.isEmpty() ? kWorkTitle : QStringLiteral("Lanzo ") + expectPath);
    QCOMPARE(bytes(s.main()->sourceText()), expectText);
    QCOMPARE(s.main()->isModified(), expectModified);
    QCOMPARE(bytes(readBytes(f.home.path("old.txt"))), expectOld);
    // No file command ever writes the work file.
    QCOMPARE(readBytes(f.home.paths().workFile), workBefore);
    if (command == QLatin1String("mnuSaveAs") && !expectFile.isEmpty())
        QCOMPARE(bytes(readBytes(f.file(expectFile).toStdString())), expectText);
}

void TestMainFiles::closeQuestion_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<bool>("blockOldFile");
    QTest::addColumn<bool>("expectClosed");
    QTest::addColumn<int>("expectQuestions");
    QTest::addColumn<QByteArray>("expectOld");
    QTest::addColumn<QByteArray>("expectWork");

    const int typed = int(Start::WorkTyped), named = int(Start::Named), modified = int(Start::NamedModified);
    // clang-format off
    QTest::newRow("work file: no question, text kept") << typed << QList<Answer>{} << false << true << 0
        << QByteArray("named") << QByteArray("typed");
    QTest::newRow("named, clean: no question") << named << QList<Answer>{} << false << true << 0
        << QByteArray("named") << QByteArray("work");
    QTest::newRow("named, modified, Yes") << modified << QList<Answer>{Answer::Yes} << false << true << 1
        << QByteArray("edited") << QByteArray("work");
    QTest::newRow("named, modified, No") << modified << QList<Answer>{Answer::No} << false << true << 1
        << QByteArray("named") << QByteArray("work");
    QTest::newRow("named, modified, Cancel") << modified << QList<Answer>{Answer::Cancel} << false << false << 1
        << QByteArray("named") << QByteArray("work");
    QTest::newRow("named, modified, Yes, write fails") << modified << QList<Answer>{Answer::Yes} << true << false
        << 1 << QByteArray("<missing>") << QByteArray("work");
    // clang-format on
}

void TestMainFiles::closeQuestion()
{
    QFETCH(int, start);
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, blockOldFile);
    QFETCH(bool, expectClosed);
    QFETCH(int, expectQuestions);
    QFETCH(QByteArray, expectOld);
    QFETCH(QByteArray, expectWork);

    Fixture f(home, static_cast<Start>(start));
    Session &s = *f.session;
    s.prompts.answers.assign(answers.begin(), answers.end());
    if (blockOldFile) {
        std::filesystem::remove(f.home.path("old.txt"));
        std::filesystem::create_directories(f.home.path("old.txt"));
    }
    const std::string textBefore = s.main()->sourceText();
    QCOMPARE(s.close(), expectClosed);
    QCOMPARE(int(s.prompts.questions.size()), expectQuestions);
    QCOMPARE(bytes(readBytes(f.home.path("old.txt"))), expectOld);
    QCOMPARE(bytes(readBytes(f.home.paths().workFile)), expectWork);
    // A refused close writes nothing at all, not even the settings.
    QCOMPARE(fileExists(f.home.paths().listFile), expectClosed);
    QCOMPARE(fileExists(f.home.paths().setIni), expectClosed);
    if (!expectClosed) {
        QVERIFY(s.main()->isVisible());
        QCOMPARE(s.main()->sourceText(), textBefore);
        QVERIFY(s.main()->isModified());
    }
}

void TestMainFiles::realDialogReportsTheChosenFilter_data()
{
    QTest::addColumn<int>("index");
    for (const int index : { 0, 1, 2 })
        QTest::addRow("filter %d", index) << index;
}

// The real dialog reports the caption it shows, not the filter it was given: the choice is still
// found, and the next dialog opens on it.
void TestMainFiles::realDialogReportsTheChosenFilter()
{
    QFETCH(int, index);
    const QString pipe = QStringLiteral("テキスト(*.txt)|*.txt|HTML(*.htm,*.html)|*.htm;*.html|すべて(*.*)|*.*");
    const QStringList filters = QtFilterList(pipe);
    QtUserPrompts prompts;
    int filterIndex = 0, shownIndex = -1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            shownIndex = NameFilterIndex(filters, dialog->selectedNameFilter());
            dialog->selectNameFilter(filters.at(index));
            static_cast<QDialog *>(dialog)->done(QDialog::Accepted); // accept() would check the file
        }
    });
    timer.start(20);
    prompts.getOpenFileName(nullptr, pipe, filterIndex, QDir::tempPath());
    prompts.getSaveFileName(nullptr, pipe, filterIndex, QDir::tempPath()); // the same dialog code
    QCOMPARE(filterIndex, index);
    QCOMPARE(shownIndex, index);
}

void TestMainFiles::dialogsRememberTheirChoice()
{
    Fixture f(home, Start::Work);
    Session &s = *f.session;
    FakePrompts &p = s.prompts;
    p.chooseFilterIndex = 1;
    p.openFiles = { f.file("new.txt") };
    s.main()->mnuOpenClick();
    p.chooseFilterIndex = -1;
    p.openFiles = { QString() };
    s.main()->mnuOpenClick();
    QCOMPARE(int(p.openRequests.size()), 2);
    QCOMPARE(p.openRequests[0].filter,
        QStringLiteral(
            "テキストファイル(*.txt)|*.txt|HTMLファイル(*.htm,*.html)|*.htm;*.html|すべてのファイル(*.*)|*.*"));
    QCOMPARE(p.openRequests[0].filterIndex, 0);
    QCOMPARE(p.openRequests[1].filterIndex, 1);
    QCOMPARE(p.openRequests[1].initialPath, f.file("new.txt"));

    p.saveFiles = { f.file("saved.txt") };
    s.main()->mnuSaveAsClick();
    QCOMPARE(p.saveRequests.back().filter,
        QStringLiteral(
            "テキストファイル(*.txt)|*.txt|htmlファイル(*.htm,*.html)|*.htm;*.html|すべてのファイル(*.*)|*.*"));
    p.saveFiles = { QString() };
    s.main()->mnuSaveAsClick();
    QCOMPARE(p.saveRequests.back().initialPath, f.file("saved.txt"));
}

void TestMainFiles::droppedFiles_data()
{
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QString>("target"); // "memo", "list" or "window"
    QTest::addColumn<QString>("expectFile");
    QTest::newRow("three files on the editor: the last") << QStringList { "old.txt", "new.txt", "third.txt" } << "memo"
                                                         << "third.txt";
    QTest::newRow("one file on the list") << QStringList { "new.txt" } << "list"
                                          << "new.txt";
    QTest::newRow("on the menu bar") << QStringList { "new.txt" } << "window"
                                     << "new.txt";
    QTest::newRow("a folder: nothing") << QStringList { "new.txt", "folder" } << "memo"
                                       << "";
    QTest::newRow("a missing file: nothing") << QStringList { "gone.txt" } << "list"
                                             << "";
}

void TestMainFiles::droppedFiles()
{
    QFETCH(QStringList, dropped);
    QFETCH(QString, target);
    QFETCH(QString, expectFile);
    Fixture f(home, Start::NamedModified);
    Session &s = *f.session;
    writeBytes(f.home.path("third.txt"), "third");
    std::filesystem::create_directories(f.home.path("folder"));
    s.prompts.answers = { Answer::No };

    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &name : dropped)
        urls << QUrl::fromLocalFile(f.file(name));
    mime.setUrls(urls);
    QWidget *widget = target == QLatin1String("memo") ? s.memo()->viewport()
        : target == QLatin1String("list")             ? s.list()->viewport()
                                                      : static_cast<QWidget *>(s.main());
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    QVERIFY(drop.isAccepted());

    // The overwrite question comes after the drop has been released, for a folder too.
    QTRY_COMPARE(int(s.prompts.questions.size()), 1);
    QCOMPARE(s.prompts.questions.front().text, kOverwrite);
    const QString expectPath = expectFile.isEmpty() ? f.file("old.txt") : f.file(expectFile);
    QCOMPARE(s.main()->currentFileName(), expectPath);
    QCOMPARE(s.main()->isModified(), expectFile.isEmpty());
    QVERIFY(s.prompts.errors.isEmpty());
}

void TestMainFiles::startupFile()
{
    // A file named on the command line opens like a dropped one, once the event loop runs.
    Fixture f(home, Start::Work);
    Session &s = *f.session;
    writeBytes(f.home.path("third.txt"), "third\n");
    s.main()->openStartupFile(f.file("third.txt"));
    QTRY_COMPARE(s.main()->currentFileName(), f.file("third.txt"));
    QCOMPARE(s.main()->sourceText(), std::string("third\r\n"));
    QVERIFY(s.prompts.questions.empty());
}

void TestMainFiles::linkPage()
{
    Fixture f(home, Start::Work);
    Session &s = *f.session;
    s.main()->setUrlListItems({ "a.html", "\x82\xa0" });
    s.prompts.saveFiles = { f.file("links.html") };
    s.action("mnuLinkPage")->trigger();
    QCOMPARE(s.prompts.saveRequests.back().filter, QStringLiteral("htmlﾌｧｲﾙ(*.html)|*.html|すべてのﾌｧｲﾙ(*.*)|*.*"));
    QCOMPARE(QFileInfo(s.prompts.saveRequests.back().initialPath).fileName(), QStringLiteral("link.html"));
    const std::string page = readBytes(f.home.path("links.html"));
    QVERIFY(page.find("<li><a href=\"a.html\" target=\"_blank\">a.html</a></li>\r\n") != std::string::npos);
    QVERIFY(page.find("\x82\xa0") != std::string::npos);
    // A failed write is reported; the list never changes.
    s.prompts.saveFiles = { f.file("new.txt/links.html") };
    s.action("mnuLinkPage")->trigger();
    QCOMPARE(s.prompts.errors.size(), 1);
    QVERIFY(s.prompts.errors.first().contains(QStringLiteral("new.txt/links.html")));
    QCOMPARE(s.main()->urlListItems().size(), std::size_t(2));
}

QTEST_MAIN(TestMainFiles)
#include "test_frm_main_files.moc"
