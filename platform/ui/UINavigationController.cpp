#include "platform/ui/UINavigationController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UIScreenEdgePanGestureRecognizer.h"
#include "platform/ui/UIView.h"

#include <algorithm>

// The navigation controller's view: it places the bar and the top screen whenever it is laid out.
class UINavigationContainerView : public UIView {
    DV_CLASS(UINavigationContainerView, UIView)
public:
    UINavigationContainerView() = default;
    Weak<UINavigationController> controller;

    void layoutSubviews() override
    {
        UIView::layoutSubviews();
        if (auto c = controller.lock())
            c->handleLayoutContent();
    }
};

DV_DEFINE_CLASS(UINavigationContainerView)
DV_DEFINE_CLASS_WITH(UINavigationController, b)
{
    b.method("handleNavigationTransition:", "v24@0:8@16", [](UINavigationController& navigation, std::span<const id> args) {
        navigation.handleNavigationTransition(args.empty() ? nil : dv::as<UIPanGestureRecognizer>(args[0]));
        return nil;
    });
}

namespace {

constexpr NSTimeInterval kTransitionDuration = 0.35;
constexpr CGFloat kStatusBarHeight = 20;
constexpr CGFloat kBarHeight = 44;

struct PushHooks {
    std::vector<std::pair<std::uint64_t, UINavigationController::PushHook>> hooks;
    std::uint64_t next = 1;
};

PushHooks& pushHooks()
{
    static PushHooks s_hooks;
    return s_hooks;
}

bool contains(const std::vector<Ref<UIViewController>>& list, const Ref<UIViewController>& controller)
{
    return std::find(list.begin(), list.end(), controller) != list.end();
}

} // namespace

Ref<UINavigationController> UINavigationController::init()
{
    UIViewController::init();
    return self<UINavigationController>();
}

Ref<UINavigationController> UINavigationController::initWithRootViewController(const Ref<UIViewController>& root)
{
    init();
    auto me = self<UINavigationController>();
    if (root) {
        addChildViewController(root);
        root->didMoveToParentViewController(me);
        handleSyncBar();
    }
    return me;
}

std::uint64_t UINavigationController::addPushHook(PushHook hook)
{
    auto& registry = pushHooks();
    const auto token = registry.next++;
    registry.hooks.emplace_back(token, std::move(hook));
    return token;
}

void UINavigationController::removePushHook(std::uint64_t token)
{
    std::erase_if(pushHooks().hooks, [token](auto& entry) { return entry.first == token; });
}

// MARK: - The view, the bar and the content

void UINavigationController::loadView()
{
    auto view = alloc<UINavigationContainerView>();
    view->initWithFrame(UIScreen::mainScreen()->bounds());
    view->controller = self<UINavigationController>();
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(view);
    auto bar = navigationBar();
    bar->setFrame(CGRectMake(0, kStatusBarHeight, view->bounds().size.width, kBarHeight));
    bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    bar->setHidden(m_navigationBarHidden);
    view->addSubview(bar);
    auto recognizer = alloc<UIScreenEdgePanGestureRecognizer>();
    recognizer->initWithTarget(self(), "handleNavigationTransition:");
    recognizer->setEdges(UIRectEdgeLeft);
    recognizer->setMaximumNumberOfTouches(1);
    recognizer->setDelegate(std::static_pointer_cast<UIGestureRecognizerDelegate>(self<UINavigationController>()));
    view->addGestureRecognizer(recognizer);
    m_popRecognizer = recognizer;
}

Ref<UINavigationBar> UINavigationController::navigationBar()
{
    if (!m_navigationBar) {
        m_navigationBar = alloc<UINavigationBar>()->initWithFrame(CGRectMake(0, kStatusBarHeight, UIScreen::mainScreen()->bounds().size.width, kBarHeight));
        m_navigationBar->setDelegate(std::static_pointer_cast<UINavigationBarDelegate>(self<UINavigationController>()));
        handleSyncBar();
    }
    return m_navigationBar;
}

Ref<UIGestureRecognizer> UINavigationController::interactivePopGestureRecognizer()
{
    loadViewIfNeeded();
    return m_popRecognizer;
}

void UINavigationController::handleSyncBar()
{
    if (!m_navigationBar)
        return;
    std::vector<Ref<UINavigationItem>> items;
    for (auto& controller : m_children)
        items.push_back(controller->navigationItem());
    m_navigationBar->handleSetItems(std::move(items));
}

