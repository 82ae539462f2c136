#pragma once
// The shared shape of the three progress dialogs: a bar, a stop button, no close box, modal.
// run() starts a new worker thread for the job, shows the dialog modally and returns when
// the job has ended. The worker publishes its progress in a job_progress::JobProgress; the dialog
// reads it on a timer (bounded repaint rate) and the stop button only sets the atomic flag.
#include "base/job_progress.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <thread>

class QProgressBar;
class QPushButton;
class QTimer;

class JobDialog : public QDialog
{
    Q_OBJECT
public:
    JobDialog(QWidget *parent, const QString &stopCaption);
    ~JobDialog() override;

    QProgressBar *bar() const { return m_bar; }
    QPushButton *stopButton() const { return m_stop; }
    // The progress of the running job (or of the last one).
    job_progress::JobProgress *progress() const { return m_progress.get(); }
    // True from the start of a run until its termination callback has run.
    bool isRunning() const { return m_running; }
    // Number of runs started so far; every run gets a worker thread of its own.
    int runCount() const { return m_runCount; }

    // Refresh period of the bar and the caption while a job runs.
    static constexpr int kRefreshMs = 40;

signals:
    // Emitted on the user-interface thread once the job has returned, before the dialog closes.
    void jobFinished();

protected:
    // Runs job on a new worker thread behind the modal dialog; returns after the job has
    // returned and the dialog has closed. Returns false when the job failed (threw): the
    // callers then treat the run like a stopped one.
    bool runJob(std::function<void(job_progress::JobProgress &)> job);

    void reject() override; // Esc does not close a running job's dialog
    void closeEvent(class QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

protected slots:
    void stopClicked();
    void refresh(); // timer: copy caption, maximum and position to the window

private:
    void finishRun(); // the termination callback, on the user-interface thread
    void centreOnParent();
    QWidget *owner() const;
    void showAgainIfMinimised();

    QProgressBar *m_bar;
    QPushButton *m_stop;
    QTimer *m_timer;
    std::shared_ptr<job_progress::JobProgress> m_progress;
    std::thread m_worker;
    bool m_running = false;
    bool m_failed = false;
    unsigned m_shownCaptionSerial = 0;
    int m_runCount = 0;
};
