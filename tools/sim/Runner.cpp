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
#include "platform/base/NSString.h"
#include "platform/dispatch/TestSupport.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UIApplication.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace dv::sim {

namespace {

int complain(int status, const std::string& message)
{
    std::fprintf(stderr, "dovrelta-sim: %s\n", message.c_str());
    return status;
}

bool displayAnnounced()
{
    for (auto name : { "DISPLAY", "WAYLAND_DISPLAY" })
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

bool launchApplication(std::string&)
{
    // The home screen makes the directory's screens by class name: they must be registered.
    dv::app::installDirectoryScreens();
    dv::app::startApplication();
    return true;
}

} // namespace

int runRunner(const std::vector<std::string>& arguments)
{
    auto parsed = parseRunnerOptions(arguments);
    if (!parsed.options) {
        complain(2, parsed.error);
        std::fputs(runnerUsage(), stderr);
        return 2;
    }
    const RunnerOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(runnerUsage(), stdout);
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

    // The whole script is read before anything starts, so that a bad line costs nothing.
    auto script = options.scriptPath.empty() ? parseScript(tourScript(), "tour") : loadScript(options.scriptPath);
    if (!script.script)
        return complain(2, script.error);

    if (!options.home.empty()) {
        if (!dv::SystemPaths::ensureDirectory(options.home))
            return complain(1, "cannot make the home folder " + options.home);
        setenv("DOVRELTA_HOME", options.home.c_str(), 1);
    }
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, options.screenWidth, options.screenHeight));
    UIScreen::mainScreen()->setScale(options.scale);
    // A peer that closes a connection must not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<dv::devserver::Server> server;
    if (options.serverURL.empty()) {
        std::string error;
        server = dv::devserver::Server::start({ .port = options.serverPort }, error);
        if (!server)
            return complain(1, "the local server did not start: " + error);
        for (const auto& [path, fault] : options.faults)
            server->setFault(path, fault);
        if (!dv::app::setServerAddress(server->host(), server->port()))
            return complain(1, "the application cannot use the local server at " + server->baseURL());
        std::printf("dovrelta-sim: local server %s (data: %s)\n", server->baseURL().c_str(), server->dataFolder().c_str());
    } else {
        if (!dv::app::setServerAddress(options.serverHost, options.serverPort))
            return complain(2, "--server " + options.serverURL + ": not an address the application can use");
        std::printf("dovrelta-sim: server %s\n", dv::str(ServerBaseURL()).c_str());
    }
    if (options.offline)
        dv::setNetworkSimulatedOffline(true);

    StepWriter steps;
    if (std::string error; !steps.open(options.outputFolder, error))
        return complain(1, error);
    std::printf("dovrelta-sim: pictures and dumps go to %s\n", steps.folder().c_str());
    std::fflush(stdout);

    int status = 0;
    if (mode == RunMode::Window) {
        UIApplication::setOpensURLsWithSystem(true);
        std::string error;
        WindowMode window;
        if (!window.open({ .shots = &steps }, error)) {
            status = complain(1, error + " (--headless runs without a display)");
        } else {
            launchApplication(error);
            std::printf("dovrelta-sim: window open; Escape goes back, F12 saves a picture, closing the window ends the run\n");
            std::fflush(stdout);
            window.run();
            window.close();
        }
    } else {
        ScriptRunner runner({ .server = server.get(), .launch = launchApplication, .steps = &steps, .shots = options.shots });
        std::string error;
        if (!runner.run(*script.script, error))
            status = complain(1, error);
        std::printf("dovrelta-sim: %zu picture%s in %s\n", steps.pictures().size(), steps.pictures().size() == 1 ? "" : "s", steps.folder().c_str());
        std::printf("dovrelta-sim: %s\n", steps.summary().c_str());
    }

    // The application hears that it ends; what that starts on other threads (the picture cache's
    // clean-up) runs to its end before the process does.
    UIApplication::sharedApplication()->terminate();
    dv::testing::runUntilIdle();
    if (server)
        server->stop();
    std::fflush(stdout);
    return status;
}

} // namespace dv::sim
