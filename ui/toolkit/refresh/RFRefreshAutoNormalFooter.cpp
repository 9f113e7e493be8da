#include "ui/toolkit/refresh/RFRefreshAutoNormalFooter.h"

#include "platform/base/ClassBuilder.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFRefreshAutoNormalFooter)

namespace {

// The spinner stands this far left of the middle, beside the text.
constexpr CGFloat kSpinnerBesideText = 100;

} // namespace

Ref<UIActivityIndicatorView> RFRefreshAutoNormalFooter::loadingView()
{
    return dv::internal::toolkit::subviewMadeOnce(m_loadingView, *this, [this] { return dv::internal::toolkit::makeRefreshSpinner(m_activityIndicatorViewStyle); });
}

void RFRefreshAutoNormalFooter::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    m_activityIndicatorViewStyle = style;
    dv::internal::toolkit::dropSpinner(m_loadingView);
    setNeedsLayout();
}

void RFRefreshAutoNormalFooter::prepare()
{
    RFRefreshAutoStateFooter::prepare();
    setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);
}

void RFRefreshAutoNormalFooter::placeSubviews()
{
    RFRefreshAutoStateFooter::placeSubviews();
    auto loading = loadingView();
    if (dv::internal::toolkit::hasLayoutConstraints(loading))
        return;
    CGFloat centerX = rf_w(this) * 0.5;
    if (!isRefreshingTitleHidden())
        centerX -= kSpinnerBesideText;
    loading->setCenter(CGPointMake(centerX, rf_h(this) * 0.5));
}

void RFRefreshAutoNormalFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshAutoStateFooter::setState(state);
    if (state == RefreshStateIdle || state == RefreshStateNoMoreData)
        loadingView()->stopAnimating();
    else if (state == RefreshStateRefreshing)
        loadingView()->startAnimating();
}
