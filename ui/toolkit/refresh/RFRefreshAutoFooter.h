// RFRefreshAutoFooter: a footer that stands right after the content and loads the next page by
// itself: when the user scrolls it into view (as much of it as triggerAutomaticallyRefreshPercent
// says), when a drag is let go at the end of the content, or, for the state footers, when its
// text is tapped. While attached and shown its height is part of the scroll view's bottom inset,
// so that the list can be scrolled far enough to show it; hidden or taken away, it gives back
// exactly what it added. Half a second after loading starts the owner is called back; it then
// calls endRefreshing, or endRefreshingWithNoMoreData when the list is complete. Hiding the
// footer returns it to idle. Ownership and threads as RFRefreshComponent.
//
//   auto footer = RFRefreshAutoNormalFooter::footerWithRefreshingBlock([weak] { loadMore(weak); });
//   setRf_footer(tableView, footer);
#pragma once

#include "ui/toolkit/refresh/RFRefreshFooter.h"

class RFRefreshAutoFooter : public RFRefreshFooter {
    DV_CLASS(RFRefreshAutoFooter, RFRefreshFooter)

    static Ref<RFRefreshAutoFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshAutoFooter>(std::move(block));
    }
    static Ref<RFRefreshAutoFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshAutoFooter>(target, action);
    }

    // The footer's set-up, then loading on scrolling at 100 % of its height.
    void prepare() override;
    // Attaching, then the bottom inset (when shown) and the place after the content.
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;
    // The footer follows the content's end.
    void scrollViewContentSizeDidChange(const dv::KeyValueChange& change) override;
    // Loading when scrolled towards the end far enough.
    void scrollViewContentOffsetDidChange(const dv::KeyValueChange& change) override;
    // Loading when a drag is let go at the end (whatever automaticallyRefresh says).
    void scrollViewPanStateDidChange(const dv::KeyValueChange& change) override;
    // Refreshing calls the owner back half a second later.
    void setState(RefreshState state) override;
    // Hidden: idle, and its height out of the bottom inset; shown again: back in, after the content.
    void setHidden(bool hidden) override;

    // Whether scrolling the footer into view loads (a drag let go at the end always does). YES by
    // default.
    bool isAutomaticallyRefresh() const { return m_automaticallyRefresh; }
    void setAutomaticallyRefresh(bool refreshes) { m_automaticallyRefresh = refreshes; }
    // How much of the footer's height must have come into view: 1.0 by default.
    CGFloat triggerAutomaticallyRefreshPercent() const { return m_triggerAutomaticallyRefreshPercent; }
    void setTriggerAutomaticallyRefreshPercent(CGFloat percent) { m_triggerAutomaticallyRefreshPercent = percent; }
    // An older name of the same.
    CGFloat appearencePercentTriggerAutoRefresh() const { return triggerAutomaticallyRefreshPercent(); }
    void setAppearencePercentTriggerAutoRefresh(CGFloat percent) { setTriggerAutomaticallyRefreshPercent(percent); }

private:
    // Puts the footer's height into the bottom inset of `scrollView`, or takes back what it put.
    void addInset(const Ref<UIScrollView>& scrollView);
    void giveInsetBack();

    bool m_automaticallyRefresh = true;
    CGFloat m_triggerAutomaticallyRefreshPercent = 1.0;
    // What this footer added to a scroll view's bottom inset, and where.
    Weak<UIScrollView> m_insetScrollView;
    CGFloat m_insetAdded = 0;
};
