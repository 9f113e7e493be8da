// What the refresh family's classes share beyond their public surface.
#pragma once

#include "platform/base/NSObject.h"

class UIImage;
class UIScrollView;
class UIView;

namespace dv::internal {

// The object that holds the scroll view's data-count block (identity only), nil when none: a
// footer takes its own block back when it leaves, and only its own.
id reloadDataBlockHolder(const Ref<UIScrollView>& scrollView);

// The family's arrow, "RFRefresh.bundle/arrow.png" (else where a framework would keep it); nil
// when the resources have neither.
Ref<UIImage> refreshArrowImage();

// Whether a subview places itself through layout constraints (then the family leaves it alone).
bool hasLayoutConstraints(const Ref<UIView>& view);

// The index of the image to show of `count` (at least 1) at a pulling percentage: count ×
// percent rounded down, the last image from count on, the first for a percentage that is not a
// positive number.
NSUInteger imageIndexForPullingPercent(NSUInteger count, CGFloat percent);

} // namespace dv::internal
