// The addresses the application hands to the system (a pushed message's link, the about screen's
// web site, a telephone number): what opens them shows outside the window, so the window names
// each in a line as it goes, with whether the system could take it. Counted per application: a
// relaunch starts a new one. Main thread.
//
//   OpenedURLs opened;
//   for (const auto& line : opened.takeLines())
//       std::printf("dovrelta-sim: %s\n", line.c_str());
#pragma once

#include "platform/base/Forward.h"

#include <string>
#include <vector>

class UIApplication;

namespace dv::internal::sim {

class OpenedURLs {
public:
    // A line for each URL opened since the last call:
    //   handed to the system (xdg-open): http://www.dovrelta.example/
    //   could not hand to the system (xdg-open could not be started): http://www.dovrelta.example/
    std::vector<std::string> takeLines();

private:
    Weak<UIApplication> m_app;
    NSUInteger m_told = 0;
};

} // namespace dv::internal::sim
