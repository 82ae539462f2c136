// Times the main window on a big page, for the figures of the performance notes: opening the
// page, extraction into the list, list commands, stopping the three jobs, typing, and typing
// into one huge line wrapped and unwrapped. Timings are printed, one line a step.
//   measure_window PAGE HOME
// PAGE is the page to open, HOME the --home folder whose settings and tables apply;
// LANZO_MEASURE_OPEN_ONLY=1 ends the run after the open (to profile it). scripts/measure_window.sh
// writes a page and a home and runs this offscreen.
#include "app/frm_main.h"
#include "app/gui_startup_qt.h"
#include "base/frm_job_dialog.h"
#include "base/user_prompts_qt.h"
#include "extract/frm_ext_html.h"
#include "extract/frm_extraction.h"
#include "settings/frm_set.h"
#include "tables/frm_cnv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace
{

void report(const char *what, qint64 ms)
{
    std::printf("%-58s %7lld ms\n", what, static_cast<long long>(ms));
    std::fflush(stdout);
}

// Runs command while a job dialog is up and presses its stop button once the job has run for
// about 100 ms. Returns the milliseconds from the press until the job had ended and until the
// command had returned ({-1, -1} when the job ended before).
std::pair<qint64, qint64> stopLatency(JobDialog *dialog, const std::function<void()> &command)
{
    QElapsedTimer sinceStop;
    qint64 ended = -1;
    QTimer press;
    press.setInterval(100);
    QObject::connect(&press, &QTimer::timeout, dialog, [&] {
        if (!dialog->isRunning() || sinceStop.isValid()) return;
        sinceStop.start();
        QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
    });
    const auto finished = QObject::connect(dialog, &JobDialog::jobFinished, dialog, [&] {
        if (sinceStop.isValid()) ended = sinceStop.elapsed();
    });
    press.start();
    command();
    QObject::disconnect(finished);
    return { ended, sinceStop.isValid() ? sinceStop.elapsed() : -1 };
}

void reportStops(const char *what, JobDialog *dialog, const std::function<void()> &command)
{
    std::vector<qint64> ended, returned;
    for (int i = 0; i < 5; ++i) {
        const auto [e, r] = stopLatency(dialog, command);
        if (r < 0) continue;
        ended.push_back(e);
        returned.push_back(r);
    }
    if (returned.empty()) {
        std::printf("%-58s the job always ended before the stop\n", what);
        return;
    }
    std::sort(ended.begin(), ended.end());
    std::sort(returned.begin(), returned.end());
    std::printf("%-58s %7lld ms (max %lld of %zu stops; the job itself ended after %lld, max %lld)\n", what,
        static_cast<long long>(returned[returned.size() / 2]), static_cast<long long>(returned.back()), returned.size(),
        static_cast<long long>(ended[ended.size() / 2]), static_cast<long long>(ended.back()));
    std::fflush(stdout);
}

// The open dialog picks the page; every other question is cancelled and every message shown
// on standard error.
class PagePrompts : public UserPrompts
{
public:
    explicit PagePrompts(QString page)
        : m_page(std::move(page))
    {
    }
    Answer askYesNoCancel(QWidget *, const QString &text, const QString &) override
    {
        std::fprintf(stderr, "question (cancelled): %s\n", qPrintable(text));
        return Answer::Cancel;
    }
    void showError(QWidget *, const QString &text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    bool askCloseAnyway(QWidget *, const QString &) override { return false; }
    QString getOpenFileName(QWidget *, const QString &, int &, const QString &) override { return m_page; }
    QString getSaveFileName(QWidget *, const QString &, int &, const QString &) override { return {}; }

private:
    QString m_page;
};

int measure(const QString &page, const std::string &home)
{
    PagePrompts prompts(page);
    GuiWindows w = CreateWindows(app_paths::PathsForHome(home), &prompts);
    TfrmMain *main = w.main.get();
    auto *memo = main->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
    auto *list = main->findChild<QListView *>(QStringLiteral("UrlList"));
    main->resize(760, 520);
    main->show();
    if (!QTest::qWaitForWindowExposed(main)) {
        std::fprintf(stderr, "measure_window: the window was not shown\n");
        return 1;
    }
    main->setUrlListItems({});
    QElapsedTimer t;

    t.start();
    main->mnuOpenClick();
    report("open: file read, editor filled", t.elapsed());
    main->repaint();
    report("open: window painted (usable)", t.elapsed());
    while (main->sourceLoadPending())
        QTest::qWait(5);
    memo->viewport()->repaint();
    report("open: whole text in the editor (in the background)", t.elapsed());
    t.start();
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    memo->viewport()->repaint();
    report("editor: Ctrl+End and paint", t.elapsed());
    // LANZO_MEASURE_OPEN_ONLY=1 ends the run here, for profiling the open alone.
    if (qEnvironmentVariableIntValue("LANZO_MEASURE_OPEN_ONLY") == 1) return 0;

    t.start();
    main->N7Click();
    report("extract from the whole text (unedited)", t.elapsed());
    main->repaint();
    report("  with the list painted", t.elapsed());
    std::printf("  %zu URLs in the list, %d re-encodes of the source text\n", main->urlListItems().size(),
        main->sourceEncodeCount());

    // A list command, timed until the list is painted after it.
    const auto timeListCommand = [&](const char *what, const std::function<void()> &command) {
        t.start();
        command();
        list->repaint();
        report(what, t.elapsed());
    };
    timeListCommand("list: scroll to the end and paint", [&] { list->scrollToBottom(); });
    timeListCommand("list: select all", [&] { main->lstSelectAllClick(); });
    timeListCommand("list: invert the selection", [&] { main->lstInvertClick(); });
    const func_token::StringList items = main->urlListItems();
    main->addUrlListSelection({ 1, 2, 3, 500, 501 });
    timeListCommand("list: append the same again behind a selection", [&] { main->appendUrlListItems(items); });
    timeListCommand("list: delete 5 scattered rows", [&] { main->lstDeleteClick(); });
    timeListCommand("list: remove duplicates", [&] { main->lstRemoveDuplicatesClick(); });
    std::printf("  %zu URLs in the list\n", main->urlListItems().size());

    const std::size_t count = main->urlListItems().size();
    t.start();
    main->HTML1Click();
    main->repaint();
    report("extract links from the whole text (unedited)", t.elapsed());
    std::printf("  %zu links appended\n", main->urlListItems().size() - count);
    main->setUrlListItems({});

    // A run that ends before the stop appends its result: the list is emptied after each.
    reportStops("stop: extraction", w.extraction, [&] {
        main->N7Click();
        main->setUrlListItems({});
    });
    reportStops("stop: link extraction", w.extHtml, [&] {
        main->HTML1Click();
        main->setUrlListItems({});
    });
    if (!main->tableNames().empty())
        reportStops(
            "stop: conversion table on the whole text", w.cnv, [&] { main->cvpMenuClick(main->tableNames().front()); });

    t.start();
    QTest::keyClick(memo, Qt::Key_X);
    memo->viewport()->repaint();
    report("editor: type one character and paint", t.elapsed());
    t.start();
    (void)main->sourceText();
    report("edited text read back as bytes", t.elapsed());

    // One long line, typed into as the window shows it (wrapped) and forced unwrapped.
    const std::string tag = "<a href=\"http://www.example.jp/p/414002.zip\">\x83\x65\x83\x4c\x83\x58\x83\x67</a> ";
    for (const int kb : { 200, 1000 }) {
        for (const bool letters : { true, false }) {
            std::string line;
            while (line.size() < std::size_t(kb) * 1000)
                line += letters ? std::string(64, 'a') : tag;
            for (const bool wrap : { true, false }) {
                t.start();
                main->setSourceText(line, false);
                if (!wrap) memo->setLineWrapMode(QPlainTextEdit::NoWrap);
                memo->viewport()->repaint();
                const qint64 openMs = t.elapsed();
                QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
                t.start();
                QTest::keyClick(memo, Qt::Key_X);
                memo->viewport()->repaint();
                std::printf("one %4d KB line of %-7s %-9s: set and paint %5lld ms, one keystroke %5lld ms\n", kb,
                    letters ? "letters" : "tags", wrap ? "wrapped" : "unwrapped", static_cast<long long>(openMs),
                    static_cast<long long>(t.elapsed()));
                std::fflush(stdout);
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: measure_window PAGE HOME\n");
        return 2;
    }
    return measure(QString::fromLocal8Bit(argv[1]), argv[2]);
}
