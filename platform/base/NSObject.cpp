#include "platform/base/NSObject.h"

#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"

#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <variant>

namespace {

std::atomic<std::int64_t> s_liveObjects { 0 };

} // namespace

struct NSObject::AssociationTable {
    struct Entry {
        id strong;
        Weak<NSObject> weak;
        bool isWeak = false;
    };
    std::mutex lock;
    std::unordered_map<const void*, Entry> entries;
};

NSObject::NSObject() { s_liveObjects.fetch_add(1, std::memory_order_relaxed); }

NSObject::~NSObject()
{
    // Associated values go with their object; they are released outside any lock.
    delete m_associations.exchange(nullptr);
    s_liveObjects.fetch_sub(1, std::memory_order_relaxed);
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
    if (auto* copying = dynamic_cast<const NSCopying*>(this))
        return copying->copyWithZone(nullptr);
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[") + getClass()->name() + " copyWithZone:]: unrecognized selector sent to instance");
}

id NSObject::mutableCopy() const
{
    if (auto* copying = dynamic_cast<const NSMutableCopying*>(this))
        return copying->mutableCopyWithZone(nullptr);
    NSException::raise(NSInvalidArgumentException,
                       std::string("-[") + getClass()->name() + " mutableCopyWithZone:]: unrecognized selector sent to instance");
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

NSObject::AssociationTable* NSObject::associations(bool create) const
{
    AssociationTable* table = m_associations.load(std::memory_order_acquire);
    if (table || !create)
        return table;
    auto* fresh = new AssociationTable;
    if (m_associations.compare_exchange_strong(table, fresh, std::memory_order_acq_rel))
        return fresh;
    delete fresh;
    return table;
}

void objc_setAssociatedObject(const NSObject* object, const void* key, const id& value, objc_AssociationPolicy policy)
{
    if (!object)
        return;
    auto* table = object->associations(value != nullptr);
    if (!table)
        return;
    NSObject::AssociationTable::Entry entry;
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
    NSObject::AssociationTable::Entry old; // released after the lock
    std::lock_guard guard(table->lock);
    auto it = table->entries.find(key);
    if (it != table->entries.end()) {
        old = std::move(it->second);
        if (value)
            it->second = std::move(entry);
        else
            table->entries.erase(it);
    } else if (value) {
        table->entries.emplace(key, std::move(entry));
    }
}

id objc_getAssociatedObject(const NSObject* object, const void* key)
{
    if (!object)
        return nullptr;
    auto* table = object->associations(false);
    if (!table)
        return nullptr;
    std::lock_guard guard(table->lock);
    auto it = table->entries.find(key);
    if (it == table->entries.end())
        return nullptr;
    return it->second.isWeak ? it->second.weak.lock() : it->second.strong;
}

void objc_removeAssociatedObjects(const NSObject* object)
{
    if (!object)
        return;
    auto* table = object->associations(false);
    if (!table)
        return;
    std::unordered_map<const void*, NSObject::AssociationTable::Entry> old;
    std::lock_guard guard(table->lock);
    old.swap(table->entries);
}

namespace dv {
std::int64_t liveObjectCount() { return s_liveObjects.load(std::memory_order_relaxed); }
} // namespace dv
