// The progress dialogs: worker life, stop button, final bar state, the three jobs' results.
#include "base/frm_job_dialog.h"
#include "extract/extraction.h"
#include "extract/frm_ext_html.h"
#include "extract/frm_extraction.h"
#include "tables/frm_cnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

namespace
{

// A dialog that runs any job, to drive the shared machinery directly.
class ProbeDialog : public JobDialog
{
public:
    ProbeDialog()
        : JobDialog(nullptr, QStringLiteral("中止"))
    {
    }
    bool start(std::function<void(job_progress::JobProgress &)> job) { return runJob(std::move(job)); }
};

// Waits in the worker until the stop flag is set (or a safety limit passes).
void waitForStop(job_progress::JobProgress &progress)
{
    progress.setCaption("待機中");
    progress.setMaximum(100);
    for (int i = 0; i < 5000 && !progress.stopRequested(); ++i) {
        progress.setPosition(i % 100);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (progress.stopRequested()) progress.setPosition(0);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Presses the stop button through the mouse as soon as the dialog's event loop runs.
void pressStopSoon(JobDialog &dialog, int times = 1)
{
    QTimer::singleShot(10, &dialog, [&dialog, times] {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(dialog.stopButton(), Qt::LeftButton);
    });
}

} // namespace

class TstJobs : public QObject
{
    Q_OBJECT
private slots:
    void dialogFrame_data();
    void dialogFrame();
    void stopEndsWaitingJobQuickly();
    void stopPressedTwiceOrAfterTheEndChangesNothing();
    void escapeAndCloseDoNotEndARunningJob();
    void failingJobEndsLikeAStop();
    void everyRunGetsItsOwnWorker();
    void barAndCaptionFollowTheJob();
    void extractionResults_data();
    void extractionResults();
    void extractionStopAppendsNothing();
    void linkExtractionAndItsStop();
    void tableConversion_data();
    void tableConversion();
    void tableConversionStopKeepsInput();
};

void TstJobs::dialogFrame_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("barName");
    QTest::addColumn<QString>("buttonName");
    QTest::newRow("extraction") << "extraction"
                                << "barExt"
                                << "btnStop";
    QTest::newRow("links") << "links"
                           << "barExtHtml"
                           << "Button1";
    QTest::newRow("tables") << "tables"
                            << "BarCnv"
                            << "Button1";
}

void TstJobs::dialogFrame()
{
    QFETCH(QString, kind);
    QFETCH(QString, barName);
    QFETCH(QString, buttonName);
    std::unique_ptr<JobDialog> dialog;
    if (kind == "extraction")
        dialog = std::make_unique<TfrmExtraction>();
    else if (kind == "links")
        dialog = std::make_unique<TfrmExtHtml>();
    else
        dialog = std::make_unique<TfrmCnv>();

    QCOMPARE(dialog->bar()->objectName(), barName);
    QCOMPARE(dialog->stopButton()->objectName(), buttonName);
    QCOMPARE(dialog->stopButton()->text(), QStringLiteral("中止"));
    QCOMPARE(dialog->size(), QSize(322, 73));
    QCOMPARE(dialog->bar()->size(), QSize(320, 23));
    QCOMPARE(dialog->stopButton()->size(), QSize(75, 25));
    const QRect button = dialog->stopButton()->geometry();
    QVERIFY(std::abs(button.left() - (322 - 1 - button.right())) <= 1); // centred
    QVERIFY(dialog->isModal());
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(flags & Qt::CustomizeWindowHint);
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & Qt::WindowSystemMenuHint));
    QVERIFY(!dialog->isVisible());
}

void TstJobs::stopEndsWaitingJobQuickly()
{
    ProbeDialog dialog;
    QSignalSpy finished(&dialog, &JobDialog::jobFinished);
    pressStopSoon(dialog);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(dialog.start(waitForStop));
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(dialog.progress()->stopRequested());
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isRunning());
    QCOMPARE(dialog.bar()->value(), 0); // a stopped job puts the bar back to 0
}

void TstJobs::stopPressedTwiceOrAfterTheEndChangesNothing()
{
    ProbeDialog dialog;
    pressStopSoon(dialog, 2);
    QVERIFY(dialog.start(waitForStop));
    QVERIFY(!dialog.isRunning());

    // After a run that ended on its own, a late press does not touch its progress.
    QVERIFY(dialog.start([](job_progress::JobProgress &p) {
        p.setMaximum(3);
        p.setPosition(3);
    }));
    dialog.stopButton()->click();
    QVERIFY(!dialog.progress()->stopRequested());
    QCOMPARE(dialog.bar()->value(), 3);
}

