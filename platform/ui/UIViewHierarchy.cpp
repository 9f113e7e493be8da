// UIView: subviews, the move callbacks, windows, gesture recognisers and layout constraints.
#include "platform/ui/UIView.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/PassScheduler.h"

#include <algorithm>

Ref<NSArray> UIView::subviews() const
{
    std::vector<id> items(m_subviews.begin(), m_subviews.end());
    return NSArray::fromVector(std::move(items));
}

void UIView::addSubview(const Ref<UIView>& view)
{
    DV_CHECK_MAIN_THREAD();
    handleInsertSubview(view, m_subviews.size());
}

void UIView::insertSubviewAtIndex(const Ref<UIView>& view, NSInteger index)
{
    DV_CHECK_MAIN_THREAD();
    handleInsertSubview(view, std::size_t(std::clamp<NSInteger>(index, 0, NSInteger(m_subviews.size()))));
}

void UIView::insertSubviewBelowSubview(const Ref<UIView>& view, const Ref<UIView>& sibling)
{
    DV_CHECK_MAIN_THREAD();
    auto it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    handleInsertSubview(view, it == m_subviews.end() ? m_subviews.size() : std::size_t(it - m_subviews.begin()));
}

void UIView::insertSubviewAboveSubview(const Ref<UIView>& view, const Ref<UIView>& sibling)
{
    DV_CHECK_MAIN_THREAD();
    auto it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    handleInsertSubview(view, it == m_subviews.end() ? m_subviews.size() : std::size_t(it - m_subviews.begin()) + 1);
}

void UIView::bringSubviewToFront(const Ref<UIView>& view)
{
    DV_CHECK_MAIN_THREAD();
    auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (it == m_subviews.end())
        return;
    std::rotate(it, it + 1, m_subviews.end());
}

void UIView::sendSubviewToBack(const Ref<UIView>& view)
{
    DV_CHECK_MAIN_THREAD();
    auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (it == m_subviews.end())
        return;
    std::rotate(m_subviews.begin(), it, it + 1);
}

bool UIView::isDescendantOfView(const Ref<UIView>& view) const
{
    if (!view)
        return false;
    for (Ref<const UIView> v = self<UIView>(); v; v = v->superview())
        if (v == view)
            return true;
    return false;
}

Ref<UIView> UIView::viewWithTag(NSInteger tag)
{
    if (m_tag == tag)
        return self<UIView>();
    for (auto& sub : m_subviews)
        if (auto found = sub->viewWithTag(tag))
            return found;
    return nil;
}

void UIView::willMoveToSuperview(const Ref<UIView>&) { }
void UIView::didMoveToSuperview() { }
void UIView::willMoveToWindow(const Ref<UIWindow>&) { }
void UIView::didMoveToWindow() { }
void UIView::didAddSubview(const Ref<UIView>&) { }
void UIView::willRemoveSubview(const Ref<UIView>&) { }

void UIView::handleInsertSubview(const Ref<UIView>& view, std::size_t index)
{
    if (!view)
        return;
    if (view.get() == this)
        NSException::raise(NSInvalidArgumentException, "Can't add self as subview");
    if (isDescendantOfView(view))
        NSException::raise(NSInvalidArgumentException, "Can't add a view's ancestor as its subview");
    auto me = self<UIView>();
    auto oldSuperview = view->superview();
    if (oldSuperview == me) {
        // A move among the siblings: no callbacks.
        auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
        const auto from = std::size_t(it - m_subviews.begin());
        m_subviews.erase(it);
        if (from < index)
            --index;
        m_subviews.insert(m_subviews.begin() + std::ptrdiff_t(std::min(index, m_subviews.size())), view);
        return;
    }
    const auto newWindow = window();
    const auto oldWindow = view->window();
    const bool windowChanges = newWindow != oldWindow;
    if (oldSuperview)
        oldSuperview->willRemoveSubview(view);
    view->willMoveToSuperview(me);
    if (windowChanges)
        view->handleWillMoveToWindow(newWindow);
    if (oldSuperview) {
        std::erase(oldSuperview->m_subviews, view);
        oldSuperview->setNeedsLayout();
        // The index was given for this view's list; removal elsewhere does not shift it.
    }
    m_subviews.insert(m_subviews.begin() + std::ptrdiff_t(std::min(index, m_subviews.size())), view);
    view->m_superview = me;
    if (windowChanges)
        view->handleDidMoveToWindow(newWindow);
    view->didMoveToSuperview();
    didAddSubview(view);
    view->setNeedsLayout();
    setNeedsLayout();
}

