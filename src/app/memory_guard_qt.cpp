#include "app/memory_guard_qt.h"

#include "base/user_prompts_qt.h"

#include <QTimer>
#include <new>

QString OutOfMemoryMessage()
{
    return QStringLiteral("メモリが足りません。処理を中止しました。");
}

LanzoApplication::LanzoApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

void LanzoApplication::setPrompts(UserPrompts *prompts, QWidget *parent)
{
    m_prompts = prompts;
    m_parent = parent;
}

bool LanzoApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc &) {
        reportLater();
        return false;
    }
}

void LanzoApplication::reportLater()
{
    // The message waits until the failed event is over, and failures while it is shown (a
    // repaint that cannot get its memory) add no second one.
    if (m_reportQueued || !m_prompts) return;
    try {
        QTimer::singleShot(0, this, [this] {
            struct Done {
                bool &queued;
                ~Done() { queued = false; }
            } done { m_reportQueued };
            m_prompts->showError(m_parent, OutOfMemoryMessage());
        });
        m_reportQueued = true;
    } catch (const std::bad_alloc &) {
        // Not even the message fits; the event is dropped all the same.
    }
}

bool RunStartupStep(UserPrompts *prompts, QWidget *parent, const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const std::bad_alloc &) {
        prompts->showError(parent, OutOfMemoryMessage());
        return false;
    }
}
