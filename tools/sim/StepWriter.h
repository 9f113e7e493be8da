// Where a headless run leaves its pictures: one folder, and in it for each step a PNG of the
// screen and the screen's text dump, numbered in the order they were taken:
//   01-home.png  01-home.txt  02-group-list.png ...
// The folder is made when the writer is (a new one under $TMPDIR when none is given); a step of
// the same name as an earlier one gets its own number, so nothing is overwritten. Main thread.
#pragma once

#include <string>
#include <vector>

namespace dv::sim {

class StepWriter {
public:
    // False and a reason when the folder cannot be made.
    bool open(const std::string& folder, std::string& error);
    const std::string& folder() const { return m_folder; }

    // Writes the screen as it is now; false and a reason when a file cannot be written. The
    // picture's path is kept in `pictures`.
    bool write(const std::string& name, std::string& error);
    const std::vector<std::string>& pictures() const { return m_pictures; }

private:
    std::string m_folder;
    int m_count = 0;
    std::vector<std::string> m_pictures;
};

} // namespace dv::sim
