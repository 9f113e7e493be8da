#include "platform/base/NSSet.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Describe.h"
#include "platform/base/internal/SharedInstance.h"

DV_DEFINE_CLASS(NSSet)
DV_DEFINE_CLASS(NSMutableSet)
DV_DEFINE_CLASS(NSOrderedSet)
DV_DEFINE_CLASS(NSMutableOrderedSet)

namespace dv::internal::base {

std::size_t ObjectList::Hash::operator()(const NSObject* o) const { return o->hash(); }
bool ObjectList::Equal::operator()(const NSObject* a, const NSObject* b) const { return a == b || a->isEqual(b); }

std::size_t ObjectList::find(const NSObject* object) const
{
    if (!object)
        return npos;
    auto it = m_index.find(object);
    return it == m_index.end() ? npos : it->second;
}

bool ObjectList::insert(const id& object)
{
    if (find(object.get()) != npos)
        return false;
    m_items.push_back(object);
    m_index.emplace(object.get(), m_items.size() - 1);
    return true;
}

void ObjectList::insertAt(std::size_t index, const id& object)
{
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), object);
    rebuild();
}

bool ObjectList::erase(const NSObject* object)
{
    std::size_t at = find(object);
    if (at == npos)
        return false;
    eraseAt(at);
    return true;
}

void ObjectList::eraseAt(std::size_t index)
{
    id removed = std::move(m_items[index]);
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
    rebuild();
}

void ObjectList::clear()
{
    std::vector<id> removed;
    removed.swap(m_items);
    m_index.clear();
}

void ObjectList::rebuild()
{
    m_index.clear();
    for (std::size_t i = 0; i < m_items.size(); ++i)
        m_index.emplace(m_items[i].get(), i);
}

} // namespace dv::internal::base

namespace {

[[noreturn]] void raiseNil(const char* method)
{
    NSException::raise(NSInvalidArgumentException, std::string("*** -[") + method + "]: object cannot be nil");
}

} // namespace

// NSSet ---------------------------------------------------------------------------------------

Ref<NSSet> NSSet::set()
{
    // The empty immutable set is one shared instance, as on the platform.
    static const Ref<NSSet>& empty = dv::internal::base::sharedInstance(alloc<NSSet>());
    return empty;
}

Ref<NSSet> NSSet::setWithArray(const Ref<NSArray>& array)
{
    auto s = alloc<NSSet>();
    if (array)
        for (auto& item : array->items())
            s->m_list.insert(item);
    return s;
}

Ref<NSSet> NSSet::setWithObject(const id& object) { return of({object}); }

Ref<NSSet> NSSet::of(std::initializer_list<id> items)
{
    auto s = alloc<NSSet>();
    for (auto& item : items) {
        if (!item)
            raiseNil("NSSet initWithObjects:count:");
        s->m_list.insert(item);
    }
    return s;
}

bool NSSet::containsObject(const id& object) const { return m_list.find(object.get()) != m_list.npos; }

id NSSet::member(const id& object) const
{
    std::size_t at = m_list.find(object.get());
    return at == m_list.npos ? nullptr : m_list.items()[at];
}

id NSSet::anyObject() const { return m_list.items().empty() ? nullptr : m_list.items().front(); }
Ref<NSArray> NSSet::allObjects() const { return NSArray::fromVector(m_list.items()); }

bool NSSet::isSubsetOfSet(const Ref<NSSet>& other) const
{
    if (!other)
        return count() == 0;
    for (auto& item : m_list.items())
        if (!other->containsObject(item))
            return false;
    return true;
}

bool NSSet::intersectsSet(const Ref<NSSet>& other) const
{
    if (!other)
        return false;
    for (auto& item : m_list.items())
        if (other->containsObject(item))
            return true;
    return false;
}

bool NSSet::isEqualToSet(const Ref<NSSet>& other) const { return other && other->count() == count() && isSubsetOfSet(other); }

Ref<NSSet> NSSet::setByAddingObject(const id& object) const
{
    if (!object)
        raiseNil("NSSet setByAddingObject:");
    auto s = alloc<NSSet>();
    s->m_list = m_list;
    s->m_list.insert(object);
    return s;
}

Ref<NSString> NSSet::description() const { return descriptionWithLocale(nullptr, 0); }

Ref<NSString> NSSet::descriptionWithLocale(const id&, NSUInteger level) const
{
    return NSString::fromUTF8(dv::internal::base::describeList(m_list.items(), level, "{(", ")}"));
}

bool NSSet::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* set = dynamic_cast<const NSSet*>(other);
    return set && isEqualToSet(std::const_pointer_cast<NSSet>(set->self<NSSet>()));
}

NSUInteger NSSet::hash() const { return count(); }
id NSSet::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSSet>(self<NSSet>()); }

id NSSet::mutableCopyWithZone(NSZone*) const
{
    auto s = alloc<NSMutableSet>();
    s->m_list = m_list;
    return s;
}

Ref<NSMutableSet> NSMutableSet::set() { return alloc<NSMutableSet>(); }

Ref<NSMutableSet> NSMutableSet::setWithArray(const Ref<NSArray>& array)
{
    auto s = alloc<NSMutableSet>();
    s->addObjectsFromArray(array);
    return s;
}

void NSMutableSet::addObject(const id& object)
{
    if (!object)
        raiseNil("NSMutableSet addObject:");
    m_list.insert(object);
}

void NSMutableSet::addObjectsFromArray(const Ref<NSArray>& array)
{
    if (array)
        for (auto& item : array->items())
            addObject(item);
}

void NSMutableSet::removeObject(const id& object) { m_list.erase(object.get()); }
void NSMutableSet::removeAllObjects() { m_list.clear(); }

