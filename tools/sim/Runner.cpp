#include "tools/sim/Runner.h"

#include "tools/devserver/Server.h"
#include "tools/sim/RunnerOptions.h"
#include "tools/sim/Script.h"
#include "tools/sim/ScriptRunner.h"
#include "tools/sim/StepWriter.h"
#include "tools/sim/Tour.h"
#include "tools/sim/WindowMode.h"

#include "app/directory/DirectoryScreens.h"
#include "app/shell/ApplicationEntry.h"
#include "app/shell/server/ServerSettings.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/ViewSnapshot.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace dv::sim {

namespace {

int complain(int status, const std::string& message)
{
    std::fprintf(stderr, "dovrelta-sim: %s\n", message.c_str());
    return status;
}

// A line of the runner's own on standard output, there at once for whoever reads it.
void say(const std::string& line)
{
    std::printf("dovrelta-sim: %s\n", line.c_str());
    std::fflush(stdout);
}

bool displayAnnounced()
{
    for (auto name : { "DISPLAY", "WAYLAND_DISPLAY" })
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

Result<void> launchApplication()
{
    // The home screen makes the directory's screens by class name: they must be registered.
    dv::app::installDirectoryScreens();
    dv::app::startApplication();
    return {};
}

// The application's log: a file in the run's folder, and standard error when asked.
class ApplicationLog {
public:
    Result<void> open(const std::string& path, bool echo)
    {
        m_file = std::fopen(path.c_str(), "a");
        if (!m_file)
            return Failure("cannot write the application's log " + path + ": " + std::strerror(errno));
        dv::setLogWriter([file = m_file, echo](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), file);
            std::fflush(file);
            if (echo)
                std::fwrite(line.data(), 1, line.size(), stderr);
        });
        return {};
    }
    ~ApplicationLog()
    {
        if (!m_file)
            return;
        dv::setLogWriter({});
        std::fclose(m_file);
    }

private:
    std::FILE* m_file = nullptr;
};

std::string tileSummary(const std::string& name)
{
    for (const auto& set : dv::devserver::Server::tileSets())
        if (set.name == name)
            return name + " (" + set.summary + ")";
    return "the data folder's own";
}

// The device of a reproducible run: its identifier shows on the about screen.
constexpr const char* kReproducibleDeviceIdentifier = "5d1f0c2a9b3e4f6a8c7d2e1f0a9b8c7d";
constexpr const char* kReproducibleTime = "09:41";

// What varies from run to run in what the screen shows, made the same: the status area stands
// still, and a fresh home's device keeps a fixed identifier, as if it had kept one from before.
void makeReproducible(bool freshHome)
{
    dv::setStillStatusBar(kReproducibleTime);
    if (!freshHome)
        return;
    DIUUID::uuidForDeviceMigratingValue(NSString::fromUTF8(kReproducibleDeviceIdentifier), true);
    // The application reads it from the stores when it starts, as a new process would.
    DIUUID::resetSharedInstanceForTesting();
}

std::string windowTitle(const std::string& tiles)
{
    return tiles.empty() ? std::string("Dovrelta") : "Dovrelta - home tiles: " + tiles + " (F2 switches)";
}

} // namespace

