// The runner's command line.
//
//   dovrelta-sim [--headless | --window] [--script FILE] [--out DIR] [--server URL | --port N]
//                [--home DIR] [--tiles NAME] [--scale S] [--screen WxH] [--fault PATH=FAULT]... [--offline]
//                [--shots named|all] [--reproducible] [--verbose] [--print-tour]
//
// Without --headless or --window the runner opens a window when a display is there (DISPLAY or
// WAYLAND_DISPLAY set) and runs headless otherwise. parseRunnerOptions never exits and never
// throws: a bad command line comes back as a failure of one line.
#pragma once

#include "platform/base/Result.h"
#include "tools/devserver/Fault.h"

#include <string>
#include <utility>
#include <vector>

namespace dv::sim {

enum class RunMode { Automatic, Window, Headless };
// Which steps of a headless run leave a picture and a dump: the `screenshot` commands, or every
// command that acts on the interface as well.
enum class ShotPolicy { Named, All };
// What a `screenshot` waits for: the screen at rest, or its pictures downloaded as well.
enum class ShotSettling { Screen, Pictures };

struct RunnerOptions {
    RunMode mode = RunMode::Automatic;
    std::string scriptPath;            // empty: the built-in tour
    std::string outputFolder;          // empty: a new folder under the temporary folder
    std::string serverURL;             // empty: the embedded server
    std::string serverHost;            // from serverURL
    int serverPort = 0;                // from serverURL; for the embedded server, 0 picks a free port
    std::string home;                  // DOVRELTA_HOME for this run; empty: a fresh one headless, the environment's in a window
    std::string tiles;                 // the local server's set of home tiles; empty: as its data has it
    double scale = 2;                  // pixels per point of the screen (and of the window)
    double screenWidth = 375;          // points
    double screenHeight = 667;
    std::vector<std::pair<std::string, dv::devserver::Fault>> faults;
    bool offline = false;
    ShotPolicy shots = ShotPolicy::Named;
    // The same pictures run after run: a still status area, a fixed device identifier in a fresh
    // home, and screenshots that wait for the pictures being downloaded.
    bool reproducible = false;
    bool verbose = false;              // the application's log on standard error as well
    bool printTour = false;
    bool help = false;
};

Result<RunnerOptions> parseRunnerOptions(const std::vector<std::string>& arguments);
// The usage text printed by --help and after a bad command line.
std::string runnerUsage();

struct ServerAddress {
    std::string host;
    int port = 80;
};
// "http://HOST:PORT/DV/" (the path may be left out, or be "/" or "/DV/"); a failure with the
// reason for anything else.
Result<ServerAddress> parseServerURL(const std::string& url);

} // namespace dv::sim
