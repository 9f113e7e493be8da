#include "platform/testing/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace dv::testing {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 1000 * 1000));
}

Clock::time_point deadlineAfter(double seconds)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (running()) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_stdout >= 0)
        ::close(m_stdout);
    if (m_pidfd >= 0)
        ::close(m_pidfd);
    if (!m_errorFile.empty())
        ::unlink(m_errorFile.c_str());
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::string>& environment)
{
    if (m_pid > 0)
        return false;
    char errorPath[] = "/tmp/dv-child-stderr-XXXXXX";
    int errorFd = ::mkstemp(errorPath);
    if (errorFd < 0)
        return false;
    m_errorFile = errorPath;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        ::close(errorFd);
        return false;
    }

    std::map<std::string, std::string> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string text = *entry;
        auto equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& text : environment) {
        auto equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : variables)
        envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& text : envText)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    std::vector<std::string> argText { program };
    argText.insert(argText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& text : argText)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int spawned = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ::close(errorFd);
    if (spawned != 0) {
        m_pid = -1;
        ::close(pipeFds[0]);
        return false;
    }
    m_stdout = pipeFds[0];
    m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    return true;
}

bool ChildProcess::pump(int milliseconds)
{
    if (m_stdout < 0 || m_stdoutEnded)
        return false;
    pollfd poller { m_stdout, POLLIN, 0 };
    if (::poll(&poller, 1, milliseconds) <= 0)
        return true;
    char buffer[4096];
    ssize_t count = ::read(m_stdout, buffer, sizeof buffer);
    if (count <= 0) {
        if (count < 0 && errno == EINTR)
            return true;
        m_stdoutEnded = true;
        return false;
    }
    m_output.append(buffer, static_cast<std::size_t>(count));
    return true;
}

std::optional<std::string> ChildProcess::readLine(double limit)
{
    auto deadline = deadlineAfter(limit);
    for (;;) {
        auto end = m_output.find('\n', m_consumed);
        if (end != std::string::npos) {
            std::string line = m_output.substr(m_consumed, end - m_consumed);
            m_consumed = end + 1;
            return line;
        }
        if (m_stdoutEnded || Clock::now() >= deadline)
            return std::nullopt;
        pump(millisecondsLeft(deadline));
    }
}

std::optional<std::string> ChildProcess::waitForLine(std::string_view text, double limit)
{
    auto deadline = deadlineAfter(limit);
    while (auto line = readLine(std::chrono::duration<double>(deadline - Clock::now()).count()))
        if (line->find(text) != std::string::npos)
            return line;
    return std::nullopt;
}

std::string ChildProcess::standardError() const
{
    std::ifstream file(m_errorFile, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int ChildProcess::waitForExit(double limit)
{
    if (m_exited)
        return m_status;
    if (m_pid <= 0)
        return -1;
    auto deadline = deadlineAfter(limit);
    for (;;) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_exited = true;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            while (pump(0)) { }
            return m_status;
        }
        if (Clock::now() >= deadline)
            return -1;
        // Wait for output (which is kept, so that a chatty program never blocks on a full pipe)
        // or for the end of the program.
        pollfd pollers[2] = { { m_stdoutEnded ? -1 : m_stdout, POLLIN, 0 }, { m_pidfd, POLLIN, 0 } };
        if (::poll(pollers, 2, std::min(millisecondsLeft(deadline), m_pidfd < 0 ? 50 : 1000 * 1000)) > 0 && pollers[0].revents)
            pump(0);
    }
}

bool ChildProcess::sendSignal(int signal) { return running() && ::kill(m_pid, signal) == 0; }

} // namespace dv::testing
