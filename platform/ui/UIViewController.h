// UIViewController: manages one screen's view. The view is made on first use (loadView, then
// viewDidLoad, once) and owned by the controller; its next responder is the controller. The view
// loadView makes has, from the start, the frame its container will give it (a navigation
// controller's child starts below an opaque bar), else the screen's bounds. A
// controller owns its child controllers (navigation stacks, containers) and the controller it
// presents; its parent and presenter are weak links.
//
// Appearance callbacks come in the platform's order, with `animated` as the transition was
// asked for; the "did" calls come when an animated transition ends on the clock:
//   push:     old viewWillDisappear, new viewWillAppear, old viewDidDisappear, new viewDidAppear
//   pop:      the same with the two roles swapped
//   present:  presenter viewWillDisappear, presented viewWillAppear, presented viewDidAppear,
//             presenter viewDidDisappear (the presenter hears nothing for the "over" styles)
//   dismiss:  presented viewWillDisappear, presenter viewWillAppear, presenter viewDidAppear,
//             presented viewDidDisappear
// A window's root controller appears when the window shows (viewDidAppear at the end of that
// run-loop turn) and disappears when it is replaced. Children whose views are inside their
// parent's view hear what their parent hears. Main thread only.
//
//   class Screen : public UIViewController {
//       void viewDidLoad() override { UIViewController::viewDidLoad(); setTitle("详情"_ns); ... }
//   };
//   navigationController()->pushViewController(alloc<Screen>()->init(), true);
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIResponder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class NSNotification;
class UINavigationController;
class UINavigationItem;

using UIRectEdge = NSUInteger;
enum : UIRectEdge {
    UIRectEdgeNone = 0,
    UIRectEdgeTop = 1 << 0,
    UIRectEdgeLeft = 1 << 1,
    UIRectEdgeBottom = 1 << 2,
    UIRectEdgeRight = 1 << 3,
    UIRectEdgeAll = 15,
};

enum UIModalPresentationStyle : NSInteger {
    UIModalPresentationFullScreen = 0,
    UIModalPresentationPageSheet = 1,
    UIModalPresentationFormSheet = 2,
    UIModalPresentationCurrentContext = 3,
    UIModalPresentationCustom = 4,
    UIModalPresentationOverFullScreen = 5,
    UIModalPresentationOverCurrentContext = 6,
    UIModalPresentationPopover = 7,
    UIModalPresentationNone = -1,
};

enum UIModalTransitionStyle : NSInteger {
    UIModalTransitionStyleCoverVertical = 0,
    UIModalTransitionStyleFlipHorizontal = 1,
    UIModalTransitionStyleCrossDissolve = 2,
    UIModalTransitionStylePartialCurl = 3,
};

// What a controller's topLayoutGuide and bottomLayoutGuide answer: how far the bars above (or
// below) reach into its view. Constraints may name a guide as an item.
class UIViewControllerLayoutGuide : public NSObject {
    DV_CLASS(UIViewControllerLayoutGuide, NSObject)

    UIViewControllerLayoutGuide() = default;
    CGFloat length() const { return m_length; }

private:
    friend class UIViewController;
    CGFloat m_length = 0;
};

class UIViewController : public UIResponder {
    DV_CLASS(UIViewController, UIResponder)

    UIViewController() = default;
    ~UIViewController() override;
    Ref<UIViewController> init();

    // The view, loaded on first use.
    Ref<UIView> view();
    void setView(const Ref<UIView>& view);
    bool isViewLoaded() const { return m_view != nullptr; }
    Ref<UIView> viewIfLoaded() const { return m_view; }
    void loadViewIfNeeded();
    // Makes the view; the default is a plain view of the main screen's bounds that resizes with
    // its superview. An override sets the view and does not call this one.
    virtual void loadView();
    virtual void viewDidLoad();
    // Around each layout of the view.
    virtual void viewWillLayoutSubviews();
    virtual void viewDidLayoutSubviews();