Ref<UIViewController> UINavigationController::topViewController() const { return m_children.empty() ? nil : m_children.back(); }

Ref<UIViewController> UINavigationController::visibleViewController() const
{
    if (auto presented = presentedViewController())
        return presented;
    return topViewController();
}

bool UINavigationController::handleIsShown() const
{
    return m_view && m_view->window() && (m_appearance == Appearance::appearing || m_appearance == Appearance::appeared);
}

CGRect UINavigationController::handleContentFrame(const Ref<UIViewController>& controller) const
{
    const CGRect bounds = m_view ? m_view->bounds() : UIScreen::mainScreen()->bounds();
    if (m_navigationBarHidden || !m_navigationBar)
        return bounds;
    const bool extends = (controller->edgesForExtendedLayout() & UIRectEdgeTop)
        && (m_navigationBar->isTranslucent() || controller->extendedLayoutIncludesOpaqueBars());
    if (extends)
        return bounds;
    const CGFloat barBottom = kStatusBarHeight + kBarHeight;
    return CGRectMake(bounds.origin.x, barBottom, bounds.size.width, std::max<CGFloat>(0, bounds.size.height - barBottom));
}

void UINavigationController::handleLayoutContent()
{
    if (!m_view)
        return;
    if (m_navigationBar && !m_navigationBarHidden)
        m_navigationBar->setFrame(CGRectMake(0, kStatusBarHeight, m_view->bounds().size.width, kBarHeight));
    if (m_transition)
        return;
    auto top = topViewController();
    if (top && top->isViewLoaded() && top->m_view->superview() == m_view)
        top->m_view->setFrame(handleContentFrame(top));
}

std::vector<Ref<UIViewController>> UINavigationController::childrenForAppearance() const
{
    auto top = topViewController();
    if (top && top->isViewLoaded() && m_view && top->m_view->superview() == m_view)
        return {top};
    return {};
}

void UINavigationController::prepareChildrenForAppearance(bool appearing)
{
    if (!appearing || m_transition || !m_view)
        return;
    auto top = topViewController();
    for (auto& controller : m_children)
        if (controller != top && controller->isViewLoaded() && controller->m_view->superview() == m_view)
            controller->m_view->removeFromSuperview();
    if (!top)
        return;
    auto view = top->view();
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->setFrame(handleContentFrame(top));
    if (view->superview() != m_view)
        m_view->insertSubviewBelowSubview(view, navigationBar());
}

// MARK: - Pushing and popping

void UINavigationController::pushViewController(const Ref<UIViewController>& controller, bool animated)
{
    if (!controller)
        NSException::raise(NSInvalidArgumentException, "Application tried to push a nil view controller on target " + dv::str(description()) + ".");
    auto me = self<UINavigationController>();
    auto hooks = pushHooks().hooks;
    for (auto& [token, hook] : hooks)
        if (hook && !hook(me, controller, animated))
            return;
    if (contains(m_children, controller))
        NSException::raise(NSInvalidArgumentException,
            "Pushing the same view controller instance more than once is not supported (" + dv::str(controller->description()) + ")");
    if (dv::as<UINavigationController>(controller))
        NSException::raise(NSInvalidArgumentException, "Pushing a navigation controller is not supported");
    handleCompleteNow();
    auto from = topViewController();
    addChildViewController(controller);
    controller->m_movingToParent = true;
    handleSyncBar();
    if (!handleIsShown()) {
        if (from && from->isViewLoaded() && m_view && from->m_view->superview() == m_view)
            from->m_view->removeFromSuperview();
        controller->didMoveToParentViewController(me);
        controller->m_movingToParent = false;
        return;
    }
    handleStart(Kind::push, from, controller, {}, animated);
}

Ref<UIViewController> UINavigationController::popViewControllerAnimated(bool animated)
{
    handleCompleteNow();
    if (m_children.size() < 2)
        return nil;
    auto top = topViewController();
    popToViewController(m_children[m_children.size() - 2], animated);
    return top;
}

Ref<NSArray> UINavigationController::popToRootViewControllerAnimated(bool animated)
{
    handleCompleteNow();
    if (m_children.empty())
        return nil;
    return popToViewController(m_children.front(), animated);
}