void TstJobs::escapeAndCloseDoNotEndARunningJob()
{
    ProbeDialog dialog;
    std::atomic<bool> stillShownAfterEscape { false };
    QTimer::singleShot(20, &dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        stillShownAfterEscape = dialog.isVisible() && dialog.isRunning();
        dialog.stopButton()->click();
    });
    dialog.start(waitForStop);
    QVERIFY(stillShownAfterEscape);
}

void TstJobs::failingJobEndsLikeAStop()
{
    ProbeDialog dialog;
    QSignalSpy finished(&dialog, &JobDialog::jobFinished);
    const bool ok = dialog.start([](job_progress::JobProgress &p) {
        p.setMaximum(10);
        p.setPosition(5);
        throw std::runtime_error("broken");
    });
    QVERIFY(!ok);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.bar()->value(), 0);

    // The dialog is usable again afterwards.
    QVERIFY(dialog.start([](job_progress::JobProgress &) {}));
}

void TstJobs::everyRunGetsItsOwnWorker()
{
    // Thread ids may be reused once a thread has ended; a thread-local counter may not.
    ProbeDialog dialog;
    static thread_local int runsOnThisThread = 0;
    std::vector<int> seen;
    std::vector<bool> onUiThread;
    const std::thread::id ui = std::this_thread::get_id();
    const auto job = [&](job_progress::JobProgress &) {
        seen.push_back(++runsOnThisThread);
        onUiThread.push_back(std::this_thread::get_id() == ui);
    };
    QVERIFY(dialog.start(job));
    QVERIFY(dialog.start(job));
    QCOMPARE(dialog.runCount(), 2);
    QCOMPARE(seen, (std::vector<int> { 1, 1 }));
    QCOMPARE(onUiThread, (std::vector<bool> { false, false }));
}

void TstJobs::barAndCaptionFollowTheJob()
{
    ProbeDialog dialog;
    int seenMaximum = -1;
    QString seenTitle;
    dialog.start([&](job_progress::JobProgress &p) {
        p.setCaption("抽出中");
        p.setMaximum(1000);
        for (int i = 1; i <= 1000; ++i) {
            p.setPosition(i);
            if (i == 500) {
                // Give the timer a few rounds to copy the values across.
                std::this_thread::sleep_for(std::chrono::milliseconds(4 * JobDialog::kRefreshMs));
                QMetaObject::invokeMethod(
                    &dialog,
                    [&] {
                        seenMaximum = dialog.bar()->maximum();
                        seenTitle = dialog.windowTitle();
                    },
                    Qt::BlockingQueuedConnection);
            }
        }
    });
    QCOMPARE(seenMaximum, 1000);
    QCOMPARE(seenTitle, QStringLiteral("抽出中"));
    QCOMPARE(dialog.bar()->maximum(), 1000);
    QCOMPARE(dialog.bar()->value(), 1000); // the final refresh shows the last step
}

void TstJobs::extractionResults_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QStringList>("urls");
    QTest::newRow("empty text closes at once") << QByteArray() << QByteArray("http://") << QStringList();
    QTest::newRow("two lines, quotes and apostrophes")
        << QByteArray("<a href=\"http://x/a.jpg\">pic</a>\r\nsee http://x/b.html, 'ok'") << QByteArray("http://")
        << QStringList { "http://x/a.jpg", "http://x/b.html," };
    QTest::newRow("Japanese text around an address")
        << QByteArray("\x82\xa0 http://x/\x82\xa2 \x82\xa4") << QByteArray("http://")
        << QStringList { QString::fromLatin1("http://x/\x82\xa2") };
}

void TstJobs::extractionResults()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, prefix);
    QFETCH(QStringList, urls);
    TfrmExtraction dialog;
    extraction::Conditions conditions;
    conditions.prefixes.push_back(prefix.toStdString());
    QElapsedTimer clock;
    clock.start();
    const extraction::ExtractionResult result = dialog.run(text.toStdString(), conditions, {});
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!result.stopped);
    QStringList got;
    for (const std::string &u : result.urls)
        got << QString::fromLatin1(u.data(), static_cast<qsizetype>(u.size()));
    QCOMPARE(got, urls);
    // The bar ends on the step count of the scan: the prepared text's byte length.
    const auto length = static_cast<int>(extraction::PrepareText(text.toStdString()).size());
    QCOMPARE(dialog.barExt()->maximum(), length);
    QCOMPARE(dialog.barExt()->value(), length);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("抽出中"));
}