int runRunner(const std::vector<std::string>& arguments)
{
    auto parsed = parseRunnerOptions(arguments);
    if (!parsed) {
        complain(2, parsed.reason());
        std::fputs(runnerUsage().c_str(), stderr);
        return 2;
    }
    const RunnerOptions& options = *parsed;
    if (options.help) {
        std::fputs(runnerUsage().c_str(), stdout);
        return 0;
    }
    if (options.printTour) {
        std::printf("# Commands (one a line; quote texts with blanks):\n%s\n%s", scriptLanguageSummary().c_str(), tourScript().c_str());
        return 0;
    }

    RunMode mode = options.mode;
    if (mode == RunMode::Automatic)
        mode = !options.scriptPath.empty() || !displayAnnounced() ? RunMode::Headless : RunMode::Window;
    if (mode == RunMode::Window && !options.scriptPath.empty())
        return complain(2, "--script runs headless; it does not go with --window");
    // The tour walks the working application; with the server failing it would stop at its first
    // screen. Faults are looked at with a script of one's own or in the window.
    if (mode == RunMode::Headless && options.scriptPath.empty() && (options.offline || !options.faults.empty()))
        return complain(2, std::string(options.offline ? "--offline" : "--fault")
                + " does not go with the tour, which walks the working application: give --script FILE (with `network off` or "
                  "`fault PATH FAULT` where the script wants them) or --window");

    // The whole script is read before anything starts, so that a bad line costs nothing.
    auto script = options.scriptPath.empty() ? parseScript(tourScript(), "tour") : loadScript(options.scriptPath);
    if (!script)
        return complain(2, script.reason());

    // A headless run starts from a home of its own, so that every run sees the same application
    // and server data; a window shows the person's own.
    std::string freshHome;
    if (!options.home.empty()) {
        if (!dv::SystemPaths::ensureDirectory(options.home))
            return complain(1, "cannot make the home folder " + options.home);
        setenv("DOVRELTA_HOME", options.home.c_str(), 1);
        say("home " + std::filesystem::absolute(options.home).string() + " (--home)");
    } else if (mode == RunMode::Headless) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/dovrelta-home-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return complain(1, "cannot make a fresh home under " + pattern + ": " + std::strerror(errno));
        freshHome = pattern;
        setenv("DOVRELTA_HOME", freshHome.c_str(), 1);
        say("a fresh home for this run: " + freshHome + " (removed after a run that passes; --home DIR keeps one between runs)");
    } else {
        say("home " + dv::SystemPaths::home() + " (the window keeps it between runs; --home DIR uses another)");
    }
    if (options.reproducible)
        makeReproducible(!freshHome.empty());
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, options.screenWidth, options.screenHeight));
    UIScreen::mainScreen()->setScale(options.scale);
    // A peer that closes a connection must not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    StepWriter steps;
    if (auto opened = steps.open(options.outputFolder); !opened)
        return complain(1, opened.reason());
    say("pictures and dumps go to " + steps.folder());
    ApplicationLog log;
    if (auto opened = log.open(steps.folder() + "/application.log", options.verbose); !opened)
        return complain(1, opened.reason());

    std::unique_ptr<dv::devserver::Server> server;
    if (options.serverURL.empty()) {
        auto started = dv::devserver::Server::start({ .port = options.serverPort, .tileSet = options.tiles });
        if (!started)
            return complain(1, "the local server did not start: " + started.reason());
        server = std::move(started).value();
        for (const auto& [path, fault] : options.faults)
            server->setFault(path, fault);
        if (!dv::app::setServerAddress(server->host(), server->port()))
            return complain(1, "the application cannot use the local server at " + server->baseURL());
        say("local server " + server->baseURL() + " (data: " + server->dataFolder() + "; home tiles: " + tileSummary(server->tileSet()) + ")");
    } else {
        if (!dv::app::setServerAddress(options.serverHost, options.serverPort))
            return complain(2, "--server " + options.serverURL + ": not an address the application can use");
        say("server " + dv::str(ServerBaseURL()));
    }
    if (options.offline)
        dv::setNetworkSimulatedOffline(true);

    int status = 0;
    if (mode == RunMode::Window) {
        UIApplication::setOpensURLsWithSystem(true);
        WindowMode window;
        WindowOptions windowOptions { .title = windowTitle(server ? server->tileSet() : std::string()), .shots = &steps };
        if (server) {
            // F2: the next set of tiles, shown by the application started again (its home screen
            // asks for the tiles once, when it starts).
            windowOptions.switchTiles = [&server] {
                const auto& sets = dv::devserver::Server::tileSets();
                const std::string now = server->tileSet();
                std::size_t next = 0;
                for (std::size_t i = 0; i < sets.size(); ++i)
                    if (sets[i].name == now)
                        next = (i + 1) % sets.size();
                if (auto listed = server->setTileSet(sets[next].name); !listed) {
                    complain(1, listed.reason());
                    return std::string();
                }
                endApplication();
                if (auto launched = launchApplication(); !launched)
                    complain(1, launched.reason());
                say("home tiles: " + tileSummary(sets[next].name));
                return windowTitle(sets[next].name);
            };
        } else {
            windowOptions.switchTiles = [] {
                say("F2 switches the home tiles of the local server; this run's tiles are those of " + dv::str(ServerBaseURL())
                    + ", which the runner cannot switch");
                return std::string();
            };
        }
        if (auto opened = window.open(windowOptions); !opened) {
            status = complain(1, opened.reason() + " (--headless runs without a display)");
        } else {
            if (auto launched = launchApplication(); !launched)
                complain(1, launched.reason());
            say(std::string("window open; Escape goes back, F12 saves a picture, ")
                + (server ? "F2 switches the home tiles (now " + tileSummary(server->tileSet()) + "), " : std::string())
                + "closing the window ends the run");
            window.run();
            window.close();
        }
    } else {
        ScriptRunner runner({ .server = server.get(),
            .launch = launchApplication,
            .steps = &steps,
            .shots = options.shots,
            .settling = options.reproducible ? ShotSettling::Pictures : ShotSettling::Screen,
            .say = say });
        if (auto ran = runner.run(*script); !ran)
            status = complain(1, ran.reason());
        say(std::to_string(steps.pictures().size()) + " picture" + (steps.pictures().size() == 1 ? "" : "s") + " in " + steps.folder()
            + " (the application's log: application.log)");
        say(steps.summary());
    }

    // The application hears that it ends; what that starts on other threads (the picture cache's
    // clean-up) runs to its end before the process does.
    UIApplication::sharedApplication()->terminate();
    dv::testing::runUntilIdle();
    if (server)
        server->stop();
    if (!freshHome.empty()) {
        std::error_code code;
        if (status == 0)
            std::filesystem::remove_all(freshHome, code);
        else
            say("the run's home is kept for a look: " + freshHome);
    }
    std::fflush(stdout);
    return status;
}

} // namespace dv::sim
