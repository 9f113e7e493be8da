#include "platform/ui/TouchInput.h"

#include "platform/ui/FrameTiming.h"

#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/TouchRouter.h"

namespace dv {

TouchID beginTouch(const Ref<UIWindow>& window, CGPoint windowPoint)
{
    FrameTiming::touchArrived();
    return internal::uikit::TouchRouter::shared().begin(window, windowPoint);
}

bool moveTouch(TouchID touch, CGPoint windowPoint, std::optional<NSTimeInterval> time)
{
    FrameTiming::touchArrived();
    return internal::uikit::TouchRouter::shared().move(touch, windowPoint, time);
}

bool endTouch(TouchID touch, CGPoint windowPoint, std::optional<NSTimeInterval> time)
{
    FrameTiming::touchArrived();
    return internal::uikit::TouchRouter::shared().end(touch, windowPoint, time);
}

bool cancelTouch(TouchID touch)
{
    FrameTiming::touchArrived();
    return internal::uikit::TouchRouter::shared().cancel(touch);
}
std::size_t activeTouchCount() { return internal::uikit::TouchRouter::shared().activeTouchCount(); }

} // namespace dv
