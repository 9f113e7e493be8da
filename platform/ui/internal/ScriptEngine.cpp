#include "platform/ui/internal/ScriptEngine.h"

#include "platform/ui/internal/web/WebEngine.h"

#include <JavaScriptCore/JavaScript.h>

#include <utility>

// The engine limits running time through its context group; the library exports these two
// functions without declaring them in its public headers.
extern "C" {
typedef bool (*JSShouldTerminateCallback)(JSContextRef context, void* data);
JS_EXPORT void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef group, double limit, JSShouldTerminateCallback callback, void* data);
JS_EXPORT void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef group);
}

namespace dv::internal::uikit {

namespace {

struct FunctionHolder {
    ScriptEngine* engine;
    ScriptEngine::NativeFunction function;
};

JSStringRef jsString(const std::string& text) { return JSStringCreateWithUTF8CString(text.c_str()); }

std::string fromString(JSStringRef string)
{
    if (!string)
        return {};
    const std::size_t size = JSStringGetMaximumUTF8CStringSize(string);
    std::string out(size, '\0');
    const std::size_t written = JSStringGetUTF8CString(string, out.data(), size);
    out.resize(written > 0 ? written - 1 : 0);
    return out;
}

bool terminate(JSContextRef, void*) { return true; }

} // namespace

struct ScriptEngine::Impl {
    JSContextGroupRef group = nullptr;
    JSGlobalContextRef context = nullptr;
    JSClassRef functionClass = nullptr;
    JSClassRef nativeClass = nullptr;

    static JSValueRef callFunction(JSContextRef context, JSObjectRef function, JSObjectRef self, size_t count,
        const JSValueRef arguments[], JSValueRef* exception)
    {
        (void)exception;
        auto* holder = static_cast<FunctionHolder*>(JSObjectGetPrivate(function));
        if (!holder || !holder->function)
            return JSValueMakeUndefined(context);
        std::vector<ScriptValue> args(arguments, arguments + count);
        ScriptValue result = holder->function(*holder->engine, self, args);
        if (!result)
            return JSValueMakeUndefined(context);
        // Still on this stack for the collector while it goes back to the script.
        auto value = static_cast<JSValueRef>(result);
        JSValueUnprotect(context, value);
        return value;
    }

    static void finalizeFunction(JSObjectRef object) { delete static_cast<FunctionHolder*>(JSObjectGetPrivate(object)); }
    static void finalizeNative(JSObjectRef object) { delete static_cast<std::shared_ptr<void>*>(JSObjectGetPrivate(object)); }