void UIView::removeFromSuperview()
{
    DV_CHECK_MAIN_THREAD();
    auto superview = this->superview();
    if (!superview)
        return;
    auto me = self<UIView>(); // the superview's reference goes below
    const auto oldWindow = window();
    superview->willRemoveSubview(me);
    willMoveToSuperview(nil);
    if (oldWindow)
        handleWillMoveToWindow(nil);
    std::erase(superview->m_subviews, me);
    m_superview.reset();
    if (oldWindow)
        handleDidMoveToWindow(nil);
    didMoveToSuperview();
    superview->setNeedsLayout();
}

void UIView::handleWillMoveToWindow(const Ref<UIWindow>& newWindow)
{
    // The first responder does not stay first responder outside its window.
    if (auto oldWindow = window(); oldWindow && oldWindow->firstResponder().get() == this) {
        resignFirstResponder();
        if (oldWindow->firstResponder().get() == this)
            oldWindow->handleSetFirstResponder(nil);
    }
    willMoveToWindow(newWindow);
    const auto subviews = m_subviews;
    for (auto& sub : subviews)
        sub->handleWillMoveToWindow(newWindow);
}

void UIView::handleDidMoveToWindow(const Ref<UIWindow>& newWindow)
{
    // Every view of the subtree learns its window first, so that no didMoveToWindow sees a
    // subview that still believes it is elsewhere.
    std::vector<Ref<UIView>> order;
    auto collect = [&order](auto& collectRef, UIView& view) -> void {
        order.push_back(view.self<UIView>());
        for (auto& sub : view.m_subviews)
            collectRef(collectRef, *sub);
    };
    collect(collect, *this);
    auto& scheduler = dv::internal::uikit::PassScheduler::shared();
    for (auto& view : order) {
        view->m_window = newWindow;
        if (!newWindow)
            continue;
        if (!view->appearanceApplied())
            view->applyAppearance(*view, view->handleContainerChain());
        if (view->m_needsLayout)
            scheduler.scheduleLayout(*view);
        if (view->m_needsDisplay)
            scheduler.scheduleDisplay(*view);
    }
    if (newWindow)
        scheduler.reviveDeferredDisplays();
    for (auto& view : order)
        view->didMoveToWindow();
}

std::vector<const NSObject*> UIView::handleContainerChain() const
{
    std::vector<const NSObject*> chain;
    for (auto responder = nextResponder(); responder; responder = responder->nextResponder())
        chain.push_back(responder.get());
    return chain;
}

// Gesture recognisers

Ref<NSArray> UIView::gestureRecognizers() const
{
    if (m_gestureRecognizers.empty())
        return nil;
    std::vector<id> items(m_gestureRecognizers.begin(), m_gestureRecognizers.end());
    return NSArray::fromVector(std::move(items));
}

void UIView::addGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer)
{
    if (!recognizer)
        return;
    if (auto old = recognizer->view(); old && old.get() != this)
        old->removeGestureRecognizer(recognizer);
    if (std::find(m_gestureRecognizers.begin(), m_gestureRecognizers.end(), recognizer) == m_gestureRecognizers.end())
        m_gestureRecognizers.push_back(recognizer);
    recognizer->m_view = self<UIView>();
}

void UIView::removeGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer)
{
    if (!recognizer)
        return;
    auto it = std::find(m_gestureRecognizers.begin(), m_gestureRecognizers.end(), recognizer);
    if (it == m_gestureRecognizers.end())
        return;
    m_gestureRecognizers.erase(it);
    recognizer->m_view.reset();
    recognizer->handleRemovedFromView();
}

// Layout constraints

Ref<NSArray> UIView::constraints() const
{
    std::vector<id> items(m_constraints.begin(), m_constraints.end());
    return NSArray::fromVector(std::move(items));
}

void UIView::addConstraint(const Ref<NSLayoutConstraint>& constraint)
{
    if (!constraint || std::find(m_constraints.begin(), m_constraints.end(), constraint) != m_constraints.end())
        return;
    m_constraints.push_back(constraint);
    constraint->m_holder = self<UIView>();
    setNeedsLayout();
}

void UIView::addConstraints(const Ref<NSArray>& constraints)
{
    if (!constraints)
        return;
    for (auto& item : constraints->items())
        addConstraint(dv::as<NSLayoutConstraint>(item));
}

void UIView::removeConstraint(const Ref<NSLayoutConstraint>& constraint)
{
    auto it = std::find(m_constraints.begin(), m_constraints.end(), constraint);
    if (it == m_constraints.end())
        return;
    (*it)->m_holder.reset();
    m_constraints.erase(it);
    setNeedsLayout();
}

void UIView::handleApplyConstraints()
{
    const auto constraints = m_constraints;
    for (auto& constraint : constraints)
        constraint->handleApply();
}
