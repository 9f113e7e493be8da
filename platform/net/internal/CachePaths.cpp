#include "platform/net/internal/CachePaths.h"

#include <cstdlib>
#include <filesystem>

namespace dv::internal {

namespace {

std::string home()
{
    if (const char* h = std::getenv("DOVRELTA_HOME"); h && *h)
        return h;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x)
        return std::string(x) + "/dovrelta";
    const char* user = std::getenv("HOME");
    return std::string(user ? user : "/tmp") + "/.local/share/dovrelta";
}

} // namespace

std::string cachesDirectoryPath()
{
    return home() + "/app/Library/Caches";
}

std::string temporaryDirectoryPath()
{
    return home() + "/app/tmp";
}

} // namespace dv::internal
