// Bulk construction of collections for the format readers: the readers build large trees and
// must not pay a copy per container.
#pragma once

#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"

#include <vector>

namespace dv::internal::base {

// A fresh array (mutable when asked) holding `items`.
inline Ref<NSArray> makeArray(std::vector<id> items, bool mutableContainer)
{
    if (mutableContainer)
        return NSMutableArray::fromVector(std::move(items));
    return NSArray::fromVector(std::move(items));
}

// A fresh dictionary (mutable when asked); a later duplicate key replaces the earlier value.
inline Ref<NSDictionary> makeDictionary(const std::vector<std::pair<id, id>>& entries, bool mutableContainer)
{
    if (mutableContainer)
        return NSMutableDictionary::fromEntries(entries);
    return NSDictionary::fromEntries(entries);
}

} // namespace dv::internal::base