    ScriptValue keep(JSValueRef value)
    {
        if (!value)
            return nullptr;
        JSValueProtect(context, value);
        return value;
    }
};

ScriptEngine::ScriptEngine(double timeLimitSeconds) : m_impl(std::make_unique<Impl>())
{
    WebEngine::prepareMainThread();
    m_impl->group = JSContextGroupCreate();
    m_impl->context = JSGlobalContextCreateInGroup(m_impl->group, nullptr);
    JSClassDefinition function = kJSClassDefinitionEmpty;
    function.className = "NativeFunction";
    function.callAsFunction = &Impl::callFunction;
    function.finalize = &Impl::finalizeFunction;
    m_impl->functionClass = JSClassCreate(&function);
    JSClassDefinition native = kJSClassDefinitionEmpty;
    native.className = "NativeObject";
    native.finalize = &Impl::finalizeNative;
    m_impl->nativeClass = JSClassCreate(&native);
    setTimeLimit(timeLimitSeconds);
}

ScriptEngine::~ScriptEngine()
{
    JSGlobalContextRelease(m_impl->context);
    JSClassRelease(m_impl->functionClass);
    JSClassRelease(m_impl->nativeClass);
    JSContextGroupRelease(m_impl->group);
}

void ScriptEngine::setTimeLimit(double seconds)
{
    m_timeLimit = seconds;
    if (seconds > 0)
        JSContextGroupSetExecutionTimeLimit(m_impl->group, seconds, &terminate, nullptr);
    else
        JSContextGroupClearExecutionTimeLimit(m_impl->group);
}

namespace {

bool isTermination(JSContextRef context, JSValueRef exception)
{
    // The engine ends a script that ran out of time with an exception of its own that no script
    // can catch; it reads as this text.
    JSStringRef text = JSValueToStringCopy(context, exception, nullptr);
    const bool terminated = fromString(text) == "JavaScript execution terminated.";
    if (text)
        JSStringRelease(text);
    return terminated;
}

} // namespace

ScriptEngine::Result ScriptEngine::evaluate(const std::string& script, const std::string& sourceURL)
{
    JSStringRef source = jsString(script);
    JSStringRef url = sourceURL.empty() ? nullptr : jsString(sourceURL);
    JSValueRef exception = nullptr;
    JSValueRef value = JSEvaluateScript(m_impl->context, source, nullptr, url, 1, &exception);
    JSStringRelease(source);
    if (url)
        JSStringRelease(url);
    Result result;
    if (exception) {
        result.exception = m_impl->keep(exception);
        result.timedOut = isTermination(m_impl->context, exception);
    } else {
        result.value = m_impl->keep(value ? value : JSValueMakeUndefined(m_impl->context));
    }
    return result;
}

ScriptEngine::Result ScriptEngine::call(ScriptValue function, ScriptValue self, std::span<const ScriptValue> arguments)
{
    Result result;
    auto fn = static_cast<JSValueRef>(function);
    if (!fn || !JSValueIsObject(m_impl->context, fn)) {
        result.value = makeUndefined();
        return result;
    }
    JSObjectRef object = JSValueToObject(m_impl->context, fn, nullptr);
    if (!object || !JSObjectIsFunction(m_impl->context, object)) {
        result.value = makeUndefined();
        return result;
    }
    std::vector<JSValueRef> args;
    for (auto argument : arguments)
        args.push_back(static_cast<JSValueRef>(argument));
    JSObjectRef thisObject = nullptr;
    if (self && JSValueIsObject(m_impl->context, static_cast<JSValueRef>(self)))
        thisObject = JSValueToObject(m_impl->context, static_cast<JSValueRef>(self), nullptr);
    JSValueRef exception = nullptr;
    JSValueRef value = JSObjectCallAsFunction(m_impl->context, object, thisObject, args.size(), args.data(), &exception);
    if (exception) {
        result.exception = m_impl->keep(exception);
        result.timedOut = isTermination(m_impl->context, exception);
    } else {
        result.value = m_impl->keep(value ? value : JSValueMakeUndefined(m_impl->context));
    }
    return result;
}

ScriptValue ScriptEngine::retain(ScriptValue value) { return m_impl->keep(static_cast<JSValueRef>(value)); }

void ScriptEngine::release(ScriptValue value)
{
    if (value)
        JSValueUnprotect(m_impl->context, static_cast<JSValueRef>(value));
}

ScriptValue ScriptEngine::globalObject() { return m_impl->keep(JSContextGetGlobalObject(m_impl->context)); }
ScriptValue ScriptEngine::makeUndefined() { return m_impl->keep(JSValueMakeUndefined(m_impl->context)); }
ScriptValue ScriptEngine::makeNull() { return m_impl->keep(JSValueMakeNull(m_impl->context)); }
ScriptValue ScriptEngine::makeBoolean(bool value) { return m_impl->keep(JSValueMakeBoolean(m_impl->context, value)); }
ScriptValue ScriptEngine::makeNumber(double value) { return m_impl->keep(JSValueMakeNumber(m_impl->context, value)); }

ScriptValue ScriptEngine::makeString(const std::string& utf8)
{
    JSStringRef string = jsString(utf8);
    JSValueRef value = JSValueMakeString(m_impl->context, string);
    JSStringRelease(string);
    return m_impl->keep(value);
}

ScriptValue ScriptEngine::makeObject() { return m_impl->keep(JSObjectMake(m_impl->context, nullptr, nullptr)); }

ScriptValue ScriptEngine::makeArray(std::span<const ScriptValue> elements)
{
    std::vector<JSValueRef> values;
    for (auto element : elements)
        values.push_back(static_cast<JSValueRef>(element));
    return m_impl->keep(JSObjectMakeArray(m_impl->context, values.size(), values.data(), nullptr));
}

ScriptValue ScriptEngine::makeFunction(const std::string& name, NativeFunction function)
{
    (void)name;
    auto* holder = new FunctionHolder { this, std::move(function) };
    return m_impl->keep(JSObjectMake(m_impl->context, m_impl->functionClass, holder));
}

ScriptValue ScriptEngine::makeNativeObject(std::shared_ptr<void> token)
{
    auto* holder = new std::shared_ptr<void>(std::move(token));
    return m_impl->keep(JSObjectMake(m_impl->context, m_impl->nativeClass, holder));
}

ScriptValue ScriptEngine::makeFromJSON(const std::string& json)
{
    JSStringRef string = jsString(json);
    JSValueRef value = JSValueMakeFromJSONString(m_impl->context, string);
    JSStringRelease(string);
    return m_impl->keep(value);
}

#define DV_VALUE(v) static_cast<JSValueRef>(v)

bool ScriptEngine::isUndefined(ScriptValue value) { return !value || JSValueIsUndefined(m_impl->context, DV_VALUE(value)); }
bool ScriptEngine::isNull(ScriptValue value) { return value && JSValueIsNull(m_impl->context, DV_VALUE(value)); }
bool ScriptEngine::isBoolean(ScriptValue value) { return value && JSValueIsBoolean(m_impl->context, DV_VALUE(value)); }
bool ScriptEngine::isNumber(ScriptValue value) { return value && JSValueIsNumber(m_impl->context, DV_VALUE(value)); }
bool ScriptEngine::isString(ScriptValue value) { return value && JSValueIsString(m_impl->context, DV_VALUE(value)); }
bool ScriptEngine::isObject(ScriptValue value) { return value && JSValueIsObject(m_impl->context, DV_VALUE(value)); }
bool ScriptEngine::isArray(ScriptValue value) { return value && JSValueIsArray(m_impl->context, DV_VALUE(value)); }
bool ScriptEngine::isDate(ScriptValue value) { return value && JSValueIsDate(m_impl->context, DV_VALUE(value)); }

bool ScriptEngine::isFunction(ScriptValue value)
{
    if (!isObject(value))
        return false;
    JSObjectRef object = JSValueToObject(m_impl->context, DV_VALUE(value), nullptr);
    return object && JSObjectIsFunction(m_impl->context, object);
}

std::shared_ptr<void> ScriptEngine::nativeToken(ScriptValue value)
{
    if (!isObject(value) || !JSValueIsObjectOfClass(m_impl->context, DV_VALUE(value), m_impl->nativeClass))
        return nullptr;
    JSObjectRef object = JSValueToObject(m_impl->context, DV_VALUE(value), nullptr);
    auto* holder = static_cast<std::shared_ptr<void>*>(JSObjectGetPrivate(object));
    return holder ? *holder : nullptr;
}

std::string ScriptEngine::toString(ScriptValue value)
{
    if (!value)
        return "undefined";
    JSStringRef string = JSValueToStringCopy(m_impl->context, DV_VALUE(value), nullptr);
    std::string text = fromString(string);
    if (string)
        JSStringRelease(string);
    return text;
}

double ScriptEngine::toNumber(ScriptValue value) { return value ? JSValueToNumber(m_impl->context, DV_VALUE(value), nullptr) : 0.0 / 0.0; }

bool ScriptEngine::toBoolean(ScriptValue value) { return value && JSValueToBoolean(m_impl->context, DV_VALUE(value)); }

ScriptEngine::Result ScriptEngine::property(ScriptValue object, const std::string& name)
{
    Result result;
    if (!isObject(object)) {
        result.value = makeUndefined();
        return result;
    }
    JSObjectRef target = JSValueToObject(m_impl->context, DV_VALUE(object), nullptr);
    JSStringRef key = jsString(name);
    JSValueRef exception = nullptr;
    JSValueRef value = JSObjectGetProperty(m_impl->context, target, key, &exception);
    JSStringRelease(key);
    if (exception)
        result.exception = m_impl->keep(exception);
    else
        result.value = m_impl->keep(value ? value : JSValueMakeUndefined(m_impl->context));
    return result;
}

ScriptEngine::Result ScriptEngine::property(ScriptValue object, std::size_t index)
{
    Result result;
    if (!isObject(object)) {
        result.value = makeUndefined();
        return result;
    }
    JSObjectRef target = JSValueToObject(m_impl->context, DV_VALUE(object), nullptr);
    JSValueRef exception = nullptr;
    JSValueRef value = JSObjectGetPropertyAtIndex(m_impl->context, target, static_cast<unsigned>(index), &exception);
    if (exception)
        result.exception = m_impl->keep(exception);
    else
        result.value = m_impl->keep(value ? value : JSValueMakeUndefined(m_impl->context));
    return result;
}

bool ScriptEngine::setProperty(ScriptValue object, const std::string& name, ScriptValue value)
{
    if (!isObject(object))
        return false;
    JSObjectRef target = JSValueToObject(m_impl->context, DV_VALUE(object), nullptr);
    JSStringRef key = jsString(name);
    JSValueRef exception = nullptr;
    JSObjectSetProperty(m_impl->context, target, key, value ? DV_VALUE(value) : JSValueMakeUndefined(m_impl->context),
        kJSPropertyAttributeNone, &exception);
    JSStringRelease(key);
    return exception == nullptr;
}

std::vector<std::string> ScriptEngine::propertyNames(ScriptValue object)
{
    std::vector<std::string> names;
    if (!isObject(object))
        return names;
    JSObjectRef target = JSValueToObject(m_impl->context, DV_VALUE(object), nullptr);
    JSPropertyNameArrayRef array = JSObjectCopyPropertyNames(m_impl->context, target);
    const std::size_t count = JSPropertyNameArrayGetCount(array);
    for (std::size_t i = 0; i < count; ++i)
        names.push_back(fromString(JSPropertyNameArrayGetNameAtIndex(array, i)));
    JSPropertyNameArrayRelease(array);
    return names;
}

std::string ScriptEngine::toJSON(ScriptValue value)
{
    if (!value)
        return {};
    JSValueRef exception = nullptr;
    JSStringRef json = JSValueCreateJSONString(m_impl->context, DV_VALUE(value), 0, &exception);
    std::string text = fromString(json);
    if (json)
        JSStringRelease(json);
    return text;
}

#undef DV_VALUE

} // namespace dv::internal::uikit
