// The runner as a whole: reads the command line, starts the local application server (or points
// the application at another one), starts the application from its real entry and shows it in a
// desktop window, or runs the tour or a script headless. Messages go to standard error as one
// line each, "dovrelta-sim: ...". Answers the process's exit status: 0 when the run ended as
// asked, 1 when the server, the window, a picture or a script's command failed, 2 for a bad
// command line or a bad script line (nothing starts then).
#pragma once

#include <string>
#include <vector>

namespace dv::sim {

int runRunner(const std::vector<std::string>& arguments);

} // namespace dv::sim
