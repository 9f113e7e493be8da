// The web engine in the runner's process: the private display and the engine's processes it
// starts for a web page end with the runner, also when it is killed in the middle of a load; and
// where the system does not let the engine's sandbox start, pages still show, after one line that
// says so.
#include "SimTesting.h"

#include "platform/testing/LoopbackServer.h"
#include "platform/testing/ProcessTree.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>

namespace dv::sim::testing {
namespace {

class SimWebEngineTest : public SimProgramTest {
protected:
    std::filesystem::path writeScript(const std::string& text)
    {
        auto path = m_root / "script.txt";
        std::ofstream(path) << text;
        return path;
    }
    std::vector<std::string> headless(const std::filesystem::path& script, std::vector<std::string> more = {})
    {
        std::vector<std::string> arguments { "--headless", "--home", m_home.string(), "--out", m_out.string(), "--script", script.string() };
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }
};

bool hasNamed(const std::vector<dv::testing::ProcessEntry>& processes, const std::string& prefix)
{
    return std::any_of(processes.begin(), processes.end(), [&](const auto& entry) { return entry.name.rfind(prefix, 0) == 0; });
}

TEST_F(SimWebEngineTest, TheDisplayAndTheEngineEndWithTheRunnerKilledInALoad)
{
    // A server that never answers the help page: the runner is killed while the page loads.
    dv::testing::LoopbackServer server;
    server.route("/DV/data/qryLearn.do", { .body = "<p>太晚</p>", .contentType = "text/html", .delay = std::chrono::seconds(120) });
    auto script = writeScript("open VQNewVideoVC 说明\nwait 300\n");
    dv::testing::ChildProcess program;
    ASSERT_TRUE(program.start(DV_SIM_PROGRAM, headless(script, { "--server", server.url("/DV/") }), { "DISPLAY=", "WAYLAND_DISPLAY=" }));
    ASSERT_TRUE(server.waitForRequest("/DV/data/qryLearn.do", std::chrono::seconds(60))) << program.standardError();

    const auto started = dv::testing::descendants(program.pid());
    EXPECT_TRUE(hasNamed(started, "Xvfb"));
    EXPECT_TRUE(hasNamed(started, "WebKitNetworkPr"));
    EXPECT_TRUE(hasNamed(started, "WebKitWebProces"));
    std::vector<pid_t> pids;
    for (const auto& entry : started)
        pids.push_back(entry.pid);
    ASSERT_TRUE(program.sendSignal(SIGKILL));
    EXPECT_EQ(program.waitForExit(20), 128 + SIGKILL);
    EXPECT_TRUE(dv::testing::waitForExit(pids, 20)) << "a process the runner started outlived it";
}

TEST_F(SimWebEngineTest, WithoutUserNamespacesPagesShowUnsandboxedAfterOneLine)
{
    auto script = writeScript("open VQNewVideoVC 说明\nwait-idle\nscreenshot help\n");
    std::vector<std::string> environment { "DISPLAY=", "WAYLAND_DISPLAY=" };
    // The runner in a user namespace of its own that may make no more of them, as on a system that
    // does not let unprivileged programs make any.
    dv::testing::ChildProcess probe;
    ASSERT_TRUE(probe.start("/usr/bin/unshare", { "--user", "--map-root-user", "true" }, environment));
    const bool namespaces = probe.waitForExit(20) == 0;
    dv::testing::ChildProcess program;
    if (namespaces) {
        std::vector<std::string> arguments { "--user", "--map-root-user", "/bin/sh", "-c",
            "echo 0 > /proc/sys/user/max_user_namespaces && exec \"$0\" \"$@\"", DV_SIM_PROGRAM };
        for (auto& argument : headless(script))
            arguments.push_back(argument);
        ASSERT_TRUE(program.start("/usr/bin/unshare", arguments, environment));
    } else {
        ASSERT_TRUE(program.start(DV_SIM_PROGRAM, headless(script), environment));
    }
    EXPECT_EQ(program.waitForExit(120), 0) << program.standardError();
    // The notice is the application's: it goes to the run's log.
    std::ifstream logFile(m_out / "application.log");
    const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    std::size_t notices = 0;
    for (std::size_t at = log.find("without the engine's sandbox"); at != std::string::npos; at = log.find("without the engine's sandbox", at + 1))
        ++notices;
    EXPECT_EQ(notices, 1u) << log;
    const auto dump = dumpOf("help");
    EXPECT_TRUE(dumpShows(dump, "UIWebView (0 0; 375 603) title=\"使用说明\"")) << dump;
    auto pixels = picture("help");
    ASSERT_TRUE(pixels);
    EXPECT_TRUE(dv::testing::anyPixelIn(*pixels, CGRectMake(16, 92, 80, 20), [](const dv::testing::Pixel& p) { return p[0] < 100; }))
        << "the page's heading shows";
}

} // namespace
} // namespace dv::sim::testing
