// What a process has started and holds, for tests that check that programs started on its behalf
// (a display server, the web engine's processes) end with it and give back what they took: the
// processes below it, its resident memory, and a bounded wait for processes to end (through
// pidfds, without polling).
//
//   auto before = dv::testing::descendants(::getpid());
//   ...
//   EXPECT_TRUE(dv::testing::waitForExit(pidsOf(gone), 20));
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dv::testing {

struct ProcessEntry {
    pid_t pid = 0;
    std::string name; // the program's name (as /proc tells it, at most 15 characters)
};

// The processes below `pid`, children first, each at most once; empty when it is gone.
std::vector<ProcessEntry> descendants(pid_t pid);
// Those whose name starts with `prefix`.
std::vector<ProcessEntry> descendantsNamed(pid_t pid, const std::string& prefix);
// The resident memory of `pid` in bytes (0 when it is gone), and its proportional share (pages
// it shares with other processes, such as the libraries they all map, counted in part).
std::size_t residentBytes(pid_t pid);
std::size_t proportionalBytes(pid_t pid);
// Waits at most `limit` real seconds for every process of `pids` to end; YES when they all did.
bool waitForExit(const std::vector<pid_t>& pids, double limit);

} // namespace dv::testing
