// Conversions between objects and script values, and the record of the native call running for
// a script (JSContext::currentContext and friends).
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/internal/ScriptEngine.h"

#include <span>

class JSContext;

namespace dv::internal::uikit {

// A new handle (the caller releases it).
ScriptValue scriptValueFromObject(const Ref<JSContext>& context, const id& object, int depth);
id objectFromScriptValue(const Ref<JSContext>& context, ScriptValue value, int depth);

// While alive: the native call a script made (nested calls stack).
class CallScope {
public:
    CallScope(const Ref<JSContext>& context, ScriptValue self, std::span<const ScriptValue> arguments);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    static const CallScope* current();
    Ref<JSContext> context() const { return m_context; }
    ScriptValue self() const { return m_self; }
    std::span<const ScriptValue> arguments() const { return m_arguments; }

private:
    Ref<JSContext> m_context;
    ScriptValue m_self;
    std::span<const ScriptValue> m_arguments;
    const CallScope* m_previous;
};

} // namespace dv::internal::uikit
