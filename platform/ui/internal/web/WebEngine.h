// WebEngine: the web engine of the process (WebKitGTK), started the first time a web view needs a
// page: a display for its offscreen windows (the process's own when it has one, else a private
// Xvfb, see PrivateDisplay.h), the toolkit on it, the service of the engine's main context by the
// main run loop (ToolkitEvents.h), and one web context for every page: no data kept on disk, the
// engine's sandbox when this system can start it (else turned off, with a one-line notice), and
// the web-process extension that holds page scripts to their time limit. The engine's web and
// network processes end with the application: their connection to it closes when it ends, and
// the sandbox ends the web processes with it. Lives for the process; main thread only.
#pragma once

#include <string>

typedef struct _WebKitWebContext WebKitWebContext;

namespace dv::internal {

class WebEngine {
public:
    // The engine, nil when it cannot start (the reason is logged once).
    static WebEngine* shared();

    WebKitWebContext* context() const { return m_context; }
    bool isSandboxed() const { return m_sandboxed; }

    // Readies the engine's threading on the main thread; called before the JavaScript engine is
    // first used there. The JavaScript library and the web engine share their run loops: the
    // first use of either sets up the main thread's, and only the web engine sets it up on the
    // main context (that the main run loop serves); a script context made first would leave the
    // engine's main-thread work on a context nobody serves.
    static void prepareMainThread();

    // The time limit the web processes start with (the script context's default).
    static constexpr double kDefaultTimeLimit = 2.0;

private:
    WebEngine() = default;
    bool start(std::string& error);

    WebKitWebContext* m_context = nullptr;
    bool m_sandboxed = false;
};

} // namespace dv::internal
