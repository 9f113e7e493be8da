// RFRefreshBackNormalFooter: a back state footer with an arrow left of its text (in the middle
// when the text is hidden) that points up at rest and down once letting go would load, and a grey
// spinner in its place while loading. The arrow is the image "RFRefresh.bundle/arrow.png" of the
// application's resources. Weak links to both views.
#pragma once

#include "platform/ui/UIActivityIndicatorView.h"
#include "ui/toolkit/refresh/RFRefreshBackStateFooter.h"
#include "ui/toolkit/refresh/internal/ArrowAndSpinner.h"

class UIImageView;

class RFRefreshBackNormalFooter : public RFRefreshBackStateFooter {
    DV_CLASS(RFRefreshBackNormalFooter, RFRefreshBackStateFooter)

    RFRefreshBackNormalFooter();

    static Ref<RFRefreshBackNormalFooter> footerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshBackNormalFooter>(std::move(block));
    }
    static Ref<RFRefreshBackNormalFooter> footerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshBackNormalFooter>(target, action);
    }

    // Made on first use and added to the footer. An arrow image missing from the resources
    // leaves the arrow view empty.
    Ref<UIImageView> arrowView();
    Ref<UIActivityIndicatorView> loadingView();

    // The spinner's style, gray by default. A new style takes the present spinner out; the next
    // use of loadingView makes one of the new style.
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return m_parts.style(); }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);

    void prepare() override;
    void placeSubviews() override;
    void setState(RefreshState state) override;

private:
    dv::internal::toolkit::ArrowAndSpinner m_parts;
};
