#include "platform/ui/internal/AlertLayout.h"

#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"

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

} // namespace dv::internal::uikit
