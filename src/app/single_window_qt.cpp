#include "app/single_window_qt.h"

#include "base/file_io.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <filesystem>
#include <unistd.h>

namespace
{

constexpr quint32 kMagic = 0x4c5a5731; // "LZW1"
constexpr char kAck = '\1';

// The socket is named after the home as the file system resolves it, so every spelling of one
// folder meets the same window. It lives in the user's runtime folder, found by the user's id
// rather than the environment, which a start from a terminal or a launcher may set differently.
QString socketPathFor(const std::string &home)
{
    QString canonical = QFileInfo(QFile::decodeName(QByteArray::fromStdString(home))).canonicalFilePath();
    if (canonical.isEmpty()) canonical = QFile::decodeName(QByteArray::fromStdString(home));
    const QByteArray hash
        = QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha256).toHex().left(24);
    const QFileInfo runtime(QStringLiteral("/run/user/%1").arg(::getuid()));
    const QString dir = runtime.isDir() && runtime.ownerId() == ::getuid() ? runtime.filePath() : QDir::tempPath();
    return dir + QStringLiteral("/lanzo-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

} // namespace

SingleWindow::SingleWindow(const std::string &home, const std::string &configDir)
    : m_lock(QFile::decodeName(QByteArray::fromStdString(file_io::JoinPath(configDir, "window.lock"))))
    , m_socketPath(socketPathFor(home))
{
    file_io::MakeDirectory(configDir);
    // Stale only when the process that wrote it is gone, however long a window stays open.
    m_lock.setStaleLockTime(0);
}

SingleWindow::~SingleWindow() = default;

SingleWindow::Outcome SingleWindow::claim(const std::vector<std::string> &files)
{
    if (m_lock.tryLock(0)) return listen(), Outcome::First;
    // A home that cannot be locked (a read-only folder) is used as before, unguarded.
    if (m_lock.error() != QLockFile::LockFailedError) return Outcome::First;

    QByteArray request;
    {
        QDataStream out(&request, QIODevice::WriteOnly);
        QByteArrayList absolute;
        for (const std::string &file : files) {
            std::error_code error;
            const std::filesystem::path path = std::filesystem::absolute(file, error);
            absolute << QByteArray::fromStdString(error ? file : path.string());
        }
        out << kMagic << absolute;
    }
    // The holder may still be starting, or may have just ended: try again for a while. Once it
    // has the request it is given the rest of the time to answer (it may be busy for a moment).
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(request);
            while (socket.bytesAvailable() == 0 && socket.waitForReadyRead(int(deadline.remainingTime()))) { }
            if (socket.read(1) == QByteArray(1, kAck)) return Outcome::HandedOver;
            if (socket.state() == QLocalSocket::ConnectedState) return Outcome::NoAnswer;
        }
        if (m_lock.tryLock(0)) return listen(), Outcome::First;
        QThread::msleep(100);
    }
    return Outcome::NoAnswer;
}

bool SingleWindow::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a killed window: the lock is ours, so nobody listens on it.
    QLocalServer::removeServer(m_socketPath);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
            readRequest(socket);
        }
    });
    return m_server->listen(m_socketPath);
}

void SingleWindow::readRequest(QLocalSocket *socket)
{
    QDataStream in(socket);
    in.startTransaction();
    quint32 magic = 0;
    QByteArrayList files;
    in >> magic >> files;
    if (!in.commitTransaction()) return; // the rest is still on its way
    if (magic != kMagic) {
        socket->abort();
        return;
    }
    socket->write(QByteArray(1, kAck));
    socket->flush();
    QStringList paths;
    for (const QByteArray &file : files)
        paths << QFile::decodeName(file);
    emit handedOver(paths);
}
