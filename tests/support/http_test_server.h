#pragma once
// A scripted HTTP server on 127.0.0.1 for the client tests: each accepted connection has its
// request read up to the blank line, recorded, and handed to the test's responder, which writes
// whatever raw bytes it likes (or stalls). The connection is closed when the responder returns.
#include "support/loopback_listener.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testhttp
{

class Server
{
public:
    // Writes the response to the connection; may call stall() to wait while the client waits.
    using Responder = std::function<void(Server &server, int fd, const std::string &request)>;

    explicit Server(Responder responder)
        : m_responder(std::move(responder))
    {
        m_listen = loopback_listener::Listen(m_port);
        m_thread = std::thread([this] { Serve(); });
    }

    // A server that answers every request with the same raw bytes.
    static Responder Reply(std::string raw)
    {
        return [raw](Server &, int fd, const std::string &) { SendAll(fd, raw); };
    }

    ~Server()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }

    int port() const { return m_port; }
    std::string url(std::string_view path = "/") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
    }
    std::vector<std::string> requests()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

    // True once the server is shutting down: a responder that streams without end stops then.
    bool stopping() const { return m_stop; }

    // Ends the current connection with a reset (SO_LINGER 0) instead of an orderly close.
    void resetConnection() { m_reset = true; }

    // Waits up to ms milliseconds, ending early when the server shuts down.
    void stall(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!m_stop && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    static bool SendAll(int fd, std::string_view data)
    {
        while (!data.empty()) {
            const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

private:
    void Serve()
    {
        while (!m_stop) {
            pollfd p { m_listen, POLLIN, 0 };
            if (::poll(&p, 1, 20) <= 0) continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::string request = ReadRequest(fd);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
            }
            m_reset = false;
            m_responder(*this, fd, request);
            if (m_reset) {
                const linger abortive { 1, 0 };
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            } else {
                ::shutdown(fd, SHUT_WR);
            }
            ::close(fd);
        }
    }

    std::string ReadRequest(int fd)
    {
        std::string request;
        char buffer[4096];
        while (!m_stop && request.find("\r\n\r\n") == std::string::npos) {
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        return request;
    }

    Responder m_responder;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop { false };
    bool m_reset = false; // touched by the server thread only
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace testhttp
