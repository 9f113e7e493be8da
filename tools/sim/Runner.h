// The runner as a whole: reads the command line, starts the local application server (or points
// the application at another one), starts the application from its real entry and shows it in a
// desktop window, or runs the tour or a script headless. A headless run without --home starts
// from a fresh home of its own (said in its first line, removed after a run that passes); the
// application's log goes to application.log in the run's folder. The runner's own lines go to
// standard output ("dovrelta-sim: ..."), its errors to standard error, one line each. Answers the
// process's exit status: 0 when the run ended as asked, 1 when the server, the window, a picture,
// a script's command or one of its checks failed, 2 for a bad command line or a bad script line
// (nothing starts then).
#pragma once

#include <string>
#include <vector>

namespace dv::sim {

int runRunner(const std::vector<std::string>& arguments);

} // namespace dv::sim
