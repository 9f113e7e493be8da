// RFRefreshHeader: the pulling and refreshing mechanics of a header that sits above the content
// of a scroll view. Dragged down past its height it turns to pulling; let go then, it stays in
// view by enlarging the scroll view's top inset, calls its owner back (once the 0.25 s slide has
// ended) and waits for endRefreshing; then it gives the inset back over 0.4 s and stores the time
// of this refresh in the standard user defaults under lastUpdatedTimeKey.
//
// The classes below add looks: RFRefreshStateHeader (texts), RFRefreshNormalHeader (arrow and
// spinner), RFRefreshGifHeader (image sequences). Ownership and threads as RFRefreshComponent.
#pragma once

#include "ui/toolkit/refresh/RFRefreshComponent.h"

class NSDate;

class RFRefreshHeader : public RFRefreshComponent {
    DV_CLASS(RFRefreshHeader, RFRefreshComponent)

    static Ref<RFRefreshHeader> headerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshHeader>(std::move(block));
    }
    static Ref<RFRefreshHeader> headerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshHeader>(target, action);
    }

    // The component's set-up, the default key (through its setter) and the height, 54.
    void prepare() override;
    // y := −height − ignoredScrollViewContentInsetTop.
    void placeSubviews() override;
    // Pulling while dragged, refreshing when let go pulled, the inset held while refreshing.
    void scrollViewContentOffsetDidChange(const dv::KeyValueChange& change) override;
    void setState(RefreshState state) override;
    // In a collection view 0.1 s later, on the main queue; elsewhere at once.
    void endRefreshing() override;

    // The user-defaults key of the last refresh time; "RFRefreshHeaderLastUpdatedTimeKey" unless
    // set (headers of different lists keep different times).
    Ref<NSString> lastUpdatedTimeKey() const { return m_lastUpdatedTimeKey; }
    virtual void setLastUpdatedTimeKey(const Ref<NSString>& key);
    // The time stored under the key; nil when none.
    Ref<NSDate> lastUpdatedTime() const;

    // Moves the header up by this much (0 by default).
    CGFloat ignoredScrollViewContentInsetTop() const { return m_ignoredScrollViewContentInsetTop; }
    void setIgnoredScrollViewContentInsetTop(CGFloat inset) { m_ignoredScrollViewContentInsetTop = inset; }
    // The recorded top inset minus the one applied during the refresh: what the end gives back.
    CGFloat insetTDelta() const { return m_insetTDelta; }
    void setInsetTDelta(CGFloat delta) { m_insetTDelta = delta; }

private:
    Ref<NSString> m_lastUpdatedTimeKey;
    CGFloat m_ignoredScrollViewContentInsetTop = 0;
    CGFloat m_insetTDelta = 0;
};