Ref<NSArray> UINavigationController::popToViewController(const Ref<UIViewController>& controller, bool animated)
{
    handleCompleteNow();
    auto it = std::find(m_children.begin(), m_children.end(), controller);
    if (it == m_children.end() || it + 1 == m_children.end())
        return nil;
    std::vector<Ref<UIViewController>> removed(it + 1, m_children.end());
    for (auto& c : removed) {
        c->willMoveToParentViewController(nil);
        c->m_movingFromParent = true;
    }
    // The popped screens keep their parent until the transition ends.
    m_children.erase(it + 1, m_children.end());
    handleSyncBar();
    auto popped = NSArray::fromVector(std::vector<id>(removed.begin(), removed.end()));
    if (!handleIsShown()) {
        handleRemovePopped(removed);
        return popped;
    }
    handleStart(Kind::pop, removed.back(), controller, removed, animated);
    return popped;
}

void UINavigationController::setViewControllers(const Ref<NSArray>& controllers) { setViewControllers(controllers, false); }

void UINavigationController::setViewControllers(const Ref<NSArray>& controllers, bool animated)
{
    handleCompleteNow();
    std::vector<Ref<UIViewController>> list;
    if (controllers)
        for (auto& object : controllers->items())
            if (auto c = dv::as<UIViewController>(object); c && !contains(list, c))
                list.push_back(c);
    auto me = self<UINavigationController>();
    auto oldTop = topViewController();
    std::vector<Ref<UIViewController>> removed, added;
    for (auto& c : m_children)
        if (!contains(list, c))
            removed.push_back(c);
    for (auto& c : list)
        if (!contains(m_children, c))
            added.push_back(c);
    for (auto& c : removed)
        c->willMoveToParentViewController(nil);
    for (auto& c : added)
        addChildViewController(c);
    m_children = list;
    handleSyncBar();
    auto newTop = topViewController();
    for (auto& c : added)
        if (c != newTop || newTop == oldTop || !handleIsShown())
            c->didMoveToParentViewController(me);
    if (newTop == oldTop || !handleIsShown() || !newTop) {
        if (oldTop && oldTop != newTop && oldTop->isViewLoaded() && m_view && oldTop->m_view->superview() == m_view)
            oldTop->m_view->removeFromSuperview();
        handleRemovePopped(removed);
        if (newTop && newTop != oldTop && handleIsShown())
            handleStart(Kind::push, nil, newTop, {}, false);
        return;
    }
    if (contains(added, newTop)) {
        newTop->m_movingToParent = true;
        handleStart(Kind::push, oldTop, newTop, removed, animated);
    } else {
        handleStart(Kind::pop, oldTop, newTop, removed, animated);
    }
}

void UINavigationController::handleRemovePopped(const std::vector<Ref<UIViewController>>& removed)
{
    for (auto& c : removed) {
        if (c->isViewLoaded() && m_view && c->m_view->superview() == m_view)
            c->m_view->removeFromSuperview();
        if (c->parentViewController().get() == this && !contains(m_children, c))
            c->removeFromParentViewController();
        c->m_movingFromParent = false;
    }
}

// MARK: - Transitions

void UINavigationController::handleStart(Kind kind, const Ref<UIViewController>& from, const Ref<UIViewController>& to,
    std::vector<Ref<UIViewController>> removed, bool animated)
{
    auto me = self<UINavigationController>();
    const auto id = m_nextTransition++;
    m_transition = Transition {kind, from, to, std::move(removed), animated, false, false, id};
    if (auto d = delegate())
        d->navigationControllerWillShowViewControllerAnimated(me, to, animated);

    // The screen's view loads now, after whatever the push override set on the screen.
    auto toView = to->view();
    toView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    const CGRect toFrame = handleContentFrame(to);
    toView->setFrame(toFrame);
    auto fromView = from ? from->viewIfLoaded() : nil;
    if (fromView && fromView->superview() != m_view)
        fromView = nil;
    if (toView->superview() != m_view || kind == Kind::pop) {
        if (kind == Kind::pop && fromView)
            m_view->insertSubviewBelowSubview(toView, fromView);
        else
            m_view->insertSubviewBelowSubview(toView, navigationBar());
    }
    if (from)
        from->handleBeginAppearance(false, animated);
    to->handleBeginAppearance(true, animated);

    if (!animated || !UIView::areAnimationsEnabled()) {
        handleComplete(id);
        return;
    }
    const CGFloat width = m_view->bounds().size.width;
    const CGRect fromFrame = fromView ? fromView->frame() : CGRectZero;
    UIView::performWithoutAnimation([&] { toView->setFrame(CGRectOffset(toFrame, kind == Kind::push ? width : -width / 3, 0)); });
    Weak<UINavigationController> weak = me;
    UIView::animateWithDuration(kTransitionDuration, 0, UIViewAnimationOptionCurveEaseInOut,
        [=] {
            toView->setFrame(toFrame);
            if (fromView)
                fromView->setFrame(CGRectOffset(fromFrame, kind == Kind::push ? -width / 3 : width, 0));
        },
        [weak, id](bool) {
            if (auto navigation = weak.lock())
                navigation->handleComplete(id);
        });
}

