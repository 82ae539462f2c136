#pragma once
// Helpers of the panel tests: a temporary program home, scripted file-dialog answers, the
// program's windows built as at start-up, and a small HTTP server on 127.0.0.1.
#include "app/gui_startup_qt.h"
#include "app/user_prompts_qt.h"
#include "settings/app_paths.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

// A program home in a temporary folder, with config/ and table/ present.
class PanelsHome
{
public:
    PanelsHome();
    const settings::AppPaths &paths() const { return m_paths; }
    void writeConfig(const QString &name, const QByteArray &bytes) const; // config/NAME
    QByteArray readConfig(const QString &name) const;
    QString filePath(const QString &relative) const; // a path inside the home

private:
    QTemporaryDir m_dir;
    settings::AppPaths m_paths;
};

// File dialogs answer from a queue (an empty answer is a cancel); other questions say No.
class PanelsPrompts : public UserPrompts
{
public:
    QStringList openAnswers;
    QStringList filtersSeen;
    QStringList errors;
    Answer askYesNoCancel(QWidget *, const QString &, const QString &) override { return Answer::No; }
    void showError(QWidget *, const QString &text) override { errors << text; }
    bool askCloseAnyway(QWidget *, const QString &) override { return true; }
    QString getOpenFileName(QWidget *, const QString &filter, int &, const QString &) override
    {
        filtersSeen << filter;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString getSaveFileName(QWidget *, const QString &filter, int &, const QString &) override
    {
        filtersSeen << filter;
        return {};
    }
};

// The windows of the program over a home, created in the start-up order.
struct PanelsApp {
    explicit PanelsApp(const PanelsHome &home);
    PanelsPrompts prompts;
    GuiWindows windows;
};

// Answers each connection with the next scripted response (raw bytes), or holds it open
// without answering for a response made by stall(). Without a script it answers 404.
class PanelsHttpServer
{
public:
    PanelsHttpServer();
    ~PanelsHttpServer();
    PanelsHttpServer(const PanelsHttpServer &) = delete;
    PanelsHttpServer &operator=(const PanelsHttpServer &) = delete;

    QString url(const QString &path = QStringLiteral("/")) const;
    void respond(const QByteArray &raw);
    void respond(int status, const QByteArray &body, const QByteArray &extraHeaders = {});
    void stall(); // the next connection gets no answer until the server goes away
    QList<QByteArray> requests() const; // request heads received, in order

private:
    void serve();
    void handle(int fd);

    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop { false };
    mutable std::mutex m_mutex;
    std::deque<QByteArray> m_script; // an empty entry stalls
    QList<QByteArray> m_requests;
    std::thread m_thread;
};
