// NSLog: one line on standard error, "yyyy-MM-dd HH:mm:ss.SSS Dovrelta[pid:tid] message", or
// wherever a log writer sends it (the runner keeps the application's log in a file). Tests
// capture the lines with dv::LogCapture.
#pragma once

#include "platform/base/StringFormat.h"

#include <functional>
#include <string>
#include <vector>

namespace dv {

void logLine(const std::string& message);

// Where whole log lines (with their prefix and line feed) go from now on; an empty writer
// restores standard error. The writer is called under the log's lock, from any thread.
using LogWriter = std::function<void(std::string_view line)>;
void setLogWriter(LogWriter writer);

// While alive, every logged message (without the prefix) is collected instead of printed.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<std::string> lines() const;
    bool contains(std::string_view text) const;
};

} // namespace dv

template <class... Args>
void NSLog(std::string_view format, const Args&... args)
{
    dv::logLine(dv::format(format, {dv::FormatArg(args)...}));
}
