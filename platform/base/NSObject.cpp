#include "platform/base/NSObject.h"

#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/base/SideTable.h"
#include "platform/base/internal/LiveObjectRecord.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::atomic<std::int64_t> s_liveObjects { 0 };
// Made less destroyed on this thread: what a keepingForever call made and kept is the change
// across it, whatever other threads make meanwhile.
thread_local std::int64_t t_objectsMade = 0;

} // namespace

namespace {

// The associated objects of one object, kept in the side table.
struct Associations {
    struct Entry {
        const void* key = nullptr;
        id strong;
        Weak<NSObject> weak;
        bool isWeak = false;
    };
    dv::Mutex lock;
    std::vector<Entry> entries DV_GUARDED_BY(lock); // few per object: a scan beats a hash
};

} // namespace

NSObject::NSObject()
{
    s_liveObjects.fetch_add(1, std::memory_order_relaxed);
    ++t_objectsMade;
    if (dv::internal::base::recordingLiveObjects())
        dv::internal::base::noteObjectMade(this);
}

NSObject::~NSObject()
{
    // Associated values and other side state go with their object, released outside any lock.
    if (dv::sidetable::mayHaveEntries(this))
        dv::sidetable::erase(this);
    s_liveObjects.fetch_sub(1, std::memory_order_relaxed);
    --t_objectsMade;
    if (dv::internal::base::recordingLiveObjects())
        dv::internal::base::noteObjectGone(this);
}

Class NSObject::class_()
{
    static const Class cls = dv::ClassBuilder<NSObject>::build("NSObject", Nil, nullptr);
    return cls;
}

namespace {
[[maybe_unused]] const Class dvRegisteredNSObject = NSObject::class_();
}

Class NSObject::getClass() const { return class_(); }
Ref<NSString> NSObject::className() const { return NSString::stringWithUTF8String(getClass()->name()); }
Ref<NSObject> NSObject::init() { return shared_from_this(); }
Ref<NSObject> NSObject::new_() { return alloc<NSObject>()->init(); }

Ref<NSString> NSObject::description() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return NSString::fromUTF8(std::string("<") + getClass()->name() + ": " + address + ">");
}

Ref<NSString> NSObject::debugDescription() const { return description(); }
bool NSObject::isEqual(const NSObject* other) const { return other == this; }
NSUInteger NSObject::hash() const { return reinterpret_cast<std::uintptr_t>(this); }

id NSObject::copy() const
{
    if (dynamic_cast<const NSCopying*>(this))
        return copyWithZone(nullptr);
    return NSObject::copyWithZone(nullptr); // raises: the class does not adopt NSCopying
}

id NSObject::mutableCopy() const
{
    if (dynamic_cast<const NSMutableCopying*>(this))
        return mutableCopyWithZone(nullptr);
    return NSObject::mutableCopyWithZone(nullptr);
}

id NSObject::copyWithZone(NSZone*) const
{
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[") + getClass()->name() + " copyWithZone:]: unrecognized selector sent to instance");
}

id NSObject::mutableCopyWithZone(NSZone*) const
{
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[") + getClass()->name() + " mutableCopyWithZone:]: unrecognized selector sent to instance");
}

void NSObject::encodeWithCoder(NSCoder&) const
{
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[") + getClass()->name() + " encodeWithCoder:]: unrecognized selector sent to instance");
}

id NSObject::initWithCoder(NSCoder&)
{
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[") + getClass()->name() + " initWithCoder:]: unrecognized selector sent to instance");
}

bool NSObject::conformsToCopying() const { return dynamic_cast<const NSCopying*>(this) != nullptr; }
bool NSObject::isKindOfClass(Class cls) const { return cls && getClass()->isSubclassOfClass(cls); }
bool NSObject::isMemberOfClass(Class cls) const { return getClass() == cls; }
bool NSObject::respondsToSelector(SEL selector) const { return selector && getClass()->instancesRespondToSelector(selector); }

id NSObject::performSelector(SEL selector, std::span<const id> args)
{
    auto* method = getClass()->findMethod(selector);
    if (!method || !method->imp)
        return nullptr;
    return method->imp(this, args);
}

