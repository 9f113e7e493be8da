// RFRefreshBackFooter: the pulling and refreshing mechanics of a footer that waits below the end
// of the content (or below the visible area, when the content is shorter). Dragged up until it
// has come fully into view it turns to pulling; let go then, it holds itself in view by enlarging
// the scroll view's bottom inset, calls its owner back (once the 0.25 s slide has ended) and
// waits for endRefreshing or endRefreshingWithNoMoreData; then exactly the inset it added goes
// back over 0.4 s. In no more data it follows the pull but loads nothing.
//
// The classes below add looks: RFRefreshBackStateFooter (texts), RFRefreshBackNormalFooter (arrow
// and spinner), RFRefreshBackGifFooter (image sequences). Ownership and threads as
// RFRefreshComponent.
#pragma once

#include "ui/toolkit/refresh/RFRefreshFooter.h"

class RFRefreshBackFooter : public RFRefreshFooter {
    DV_CLASS(RFRefreshBackFooter, RFRefreshFooter)

    static Ref<RFRefreshBackFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshBackFooter>(std::move(block));
    }
    static Ref<RFRefreshBackFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshBackFooter>(target, action);
    }

    // Attaching, then the place below the content. A footer that leaves its scroll view while
    // refreshing gives back the inset it holds there.
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;
    // Pulling while dragged past its height, refreshing when let go pulled.
    void scrollViewContentOffsetDidChange(const dv::KeyValueChange& change) override;
    // Placement: after the content, or below the visible area, whichever is lower.
    void scrollViewContentSizeDidChange(const dv::KeyValueChange& change) override;
    // The bottom inset held while refreshing and given back after.
    void setState(RefreshState state) override;
    // In a collection view 0.1 s later, on the main queue; elsewhere at once.
    void endRefreshing() override;
    void noticeNoMoreData() override;

    // How far the content reaches below the visible area (negative when it is shorter).
    CGFloat heightForContentBreakView() const;
    // The offset at which the footer begins to come into view.
    CGFloat happenOffsetY() const;

    // The list's row or item count when the refresh began.
    NSInteger lastRefreshCount() const { return m_lastRefreshCount; }
    void setLastRefreshCount(NSInteger count) { m_lastRefreshCount = count; }
    // How much the bottom inset grew when the refresh began: what its end gives back.
    CGFloat lastBottomDelta() const { return m_lastBottomDelta; }
    void setLastBottomDelta(CGFloat delta) { m_lastBottomDelta = delta; }

private:
    NSInteger m_lastRefreshCount = 0;
    CGFloat m_lastBottomDelta = 0;
};
