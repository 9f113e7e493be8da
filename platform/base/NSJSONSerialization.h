// NSJSONSerialization: JSON text to and from our own object tree (NSDictionary, NSArray, NSString,
// NSNumber, NSNull). Stateless; any thread may call it.
//
//   Ref<NSError> error;
//   id tree = NSJSONSerialization::JSONObjectWithData(data, 0, &error);
//   Ref<NSData> text = NSJSONSerialization::dataWithJSONObject(tree, NSJSONWritingPrettyPrinted, &error);
//
// Reading accepts UTF-8, UTF-16 and UTF-32 (detected from the first bytes), is strict (no trailing
// garbage, no lone surrogates, no bare control characters in strings) and bounded: nesting deeper
// than kMaxDepth is an error, never a stack overflow. Failures are NSCocoaErrorDomain 3840 with a
// description and an "NSDebugDescription" naming the place. Writing refuses what is not valid
// JSON (NaN, infinity, non-string keys, other classes) with an error instead of raising.
#pragma once

#include "platform/base/NSObject.h"

using NSJSONReadingOptions = NSUInteger;
enum : NSJSONReadingOptions {
    NSJSONReadingMutableContainers = 1 << 0,
    NSJSONReadingMutableLeaves = 1 << 1,
    NSJSONReadingFragmentsAllowed = 1 << 2,
    NSJSONReadingAllowFragments = NSJSONReadingFragmentsAllowed,
};

using NSJSONWritingOptions = NSUInteger;
enum : NSJSONWritingOptions {
    NSJSONWritingPrettyPrinted = 1 << 0,
    NSJSONWritingSortedKeys = 1 << 1,
    NSJSONWritingFragmentsAllowed = 1 << 2,
    NSJSONWritingWithoutEscapingSlashes = 1 << 3,
};

class NSJSONSerialization : public NSObject {
    DV_CLASS(NSJSONSerialization, NSObject)

    static constexpr int kMaxDepth = 512;

    // nil with *error set (when error is given) on malformed input.
    static id JSONObjectWithData(const Ref<NSData>& data, NSJSONReadingOptions options, Ref<NSError>* error);
    static id JSONObjectWithBytes(const void* bytes, NSUInteger length, NSJSONReadingOptions options, Ref<NSError>* error);

    // nil with *error set when the object is not valid JSON (the platform raises here; a wrong
    // value coming from the network must not end the process).
    static Ref<NSData> dataWithJSONObject(const id& object, NSJSONWritingOptions options, Ref<NSError>* error);

    // An array or a dictionary at the top, string keys, strings, numbers (not NaN or infinite),
    // NSNull, and nested arrays and dictionaries only.
    static bool isValidJSONObject(const id& object);
};
