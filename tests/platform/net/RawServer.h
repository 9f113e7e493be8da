// A TCP server on 127.0.0.1 that answers with whatever bytes a test scripts, for replies no
// well-behaved HTTP server would send: conflicting lengths, no HTTP at all, endless header lines,
// bodies that trickle. Each connection reads the request head, then runs the script with a writer;
// the script may pace itself with `pause`, which returns false (and should end the script) once
// the server is stopping. The destructor stops and joins every thread.
#pragma once

#include "platform/base/Mutex.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace nettest {

class RawServer {
public:
    class Connection {
    public:
        // False once the peer is gone or the server stops.
        bool send(std::string_view bytes)
        {
            while (!bytes.empty()) {
                ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
                if (n <= 0)
                    return false;
                bytes.remove_prefix(static_cast<std::size_t>(n));
            }
            return true;
        }
        // Waits `interval` of real time; false when the server is stopping.
        bool pause(std::chrono::milliseconds interval) { return m_server.waitUnlessStopping(interval); }
        const std::string& requestHead() const { return m_head; }

    private:
        friend class RawServer;
        Connection(RawServer& server, int fd) : m_server(server), m_fd(fd) { }
        RawServer& m_server;
        int m_fd;
        std::string m_head;
    };
    using Script = std::function<void(Connection&)>;

    explicit RawServer(Script script) : m_script(std::move(script))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_listener, 16) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("RawServer: cannot listen");
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~RawServer()
    {
        {
            dv::MutexLocker lock(m_mutex);
            m_stopping = true;
            for (int fd : m_open)
                ::shutdown(fd, SHUT_RDWR);
        }
        m_changed.notifyAll();
        ::shutdown(m_listener, SHUT_RDWR);
        m_acceptor.join();
        for (auto& thread : m_workers)
            thread.join();
        ::close(m_listener);
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }
    int connections() const { return m_connections.load(); }

private:
    bool waitUnlessStopping(std::chrono::milliseconds interval)
    {
        dv::MutexLocker lock(m_mutex);
        return !m_changed.waitFor(lock, interval, [this]() DV_REQUIRES(m_mutex) { return m_stopping; });
    }

    void acceptLoop()
    {
        for (;;) {
            int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            dv::MutexLocker lock(m_mutex);
            if (m_stopping) {
                ::close(fd);
                return;
            }
            ++m_connections;
            m_open.push_back(fd);
            m_workers.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd)
    {
        Connection connection(*this, fd);
        char buffer[4096];
        while (connection.m_head.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
            if (n <= 0)
                break;
            connection.m_head.append(buffer, static_cast<std::size_t>(n));
        }
        if (connection.m_head.find("\r\n\r\n") != std::string::npos)
            m_script(connection);
        dv::MutexLocker lock(m_mutex);
        std::erase(m_open, fd);
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }

    Script m_script;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_acceptor;
    dv::Mutex m_mutex;
    dv::ConditionVariable m_changed;
    bool m_stopping DV_GUARDED_BY(m_mutex) = false;
    std::vector<int> m_open DV_GUARDED_BY(m_mutex);
    std::vector<std::thread> m_workers;
    std::atomic<int> m_connections { 0 };
};

} // namespace nettest
