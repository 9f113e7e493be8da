// NSIndexPath: an immutable path of indexes into nested collections; table and collection views
// use two-index paths (section, then row or item). Shared freely between threads.
#pragma once

#include "platform/base/NSObject.h"

#include <initializer_list>
#include <vector>

class NSIndexPath : public NSObject, public NSCopying {
    DV_CLASS(NSIndexPath, NSObject)

    NSIndexPath() = default;
    Ref<NSIndexPath> initWithIndexes(const NSUInteger* indexes, NSUInteger length);
    static Ref<NSIndexPath> indexPathWithIndex(NSUInteger index);
    static Ref<NSIndexPath> indexPathWithIndexes(const NSUInteger* indexes, NSUInteger length);
    static Ref<NSIndexPath> indexPathForRow(NSInteger row, NSInteger section);
    static Ref<NSIndexPath> indexPathForItem(NSInteger item, NSInteger section);
    static Ref<NSIndexPath> of(std::initializer_list<NSUInteger> indexes);

    NSUInteger length() const { return m_indexes.size(); }
    // NSNotFound past the end.
    NSUInteger indexAtPosition(NSUInteger position) const;
    NSInteger section() const { return static_cast<NSInteger>(indexAtPosition(0)); }
    NSInteger row() const { return static_cast<NSInteger>(indexAtPosition(1)); }
    NSInteger item() const { return static_cast<NSInteger>(indexAtPosition(1)); }
    const std::vector<NSUInteger>& indexes() const { return m_indexes; }

    Ref<NSIndexPath> indexPathByAddingIndex(NSUInteger index) const;
    Ref<NSIndexPath> indexPathByRemovingLastIndex() const;
    // Index by index; a path that is a prefix of another orders first.
    NSComparisonResult compare(const Ref<NSIndexPath>& other) const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    std::vector<NSUInteger> m_indexes;
};
