// What a person feels of the application on the runner's tour of its screens, against the local
// application server on a loopback port: the longest turn of the main run loop after the launch
// (goal: none over 50 ms) and the 99th percentile of the times from a touch to the frame that
// showed it (goal: under 16 ms), once with the server as it is and once with every picture held
// back 5 s by the server (a picture that is late must not hold up anything else). One tour per
// benchmark; the pictures and dumps of the steps go to a temporary folder.
#include "app/directory/DirectoryScreens.h"
#include "app/shell/ApplicationEntry.h"
#include "app/shell/server/ServerSettings.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIApplication.h"
#include "push/Lib/Controller/PushService.h"
#include "tools/devserver/Fault.h"
#include "tools/devserver/Server.h"
#include "tools/sim/Script.h"
#include "tools/sim/ScriptRunner.h"
#include "tools/sim/StepWriter.h"
#include "tools/sim/Tour.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void runTour(benchmark::State& state, double pictureDelay)
{
    // The launch benchmarks of this binary keep their own home and server: both come back after.
    const char* previous = std::getenv("DOVRELTA_HOME");
    const std::string previousHome = previous ? previous : "";
    const std::string previousHost = dv::app::serverHost();
    const int previousPort = dv::app::serverPort();
    // A home of its own for each tour, as a new process would find: the stores the application
    // keeps for the process (user defaults, the picture cache) follow the home's path.
    static int s_tours = 0;
    const auto home = std::filesystem::temp_directory_path()
        / ("dv-bench-tour-" + std::to_string(::getpid()) + "-" + std::to_string(++s_tours));
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    setenv("DOVRELTA_HOME", home.c_str(), 1);
    // A held picture holds one of the server's threads: enough of them that the pages' own
    // requests never queue behind the pictures.
    auto server = dv::devserver::Server::start({ .dataFolder = (home / "server").string(), .threads = 64 }).valueOr(nullptr);
    if (!server || !dv::app::setServerAddress(server->host(), server->port()))
        std::abort();
    if (pictureDelay > 0)
        server->setFault("pic/*", dv::devserver::Fault::delay(pictureDelay));
    auto script = dv::sim::parseScript(dv::sim::tourScript(), "tour");
    if (!script)
        std::abort();
    for (auto _ : state) {
        dv::sim::StepWriter steps;
        if (!steps.open((home / "steps").string()))
            std::abort();
        dv::sim::ScriptRunner runner({ .server = server.get(),
            .launch = []() -> dv::Result<void> {
                dv::app::installDirectoryScreens();
                dv::app::startApplication();
                return {};
            },
            .steps = &steps,
            .say = {} });
        if (auto ran = runner.run(*script); !ran) {
            state.SkipWithError(ran.reason().c_str());
            break;
        }
        const auto& touches = steps.touchToFrameTimes();
        state.counters["longest_turn_ms"] = steps.longestTurnAfterFirstStep() * 1000;
        state.counters["touch_to_frame_p99_ms"] = steps.touchToFramePercentile(0.99) * 1000;
        // The four touches of the address-book import's confirmation, whose save runs on the main
        // thread, are the top 1.3 % of the tour's: the 98th percentile tells the rest.
        state.counters["touch_to_frame_p98_ms"] = steps.touchToFramePercentile(0.98) * 1000;
        state.counters["touch_to_frame_max_ms"] = touches.empty() ? 0 : *std::max_element(touches.begin(), touches.end()) * 1000;
        state.counters["touches"] = double(touches.size());
        UIApplication::sharedApplication()->terminate();
        dv::testing::runUntilIdle();
        UIApplication::resetSharedApplication();
        PushService::reset();
    }
    server->stop();
    std::filesystem::remove_all(home);
    dv::app::setServerAddress(previousHost, previousPort);
    if (previousHome.empty())
        unsetenv("DOVRELTA_HOME");
    else
        setenv("DOVRELTA_HOME", previousHome.c_str(), 1);
}

void BM_TourResponsiveness(benchmark::State& state) { runTour(state, 0); }
void BM_TourResponsivenessPicturesDelayed5s(benchmark::State& state) { runTour(state, 5); }

BENCHMARK(BM_TourResponsiveness)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_TourResponsivenessPicturesDelayed5s)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace
