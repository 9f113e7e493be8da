// PrivateDisplay: an X server of the process's own (Xvfb) for the web engine's offscreen windows
// when the process has no display (headless runs, tests, CI). It runs on a display number it picks
// itself and ends with the process: it is told to stop when the thread that started it ends, and
// that thread stays (in keepUntilEnd) until the server or the process ends, so a crash or a kill of
// the application ends it too. Nothing is ever shown on it. Called on the web engine's start
// thread, never on the main thread (the server takes a while to announce itself).
#pragma once

#include "platform/base/Result.h"

#include <string>
#include <sys/types.h>

namespace dv::internal::uikit {

class PrivateDisplay {
public:
    struct Server {
        std::string display; // its name, ":12"
        pid_t process = 0;
    };
    // Starts the server; fails with the reason when it cannot start.
    static Result<Server> start();
    // Loads what the toolkit loads for the display's graphics (the GL driver: tens of milliseconds
    // of loading and linking) through a connection of this thread's, kept open so that it stays
    // loaded: the toolkit finds it there when it opens the display on the main thread.
    static void loadGraphics(const std::string& display);
    // Holds the calling thread, the one that started `server`, until the server ends.
    static void keepUntilEnd(pid_t server);
};

} // namespace dv::internal::uikit
