#include "platform/base/NSArray.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSException.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Describe.h"
#include "platform/base/internal/SharedInstance.h"

#include <algorithm>

DV_DEFINE_CLASS(NSArray)
DV_DEFINE_CLASS(NSMutableArray)

namespace {

[[noreturn]] void raiseNil(const char* method)
{
    NSException::raise(NSInvalidArgumentException, std::string("-[NSMutableArray ") + method + "]: object cannot be nil");
}

NSComparisonResult compareObjects(const id& a, const id& b)
{
    if (auto sa = dv::as<NSString>(a))
        return sa->compare(dv::as<NSString>(b));
    if (auto na = dv::as<NSNumber>(a))
        return na->compare(dv::as<NSNumber>(b));
    if (auto da = dv::as<NSDate>(a))
        return da->compare(dv::as<NSDate>(b));
    NSException::raise(NSInvalidArgumentException, std::string("-[") + (a ? a->getClass()->name() : "nil") + " compare:]: unrecognized selector");
}

} // namespace

void NSArray::checkIndex(NSUInteger index, NSUInteger limit, const char* method) const
{
    if (index >= limit)
        NSException::raise(NSRangeException, std::string("*** -[") + getClass()->name() + " " + method + "]: index " + std::to_string(index)
                                                  + " beyond bounds " + (limit ? "[0 .. " + std::to_string(limit - 1) + "]" : "for empty array"));
}

Ref<NSArray> NSArray::array()
{
    // The empty immutable array is one shared instance, as on the platform.
    static const Ref<NSArray>& empty = dv::internal::base::sharedInstance(alloc<NSArray>());
    return empty;
}
Ref<NSArray> NSArray::arrayWithObject(const id& object) { return of({object}); }
Ref<NSArray> NSArray::arrayWithArray(const Ref<NSArray>& other) { return other ? fromVector(other->m_items) : array(); }

Ref<NSArray> NSArray::of(std::initializer_list<id> items)
{
    for (auto& item : items)
        if (!item)
            NSException::raise(NSInvalidArgumentException, "*** -[NSArray initWithObjects:count:]: attempt to insert nil object");
    return fromVector(std::vector<id>(items));
}

Ref<NSArray> NSArray::fromVector(std::vector<id> items)
{
    return items.empty() ? array() : std::make_shared<NSArray>(std::move(items));
}

Ref<NSArray> NSArray::initWithArray(const Ref<NSArray>& other) { return initWithArray(other, false); }

Ref<NSArray> NSArray::initWithArray(const Ref<NSArray>& other, bool copyItems)
{
    if (other) {
        m_items = other->m_items;
        if (copyItems)
            for (auto& item : m_items)
                item = item->copy();
    }
    return self<NSArray>();
}

id NSArray::objectAtIndex(NSUInteger index) const
{
    checkIndex(index, m_items.size(), "objectAtIndex:");
    return m_items[index];
}

bool NSArray::containsObject(const id& object) const { return indexOfObject(object) != static_cast<NSUInteger>(NSNotFound); }

NSUInteger NSArray::indexOfObject(const id& object) const
{
    if (!object)
        return static_cast<NSUInteger>(NSNotFound);
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == object || m_items[i]->isEqual(object.get()))
            return i;
    return static_cast<NSUInteger>(NSNotFound);
}

NSUInteger NSArray::indexOfObjectIdenticalTo(const id& object) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == object)
            return i;
    return static_cast<NSUInteger>(NSNotFound);
}

bool NSArray::isEqualToArray(const Ref<NSArray>& other) const
{
    if (!other || other->m_items.size() != m_items.size())
        return false;
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (!dv::equal(m_items[i], other->m_items[i]))
            return false;
    return true;
}

Ref<NSArray> NSArray::arrayByAddingObject(const id& object) const
{
    if (!object)
        NSException::raise(NSInvalidArgumentException, "*** -[NSArray arrayByAddingObject:]: object cannot be nil");
    auto items = m_items;
    items.push_back(object);
    return fromVector(std::move(items));
}

