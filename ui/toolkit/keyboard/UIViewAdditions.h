// UIView(Additions), UIScrollView(Additions) and UIViewController(Additions): settings a screen
// may hang on its views and controllers for the keyboard manager, held as associated objects.
//
// - keyboardDistanceFromTextField: the gap this field keeps above the keyboard. Never set, it
//   reads as kKBUseManagerDistance and the manager's own distance applies. Stored in single
//   precision, never below 0; a value beyond single precision's range means "not set".
// - shouldRestoreScrollViewContentOffset: the scroll view gets its content offset back when the
//   keyboard goes away (NO when never set).
// - KBLayoutGuideConstraint: a constraint tying a view to the controller's top or bottom layout
//   guide; the manager changes its constant instead of moving the controller's view.
// Main thread only.
//
//   setKeyboardDistanceFromTextField(field, 0);  // sits right on the keyboard
#pragma once

#include "platform/base/NSObject.h"

#include <limits>

class NSLayoutConstraint;
class UIScrollView;
class UIView;
class UIViewController;

// What keyboardDistanceFromTextField reads when the view has no distance of its own.
inline constexpr double kKBUseManagerDistance = std::numeric_limits<double>::max();

// UIView(Additions)
double keyboardDistanceFromTextField(const Ref<UIView>& view);
void setKeyboardDistanceFromTextField(const Ref<UIView>& view, double distance);

// UIScrollView(Additions)
bool shouldRestoreScrollViewContentOffset(const Ref<UIScrollView>& scrollView);
void setShouldRestoreScrollViewContentOffset(const Ref<UIScrollView>& scrollView, bool restore);

// UIViewController(Additions)
Ref<NSLayoutConstraint> KBLayoutGuideConstraint(const Ref<UIViewController>& controller);
void setKBLayoutGuideConstraint(const Ref<UIViewController>& controller, const Ref<NSLayoutConstraint>& constraint);
