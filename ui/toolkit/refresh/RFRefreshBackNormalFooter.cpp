#include "ui/toolkit/refresh/RFRefreshBackNormalFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshBackNormalFooter)

namespace {

// The arrow image points down: turned, it points up.
const CGAffineTransform kArrowUp = CGAffineTransformMakeRotation(dv::internal::toolkit::kRefreshArrowTurn);
// Arrow and spinner stand this far left of the middle, beside the text.
constexpr CGFloat kBesideText = 100;

} // namespace

RFRefreshBackNormalFooter::RFRefreshBackNormalFooter() : m_parts(kArrowUp, CGAffineTransformIdentity) { }

Ref<UIImageView> RFRefreshBackNormalFooter::arrowView() { return m_parts.arrow(*this); }

Ref<UIActivityIndicatorView> RFRefreshBackNormalFooter::loadingView() { return m_parts.spinner(*this); }

void RFRefreshBackNormalFooter::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    m_parts.setStyle(style);
    setNeedsLayout();
}

void RFRefreshBackNormalFooter::prepare()
{
    RFRefreshBackStateFooter::prepare();
    setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);
}

void RFRefreshBackNormalFooter::placeSubviews()
{
    RFRefreshBackStateFooter::placeSubviews();
    CGFloat centerX = rf_w(this) * 0.5;
    if (!stateLabel()->isHidden())
        centerX -= kBesideText;
    m_parts.place(*this, CGPointMake(centerX, rf_h(this) * 0.5));
}

void RFRefreshBackNormalFooter::setState(RefreshState state)
{
    const RefreshState oldState = this->state();
    if (state == oldState)
        return;
    RFRefreshBackStateFooter::setState(state);
    m_parts.show(*this, state, oldState);
}
