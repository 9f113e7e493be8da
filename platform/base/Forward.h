// The vocabulary every Dovrelta file speaks: strong and weak references, the platform's scalar
// types, ranges, and the forward declarations of the value classes. Lean on purpose: include this
// instead of a class header wherever a name alone is enough.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

template <class T>
using Ref = std::shared_ptr<T>;
template <class T>
using Weak = std::weak_ptr<T>;

class NSObject;
using id = Ref<NSObject>;
inline constexpr std::nullptr_t nil = nullptr;

namespace dv {
class ClassDescriptor;
}
// A class as the runtime knows it; Nil is the absent class.
using Class = const dv::ClassDescriptor*;
inline constexpr Class Nil = nullptr;

using NSInteger = std::int64_t;
using NSUInteger = std::uint64_t;
using CGFloat = double;
using NSTimeInterval = double;
using unichar = char16_t;

inline constexpr NSInteger NSIntegerMax = INT64_MAX;
inline constexpr NSInteger NSIntegerMin = INT64_MIN;
inline constexpr NSUInteger NSUIntegerMax = UINT64_MAX;
inline constexpr NSInteger NSNotFound = NSIntegerMax;

struct NSRange {
    NSUInteger location = 0;
    NSUInteger length = 0;
    constexpr NSUInteger max() const { return location + length; }
    constexpr bool operator==(const NSRange&) const = default;
};
constexpr NSRange NSMakeRange(NSUInteger location, NSUInteger length) { return {location, length}; }
constexpr NSUInteger NSMaxRange(NSRange r) { return r.location + r.length; }
constexpr bool NSLocationInRange(NSUInteger loc, NSRange r) { return loc >= r.location && loc - r.location < r.length; }

enum NSComparisonResult : NSInteger { NSOrderedAscending = -1, NSOrderedSame = 0, NSOrderedDescending = 1 };

class SEL;
class NSString;
class NSMutableString;
class NSNumber;
class NSDecimalNumber;
class NSNull;
class NSData;
class NSMutableData;
class NSDate;
class NSValue;
class NSError;
class NSURL;
class NSIndexPath;
class NSIndexSet;
class NSMutableIndexSet;
class NSUUID;
class NSArray;
class NSMutableArray;
class NSDictionary;
class NSMutableDictionary;
class NSSet;
class NSMutableSet;
class NSOrderedSet;
class NSMutableOrderedSet;
class NSException;

// First phase of the platform's two-phase creation: the bare object, owned from the start.
// The second phase is an init… member of the class, so that virtual calls reach the subclass.
template <class T>
Ref<T> alloc()
{
    return std::make_shared<T>();
}
