#include "platform/ui/JSValue.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/ui/JSContext.h"
#include "platform/ui/internal/ScriptBridge.h"
#include "platform/ui/internal/ScriptEngine.h"

#include <cctype>
#include <cmath>

DV_DEFINE_CLASS(JSValue)

using dv::internal::uikit::ScriptEngine;
using dv::internal::uikit::ScriptValue;

std::string JSExportNameForSelector(SEL selector)
{
    std::string name;
    bool upper = false;
    for (const char* c = selector.name(); c && *c; ++c) {
        if (*c == ':') {
            upper = true;
            continue;
        }
        name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
        upper = false;
    }
    return name;
}

namespace dv::internal::uikit {

namespace {

constexpr int kMaxDepth = 32;

// What stands for a native object in scripts: the object, weakly.
struct NativeToken {
    Weak<NSObject> object;
};

} // namespace

ScriptValue scriptValueFromObject(const Ref<JSContext>& context, const id& object, int depth)
{
    auto& engine = context->engine();
    if (!object || depth > kMaxDepth)
        return engine.makeUndefined();
    if (auto value = dv::as<JSValue>(object))
        return engine.retain(value->handle());
    if (dv::as<NSNull>(object))
        return engine.makeNull();
    if (auto number = dv::as<NSNumber>(object))
        return number->isBoolean() ? engine.makeBoolean(number->boolValue()) : engine.makeNumber(number->doubleValue());
    if (auto string = dv::as<NSString>(object))
        return engine.makeString(string->UTF8String());
    if (auto array = dv::as<NSArray>(object)) {
        std::vector<ScriptValue> elements;
        for (auto& item : array->items())
            elements.push_back(scriptValueFromObject(context, item, depth + 1));
        auto made = engine.makeArray(elements);
        for (auto element : elements)
            engine.release(element);
        return made;
    }
    if (auto dictionary = dv::as<NSDictionary>(object)) {
        auto made = engine.makeObject();
        dictionary->enumerateKeysAndObjectsUsingBlock([&](const id& key, const id& item, bool*) {
            auto value = scriptValueFromObject(context, item, depth + 1);
            engine.setProperty(made, key->description()->UTF8String(), value);
            engine.release(value);
        });
        return made;
    }
    // Any other object: stands for itself, with the methods its class exports.
    auto token = std::make_shared<NativeToken>();
    token->object = object;
    auto made = engine.makeNativeObject(token);
    if (auto* exports = dynamic_cast<const JSExport*>(object.get())) {
        Weak<NSObject> weak = object;
        for (SEL selector : exports->exportedSelectors()) {
            Weak<JSContext> weakContext = context;
            auto function = engine.makeFunction(JSExportNameForSelector(selector),
                [weak, weakContext, selector](ScriptEngine& engine, ScriptValue self, std::span<const ScriptValue> arguments) -> ScriptValue {
                    auto target = weak.lock();
                    auto context = weakContext.lock();
                    if (!target || !context)
                        return nullptr;
                    std::size_t colons = 0;
                    for (const char* c = selector.name(); *c; ++c)
                        colons += *c == ':';
                    std::vector<id> args;
                    for (std::size_t i = 0; i < colons; ++i)
                        args.push_back(i < arguments.size() ? objectFromScriptValue(context, arguments[i], 0) : nil);
                    CallScope scope(context, self, arguments);
                    if (!target->respondsToSelector(selector))
                        return nullptr;
                    id result = target->performSelector(selector, args);
                    (void)engine;
                    return scriptValueFromObject(context, result, 0);
                });
            engine.setProperty(made, JSExportNameForSelector(selector), function);
            engine.release(function);
        }
    }
    return made;
}

id objectFromScriptValue(const Ref<JSContext>& context, ScriptValue value, int depth)
{
    auto& engine = context->engine();
    if (!value || engine.isUndefined(value) || depth > kMaxDepth)
        return nil;
    if (engine.isNull(value))
        return NSNull::null();
    if (engine.isBoolean(value))
        return NSNumber::numberWithBool(engine.toBoolean(value));
    if (engine.isNumber(value))
        return NSNumber::numberWithDouble(engine.toNumber(value));
    if (engine.isString(value))
        return NSString::stringWithUTF8String(engine.toString(value).c_str());
    if (auto token = std::static_pointer_cast<NativeToken>(engine.nativeToken(value)))
        return token->object.lock();
    if (engine.isArray(value)) {
        auto lengthResult = engine.property(value, "length");
        const double length = lengthResult.value ? engine.toNumber(lengthResult.value) : 0;
        engine.release(lengthResult.value);
        engine.release(lengthResult.exception);
        std::vector<id> items;
        for (std::size_t i = 0; i < static_cast<std::size_t>(std::max(0.0, std::min(length, 1e6))); ++i) {
            auto element = engine.property(value, i);
            id item = element.value ? objectFromScriptValue(context, element.value, depth + 1) : nil;
            engine.release(element.value);
            engine.release(element.exception);
            items.push_back(item ? item : NSNull::null());
        }
        return NSArray::fromVector(std::move(items));
    }
    if (engine.isFunction(value) || engine.isDate(value))
        return JSValue::handleValue(engine.retain(value), context);
    auto dictionary = NSMutableDictionary::dictionary();
    for (const auto& name : engine.propertyNames(value)) {
        auto element = engine.property(value, name);
        id item = element.value ? objectFromScriptValue(context, element.value, depth + 1) : nil;
        engine.release(element.value);
        engine.release(element.exception);
        if (item)
            dictionary->setObjectForKey(item, NSString::stringWithUTF8String(name.c_str()));
    }
    return dictionary;
}

} // namespace dv::internal::uikit

