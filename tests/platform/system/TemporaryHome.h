// A fresh DOVRELTA_HOME for one test: created in the fixture's set-up, removed afterwards, the
// previous value restored.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace dv::test {

class TemporaryHome {
public:
    TemporaryHome()
    {
        if (const char* old = std::getenv("DOVRELTA_HOME"))
            m_previous = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-system-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
        ::setenv("DOVRELTA_HOME", m_path.c_str(), 1);
    }
    ~TemporaryHome()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
        if (m_previous.empty())
            ::unsetenv("DOVRELTA_HOME");
        else
            ::setenv("DOVRELTA_HOME", m_previous.c_str(), 1);
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
};

} // namespace dv::test
