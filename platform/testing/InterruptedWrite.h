// A write caught in the middle, in a child process: the child runs the given code with a small
// file-size limit, and the first write past the limit stops the child there, alive, with its
// temporary file half written. The test can then look at the folder while the write is in
// progress, kill the child as a crash would, and see what the next process finds.
//
// Header only, so that test binaries of every folder can use it without linking anything.
//
//   dv::testing::InterruptedWrite child([&] { data->writeToFile(path, true); });
//   ASSERT_TRUE(child.stopped());
//   child.kill();
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace dv::testing {

class InterruptedWrite {
public:
    // `limit`: bytes any file of the child may reach; the write that would pass it stops the child.
    explicit InterruptedWrite(const std::function<void()>& write, rlim_t limit = 4096)
    {
        int channel[2];
        if (::pipe2(channel, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(channel[0]);
            s_channel = channel[1];
            struct sigaction action {};
            action.sa_handler = [](int) {
                // Tell the parent, then stop inside the write, the temporary file still open.
                char stop = 's';
                (void)::write(s_channel, &stop, 1);
                ::raise(SIGSTOP);
            };
            ::sigaction(SIGXFSZ, &action, nullptr);
            rlimit size { limit, limit };
            ::setrlimit(RLIMIT_FSIZE, &size);
            write();
            ::_exit(0); // the write ended without reaching the limit
        }
        ::close(channel[1]);
        if (m_pid < 0) {
            ::close(channel[0]);
            return;
        }
        // Bounded: a child that neither stops nor ends within the limit counts as not stopped.
        pollfd ready { channel[0], POLLIN, 0 };
        char stop = 0;
        if (::poll(&ready, 1, 20000) == 1 && ::read(channel[0], &stop, 1) == 1 && stop == 's') {
            int status = 0;
            m_stopped = ::waitpid(m_pid, &status, WUNTRACED) == m_pid && WIFSTOPPED(status);
        }
        ::close(channel[0]);
    }

    ~InterruptedWrite() { kill(); }
    InterruptedWrite(const InterruptedWrite&) = delete;
    InterruptedWrite& operator=(const InterruptedWrite&) = delete;

    bool stopped() const { return m_stopped; }
    pid_t pid() const { return m_pid; }

    // Kills the child as a crash would and waits until it is gone.
    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
        m_pid = -1;
    }

private:
    static inline int s_channel = -1;
    pid_t m_pid = -1;
    bool m_stopped = false;
};

} // namespace dv::testing
