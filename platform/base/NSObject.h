// NSObject: the root of every Dovrelta object. Objects are reference counted (Ref/Weak), made in
// two phases (alloc<T>() then an init… member), describe themselves, compare and hash, copy
// through NSCopying/NSMutableCopying, answer runtime questions through their class descriptor,
// and carry associated objects that die with them.
//
// An object is small: its own members are the class pointer and the reference to itself that
// self() answers. What few objects use (associated objects, observation records) lives in the
// side table (SideTable.h), and the protocols a class adopts are empty markers.
//
//   auto s = alloc<NSMutableString>()->initWithString("a"_ns);
//   if (s->isKindOfClass(NSString::class_())) NSLog("%@", s);
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Runtime.h"

#include <atomic>
#include <memory>

struct NSZone;
class NSCoder;

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject();
    virtual ~NSObject();
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;

    static Class class_();
    virtual Class getClass() const;
    Ref<NSString> className() const;

    // The second phase of creation; subclasses add their own init… members.
    Ref<NSObject> init();
    static Ref<NSObject> new_();

    virtual Ref<NSString> description() const;
    virtual Ref<NSString> debugDescription() const;
    // Pointer identity unless a class defines value equality; a nil argument is never equal.
    virtual bool isEqual(const NSObject* other) const;
    template <class T>
    bool isEqual(const Ref<T>& other) const
    {
        return isEqual(static_cast<const NSObject*>(other.get()));
    }
    virtual NSUInteger hash() const;

    // Raise NSInvalidArgumentException ("unrecognized selector") when the class does not adopt
    // NSCopying / NSMutableCopying, as the platform does.
    id copy() const;
    id mutableCopy() const;

    bool isKindOfClass(Class cls) const;
    bool isMemberOfClass(Class cls) const;
    bool respondsToSelector(SEL selector) const;
    bool conformsToCopying() const;
    // Calls a registered method; nil for a selector the class does not respond to.
    id performSelector(SEL selector, std::span<const id> args = {});

    // Key-value coding over the registered properties. An unknown key raises
    // NSUndefinedKeyException, as on the platform.
    virtual id valueForKey(const Ref<NSString>& key) const;
    virtual void setValueForKey(const id& value, const Ref<NSString>& key);
    id valueForKeyPath(const Ref<NSString>& keyPath) const;

    // This object as a strong reference of its own type.
    template <class T = NSObject>
    Ref<T> self() { return std::static_pointer_cast<T>(shared_from_this()); }
    template <class T = NSObject>
    Ref<const T> self() const { return std::static_pointer_cast<const T>(shared_from_this()); }

    // What a class adopting NSCopying, NSMutableCopying or NSCoding implements (overriding these).
    // Call copy() / mutableCopy() rather than these: they check the adoption first. Here, for a
    // class that adopts none, they raise "unrecognized selector" as the platform does.
    virtual id copyWithZone(NSZone* zone) const;
    virtual id mutableCopyWithZone(NSZone* zone) const;
    virtual void encodeWithCoder(NSCoder& coder) const;
    // initWithCoder: is a constructor-like member each adopting class provides; the unarchiver
    // calls it on a bare instance and keeps what it answers (a class may answer another object).
    virtual id initWithCoder(NSCoder& coder);
};

// Protocols of copying: a class adopts them by deriving from them beside its NSObject base and
// overriding NSObject's copyWithZone / mutableCopyWithZone. They are empty markers, so adopting
// one adds nothing to an object's size; `dynamic_cast<const NSCopying*>(object)` tells whether a
// class adopts it.
class NSCopying { };
class NSMutableCopying { };

// Coding protocol, adopted by classes that can be archived (the keyed archiver lives beside the
// other formats): the class overrides encodeWithCoder and initWithCoder.
class NSCoder;
class NSCoding { };

namespace dv {

// nil-safe equality: two nils are equal, nil and an object are not.
inline bool equal(const NSObject* a, const NSObject* b)
{
    if (a == b)
        return true;
    if (!a || !b)
        return false;
    return a->isEqual(b);
}
inline bool equal(const id& a, const id& b) { return equal(a.get(), b.get()); }

// The object as T when it is one (dynamic check), else nil.
template <class T, class U>
Ref<T> as(const Ref<U>& object)
{
    return std::dynamic_pointer_cast<T>(object);
}

// A copy seen as the immutable class R: `dv::copyAs<NSString>(mutableString)`. nil copies to nil.
template <class R, class T>
Ref<R> copyAs(const Ref<T>& object)
{
    return object ? std::dynamic_pointer_cast<R>(object->copy()) : nullptr;
}

// Number of NSObject instances alive in the process, less those kept forever; tests use it to
// catch retain cycles.
std::int64_t liveObjectCount();

} // namespace dv