using dv::internal::uikit::objectFromScriptValue;
using dv::internal::uikit::scriptValueFromObject;

JSValue::~JSValue()
{
    if (m_context && m_handle)
        m_context->engine().release(m_handle);
}

Ref<JSValue> JSValue::handleValue(const void* handle, const Ref<JSContext>& context)
{
    auto value = alloc<JSValue>();
    value->m_context = context;
    value->m_handle = handle;
    return value;
}

Ref<JSValue> JSValue::valueWithObject(const id& object, const Ref<JSContext>& context)
{
    if (!context)
        return nil;
    return handleValue(scriptValueFromObject(context, object, 0), context);
}

Ref<JSValue> JSValue::valueWithBool(bool value, const Ref<JSContext>& context)
{
    return context ? handleValue(context->engine().makeBoolean(value), context) : nil;
}

Ref<JSValue> JSValue::valueWithDouble(double value, const Ref<JSContext>& context)
{
    return context ? handleValue(context->engine().makeNumber(value), context) : nil;
}

Ref<JSValue> JSValue::valueWithInt32(int value, const Ref<JSContext>& context) { return valueWithDouble(value, context); }

Ref<JSValue> JSValue::valueWithNewObjectInContext(const Ref<JSContext>& context)
{
    return context ? handleValue(context->engine().makeObject(), context) : nil;
}

Ref<JSValue> JSValue::valueWithNewArrayInContext(const Ref<JSContext>& context)
{
    return context ? handleValue(context->engine().makeArray({}), context) : nil;
}

Ref<JSValue> JSValue::valueWithNullInContext(const Ref<JSContext>& context)
{
    return context ? handleValue(context->engine().makeNull(), context) : nil;
}

Ref<JSValue> JSValue::valueWithUndefinedInContext(const Ref<JSContext>& context)
{
    return context ? handleValue(context->engine().makeUndefined(), context) : nil;
}

Ref<JSValue> JSValue::valueWithBlock(Block block, const Ref<JSContext>& context)
{
    if (!context)
        return nil;
    Weak<JSContext> weakContext = context;
    auto function = context->engine().makeFunction("block",
        [block = std::move(block), weakContext](ScriptEngine&, ScriptValue self, std::span<const ScriptValue> arguments) -> ScriptValue {
            auto context = weakContext.lock();
            if (!context || !block)
                return nullptr;
            std::vector<id> args;
            for (auto argument : arguments) {
                id item = objectFromScriptValue(context, argument, 0);
                args.push_back(item ? item : NSNull::null());
            }
            dv::internal::uikit::CallScope scope(context, self, arguments);
            return scriptValueFromObject(context, block(NSArray::fromVector(std::move(args))), 0);
        });
    return handleValue(function, context);
}

