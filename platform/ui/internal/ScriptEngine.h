// The JavaScript engine behind JSContext and JSValue: one engine context (in its own group, with
// a time limit on every evaluation and call) over the JavaScriptCore library, in the process (a
// web view's context keeps its copies of the page's values here too). Only this class and the
// web engine's files (internal/web) include the library's headers; everything else sees opaque
// value handles. A handle
// returned here is protected from collection until release() is called with it. Main thread only
// (one context must not be used from two threads at once).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dv::internal::uikit {

using ScriptValue = const void*;

class ScriptEngine {
public:
    // The outcome of an evaluation or call: the value, or the thrown exception (value null).
    struct Result {
        ScriptValue value = nullptr;
        ScriptValue exception = nullptr;
        bool timedOut = false;
    };
    // A native function: `self` is the call's this value; the answer is a new handle (or null for
    // undefined) that the engine releases after use.
    using NativeFunction = std::function<ScriptValue(ScriptEngine& engine, ScriptValue self, std::span<const ScriptValue> arguments)>;

    explicit ScriptEngine(double timeLimitSeconds);
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Every evaluation and every call from here stops after this many seconds of running (an
    // endless loop ends with an exception); 0 or less: no limit.
    void setTimeLimit(double seconds);
    double timeLimit() const { return m_timeLimit; }

    Result evaluate(const std::string& script, const std::string& sourceURL);
    Result call(ScriptValue function, ScriptValue self, std::span<const ScriptValue> arguments);

    ScriptValue retain(ScriptValue value);
    void release(ScriptValue value);

    ScriptValue globalObject();
    ScriptValue makeUndefined();
    ScriptValue makeNull();
    ScriptValue makeBoolean(bool value);
    ScriptValue makeNumber(double value);
    ScriptValue makeString(const std::string& utf8);
    ScriptValue makeObject();
    ScriptValue makeArray(std::span<const ScriptValue> elements);
    ScriptValue makeFunction(const std::string& name, NativeFunction function);
    // An object that stands for a native object: `token` comes back from nativeToken.
    ScriptValue makeNativeObject(std::shared_ptr<void> token);
    // A value parsed from JSON text (null handle when it does not parse).
    ScriptValue makeFromJSON(const std::string& json);

    bool isUndefined(ScriptValue value);
    bool isNull(ScriptValue value);
    bool isBoolean(ScriptValue value);
    bool isNumber(ScriptValue value);
    bool isString(ScriptValue value);
    bool isObject(ScriptValue value);
    bool isArray(ScriptValue value);
    bool isDate(ScriptValue value);
    bool isFunction(ScriptValue value);
    std::shared_ptr<void> nativeToken(ScriptValue value);

    // Conversions as the language does them (a throwing toString gives "").
    std::string toString(ScriptValue value);
    double toNumber(ScriptValue value);
    bool toBoolean(ScriptValue value);

    // Properties; reading a missing one gives undefined; a getter that throws gives the exception.
    Result property(ScriptValue object, const std::string& name);
    Result property(ScriptValue object, std::size_t index);
    bool setProperty(ScriptValue object, const std::string& name, ScriptValue value);
    std::vector<std::string> propertyNames(ScriptValue object);

    // The JSON text of a value ("" for undefined and functions).
    std::string toJSON(ScriptValue value);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    double m_timeLimit = 0;
};

} // namespace dv::internal::uikit
