#include "app/directory/internal/ScreenSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"

namespace dv::internal::directory {

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

Ref<NSString> textOrEmpty(const Ref<NSString>& text) { return text ? text : ""_ns; }

} // namespace dv::internal::directory
