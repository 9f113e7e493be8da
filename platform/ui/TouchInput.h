// Where touches enter the interface: the runner turns mouse presses into these calls, and the UI
// driver taps and drags through them. Each call goes the whole way a finger's touch goes (hit
// test, application, window, recognisers, views; see internal/TouchRouter.h). Points are in the
// window's coordinates. Main thread only.
//
//   auto touch = dv::beginTouch(window, CGPointMake(100, 200));
//   dv::endTouch(touch, CGPointMake(100, 200));
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <optional>

namespace dv {

using TouchID = std::uint64_t;

// 0 when no view of the window takes the touch.
TouchID beginTouch(const Ref<UIWindow>& window, CGPoint windowPoint);
// False for a touch that is not down. A move or a lift may say when it happened on the clock
// (Clock::current(); by default now), for input that reaches the interface later than it
// happened: it is the touch's timestamp, by which pan recognisers measure the finger's speed. It
// is taken within the touch's previous timestamp and now.
bool moveTouch(TouchID touch, CGPoint windowPoint, std::optional<NSTimeInterval> time = std::nullopt);
bool endTouch(TouchID touch, CGPoint windowPoint, std::optional<NSTimeInterval> time = std::nullopt);
bool cancelTouch(TouchID touch);
std::size_t activeTouchCount();

} // namespace dv
