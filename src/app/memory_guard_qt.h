#pragma once
// Running out of memory ends a command, not the window. An allocation that fails while an event
// is handled (a menu command on a huge text, a paste of gigabytes) throws std::bad_alloc through
// the handler; Qt would end the program on it. LanzoApplication catches it where every event is
// delivered and tells the user. Commands work out their results before they put them into the
// buffers, so a command stopped this way leaves both buffers as they were.
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>

class UserPrompts;

// The message shown when memory ran out.
QString OutOfMemoryMessage();

class LanzoApplication : public QApplication
{
public:
    LanzoApplication(int &argc, char **argv);
    // Where the message goes; until this is set, nothing is shown.
    void setPrompts(UserPrompts *prompts, QWidget *parent);
    bool notify(QObject *receiver, QEvent *event) override;

private:
    void reportLater();

    UserPrompts *m_prompts = nullptr;
    QPointer<QWidget> m_parent;
    bool m_reportQueued = false;
};

// Runs step (a part of the start-up that reads files); a failed allocation in it is reported
// and the start-up goes on. Returns false then.
bool RunStartupStep(UserPrompts *prompts, QWidget *parent, const std::function<void()> &step);
