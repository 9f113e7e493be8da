// The dovrelta-sim program's errors: a bad command line or script line stops it before anything
// starts, a port in use or a failing command ends it with one line and a non-zero status.
#include "SimTesting.h"

#include "tools/devserver/Server.h"

#include <fstream>

namespace dv::sim::testing {
namespace {

class SimErrorsTest : public SimProgramTest { };

// The runner's own lines in a text (the application's log and a sanitizer's summary left out).
std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        auto line = text.substr(start, end - start);
        if (line.rfind("dovrelta-sim:", 0) == 0 || line.rfind("usage:", 0) == 0 || line.rfind("  --", 0) == 0)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

TEST_F(SimErrorsTest, ABadScriptLineStopsTheRunBeforeAnythingStarts)
{
    auto run = runHeadless({}, "launch\ntap-row first\n");
    EXPECT_EQ(run.status, 2);
    auto lines = linesOf(run.errors);
    ASSERT_EQ(lines.size(), 1u) << run.errors;
    EXPECT_EQ(lines[0], "dovrelta-sim: " + (m_root / "script.txt").string() + ":2: ROW of tap-row is a number, not \"first\"");
    EXPECT_EQ(run.output, "") << "neither the server nor the application started";
    EXPECT_FALSE(std::filesystem::exists(m_home / "server"));

    auto missing = runHeadless({ "--script", (m_root / "none.txt").string() });
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.errors, "dovrelta-sim: " + (m_root / "none.txt").string() + ": cannot be read\n");
}

TEST_F(SimErrorsTest, ABadCommandLineIsOneLineAndTheUsage)
{
    auto run = runHeadless({ "--screen", "wide" });
    EXPECT_EQ(run.status, 2);
    auto lines = linesOf(run.errors);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "dovrelta-sim: --screen takes WIDTHxHEIGHT in points, such as 375x667 (at least 200x300)");
    EXPECT_EQ(lines[1].rfind("usage: dovrelta-sim", 0), 0u);
}

TEST_F(SimErrorsTest, APortInUseIsOneLineAndAFailure)
{
    auto started = dv::devserver::Server::start({ .dataFolder = (m_root / "other").string() });
    ASSERT_TRUE(started) << started.reason();
    auto other = std::move(started).value();
    auto run = runHeadless({ "--port", std::to_string(other->port()) });
    EXPECT_EQ(run.status, 1);
    auto lines = linesOf(run.errors);
    ASSERT_EQ(lines.size(), 1u) << run.errors;
    EXPECT_EQ(lines[0].rfind("dovrelta-sim: the local server did not start: ", 0), 0u) << lines[0];
}

TEST_F(SimErrorsTest, TheTourRefusesFaultsAndOfflineUpFrontWithOneLine)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        { { "--offline" }, "dovrelta-sim: --offline does not go with the tour" },
        { { "--fault", "home/index.do=http:500" }, "dovrelta-sim: --fault does not go with the tour" },
    };
    for (const auto& [arguments, message] : cases) {
        auto run = runHeadless(arguments);
        EXPECT_EQ(run.status, 2) << arguments[0];
        auto lines = linesOf(run.errors);
        ASSERT_EQ(lines.size(), 1u) << run.errors;
        EXPECT_EQ(lines[0].rfind(message, 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find("--script FILE"), std::string::npos) << "it says what to do instead: " << lines[0];
        EXPECT_EQ(run.output, "") << "nothing started";
    }
    // With a script of one's own they are welcome.
    auto scripted = runHeadless({ "--offline" }, "network on\n");
    EXPECT_EQ(scripted.status, 0) << scripted.errors;
}

TEST_F(SimErrorsTest, AFailingCommandEndsTheRunWithItsLineAndAPictureOfTheScreen)
{
    // --verbose: the application's log on standard error as well as in its file.
    auto run = runHeadless({ "--verbose" }, "launch\nwait-for 不会出现的文字 0.5\nscreenshot never\n");
    EXPECT_EQ(run.status, 1);
    auto lines = linesOf(run.errors);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "dovrelta-sim: " + (m_root / "script.txt").string()
            + ":2: wait-for 不会出现的文字 0.5: no visible view shows \"不会出现的文字\" after 0.5 s");
    EXPECT_EQ(stepNames(), std::vector<std::string> { "failed" });
    EXPECT_NE(run.output.find("pictures and dumps go to " + m_out.string()), std::string::npos) << run.output;
    EXPECT_NE(run.errors.find("Dovrelta["), std::string::npos) << run.errors;
    EXPECT_GT(std::filesystem::file_size(m_out / "application.log"), 0u);
}

TEST_F(SimErrorsTest, AWindowWithoutADisplayIsOneLineAndAFailure)
{
    dv::testing::ChildProcess sim;
    ASSERT_TRUE(sim.start(DV_SIM_PROGRAM, { "--window", "--home", m_home.string(), "--out", m_out.string() },
        { "DISPLAY=", "WAYLAND_DISPLAY=", "ASAN_OPTIONS=detect_leaks=0" }));
    EXPECT_EQ(sim.waitForExit(60), 1);
    auto lines = linesOf(sim.standardError());
    ASSERT_EQ(lines.size(), 1u) << sim.standardError();
    EXPECT_EQ(lines[0].rfind("dovrelta-sim: cannot open a window: no display answers", 0), 0u) << lines[0];
    EXPECT_EQ(sim.standardOutput().find("window open"), std::string::npos);
}

} // namespace
} // namespace dv::sim::testing
