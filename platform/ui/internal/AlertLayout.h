// The pieces alerts and action sheets are built from: wrapped centred labels, hairlines and the
// system's button colours; and what keeps a tall one on the screen: the part of the window it may
// cover, and the scroll view its middle becomes when it is taller than that.
#pragma once

#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"

class UIScrollView;

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

// The part of a window of `windowBounds` that a person sees uncovered: below the status bar and,
// while the keyboard shows, above it.
CGRect alertOpenArea(CGRect windowBounds);

// Makes a band of `container` (its own coordinates) scroll within `visibleHeight`: the subviews
// that begin in the band move into a new scroll view at the band's top, as wide as the band and
// `visibleHeight` tall, whose content is the band; those that begin below it move up by what the
// band lost. Answers the scroll view, which shows the band's top.
Ref<UIScrollView> scrollBand(const Ref<UIView>& container, CGRect band, CGFloat visibleHeight);

} // namespace dv::internal::uikit
