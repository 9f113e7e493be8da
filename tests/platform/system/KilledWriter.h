// A writer killed as a crash would kill it: a child process makes writes one after the other and
// reports each to the parent as soon as it has returned; once `reports` have arrived the parent
// kills it with SIGKILL, wherever the child is then (inside the next write, or between two).
// Answers the number of the last write reported (writes are numbered from 0), or -1 when fewer
// than `reports` came (a write failed: the child then stops).
//
//   const auto last = killAfterReportedWrites(20, [](std::uint32_t i) { return save(i); });
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace dv::test {

inline std::int64_t killAfterReportedWrites(int reports, const std::function<bool(std::uint32_t number)>& write)
{
    int toParent[2];
    if (::pipe(toParent) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::close(toParent[0]);
        for (std::uint32_t i = 0;; ++i) {
            if (!write(i))
                ::_exit(1);
            (void)!::write(toParent[1], &i, sizeof i);
        }
    }
    ::close(toParent[1]);
    std::uint32_t number = 0;
    std::int64_t last = -1;
    int received = 0;
    while (received < reports && ::read(toParent[0], &number, sizeof number) == sizeof number) {
        last = number;
        ++received;
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(toParent[0]);
    return received == reports ? last : -1;
}

} // namespace dv::test
