#include "platform/base/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <signal.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace dv {

namespace {

constexpr std::string_view kMarker = ".dvtmp-";
// Room for the marker, the writer's identity and mkstemp's six characters within NAME_MAX.
constexpr std::size_t kNameKept = 120;

// A process is its id and its start time (clock ticks since boot): ids are reused, the pair is
// not. The start time is 0 where /proc cannot tell it.
struct Writer {
    long pid = 0;
    unsigned long long start = 0;
};

std::optional<unsigned long long> startTimeOf(long pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name is in parentheses and may hold anything, so count fields from its end.
    auto close = stat.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    char state = 0;
    fields >> state;
    // Field 22 of the line is the start time; the state is field 3.
    for (int i = 4; i < 22 && fields >> field; ++i) { }
    unsigned long long start = 0;
    if (!(fields >> start))
        return std::nullopt;
    // A zombie has finished everything it will ever write.
    if (state == 'Z')
        return std::nullopt;
    return start;
}

Writer currentWriter()
{
    // Cached per process id: a forked child is a writer of its own.
    static std::mutex mutex;
    static Writer cached;
    std::lock_guard lock(mutex);
    long pid = static_cast<long>(::getpid());
    if (cached.pid != pid)
        cached = { pid, startTimeOf(pid).value_or(0) };
    return cached;
}

bool isRunning(const Writer& writer)
{
    if (writer.start != 0) {
        auto start = startTimeOf(writer.pid);
        if (start || ::access("/proc/self/stat", R_OK) == 0)
            return start && *start == writer.start;
    }
    return ::kill(static_cast<pid_t>(writer.pid), 0) == 0 || errno == EPERM;
}

std::optional<Writer> writerOf(std::string_view name)
{
    auto marker = name.rfind(kMarker);
    if (name.empty() || name.front() != '.' || marker == std::string_view::npos)
        return std::nullopt;
    std::string rest(name.substr(marker + kMarker.size()));
    Writer writer;
    int used = 0;
    char random[8] = {};
    if (std::sscanf(rest.c_str(), "%ld-%llu-%7[A-Za-z0-9]%n", &writer.pid, &writer.start, random, &used) != 3
        || static_cast<std::size_t>(used) != rest.size() || std::string_view(random).size() != 6 || writer.pid <= 0)
        return std::nullopt;
    return writer;
}

std::pair<std::string, std::string> split(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return { ".", path };
    return { slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1) };
}

// The first atomic write into a folder in this process clears what dead writers left there.
void sweepOnce(const std::string& folder)
{
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(folder).second)
            return;
    }
    removeStaleTemporaries(folder);
}

} // namespace

bool isAtomicWriteTemporary(std::string_view name)
{
    return writerOf(name).has_value();
}

void removeStaleTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> stale;
    auto self = currentWriter();
    while (dirent* entry = ::readdir(dir)) {
        auto writer = writerOf(entry->d_name);
        if (!writer || (writer->pid == self.pid && writer->start == self.start) || isRunning(*writer))
            continue;
        stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (auto& name : stale) {
        std::string path = folder + "/" + name;
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        // A writer holds its lock until the rename: a temporary that is still locked is being
        // written, whatever its name says (a writer in another process namespace, say).
        struct stat info {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
            ::unlink(path.c_str());
        ::close(fd);
    }
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, int* errorOut)
{
    int error = 0;
    auto fail = [&](int code) {
        if (errorOut)
            *errorOut = code;
        return false;
    };
    auto [folder, name] = split(path);
    if (name.empty())
        return fail(EISDIR);
    sweepOnce(folder);
    auto self = currentWriter();
    std::string temporary = folder + "/." + name.substr(0, kNameKept) + std::string(kMarker) + std::to_string(self.pid) + "-"
        + std::to_string(self.start) + "-XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    (void)::flock(fd, LOCK_EX);
    ::fchmod(fd, 0644);
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    // The lock goes with the descriptor, so it is held until the temporary has its final name.
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.c_str());
    // Whatever close says, the bytes were flushed and, without an error, are in place.
    ::close(fd);
    if (error)
        return fail(error);
    // The rename itself must reach the disk, or a crash could bring the old file back.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    if (errorOut)
        *errorOut = 0;
    return true;
}

} // namespace dv
