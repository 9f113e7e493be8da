// Acts out a script (see Script.h) on the running application through the UI driver, as a
// person would: it finds views by the text or the picture they show (scrolling lists and pages to
// them), waits for what the server has still to send (up to a bound), taps, types, drags and goes
// back, sets up what lies around the application (server, network, permissions, clock, stores),
// and leaves a picture and a dump of the screen at each `screenshot` (or after every acting
// command, with ShotPolicy::All). The dump of each step ends with the toasts shown since the
// step before. Runs on the main thread; the application's clock is the system's, moved by the
// `clock` commands (or the test's manual clock when one is installed).
//
//   ScriptRunner runner({ .server = server.get(), .launch = launch, .steps = &steps });
//   if (auto ran = runner.run(script); !ran) fail(ran.reason()); // "tour.txt:7: tap 加粉: no view shows ..."
#pragma once

#include "platform/base/Result.h"
#include "tools/sim/RunnerOptions.h"
#include "tools/sim/Script.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dv::devserver {
class Server;
}

namespace dv::sim {

class StepWriter;

struct ScriptEnvironment {
    // The local server, whose faults and tiles the script switches; nil when the run uses another.
    dv::devserver::Server* server = nullptr;
    // Starts the application; a failure with the reason when it cannot.
    std::function<Result<void>()> launch;
    StepWriter* steps = nullptr;
    ShotPolicy shots = ShotPolicy::Named;
    ShotSettling settling = ShotSettling::Screen;
    // How long commands wait for a view, a row or an alert to show (real seconds).
    double findTimeout = 15;
    // Where the runner's own lines go (failed checks, marks); nowhere when empty.
    std::function<void(const std::string& line)> say;
};

class ScriptRunner {
public:
    explicit ScriptRunner(ScriptEnvironment environment);
    ~ScriptRunner();

    // Runs every command in order, launching the application before the first one that needs it.
    // At the first failure of a command: a failure "NAME:LINE: COMMAND: reason", and (once the
    // application runs) a last step named "failed" showing the screen as it was. A failed
    // `check` is told through `say` and the run goes on; at its end the failure sums them up
    // ("2 of 5 checks failed: NAME:LINE, NAME:LINE").
    Result<void> run(const Script& script);
    bool launched() const;
    // "NAME:LINE: COMMAND: reason" of each failed check, in order.
    const std::vector<std::string>& failedChecks() const;

private:
    class Context;
    std::unique_ptr<Context> m_context;
};

// Goes back one screen as a person would: the left button of the screen's navigation item (the
// application's own back buttons), else the bar's back button, else the back swipe. A failure
// with the reason when the screen on top stays.
Result<void> goBack();

// Ends the running application as the platform ends a process, keeping its files: it hears that
// it terminates, its windows, alerts, keyboard and touches go, the user defaults are written and
// read again at the next use, and what else its process held in memory goes too
// (internal/ProcessMemory.h), so that the next launch starts as a new process would.
void endApplication();

} // namespace dv::sim
