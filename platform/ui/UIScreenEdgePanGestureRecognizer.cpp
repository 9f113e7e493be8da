#include "platform/ui/UIScreenEdgePanGestureRecognizer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"

DV_DEFINE_CLASS(UIScreenEdgePanGestureRecognizer)

void UIScreenEdgePanGestureRecognizer::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    auto view = this->view();
    auto window = view ? view->window() : nil;
    if (!window || trackedTouches().size() > 1) {
        UIPanGestureRecognizer::touchesBegan(touches, event);
        return;
    }
    const CGRect screen = window->bounds();
    const CGPoint at = locationInView(nil);
    const bool nearEdge = ((m_edges & UIRectEdgeLeft) && at.x - CGRectGetMinX(screen) <= edgeReach)
        || ((m_edges & UIRectEdgeRight) && CGRectGetMaxX(screen) - at.x <= edgeReach)
        || ((m_edges & UIRectEdgeTop) && at.y - CGRectGetMinY(screen) <= edgeReach)
        || ((m_edges & UIRectEdgeBottom) && CGRectGetMaxY(screen) - at.y <= edgeReach);
    if (!nearEdge) {
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    UIPanGestureRecognizer::touchesBegan(touches, event);
}
