// UIRefreshControl: the spinner a list shows above its rows while it refreshes. beginRefreshing
// and endRefreshing only change what it shows (a turning indicator in its tint colour, or
// nothing); they send no event. The list it belongs to starts it when the user pulls far enough
// and then sends value changed. 60 points high. Main thread only.
//
//   auto refresh = alloc<UIRefreshControl>()->init();
//   refresh->addTarget(self(), "reload", UIControlEventValueChanged);
//   refresh->beginRefreshing();
#pragma once

#include "platform/ui/UIControl.h"

class UIActivityIndicatorView;

class UIRefreshControl : public UIControl {
    DV_CLASS(UIRefreshControl, UIControl)

    UIRefreshControl() = default;
    Ref<UIRefreshControl> init();
    Ref<UIRefreshControl> initWithFrame(CGRect frame);

    bool isRefreshing() const { return m_refreshing; }
    void beginRefreshing();
    void endRefreshing();
    void setTintColor(const Ref<UIColor>& color) override;

    void layoutSubviews() override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

private:
    Ref<UIActivityIndicatorView> m_indicator;
    bool m_refreshing = false;
};
