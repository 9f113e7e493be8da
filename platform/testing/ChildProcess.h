// A program started by a test: its standard output is read line by line as it comes (with a
// bound on the wait), its standard error is kept in a file and read once it has ended, and its
// end is waited for without polling (through a pidfd). The destructor kills a program that is
// still running. Used by the tests of the project's programs (the local server, the runner).
//
//   dv::testing::ChildProcess program;
//   ASSERT_TRUE(program.start(DV_SIM_PROGRAM, { "--headless" }, { "DISPLAY=" }));
//   auto line = program.waitForLine("pictures", 20);
//   EXPECT_EQ(program.waitForExit(60), 0) << program.standardError();
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace dv::testing {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `arguments`; `environment` holds "NAME=VALUE" entries that replace or
    // join the test's own ("NAME=" leaves NAME empty). False when it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
        const std::vector<std::string>& environment = {});
    pid_t pid() const { return m_pid; }

    // The next line of standard output (without its line feed); nothing when none has come within
    // `limit` real seconds or the output has ended.
    std::optional<std::string> readLine(double limit);
    // Lines until one that contains `text`; that line, or nothing within the limit.
    std::optional<std::string> waitForLine(std::string_view text, double limit);
    // Everything the program wrote to standard output so far (all of it once it has ended).
    const std::string& standardOutput() const { return m_output; }
    // Everything it wrote to standard error; complete once it has ended.
    std::string standardError() const;

    // The exit status (128 + the signal's number when a signal ended it); -1 when it has not ended
    // within `limit` real seconds.
    int waitForExit(double limit);
    bool sendSignal(int signal);
    bool running() const { return m_pid > 0 && !m_exited; }

private:
    // Reads what standard output has ready, waiting at most `milliseconds`; false once it ended.
    bool pump(int milliseconds);

    pid_t m_pid = -1;
    int m_pidfd = -1;
    int m_stdout = -1;
    bool m_stdoutEnded = false;
    bool m_exited = false;
    int m_status = -1;
    std::string m_output;
    std::size_t m_consumed = 0; // of m_output, by readLine
    std::string m_errorFile;
};

} // namespace dv::testing
