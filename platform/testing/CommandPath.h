// A search path of the test's own, for code that starts programs by name (xdg-open): while it
// lives, PATH is a fresh temporary folder alone, which holds only the scripts the test writes
// there; the previous PATH comes back and the folder goes when it ends. The process's PATH is
// shared, so a test uses one at a time, on its own thread.
//
//   dv::testing::CommandPath path;              // no xdg-open to be found
//   path.addScript("xdg-open", "echo \"$1\" >> '" + path.file("opened") + "'");
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace dv::testing {

class CommandPath {
public:
    CommandPath();
    ~CommandPath();
    CommandPath(const CommandPath&) = delete;
    CommandPath& operator=(const CommandPath&) = delete;

    // Writes an executable shell script `name` with `body` (after "#!/bin/sh") into the folder.
    void addScript(const std::string& name, const std::string& body);
    // A path inside the folder, for what the scripts write.
    std::string file(const std::string& name) const { return (m_folder / name).string(); }

private:
    std::filesystem::path m_folder;
    std::optional<std::string> m_previous;
};

} // namespace dv::testing
