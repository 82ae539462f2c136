#pragma once
// The listening socket of a test server: 127.0.0.1 on a free port, never any other address.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace loopback_listener
{

// Returns the listening socket (or -1) and puts its port into port.
inline int Listen(int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), len) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        port = 0;
        return fd;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

} // namespace loopback_listener
