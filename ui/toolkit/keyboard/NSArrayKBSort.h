// NSArray(KB_NSArray_Sort): the two orders in which the keyboard manager's previous and next
// arrows walk through a screen's fields. Both sorts are stable: elements that compare the same
// keep their order.
//
//   auto byTag = sortedArrayByTag(fields);            // tag 1, 2, 3 ...
//   auto byPosition = sortedArrayByPosition(fields);  // top to bottom, then left to right
#pragma once

#include "platform/base/NSObject.h"

class NSArray;

// By tag, smallest first (signed). Elements without a tag (neither views nor bar items) compare
// the same as anything.
Ref<NSArray> sortedArrayByTag(const Ref<NSArray>& array);
// Views by the top edge of their frames, then by the left edge. Each frame is taken as it stands,
// in its own superview's coordinates. Elements that are not views compare the same as anything.
Ref<NSArray> sortedArrayByPosition(const Ref<NSArray>& array);
