#include "ui/toolkit/refresh/RFDIYHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISwitch.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

DV_DEFINE_CLASS(RFDIYHeader)

void RFDIYHeader::prepare()
{
    RFRefreshHeader::prepare();
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

    auto image = alloc<UIImageView>()->initWithImage(UIImage::imageNamed("logo"_ns));
    image->setContentMode(UIViewContentModeScaleAspectFit);
    addSubview(image);
    m_logo = image;

    auto spinner = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    addSubview(spinner);
    m_loading = spinner;
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
    auto text = label();
    auto toggle = s();
    auto spinner = loading();
    if (!text || !toggle || !spinner) // taken out by the owner
        return;
    switch (state) {
    case RefreshStateIdle:
        spinner->stopAnimating();
        toggle->setOn(false, true);
        text->setText("赶紧下拉吖(开关是打酱油滴)"_ns);
        break;
    case RefreshStatePulling:
        spinner->stopAnimating();
        toggle->setOn(true, true);
        text->setText("赶紧放开我吧(开关是打酱油滴)"_ns);
        break;
    case RefreshStateRefreshing:
        toggle->setOn(true, true);
        text->setText("加载数据中(开关是打酱油滴)"_ns);
        spinner->startAnimating();
        break;
    default:
        break;
    }
}

void RFDIYHeader::setPullingPercent(CGFloat pullingPercent)
{
    RFRefreshHeader::setPullingPercent(pullingPercent);
    if (auto text = label())
        text->setTextColor(UIColor::colorWithRed(1.0 - pullingPercent * 0.5, 0.5 - pullingPercent * 0.5, pullingPercent * 0.5, 1.0));
}
