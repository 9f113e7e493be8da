#include "platform/ui/internal/PageGlobals.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/ui/JSContext.h"
#include "platform/ui/JSValue.h"
#include "platform/ui/internal/ScriptBridge.h"

#include <algorithm>

namespace dv::internal::uikit {

namespace {

constexpr int kMaxDepth = 32;

// The page's side. Run at document start in the page's own world, and again for new globals (the
// listeners are added once per document). Arguments of calls reach the application as JSON:
// functions and symbols become null, nodes their text; what cannot be cloned never stops the page.
constexpr const char* kPrelude = R"JS((function (globals) {
  var w = window;
  var bridge = w.__dovrelta__;
  if (!bridge) {
    var handler = w.webkit && w.webkit.messageHandlers && w.webkit.messageHandlers.dovrelta;
    var post = function (message) { if (handler) { try { handler.postMessage(message); } catch (e) {} } };
    var plain = function (value, depth) {
      if (value === undefined || value === null) return null;
      var type = typeof value;
      if (type === 'function' || type === 'symbol') return null;
      if (type === 'bigint') return String(value);
      if (type !== 'object') return value;
      if (depth > 16) return null;
      if (typeof Node !== 'undefined' && value instanceof Node) return String(value);
      if (Array.isArray(value)) return value.map(function (item) { return plain(item, depth + 1); });
      var out = {};
      Object.keys(value).forEach(function (key) { out[key] = plain(value[key], depth + 1); });
      return out;
    };
    var list = function (args) { return Array.prototype.map.call(args, function (item) { return plain(item, 0); }); };
    var make = function (d) {
      switch (d.t) {
      case 'o':
        var object = {};
        d.m.forEach(function (name) { object[name] = function () { post({ k: 'call', id: d.id, m: name, a: list(arguments) }); }; });
        return object;
      case 'f': return function () { post({ k: 'call', id: d.id, a: list(arguments) }); };
      case 'a': return d.e.map(make);
      case 'd':
        var dictionary = {};
        Object.keys(d.e).forEach(function (key) { dictionary[key] = make(d.e[key]); });
        return dictionary;
      default: return d.v;
      }
    };
    var thrown = function (error, text) {
      if (error instanceof Error) return { k: 'exception', name: String(error.name), message: String(error.message) };
      if (error === undefined || error === null) return { k: 'exception', text: String(text) };
      return { k: 'exception', value: plain(error, 0) };
    };
    w.addEventListener('error', function (e) { post(thrown(e.error, e.message)); });
    w.addEventListener('unhandledrejection', function (e) { post(thrown(e.reason, e.reason)); });
    var closed = ['button', 'checkbox', 'color', 'file', 'hidden', 'image', 'radio', 'range', 'reset', 'submit'];
    var editable = function (element) {
      if (!element || element.disabled || element.readOnly) return false;
      if (element.isContentEditable || element.tagName === 'TEXTAREA') return true;
      return element.tagName === 'INPUT' && closed.indexOf(element.type) < 0;
    };
    document.addEventListener('focusin', function (e) { if (editable(e.target)) post({ k: 'focus', editable: true }); }, true);
    document.addEventListener('focusout', function (e) { if (editable(e.target)) post({ k: 'focus', editable: false }); }, true);
    bridge = { make: make };
    Object.defineProperty(w, '__dovrelta__', { value: bridge });
  }
  Object.keys(globals).forEach(function (name) { w[name] = bridge.make(globals[name]); });
}))JS";

Ref<NSDictionary> plainValue(const id& value) { return NSDictionary::of({ { "t"_ns, "v"_ns }, { "v"_ns, value } }); }

} // namespace

void PageGlobals::publish(const std::string& name, const id& value)
{
    auto description = describe(value, 0);
    auto found = std::find_if(m_globals.begin(), m_globals.end(), [&](const auto& global) { return global.first == name; });
    if (found != m_globals.end())
        found->second = description;
    else
        m_globals.emplace_back(name, description);
}

bool PageGlobals::isPublished(const std::string& name) const
{
    return std::any_of(m_globals.begin(), m_globals.end(), [&](const auto& global) { return global.first == name; });
}

std::string PageGlobals::bootstrapScript() const
{
    auto globals = NSMutableDictionary::dictionary();
    for (const auto& [name, description] : m_globals)
        globals->setObjectForKey(description, NSString::fromUTF8(name));
    auto json = NSJSONSerialization::dataWithJSONObject(globals, 0, nullptr);
    std::string text = json ? std::string(reinterpret_cast<const char*>(json->bytes()), json->length()) : "{}";
    // Inside a script, a "</script>" of a value would do no harm; U+2028 and U+2029 are line ends
    // to older parsers of the language and not to JSON.
    return std::string(kPrelude) + "(" + text + ");";
}

