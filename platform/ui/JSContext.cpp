#include "platform/ui/JSContext.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/internal/PageGlobals.h"
#include "platform/ui/internal/PageScriptHost.h"
#include "platform/ui/internal/ScriptBridge.h"
#include "platform/ui/internal/ScriptEngine.h"

#include <algorithm>
#include <cctype>
#include <optional>

DV_DEFINE_CLASS(JSContext)

namespace {
constexpr double kDefaultTimeLimit = 2.0;
// How long an evaluation waits at most for the web engine to start (it waits on its display server,
// which is given as long to announce itself).
constexpr double kEngineStartWait = 30;
thread_local const dv::internal::uikit::CallScope* t_currentCall = nullptr;
// What the engine throws when it ends a script for its time limit, as the page's answer tells it.
constexpr const char* kTerminated = "JavaScript execution terminated.";

std::string jsonString(const std::string& text)
{
    auto data = NSJSONSerialization::dataWithJSONObject(NSString::fromUTF8(text), NSJSONWritingFragmentsAllowed, nullptr);
    return data ? std::string(reinterpret_cast<const char*>(data->bytes()), data->length()) : "\"\"";
}
} // namespace

namespace dv::internal::uikit {

CallScope::CallScope(const Ref<JSContext>& context, ScriptValue self, std::span<const ScriptValue> arguments)
    : m_context(context), m_self(self), m_arguments(arguments), m_previous(t_currentCall)
{
    t_currentCall = this;
}

CallScope::~CallScope() { t_currentCall = m_previous; }

const CallScope* CallScope::current() { return t_currentCall; }

} // namespace dv::internal::uikit

JSContext::JSContext() = default;

JSContext::~JSContext()
{
    if (m_engine && m_exception)
        m_engine->release(m_exception);
}

Ref<JSContext> JSContext::init()
{
    NSObject::init();
    m_engine = std::make_unique<dv::internal::uikit::ScriptEngine>(kDefaultTimeLimit);
    return self<JSContext>();
}

double JSContext::executionTimeLimit() const { return m_engine->timeLimit(); }

void JSContext::setExecutionTimeLimit(double seconds)
{
    m_engine->setTimeLimit(seconds);
    if (auto page = m_page.lock())
        page->pageTimeLimitChanged(seconds);
}

Ref<JSValue> JSContext::evaluateScript(const Ref<NSString>& script) { return evaluateScript(script, nil); }

Ref<JSValue> JSContext::evaluateScript(const Ref<NSString>& script, const Ref<NSURL>& sourceURL)
{
    if (m_pageGlobals)
        return evaluateInPage(script ? script->UTF8String() : "");
    auto me = self<JSContext>();
    auto result = m_engine->evaluate(script ? script->UTF8String() : "", sourceURL ? sourceURL->absoluteString()->UTF8String() : "");
    if (result.exception) {
        reportException(*m_engine, result.exception);
        m_engine->release(result.exception);
        return JSValue::valueWithUndefinedInContext(me);
    }
    return JSValue::handleValue(result.value, me);
}

Ref<JSValue> JSContext::globalObject() { return JSValue::handleValue(m_engine->globalObject(), self<JSContext>()); }

Ref<JSValue> JSContext::objectForKeyedSubscript(const Ref<NSString>& key)
{
    // A page's own globals live in the page; those set here are kept here too.
    if (m_pageGlobals && key && !m_pageGlobals->isPublished(key->UTF8String()))
        return evaluateInPage("globalThis[" + jsonString(key->UTF8String()) + "]");
    return globalObject()->objectForKeyedSubscript(key);
}

void JSContext::setObjectForKeyedSubscript(const id& object, const Ref<NSString>& key)
{
    globalObject()->setObjectForKeyedSubscript(object, key);
    if (!m_pageGlobals || !key)
        return;
    m_pageGlobals->publish(key->UTF8String(), object);
    if (auto page = m_page.lock())
        page->pageGlobalsChanged();
}

void JSContext::attachPage(const std::shared_ptr<dv::internal::uikit::PageScriptHost>& host)
{
    m_page = host;
    if (!m_pageGlobals)
        m_pageGlobals = std::make_unique<dv::internal::uikit::PageGlobals>(*this);
}

void JSContext::detachPage()
{
    if (m_pageGlobals)
        m_pageGlobals->forgetFunctions();
}

std::string JSContext::pageBootstrap() const { return m_pageGlobals ? m_pageGlobals->bootstrapScript() : std::string(); }