    // Appearance.
    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);
    bool isBeingPresented() const { return m_beingPresented; }
    bool isBeingDismissed() const { return m_beingDismissed; }
    bool isMovingToParentViewController() const { return m_movingToParent; }
    bool isMovingFromParentViewController() const { return m_movingFromParent; }
    // For containers that place children themselves: tells the child (and its children) that
    // its view will appear or disappear, then that it did.
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();

    // Posted to every live controller when the application receives a memory warning.
    virtual void didReceiveMemoryWarning();

    // The title also becomes the navigation item's title.
    Ref<NSString> title() const { return m_title; }
    virtual void setTitle(const Ref<NSString>& title);
    // What a navigation bar shows for this controller, made on first use.
    Ref<UINavigationItem> navigationItem();
    // The nearest navigation controller among this controller and its ancestors (nil when none).
    Ref<UINavigationController> navigationController() const;
    bool hidesBottomBarWhenPushed() const { return m_hidesBottomBarWhenPushed; }
    void setHidesBottomBarWhenPushed(bool hides) { m_hidesBottomBarWhenPushed = hides; }

    // Containment.
    Ref<UIViewController> parentViewController() const { return m_parent.lock(); }
    Ref<NSArray> childViewControllers() const;
    // Adds the child (after willMoveToParentViewController with this controller); the caller adds
    // its view and then calls didMoveToParentViewController.
    void addChildViewController(const Ref<UIViewController>& child);
    // Removes it from its parent (after which didMoveToParentViewController(nil) is called).
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(const Ref<UIViewController>& parent);
    virtual void didMoveToParentViewController(const Ref<UIViewController>& parent);

    // Layout under bars: the view reaches under a bar on the edges named here when the bar is
    // translucent, or also under opaque bars with extendedLayoutIncludesOpaqueBars.
    UIRectEdge edgesForExtendedLayout() const { return m_edgesForExtendedLayout; }
    void setEdgesForExtendedLayout(UIRectEdge edges);
    bool extendedLayoutIncludesOpaqueBars() const { return m_extendedLayoutIncludesOpaqueBars; }
    void setExtendedLayoutIncludesOpaqueBars(bool includes);
    bool automaticallyAdjustsScrollViewInsets() const { return m_automaticallyAdjustsScrollViewInsets; }
    void setAutomaticallyAdjustsScrollViewInsets(bool adjusts) { m_automaticallyAdjustsScrollViewInsets = adjusts; }
    Ref<UIViewControllerLayoutGuide> topLayoutGuide();
    Ref<UIViewControllerLayoutGuide> bottomLayoutGuide();
    UIInterfaceOrientation interfaceOrientation() const { return UIInterfaceOrientationPortrait; }

    // Presentation. The presenter is the outermost ancestor of the controller asked (a screen
    // inside a navigation controller presents through that controller). A controller presents
    // one at a time, and nothing starts while a presentation or dismissal runs: such a request is
    // logged and dropped, as the platform does. Non-animated transitions complete at once.
    void presentViewController(const Ref<UIViewController>& controller, bool animated, std::function<void()> completion = {});
    // Dismisses what this controller (or its presenter chain) presents; a presented controller
    // asked to dismiss itself has its presenter do it.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    Ref<UIViewController> presentedViewController() const;
    Ref<UIViewController> presentingViewController() const;
    UIModalPresentationStyle modalPresentationStyle() const { return m_modalPresentationStyle; }
    void setModalPresentationStyle(UIModalPresentationStyle style) { m_modalPresentationStyle = style; }
    UIModalTransitionStyle modalTransitionStyle() const { return m_modalTransitionStyle; }
    void setModalTransitionStyle(UIModalTransitionStyle style) { m_modalTransitionStyle = style; }
    bool definesPresentationContext() const { return m_definesPresentationContext; }
    void setDefinesPresentationContext(bool defines) { m_definesPresentationContext = defines; }

    // The superview of the view (the window for a root or presented controller), else the parent.
    Ref<UIResponder> nextResponder() const override;

    // Process-wide hooks run at the end of the platform's viewWillAppear (so an override reaches
    // them through its call of the superclass), in the order they were added.
    using ViewWillAppearHook = std::function<void(const Ref<UIViewController>& controller, bool animated)>;
    static std::uint64_t addViewWillAppearHook(ViewWillAppearHook hook);
    static void removeViewWillAppearHook(std::uint64_t token);

