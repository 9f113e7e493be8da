// Small pieces the information screens share: the window that hosts the application's overlays,
// the layout step that keeps a screen's view below the bars, and the recurring colours.
// Main thread only.
//
//   dv::app::layOutBelowBars(*this);
//   view()->setBackgroundColor(dv::app::pageBackgroundColor());
//   PHProgressHUD::showMessag("正在加载"_ns, dv::app::applicationWindow());
#pragma once

#include "platform/base/Geometry.h"

class UIColor;
class UIViewController;
class UIWindow;

namespace dv::app {

// The height the status bar and the navigation bar take together at the top of every screen
// (20 + 44), and that of the bar of buttons some screens keep at their bottom, in points.
inline constexpr CGFloat kTopBarsHeight = 64;
inline constexpr CGFloat kBottomBarHeight = 49;

// The application delegate's window, nil while there is none.
Ref<UIWindow> applicationWindow();

// Whether the system's version is `version` ("6.0") or later, compared number by number.
bool systemVersionAtLeast(const char* version);

// On system version 7.0 and later: the view is laid out on every edge but the top, so it starts
// below the navigation bar, and not under opaque bars.
void layOutBelowBars(UIViewController& screen);

// Red, green and blue on the 0 to 255 scale, alpha 1.
Ref<UIColor> rgb(int red, int green, int blue);
// The grey of the information pages' background (238, 238, 238).
Ref<UIColor> pageBackgroundColor();
// The body text's colour (53, 52, 52).
Ref<UIColor> bodyTextColor();

} // namespace dv::app
