#include "ui/toolkit/refresh/RFRefreshBackFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIScrollView.h"
#include "ui/toolkit/refresh/UIScrollViewRFRefresh.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

#include <algorithm>

DV_DEFINE_CLASS(RFRefreshBackFooter)

void RFRefreshBackFooter::willMoveToSuperview(const Ref<UIView>& newSuperview)
{
    // Refreshing, the footer holds part of the bottom inset of the scroll view it stands in; that
    // part does not stay behind when it goes.
    auto scroll = scrollView();
    if (state() == RefreshStateRefreshing && scroll && superview() == scroll) {
        setRf_insetB(scroll.get(), rf_insetB(scroll.get()) - m_lastBottomDelta);
        m_lastBottomDelta = 0;
    }
    RFRefreshFooter::willMoveToSuperview(newSuperview);
    if (dv::as<UIScrollView>(newSuperview))
        scrollViewContentSizeDidChange({});
}

void RFRefreshBackFooter::scrollViewContentOffsetDidChange(const dv::KeyValueChange& change)
{
    RFRefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state() == RefreshStateRefreshing)
        return;
    // Outside a refresh the inset is the owner's: keep it up to date.
    setScrollViewOriginalInset(scroll->contentInset());

    const CGFloat offsetY = rf_offsetY(scroll.get());
    const CGFloat happen = happenOffsetY();
    if (offsetY <= happen) // not in view yet
        return;
    const CGFloat height = rf_h(this);
    // A footer without height shows nothing of itself however far it is pulled.
    const CGFloat pullingPercent = height > 0 ? (offsetY - happen) / height : 0;

    if (state() == RefreshStateNoMoreData) {
        setPullingPercent(pullingPercent);
        return;
    }
    if (scroll->isDragging()) {
        setPullingPercent(pullingPercent);
        const CGFloat normalToPullingOffsetY = happen + height;
        if (state() == RefreshStateIdle && offsetY > normalToPullingOffsetY)
            setState(RefreshStatePulling);
        else if (state() == RefreshStatePulling && offsetY <= normalToPullingOffsetY)
            setState(RefreshStateIdle);
    } else if (state() == RefreshStatePulling) {
        beginRefreshing();
    } else if (pullingPercent < 1) {
        setPullingPercent(pullingPercent);
    }
}

void RFRefreshBackFooter::scrollViewContentSizeDidChange(const dv::KeyValueChange& change)
{
    RFRefreshFooter::scrollViewContentSizeDidChange(change);
    auto scroll = scrollView();
    if (!scroll)
        return;
    const UIEdgeInsets recorded = scrollViewOriginalInset();
    const CGFloat ignored = ignoredScrollViewContentInsetBottom();
    const CGFloat afterContent = rf_contentH(scroll.get()) + ignored;
    const CGFloat belowVisibleArea = rf_h(scroll.get()) - recorded.top - recorded.bottom + ignored;
    setRf_y(this, std::max(afterContent, belowVisibleArea));
}

void RFRefreshBackFooter::setState(RefreshState state)
{
    const RefreshState oldState = this->state();
    if (state == oldState)
        return;
    RFRefreshFooter::setState(state);

    auto scroll = scrollView();
    Weak<RFRefreshBackFooter> weak = self<RFRefreshBackFooter>();
    if (state == RefreshStateRefreshing) {
        m_lastRefreshCount = rf_totalDataCount(scroll);
        UIView::animateWithDuration(RFRefreshFastAnimationDuration,
            [this, scroll] {
                if (!scroll)
                    return;
                CGFloat bottom = rf_h(this) + scrollViewOriginalInset().bottom;
                const CGFloat breakHeight = heightForContentBreakView();
                if (breakHeight < 0) // short content: the gap below it too
                    bottom -= breakHeight;
                m_lastBottomDelta = bottom - rf_insetB(scroll.get());
                setRf_insetB(scroll.get(), bottom);
                setRf_offsetY(scroll.get(), happenOffsetY() + rf_h(this));
            },
            [weak](bool) {
                if (auto footer = weak.lock())
                    footer->executeRefreshingCallback();
            });
    } else if ((state == RefreshStateIdle || state == RefreshStateNoMoreData) && oldState == RefreshStateRefreshing) {
        UIView::animateWithDuration(RFRefreshSlowAnimationDuration,
            [this, scroll] {
                if (scroll)
                    setRf_insetB(scroll.get(), rf_insetB(scroll.get()) - m_lastBottomDelta);
                if (isAutomaticallyChangeAlpha())
                    setAlpha(0.0);
            },
            [weak](bool) {
                if (auto footer = weak.lock())
                    footer->setPullingPercent(0.0);
            });
        // New rows below: the content stops where it is rather than move on with the inset.
        if (scroll && heightForContentBreakView() > 0 && rf_totalDataCount(scroll) != m_lastRefreshCount)
            setRf_offsetY(scroll.get(), rf_offsetY(scroll.get()));
    }
}

void RFRefreshBackFooter::endRefreshing()
{
    if (!dv::as<UICollectionView>(scrollView())) {
        RFRefreshFooter::endRefreshing();
        return;
    }
    Weak<RFRefreshBackFooter> weak = self<RFRefreshBackFooter>();
    dv::internal::toolkit::dispatchAfterOnMainQueue(dv::internal::toolkit::kCollectionViewEndDelay, [weak] {
        if (auto footer = weak.lock())
            footer->RFRefreshFooter::endRefreshing();
    });
}

void RFRefreshBackFooter::noticeNoMoreData()
{
    if (!dv::as<UICollectionView>(scrollView())) {
        RFRefreshFooter::noticeNoMoreData();
        return;
    }
    Weak<RFRefreshBackFooter> weak = self<RFRefreshBackFooter>();
    dv::internal::toolkit::dispatchAfterOnMainQueue(dv::internal::toolkit::kCollectionViewEndDelay, [weak] {
        if (auto footer = weak.lock())
            footer->RFRefreshFooter::noticeNoMoreData();
    });
}

CGFloat RFRefreshBackFooter::heightForContentBreakView() const
{
    auto scroll = scrollView();
    if (!scroll)
        return 0;
    const UIEdgeInsets recorded = scrollViewOriginalInset();
    return rf_contentH(scroll.get()) - (scroll->frame().size.height - recorded.bottom - recorded.top);
}

CGFloat RFRefreshBackFooter::happenOffsetY() const
{
    const CGFloat breakHeight = heightForContentBreakView();
    const CGFloat top = scrollViewOriginalInset().top;
    return breakHeight > 0 ? breakHeight - top : -top;
}
