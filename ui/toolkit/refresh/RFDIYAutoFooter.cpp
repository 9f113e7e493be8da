#include "ui/toolkit/refresh/RFDIYAutoFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISwitch.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFDIYAutoFooter)

void RFDIYAutoFooter::prepare()
{
    RFRefreshAutoFooter::prepare();
    m_parts.make(*this, dv::internal::toolkit::DIYParts::Logo::None);
}

void RFDIYAutoFooter::placeSubviews()
{
    RFRefreshAutoFooter::placeSubviews();
    if (auto text = label())
        text->setFrame(bounds());
    if (auto toggle = s())
        toggle->setCenter(CGPointMake(rf_w(this) - 20, rf_h(this) - 20));
    if (auto spinner = loading())
        spinner->setCenter(CGPointMake(30, rf_h(this) * 0.5));
}

void RFDIYAutoFooter::setState(RefreshState state)
{
    if (state == this->state())
        return;
    RFRefreshAutoFooter::setState(state);
    m_parts.show(state, { .idle = "赶紧上拉吖(开关是打酱油滴)", .noMoreData = "木有数据了(开关是打酱油滴)" });
}
