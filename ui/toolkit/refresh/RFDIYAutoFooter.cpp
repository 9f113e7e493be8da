#include "ui/toolkit/refresh/RFDIYAutoFooter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISwitch.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFDIYAutoFooter)

void RFDIYAutoFooter::prepare()
{
    RFRefreshAutoFooter::prepare();
    setRf_h(this, 50);

    auto text = alloc<UILabel>()->init();
    text->setTextColor(UIColor::colorWithRed(1.0, 0.5, 0.0, 1.0));
    text->setFont(UIFont::boldSystemFontOfSize(16));
    text->setTextAlignment(NSTextAlignmentCenter);
    addSubview(text);
    m_label = text;

    auto toggle = alloc<UISwitch>()->init();
    addSubview(toggle);
    m_switch = toggle;

    auto spinner = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    addSubview(spinner);
    m_loading = spinner;
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
    auto text = label();
    auto toggle = s();
    auto spinner = loading();
    if (!text || !toggle || !spinner) // taken out by the owner
        return;
    switch (state) {
    case RefreshStateIdle:
        text->setText("赶紧上拉吖(开关是打酱油滴)"_ns);
        spinner->stopAnimating();
        toggle->setOn(false, true);
        break;
    case RefreshStateRefreshing:
        toggle->setOn(true, true);
        text->setText("加载数据中(开关是打酱油滴)"_ns);
        spinner->startAnimating();
        break;
    case RefreshStateNoMoreData:
        text->setText("木有数据了(开关是打酱油滴)"_ns);
        toggle->setOn(false, true);
        spinner->stopAnimating();
        break;
    default:
        break;
    }
}
