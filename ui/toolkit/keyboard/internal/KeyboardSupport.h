// What the keyboard manager and its toolbar share: the system they run on, the window rectangle
// of a view, and the resource bundle of their images.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"

#include <optional>

class NSString;
class UIImage;
class UITextInputTraits;
class UIView;
class UIWindow;

namespace dv::internal::toolkit {

// Systems after the seventh (Foundation version above 1047.25): the keyboard manager moves only
// the origin of a view and works in portrait, and the toolbar finds its images in its bundle.
bool isKeyboardNewSystem();
// The view's frame converted from its superview to `window`; the zero rectangle without superview.
CGRect windowRectOfView(const Ref<UIView>& view, const Ref<UIWindow>& window);
// The view's placeholder when it has one to give (text fields, and views of classes that
// register a "placeholder" property); nullopt when it has none, which differs from a nil one.
std::optional<Ref<NSString>> placeholderOfView(const Ref<UIView>& view);
// The view's input traits (input accessory view, keyboard appearance) when it takes an input
// accessory view; null otherwise.
UITextInputTraits* inputTraitsOfView(const Ref<UIView>& view);
// "KBButtonBarArrowLeft" or "KBButtonBarArrowRight" from "KBKeyboardManager.bundle".
Ref<UIImage> keyboardToolbarImage(const char* name);

} // namespace dv::internal::toolkit
