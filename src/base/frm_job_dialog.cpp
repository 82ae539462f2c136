#include "base/frm_job_dialog.h"

#include "base/screens_qt.h"
#include "base/stacking_qt.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <system_error>

JobDialog::JobDialog(QWidget *parent, const QString &stopCaption)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_bar(new QProgressBar(this))
    , m_stop(new QPushButton(stopCaption, this))
    , m_timer(new QTimer(this))
{
    // A frame with a title but no title-bar buttons: the stop button is the only way out.
    setModal(true);
    setFixedSize(322, 73);
    m_bar->setGeometry(1, 4, 320, 23);
    m_bar->setRange(0, 0);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_stop->setGeometry((322 - 75) / 2, 38, 75, 25);
    m_stop->setAutoDefault(false);
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &JobDialog::refresh);
    connect(m_stop, &QPushButton::clicked, this, &JobDialog::stopClicked);
}

JobDialog::~JobDialog()
{
    // Only reached with a live worker when the application is torn down mid-run: stop the
    // job and wait for it, so it never outlives the objects it writes to.
    if (m_worker.joinable()) {
        if (m_progress) m_progress->requestStop();
        m_worker.join();
    }
}

bool JobDialog::runJob(std::function<void(job_progress::JobProgress &)> job)
{
    if (m_running) return false; // one run at a time; the modal dialog makes this unreachable from the UI

    m_progress = std::make_shared<job_progress::JobProgress>();
    m_shownCaptionSerial = m_progress->captionSerial();
    m_failed = false;
    m_running = true;
    ++m_runCount;
    refresh();

    auto progress = m_progress;
    try {
        m_worker = std::thread([this, progress, job = std::move(job)] {
            try {
                job(*progress);
            } catch (...) {
                // A failure ends the job like a stop: no partial result, the bar back to 0.
                progress->setPosition(0);
                m_failed = true;
            }
            QMetaObject::invokeMethod(
                this, [this] { finishRun(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error &) {
        m_running = false;
        m_failed = true;
        return false;
    }

    KeepAboveProgramWindows(this);
    centreOnParent();
    QWidget *const watched = owner();
    if (watched) watched->installEventFilter(this);
    m_timer->start();
    exec();
    if (watched) watched->removeEventFilter(this);

    // exec() also returns when the whole application leaves its event loops; the job must
    // not outlive this call, so stop it and wait.
    if (m_running) {
        m_progress->requestStop();
        finishRun();
    }
    return !m_failed;
}

void JobDialog::finishRun()
{
    if (!m_running) return; // a late queued callback after a forced finish
    if (m_worker.joinable()) m_worker.join();
    m_timer->stop();
    refresh(); // the final position: the step count, or 0 after a stop
    m_running = false;
    emit jobFinished();
    accept();
}

void JobDialog::refresh()
{
    if (!m_progress) return;
    const unsigned serial = m_progress->captionSerial();
    if (serial != m_shownCaptionSerial) {
        m_shownCaptionSerial = serial;
        setWindowTitle(QString::fromStdString(m_progress->caption()));
    }
    std::int64_t maximum = std::max<std::int64_t>(0, m_progress->maximum());
    std::int64_t position = std::clamp<std::int64_t>(m_progress->position(), 0, maximum);
    if (maximum > INT_MAX) {
        // QProgressBar counts in int: scale texts over 2 GB down.
        const std::int64_t scale = maximum / INT_MAX + 1;
        maximum /= scale;
        position /= scale;
    }
    if (m_bar->maximum() != maximum) m_bar->setMaximum(static_cast<int>(maximum));
    if (m_bar->value() != position) m_bar->setValue(static_cast<int>(position));
}

void JobDialog::stopClicked()
{
    // One-way flag; the job reads it between steps. Pressing again, or after the end, does nothing.
    if (m_running && m_progress) m_progress->requestStop();
}

void JobDialog::reject()
{
    if (!m_running) QDialog::reject();
}

void JobDialog::closeEvent(QCloseEvent *event)
{
    if (m_running)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void JobDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) showAgainIfMinimised();
}

bool JobDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) showAgainIfMinimised();
    return QDialog::eventFilter(watched, event);
}

// Window managers that ignore the missing minimise button still minimise the dialog (or the main
// window, which takes the dialog with it); with nothing left on screen the program would look
// gone until the job ends. So while a job runs both come back at once.
void JobDialog::showAgainIfMinimised()
{
    if (!m_running) return;
    QTimer::singleShot(0, this, [this] {
        if (!m_running) return;
        for (QWidget *window : { owner(), static_cast<QWidget *>(this) }) {
            if (window && window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        }
        raise();
        activateWindow();
    });
}

QWidget *JobDialog::owner() const
{
    return parentWidget() ? parentWidget()->window() : nullptr;
}

void JobDialog::centreOnParent()
{
    QWidget *const main = owner();
    if (!main) return;
    const QSize outer = OuterSize(this, main);
    MoveFrameTo(this, main->frameGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2), main);
}
