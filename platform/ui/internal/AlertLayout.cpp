#include "platform/ui/internal/AlertLayout.h"

#include "platform/base/NSArray.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UIScrollView.h"

#include <algorithm>
#include <cmath>

namespace dv::internal::uikit {

Ref<UIColor> alertButtonColour() { return UIColor::colorWithRed(0, 122.0 / 255, 1, 1); }
Ref<UIColor> alertDestructiveColour() { return UIColor::colorWithRed(1, 59.0 / 255, 48.0 / 255, 1); }
Ref<UIColor> alertHairlineColour() { return UIColor::colorWithWhite(0.78, 1); }

CGFloat addWrappedLabel(const Ref<UIView>& parent, const Ref<NSString>& text, const Ref<UIFont>& font, const Ref<UIColor>& colour,
    CGFloat x, CGFloat y, CGFloat width)
{
    auto label = alloc<UILabel>()->init();
    label->setText(text);
    label->setFont(font);
    label->setTextColor(colour);
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setNumberOfLines(0);
    const CGFloat height = std::ceil(label->sizeThatFits(CGSizeMake(width, 10000)).height);
    label->setFrame(CGRectMake(x, y, width, height));
    parent->addSubview(label);
    return height;
}

void addHairline(const Ref<UIView>& parent, CGRect frame)
{
    auto line = alloc<UIView>()->initWithFrame(frame);
    line->setBackgroundColor(alertHairlineColour());
    line->setUserInteractionEnabled(false);
    parent->addSubview(line);
}

CGRect alertOpenArea(CGRect windowBounds)
{
    // The window stands at the screen's origin, as the status bar and the keyboard are placed.
    const CGFloat top
        = std::max(CGRectGetMinY(windowBounds), CGRectGetMaxY(UIApplication::sharedApplication()->statusBarFrame()));
    CGFloat bottom = CGRectGetMaxY(windowBounds);
    if (dv::isKeyboardVisible())
        bottom = std::min(bottom, CGRectGetMinY(dv::keyboardFrame()));
    return CGRectMake(windowBounds.origin.x, top, windowBounds.size.width, std::max<CGFloat>(bottom - top, 0));
}

Ref<UIScrollView> scrollBand(const Ref<UIView>& container, CGRect band, CGFloat visibleHeight)
{
    const CGFloat top = CGRectGetMinY(band), bottom = CGRectGetMaxY(band);
    auto scroll = alloc<UIScrollView>()->initWithFrame(CGRectMake(band.origin.x, top, band.size.width, visibleHeight));
    scroll->setContentSize(CGSizeMake(band.size.width, band.size.height));
    scroll->setBackgroundColor(UIColor::clearColor());
    const CGFloat lift = band.size.height - visibleHeight;
    const auto subviews = container->subviews();
    for (auto& item : subviews->items()) {
        auto view = std::static_pointer_cast<UIView>(item);
        CGRect frame = view->frame();
        if (frame.origin.y >= bottom) {
            frame.origin.y -= lift;
            view->setFrame(frame);
        } else if (frame.origin.y >= top) {
            frame.origin.y -= top;
            frame.origin.x -= band.origin.x;
            scroll->addSubview(view);
            view->setFrame(frame);
        }
    }
    container->addSubview(scroll);
    return scroll;
}

} // namespace dv::internal::uikit
