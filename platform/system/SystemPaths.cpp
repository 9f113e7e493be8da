#include "platform/system/SystemPaths.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace dv {

std::string SystemPaths::home()
{
    if (const char* explicitHome = std::getenv("DOVRELTA_HOME"); explicitHome && *explicitHome)
        return explicitHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::string(xdg) + "/dovrelta";
    std::string userHome;
    if (const char* h = std::getenv("HOME"); h && *h)
        userHome = h;
    else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        userHome = pw->pw_dir;
    else
        userHome = "/tmp";
    return userHome + "/.local/share/dovrelta";
}

std::string SystemPaths::appContainer() { return home() + "/app"; }
std::string SystemPaths::deviceFolder() { return home() + "/device"; }

bool SystemPaths::ensureDirectory(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

} // namespace dv
