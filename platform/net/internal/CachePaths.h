// Where the URL loading system keeps files: the application's caches directory and its temporary
// directory (for downloads), under DOVRELTA_HOME.
#pragma once

#include <string>

namespace dv::internal::net {

std::string cachesDirectoryPath();
std::string temporaryDirectoryPath();

} // namespace dv::internal::net
