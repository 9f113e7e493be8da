// RFRefreshNormalHeader: a state header with an arrow left of its text that turns up once
// letting go would refresh, and a grey spinner in its place while refreshing. The arrow is the
// image "RFRefresh.bundle/arrow.png" of the application's resources. Weak links to both views.
#pragma once

#include "platform/ui/UIActivityIndicatorView.h"
#include "ui/toolkit/refresh/RFRefreshStateHeader.h"
#include "ui/toolkit/refresh/internal/ArrowAndSpinner.h"

class UIImageView;

class RFRefreshNormalHeader : public RFRefreshStateHeader {
    DV_CLASS(RFRefreshNormalHeader, RFRefreshStateHeader)

    RFRefreshNormalHeader();

    static Ref<RFRefreshNormalHeader> headerWithRefreshingBlock(RefreshingBlock block)
    {
        return makeWithRefreshingBlock<RFRefreshNormalHeader>(std::move(block));
    }
    static Ref<RFRefreshNormalHeader> headerWithRefreshingTarget(const id& target, SEL action)
    {
        return makeWithRefreshingTarget<RFRefreshNormalHeader>(target, action);
    }

    // Made on first use and added to the header. An arrow image missing from the resources
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