Ref<JSValue> JSContext::evaluateInPage(const std::string& script)
{
    auto me = self<JSContext>();
    auto page = m_page.lock();
    if (!page || !page->pageCanAnswer())
        return JSValue::valueWithUndefinedInContext(me);
    auto answer = std::make_shared<std::optional<dv::internal::uikit::PageAnswer>>();
    {
        dv::TemporaryChange evaluating(m_evaluating, true);
        page->runScriptInPage(script, [answer](const dv::internal::uikit::PageAnswer& given) { *answer = given; });
        // The first page's engine may still be starting: the script runs once it has, and its time
        // limit counts from then.
        NSRunLoop::mainRunLoop()->runUntil([&] { return answer->has_value() || !page->pageIsStarting(); }, kEngineStartWait);
        // The page ends a script at the time limit itself; the answer then still has to come back.
        const double limit = executionTimeLimit();
        const double bound = limit > 0 ? limit + std::max(1.0, limit) : 1e9;
        NSRunLoop::mainRunLoop()->runUntil([&] { return answer->has_value() || !page->pageCanAnswer(); }, bound);
    }
    auto held = std::exchange(m_heldExceptions, {});

    // The evaluation's own exception: "TypeError: …" is an error of that name; anything else was
    // thrown as it reads.
    std::optional<HeldException> thrown;
    Ref<JSValue> result;
    if (!answer->has_value()) {
        thrown = HeldException { NSString::fromUTF8(kTerminated), {}, {} };
    } else {
        const auto& given = **answer;
        switch (given.kind) {
        case dv::internal::uikit::PageAnswer::Kind::Value:
            if (!given.json.empty())
                if (auto value = m_engine->makeFromJSON(given.json))
                    result = JSValue::handleValue(value, me);
            break;
        case dv::internal::uikit::PageAnswer::Kind::Exception: {
            const auto colon = given.exception.find(": ");
            const std::string name = colon == std::string::npos ? std::string() : given.exception.substr(0, colon);
            const bool error = !name.empty() && name.ends_with("Error")
                && std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '$'; });
            thrown = error ? HeldException { nil, name, given.exception.substr(colon + 2) }
                           : HeldException { NSString::fromUTF8(given.exception), {}, {} };
            break;
        }
        case dv::internal::uikit::PageAnswer::Kind::Terminated:
            thrown = HeldException { NSString::fromUTF8(kTerminated), {}, {} };
            break;
        case dv::internal::uikit::PageAnswer::Kind::NoPage:
            break;
        }
    }
    bool matched = false;
    for (const auto& other : held) {
        const bool same = thrown && other.name == thrown->name && other.message == thrown->message
            && (other.value && thrown->value ? other.value->isEqual(thrown->value) : !other.value && !thrown->value);
        if (same && !std::exchange(matched, true))
            continue;
        reportPageException(other.value, other.name, other.message);
    }
    if (thrown)
        reportPageException(thrown->value, thrown->name, thrown->message);
    return result ? result : JSValue::valueWithUndefinedInContext(me);
}

void JSContext::reportPageException(const id& value, const std::string& name, const std::string& message)
{
    auto me = self<JSContext>();
    dv::internal::uikit::ScriptValue thrown = nullptr;
    if (!name.empty()) {
        auto maker = m_engine->evaluate("(function (name, message) { var e = new Error(message); e.name = name; return e; })", "");
        auto nameValue = m_engine->makeString(name);
        auto messageValue = m_engine->makeString(message);
        const dv::internal::uikit::ScriptValue arguments[] = { nameValue, messageValue };
        auto made = m_engine->call(maker.value, nullptr, arguments);
        thrown = made.value;
        m_engine->release(made.exception);
        m_engine->release(maker.value);
        m_engine->release(nameValue);
        m_engine->release(messageValue);
    } else {
        thrown = dv::internal::uikit::scriptValueFromObject(me, value, 0);
    }
    if (!thrown)
        return;
    reportException(*m_engine, thrown);
    m_engine->release(thrown);
}

void JSContext::handlePageMessage(const Ref<NSDictionary>& message)
{
    if (!m_pageGlobals || !message)
        return;
    auto kind = dv::as<NSString>(message->objectForKey("k"_ns));
    if (!kind)
        return;
    if (kind->isEqualToString("call")) {
        m_pageGlobals->handleCall(message);
    } else if (kind->isEqualToString("exception")) {
        auto name = dv::as<NSString>(message->objectForKey("name"_ns));
        auto text = dv::as<NSString>(message->objectForKey("message"_ns));
        HeldException thrown;
        if (name && text)
            thrown = { nil, name->UTF8String(), text->UTF8String() };
        else if (auto said = dv::as<NSString>(message->objectForKey("text"_ns)))
            thrown = { said, {}, {} };
        else
            thrown = { message->objectForKey("value"_ns), {}, {} };
        if (m_evaluating)
            m_heldExceptions.push_back(std::move(thrown));
        else
            reportPageException(thrown.value, thrown.name, thrown.message);
    }
}

Ref<JSValue> JSContext::exception() const
{
    if (!m_exception)
        return nil;
    return JSValue::handleValue(m_engine->retain(m_exception), std::const_pointer_cast<JSContext>(self<JSContext>()));
}

void JSContext::setException(const Ref<JSValue>& exception)
{
    if (m_exception)
        m_engine->release(m_exception);
    m_exception = exception && exception->context().get() == this ? m_engine->retain(exception->handle()) : nullptr;
}

void JSContext::setExceptionHandler(ExceptionHandler handler) { m_exceptionHandler = std::move(handler); }

void JSContext::reportException(const dv::internal::uikit::ScriptEngine&, const void* exception)
{
    auto me = self<JSContext>();
    auto value = JSValue::handleValue(m_engine->retain(exception), me);
    if (m_exceptionHandler)
        m_exceptionHandler(me, value);
    else
        setException(value);
}

Ref<JSContext> JSContext::currentContext()
{
    auto* call = dv::internal::uikit::CallScope::current();
    return call ? call->context() : nil;
}

Ref<JSValue> JSContext::currentThis()
{
    auto* call = dv::internal::uikit::CallScope::current();
    if (!call)
        return nil;
    auto context = call->context();
    return JSValue::handleValue(context->engine().retain(call->self()), context);
}

Ref<NSArray> JSContext::currentArguments()
{
    auto* call = dv::internal::uikit::CallScope::current();
    if (!call)
        return nil;
    auto context = call->context();
    std::vector<id> values;
    for (auto argument : call->arguments())
        values.push_back(JSValue::handleValue(context->engine().retain(argument), context));
    return NSArray::fromVector(std::move(values));
}
