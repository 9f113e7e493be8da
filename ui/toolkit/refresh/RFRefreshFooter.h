// RFRefreshFooter: the base of the footers that load the next page of a list below its content:
// their height (44), the no-more-data state and hiding by themselves while their table or
// collection view is empty (automaticallyHidden). Auto-loading and back footers derive from it.
//
// In a table or collection view the footer puts a data-count block on the scroll view (the last
// footer to arrive replaces any other block); the block holds the footer weakly, and the footer
// takes it back when it leaves that scroll view. Ownership and threads as RFRefreshComponent.
#pragma once

#include "ui/toolkit/refresh/RFRefreshComponent.h"

class RFRefreshFooter : public RFRefreshComponent {
    DV_CLASS(RFRefreshFooter, RFRefreshComponent)

    static Ref<RFRefreshFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshFooter>(std::move(block));
    }
    static Ref<RFRefreshFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshFooter>(target, action);
    }

    // The component's set-up, height 44, not hidden automatically.
    void prepare() override;
    // The component's attaching, then the data-count block (see above).
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;

    // No more data: the footer shows its final text and loads nothing more.
    void endRefreshingWithNoMoreData();
    // An older name of the same (back footers in a collection view wait for its reload first).
    virtual void noticeNoMoreData() { endRefreshingWithNoMoreData(); }
    // Back to idle: loading is possible again.
    void resetNoMoreData();

    // When YES the footer is hidden whenever a reload leaves its table or collection view empty,
    // and shown after one that does not. NO by default.
    bool isAutomaticallyHidden() const { return m_automaticallyHidden; }
    void setAutomaticallyHidden(bool hidden) { m_automaticallyHidden = hidden; }
    // For footers that place themselves by the bottom inset: this much of it is not theirs.
    CGFloat ignoredScrollViewContentInsetBottom() const { return m_ignoredScrollViewContentInsetBottom; }
    void setIgnoredScrollViewContentInsetBottom(CGFloat inset) { m_ignoredScrollViewContentInsetBottom = inset; }

private:
    bool m_automaticallyHidden = false;
    CGFloat m_ignoredScrollViewContentInsetBottom = 0;
    // The data-count block this footer put on a scroll view, and where (identity only).
    Weak<NSObject> m_reloadDataBlock;
    Weak<UIScrollView> m_reloadDataBlockScrollView;
};
