#include "ui/toolkit/refresh/RFRefreshNormalHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshNormalHeader)

namespace {

// The arrow image points down: turned, it points up.
const CGAffineTransform kArrowUp = CGAffineTransformMakeRotation(dv::internal::toolkit::kRefreshArrowTurn);
// Arrow and spinner stand this far left of the middle, beside the text.
constexpr CGFloat kBesideText = 100;

} // namespace

RFRefreshNormalHeader::RFRefreshNormalHeader() : m_parts(CGAffineTransformIdentity, kArrowUp) { }

Ref<UIImageView> RFRefreshNormalHeader::arrowView() { return m_parts.arrow(*this); }

Ref<UIActivityIndicatorView> RFRefreshNormalHeader::loadingView() { return m_parts.spinner(*this); }

void RFRefreshNormalHeader::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    m_parts.setStyle(style);
    setNeedsLayout();
}

void RFRefreshNormalHeader::prepare()
{
    RFRefreshStateHeader::prepare();
    setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);
}

void RFRefreshNormalHeader::placeSubviews()
{
    RFRefreshStateHeader::placeSubviews();
    CGFloat centerX = rf_w(this) * 0.5;
    if (!stateLabel()->isHidden())
        centerX -= kBesideText;
    m_parts.place(*this, CGPointMake(centerX, rf_h(this) * 0.5));
}

void RFRefreshNormalHeader::setState(RefreshState state)
{
    const RefreshState oldState = this->state();
    if (state == oldState)
        return;
    RFRefreshStateHeader::setState(state);
    // A header never runs out of data: that state shows nothing on it.
    if (state != RefreshStateNoMoreData)
        m_parts.show(*this, state, oldState);
}
