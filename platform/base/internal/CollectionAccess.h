// Bulk construction of collections for the format readers. The readers build large trees and
// must not pay a copy per container; these helpers fill a fresh collection's storage directly
// through the protected members that the collection classes keep for their subclasses.
#pragma once

#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"

#include <vector>

namespace dv::internal {

// Never instantiated: a derived class only to name NSDictionary's protected members.
struct DictionaryAccess : NSDictionary {
    static void insert(NSDictionary& dictionary, const id& key, const id& value)
    {
        (dictionary.*(&DictionaryAccess::put))(key, value);
    }
};

struct ArrayAccess : NSArray {
    static void assign(NSArray& array, std::vector<id> items) { array.*(&ArrayAccess::m_items) = std::move(items); }
};

// A fresh array (mutable when asked) holding `items`.
inline Ref<NSArray> makeArray(std::vector<id> items, bool mutableContainer)
{
    if (!mutableContainer)
        return NSArray::fromVector(std::move(items));
    auto array = std::make_shared<NSMutableArray>();
    ArrayAccess::assign(*array, std::move(items));
    return array;
}

// A fresh dictionary (mutable when asked); a later duplicate key replaces the earlier value.
inline Ref<NSDictionary> makeDictionary(const std::vector<std::pair<id, id>>& entries, bool mutableContainer)
{
    Ref<NSDictionary> dictionary = mutableContainer ? std::make_shared<NSMutableDictionary>() : std::make_shared<NSDictionary>();
    for (const auto& [key, value] : entries)
        DictionaryAccess::insert(*dictionary, key, value);
    return dictionary;
}

} // namespace dv::internal
