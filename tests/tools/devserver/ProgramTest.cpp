// The dovrelta-devserver program: flags, the announced address, faults from the command line and
// a clean stop on SIGTERM.
#include "DevServerTesting.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace dv::devserver::testing {
namespace {

class Program {
public:
    explicit Program(std::vector<std::string> arguments)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        arguments.insert(arguments.begin(), DV_DEVSERVER_PROGRAM);
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, DV_DEVSERVER_PROGRAM, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        m_output = pipeFds[0];
    }

    ~Program()
    {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0)
            close(m_output);
    }

    // The first line the program writes, or "" when none comes within the limit.
    std::string firstLine()
    {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd poller { m_output, POLLIN, 0 };
            if (poll(&poller, 1, 200) <= 0)
                continue;
            char c;
            if (read(m_output, &c, 1) != 1)
                break;
            if (c == '\n')
                return line;
            line += c;
        }
        return line;
    }

    // The exit status, or -1 when the program has not ended within the limit.
    int waitForExit()
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::yield();
        }
        return -1;
    }

    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    bool m_exited = false;
};

TEST(ProgramTest, AnnouncesItsAddressAppliesCommandLineFaultsAndStopsOnSigterm)
{
    TemporaryFolder folder;
    Program program({ "--port", "0", "--data", folder.path() + "/data", "--fault", "home/index.do=status:5:停机维护" });
    ASSERT_GT(program.pid(), 0);
    std::string line = program.firstLine();
    auto start = line.find("http://");
    ASSERT_NE(start, std::string::npos) << line;
    std::string base = line.substr(start, line.find(' ', start) - start);
    ASSERT_TRUE(base.ends_with("/DV/")) << line;

    Json refused = httpPostForm(base + "home/index.do", {}).json();
    EXPECT_EQ(refused["status"], 5);
    EXPECT_EQ(refused["msg"], "停机维护");
    EXPECT_EQ(httpPostForm(base + "client/login.do", { { "clientId", "abc" } }).json()["status"], 1);

    kill(program.pid(), SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0);
}

TEST(ProgramTest, RejectsBadArguments)
{
    for (std::vector<std::string> arguments : { std::vector<std::string> { "--port", "99999" }, { "--fault", "home/index.do=explode" },
             { "--fault", "noequals" }, { "--unknown" }, { "--data" } }) {
        Program program(arguments);
        EXPECT_EQ(program.waitForExit(), 2) << arguments[0];
    }
}

} // namespace
} // namespace dv::devserver::testing
