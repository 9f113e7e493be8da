#include "platform/ui/UITouch.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"

DV_DEFINE_CLASS(UITouch)

namespace {

CGPoint fromWindow(CGPoint point, const Ref<UIWindow>& window, const Ref<UIView>& view)
{
    if (!view || !window)
        return point;
    return view->convertPointFromView(point, window);
}

} // namespace

CGPoint UITouch::locationInView(const Ref<UIView>& view) const { return fromWindow(m_location, window(), view); }

CGPoint UITouch::previousLocationInView(const Ref<UIView>& view) const { return fromWindow(m_previousLocation, window(), view); }

Ref<NSArray> UITouch::gestureRecognizers() const
{
    std::vector<id> items;
    for (auto& weak : m_gestureRecognizers)
        if (auto recognizer = weak.lock())
            items.push_back(recognizer);
    return NSArray::fromVector(std::move(items));
}
