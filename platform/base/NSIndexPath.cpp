#include "platform/base/NSIndexPath.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

#include <algorithm>

DV_DEFINE_CLASS(NSIndexPath)

Ref<NSIndexPath> NSIndexPath::initWithIndexes(const NSUInteger* indexes, NSUInteger length)
{
    NSObject::init();
    if (indexes && length)
        m_indexes.assign(indexes, indexes + length);
    return self<NSIndexPath>();
}

Ref<NSIndexPath> NSIndexPath::indexPathWithIndex(NSUInteger index) { return indexPathWithIndexes(&index, 1); }

Ref<NSIndexPath> NSIndexPath::indexPathWithIndexes(const NSUInteger* indexes, NSUInteger length)
{
    return alloc<NSIndexPath>()->initWithIndexes(indexes, length);
}

Ref<NSIndexPath> NSIndexPath::indexPathForRow(NSInteger row, NSInteger section)
{
    NSUInteger indexes[2] = {static_cast<NSUInteger>(section), static_cast<NSUInteger>(row)};
    return indexPathWithIndexes(indexes, 2);
}

Ref<NSIndexPath> NSIndexPath::indexPathForItem(NSInteger item, NSInteger section) { return indexPathForRow(item, section); }

Ref<NSIndexPath> NSIndexPath::of(std::initializer_list<NSUInteger> indexes)
{
    return indexPathWithIndexes(indexes.begin(), indexes.size());
}

NSUInteger NSIndexPath::indexAtPosition(NSUInteger position) const
{
    return position < m_indexes.size() ? m_indexes[position] : static_cast<NSUInteger>(NSNotFound);
}

Ref<NSIndexPath> NSIndexPath::indexPathByAddingIndex(NSUInteger index) const
{
    std::vector<NSUInteger> indexes = m_indexes;
    indexes.push_back(index);
    return indexPathWithIndexes(indexes.data(), indexes.size());
}

Ref<NSIndexPath> NSIndexPath::indexPathByRemovingLastIndex() const
{
    return indexPathWithIndexes(m_indexes.data(), m_indexes.empty() ? 0 : m_indexes.size() - 1);
}

NSComparisonResult NSIndexPath::compare(const Ref<NSIndexPath>& other) const
{
    if (!other)
        return NSOrderedDescending;
    auto order = std::lexicographical_compare_three_way(m_indexes.begin(), m_indexes.end(), other->m_indexes.begin(),
                                                        other->m_indexes.end());
    return order < 0 ? NSOrderedAscending : order > 0 ? NSOrderedDescending : NSOrderedSame;
}

Ref<NSString> NSIndexPath::description() const
{
    std::string path;
    for (std::size_t i = 0; i < m_indexes.size(); ++i) {
        if (i)
            path += " - ";
        path += std::to_string(m_indexes[i]);
    }
    return NSString::stringWithFormat("<NSIndexPath: %p> {length = %lu, path = %s}", static_cast<const void*>(this),
                                      static_cast<unsigned long>(m_indexes.size()), path);
}

bool NSIndexPath::isEqual(const NSObject* other) const
{
    auto path = dynamic_cast<const NSIndexPath*>(other);
    return path && path->m_indexes == m_indexes;
}

NSUInteger NSIndexPath::hash() const
{
    NSUInteger h = m_indexes.size();
    for (NSUInteger index : m_indexes)
        h = h * 1000003u ^ index;
    return h;
}

id NSIndexPath::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSObject>(shared_from_this()); }
