#include "ui/toolkit/views/UINavigationControllerBSFullscreenPopGesture.h"

#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSNumber.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UIView.h"
#include "ui/toolkit/views/_BSFullscreenPopGestureRecognizerDelegate.h"

#include <algorithm>
#include <mutex>

namespace {

// One key each, by address.
const char kInteractivePopDisabledKey = 0;
const char kPrefersNavigationBarHiddenKey = 0;
const char kMaxAllowedInitialDistanceKey = 0;
const char kWillAppearInjectBlockKey = 0;
const char kFullscreenPopGestureRecognizerKey = 0;
const char kBarAppearanceEnabledKey = 0;
const char kPopGestureRecognizerDelegateKey = 0;

Ref<NSNumber> number(const Ref<NSObject>& object, const void* key) { return dv::as<NSNumber>(objc_getAssociatedObject(object, key)); }

bool boolValue(const Ref<NSObject>& object, const void* key)
{
    auto value = number(object, key);
    return value && value->boolValue();
}

void store(const Ref<NSObject>& object, const void* key, const id& value)
{
    objc_setAssociatedObject(object, key, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

// The object kept under `key`, made by `make` and kept on first use.
template <class T, class Make>
Ref<T> keptObject(const Ref<NSObject>& owner, const void* key, Make make)
{
    if (!owner)
        return nil;
    if (auto kept = dv::as<T>(objc_getAssociatedObject(owner, key)))
        return kept;
    Ref<T> made = make();
    store(owner, key, made);
    return made;
}

bool contains(const Ref<NSArray>& list, const id& object) { return list && list->containsObject(object); }

// The platform's push, after a subclass's own steps: the first push of each navigation controller
// moves the back pan from the edge recogniser to the full-screen one. A screen that is already on
// the stack is not pushed again.
bool bs_pushViewController(const Ref<UINavigationController>& navigation, const Ref<UIViewController>& controller, bool)
{
    auto edgeRecognizer = navigation->interactivePopGestureRecognizer();
    auto view = edgeRecognizer ? edgeRecognizer->view() : nil;
    auto pan = bs_fullscreenPopGestureRecognizer(navigation);
    if (view && !contains(view->gestureRecognizers(), pan)) {
        view->addGestureRecognizer(pan);
        pan->setDelegate(bs_popGestureRecognizerDelegate(navigation));
        // The navigation controller's own transition handler drives the pop, as for the edge pan.
        pan->addTarget(navigation, "handleNavigationTransition:");
        edgeRecognizer->setEnabled(false);
    }
    bs_setupViewControllerBasedNavigationBarAppearanceIfNeeded(navigation, controller);
    return !contains(navigation->viewControllers(), controller);
}

// After the platform's viewWillAppear of every controller.
void bs_viewWillAppear(const Ref<UIViewController>& controller, bool animated)
{
    if (auto block = bs_willAppearInjectBlock(controller))
        block(controller, animated);
}

} // namespace

bool bs_interactivePopDisabled(const Ref<UIViewController>& controller)
{
    return boolValue(controller, &kInteractivePopDisabledKey);
}

void setBs_interactivePopDisabled(const Ref<UIViewController>& controller, bool disabled)
{
    store(controller, &kInteractivePopDisabledKey, NSNumber::numberWithBool(disabled));
}

bool bs_prefersNavigationBarHidden(const Ref<UIViewController>& controller)
{
    return boolValue(controller, &kPrefersNavigationBarHiddenKey);
}

void setBs_prefersNavigationBarHidden(const Ref<UIViewController>& controller, bool hidden)
{
    store(controller, &kPrefersNavigationBarHiddenKey, NSNumber::numberWithBool(hidden));
}

CGFloat bs_interactivePopMaxAllowedInitialDistanceToLeftEdge(const Ref<UIViewController>& controller)
{
    auto value = number(controller, &kMaxAllowedInitialDistanceKey);
    return value ? value->doubleValue() : 0;
}

void setBs_interactivePopMaxAllowedInitialDistanceToLeftEdge(const Ref<UIViewController>& controller, CGFloat distance)
{
    store(controller, &kMaxAllowedInitialDistanceKey, NSNumber::numberWithDouble(std::max<CGFloat>(0, distance)));
}

BSViewControllerWillAppearInjectBlock bs_willAppearInjectBlock(const Ref<UIViewController>& controller)
{
    auto holder = dv::as<NSBlock>(objc_getAssociatedObject(controller, &kWillAppearInjectBlockKey));
    auto* block = holder ? holder->function<BSViewControllerWillAppearInjectBlock>() : nullptr;
    return block ? *block : BSViewControllerWillAppearInjectBlock();
}

void setBs_willAppearInjectBlock(const Ref<UIViewController>& controller, BSViewControllerWillAppearInjectBlock block)
{
    // The holder keeps its own copy of the function: retaining it is copying the block.
    objc_setAssociatedObject(controller, &kWillAppearInjectBlockKey, block ? NSBlock::withFunction(std::move(block)) : nil,
        OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<UIPanGestureRecognizer> bs_fullscreenPopGestureRecognizer(const Ref<UINavigationController>& navigation)
{
    return keptObject<UIPanGestureRecognizer>(navigation, &kFullscreenPopGestureRecognizerKey, [] {
        auto pan = alloc<UIPanGestureRecognizer>();
        pan->init();
        pan->setMaximumNumberOfTouches(1);
        return pan;
    });
}

bool bs_viewControllerBasedNavigationBarAppearanceEnabled(const Ref<UINavigationController>& navigation)
{
    if (!navigation)
        return false;
    if (auto value = number(navigation, &kBarAppearanceEnabledKey))
        return value->boolValue();
    setBs_viewControllerBasedNavigationBarAppearanceEnabled(navigation, true);
    return true;
}

void setBs_viewControllerBasedNavigationBarAppearanceEnabled(const Ref<UINavigationController>& navigation, bool enabled)
{
    store(navigation, &kBarAppearanceEnabledKey, NSNumber::numberWithBool(enabled));
}

Ref<_BSFullscreenPopGestureRecognizerDelegate> bs_popGestureRecognizerDelegate(const Ref<UINavigationController>& navigation)
{
    return keptObject<_BSFullscreenPopGestureRecognizerDelegate>(navigation, &kPopGestureRecognizerDelegateKey, [&] {
        auto delegate = alloc<_BSFullscreenPopGestureRecognizerDelegate>();
        delegate->init();
        delegate->setNavigationController(navigation);
        return delegate;
    });
}

void bs_setupViewControllerBasedNavigationBarAppearanceIfNeeded(const Ref<UINavigationController>& navigation,
    const Ref<UIViewController>& appearing)
{
    if (!appearing || !bs_viewControllerBasedNavigationBarAppearanceEnabled(navigation))
        return;
    Weak<UINavigationController> weakNavigation = navigation;
    BSViewControllerWillAppearInjectBlock block = [weakNavigation](const Ref<UIViewController>& controller, bool animated) {
        if (auto strong = weakNavigation.lock())
            strong->setNavigationBarHidden(bs_prefersNavigationBarHidden(controller), animated);
    };
    setBs_willAppearInjectBlock(appearing, block);
    // The screen below gets the same block, so that going back to it restores its preference.
    auto stack = navigation->viewControllers();
    auto top = stack ? dv::as<UIViewController>(stack->lastObject()) : nil;
    if (top && !bs_willAppearInjectBlock(top))
        setBs_willAppearInjectBlock(top, block);
}

void dv::installFullscreenPopGesture()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        UIViewController::addViewWillAppearHook(bs_viewWillAppear);
        UINavigationController::addPushHook(bs_pushViewController);
    });
}
