// PageGlobals: the globals a web view's script context publishes to its page, and the way back.
// Each value is described for the page: plain values (strings, numbers, arrays, dictionaries,
// null) as they are; a native object as an object whose methods are the selectors its class
// exports (JSExport); a function value as a function. The page's calls of those methods and
// functions come back as messages and run here, on the main thread, with their arguments
// converted as the platform converts script values (null → NSNull, missing → nil); they answer
// the page nothing (the call is a message). The page refers to native objects weakly, as a
// standalone context does: a screen that publishes itself is not kept alive by its page.
//
// The page's script made from them also reports to the application what its own scripts throw
// and when a text field of the page takes or loses the focus. Owned by its JSContext; main
// thread only.
#pragma once

#include "platform/base/NSObject.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class JSContext;
class JSValue;
class NSDictionary;

namespace dv::internal::uikit {

class PageGlobals {
public:
    explicit PageGlobals(JSContext& context) : m_context(context) { }

    void publish(const std::string& name, const id& value);
    bool isPublished(const std::string& name) const;
    // The script the page runs at every load before its own, and again when a global changes.
    std::string bootstrapScript() const;
    // A call of the page's scripts: { "id": n, "m": method name, "a": [arguments] }.
    void handleCall(const Ref<NSDictionary>& message);
    // The page has gone: the functions published to it are let go (each keeps its context, which
    // keeps this, and so would keep itself); the page's calls of them no longer come.
    void forgetFunctions();

private:
    // What a described native object or function stands for on this side.
    struct Entry {
        Weak<NSObject> object;
        Ref<JSValue> function;
        const void* identity = nullptr;
        std::unordered_map<std::string, SEL> methods;
    };
    id describe(const id& value, int depth);
    std::size_t entryFor(const id& value, const void* identity);

    JSContext& m_context;
    std::vector<std::pair<std::string, id>> m_globals; // name and description, in publishing order
    std::vector<Entry> m_entries;                      // by the number the page calls them with
};

} // namespace dv::internal::uikit
