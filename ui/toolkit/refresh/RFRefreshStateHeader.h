// RFRefreshStateHeader: a refresh header with two lines of text, the state's title above
// ("下拉可以刷新", "松开立即刷新", "正在刷新数据中...") and the time of the last refresh below
// ("最后更新：今天 10:24"). Either label may be hidden; the state label then takes the header.
// The header keeps weak links to its labels (its view hierarchy owns them).
#pragma once

#include "ui/toolkit/refresh/RFRefreshHeader.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

#include <functional>

class NSCalendar;
class NSMutableDictionary;
class UILabel;

class RFRefreshStateHeader : public RFRefreshHeader {
    DV_CLASS(RFRefreshStateHeader, RFRefreshHeader)

    // The text to show for the last refresh time (nil when none is stored).
    using LastUpdatedTimeTextBlock = std::function<Ref<NSString>(const Ref<NSDate>& lastUpdatedTime)>;

    static Ref<RFRefreshStateHeader> headerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshStateHeader>(std::move(block));
    }
    static Ref<RFRefreshStateHeader> headerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshStateHeader>(target, action);
    }

    // Made on first use and added to the header.
    Ref<UILabel> stateLabel();
    Ref<UILabel> lastUpdatedTimeLabel();
    // State number → title; empty until titles are set.
    Ref<NSMutableDictionary> stateTitles();
    // A nil title is ignored; the label shows the current state's title at once.
    void setTitle(const Ref<NSString>& title, RefreshState state);

    // Replaces the standard "最后更新：…" text when set.
    LastUpdatedTimeTextBlock lastUpdatedTimeText() const { return m_lastUpdatedTimeText; }
    void setLastUpdatedTimeText(LastUpdatedTimeTextBlock block) { m_lastUpdatedTimeText = std::move(block); }

    // The Gregorian calendar the dates are compared in.
    Ref<NSCalendar> currentCalendar() const;
    // Stores the key and shows the time stored under it.
    void setLastUpdatedTimeKey(const Ref<NSString>& key) override;

    void prepare() override;
    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    Ref<NSString> lastUpdatedText(const Ref<NSDate>& date) const;

    Weak<UILabel> m_stateLabel;
    Weak<UILabel> m_lastUpdatedTimeLabel;
    dv::internal::toolkit::StateTitles m_stateTitles;
    LastUpdatedTimeTextBlock m_lastUpdatedTimeText;
};
