#include "platform/net/internal/CachePaths.h"

#include "platform/system/SystemPaths.h"

namespace dv::internal::net {

// The same folders the file manager answers for the caches and temporary directories.
std::string cachesDirectoryPath()
{
    return SystemPaths::appContainer() + "/Library/Caches";
}

std::string temporaryDirectoryPath()
{
    return SystemPaths::appContainer() + "/tmp";
}

} // namespace dv::internal::net
