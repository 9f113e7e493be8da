// WebEngine: the web engine of the process (WebKitGTK), started when the first web view is made:
// a display for its offscreen windows (the process's own when it has one, else a private Xvfb, see
// PrivateDisplay.h), the toolkit on it, the service of the engine's main context by the main run
// loop (ToolkitEvents.h), and one web context for every page: no data kept on disk, the engine's
// sandbox when this system can start it (else turned off, with a one-line notice), a bound on the
// memory of each web process, and the web-process extension that holds page scripts to their time
// limit. The engine's web and network processes end with the application: their connection to it
// closes when it ends, and the sandbox ends the web processes with it.
//
// A web process whose memory (what its pages hold: documents, pictures, the scripts' objects) grows
// past kPageMemoryLimit MiB is ended by the engine, and its pages go blank as after a crash: a page
// that allocates without end cannot take the machine's memory. The engine looks every second
// (kPageMemoryPoll) at a measure it takes at most once a second, so the process is ended within
// about two seconds past the bound, with what it took meanwhile; a script that allocates in one
// endless run holds the process's main thread, where the engine looks: it is stopped at its time
// limit first, and the process ended at the next look. DOVRELTA_WEB_MEMORY_LIMIT (MiB) sets
// another bound for the processes started after it is read (tests take a smaller one).
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

    // Readies the engine's threading on the main thread; called before the JavaScript engine is
    // first used there. The JavaScript library and the web engine share their run loops: the
    // first use of either sets up the main thread's, and only the web engine sets it up on the
    // main context (that the main run loop serves); a script context made first would leave the
    // engine's main-thread work on a context nobody serves.
    static void prepareMainThread();

    // The time limit the web processes start with (the script context's default).
    static constexpr double kDefaultTimeLimit = 2.0;
    // A page's process holds some tens of MiB for the pages the application shows (the local
    // server's help pages about 20) and a few hundred for an extreme one (a page of a thousand
    // frames about 230): a bound four times that leaves every real page alone and ends a runaway
    // one before it takes a large share of the machine's memory.
    static constexpr unsigned kPageMemoryLimit = 1024;
    static constexpr double kPageMemoryPoll = 1.0;

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
};

} // namespace dv::internal::uikit
