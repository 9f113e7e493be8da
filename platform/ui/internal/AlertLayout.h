// The pieces alerts and action sheets are built from: wrapped centred labels, hairlines and the
// system's button colours.
#pragma once

#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"

namespace dv::internal::uikit {

// The platform's blue of alert buttons and red of destructive ones.
Ref<UIColor> alertButtonColour();
Ref<UIColor> alertDestructiveColour();
Ref<UIColor> alertHairlineColour();

// A centred label of any number of lines, `width` wide, as tall as its text; added to `parent`
// at `y`. Answers its height.
CGFloat addWrappedLabel(const Ref<UIView>& parent, const Ref<NSString>& text, const Ref<UIFont>& font, const Ref<UIColor>& colour,
    CGFloat x, CGFloat y, CGFloat width);
// A hairline (half a point) added to `parent`.
void addHairline(const Ref<UIView>& parent, CGRect frame);

} // namespace dv::internal::uikit
