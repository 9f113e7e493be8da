// The page memory of the prospect lists: under one user-defaults key (one per kind of list) an
// array of texts, one entry per list key, each the list key (and, for the lists by number prefix,
// the prefix) and the batch last asked for, joined with "-": "110100-3", "440000-1380013-2".
//
// Entries written by an older version or by hand may be anything: an entry that is not a text, has
// too few parts or whose last part is not a decimal number is passed over when reading, and left
// as it is when writing (only the list key's own entries are replaced). A value that is not an
// array at all reads as no memory and is replaced by the next write.
//
//   dv::internal::directory::ProspectPageMemory memory { "addFans"_ns, cityId, nil };
//   m_page = memory.rememberedPage();       // 0 without an entry
//   memory.remember(m_page);                // "cityId-page", at the end
//
// Main thread, as the user defaults are used by the screens.
#pragma once

#include "platform/base/Forward.h"

namespace dv::internal::directory {

struct ProspectPageMemory {
    Ref<NSString> defaultsKey; // "addFans", "addFansCur" or "hangyekeyuan"
    Ref<NSString> listKey;     // a city, province or category id
    Ref<NSString> prefix;      // the number prefix; nil for the lists without one

    // The page of the last entry that matches (its list key, and its prefix when there is one);
    // 0 when none does.
    NSInteger rememberedPage() const;
    // Replaces every entry of the list key (whatever prefix it holds) by one for `page`, appended.
    void remember(NSInteger page) const;
};

} // namespace dv::internal::directory
