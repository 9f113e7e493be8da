// UIView(KB_UIView_Hierarchy), UIWindow(KB_UIWindow_Hierarchy) and NSObject(KB_Logging): what the
// keyboard manager, its toolbar and the return-key handler ask of the view tree. Which controller
// shows a view and which one is on top of its window; the nearest ancestor of a class (passing
// over the platform's internal scroll views of table cells, table views and page views); the
// fields that can take the focus, beside a view or anywhere under it; and text forms of a view
// tree for debugging.
//
// A field "can take the focus" here (_KBcanBecomeFirstResponder) when it could become first
// responder and a person could reach it: interaction enabled, not hidden, not fully transparent,
// not a text field of an alert or a search bar, and an enabled text field or an editable text
// view. Private platform classes are looked up by name; where the platform has none of them the
// checks that need them simply never match. Nil receivers answer nil, NO or zero. Main thread only.
//
//   auto fields = sortedArrayByPosition(responderSiblings(field));
//   auto container = superviewOfClassType(field, UIScrollView::class_());
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"

class NSArray;
class UIView;
class UIViewController;
class UIWindow;

// UIView(KB_UIView_Hierarchy)
//
// YES only while _KBcanBecomeFirstResponder asks the view.
void _setIsAskingCanBecomeFirstResponder(const Ref<UIView>& view, bool asking);
bool isAskingCanBecomeFirstResponder(const Ref<UIView>& view);
// The first controller up the responder chain, starting with the view's next responder.
Ref<UIViewController> viewController(const Ref<UIView>& view);
// The controller of the window's chain (its root and what that presents) that shows the view:
// the view's own controller when it is in the chain, else the first controller up the responder
// chain from it that is; nil when none is. A window answers as topMostController(window) does.
Ref<UIViewController> topMostController(const Ref<UIView>& view);
// The nearest ancestor that is a kind of `cls`, passing over the platform's internal scroll views.
Ref<UIView> superviewOfClassType(const Ref<UIView>& view, Class cls);
bool _KBcanBecomeFirstResponder(const Ref<UIView>& view);
// The superview's subviews that can take the focus, in subview order (the view itself included
// when it can).
Ref<NSArray> responderSiblings(const Ref<UIView>& view);
// The views under `view` that can take the focus: its subviews sorted by position, each one that
// can taken as it is, each one that cannot searched in turn (depth first).
Ref<NSArray> deepResponderViews(const Ref<UIView>& view);
// The view's transform combined with its ancestors', relative to `toView`'s (nil: the window).
CGAffineTransform convertTransformToView(const Ref<UIView>& view, const Ref<UIView>& toView);
// 0 for a view without superview.
NSInteger depth(const Ref<UIView>& view);
// The view and everything under it, one line each, indented by depth.
Ref<NSString> subHierarchy(const Ref<UIView>& view);
// The view's ancestors from the top down to the view, one line each.
Ref<NSString> superHierarchy(const Ref<UIView>& view);
// "UIView: ( 10, 20, 100, 44 )", with the content size of a scroll view and a transform that is
// not the identity.
Ref<NSString> debugHierarchy(const Ref<UIView>& view);
bool isSearchBarTextField(const Ref<UIView>& view);
bool isAlertViewTextField(const Ref<UIView>& view);

// UIWindow(KB_UIWindow_Hierarchy)
//
// The root controller followed along what it presents, to the last one.
Ref<UIViewController> topMostController(const Ref<UIWindow>& window);
// topMostController, then down navigation controllers to their top controller.
Ref<UIViewController> currentViewController(const Ref<UIWindow>& window);

// NSObject(KB_Logging): "<ClassName 0x…>".
Ref<NSString> _KBDescription(const id& object);
