// UINavigationController: a stack of screens under a navigation bar. It owns its controllers
// (its children, bottom first) and shows the top one's view, with the bar showing the stack's
// navigation items. A screen's view is placed at (0, 64, W, H − 64) under a shown bar, at
// (0, 0, W, H) when the bar is hidden or when the screen extends its layout under the bar (top
// edge in edgesForExtendedLayout, and a translucent bar or extendedLayoutIncludesOpaqueBars).
//
// pushViewController is virtual: a subclass overrides it (for instance to give every pushed screen
// a back item) and calls this one. The pushed screen's view loads only when the transition starts,
// after the override has run. Animated transitions take 0.35 s on the clock (isTransitioning
// meanwhile); a push or pop asked for during one first completes it. Non-animated ones complete
// at once. The bar's back button and the interactive pop recogniser (a pan from the left edge,
// or any pan whose actions are forwarded to handleNavigationTransition) pop the top screen. A
// stack changed while the controller's view is not shown takes effect without callbacks; the top
// screen appears when the view does. Main thread only.
//
//   auto navigation = alloc<UINavigationController>()->initWithRootViewController(home);
//   window->setRootViewController(navigation);
//   navigation->pushViewController(detail, true);
#pragma once

#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UIViewController.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class UIPanGestureRecognizer;
class UIScreenEdgePanGestureRecognizer;

// The delegate protocol; every method is optional (false: not implemented).
class UINavigationControllerDelegate {
public:
    virtual ~UINavigationControllerDelegate() = default;
    virtual bool navigationControllerWillShowViewControllerAnimated(const Ref<UINavigationController>&, const Ref<UIViewController>&, bool) { return false; }
    virtual bool navigationControllerDidShowViewControllerAnimated(const Ref<UINavigationController>&, const Ref<UIViewController>&, bool) { return false; }
};

// How long the bar takes to hide or show when animated.
inline constexpr NSTimeInterval UINavigationControllerHideShowBarDuration = 0.2;

class UINavigationController : public UIViewController, public UIGestureRecognizerDelegate, public UINavigationBarDelegate {
    DV_CLASS(UINavigationController, UIViewController)

    UINavigationController() = default;
    Ref<UINavigationController> init();
    Ref<UINavigationController> initWithRootViewController(const Ref<UIViewController>& root);

    Ref<NSArray> viewControllers() const { return childViewControllers(); }
    void setViewControllers(const Ref<NSArray>& controllers);
    void setViewControllers(const Ref<NSArray>& controllers, bool animated);
    Ref<UIViewController> topViewController() const;
    // The top controller, or what it (or this controller) presents.
    Ref<UIViewController> visibleViewController() const;

    // Pushing nil, a controller already in the stack, or a navigation controller raises, as on
    // the platform.
    virtual void pushViewController(const Ref<UIViewController>& controller, bool animated);
    // nil when only the root is left.
    virtual Ref<UIViewController> popViewControllerAnimated(bool animated);
    virtual Ref<NSArray> popToRootViewControllerAnimated(bool animated);
    virtual Ref<NSArray> popToViewController(const Ref<UIViewController>& controller, bool animated);

    Ref<UINavigationBar> navigationBar();
    bool isNavigationBarHidden() const { return m_navigationBarHidden; }
    void setNavigationBarHidden(bool hidden);
    void setNavigationBarHidden(bool hidden, bool animated);

    Ref<UINavigationControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UINavigationControllerDelegate>& delegate) { m_delegate = delegate; }

    // The back swipe: a left-edge pan on this controller's view that begins only with two or more
    // screens on the stack and no transition running. Another pan may drive the same transition by
    // sending its actions to handleNavigationTransition (selector "handleNavigationTransition:").
    Ref<UIGestureRecognizer> interactivePopGestureRecognizer();
    void handleNavigationTransition(const Ref<UIPanGestureRecognizer>& pan);
    bool isTransitioning() const { return m_transition.has_value(); }

    // Process-wide hooks run at the start of the platform's push (after a subclass's own steps),
    // in the order they were added; a hook that answers NO stops the push.
    using PushHook = std::function<bool(const Ref<UINavigationController>& navigation, const Ref<UIViewController>& controller, bool animated)>;
    static std::uint64_t addPushHook(PushHook hook);
    static void removePushHook(std::uint64_t token);

    void loadView() override;

    std::optional<bool> gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer) override;
    std::optional<bool> navigationBarShouldPopItem(const Ref<UINavigationBar>& bar, const Ref<UINavigationItem>& item) override;

protected:
    std::vector<Ref<UIViewController>> childrenForAppearance() const override;

private:
    void prepareChildrenForAppearance(bool appearing) override;
    std::optional<CGRect> handleFrameForChild(const Ref<UIViewController>& child) const override { return handleContentFrame(child); }

private:
    friend class UIViewController;
    friend class UINavigationContainerView;

    enum class Kind { push, pop };
    struct Transition {
        Kind kind = Kind::push;
        Ref<UIViewController> from;
        Ref<UIViewController> to;
        std::vector<Ref<UIViewController>> removed; // popped: leave the stack when it ends
        bool animated = false;
        bool interactive = false; // the finger still drives it
        bool cancelling = false;  // released short of popping: going back
        std::uint64_t id = 0;
    };

    bool handleIsShown() const;
    CGRect handleContentFrame(const Ref<UIViewController>& controller) const;
    void handleLayoutContent();
    void handleSyncBar();
    void handleStart(Kind kind, const Ref<UIViewController>& from, const Ref<UIViewController>& to,
        std::vector<Ref<UIViewController>> removed, bool animated);
    void handleComplete(std::uint64_t id);
    void handleCompleteNow();
    void handleCancelInteractive(std::uint64_t id);
    void handleRemovePopped(const std::vector<Ref<UIViewController>>& removed);
    void handleInteractiveChanged(CGFloat progress);
    void handleInteractiveEnded(bool finish, CGFloat progress);
    void handleDidShow(const Ref<UIViewController>& controller, bool animated);

    Ref<UINavigationBar> m_navigationBar;
    Ref<UIScreenEdgePanGestureRecognizer> m_popRecognizer;
    Weak<UINavigationControllerDelegate> m_delegate;
    std::optional<Transition> m_transition;
    std::uint64_t m_nextTransition = 1;
    bool m_navigationBarHidden = false;
};