std::size_t PageGlobals::entryFor(const id& value, const void* identity)
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const auto& entry = m_entries[i];
        if (entry.identity == identity && (entry.function || !entry.object.expired()))
            return i;
    }
    Entry entry;
    entry.identity = identity;
    if (auto function = dv::as<JSValue>(value)) {
        entry.function = function;
    } else {
        entry.object = value;
        if (auto* exports = dynamic_cast<const JSExport*>(value.get()))
            for (SEL selector : exports->exportedSelectors())
                entry.methods.emplace(JSExportNameForSelector(selector), selector);
    }
    m_entries.push_back(std::move(entry));
    return m_entries.size() - 1;
}

id PageGlobals::describe(const id& value, int depth)
{
    if (!value || depth > kMaxDepth)
        return NSDictionary::of({ { "t"_ns, "v"_ns } });
    if (dv::as<NSNull>(value) || dv::as<NSString>(value) || dv::as<NSNumber>(value))
        return plainValue(value);
    if (auto array = dv::as<NSArray>(value)) {
        std::vector<id> elements;
        for (const auto& item : array->items())
            elements.push_back(describe(item, depth + 1));
        return NSDictionary::of({ { "t"_ns, "a"_ns }, { "e"_ns, NSArray::fromVector(std::move(elements)) } });
    }
    if (auto dictionary = dv::as<NSDictionary>(value)) {
        auto elements = NSMutableDictionary::dictionary();
        dictionary->enumerateKeysAndObjectsUsingBlock([&](const id& key, const id& item, bool*) {
            elements->setObjectForKey(describe(item, depth + 1), key->description());
        });
        return NSDictionary::of({ { "t"_ns, "d"_ns }, { "e"_ns, elements } });
    }
    if (auto script = dv::as<JSValue>(value)) {
        auto& engine = script->context()->engine();
        if (!engine.isFunction(script->handle()))
            return describe(script->toObject(), depth + 1);
        const auto number = entryFor(script, script->handle());
        return NSDictionary::of({ { "t"_ns, "f"_ns }, { "id"_ns, NSNumber::numberWithUnsignedLongLong(number) } });
    }
    const auto number = entryFor(value, value.get());
    std::vector<std::string> sorted;
    for (const auto& [name, selector] : m_entries[number].methods)
        sorted.push_back(name);
    std::sort(sorted.begin(), sorted.end());
    std::vector<id> names;
    for (const auto& name : sorted)
        names.push_back(NSString::fromUTF8(name));
    return NSDictionary::of({ { "t"_ns, "o"_ns }, { "id"_ns, NSNumber::numberWithUnsignedLongLong(number) },
        { "m"_ns, NSArray::fromVector(std::move(names)) } });
}

void PageGlobals::forgetFunctions()
{
    for (auto& entry : m_entries)
        entry.function = nil;
}

void PageGlobals::handleCall(const Ref<NSDictionary>& message)
{
    auto number = dv::as<NSNumber>(message->objectForKey("id"_ns));
    if (!number || number->doubleValue() < 0 || number->unsignedLongLongValue() >= m_entries.size())
        return;
    auto arguments = dv::as<NSArray>(message->objectForKey("a"_ns));
    const std::vector<id> given = arguments ? arguments->items() : std::vector<id> {};
    auto context = m_context.self<JSContext>();
    const auto& entry = m_entries[number->unsignedLongLongValue()];
    if (entry.function) {
        auto function = entry.function; // the call may publish again and move the entries
        function->callWithArguments(NSArray::fromVector(given));
        return;
    }
    auto method = dv::as<NSString>(message->objectForKey("m"_ns));
    auto target = entry.object.lock();
    if (!target || !method)
        return;
    auto selector = entry.methods.find(method->UTF8String());
    if (selector == entry.methods.end() || !target->respondsToSelector(selector->second))
        return;
    const SEL chosen = selector->second;
    std::size_t colons = 0;
    for (const char* c = chosen.name(); *c; ++c)
        colons += *c == ':';
    std::vector<id> args;
    for (std::size_t i = 0; i < colons; ++i)
        args.push_back(i < given.size() ? given[i] : nil);
    // While the method runs, JSContext::currentContext() and its friends tell of this call.
    auto& engine = context->engine();
    std::vector<ScriptValue> handles;
    for (const auto& argument : given)
        handles.push_back(scriptValueFromObject(context, argument, 0));
    const ScriptValue self = engine.makeUndefined();
    {
        CallScope scope(context, self, handles);
        target->performSelector(chosen, args);
    }
    engine.release(self);
    for (auto handle : handles)
        engine.release(handle);
}

} // namespace dv::internal::uikit
