// PageScriptHost: what a web view's script context (JSContext attached to a page) asks of the web
// view that shows the page: run a script in the page and hand back its answer, publish the
// context's globals to the page (before its own scripts at every load, and now), and hold the
// page's scripts to the context's time limit. The web view implements it; the context refers to
// it weakly (a context may outlive its web view). Main thread only.
#pragma once

#include <functional>
#include <string>

namespace dv::internal::uikit {

// What a script run in the page answered.
struct PageAnswer {
    enum class Kind { Value, Exception, Terminated, NoPage };
    Kind kind = Kind::NoPage;
    std::string json;      // Value: the value as JSON ("" for undefined and values without a JSON form)
    std::string exception; // Exception: the thrown value as its text ("Error: …")
};

class PageScriptHost {
public:
    virtual ~PageScriptHost() = default;
    // Runs `script` in the page; `done` is called once on the main thread, later (never inside
    // this call).
    virtual void runScriptInPage(const std::string& script, std::function<void(const PageAnswer&)> done) = 0;
    // The context's globals changed: the page takes them now and at every later load.
    virtual void pageGlobalsChanged() = 0;
    virtual void pageTimeLimitChanged(double seconds) = 0;
    // NO when no page can answer (none loaded yet, its process ended).
    virtual bool pageCanAnswer() const = 0;
    // YES while the page waits for its engine to start (a script asked for runs after that).
    virtual bool pageIsStarting() const = 0;
};

} // namespace dv::internal::uikit
