#include "platform/base/AtomicFile.h"

#include "platform/base/Mutex.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
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
    // Read with plain calls: a process that ends while its file is read makes the read fail
    // (ESRCH), which a file stream would throw as an exception.
    std::string stat;
    const int fd = ::open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[1024];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        stat.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
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
    static dv::Mutex mutex;
    static Writer cached DV_GUARDED_BY(mutex);
    dv::MutexLocker lock(mutex);
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

void flushFolderOf(const std::string& path)
{
    int dir = ::open(split(path).first.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// The first atomic write into a folder in this process clears what dead writers left there.
void sweepOnce(const std::string& folder)
{
    static dv::Mutex mutex;
    static std::set<std::string> swept DV_GUARDED_BY(mutex);
    {
        dv::MutexLocker lock(mutex);
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

bool writeFileAtomically(const std::string& path, std::string_view bytes, int* error, FileDurability durability)
{
    StagedFile file;
    return file.stage(path, bytes, error) && file.commit(error, durability);
}

StagedFile::~StagedFile() { discard(); }

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_path(std::move(other.m_path))
    , m_temporary(std::move(other.m_temporary))
    , m_fd(std::exchange(other.m_fd, -1))
{
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_path = std::move(other.m_path);
        m_temporary = std::move(other.m_temporary);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool StagedFile::stage(const std::string& path, std::string_view bytes, int* errorOut)
{
    discard();
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
    const std::string prefix = folder + "/." + name.substr(0, kNameKept) + std::string(kMarker) + std::to_string(self.pid) + "-"
        + std::to_string(self.start) + "-";
    // Six characters counting this process's writes, so that the temporaries one writer leaves
    // behind tell their order even within one tick of the file times.
    static std::atomic<std::uint64_t> s_counter { 0 };
    int fd = -1;
    std::string temporary;
    for (int attempt = 0; attempt < 64 && fd < 0; ++attempt) {
        std::uint64_t n = s_counter.fetch_add(1) % 2176782336ull; // 36^6
        char suffix[7] = {};
        for (int i = 5; i >= 0; --i, n /= 36)
            suffix[i] = "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36];
        temporary = prefix + suffix;
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);
    // Held until the rename (or the discard): a sweep leaves a locked temporary alone.
    (void)::flock(fd, LOCK_EX);
    ::fchmod(fd, 0644);
    int error = 0;
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
    if (error) {
        ::unlink(temporary.c_str());
        ::close(fd);
        return fail(error);
    }
    m_path = path;
    m_temporary = std::move(temporary);
    m_fd = fd;
    if (errorOut)
        *errorOut = 0;
    return true;
}

bool StagedFile::commit(int* errorOut, FileDurability durability)
{
    if (m_fd < 0) {
        if (errorOut)
            *errorOut = EBADF;
        return false;
    }
    const bool flushed = durability == FileDurability::Flushed;
    int error = 0;
    if (flushed && ::fsync(m_fd) != 0)
        error = errno;
    // The lock goes with the descriptor, so it is held until the temporary has its final name.
    if (!error && ::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(m_temporary.c_str());
    // Whatever close says, the bytes were written and, without an error, are in place.
    ::close(std::exchange(m_fd, -1));
    if (errorOut)
        *errorOut = error;
    if (error)
        return false;
    // The rename itself must reach the disk, or a crash could bring the old file back.
    if (flushed)
        flushFolderOf(m_path);
    return true;
}

void StagedFile::discard()
{
    if (m_fd < 0)
        return;
    ::unlink(m_temporary.c_str());
    ::close(std::exchange(m_fd, -1));
}

std::vector<std::string> abandonedWritesOf(const std::string& path)
{
    auto [folder, name] = split(path);
    const std::string prefix = "." + name.substr(0, kNameKept) + std::string(kMarker);
    std::vector<std::pair<std::pair<long long, std::string>, std::string>> found;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    while (dirent* entry = ::readdir(dir)) {
        std::string_view entryName = entry->d_name;
        auto writer = writerOf(entryName);
        if (!writer || !entryName.starts_with(prefix) || isRunning(*writer))
            continue;
        const std::string full = folder + "/" + std::string(entryName);
        struct stat info {};
        if (::lstat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const long long modified = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
        found.push_back({ { modified, std::string(entryName) }, full });
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.first > b.first; });
    std::vector<std::string> paths;
    for (auto& entry : found)
        paths.push_back(std::move(entry.second));
    return paths;
}

bool adoptAbandonedWrite(const std::string& temporary, const std::string& path, int* errorOut)
{
    int error = 0;
    int fd = ::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        error = errno;
    else if (::fsync(fd) != 0)
        error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (fd >= 0)
        ::close(fd);
    if (errorOut)
        *errorOut = error;
    if (error)
        return false;
    flushFolderOf(path);
    return true;
}

} // namespace dv
