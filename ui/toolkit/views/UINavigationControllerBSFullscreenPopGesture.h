// The full-screen back swipe, and each screen's say over the navigation bar.
//
// The platform lets the user go back by a pan from the very left edge. Once installed
// (dv::installFullscreenPopGesture, once per process), every navigation controller takes the
// back pan from anywhere on its view: on its first push it puts a one-finger pan recogniser of
// its own beside the edge recogniser, sends that pan to the controller's own interactive pop
// (handleNavigationTransition) and switches the edge recogniser off. A screen may refuse the pan
// or limit where it starts (UIViewController settings below). Every screen pushed also gets a
// will-appear block that shows or hides the bar as the screen prefers when it appears, going
// back included; with the defaults every screen shows the bar.
//
// The settings are associated objects of the controllers, owned by them; the recogniser and its
// delegate are owned by the navigation controller (the recogniser also by its view). Main thread
// only.
//
//   dv::installFullscreenPopGesture();                    // once, at start
//   setBs_prefersNavigationBarHidden(photoScreen, true);
//   setBs_interactivePopMaxAllowedInitialDistanceToLeftEdge(mapScreen, 40);
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"

#include <functional>

class UINavigationController;
class UIPanGestureRecognizer;
class UIViewController;
class _BSFullscreenPopGestureRecognizerDelegate;

// UIViewController(BSFullscreenPopGesture): what a screen asks for while it is on top.
// NO unless set: the full-screen pan does not begin while this screen is on top when YES.
bool bs_interactivePopDisabled(const Ref<UIViewController>& controller);
void setBs_interactivePopDisabled(const Ref<UIViewController>& controller, bool disabled);
// NO unless set: the bar is hidden while this screen appears when YES.
bool bs_prefersNavigationBarHidden(const Ref<UIViewController>& controller);
void setBs_prefersNavigationBarHidden(const Ref<UIViewController>& controller, bool hidden);
// 0 unless set (no limit): when above 0 the pan must start at most this far from the left edge.
// A negative distance is stored as 0.
CGFloat bs_interactivePopMaxAllowedInitialDistanceToLeftEdge(const Ref<UIViewController>& controller);
void setBs_interactivePopMaxAllowedInitialDistanceToLeftEdge(const Ref<UIViewController>& controller, CGFloat distance);

// UIViewController(BSFullscreenPopGesturePrivate): what runs after the platform's viewWillAppear
// of a screen, owned by the screen (empty when none).
using BSViewControllerWillAppearInjectBlock = std::function<void(const Ref<UIViewController>& controller, bool animated)>;
BSViewControllerWillAppearInjectBlock bs_willAppearInjectBlock(const Ref<UIViewController>& controller);
void setBs_willAppearInjectBlock(const Ref<UIViewController>& controller, BSViewControllerWillAppearInjectBlock block);

// UINavigationController(BSFullscreenPopGesture).
// The full-screen pan (at most one finger), made on first use and kept.
Ref<UIPanGestureRecognizer> bs_fullscreenPopGestureRecognizer(const Ref<UINavigationController>& navigation);
// YES unless set to NO (the first read stores YES): whether pushed screens get the bar they prefer.
bool bs_viewControllerBasedNavigationBarAppearanceEnabled(const Ref<UINavigationController>& navigation);
void setBs_viewControllerBasedNavigationBarAppearanceEnabled(const Ref<UINavigationController>& navigation, bool enabled);
// The pan's delegate, made on first use and kept.
Ref<_BSFullscreenPopGestureRecognizerDelegate> bs_popGestureRecognizerDelegate(const Ref<UINavigationController>& navigation);
// Gives `appearing` (and the current top screen, when it has none yet) the will-appear block that
// sets the bar as the screen prefers; nothing when the navigation controller does not do so.
void bs_setupViewControllerBasedNavigationBarAppearanceIfNeeded(const Ref<UINavigationController>& navigation,
    const Ref<UIViewController>& appearing);

namespace dv {
// Hooks the full-screen pan into every push of every navigation controller, and the will-appear
// blocks into every viewWillAppear. Once per process (later calls do nothing); the application's
// entry calls it, and tests.
void installFullscreenPopGesture();
} // namespace dv
