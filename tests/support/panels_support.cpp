#include "support/panels_support.h"

#include "support/loopback_listener.h"

#include <QDir>
#include <QFile>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

void writeConfigFile(const TempHome &home, const QString &name, const QByteArray &bytes)
{
    const QString dir = QString::fromStdString(home.paths().configDir);
    QDir().mkpath(dir);
    QFile f(dir + '/' + name);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

PanelsHttpServer::PanelsHttpServer()
{
    int port = 0;
    m_listen = loopback_listener::Listen(port);
    m_port = quint16(port);
    m_thread = std::thread([this] { serve(); });
}

PanelsHttpServer::~PanelsHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

QString PanelsHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void PanelsHttpServer::respond(const QByteArray &raw)
{
    std::lock_guard lock(m_mutex);
    m_script.push_back({ raw, false });
}

void PanelsHttpServer::respond(int status, const QByteArray &body, const QByteArray &extraHeaders)
{
    respond("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: text/html\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + body);
}

void PanelsHttpServer::stall(const QByteArray &first)
{
    std::lock_guard lock(m_mutex);
    m_script.push_back({ first, true });
}

QList<QByteArray> PanelsHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void PanelsHttpServer::serve()
{
    while (!m_stop) {
        pollfd p { m_listen, POLLIN, 0 };
        if (::poll(&p, 1, 20) <= 0) continue;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd >= 0) {
            handle(fd);
            ::close(fd);
        }
    }
}

void PanelsHttpServer::handle(int fd)
{
    QByteArray head;
    char buf[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!head.contains("\r\n\r\n") && !m_stop && std::chrono::steady_clock::now() < deadline) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        head.append(buf, n);
    }
    Answer answer { "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", false };
    {
        std::lock_guard lock(m_mutex);
        m_requests << head;
        if (!m_script.empty()) {
            answer = m_script.front();
            m_script.pop_front();
        }
    }
    const QByteArray &response = answer.bytes;
    qsizetype sent = 0;
    while (sent < response.size()) {
        const ssize_t n = ::send(fd, response.constData() + sent, response.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += n;
    }
    // Hold the connection open until the client gives up or the server stops.
    while (answer.holdOpen && !m_stop) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, 20) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) break;
    }
}
