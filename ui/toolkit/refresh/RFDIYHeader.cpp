#include "ui/toolkit/refresh/RFDIYHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFDIYHeader)

void RFDIYHeader::prepare()
{
    RFRefreshHeader::prepare();
    m_parts.make(*this, dv::internal::toolkit::DIYParts::Logo::Shown);
}

void RFDIYHeader::placeSubviews()
{
    RFRefreshHeader::placeSubviews();
    if (auto text = label())
        text->setFrame(bounds());
    if (auto image = logo()) {
        image->setBounds(CGRectMake(0, 0, rf_w(this), 100));
        image->setCenter(CGPointMake(rf_w(this) * 0.5, 20 - rf_h(image.get())));
    }
    if (auto spinner = loading())
        spinner->setCenter(CGPointMake(rf_w(this) - 30, rf_h(this) * 0.5));
}

void RFDIYHeader::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshHeader::setState(state);
    m_parts.show(state, { .idle = "赶紧下拉吖(开关是打酱油滴)", .pulling = "赶紧放开我吧(开关是打酱油滴)" });
}

void RFDIYHeader::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshHeader::setPullingPercent(pullingPercent);
    m_parts.colourForPull(pullingPercent);
}
