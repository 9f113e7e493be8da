// dovrelta-sim: runs the application against the local application server (or another one), in
// a desktop window or headless. See Runner.h and `dovrelta-sim --help`.
#include "tools/sim/Runner.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    return dv::sim::runRunner(std::vector<std::string>(argv + 1, argv + argc));
}
