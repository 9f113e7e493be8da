#include "platform/testing/support/ServerSockets.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace dv::testing {

namespace {

int portOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return -1;
}

} // namespace

int shutdownConnections(int localPort, int peerPort)
{
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return 0;
    while (dirent* entry = readdir(fds)) {
        int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == dirfd(fds))
            continue;
        sockaddr_storage address {};
        socklen_t length = sizeof(address);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || portOf(address) != localPort)
            continue;
        sockaddr_storage peer {};
        socklen_t peerLength = sizeof(peer);
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            continue; // the listening socket
        if (peerPort >= 0 && portOf(peer) != peerPort)
            continue;
        if (::shutdown(fd, SHUT_RDWR) == 0)
            ++count;
    }
    closedir(fds);
    return count;
}

int reserveUnusedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        socklen_t length = sizeof(address);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    if (port == 0) {
        ::close(fd);
        return 0;
    }
    // The socket stays bound, without listening, until the process ends. Closed, the port went
    // back to the kernel, which could hand it to the next server that any program on the machine
    // started (or to a connection's own end): on a busy machine running tests side by side, the
    // "unreachable" server then answered.
    return port;
}

std::string refusedURL(const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(reserveUnusedPort()) + path;
}

} // namespace dv::testing
