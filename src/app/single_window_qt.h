#pragma once
// One window per home folder. The first window of a home holds a lock file in its config folder
// and listens on a local socket; a later start on the same home hands its files over to that
// window, which comes to the front, and ends. Two windows on one home would each write the
// buffers at exit, the last one over the other's. A lock left by a killed window is taken over.
#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

class SingleWindow : public QObject
{
    Q_OBJECT
public:
    SingleWindow(const std::string &home, const std::string &configDir);
    ~SingleWindow() override;

    enum class Outcome {
        First, // this start holds the home (or the home cannot be locked: run as before)
        HandedOver, // the window holding the home took the files
        NoAnswer, // a window holds the home but does not answer
    };
    // files: as named on the command line; handed over as absolute paths.
    Outcome claim(const std::vector<std::string> &files);

signals:
    // A later start's files (possibly none), on the first window's user-interface thread.
    void handedOver(const QStringList &files);

private:
    bool listen();
    void readRequest(QLocalSocket *socket);

    QLockFile m_lock;
    QString m_socketPath;
    QLocalServer *m_server = nullptr;
};
