// NSSet / NSMutableSet (unordered, iterated in insertion order here) and NSOrderedSet /
// NSMutableOrderedSet: collections of distinct objects by isEqual/hash.
#pragma once

#include "platform/base/NSObject.h"

#include <initializer_list>
#include <unordered_map>
#include <vector>

namespace dv::internal::base {

// Distinct objects in insertion order, with a hash index.
class ObjectList {
public:
    bool insert(const id& object); // false when an equal object is present
    bool erase(const NSObject* object);
    std::size_t find(const NSObject* object) const; // npos when absent
    void insertAt(std::size_t index, const id& object); // caller checks absence
    void eraseAt(std::size_t index);
    void clear();
    const std::vector<id>& items() const { return m_items; }
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    void rebuild();
    struct Hash {
        std::size_t operator()(const NSObject* o) const;
    };
    struct Equal {
        bool operator()(const NSObject* a, const NSObject* b) const;
    };
    std::vector<id> m_items;
    std::unordered_map<const NSObject*, std::size_t, Hash, Equal> m_index;
};

} // namespace dv::internal::base

class NSSet : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSSet, NSObject)

    NSSet() = default;
    static Ref<NSSet> set();
    static Ref<NSSet> setWithArray(const Ref<NSArray>& array);
    static Ref<NSSet> setWithObject(const id& object);
    static Ref<NSSet> of(std::initializer_list<id> items);

    NSUInteger count() const { return m_list.items().size(); }
    bool containsObject(const id& object) const;
    id member(const id& object) const;
    id anyObject() const;
    Ref<NSArray> allObjects() const;
    const std::vector<id>& items() const { return m_list.items(); }
    auto begin() const { return m_list.items().begin(); }
    auto end() const { return m_list.items().end(); }
    bool isSubsetOfSet(const Ref<NSSet>& other) const;
    bool intersectsSet(const Ref<NSSet>& other) const;
    bool isEqualToSet(const Ref<NSSet>& other) const;
    Ref<NSSet> setByAddingObject(const id& object) const;

    // "{(\n    a,\n    b\n)}"
    Ref<NSString> description() const override;
    Ref<NSString> descriptionWithLocale(const id& locale, NSUInteger level) const;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override; // the count
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

protected:
    dv::internal::base::ObjectList m_list;
};

class NSMutableSet : public NSSet {
    DV_CLASS(NSMutableSet, NSSet)

    NSMutableSet() = default;
    static Ref<NSMutableSet> set();
    static Ref<NSMutableSet> setWithArray(const Ref<NSArray>& array);

    void addObject(const id& object); // nil raises NSInvalidArgumentException
    void addObjectsFromArray(const Ref<NSArray>& array);
    void removeObject(const id& object);
    void removeAllObjects();
    void unionSet(const Ref<NSSet>& other);
    void minusSet(const Ref<NSSet>& other);
    void intersectSet(const Ref<NSSet>& other);

    id copyWithZone(NSZone* zone) const override;
};

class NSOrderedSet : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSOrderedSet, NSObject)

    NSOrderedSet() = default;
    static Ref<NSOrderedSet> orderedSet();
    static Ref<NSOrderedSet> orderedSetWithArray(const Ref<NSArray>& array);
    static Ref<NSOrderedSet> of(std::initializer_list<id> items);

    NSUInteger count() const { return m_list.items().size(); }
    id objectAtIndex(NSUInteger index) const; // raises NSRangeException
    id firstObject() const;
    id lastObject() const;
    bool containsObject(const id& object) const;
    NSUInteger indexOfObject(const id& object) const;
    Ref<NSArray> array() const;
    Ref<NSSet> set() const;
    const std::vector<id>& items() const { return m_list.items(); }
    auto begin() const { return m_list.items().begin(); }
    auto end() const { return m_list.items().end(); }
    bool isEqualToOrderedSet(const Ref<NSOrderedSet>& other) const;

    // "{(\n    a,\n    b\n)}"
    Ref<NSString> description() const override;
    Ref<NSString> descriptionWithLocale(const id& locale, NSUInteger level) const;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

protected:
    dv::internal::base::ObjectList m_list;
};

class NSMutableOrderedSet : public NSOrderedSet {
    DV_CLASS(NSMutableOrderedSet, NSOrderedSet)

    NSMutableOrderedSet() = default;
    static Ref<NSMutableOrderedSet> orderedSet();
    static Ref<NSMutableOrderedSet> orderedSetWithArray(const Ref<NSArray>& array);

    void addObject(const id& object);
    void addObjectsFromArray(const Ref<NSArray>& array);
    void insertObjectAtIndex(const id& object, NSUInteger index);
    void removeObject(const id& object);
    void removeObjectAtIndex(NSUInteger index);
    void removeAllObjects();

    id copyWithZone(NSZone* zone) const override;
};
