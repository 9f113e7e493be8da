#include "ui/toolkit/keyboard/KBBarButtonItem.h"

#include "platform/base/ClassBuilder.h"

#include "ui/toolkit/keyboard/internal/KeyboardSupport.h"

DV_DEFINE_CLASS(KBBarButtonItem)

void KBBarButtonItem::load()
{
    auto proxy = appearance();
    proxy->setTintColor(nil);
    proxy->setTitlePositionAdjustment(UIOffsetZero, UIBarMetricsDefault);
    const UIControlState states[] = { UIControlStateNormal, UIControlStateHighlighted, UIControlStateDisabled,
        UIControlStateSelected, UIControlStateApplication, UIControlStateReserved };
    std::vector<UIBarButtonItemStyle> styles { UIBarButtonItemStyleDone, UIBarButtonItemStylePlain };
    if (dv::internal::toolkit::isKeyboardNewSystem())
        styles.push_back(UIBarButtonItemStyleBordered);
    for (UIControlState state : states) {
        proxy->setTitleTextAttributes(nil, state);
        proxy->setBackgroundImage(nil, state, UIBarMetricsDefault);
        for (UIBarButtonItemStyle style : styles)
            proxy->setBackgroundImage(nil, state, style, UIBarMetricsDefault);
        proxy->setBackButtonBackgroundImage(nil, state, UIBarMetricsDefault);
    }
    proxy->setBackgroundVerticalPositionAdjustment(0, UIBarMetricsDefault);
    proxy->setBackButtonTitlePositionAdjustment(UIOffsetZero, UIBarMetricsDefault);
    proxy->setBackButtonBackgroundVerticalPositionAdjustment(0, UIBarMetricsDefault);
}