bool JSValue::isUndefined() const { return m_context->engine().isUndefined(m_handle); }
bool JSValue::isNull() const { return m_context->engine().isNull(m_handle); }
bool JSValue::isBoolean() const { return m_context->engine().isBoolean(m_handle); }
bool JSValue::isNumber() const { return m_context->engine().isNumber(m_handle); }
bool JSValue::isString() const { return m_context->engine().isString(m_handle); }
bool JSValue::isObject() const { return m_context->engine().isObject(m_handle); }
bool JSValue::isArray() const { return m_context->engine().isArray(m_handle); }

id JSValue::toObject() const { return objectFromScriptValue(m_context, m_handle, 0); }

Ref<NSString> JSValue::toString() const { return NSString::stringWithUTF8String(m_context->engine().toString(m_handle).c_str()); }

bool JSValue::toBool() const { return m_context->engine().toBoolean(m_handle); }

double JSValue::toDouble() const { return m_context->engine().toNumber(m_handle); }

int JSValue::toInt32() const
{
    const double d = toDouble();
    if (!std::isfinite(d))
        return 0;
    // Modulo 2^32, as the language's ToInt32.
    const double wrapped = std::fmod(std::trunc(d), 4294967296.0);
    const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(wrapped < 0 ? wrapped + 4294967296.0 : wrapped));
    return static_cast<int>(bits);
}

Ref<NSNumber> JSValue::toNumber() const
{
    return isBoolean() ? NSNumber::numberWithBool(toBool()) : NSNumber::numberWithDouble(toDouble());
}

Ref<NSArray> JSValue::toArray() const { return dv::as<NSArray>(toObject()); }

Ref<NSDictionary> JSValue::toDictionary() const { return dv::as<NSDictionary>(toObject()); }

Ref<JSValue> JSValue::objectForKeyedSubscript(const Ref<NSString>& key) const
{
    auto& engine = m_context->engine();
    auto result = engine.property(m_handle, key ? key->UTF8String() : "");
    if (result.exception) {
        m_context->reportException(engine, result.exception);
        engine.release(result.exception);
        return valueWithUndefinedInContext(m_context);
    }
    return handleValue(result.value, m_context);
}

void JSValue::setObjectForKeyedSubscript(const id& object, const Ref<NSString>& key)
{
    auto& engine = m_context->engine();
    auto value = scriptValueFromObject(m_context, object, 0);
    engine.setProperty(m_handle, key ? key->UTF8String() : "", value);
    engine.release(value);
}

Ref<JSValue> JSValue::objectAtIndexedSubscript(NSUInteger index) const
{
    auto& engine = m_context->engine();
    auto result = engine.property(m_handle, static_cast<std::size_t>(index));
    if (result.exception) {
        engine.release(result.exception);
        return valueWithUndefinedInContext(m_context);
    }
    return handleValue(result.value, m_context);
}

namespace {

Ref<JSValue> callWith(const Ref<JSContext>& context, ScriptValue function, ScriptValue self, const Ref<NSArray>& arguments)
{
    auto& engine = context->engine();
    std::vector<ScriptValue> args;
    if (arguments)
        for (auto& item : arguments->items())
            args.push_back(scriptValueFromObject(context, item, 0));
    auto result = engine.call(function, self, args);
    for (auto arg : args)
        engine.release(arg);
    if (result.exception) {
        context->reportException(engine, result.exception);
        engine.release(result.exception);
        return JSValue::valueWithUndefinedInContext(context);
    }
    return JSValue::handleValue(result.value, context);
}

} // namespace

Ref<JSValue> JSValue::callWithArguments(const Ref<NSArray>& arguments) { return callWith(m_context, m_handle, nullptr, arguments); }

Ref<JSValue> JSValue::invokeMethodWithArguments(const Ref<NSString>& name, const Ref<NSArray>& arguments)
{
    auto method = objectForKeyedSubscript(name);
    return callWith(m_context, method->handle(), m_handle, arguments);
}

Ref<NSString> JSValue::description() const { return toString(); }
