#include "ui/toolkit/refresh/RFDIYBackFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFDIYBackFooter)

void RFDIYBackFooter::prepare()
{
    RFRefreshBackFooter::prepare();
    m_parts.make(*this, dv::internal::toolkit::DIYParts::Logo::Shown);
}

void RFDIYBackFooter::placeSubviews()
{
    RFRefreshBackFooter::placeSubviews();
    if (auto text = label())
        text->setFrame(bounds());
    if (auto image = logo()) {
        image->setBounds(CGRectMake(0, 0, rf_w(this), 100));
        image->setCenter(CGPointMake(rf_w(this) * 0.5, rf_h(this) + rf_h(image.get()) * 0.5));
    }
    if (auto spinner = loading())
        spinner->setCenter(CGPointMake(rf_w(this) - 30, rf_h(this) * 0.5));
}

void RFDIYBackFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshBackFooter::setState(state);
    m_parts.show(state, { .idle = "赶紧上拉吖(开关是打酱油滴)", .pulling = "赶紧放开我吧(开关是打酱油滴)", .noMoreData = "木有数据了(开关是打酱油滴)" });
}

void RFDIYBackFooter::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshBackFooter::setPullingPercent(pullingPercent);
    m_parts.colourForPull(pullingPercent);
}
