// Acts out a script (see Script.h) on the running application through the UI driver, as a
// person would: it finds views by the text they show, waits for what the server has still to
// send (up to a bound), taps, types, drags and goes back, and leaves a picture and a dump of the
// screen at each `screenshot` (or after every acting command, with ShotPolicy::All). Runs on the
// main thread, on the process clock (the system clock in the runner).
//
//   ScriptRunner runner({ .server = server.get(), .launch = launch, .steps = &steps });
//   std::string error;
//   if (!runner.run(script, error)) fail(error);    // "tour.txt:7: tap 加粉: no view shows ..."
#pragma once

#include "tools/sim/RunnerOptions.h"
#include "tools/sim/Script.h"

#include <functional>
#include <string>

namespace dv::devserver {
class Server;
}

namespace dv::sim {

class StepWriter;

struct ScriptEnvironment {
    // The local server, whose faults `fault` switches; nil when the run uses another server.
    dv::devserver::Server* server = nullptr;
    // Starts the application; false and a reason when it cannot.
    std::function<bool(std::string& error)> launch;
    StepWriter* steps = nullptr;
    ShotPolicy shots = ShotPolicy::Named;
    // How long commands wait for a view, a row or an alert to show (real seconds).
    double findTimeout = 15;
};

class ScriptRunner {
public:
    explicit ScriptRunner(ScriptEnvironment environment) : m_environment(std::move(environment)) { }

    // Runs every command in order, launching the application before the first one that needs it.
    // At the first failure: false, `error` = "NAME:LINE: COMMAND: reason", and (once the
    // application runs) a last step named "failed" showing the screen as it was.
    bool run(const Script& script, std::string& error);
    bool launched() const { return m_launched; }

private:
    bool execute(const ScriptCommand& command, std::string& reason);
    bool ensureLaunched(std::string& reason);
    // Runs the loop until the screen is at rest: no navigation transition, no view animation, no
    // picture or web page still loading (at most a few seconds), nothing queued.
    void settle();

    ScriptEnvironment m_environment;
    bool m_launched = false;
};

// Goes back one screen as a person would: the left button of the screen's navigation item (the
// application's own back buttons), else the bar's back button, else the back swipe. False and a
// reason when the screen on top stays.
bool goBack(std::string& reason);

} // namespace dv::sim