Ref<NSArray> NSArray::arrayByAddingObjectsFromArray(const Ref<NSArray>& other) const
{
    auto items = m_items;
    if (other)
        items.insert(items.end(), other->m_items.begin(), other->m_items.end());
    return fromVector(std::move(items));
}

Ref<NSArray> NSArray::subarrayWithRange(NSRange range) const
{
    if (range.location > m_items.size() || range.length > m_items.size() - range.location)
        NSException::raise(NSRangeException, "*** -[NSArray subarrayWithRange:]: range {" + std::to_string(range.location) + ", "
                                                 + std::to_string(range.length) + "} extends beyond bounds");
    return fromVector(std::vector<id>(m_items.begin() + static_cast<std::ptrdiff_t>(range.location),
                                      m_items.begin() + static_cast<std::ptrdiff_t>(range.location + range.length)));
}

Ref<NSArray> NSArray::sortedArrayUsingComparator(const NSComparator& comparator) const
{
    auto items = m_items;
    std::stable_sort(items.begin(), items.end(), [&](const id& a, const id& b) { return comparator(a, b) == NSOrderedAscending; });
    return fromVector(std::move(items));
}

Ref<NSArray> NSArray::sortedArrayUsingSelectorCompare() const { return sortedArrayUsingComparator(compareObjects); }

Ref<NSArray> NSArray::filteredArrayUsingBlock(const std::function<bool(const id&)>& keep) const
{
    std::vector<id> items;
    for (auto& item : m_items)
        if (keep(item))
            items.push_back(item);
    return fromVector(std::move(items));
}

Ref<NSString> NSArray::componentsJoinedByString(const Ref<NSString>& separator) const
{
    std::string out;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (i && separator)
            out += separator->utf8();
        out += dv::str(m_items[i]);
    }
    return NSString::fromUTF8(out);
}

void NSArray::enumerateObjectsUsingBlock(const std::function<void(const id&, NSUInteger, bool*)>& block) const
{
    bool stop = false;
    // Enumerate a snapshot: the block may mutate a mutable array it enumerates.
    auto items = m_items;
    for (std::size_t i = 0; i < items.size() && !stop; ++i)
        block(items[i], i, &stop);
}

void NSArray::makeObjectsPerformSelector(SEL selector) const
{
    auto items = m_items;
    for (auto& item : items)
        item->performSelector(selector);
}

id NSArray::valueForKey(const Ref<NSString>& key) const
{
    std::vector<id> values;
    values.reserve(m_items.size());
    for (auto& item : m_items) {
        id value = item->valueForKey(key);
        values.push_back(value ? value : NSNull::null());
    }
    return fromVector(std::move(values));
}

Ref<NSString> NSArray::description() const { return descriptionWithLocale(nullptr, 0); }

Ref<NSString> NSArray::descriptionWithLocale(const id&, NSUInteger level) const
{
    return NSString::fromUTF8(dv::internal::base::describeList(m_items, level, "(", ")"));
}

bool NSArray::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* array = dynamic_cast<const NSArray*>(other);
    return array && isEqualToArray(std::const_pointer_cast<NSArray>(array->self<NSArray>()));
}

NSUInteger NSArray::hash() const { return m_items.size(); }
id NSArray::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSArray>(self<NSArray>()); }

id NSArray::mutableCopyWithZone(NSZone*) const
{
    auto copy = alloc<NSMutableArray>();
    copy->m_items = m_items;
    return copy;
}

// NSMutableArray ------------------------------------------------------------------------------

Ref<NSMutableArray> NSMutableArray::array() { return alloc<NSMutableArray>(); }

Ref<NSMutableArray> NSMutableArray::arrayWithCapacity(NSUInteger capacity)
{
    auto a = alloc<NSMutableArray>();
    a->m_items.reserve(std::min<NSUInteger>(capacity, 1 << 16));
    return a;
}

Ref<NSMutableArray> NSMutableArray::arrayWithArray(const Ref<NSArray>& other)
{
    auto a = alloc<NSMutableArray>();
    if (other)
        a->m_items = other->items();
    return a;
}

