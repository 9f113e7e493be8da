#include "platform/testing/CommandPath.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace dv::testing {

namespace {

std::atomic<int> s_count { 0 };

} // namespace

CommandPath::CommandPath()
    : m_folder(std::filesystem::temp_directory_path() / ("dv-path-" + std::to_string(::getpid()) + "-" + std::to_string(s_count++)))
{
    std::filesystem::remove_all(m_folder);
    std::filesystem::create_directories(m_folder);
    if (const char* path = std::getenv("PATH"))
        m_previous = path;
    ::setenv("PATH", m_folder.c_str(), 1);
}

CommandPath::~CommandPath()
{
    if (m_previous)
        ::setenv("PATH", m_previous->c_str(), 1);
    else
        ::unsetenv("PATH");
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

void CommandPath::addScript(const std::string& name, const std::string& body)
{
    const auto script = m_folder / name;
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
}

} // namespace dv::testing
