// Boxing of C++ values as objects, as key-value coding and method invocation see them: scalars
// as NSNumber, geometry and ranges as NSValue, objects as themselves; and the runtime's type
// encoding of each C++ type.
#pragma once

#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"

#include <string>
#include <algorithm>
#include <limits>
#include <type_traits>

namespace dv {

template <class T>
struct IsRef : std::false_type { };
template <class T>
struct IsRef<std::shared_ptr<T>> : std::true_type {
    using Element = T;
};

template <class V>
id box(const V& value)
{
    if constexpr (IsRef<V>::value)
        return std::static_pointer_cast<NSObject>(value);
    else if constexpr (std::is_same_v<V, bool> || std::is_arithmetic_v<V>)
        return NSNumber::from(value);
    else if constexpr (std::is_enum_v<V>)
        return NSNumber::from(static_cast<std::underlying_type_t<V>>(value));
    else if constexpr (std::is_same_v<V, CGPoint>)
        return NSValue::valueWithCGPoint(value);
    else if constexpr (std::is_same_v<V, CGSize>)
        return NSValue::valueWithCGSize(value);
    else if constexpr (std::is_same_v<V, CGRect>)
        return NSValue::valueWithCGRect(value);
    else if constexpr (std::is_same_v<V, CGVector>)
        return NSValue::valueWithCGVector(value);
    else if constexpr (std::is_same_v<V, UIEdgeInsets>)
        return NSValue::valueWithUIEdgeInsets(value);
    else if constexpr (std::is_same_v<V, CGAffineTransform>)
        return NSValue::valueWithCGAffineTransform(value);
    else if constexpr (std::is_same_v<V, NSRange>)
        return NSValue::valueWithRange(value);
    else if constexpr (std::is_same_v<V, SEL>)
        return value ? NSString::stringWithUTF8String(value.name()) : nullptr;
    else if constexpr (std::is_same_v<V, Class>)
        return value ? NSString::stringWithUTF8String(value->name()) : nullptr;
    else if constexpr (std::is_pointer_v<V>)
        return NSValue::valueWithPointer(value);
    else
        static_assert(sizeof(V) == 0, "no boxing for this type");
}

// The value inside a box; a box of the wrong kind (or nil) gives the zero value. Objects are
// checked with a dynamic cast, so a string never lands in a number property.
template <class V>
V unbox(const id& object)
{
    if constexpr (IsRef<V>::value) {
        return std::dynamic_pointer_cast<typename IsRef<V>::Element>(object);
    } else if constexpr (std::is_same_v<V, bool> || std::is_arithmetic_v<V> || std::is_enum_v<V>) {
        auto number = std::dynamic_pointer_cast<NSNumber>(object);
        if (!number)
            return V {};
        if constexpr (std::is_same_v<V, bool>)
            return number->boolValue();
        else if constexpr (std::is_floating_point_v<V>)
            return static_cast<V>(number->doubleValue());
        else if constexpr (std::is_enum_v<V>)
            return static_cast<V>(number->longLongValue());
        else if constexpr (std::is_signed_v<V>)
            return static_cast<V>(std::clamp<long long>(number->longLongValue(), std::numeric_limits<V>::min(), std::numeric_limits<V>::max()));
        else
            return static_cast<V>(std::min<unsigned long long>(number->unsignedLongLongValue(), std::numeric_limits<V>::max()));
    } else if constexpr (std::is_same_v<V, SEL>) {
        auto name = std::dynamic_pointer_cast<NSString>(object);
        return name ? SEL(name->utf8()) : SEL();
    } else if constexpr (std::is_same_v<V, Class>) {
        auto name = std::dynamic_pointer_cast<NSString>(object);
        return name ? objc_getClass(name->UTF8String()) : Nil;
    } else {
        auto value = std::dynamic_pointer_cast<NSValue>(object);
        if (!value)
            return V {};
        if constexpr (std::is_same_v<V, CGPoint>)
            return value->CGPointValue();
        else if constexpr (std::is_same_v<V, CGSize>)
            return value->CGSizeValue();
        else if constexpr (std::is_same_v<V, CGRect>)
            return value->CGRectValue();
        else if constexpr (std::is_same_v<V, CGVector>)
            return value->CGVectorValue();
        else if constexpr (std::is_same_v<V, UIEdgeInsets>)
            return value->UIEdgeInsetsValue();
        else if constexpr (std::is_same_v<V, CGAffineTransform>)
            return value->CGAffineTransformValue();
        else if constexpr (std::is_same_v<V, NSRange>)
            return value->rangeValue();
        else if constexpr (std::is_pointer_v<V>)
            return static_cast<V>(const_cast<void*>(value->pointerValue()));
        else
            static_assert(sizeof(V) == 0, "no unboxing for this type");
    }
}

// The runtime's type encoding of a C++ type: "q", "Q", "d", "B", "{CGRect=...}", and for objects
// `@"ClassName"` (or "@" for id, "@?" for a block).
template <class V>
std::string encodingOf()
{
    if constexpr (std::is_same_v<V, bool>)
        return "B";
    else if constexpr (std::is_same_v<V, char> || std::is_same_v<V, signed char>)
        return "c";
    else if constexpr (std::is_same_v<V, unsigned char>)
        return "C";
    else if constexpr (std::is_same_v<V, short>)
        return "s";
    else if constexpr (std::is_same_v<V, unsigned short> || std::is_same_v<V, char16_t>)
        return "S";
    else if constexpr (std::is_same_v<V, int>)
        return "i";
    else if constexpr (std::is_same_v<V, unsigned int>)
        return "I";
    else if constexpr (std::is_integral_v<V> && std::is_signed_v<V>)
        return "q";
    else if constexpr (std::is_integral_v<V>)
        return "Q";
    else if constexpr (std::is_enum_v<V>)
        return encodingOf<std::underlying_type_t<V>>();
    else if constexpr (std::is_same_v<V, float>)
        return "f";
    else if constexpr (std::is_same_v<V, double>)
        return "d";
    else if constexpr (std::is_same_v<V, long double>)
        return "D";
    else if constexpr (std::is_same_v<V, CGPoint>)
        return "{CGPoint=dd}";
    else if constexpr (std::is_same_v<V, CGSize>)
        return "{CGSize=dd}";
    else if constexpr (std::is_same_v<V, CGRect>)
        return "{CGRect={CGPoint=dd}{CGSize=dd}}";
    else if constexpr (std::is_same_v<V, CGVector>)
        return "{CGVector=dd}";
    else if constexpr (std::is_same_v<V, UIEdgeInsets>)
        return "{UIEdgeInsets=dddd}";
    else if constexpr (std::is_same_v<V, CGAffineTransform>)
        return "{CGAffineTransform=dddddd}";
    else if constexpr (std::is_same_v<V, NSRange>)
        return "{_NSRange=QQ}";
    else if constexpr (std::is_same_v<V, SEL>)
        return ":";
    else if constexpr (std::is_same_v<V, Class>)
        return "#";
    else if constexpr (std::is_same_v<V, const char*> || std::is_same_v<V, char*>)
        return "*";
    else if constexpr (IsRef<V>::value) {
        using E = typename IsRef<V>::Element;
        if constexpr (std::is_same_v<E, NSObject>)
            return "@";
        else
            return std::string("@\"") + E::class_()->name() + "\"";
    } else if constexpr (std::is_pointer_v<V>)
        return "^v";
    else
        return "?";
}

} // namespace dv