void NSMutableSet::unionSet(const Ref<NSSet>& other)
{
    if (other)
        for (auto& item : std::vector<id>(other->items()))
            m_list.insert(item);
}

void NSMutableSet::minusSet(const Ref<NSSet>& other)
{
    if (other)
        for (auto& item : std::vector<id>(other->items()))
            m_list.erase(item.get());
}

void NSMutableSet::intersectSet(const Ref<NSSet>& other)
{
    std::vector<id> keep;
    for (auto& item : m_list.items())
        if (other && other->containsObject(item))
            keep.push_back(item);
    m_list.clear();
    for (auto& item : keep)
        m_list.insert(item);
}

id NSMutableSet::copyWithZone(NSZone*) const
{
    if (count() == 0)
        return NSSet::set();
    return NSSet::setWithArray(allObjects());
}

// NSOrderedSet --------------------------------------------------------------------------------

Ref<NSOrderedSet> NSOrderedSet::orderedSet() { return alloc<NSOrderedSet>(); }

Ref<NSOrderedSet> NSOrderedSet::orderedSetWithArray(const Ref<NSArray>& array)
{
    auto s = alloc<NSOrderedSet>();
    if (array)
        for (auto& item : array->items())
            s->m_list.insert(item);
    return s;
}

Ref<NSOrderedSet> NSOrderedSet::of(std::initializer_list<id> items)
{
    auto s = alloc<NSOrderedSet>();
    for (auto& item : items) {
        if (!item)
            raiseNil("NSOrderedSet initWithObjects:count:");
        s->m_list.insert(item);
    }
    return s;
}

id NSOrderedSet::objectAtIndex(NSUInteger index) const
{
    if (index >= count())
        NSException::raise(NSRangeException, "*** -[NSOrderedSet objectAtIndex:]: index " + std::to_string(index) + " beyond bounds");
    return m_list.items()[index];
}

id NSOrderedSet::firstObject() const { return m_list.items().empty() ? nullptr : m_list.items().front(); }
id NSOrderedSet::lastObject() const { return m_list.items().empty() ? nullptr : m_list.items().back(); }
bool NSOrderedSet::containsObject(const id& object) const { return m_list.find(object.get()) != m_list.npos; }

NSUInteger NSOrderedSet::indexOfObject(const id& object) const
{
    std::size_t at = m_list.find(object.get());
    return at == m_list.npos ? static_cast<NSUInteger>(NSNotFound) : at;
}

Ref<NSArray> NSOrderedSet::array() const { return NSArray::fromVector(m_list.items()); }
Ref<NSSet> NSOrderedSet::set() const { return NSSet::setWithArray(array()); }

bool NSOrderedSet::isEqualToOrderedSet(const Ref<NSOrderedSet>& other) const
{
    if (!other || other->count() != count())
        return false;
    for (std::size_t i = 0; i < count(); ++i)
        if (!dv::equal(m_list.items()[i], other->m_list.items()[i]))
            return false;
    return true;
}

Ref<NSString> NSOrderedSet::description() const { return descriptionWithLocale(nullptr, 0); }

Ref<NSString> NSOrderedSet::descriptionWithLocale(const id&, NSUInteger level) const
{
    return NSString::fromUTF8(dv::internal::base::describeList(m_list.items(), level, "{(", ")}"));
}

bool NSOrderedSet::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* set = dynamic_cast<const NSOrderedSet*>(other);
    return set && isEqualToOrderedSet(std::const_pointer_cast<NSOrderedSet>(set->self<NSOrderedSet>()));
}

NSUInteger NSOrderedSet::hash() const { return count(); }
id NSOrderedSet::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSOrderedSet>(self<NSOrderedSet>()); }

id NSOrderedSet::mutableCopyWithZone(NSZone*) const
{
    auto s = alloc<NSMutableOrderedSet>();
    s->m_list = m_list;
    return s;
}

Ref<NSMutableOrderedSet> NSMutableOrderedSet::orderedSet() { return alloc<NSMutableOrderedSet>(); }

Ref<NSMutableOrderedSet> NSMutableOrderedSet::orderedSetWithArray(const Ref<NSArray>& array)
{
    auto s = alloc<NSMutableOrderedSet>();
    s->addObjectsFromArray(array);
    return s;
}

void NSMutableOrderedSet::addObject(const id& object)
{
    if (!object)
        raiseNil("NSMutableOrderedSet addObject:");
    m_list.insert(object);
}

void NSMutableOrderedSet::addObjectsFromArray(const Ref<NSArray>& array)
{
    if (array)
        for (auto& item : array->items())
            addObject(item);
}

void NSMutableOrderedSet::insertObjectAtIndex(const id& object, NSUInteger index)
{
    if (!object)
        raiseNil("NSMutableOrderedSet insertObject:atIndex:");
    if (index > count())
        NSException::raise(NSRangeException, "*** -[NSMutableOrderedSet insertObject:atIndex:]: index " + std::to_string(index) + " beyond bounds");
    if (containsObject(object))
        return;
    m_list.insertAt(index, object);
}

void NSMutableOrderedSet::removeObject(const id& object) { m_list.erase(object.get()); }

void NSMutableOrderedSet::removeObjectAtIndex(NSUInteger index)
{
    if (index >= count())
        NSException::raise(NSRangeException, "*** -[NSMutableOrderedSet removeObjectAtIndex:]: index " + std::to_string(index) + " beyond bounds");
    m_list.eraseAt(index);
}

void NSMutableOrderedSet::removeAllObjects() { m_list.clear(); }

id NSMutableOrderedSet::copyWithZone(NSZone*) const { return NSOrderedSet::orderedSetWithArray(array()); }
