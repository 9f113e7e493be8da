#include "platform/ui/UIViewController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"

#include <algorithm>

DV_DEFINE_CLASS(UIViewControllerLayoutGuide)
DV_DEFINE_CLASS(UIViewController)

namespace {

constexpr CGFloat kStatusBarHeight = 20;

struct WillAppearHooks {
    std::vector<std::pair<std::uint64_t, UIViewController::ViewWillAppearHook>> hooks;
    std::uint64_t next = 1;
};

WillAppearHooks& willAppearHooks()
{
    static WillAppearHooks s_hooks;
    return s_hooks;
}

} // namespace

UIViewController::~UIViewController()
{
    if (m_observingMemoryWarnings)
        NSNotificationCenter::defaultCenter()->removeObserver(this);
}

Ref<UIViewController> UIViewController::init()
{
    NSObject::init();
    auto me = self<UIViewController>();
    NSNotificationCenter::defaultCenter()->addObserver(me, &UIViewController::handleMemoryWarning,
        UIApplicationDidReceiveMemoryWarningNotification, nil);
    m_observingMemoryWarnings = true;
    return me;
}

void UIViewController::handleMemoryWarning(const Ref<NSNotification>&) { didReceiveMemoryWarning(); }

void UIViewController::didReceiveMemoryWarning() { }

// MARK: - The view

Ref<UIView> UIViewController::view()
{
    if (!m_view) {
        loadView();
        if (!m_view)
            handleAttachView(alloc<UIView>()->initWithFrame(handleInitialViewFrame()));
        viewDidLoad();
    }
    return m_view;
}

void UIViewController::loadViewIfNeeded() { view(); }

void UIViewController::setView(const Ref<UIView>& view)
{
    if (view == m_view)
        return;
    if (m_view && m_view->m_viewController.lock().get() == this)
        m_view->m_viewController.reset();
    m_view = nil;
    if (view)
        handleAttachView(view);
}

void UIViewController::handleAttachView(const Ref<UIView>& view)
{
    m_view = view;
    view->m_viewController = self<UIViewController>();
}

CGRect UIViewController::handleInitialViewFrame()
{
    if (auto parent = parentViewController())
        if (auto frame = parent->handleFrameForChild(self<UIViewController>()))
            return *frame;
    return UIScreen::mainScreen()->bounds();
}

void UIViewController::loadView()
{
    auto view = alloc<UIView>()->initWithFrame(handleInitialViewFrame());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(view);
}

void UIViewController::viewDidLoad() { }
void UIViewController::viewWillLayoutSubviews() { }
void UIViewController::viewDidLayoutSubviews() { }

Ref<UIResponder> UIViewController::nextResponder() const
{
    if (m_view)
        if (auto super = m_view->superview())
            return super;
    return parentViewController();
}

Ref<UIWindow> UIViewController::windowForFirstResponder() const
{
    if (m_view)
        if (auto window = m_view->window())
            return window;
    return UIResponder::windowForFirstResponder();
}

// MARK: - Appearance

void UIViewController::viewWillAppear(bool animated)
{
    // A copy: a hook may add or remove hooks.
    auto hooks = willAppearHooks().hooks;
    auto me = self<UIViewController>();
    for (auto& [token, hook] : hooks)
        if (hook)
            hook(me, animated);
}

void UIViewController::viewDidAppear(bool) { }
void UIViewController::viewWillDisappear(bool) { }
void UIViewController::viewDidDisappear(bool) { }

std::uint64_t UIViewController::addViewWillAppearHook(ViewWillAppearHook hook)
{
    auto& registry = willAppearHooks();
    const auto token = registry.next++;
    registry.hooks.emplace_back(token, std::move(hook));
    return token;
}

void UIViewController::removeViewWillAppearHook(std::uint64_t token)
{
    std::erase_if(willAppearHooks().hooks, [token](auto& entry) { return entry.first == token; });
}

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) { handleBeginAppearance(isAppearing, animated); }

void UIViewController::endAppearanceTransition() { handleEndAppearance(); }

std::vector<Ref<UIViewController>> UIViewController::childrenForAppearance() const
{
    std::vector<Ref<UIViewController>> children;
    if (!m_view)
        return children;
    for (auto& child : m_children)
        if (child->m_view && child->m_view->isDescendantOfView(m_view))
            children.push_back(child);
    return children;
}