Ref<NSMutableArray> NSMutableArray::of(std::initializer_list<id> items)
{
    auto a = alloc<NSMutableArray>();
    for (auto& item : items)
        a->addObject(item);
    return a;
}

Ref<NSMutableArray> NSMutableArray::fromVector(std::vector<id> items)
{
    auto a = alloc<NSMutableArray>();
    a->m_items = std::move(items);
    return a;
}

void NSMutableArray::addObject(const id& object)
{
    if (!object)
        raiseNil("addObject:");
    m_items.push_back(object);
}

void NSMutableArray::addObjectsFromArray(const Ref<NSArray>& other)
{
    if (other) {
        auto items = other->items(); // the other array may be this one
        m_items.insert(m_items.end(), items.begin(), items.end());
    }
}

void NSMutableArray::insertObjectAtIndex(const id& object, NSUInteger index)
{
    if (!object)
        raiseNil("insertObject:atIndex:");
    checkIndex(index, m_items.size() + 1, "insertObject:atIndex:");
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), object);
}

void NSMutableArray::removeObjectAtIndex(NSUInteger index)
{
    checkIndex(index, m_items.size(), "removeObjectAtIndex:");
    // The element may own this array; keep it alive until the vector is consistent.
    id removed = std::move(m_items[index]);
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
}

void NSMutableArray::removeLastObject()
{
    if (!m_items.empty()) {
        id removed = std::move(m_items.back());
        m_items.pop_back();
    }
}

void NSMutableArray::removeAllObjects()
{
    std::vector<id> removed;
    removed.swap(m_items);
}

void NSMutableArray::removeObject(const id& object)
{
    if (!object)
        return;
    id keep = object;
    std::vector<id> removed;
    std::erase_if(m_items, [&](const id& item) {
        bool match = item == keep || item->isEqual(keep.get());
        if (match)
            removed.push_back(item);
        return match;
    });
}

void NSMutableArray::removeObjectIdenticalTo(const id& object)
{
    id keep = object;
    std::erase_if(m_items, [&](const id& item) { return item == keep; });
}

void NSMutableArray::removeObjectsInRange(NSRange range)
{
    if (range.location > m_items.size() || range.length > m_items.size() - range.location)
        NSException::raise(NSRangeException, "*** -[NSMutableArray removeObjectsInRange:]: range extends beyond bounds");
    std::vector<id> removed(m_items.begin() + static_cast<std::ptrdiff_t>(range.location),
                            m_items.begin() + static_cast<std::ptrdiff_t>(range.location + range.length));
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(range.location),
                  m_items.begin() + static_cast<std::ptrdiff_t>(range.location + range.length));
}

void NSMutableArray::replaceObjectAtIndex(NSUInteger index, const id& object)
{
    if (!object)
        raiseNil("replaceObjectAtIndex:withObject:");
    checkIndex(index, m_items.size(), "replaceObjectAtIndex:withObject:");
    id old = std::exchange(m_items[index], object);
}

void NSMutableArray::setObjectAtIndexedSubscript(const id& object, NSUInteger index)
{
    if (index == m_items.size())
        addObject(object);
    else
        replaceObjectAtIndex(index, object);
}

void NSMutableArray::exchangeObjectAtIndex(NSUInteger a, NSUInteger b)
{
    checkIndex(a, m_items.size(), "exchangeObjectAtIndex:withObjectAtIndex:");
    checkIndex(b, m_items.size(), "exchangeObjectAtIndex:withObjectAtIndex:");
    std::swap(m_items[a], m_items[b]);
}

void NSMutableArray::sortUsingComparator(const NSComparator& comparator)
{
    std::stable_sort(m_items.begin(), m_items.end(), [&](const id& a, const id& b) { return comparator(a, b) == NSOrderedAscending; });
}

void NSMutableArray::setArray(const Ref<NSArray>& other)
{
    std::vector<id> items = other ? other->items() : std::vector<id>();
    m_items.swap(items);
}

id NSMutableArray::copyWithZone(NSZone*) const { return NSArray::fromVector(m_items); }
