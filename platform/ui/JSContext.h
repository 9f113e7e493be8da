// JSContext: a JavaScript context (a global object and the scripts run in it) over the
// JavaScriptCore engine, without a page's document. Globals the application sets are visible to
// scripts; native objects it hands over are seen by scripts as objects whose methods are the
// selectors their class exports (JSExport); a script that throws ends with the context's
// exception handler called (by default it stores the value in `exception`). Every evaluation and
// every call into a script stops after executionTimeLimit seconds (an endless loop ends with an
// exception, "JavaScript execution terminated."). Main thread only.
//
// A web view's context is its page's (UIWebView::javaScriptContext): an evaluation runs in the
// page (the run loop turns until the page answers, at most for the time limit and a second
// more) and answers a copy of the page's value; globals set on the context are published to the
// page, before its own scripts at every load and at once; what the page's own scripts throw
// reaches the exception handler; the page's scripts are held to the same time limit.
//
//   auto context = alloc<JSContext>()->init();
//   context->setObjectForKeyedSubscript(self(), "LYAppSpeakController"_ns);
//   context->setExceptionHandler([](const Ref<JSContext>& c, const Ref<JSValue>& e) { c->setException(e); });
//   auto sum = context->evaluateScript("1 + 2"_ns)->toInt32(); // 3
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/JSValue.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class NSDictionary;

namespace dv::internal::uikit {
class PageGlobals;
class PageScriptHost;
class ScriptEngine;
}

class JSContext : public NSObject {
    DV_CLASS(JSContext, NSObject)

    JSContext();
    ~JSContext() override;
    Ref<JSContext> init();

    // The result of the script's last statement; undefined when it threw (the handler is called).
    Ref<JSValue> evaluateScript(const Ref<NSString>& script);
    Ref<JSValue> evaluateScript(const Ref<NSString>& script, const Ref<NSURL>& sourceURL);
    Ref<JSValue> globalObject();
    // context["name"] and context["name"] = object (converted as JSValue::valueWithObject does).
    Ref<JSValue> objectForKeyedSubscript(const Ref<NSString>& key);
    void setObjectForKeyedSubscript(const id& object, const Ref<NSString>& key);

    // The last exception the handler stored (nil when none).
    Ref<JSValue> exception() const;
    void setException(const Ref<JSValue>& exception);
    using ExceptionHandler = std::function<void(const Ref<JSContext>& context, const Ref<JSValue>& exception)>;
    ExceptionHandler exceptionHandler() const { return m_exceptionHandler; }
    // nil goes back to the default handler (which stores the exception).
    void setExceptionHandler(ExceptionHandler handler);

    Ref<NSString> name() const { return m_name; }
    void setName(const Ref<NSString>& name) { m_name = name; }

    // Seconds a script may run before it is stopped (2 by default; 0: no limit).
    double executionTimeLimit() const;
    void setExecutionTimeLimit(double seconds);

    // While a native method or block runs for a script: its context, this value and arguments.
    static Ref<JSContext> currentContext();
    static Ref<JSValue> currentThis();
    static Ref<NSArray> currentArguments();

    // For JSValue: the engine, and the handler run for an exception a call ended with.
    dv::internal::uikit::ScriptEngine& engine() { return *m_engine; }
    void reportException(const dv::internal::uikit::ScriptEngine& engine, const void* exception);

    // For UIWebView: makes this the context of the page `host` shows; the page's script that
    // publishes the globals; a message of the page's scripts (a call, an exception).
    void attachPage(const std::shared_ptr<dv::internal::uikit::PageScriptHost>& host);
    // For UIWebView, as it goes: the function values published to its page are let go (each keeps
    // this context, which would otherwise keep itself through them).
    void detachPage();
    std::string pageBootstrap() const;
    void handlePageMessage(const Ref<NSDictionary>& message);

private:
    Ref<JSValue> evaluateInPage(const std::string& script);
    // Reports a thrown value the page described: an error's name and message, or a value.
    void reportPageException(const id& value, const std::string& name, const std::string& message);

    std::unique_ptr<dv::internal::uikit::ScriptEngine> m_engine;
    const void* m_exception = nullptr; // kept by the engine while set
    ExceptionHandler m_exceptionHandler;
    Ref<NSString> m_name;
    std::weak_ptr<dv::internal::uikit::PageScriptHost> m_page;
    std::unique_ptr<dv::internal::uikit::PageGlobals> m_pageGlobals; // set while attached to a page
    // What the page's scripts threw while an evaluation ran in the page: the page tells of the
    // evaluation's own exception too, which is reported once, with the evaluation's answer.
    struct HeldException {
        id value;
        std::string name;
        std::string message;
    };
    std::vector<HeldException> m_heldExceptions;
    bool m_evaluating = false; // an evaluation in the page waits for its answer
};
