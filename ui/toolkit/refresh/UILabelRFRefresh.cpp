#include "ui/toolkit/refresh/UILabelRFRefresh.h"

#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"

void dv::internal::toolkit::applyRefreshLabelLook(UILabel& label)
{
    label.setFont(UIFont::boldSystemFontOfSize(14));
    label.setTextColor(UIColor::colorWithRed(90 / 255.0, 90 / 255.0, 90 / 255.0, 1.0));
    label.setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    label.setTextAlignment(NSTextAlignmentCenter);
    label.setBackgroundColor(UIColor::clearColor());
}
