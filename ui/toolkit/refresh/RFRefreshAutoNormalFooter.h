// RFRefreshAutoNormalFooter: an auto-loading state footer with a grey spinner left of its text
// while loading (in the middle when the loading text is hidden). Weak link to the spinner.
#pragma once

#include "platform/ui/UIActivityIndicatorView.h"
#include "ui/toolkit/refresh/RFRefreshAutoStateFooter.h"

class RFRefreshAutoNormalFooter : public RFRefreshAutoStateFooter {
    DV_CLASS(RFRefreshAutoNormalFooter, RFRefreshAutoStateFooter)

    static Ref<RFRefreshAutoNormalFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshAutoNormalFooter>(std::move(block));
    }
    static Ref<RFRefreshAutoNormalFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshAutoNormalFooter>(target, action);
    }

    // Made on first use and added to the footer.
    Ref<UIActivityIndicatorView> loadingView();
    // The spinner's style, gray by default. A new style takes the present spinner out; the next
    // use of loadingView makes one of the new style.
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return m_activityIndicatorViewStyle; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);

    void prepare() override;
    void placeSubviews() override;
    // Spinning while loading, stopped at rest and with no more data.
    void setState(RefreshState state) override;

private:
    Weak<UIActivityIndicatorView> m_loadingView;
    UIActivityIndicatorViewStyle m_activityIndicatorViewStyle = UIActivityIndicatorViewStyleGray;
};
