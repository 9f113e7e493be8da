#include "ui/toolkit/refresh/internal/DIYParts.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISwitch.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

namespace dv::internal::toolkit {

void DIYParts::make(UIView& host, Logo logo)
{
    setRf_h(&host, 50);

    auto text = alloc<UILabel>()->init();
    text->setTextColor(UIColor::colorWithRed(1.0, 0.5, 0.0, 1.0));
    text->setFont(UIFont::boldSystemFontOfSize(16));
    text->setTextAlignment(NSTextAlignmentCenter);
    host.addSubview(text);
    m_label = text;

    auto toggle = alloc<UISwitch>()->init();
    host.addSubview(toggle);
    m_switch = toggle;

    if (logo == Logo::Shown) {
        auto image = alloc<UIImageView>()->initWithImage(UIImage::imageNamed("logo"_ns));
        image->setContentMode(UIViewContentModeScaleAspectFit);
        host.addSubview(image);
        m_logo = image;
    }

    auto spinner = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    host.addSubview(spinner);
    m_spinner = spinner;
}

Ref<UILabel> DIYParts::label() const { return m_label.lock(); }
Ref<UISwitch> DIYParts::toggle() const { return m_switch.lock(); }
Ref<UIImageView> DIYParts::logo() const { return m_logo.lock(); }
Ref<UIActivityIndicatorView> DIYParts::spinner() const { return m_spinner.lock(); }

void DIYParts::show(RefreshState state, const Texts& texts) const
{
    auto text = label();
    auto toggle = this->toggle();
    auto spinner = this->spinner();
    if (!text || !toggle || !spinner) // taken out by the owner
        return;
    // The spinner turns only while refreshing; the switch is on while pulling or refreshing.
    auto showAs = [&](const char* words, bool on, bool turning) {
        text->setText(NSString::fromUTF8(words));
        toggle->setOn(on, true);
        if (turning)
            spinner->startAnimating();
        else
            spinner->stopAnimating();
    };
    switch (state) {
    case RefreshStateIdle:
        if (texts.idle)
            showAs(texts.idle, false, false);
        break;
    case RefreshStatePulling:
        if (texts.pulling)
            showAs(texts.pulling, true, false);
        break;
    case RefreshStateRefreshing:
        showAs("加载数据中(开关是打酱油滴)", true, true);
        break;
    case RefreshStateNoMoreData:
        if (texts.noMoreData)
            showAs(texts.noMoreData, false, false);
        break;
    default:
        break;
    }
}

void DIYParts::colourForPull(CGFloat pullingPercent) const
{
    if (auto text = label())
        text->setTextColor(UIColor::colorWithRed(1.0 - pullingPercent * 0.5, 0.5 - pullingPercent * 0.5, pullingPercent * 0.5, 1.0));
}

} // namespace dv::internal::toolkit
