#include "platform/testing/ProcessTree.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <limits>
#include <poll.h>
#include <sstream>
#include <sys/syscall.h>
#include <unistd.h>

namespace dv::testing {

namespace {

std::string nameOf(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(file, name);
    return name;
}

std::vector<pid_t> childrenOf(pid_t pid)
{
    // Each thread lists the children it started.
    std::vector<pid_t> children;
    const std::string taskFolder = "/proc/" + std::to_string(pid) + "/task";
    if (auto* folder = ::opendir(taskFolder.c_str())) {
        while (auto* entry = ::readdir(folder)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream file(taskFolder + "/" + entry->d_name + "/children");
            pid_t child;
            while (file >> child)
                children.push_back(child);
        }
        ::closedir(folder);
    }
    return children;
}

} // namespace

std::vector<ProcessEntry> descendants(pid_t pid)
{
    std::vector<ProcessEntry> found;
    std::vector<pid_t> pending = childrenOf(pid);
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const pid_t child = pending[i];
        found.push_back({ child, nameOf(child) });
        for (pid_t below : childrenOf(child))
            pending.push_back(below);
    }
    return found;
}

std::vector<ProcessEntry> descendantsNamed(pid_t pid, const std::string& prefix)
{
    std::vector<ProcessEntry> named;
    for (auto& entry : descendants(pid))
        if (entry.name.rfind(prefix, 0) == 0)
            named.push_back(entry);
    return named;
}

std::size_t residentBytes(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/statm");
    std::size_t size = 0, resident = 0;
    if (!(file >> size >> resident))
        return 0;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

std::size_t proportionalBytes(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    std::size_t kibibytes = 0;
    while (file >> key) {
        if (key == "Pss:" && file >> kibibytes)
            return kibibytes * 1024;
        file.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 0;
}

bool waitForExit(const std::vector<pid_t>& pids, double limit)
{
    std::vector<pollfd> watched;
    for (pid_t pid : pids) {
        const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        if (fd >= 0)
            watched.push_back({ fd, POLLIN, 0 }); // a process already gone has no pidfd
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
    bool ended = true;
    for (auto& entry : watched) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left))) <= 0)
            ended = false;
        ::close(entry.fd);
    }
    return ended;
}

} // namespace dv::testing
