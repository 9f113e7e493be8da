#include "app/shell/home/VQMainButton.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "ui/images/UIImageViewWebCache.h"

DV_DEFINE_CLASS(VQMainButton)

Ref<VQMainButton> VQMainButton::initWithFrame(CGRect frame, const Ref<NSString>& imageName, const Ref<NSString>& buttonName)
{
    UIView::initWithFrame(frame);
    setBackgroundColor(UIColor::whiteColor());
    const auto w = static_cast<long long>(frame.size.width);
    const auto h = static_cast<long long>(frame.size.height);

    m_iconView = alloc<UIImageView>()->initWithFrame(CGRectMake(w / 3, h / 5.5, w / 3, w / 3));
    ri_setImageWithURL(m_iconView, imageName ? NSURL::URLWithString(imageName) : nil, UIImage::imageNamed("dingdan"_ns));
    addSubview(m_iconView);

    m_titleLabel = alloc<UILabel>()->initWithFrame(CGRectMake(10, (2 * h) / 3, w - 20, 20));
    m_titleLabel->setText(buttonName);
    m_titleLabel->setFont(UIFont::systemFontOfSize(14));
    m_titleLabel->setTextColor(UIColor::colorWithRed(53 / 255.0, 52 / 255.0, 52 / 255.0, 1));
    m_titleLabel->setTextAlignment(NSTextAlignmentCenter);
    addSubview(m_titleLabel);

    m_btn = UIButton::buttonWithType(UIButtonTypeCustom);
    m_btn->setFrame(CGRectMake(0, 0, w, h));
    m_btn->setBackgroundColor(UIColor::clearColor());
    addSubview(m_btn);
    return self<VQMainButton>();
}