void TstJobs::extractionStopAppendsNothing()
{
    TfrmExtraction dialog;
    extraction::Conditions conditions;
    conditions.prefixes.push_back("");
    std::string big;
    for (int i = 0; i < 400000; ++i)
        big += "http://example.com/page \r\n";
    pressStopSoon(dialog);
    const extraction::ExtractionResult result = dialog.run(big, conditions, {});
    QVERIFY(result.stopped);
    QVERIFY(result.urls.empty());
    QCOMPARE(dialog.barExt()->value(), 0);

    // The same dialog runs again with a fresh worker and completes.
    const extraction::ExtractionResult again = dialog.run("http://a http://b", conditions, {});
    QVERIFY(!again.stopped);
    QCOMPARE(again.urls.size(), std::size_t(2));
    QCOMPARE(dialog.runCount(), 2);
}

void TstJobs::linkExtractionAndItsStop()
{
    TfrmExtHtml dialog;
    const std::string html = "<a href=\"a.html\">x</a>\r\n<img\r\n SRC=b.gif>";
    const html_links::LinksResult result = dialog.run(html);
    QVERIFY(!result.stopped);
    QCOMPARE(result.links, (func_token::StringList { "a.html", "b.gif" }));
    const auto length = static_cast<int>(html_links::PrepareHtmlText(html).size());
    QCOMPARE(dialog.barExtHtml()->value(), length);

    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += "<a href=\"http://example.com/\">link</a>\r\n";
    pressStopSoon(dialog);
    const html_links::LinksResult stopped = dialog.run(big);
    QVERIFY(stopped.stopped);
    QVERIFY(stopped.links.empty());
    QCOMPARE(dialog.barExtHtml()->value(), 0);
}

void TstJobs::tableConversion_data()
{
    QTest::addColumn<QByteArray>("table"); // empty: no table file at all
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("pairs chain in order") << QByteArray("a\tb\r\nb\td\r\n") << QByteArray("ab") << QByteArray("dd");
    QTest::newRow("inserted text is not rescanned") << QByteArray("x\txx\r\n") << QByteArray("x") << QByteArray("xx");
    QTest::newRow("case matters") << QByteArray("abc\tz\r\n") << QByteArray("ABC") << QByteArray("ABC");
    QTest::newRow("missing table still completes") << QByteArray() << QByteArray("ab") << QByteArray("ab");
    QTest::newRow("Japanese pair") << QByteArray("\x82\xa0\t\x83\x41\r\n") << QByteArray("x\x82\xa0y")
                                   << QByteArray("x\x83\x41y");
}

void TstJobs::tableConversion()
{
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, result);
    QTemporaryDir dir;
    if (!table.isEmpty()) writeFile(dir.filePath("t.tbl"), table);
    TfrmCnv dialog;
    const TfrmCnv::Outcome outcome = dialog.run(input.toStdString(), "t", dir.path().toStdString());
    QVERIFY(outcome.completed);
    QCOMPARE(QByteArray::fromStdString(outcome.result), result);
    QCOMPARE(dialog.BarCnv()->value(), 0); // the bar goes back to 0 at the normal end too
    QCOMPARE(dialog.windowTitle(), QStringLiteral("変換中"));
}

void TstJobs::tableConversionStopKeepsInput()
{
    QTemporaryDir dir;
    // Pairs whose text occurs, so none can be skipped: each is a full pass over the input.
    QByteArray table;
    for (int i = 0; i < 100000; ++i)
        table += "a\ta\r\n";
    writeFile(dir.filePath("many.tbl"), table);
    const std::string input(2'000'000, 'a');

    TfrmCnv dialog;
    pressStopSoon(dialog);
    QElapsedTimer clock;
    clock.start();
    const TfrmCnv::Outcome outcome = dialog.run(input, "many", dir.path().toStdString());
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!outcome.completed);
    QVERIFY(outcome.result == input);
    QCOMPARE(dialog.BarCnv()->value(), 0);
}

QTEST_MAIN(TstJobs)
#include "test_job_dialogs.moc"