void UIViewController::handleBeginAppearance(bool appearing, bool animated)
{
    if (appearing && (m_appearance == Appearance::appearing || m_appearance == Appearance::appeared))
        return;
    if (!appearing && (m_appearance == Appearance::disappearing || m_appearance == Appearance::disappeared))
        return;
    auto keep = self<UIViewController>();
    m_appearance = appearing ? Appearance::appearing : Appearance::disappearing;
    m_appearanceAnimated = animated;
    if (appearing) {
        loadViewIfNeeded();
        viewWillAppear(animated);
    } else {
        viewWillDisappear(animated);
    }
    prepareChildrenForAppearance(appearing);
    for (auto& child : childrenForAppearance())
        child->handleBeginAppearance(appearing, animated);
}

void UIViewController::handleEndAppearance()
{
    auto keep = self<UIViewController>();
    if (m_appearance == Appearance::appearing) {
        m_appearance = Appearance::appeared;
        viewDidAppear(m_appearanceAnimated);
    } else if (m_appearance == Appearance::disappearing) {
        m_appearance = Appearance::disappeared;
        viewDidDisappear(m_appearanceAnimated);
    } else {
        return;
    }
    for (auto& child : childrenForAppearance())
        child->handleEndAppearance();
    m_movingToParent = false;
    m_movingFromParent = false;
}

// MARK: - Title and navigation

void UIViewController::setTitle(const Ref<NSString>& title)
{
    m_title = dv::copyAs<NSString>(title);
    if (m_navigationItem)
        m_navigationItem->setTitle(m_title);
}

Ref<UINavigationItem> UIViewController::navigationItem()
{
    if (!m_navigationItem)
        m_navigationItem = alloc<UINavigationItem>()->initWithTitle(m_title);
    return m_navigationItem;
}

Ref<UINavigationController> UIViewController::navigationController() const
{
    for (auto ancestor = parentViewController(); ancestor; ancestor = ancestor->parentViewController())
        if (auto navigation = dv::as<UINavigationController>(ancestor))
            return navigation;
    return nil;
}

// MARK: - Containment

Ref<NSArray> UIViewController::childViewControllers() const
{
    return NSArray::fromVector(std::vector<id>(m_children.begin(), m_children.end()));
}

void UIViewController::addChildViewController(const Ref<UIViewController>& child)
{
    if (!child || child.get() == this || child->parentViewController().get() == this)
        return;
    if (child->parentViewController())
        child->removeFromParentViewController();
    auto me = self<UIViewController>();
    child->willMoveToParentViewController(me);
    m_children.push_back(child);
    child->m_parent = me;
}

void UIViewController::removeFromParentViewController()
{
    auto parent = parentViewController();
    if (!parent)
        return;
    auto keep = self<UIViewController>();
    std::erase(parent->m_children, keep);
    m_parent.reset();
    didMoveToParentViewController(nil);
}

void UIViewController::willMoveToParentViewController(const Ref<UIViewController>&) { }
void UIViewController::didMoveToParentViewController(const Ref<UIViewController>&) { }

Ref<UIViewController> UIViewController::handleOutermost()
{
    auto controller = self<UIViewController>();
    while (auto parent = controller->parentViewController())
        controller = parent;
    return controller;
}

// MARK: - Layout under bars

void UIViewController::setEdgesForExtendedLayout(UIRectEdge edges)
{
    m_edgesForExtendedLayout = edges;
    if (auto navigation = navigationController())
        navigation->handleLayoutContent();
}

void UIViewController::setExtendedLayoutIncludesOpaqueBars(bool includes)
{
    m_extendedLayoutIncludesOpaqueBars = includes;
    if (auto navigation = navigationController())
        navigation->handleLayoutContent();
}

Ref<UIViewControllerLayoutGuide> UIViewController::topLayoutGuide()
{
    if (!m_topLayoutGuide)
        m_topLayoutGuide = alloc<UIViewControllerLayoutGuide>();
    // The bars above: the status bar, and the navigation bar when it shows.
    CGFloat barsBottom = kStatusBarHeight;
    auto navigation = navigationController();
    if (navigation && !navigation->isNavigationBarHidden())
        barsBottom = CGRectGetMaxY(navigation->navigationBar()->frame());
    CGFloat top = 0;
    if (m_view && m_view->window())
        top = m_view->convertRectToView(m_view->bounds(), nil).origin.y;
    m_topLayoutGuide->m_length = std::max<CGFloat>(0, barsBottom - top);
    return m_topLayoutGuide;
}

Ref<UIViewControllerLayoutGuide> UIViewController::bottomLayoutGuide()
{
    if (!m_bottomLayoutGuide)
        m_bottomLayoutGuide = alloc<UIViewControllerLayoutGuide>();
    return m_bottomLayoutGuide; // no bars below the content here
}

namespace dv {

Ref<UIViewController> topPresentedViewController(const Ref<UIWindow>& window)
{
    auto controller = window ? window->rootViewController() : nil;
    while (controller && controller->presentedViewController())
        controller = controller->presentedViewController();
    return controller;
}

} // namespace dv