id NSObject::valueForKey(const Ref<NSString>& key) const
{
    auto* property = key ? getClass()->findProperty(key->utf8()) : nullptr;
    if (!property || !property->getter)
        NSException::raise(NSUndefinedKeyException,
                           std::string("[<") + getClass()->name() + "> valueForUndefinedKey:]: this class is not key value coding-compliant for the key "
                               + dv::str(key) + ".");
    return property->getter(*this);
}

void NSObject::setValueForKey(const id& value, const Ref<NSString>& key)
{
    auto* property = key ? getClass()->findProperty(key->utf8()) : nullptr;
    if (!property || !property->setter)
        NSException::raise(NSUndefinedKeyException,
                           std::string("[<") + getClass()->name() + "> setValue:forUndefinedKey:]: this class is not key value coding-compliant for the key "
                               + dv::str(key) + ".");
    property->setter(*this, value);
}

id NSObject::valueForKeyPath(const Ref<NSString>& keyPath) const
{
    if (!keyPath)
        return nullptr;
    const std::string& path = keyPath->utf8();
    std::size_t dot = path.find('.');
    if (dot == std::string::npos)
        return valueForKey(keyPath);
    id first = valueForKey(NSString::fromUTF8(std::string_view(path).substr(0, dot)));
    return first ? first->valueForKeyPath(NSString::fromUTF8(std::string_view(path).substr(dot + 1))) : nullptr;
}

void objc_setAssociatedObject(const NSObject* object, const void* key, const id& value, objc_AssociationPolicy policy)
{
    if (!object)
        return;
    auto table = value ? dv::sidetable::findOrCreate<Associations>(object, dv::SideSlot::Associations)
                       : dv::sidetable::find<Associations>(object, dv::SideSlot::Associations);
    if (!table)
        return;
    Associations::Entry entry;
    entry.key = key;
    if (value) {
        switch (policy) {
        case OBJC_ASSOCIATION_ASSIGN:
            entry.weak = value;
            entry.isWeak = true;
            break;
        case OBJC_ASSOCIATION_COPY:
        case OBJC_ASSOCIATION_COPY_NONATOMIC:
            entry.strong = value->copy();
            break;
        default:
            entry.strong = value;
            break;
        }
    }
    Associations::Entry old; // released after the lock
    dv::MutexLocker guard(table->lock);
    auto it = std::find_if(table->entries.begin(), table->entries.end(), [&](auto& e) { return e.key == key; });
    if (it != table->entries.end()) {
        old = std::move(*it);
        if (value) {
            *it = std::move(entry);
        } else {
            *it = std::move(table->entries.back());
            table->entries.pop_back();
        }
    } else if (value) {
        table->entries.push_back(std::move(entry));
    }
}

id objc_getAssociatedObject(const NSObject* object, const void* key)
{
    auto table = dv::sidetable::find<Associations>(object, dv::SideSlot::Associations);
    if (!table)
        return nullptr;
    dv::MutexLocker guard(table->lock);
    for (auto& entry : table->entries)
        if (entry.key == key)
            return entry.isWeak ? entry.weak.lock() : entry.strong;
    return nullptr;
}

void objc_removeAssociatedObjects(const NSObject* object)
{
    auto table = dv::sidetable::find<Associations>(object, dv::SideSlot::Associations);
    if (!table)
        return;
    std::vector<Associations::Entry> old; // released after the lock
    dv::MutexLocker guard(table->lock);
    old.swap(table->entries);
}

namespace dv {
std::int64_t liveObjectCount() { return s_liveObjects.load(std::memory_order_relaxed); }

void keepForever(const NSObject* object)
{
    if (!object)
        return;
    if (dv::internal::base::recordingLiveObjects())
        dv::internal::base::noteObjectKept(object);
    s_liveObjects.fetch_sub(1, std::memory_order_relaxed);
    // Taken out here, so that a keepingForever around this call does not take it out again.
    --t_objectsMade;
}

namespace internal::base {

std::int64_t objectsMadeOnThisThread() { return t_objectsMade; }

std::int64_t keepMadeSince(std::int64_t mark)
{
    const std::int64_t kept = t_objectsMade - mark;
    s_liveObjects.fetch_sub(kept, std::memory_order_relaxed);
    t_objectsMade = mark;
    return kept;
}

void countAgain(std::int64_t objects)
{
    s_liveObjects.fetch_add(objects, std::memory_order_relaxed);
    t_objectsMade += objects;
}

} // namespace internal::base
} // namespace dv
