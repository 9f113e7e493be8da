// NSIndexSet and NSMutableIndexSet: a set of unsigned indexes below NSNotFound, kept as sorted,
// merged ranges, so that large runs cost one entry. Immutable sets are shared freely between
// threads; a mutable set belongs to one thread at a time.
//
//   auto rows = NSMutableIndexSet::indexSetWithIndexesInRange(NSMakeRange(0, 10));
//   rows->removeIndex(3);
//   rows->enumerateRangesUsingBlock([](NSRange r, bool*) { ... }); // {0, 3}, {4, 6}
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <vector>

class NSIndexSet : public NSObject, public NSCopying, public NSMutableCopying, public NSCoding {
    DV_CLASS(NSIndexSet, NSObject)

    NSIndexSet() = default;
    Ref<NSIndexSet> init();
    Ref<NSIndexSet> initWithIndex(NSUInteger index);
    Ref<NSIndexSet> initWithIndexesInRange(NSRange range);
    Ref<NSIndexSet> initWithIndexSet(const Ref<NSIndexSet>& other);
    static Ref<NSIndexSet> indexSet();
    static Ref<NSIndexSet> indexSetWithIndex(NSUInteger index);
    static Ref<NSIndexSet> indexSetWithIndexesInRange(NSRange range);

    NSUInteger count() const;
    NSUInteger countOfIndexesInRange(NSRange range) const;
    // NSNotFound when there is no such index.
    NSUInteger firstIndex() const;
    NSUInteger lastIndex() const;
    NSUInteger indexGreaterThanIndex(NSUInteger index) const;
    NSUInteger indexGreaterThanOrEqualToIndex(NSUInteger index) const;
    NSUInteger indexLessThanIndex(NSUInteger index) const;
    NSUInteger indexLessThanOrEqualToIndex(NSUInteger index) const;

    bool containsIndex(NSUInteger index) const;
    bool containsIndexesInRange(NSRange range) const;
    bool containsIndexes(const Ref<NSIndexSet>& other) const;
    bool intersectsIndexesInRange(NSRange range) const;

    // In ascending order; setting *stop ends the walk.
    void enumerateIndexesUsingBlock(const std::function<void(NSUInteger index, bool* stop)>& block) const;
    void enumerateRangesUsingBlock(const std::function<void(NSRange range, bool* stop)>& block) const;
    std::vector<NSRange> ranges() const;

    bool isEqualToIndexSet(const Ref<NSIndexSet>& other) const;
    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;
    // Archived as the platform does: "NSRangeCount", then "NSLocation" and "NSLength" for a single
    // range, or "NSRangeData" (location and length pairs as base-128 varints) for several.
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;

protected:
    // Half-open [start, end) runs, sorted, disjoint and never adjacent.
    struct Run {
        NSUInteger start;
        NSUInteger end;
        bool operator==(const Run&) const = default;
    };
    // The first run whose end is past `index`.
    std::vector<Run>::const_iterator runAtOrAfter(NSUInteger index) const;
    void add(NSUInteger start, NSUInteger end);
    void remove(NSUInteger start, NSUInteger end);
    std::vector<Run> m_runs;
};

class NSMutableIndexSet : public NSIndexSet {
    DV_CLASS(NSMutableIndexSet, NSIndexSet)

    NSMutableIndexSet() = default;
    static Ref<NSMutableIndexSet> indexSet();
    static Ref<NSMutableIndexSet> indexSetWithIndex(NSUInteger index);
    static Ref<NSMutableIndexSet> indexSetWithIndexesInRange(NSRange range);

    // Indexes at or above NSNotFound are ignored.
    void addIndex(NSUInteger index);
    void addIndexesInRange(NSRange range);
    void addIndexes(const Ref<NSIndexSet>& other);
    void removeIndex(NSUInteger index);
    void removeIndexesInRange(NSRange range);
    void removeIndexes(const Ref<NSIndexSet>& other);
    void removeAllIndexes();
    // Moves every index at or above `index` by `delta`. A negative delta first removes the indexes
    // in [index + delta, index); indexes pushed to NSNotFound or beyond are dropped.
    void shiftIndexesStartingAtIndex(NSUInteger index, NSInteger delta);

    id copyWithZone(NSZone* zone) const override;
};
