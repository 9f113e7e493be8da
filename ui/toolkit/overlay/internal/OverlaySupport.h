// Small helpers shared by the overlay's views: running a view update on the main thread when a
// property changed on another one, and the number format of their description fields.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/UIView.h"

#include <functional>
#include <string>

namespace dv::internal::toolkit {

// Runs `update` now when called on the main thread, else on the main run loop's next turn
// (without waiting). The view is held weakly until then: one that is gone is not updated.
void updateOnMainThread(const Weak<UIView>& view, std::function<void(UIView&)> update);
// updateOnMainThread with setNeedsDisplay.
void redrawOnMainThread(const Weak<UIView>& view);

// At most two decimals, no trailing zeros: "0", "0.5", "0.25".
std::string formatNumber(CGFloat value);

} // namespace dv::internal::toolkit
