#pragma once
// Helpers of the panel tests: settings files written before start-up, and a small HTTP
// server on 127.0.0.1 with scripted responses.
#include "support/session.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

// Writes config/NAME in the home, creating config/ first (before the windows exist).
void writeConfigFile(const TempHome &home, const QString &name, const QByteArray &bytes);

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
    // The next connection gets first, then nothing more until the client or the server goes away.
    void stall(const QByteArray &first = {});
    QList<QByteArray> requests() const; // request heads received, in order

private:
    void serve();
    void handle(int fd);

    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop { false };
    mutable std::mutex m_mutex;
    struct Answer {
        QByteArray bytes;
        bool holdOpen;
    };
    std::deque<Answer> m_script;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};
