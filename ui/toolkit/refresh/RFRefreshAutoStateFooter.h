// RFRefreshAutoStateFooter: an auto-loading footer with a text per state ("点击或上拉加载更多",
// "正在加载更多的数据...", "已经全部加载完毕") that also loads when the text is tapped at rest.
// The footer keeps a weak link to its label (its view hierarchy owns it).
#pragma once

#include "ui/toolkit/refresh/RFRefreshAutoFooter.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

class NSMutableDictionary;
class UILabel;

class RFRefreshAutoStateFooter : public RFRefreshAutoFooter {
    DV_CLASS(RFRefreshAutoStateFooter, RFRefreshAutoFooter)

    static Ref<RFRefreshAutoStateFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshAutoStateFooter>(std::move(block));
    }
    static Ref<RFRefreshAutoStateFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshAutoStateFooter>(target, action);
    }

    // Made on first use and added to the footer.
    Ref<UILabel> stateLabel();
    // State number → title.
    Ref<NSMutableDictionary> stateTitles();
    // A nil title is ignored; the label shows the current state's title at once.
    void setTitle(const Ref<NSString>& title, RefreshState state);

    // When YES the label is empty while loading (the spinner or images stand in the middle).
    bool isRefreshingTitleHidden() const { return m_refreshingTitleHidden; }
    void setRefreshingTitleHidden(bool hidden) { m_refreshingTitleHidden = hidden; }

    // The label's tap: loads when at rest, nothing otherwise.
    void stateLabelClick();

    // The texts, and the label's tap.
    void prepare() override;
    // The label fills the footer (unless it places itself by constraints).
    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    Weak<UILabel> m_stateLabel;
    dv::internal::toolkit::StateTitles m_stateTitles;
    bool m_refreshingTitleHidden = false;
};
