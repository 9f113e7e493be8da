#include "ui/toolkit/refresh/RFRefreshAutoFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSValue.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UIScrollView.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshAutoFooter)

namespace {

// The footer shows that it loads for this long before the owner is called.
constexpr NSTimeInterval kCallbackDelay = 0.5;

} // namespace

void RFRefreshAutoFooter::prepare()
{
    RFRefreshFooter::prepare();
    setTriggerAutomaticallyRefreshPercent(1.0);
    setAutomaticallyRefresh(true);
}

void RFRefreshAutoFooter::willMoveToSuperview(const Ref<UIView>& newSuperview)
{
    RFRefreshFooter::willMoveToSuperview(newSuperview);
    // The scroll view the footer leaves, whatever it goes into, gets back what it added.
    giveInsetBack();
    auto scroll = dv::as<UIScrollView>(newSuperview);
    if (!scroll)
        return;
    if (!isHidden())
        addInset(scroll);
    setRf_y(this, rf_contentH(scroll.get()));
}

void RFRefreshAutoFooter::scrollViewContentSizeDidChange(const dv::KeyValueChange& change)
{
    RFRefreshFooter::scrollViewContentSizeDidChange(change);
    if (auto scroll = scrollView())
        setRf_y(this, rf_contentH(scroll.get()));
}

void RFRefreshAutoFooter::scrollViewContentOffsetDidChange(const dv::KeyValueChange& change)
{
    RFRefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    // A footer at 0 stands below no content: scrolling does not load it.
    if (!scroll || state() != RefreshStateIdle || !m_automaticallyRefresh || rf_y(this) == 0)
        return;
    const UIScrollView* view = scroll.get();
    // Content that fits loads only when a drag is let go.
    if (rf_insetT(view) + rf_contentH(view) <= rf_h(view))
        return;
    const CGFloat height = rf_h(this);
    const CGFloat threshold = rf_contentH(view) - rf_h(view) + height * m_triggerAutomaticallyRefreshPercent + rf_insetB(view) - height;
    if (rf_offsetY(view) < threshold)
        return;
    auto oldOffset = dv::as<NSValue>(change.oldValue);
    auto newOffset = dv::as<NSValue>(change.newValue);
    // Only on the way towards the end.
    if (!oldOffset || !newOffset || newOffset->CGPointValue().y <= oldOffset->CGPointValue().y)
        return;
    beginRefreshing();
}

void RFRefreshAutoFooter::scrollViewPanStateDidChange(const dv::KeyValueChange& change)
{
    RFRefreshFooter::scrollViewPanStateDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state() != RefreshStateIdle)
        return;
    auto recognizer = scroll->panGestureRecognizer();
    if (!recognizer || recognizer->state() != UIGestureRecognizerStateEnded)
        return;
    const UIScrollView* view = scroll.get();
    if (rf_insetT(view) + rf_contentH(view) <= rf_h(view)) {
        // All of the content fits: any release not pulled down from the top loads.
        if (rf_offsetY(view) >= -rf_insetT(view))
            beginRefreshing();
    } else if (rf_offsetY(view) >= rf_contentH(view) + rf_insetB(view) - rf_h(view)) {
        beginRefreshing();
    }
}

void RFRefreshAutoFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshFooter::setState(state);
    if (state != RefreshStateRefreshing)
        return;
    Weak<RFRefreshAutoFooter> weak = self<RFRefreshAutoFooter>();
    dv::internal::toolkit::dispatchAfterOnMainQueue(kCallbackDelay, [weak] {
        if (auto footer = weak.lock())
            footer->executeRefreshingCallback();
    });
}

void RFRefreshAutoFooter::setHidden(bool hidden)
{
    const bool wasHidden = isHidden();
    RFRefreshFooter::setHidden(hidden);
    if (!wasHidden && hidden) {
        setState(RefreshStateIdle);
        giveInsetBack();
    } else if (wasHidden && !hidden) {
        // Only a footer standing in its scroll view takes room there.
        auto scroll = scrollView();
        if (!scroll || superview() != scroll)
            return;
        addInset(scroll);
        setRf_y(this, rf_contentH(scroll.get()));
    }
}

void RFRefreshAutoFooter::addInset(const Ref<UIScrollView>& scrollView)
{
    giveInsetBack();
    m_insetAdded = rf_h(this);
    m_insetScrollView = scrollView;
    setRf_insetB(scrollView.get(), rf_insetB(scrollView.get()) + m_insetAdded);
}

void RFRefreshAutoFooter::giveInsetBack()
{
    auto scroll = m_insetScrollView.lock();
    const CGFloat added = m_insetAdded;
    m_insetScrollView.reset();
    m_insetAdded = 0;
    if (scroll)
        setRf_insetB(scroll.get(), rf_insetB(scroll.get()) - added);
}
