// What the directory's screens share: colours, fonts, the screen's measures, the system version
// test and the window that hosts the application's overlays.
#pragma once

#include "platform/base/Geometry.h"

class NSString;
class UIButton;
class UIColor;
class UIFont;
class UIWindow;

namespace dv::internal {

// A colour from red, green and blue on a 0 to 255 scale, opaque.
Ref<UIColor> rgb(int red, int green, int blue);
// (238, 238, 238): page backgrounds and the lines between rows.
Ref<UIColor> pageBackgroundColor();
// (53, 52, 52): body text.
Ref<UIColor> bodyTextColor();
Ref<UIFont> systemFont(CGFloat size);

// The main screen's bounds: W and H, in points.
CGFloat screenWidth();
CGFloat screenHeight();

// The screens' action button: white text in the system font of 15 on (131, 162, 251), the corners
// rounded by `cornerRadius` and clipped, `action` sent to `target` on touch-up-inside.
Ref<UIButton> actionButton(CGRect frame, const Ref<NSString>& title, CGFloat cornerRadius, const id& target, SEL action);

// Whether the system is 7.0 or later (numeric comparison of the version text).
bool systemIsAtLeast7();

// The application delegate's window, which carries the overlays of first loads (the server
// client hides every overlay on it when a request fails); nil without one.
Ref<UIWindow> applicationWindow();

// A text as it stands, or the empty text for nil: what goes into form fields and labels when the
// server left a value out.
Ref<NSString> textOrEmpty(const Ref<NSString>& text);

} // namespace dv::internal