protected:
    Ref<UIWindow> windowForFirstResponder() const override;
    // The children that hear their parent's appearance callbacks: by default those whose views
    // are inside this controller's view.
    virtual std::vector<Ref<UIViewController>> childrenForAppearance() const;

private:
    friend class UINavigationController;
    friend class UIWindow;
    friend class UIView;

    enum class Appearance { disappeared, appearing, appeared, disappearing };

    // Called before the children hear an appearance change (containers put their views in place).
    virtual void prepareChildrenForAppearance(bool appearing) { (void)appearing; }
    // The frame a container will give the child's view (in the container view's coordinates), so
    // that the view has it from the moment it loads; nullopt when the container has no say.
    virtual std::optional<CGRect> handleFrameForChild(const Ref<UIViewController>& child) const
    {
        (void)child;
        return std::nullopt;
    }
    // The frame a view made by loadView starts with: the one its container will give it, else the
    // screen's bounds.
    CGRect handleInitialViewFrame();

    void handleMemoryWarning(const Ref<NSNotification>& notification);
    void handleAttachView(const Ref<UIView>& view);
    void handleSetParent(const Ref<UIViewController>& parent) { m_parent = parent; }
    Ref<UIViewController> handleOutermost();
    void handleBeginAppearance(bool appearing, bool animated);
    void handleEndAppearance();
    // Presentation steps (UIViewControllerPresentation.cpp).
    void handleFinishPresentation(const Ref<UIViewController>& presented, bool removesPresenter, std::function<void()> completion);
    void handleFinishDismissal(const Ref<UIViewController>& presented, bool restoresPresenter, std::function<void()> completion);
    CGRect handlePresentationFrame() const;

    Ref<UIView> m_view;
    Ref<NSString> m_title;
    Ref<UINavigationItem> m_navigationItem;
    Ref<UIViewControllerLayoutGuide> m_topLayoutGuide;
    Ref<UIViewControllerLayoutGuide> m_bottomLayoutGuide;
    Weak<UIViewController> m_parent;
    std::vector<Ref<UIViewController>> m_children;
    Ref<UIViewController> m_presented;
    Weak<UIViewController> m_presenting;
    Appearance m_appearance = Appearance::disappeared;
    bool m_appearanceAnimated = false;
    bool m_beingPresented = false;
    bool m_beingDismissed = false;
    bool m_movingToParent = false;
    bool m_movingFromParent = false;
    bool m_observingMemoryWarnings = false;
    bool m_presentationRunning = false; // on the presenter, while a presentation or dismissal animates
    bool m_hidesBottomBarWhenPushed = false;
    bool m_extendedLayoutIncludesOpaqueBars = false;
    bool m_automaticallyAdjustsScrollViewInsets = true;
    bool m_definesPresentationContext = false;
    UIRectEdge m_edgesForExtendedLayout = UIRectEdgeAll;
    UIModalPresentationStyle m_modalPresentationStyle = UIModalPresentationFullScreen;
    UIModalTransitionStyle m_modalTransitionStyle = UIModalTransitionStyleCoverVertical;
};

namespace dv {

// The window's root controller followed along presentedViewController to the last one (the root
// itself when nothing is presented); nil without a root.
Ref<UIViewController> topPresentedViewController(const Ref<UIWindow>& window);

} // namespace dv
