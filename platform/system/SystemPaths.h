// Where the platform keeps what must survive: the application container (user defaults, caches,
// documents; wiped by a reinstall) and the device folder (keychain, address book, photo album;
// outlives the application). Both live under DOVRELTA_HOME, which is read afresh on every call so
// that a test can point a fresh store at its own temporary folder.
#pragma once

#include <string>

namespace dv {

class SystemPaths {
public:
    // DOVRELTA_HOME, else $XDG_DATA_HOME/dovrelta, else ~/.local/share/dovrelta.
    static std::string home();
    static std::string appContainer();  // home()/app
    static std::string deviceFolder();  // home()/device

    // Creates the folder and its parents; false when that fails.
    [[nodiscard]] static bool ensureDirectory(const std::string& path);
};

} // namespace dv
