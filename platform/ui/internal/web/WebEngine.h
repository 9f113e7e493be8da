// WebEngine: the web engine of the process (WebKitGTK), started when the first web view is made:
// a display for its offscreen windows (the process's own when it has one, else a private Xvfb, see
// PrivateDisplay.h), the toolkit on it, the service of the engine's main context by the main run
// loop (ToolkitEvents.h), and one web context for every page: no data kept on disk, the engine's
// sandbox when this system can start it (else turned off, with a one-line notice), and the
// web-process extension that holds page scripts to their time limit. The engine's web and network
// processes end with the application: their connection to it closes when it ends, and the sandbox
// ends the web processes with it.
//
// The start takes a few hundred milliseconds, most of them waiting on other processes (the display
// server announcing itself, the sandbox's trial): that part runs on a thread of its own, and the
// part the toolkit needs on the main thread (its set-up on the display, the web context) follows
// in a later turn of the main run loop, so that no turn waits for it. Lives for the process; main
// thread only.
//
//   WebEngine::start([weak] { if (auto host = weak.lock()) host->engineDidStart(); });
//   // later, on the main thread: WebEngine::shared() is the engine, or nil when it cannot start
#pragma once

#include <functional>
#include <string>

typedef struct _WebKitWebContext WebKitWebContext;

namespace dv::internal::uikit {

class WebEngine {
public:
    enum class State { NotStarted, Starting, Started, Failed };
    static State state();

    // Begins the start unless it has begun. `done`, when given, is called on the main thread in a
    // later turn once the engine has started or failed (never inside this call).
    static void start(std::function<void()> done = {});

    // The engine once it has started; nil before that and when it cannot start (the reason is
    // logged once).
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
    // What the start's thread found out.
    struct Preparation {
        bool privateDisplay = false; // a private display was asked for
        std::string display;         // its name, "" when it could not start
        std::string error;
        bool sandboxed = false;
    };
    WebEngine() = default;
    static void prepare(bool privateDisplay);
    static void finish(const Preparation& preparation);
    static void end(State state);
    void makeContext(bool sandboxed);

    WebKitWebContext* m_context = nullptr;
    bool m_sandboxed = false;
};

} // namespace dv::internal::uikit
