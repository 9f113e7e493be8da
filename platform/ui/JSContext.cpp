#include "platform/ui/JSContext.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/ui/internal/ScriptBridge.h"
#include "platform/ui/internal/ScriptEngine.h"

DV_DEFINE_CLASS(JSContext)

namespace {
constexpr double kDefaultTimeLimit = 2.0;
thread_local const dv::internal::CallScope* t_currentCall = nullptr;
} // namespace

namespace dv::internal {

CallScope::CallScope(const Ref<JSContext>& context, ScriptValue self, std::span<const ScriptValue> arguments)
    : m_context(context), m_self(self), m_arguments(arguments), m_previous(t_currentCall)
{
    t_currentCall = this;
}

CallScope::~CallScope() { t_currentCall = m_previous; }

const CallScope* CallScope::current() { return t_currentCall; }

} // namespace dv::internal

JSContext::JSContext() = default;

JSContext::~JSContext()
{
    if (m_engine && m_exception)
        m_engine->release(m_exception);
}

Ref<JSContext> JSContext::init()
{
    NSObject::init();
    m_engine = std::make_unique<dv::internal::ScriptEngine>(kDefaultTimeLimit);
    return self<JSContext>();
}

double JSContext::executionTimeLimit() const { return m_engine->timeLimit(); }

void JSContext::setExecutionTimeLimit(double seconds) { m_engine->setTimeLimit(seconds); }

Ref<JSValue> JSContext::evaluateScript(const Ref<NSString>& script) { return evaluateScript(script, nil); }

Ref<JSValue> JSContext::evaluateScript(const Ref<NSString>& script, const Ref<NSURL>& sourceURL)
{
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

Ref<JSValue> JSContext::objectForKeyedSubscript(const Ref<NSString>& key) { return globalObject()->objectForKeyedSubscript(key); }

void JSContext::setObjectForKeyedSubscript(const id& object, const Ref<NSString>& key)
{
    globalObject()->setObjectForKeyedSubscript(object, key);
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

void JSContext::reportException(const dv::internal::ScriptEngine&, const void* exception)
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
    auto* call = dv::internal::CallScope::current();
    return call ? call->context() : nil;
}

Ref<JSValue> JSContext::currentThis()
{
    auto* call = dv::internal::CallScope::current();
    if (!call)
        return nil;
    auto context = call->context();
    return JSValue::handleValue(context->engine().retain(call->self()), context);
}

Ref<NSArray> JSContext::currentArguments()
{
    auto* call = dv::internal::CallScope::current();
    if (!call)
        return nil;
    auto context = call->context();
    std::vector<id> values;
    for (auto argument : call->arguments())
        values.push_back(JSValue::handleValue(context->engine().retain(argument), context));
    return NSArray::fromVector(std::move(values));
}
