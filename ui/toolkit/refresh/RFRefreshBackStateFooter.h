// RFRefreshBackStateFooter: a back footer with a text per state ("上拉可以加载更多",
// "松开立即加载更多", "正在加载更多的数据...", "已经全部加载完毕"). The footer keeps a weak link to
// its label (its view hierarchy owns it).
#pragma once

#include "ui/toolkit/refresh/RFRefreshBackFooter.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

class NSMutableDictionary;
class UILabel;

class RFRefreshBackStateFooter : public RFRefreshBackFooter {
    DV_CLASS(RFRefreshBackStateFooter, RFRefreshBackFooter)

    static Ref<RFRefreshBackStateFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshBackStateFooter>(std::move(block));
    }
    static Ref<RFRefreshBackStateFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshBackStateFooter>(target, action);
    }

    // Made on first use and added to the footer.
    Ref<UILabel> stateLabel();
    // State number → title.
    Ref<NSMutableDictionary> stateTitles();
    // A nil title is ignored; the label shows the current state's title at once.
    void setTitle(const Ref<NSString>& title, RefreshState state);
    // Nil when the state has none.
    Ref<NSString> titleForState(RefreshState state);

    void prepare() override;
    // The label fills the footer (unless it places itself by constraints).
    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    Weak<UILabel> m_stateLabel;
    dv::internal::toolkit::StateTitles m_stateTitles;
};
