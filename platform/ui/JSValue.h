// JSValue: a value of a JSContext (it keeps its context alive), and the conversions between
// script values and objects:
//   to scripts:  nil → undefined, NSNull → null, NSNumber → number (boolean numbers → true/false),
//                NSString → string, NSArray → array, NSDictionary → object, JSValue → itself,
//                any other object → an object standing for it whose methods are the selectors its
//                class exports (JSExport); the script refers to such an object weakly (a screen
//                that publishes itself to its own page is not kept alive by the page).
//   from scripts (toObject): undefined → nil, null → NSNull, booleans and numbers → NSNumber,
//                strings → NSString, arrays → NSArray, the object standing for a native object →
//                that object (nil once it is gone), other objects → NSDictionary.
// Main thread only.
//
//   auto f = context->evaluateScript("(function (a, b) { return a * b; })"_ns);
//   f->callWithArguments(NSArray::of({@6, @7}))->toInt32(); // 42
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <vector>

class JSContext;
class NSArray;
class NSDictionary;
class NSNumber;

// Adopted by a class whose objects scripts may call: the selectors (registered methods of the
// class) they see. A selector appears in scripts under its name without colons, the letter after
// an inner colon in capitals: "clickOnAndroid:" is clickOnAndroid, "setTitle:forState:" is
// setTitleForState. Arguments arrive converted (see above); missing ones are nil.
class JSExport {
public:
    virtual ~JSExport() = default;
    virtual std::vector<SEL> exportedSelectors() const = 0;
};

// The script name of an exported selector.
std::string JSExportNameForSelector(SEL selector);

class JSValue : public NSObject {
    DV_CLASS(JSValue, NSObject)

    JSValue() = default;
    ~JSValue() override;

    static Ref<JSValue> valueWithObject(const id& object, const Ref<JSContext>& context);
    static Ref<JSValue> valueWithBool(bool value, const Ref<JSContext>& context);
    static Ref<JSValue> valueWithDouble(double value, const Ref<JSContext>& context);
    static Ref<JSValue> valueWithInt32(int value, const Ref<JSContext>& context);
    static Ref<JSValue> valueWithNewObjectInContext(const Ref<JSContext>& context);
    static Ref<JSValue> valueWithNewArrayInContext(const Ref<JSContext>& context);
    static Ref<JSValue> valueWithNullInContext(const Ref<JSContext>& context);
    static Ref<JSValue> valueWithUndefinedInContext(const Ref<JSContext>& context);
    // A function that runs `block` with the call's arguments converted to objects; its result
    // goes back converted.
    using Block = std::function<id(const Ref<NSArray>& arguments)>;
    static Ref<JSValue> valueWithBlock(Block block, const Ref<JSContext>& context);

    Ref<JSContext> context() const { return m_context; }

    bool isUndefined() const;
    bool isNull() const;
    bool isBoolean() const;
    bool isNumber() const;
    bool isString() const;
    bool isObject() const;
    bool isArray() const;

    id toObject() const;
    Ref<NSString> toString() const;
    bool toBool() const;
    double toDouble() const;
    int toInt32() const;
    Ref<NSNumber> toNumber() const;
    Ref<NSArray> toArray() const;
    Ref<NSDictionary> toDictionary() const;

    Ref<JSValue> objectForKeyedSubscript(const Ref<NSString>& key) const;
    void setObjectForKeyedSubscript(const id& object, const Ref<NSString>& key);
    Ref<JSValue> valueForProperty(const Ref<NSString>& property) const { return objectForKeyedSubscript(property); }
    void setValueForProperty(const id& value, const Ref<NSString>& property) { setObjectForKeyedSubscript(value, property); }
    Ref<JSValue> objectAtIndexedSubscript(NSUInteger index) const;

    // Calls the value as a function (this undefined), or its method `name` (this the value);
    // undefined when it threw (the context's handler is called).
    Ref<JSValue> callWithArguments(const Ref<NSArray>& arguments);
    Ref<JSValue> invokeMethodWithArguments(const Ref<NSString>& name, const Ref<NSArray>& arguments);

    // The value as a script would print it (String(value)).
    Ref<NSString> description() const override;

    // For JSContext: a value around an engine handle the engine already keeps for it.
    static Ref<JSValue> handleValue(const void* handle, const Ref<JSContext>& context);
    const void* handle() const { return m_handle; }

private:
    Ref<JSContext> m_context;
    const void* m_handle = nullptr;
};
