#include "platform/base/Check.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace dv::internal::base {

void checkFailed(const char* file, int line, const char* condition, const char* message)
{
    std::string report = std::string(file) + ":" + std::to_string(line) + ": invariant broken: " + condition;
    if (message)
        report += std::string(" (") + message + ")";
    report += "\n";
    // Straight to the descriptor: whatever the standard streams hold buffered stays out of the
    // way, and the line is whole even when other threads write at the same moment.
    std::fflush(stderr);
    [[maybe_unused]] auto written = ::write(STDERR_FILENO, report.data(), report.size());
    std::abort();
}

} // namespace dv::internal::base
