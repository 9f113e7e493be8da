// What the directory's screens share: the shell's colours, layout below the bars and overlay
// window, and fonts, the screen's measures and the action button of their own.
#pragma once

#include "app/shell/navigation/ScreenSupport.h"
#include "platform/base/Geometry.h"

class NSString;
class UIButton;
class UIFont;

namespace dv::internal::directory {

using dv::app::applicationWindow;
using dv::app::bodyTextColor;
using dv::app::kBottomBarHeight;
using dv::app::kTopBarsHeight;
using dv::app::pageBackgroundColor; // also the lines between rows
using dv::app::rgb;

Ref<UIFont> systemFont(CGFloat size);

// The main screen's bounds: W and H, in points.
CGFloat screenWidth();
CGFloat screenHeight();

// The screens' action button: white text in the system font of 15 on (131, 162, 251), the corners
// rounded by `cornerRadius` and clipped, `action` sent to `target` on touch-up-inside.
Ref<UIButton> actionButton(CGRect frame, const Ref<NSString>& title, CGFloat cornerRadius, const id& target, SEL action);

// A text as it stands, or the empty text for nil: what goes into form fields and labels when the
// server left a value out.
Ref<NSString> textOrEmpty(const Ref<NSString>& text);

} // namespace dv::internal::directory
