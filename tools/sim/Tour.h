// The built-in tour of a headless run: a script (see Script.h) that walks through every screen
// of the application once, leaving a picture and a dump of each. `dovrelta-sim --print-tour`
// prints it, with the commands of the language, as a start for scripts of one's own.
#pragma once

#include <string>

namespace dv::sim {

const std::string& tourScript();

} // namespace dv::sim
