// Modal presentation: the presented controller's view goes into the presenter's window, above
// the presenter's view, which leaves the window once a full-screen presentation has ended and
// comes back when the presented controller is dismissed.
#include "platform/ui/UIViewController.h"

#include "platform/base/NSException.h"
#include "platform/base/NSLog.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"

namespace {

constexpr NSTimeInterval kPresentationDuration = 0.4;

bool removesPresenterView(UIModalPresentationStyle style)
{
    return style != UIModalPresentationOverFullScreen && style != UIModalPresentationOverCurrentContext
        && style != UIModalPresentationCustom;
}

bool slides(UIModalTransitionStyle style)
{
    return style == UIModalTransitionStyleCoverVertical || style == UIModalTransitionStylePartialCurl;
}

} // namespace

Ref<UIViewController> UIViewController::presentedViewController() const
{
    auto outermost = std::const_pointer_cast<UIViewController>(self<UIViewController>())->handleOutermost();
    return outermost->m_presented;
}

Ref<UIViewController> UIViewController::presentingViewController() const
{
    auto outermost = std::const_pointer_cast<UIViewController>(self<UIViewController>())->handleOutermost();
    return outermost->m_presenting.lock();
}

CGRect UIViewController::handlePresentationFrame() const
{
    auto window = m_view ? m_view->window() : nil;
    if (!window)
        return CGRectZero;
    return window->bounds();
}

void UIViewController::presentViewController(const Ref<UIViewController>& controller, bool animated, std::function<void()> completion)
{
    if (!controller)
        return;
    auto presenter = handleOutermost();
    if (controller->m_presenting.lock() || controller->parentViewController() || controller == presenter)
        NSException::raise(NSInvalidArgumentException,
            dv::format("Application tried to present modally an active controller %@.", {dv::FormatArg(controller)}));
    if (presenter->m_presentationRunning) {
        NSLog("Warning: Attempt to present %@ on %@ while a presentation is in progress!", controller, presenter);
        return;
    }
    if (presenter->m_presented) {
        NSLog("Warning: Attempt to present %@ on %@ which is already presenting %@", controller, presenter, presenter->m_presented);
        return;
    }
    auto window = presenter->isViewLoaded() ? presenter->m_view->window() : nil;
    if (!window) {
        NSLog("Warning: Attempt to present %@ on %@ whose view is not in the window hierarchy!", controller, presenter);
        return;
    }

    presenter->m_presented = controller;
    controller->m_presenting = presenter;
    controller->m_beingPresented = true;
    const bool removes = removesPresenterView(controller->m_modalPresentationStyle);
    auto view = controller->view();
    const CGRect frame = presenter->handlePresentationFrame();
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->setFrame(frame);
    window->addSubview(view);

    if (removes)
        presenter->handleBeginAppearance(false, animated);
    controller->handleBeginAppearance(true, animated);

    if (!animated || !UIView::areAnimationsEnabled()) {
        presenter->handleFinishPresentation(controller, removes, std::move(completion));
        return;
    }
    presenter->m_presentationRunning = true;
    const auto transition = controller->m_modalTransitionStyle;
    UIView::performWithoutAnimation([&] {
        if (slides(transition))
            view->setFrame(CGRectOffset(frame, 0, frame.size.height));
        else
            view->setAlpha(0);
    });
    // The transition keeps both controllers until it ends, as the platform does.
    UIView::animateWithDuration(kPresentationDuration, 0, UIViewAnimationOptionCurveEaseOut,
        [view, frame, transition] {
            if (slides(transition))
                view->setFrame(frame);
            else
                view->setAlpha(1);
        },
        [presenter, controller, removes, completion = std::move(completion)](bool) mutable {
            presenter->handleFinishPresentation(controller, removes, std::move(completion));
        });
}

void UIViewController::handleFinishPresentation(const Ref<UIViewController>& presented, bool removesPresenter, std::function<void()> completion)
{
    m_presentationRunning = false;
    presented->handleEndAppearance();
    if (removesPresenter) {
        handleEndAppearance();
        // Covered for good: the presenter's view leaves the window until the dismissal.
        if (m_view && m_presented == presented && m_view->window())
            m_view->removeFromSuperview();
    }
    presented->m_beingPresented = false;
    if (completion)
        completion();
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion)
{
    auto outermost = handleOutermost();
    Ref<UIViewController> presenter = outermost;
    Ref<UIViewController> presented = outermost->m_presented;
    if (!presented) {
        presenter = outermost->m_presenting.lock();
        presented = outermost;
    }
    if (!presenter)
        return;
    if (presenter->m_presentationRunning || presented->m_presentationRunning) {
        NSLog("Warning: Attempt to dismiss from view controller %@ while a presentation or dismiss is in progress!", presenter);
        return;
    }
    // Everything presented above goes too; only the top-most one is seen leaving.
    auto top = presented;
    while (top->m_presented)
        top = top->m_presented;
    for (auto c = presented; c != top; c = c->m_presented)
        if (c->m_presentationRunning) {
            NSLog("Warning: Attempt to dismiss from view controller %@ while a presentation or dismiss is in progress!", c);
            return;
        }

    auto topView = top->viewIfLoaded();
    auto window = topView ? topView->window() : nil;
    const bool restores = presenter->isViewLoaded() && !presenter->m_view->window() && window;
    top->m_beingDismissed = true;
    top->handleBeginAppearance(false, animated);
    if (restores) {
        auto lowest = presented->viewIfLoaded();
        if (lowest && lowest->superview() == window)
            window->insertSubviewBelowSubview(presenter->m_view, lowest);
        else
            window->insertSubviewBelowSubview(presenter->m_view, topView);
    }
    presenter->handleBeginAppearance(true, animated);

    if (!animated || !UIView::areAnimationsEnabled() || !topView) {
        presenter->handleFinishDismissal(presented, restores, std::move(completion));
        return;
    }
    presenter->m_presentationRunning = true;
    const auto transition = top->m_modalTransitionStyle;
    const CGRect frame = topView->frame();
    UIView::animateWithDuration(kPresentationDuration, 0, UIViewAnimationOptionCurveEaseIn,
        [topView, frame, transition] {
            if (slides(transition))
                topView->setFrame(CGRectOffset(frame, 0, frame.size.height));
            else
                topView->setAlpha(0);
        },
        [presenter, presented, restores, completion = std::move(completion)](bool) mutable {
            presenter->handleFinishDismissal(presented, restores, std::move(completion));
        });
}

void UIViewController::handleFinishDismissal(const Ref<UIViewController>& presented, bool, std::function<void()> completion)
{
    m_presentationRunning = false;
    handleEndAppearance();
    std::vector<Ref<UIViewController>> chain;
    for (auto c = presented; c; c = c->m_presented)
        chain.push_back(c);
    chain.back()->handleEndAppearance();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        auto& c = *it;
        if (auto view = c->viewIfLoaded()) {
            view->removeFromSuperview();
            view->setAlpha(1);
        }
        c->m_beingDismissed = false;
        c->m_beingPresented = false;
        c->m_presenting.reset();
        c->m_presented = nil;
    }
    if (m_presented == presented)
        m_presented = nil;
    if (completion)
        completion();
}
