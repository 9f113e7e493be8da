#include "platform/base/NSLog.h"

#include "platform/base/Mutex.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace dv {

namespace {

dv::Mutex s_logLock;
int s_captures DV_GUARDED_BY(s_logLock) = 0;
LogWriter* s_writer DV_PT_GUARDED_BY(s_logLock) = new LogWriter; // outlives the threads that may log while the process ends
std::vector<std::string>& captured() DV_REQUIRES(s_logLock)
{
    static std::vector<std::string> lines;
    return lines;
}

} // namespace

void logLine(const std::string& message)
{
    dv::MutexLocker guard(s_logLock);
    if (s_captures > 0) {
        captured().push_back(message);
        return;
    }
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm parts {};
    localtime_r(&seconds, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%s.%03lld Dovrelta[%d:%ld] ", stamp, static_cast<long long>(millis), static_cast<int>(::getpid()),
                  static_cast<long>(::syscall(SYS_gettid)));
    std::string line = prefix + message + "\n";
    if (*s_writer)
        (*s_writer)(line);
    else
        std::fwrite(line.data(), 1, line.size(), stderr);
}

void setLogWriter(LogWriter writer)
{
    dv::MutexLocker guard(s_logLock);
    *s_writer = std::move(writer);
}

LogCapture::LogCapture()
{
    dv::MutexLocker guard(s_logLock);
    if (s_captures++ == 0)
        captured().clear();
}

LogCapture::~LogCapture()
{
    dv::MutexLocker guard(s_logLock);
    --s_captures;
}

std::vector<std::string> LogCapture::lines() const
{
    dv::MutexLocker guard(s_logLock);
    return captured();
}

bool LogCapture::contains(std::string_view text) const
{
    dv::MutexLocker guard(s_logLock);
    for (auto& line : captured())
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

} // namespace dv
