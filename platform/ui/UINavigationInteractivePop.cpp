// The interactive pop: a pan drags the top screen off to the right, uncovering the one below;
// released past half the width (or flung), the pop completes on the clock, otherwise the top
// screen slides back and both screens hear that the pop was abandoned.
#include "platform/ui/UINavigationController.h"

#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UIScreenEdgePanGestureRecognizer.h"
#include "platform/ui/UIView.h"

#include <algorithm>

namespace {

constexpr NSTimeInterval kTransitionDuration = 0.35;
constexpr CGFloat kFlingVelocity = 500;

} // namespace

std::optional<bool> UINavigationController::gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer)
{
    if (recognizer != m_popRecognizer)
        return std::nullopt;
    return m_children.size() > 1 && !m_transition && handleIsShown();
}

void UINavigationController::handleNavigationTransition(const Ref<UIPanGestureRecognizer>& pan)
{
    if (!pan || !m_view)
        return;
    const CGFloat width = std::max<CGFloat>(m_view->bounds().size.width, 1);
    const CGFloat progress = std::clamp<CGFloat>(pan->translationInView(m_view).x / width, 0, 1);
    switch (pan->state()) {
    case UIGestureRecognizerStateBegan: {
        if (m_transition || m_children.size() < 2 || !handleIsShown())
            return;
        auto from = m_children.back();
        auto to = m_children[m_children.size() - 2];
        const auto id = m_nextTransition++;
        m_transition = Transition {Kind::pop, from, to, {from}, true, true, false, id};
        from->willMoveToParentViewController(nil);
        from->m_movingFromParent = true;
        auto toView = to->view();
        toView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        toView->setFrame(handleContentFrame(to));
        auto fromView = from->view();
        if (fromView->superview() == m_view)
            m_view->insertSubviewBelowSubview(toView, fromView);
        else
            m_view->insertSubviewBelowSubview(toView, navigationBar());
        from->handleBeginAppearance(false, true);
        to->handleBeginAppearance(true, true);
        handleInteractiveChanged(progress);
        return;
    }
    case UIGestureRecognizerStateChanged:
        if (m_transition && m_transition->interactive)
            handleInteractiveChanged(progress);
        return;
    case UIGestureRecognizerStateEnded:
    case UIGestureRecognizerStateCancelled:
    case UIGestureRecognizerStateFailed: {
        if (!m_transition || !m_transition->interactive)
            return;
        const CGFloat velocity = pan->velocityInView(m_view).x;
        const bool finish = pan->state() == UIGestureRecognizerStateEnded && velocity > -kFlingVelocity
            && (progress > 0.5 || velocity > kFlingVelocity);
        handleInteractiveEnded(finish, progress);
        return;
    }
    case UIGestureRecognizerStatePossible:
        return;
    }
}

void UINavigationController::handleInteractiveChanged(CGFloat progress)
{
    const CGFloat width = m_view->bounds().size.width;
    auto& t = *m_transition;
    UIView::performWithoutAnimation([&] {
        if (t.from->isViewLoaded())
            t.from->m_view->setFrame(CGRectOffset(handleContentFrame(t.from), width * progress, 0));
        t.to->m_view->setFrame(CGRectOffset(handleContentFrame(t.to), -width / 3 * (1 - progress), 0));
    });
}

void UINavigationController::handleInteractiveEnded(bool finish, CGFloat progress)
{
    auto& t = *m_transition;
    t.interactive = false;
    t.cancelling = !finish;
    const auto id = t.id;
    if (finish) {
        // The stack changes when the finger lets go.
        std::erase(m_children, t.from);
        handleSyncBar();
    }
    const NSTimeInterval duration = kTransitionDuration * (finish ? 1 - progress : progress);
    Weak<UINavigationController> weak = self<UINavigationController>();
    auto done = [weak, id, finish](bool) {
        auto navigation = weak.lock();
        if (!navigation)
            return;
        if (finish)
            navigation->handleComplete(id);
        else
            navigation->handleCancelInteractive(id);
    };
    if (duration <= 0 || !UIView::areAnimationsEnabled()) {
        done(true);
        return;
    }
    const CGFloat width = m_view->bounds().size.width;
    auto fromView = t.from->viewIfLoaded();
    auto toView = t.to->viewIfLoaded();
    const CGRect fromFrame = handleContentFrame(t.from), toFrame = handleContentFrame(t.to);
    UIView::animateWithDuration(duration, 0, UIViewAnimationOptionCurveEaseOut,
        [=] {
            if (fromView)
                fromView->setFrame(finish ? CGRectOffset(fromFrame, width, 0) : fromFrame);
            if (toView)
                toView->setFrame(finish ? toFrame : CGRectOffset(toFrame, -width / 3, 0));
        },
        done);
}

void UINavigationController::handleCancelInteractive(std::uint64_t id)
{
    if (!m_transition || m_transition->id != id)
        return;
    auto t = std::move(*m_transition);
    m_transition.reset();
    if (t.to->isViewLoaded()) {
        if (t.to->m_view->superview() == m_view)
            t.to->m_view->removeFromSuperview();
        t.to->m_view->setFrame(handleContentFrame(t.to));
    }
    if (t.from->isViewLoaded())
        t.from->m_view->setFrame(handleContentFrame(t.from));
    // The platform's order for an abandoned pop: the screen below goes away again, then the top
    // one comes back.
    t.to->handleBeginAppearance(false, true);
    t.to->handleEndAppearance();
    t.from->handleBeginAppearance(true, true);
    t.from->handleEndAppearance();
    t.from->m_movingFromParent = false;
    t.from->didMoveToParentViewController(self<UINavigationController>());
}
