#include "tools/sim/StepWriter.h"

#include "tools/sim/ScreenCapture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace dv::sim {

bool StepWriter::open(const std::string& folder, std::string& error)
{
    std::error_code code;
    if (folder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/dovrelta-run-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            error = "cannot make a folder for the pictures under " + pattern + ": " + std::strerror(errno);
            return false;
        }
        m_folder = pattern;
    } else {
        std::filesystem::create_directories(folder, code);
        if (code || !std::filesystem::is_directory(folder)) {
            error = "cannot make the folder " + folder + (code ? ": " + code.message() : std::string());
            return false;
        }
        m_folder = folder;
    }
    m_folder = std::filesystem::absolute(m_folder, code).string();
    return true;
}

bool StepWriter::write(const std::string& name, std::string& error)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d-", ++m_count);
    const std::string base = m_folder + "/" + number + name;
    if (!writeScreenPNG(base + ".png")) {
        error = "cannot write " + base + ".png";
        return false;
    }
    std::ofstream dump(base + ".txt", std::ios::binary | std::ios::trunc);
    dump << describeScreen();
    dump.close();
    if (!dump) {
        error = "cannot write " + base + ".txt";
        return false;
    }
    m_pictures.push_back(base + ".png");
    return true;
}

} // namespace dv::sim
