// NSArray and NSMutableArray: ordered collections of non-nil objects. Immutable arrays are shared
// freely between threads. Out-of-range indexes raise NSRangeException and nil elements
// NSInvalidArgumentException, as on the platform.
//
//   auto list = NSArray::of({"a"_ns, NSNumber::from(1)});
//   for (const id& item : *list) ...
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <initializer_list>
#include <vector>

using NSComparator = std::function<NSComparisonResult(const id&, const id&)>;

class NSArray : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSArray, NSObject)

    NSArray() = default;
    explicit NSArray(std::vector<id> items) : m_items(std::move(items)) { }

    static Ref<NSArray> array();
    static Ref<NSArray> arrayWithObject(const id& object);
    static Ref<NSArray> arrayWithArray(const Ref<NSArray>& other);
    static Ref<NSArray> of(std::initializer_list<id> items);
    static Ref<NSArray> fromVector(std::vector<id> items);
    Ref<NSArray> initWithArray(const Ref<NSArray>& other);
    Ref<NSArray> initWithArray(const Ref<NSArray>& other, bool copyItems);

    NSUInteger count() const { return m_items.size(); }
    id objectAtIndex(NSUInteger index) const;
    id operator[](NSUInteger index) const { return objectAtIndex(index); }
    id objectAtIndexedSubscript(NSUInteger index) const { return objectAtIndex(index); }
    id firstObject() const { return m_items.empty() ? nullptr : m_items.front(); }
    id lastObject() const { return m_items.empty() ? nullptr : m_items.back(); }
    const std::vector<id>& items() const { return m_items; }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    bool containsObject(const id& object) const;
    NSUInteger indexOfObject(const id& object) const; // NSNotFound when absent
    NSUInteger indexOfObjectIdenticalTo(const id& object) const;
    bool isEqualToArray(const Ref<NSArray>& other) const;

    Ref<NSArray> arrayByAddingObject(const id& object) const;
    Ref<NSArray> arrayByAddingObjectsFromArray(const Ref<NSArray>& other) const;
    Ref<NSArray> subarrayWithRange(NSRange range) const;
    Ref<NSArray> sortedArrayUsingComparator(const NSComparator& comparator) const;
    // Orders by each element's compare: (strings, numbers, dates).
    Ref<NSArray> sortedArrayUsingSelectorCompare() const;
    Ref<NSArray> filteredArrayUsingBlock(const std::function<bool(const id&)>& keep) const;
    Ref<NSString> componentsJoinedByString(const Ref<NSString>& separator) const;
    void enumerateObjectsUsingBlock(const std::function<void(const id&, NSUInteger, bool*)>& block) const;
    void makeObjectsPerformSelector(SEL selector) const;
    id valueForKey(const Ref<NSString>& key) const override; // the array of each element's value

    // "(\n    a,\n    b\n)"; nested collections indent by four spaces per level.
    Ref<NSString> description() const override;
    Ref<NSString> descriptionWithLocale(const id& locale, NSUInteger level) const;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override; // the count
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

protected:
    void checkIndex(NSUInteger index, NSUInteger limit, const char* method) const;
    std::vector<id> m_items;
};

class NSMutableArray : public NSArray {
    DV_CLASS(NSMutableArray, NSArray)

    NSMutableArray() = default;
    static Ref<NSMutableArray> array();
    static Ref<NSMutableArray> arrayWithCapacity(NSUInteger capacity);
    static Ref<NSMutableArray> arrayWithArray(const Ref<NSArray>& other);
    static Ref<NSMutableArray> of(std::initializer_list<id> items);
    static Ref<NSMutableArray> fromVector(std::vector<id> items); // elements must not be nil

    void addObject(const id& object);
    void addObjectsFromArray(const Ref<NSArray>& other);
    void insertObjectAtIndex(const id& object, NSUInteger index);
    void removeObjectAtIndex(NSUInteger index);
    void removeLastObject();
    void removeAllObjects();
    void removeObject(const id& object);
    void removeObjectIdenticalTo(const id& object);
    void removeObjectsInRange(NSRange range);
    void replaceObjectAtIndex(NSUInteger index, const id& object);
    void setObjectAtIndexedSubscript(const id& object, NSUInteger index); // index == count appends
    void exchangeObjectAtIndex(NSUInteger a, NSUInteger b);
    void sortUsingComparator(const NSComparator& comparator);
    void setArray(const Ref<NSArray>& other);

    id copyWithZone(NSZone* zone) const override;
};
