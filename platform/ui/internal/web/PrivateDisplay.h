// PrivateDisplay: an X server of the process's own (Xvfb) for the web engine's offscreen windows
// when the process has no display (headless runs, tests, CI). It runs on a display number it picks
// itself and ends with the process: it is told to stop when the thread that started it ends, which
// is the main thread, so a crash or a kill of the application ends it too. Nothing is ever shown
// on it. Main thread only.
#pragma once

#include <string>

namespace dv::internal {

class PrivateDisplay {
public:
    // Starts the server and answers its name (":12"); "" with `error` set when it cannot start.
    static std::string start(std::string& error);
};

} // namespace dv::internal
