// The socket chores of in-process servers: a reserved port refuses every connection and stays
// taken, and ending a server's connections ends exactly those asked for, never the listener.
#include "platform/testing/support/ServerSockets.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <set>
#include <string>

namespace dv::testing {
namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(std::uint16_t(port));
    return address;
}

int localPortOf(int fd)
{
    sockaddr_in address {};
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A socket of this test, closed with the object.
class Socket {
public:
    explicit Socket(int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
        : m_fd(fd)
    {
    }
    ~Socket() { close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// errno of a connection to 127.0.0.1:port, 0 when it was accepted.
int connectTo(const Socket& socket, int port)
{
    sockaddr_in address = loopback(port);
    return ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 ? 0 : errno;
}

// Whether the peer ended the connection within `limitMilliseconds` (reads until the end).
bool endedByPeer(const Socket& socket, int limitMilliseconds)
{
    pollfd ready { socket.fd(), POLLIN, 0 };
    if (::poll(&ready, 1, limitMilliseconds) <= 0)
        return false;
    char byte = 0;
    return ::recv(socket.fd(), &byte, 1, MSG_DONTWAIT) == 0;
}

TEST(ServerSocketsTest, AReservedPortRefusesConnectionsAndStaysTaken)
{
    const int port = reserveUnusedPort();
    ASSERT_GT(port, 0);
    Socket client;
    EXPECT_EQ(connectTo(client, port), ECONNREFUSED);

    // Nobody else may bind it while this process lives, not even a server asking to reuse it.
    Socket other;
    int yes = 1;
    setsockopt(other.fd(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address = loopback(port);
    EXPECT_NE(::bind(other.fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(errno, EADDRINUSE);

    std::set<int> ports { port };
    for (int i = 0; i < 5; ++i)
        ports.insert(reserveUnusedPort());
    EXPECT_EQ(ports.size(), 6u) << "each call reserves a port of its own";

    const std::string url = refusedURL("/x");
    ASSERT_TRUE(url.starts_with("http://127.0.0.1:")) << url;
    ASSERT_TRUE(url.ends_with("/x")) << url;
    const int urlPort = std::stoi(url.substr(17));
    Socket urlClient;
    EXPECT_EQ(connectTo(urlClient, urlPort), ECONNREFUSED);
}

TEST(ServerSocketsTest, ShutdownEndsTheConnectionsAskedForAndLeavesTheListener)
{
    Socket listener;
    sockaddr_in address = loopback(0);
    ASSERT_EQ(::bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener.fd(), 8), 0);
    const int port = localPortOf(listener.fd());

    Socket clients[3];
    std::unique_ptr<Socket> accepted[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(connectTo(clients[i], port), 0);
        accepted[i] = std::make_unique<Socket>(::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
        ASSERT_GE(accepted[i]->fd(), 0);
    }

    // One connection, named by its client's port: only that client sees its end.
    EXPECT_EQ(shutdownConnections(port, localPortOf(clients[0].fd())), 1);
    EXPECT_TRUE(endedByPeer(clients[0], 10000));
    EXPECT_FALSE(endedByPeer(clients[1], 0));
    EXPECT_EQ(shutdownConnections(port, 1), 0) << "no connection from that port";
    accepted[0]->close();

    // Every connection of the port; the client sockets of this process, whose peer is that port,
    // are not the server's and stay.
    EXPECT_EQ(shutdownConnections(port), 2);
    EXPECT_TRUE(endedByPeer(clients[1], 10000));
    EXPECT_TRUE(endedByPeer(clients[2], 10000));

    // The listener still takes connections.
    Socket late;
    EXPECT_EQ(connectTo(late, port), 0);
    Socket lateAccepted(::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
    EXPECT_GE(lateAccepted.fd(), 0);
    EXPECT_EQ(shutdownConnections(reserveUnusedPort()), 0) << "a port without connections";
}

} // namespace
} // namespace dv::testing
