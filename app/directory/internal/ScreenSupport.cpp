#include "app/directory/internal/ScreenSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/system/UIDevice.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIWindow.h"

namespace dv::internal {

Ref<UIColor> rgb(int red, int green, int blue) { return UIColor::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, 1); }

Ref<UIColor> pageBackgroundColor() { return rgb(238, 238, 238); }

Ref<UIColor> bodyTextColor() { return rgb(53, 52, 52); }

Ref<UIFont> systemFont(CGFloat size) { return UIFont::systemFontOfSize(size); }

CGFloat screenWidth() { return UIScreen::mainScreen()->bounds().size.width; }

CGFloat screenHeight() { return UIScreen::mainScreen()->bounds().size.height; }

Ref<UIButton> actionButton(CGRect frame, const Ref<NSString>& title, CGFloat cornerRadius, const id& target, SEL action)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    button->titleLabel()->setFont(systemFont(15));
    button->setBackgroundColor(rgb(131, 162, 251));
    button->layer()->setCornerRadius(cornerRadius);
    button->layer()->setMasksToBounds(true);
    button->addTarget(target, action, UIControlEventTouchUpInside);
    return button;
}

bool systemIsAtLeast7()
{
    auto version = UIDevice::currentDevice()->systemVersion();
    return version && version->compare("7.0"_ns, NSNumericSearch) != NSOrderedAscending;
}

Ref<UIWindow> applicationWindow()
{
    auto application = UIApplication::sharedApplication();
    auto delegate = application ? application->delegate() : nil;
    return delegate ? delegate->window() : nil;
}

Ref<NSString> textOrEmpty(const Ref<NSString>& text) { return text ? text : ""_ns; }

} // namespace dv::internal