void UINavigationController::handleComplete(std::uint64_t id)
{
    if (!m_transition || m_transition->id != id)
        return;
    auto me = self<UINavigationController>();
    auto t = std::move(*m_transition);
    m_transition.reset();
    if (t.from && t.from != t.to && t.from->isViewLoaded()) {
        auto fromView = t.from->m_view;
        if (fromView->superview() == m_view)
            fromView->removeFromSuperview();
        fromView->setFrame(handleContentFrame(t.from));
    }
    t.to->view()->setFrame(handleContentFrame(t.to));
    if (t.from)
        t.from->handleEndAppearance();
    t.to->handleEndAppearance();
    if (t.kind == Kind::push) {
        if (t.to->m_movingToParent)
            t.to->didMoveToParentViewController(me);
        t.to->m_movingToParent = false;
    }
    handleRemovePopped(t.removed);
    handleDidShow(t.to, t.animated);
}

void UINavigationController::handleCompleteNow()
{
    if (!m_transition)
        return;
    if (m_transition->interactive || m_transition->cancelling)
        handleCancelInteractive(m_transition->id);
    else
        handleComplete(m_transition->id);
}

void UINavigationController::handleDidShow(const Ref<UIViewController>& controller, bool animated)
{
    if (auto d = delegate())
        d->navigationControllerDidShowViewControllerAnimated(self<UINavigationController>(), controller, animated);
}

// MARK: - The bar

void UINavigationController::setNavigationBarHidden(bool hidden) { setNavigationBarHidden(hidden, false); }

void UINavigationController::setNavigationBarHidden(bool hidden, bool animated)
{
    if (hidden == m_navigationBarHidden)
        return;
    m_navigationBarHidden = hidden;
    if (!m_view)
        return;
    auto bar = navigationBar();
    const CGFloat width = m_view->bounds().size.width;
    const CGRect shown = CGRectMake(0, kStatusBarHeight, width, kBarHeight);
    const CGRect away = CGRectMake(0, -kBarHeight, width, kBarHeight);
    auto top = topViewController();
    auto topView = top && top->isViewLoaded() && top->m_view->superview() == m_view && !m_transition ? top->m_view : nil;
    if (!animated || !UIView::areAnimationsEnabled() || !m_view->window()) {
        bar->setFrame(shown);
        bar->setHidden(hidden);
        if (topView)
            topView->setFrame(handleContentFrame(top));
        return;
    }
    if (!hidden) {
        bar->setHidden(false);
        UIView::performWithoutAnimation([&] { bar->setFrame(away); });
    }
    const CGRect content = topView ? handleContentFrame(top) : CGRectZero;
    Weak<UINavigationController> weak = self<UINavigationController>();
    UIView::animateWithDuration(UINavigationControllerHideShowBarDuration, 0, 0,
        [=] {
            bar->setFrame(hidden ? away : shown);
            if (topView)
                topView->setFrame(content);
        },
        [weak, bar, shown](bool) {
            auto navigation = weak.lock();
            if (navigation && navigation->m_navigationBarHidden) {
                bar->setHidden(true);
                bar->setFrame(shown);
            }
        });
}

std::optional<bool> UINavigationController::navigationBarShouldPopItem(const Ref<UINavigationBar>&, const Ref<UINavigationItem>&)
{
    // The back button: the controller pops its screen and keeps the bar in step itself.
    popViewControllerAnimated(true);
    return false;
}
