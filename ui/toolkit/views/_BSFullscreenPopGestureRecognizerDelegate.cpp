#include "ui/toolkit/views/_BSFullscreenPopGestureRecognizerDelegate.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "ui/toolkit/views/UINavigationControllerBSFullscreenPopGesture.h"

DV_DEFINE_CLASS(_BSFullscreenPopGestureRecognizerDelegate)

std::optional<bool> _BSFullscreenPopGestureRecognizerDelegate::gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer)
{
    auto navigation = navigationController();
    if (!navigation || !recognizer)
        return false;
    auto stack = navigation->viewControllers();
    if (!stack || stack->count() <= 1)
        return false;
    auto top = dv::as<UIViewController>(stack->lastObject());
    if (bs_interactivePopDisabled(top))
        return false;

    auto view = recognizer->view();
    auto pan = dv::as<UIPanGestureRecognizer>(recognizer);
    const CGPoint translation = pan ? pan->translationInView(view) : CGPointZero;
    const CGFloat maxDistance = bs_interactivePopMaxAllowedInitialDistanceToLeftEdge(top);
    if (maxDistance > 0) {
        // A pan begins only after the finger has moved a little: where it started is where it is
        // now less the way it came.
        const CGFloat startX = recognizer->locationInView(view).x - translation.x;
        if (startX > maxDistance)
            return false;
    }
    if (navigation->isTransitioning())
        return false;
    // Left to right only.
    return translation.x > 0;
}
