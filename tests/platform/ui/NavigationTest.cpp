#include "ControllerTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"

using namespace dv::test;

namespace {

// A navigation controller that gives every pushed screen (but the root) a left item before
// pushing, as the application's own does.
class BackItemNavigation : public UINavigationController {
    DV_CLASS(BackItemNavigation, UINavigationController)
public:
    BackItemNavigation() = default;
    void pushViewController(const Ref<UIViewController>& controller, bool animated) override
    {
        if (viewControllers() && viewControllers()->count() > 0) {
            auto button = UIButton::buttonWithType(UIButtonTypeCustom);
            button->setTitle("back"_ns, UIControlStateNormal);
            button->setFrame(CGRectMake(0, 0, 100, 30));
            controller->navigationItem()->setLeftBarButtonItem(alloc<UIBarButtonItem>()->initWithCustomView(button));
        }
        UINavigationController::pushViewController(controller, animated);
    }
};

class NavigationTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        m_root = make("R");
        m_navigation = alloc<UINavigationController>()->initWithRootViewController(m_root);
        m_window->setRootViewController(m_navigation);
        m_ui.runUntilIdle();
        take();
    }

    Ref<RecordingController> make(std::string name) { return RecordingController::make(&m_journal, std::move(name)); }
    Journal take() { return std::exchange(m_journal, {}); }

    Ref<RecordingController> m_root;
    Ref<UINavigationController> m_navigation;
};

} // namespace

DV_DEFINE_CLASS(BackItemNavigation)

TEST_F(NavigationTest, PushAndPopCallBackInThePlatformsOrderAnimatedOrNot)
{
    auto second = make("S");
    m_navigation->pushViewController(second, true);
    EXPECT_EQ(take(), (Journal {"S:viewDidLoad", "R:viewWillDisappear:YES", "S:viewWillAppear:YES"}));
    EXPECT_TRUE(m_navigation->isTransitioning());
    EXPECT_EQ(m_navigation->topViewController(), second);
    EXPECT_TRUE(second->isMovingToParentViewController());
    m_ui.advance(0.3);
    EXPECT_TRUE(m_navigation->isTransitioning());
    m_ui.advance(0.1);
    EXPECT_FALSE(m_navigation->isTransitioning());
    EXPECT_EQ(take(), (Journal {"R:viewDidDisappear:YES", "S:viewDidAppear:YES"}));
    EXPECT_EQ(m_root->view()->window(), nil);
    EXPECT_EQ(second->navigationController(), m_navigation);
    EXPECT_EQ(m_ui.navigationStack(), (std::vector<Ref<UIViewController>> {m_root, second}));

    auto popped = m_navigation->popViewControllerAnimated(true);
    EXPECT_EQ(popped, second);
    EXPECT_EQ(take(), (Journal {"S:viewWillDisappear:YES", "R:viewWillAppear:YES"}));
    EXPECT_TRUE(second->isMovingFromParentViewController());
    EXPECT_EQ(m_navigation->viewControllers()->count(), 1u) << "the stack changes at once";
    m_ui.advance(0.4);
    EXPECT_EQ(take(), (Journal {"S:viewDidDisappear:YES", "R:viewDidAppear:YES"}));
    EXPECT_EQ(second->parentViewController(), nil);
    EXPECT_EQ(second->navigationController(), nil);

    m_navigation->pushViewController(second, false);
    EXPECT_EQ(take(), (Journal {"R:viewWillDisappear:NO", "S:viewWillAppear:NO", "R:viewDidDisappear:NO", "S:viewDidAppear:NO"}));
    auto third = make("T");
    m_navigation->pushViewController(third, true);
    // Asked during a transition, the pop first completes the push.
    m_navigation->popToRootViewControllerAnimated(false);
    EXPECT_EQ(take(), (Journal {"T:viewDidLoad", "S:viewWillDisappear:YES", "T:viewWillAppear:YES", "S:viewDidDisappear:YES",
                          "T:viewDidAppear:YES", "T:viewWillDisappear:NO", "R:viewWillAppear:NO", "T:viewDidDisappear:NO",
                          "R:viewDidAppear:NO"}));
    EXPECT_EQ(m_ui.navigationStack(), (std::vector<Ref<UIViewController>> {m_root}));
    EXPECT_EQ(m_navigation->popViewControllerAnimated(true), nil) << "the root stays";
    EXPECT_THROW(m_navigation->pushViewController(m_root, false), dv::RaisedException);
}

TEST_F(NavigationTest, ScreensSitUnderTheBarUnlessTheyExtendUnderATranslucentOne)
{
    const CGFloat W = m_window->bounds().size.width, H = m_window->bounds().size.height;
    auto bar = m_navigation->navigationBar();
    EXPECT_EQ(bar->frame(), CGRectMake(0, 20, W, 44));
    EXPECT_TRUE(bar->isTranslucent());
    EXPECT_EQ(m_root->view()->frame(), CGRectMake(0, 0, W, H)) << "all edges under a translucent bar";
    EXPECT_EQ(m_root->topLayoutGuide()->length(), 64);

    auto below = make("B");
    below->onLoad = [](RecordingController& c) {
        c.setEdgesForExtendedLayout(UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight);
        c.setExtendedLayoutIncludesOpaqueBars(false);
    };
    m_navigation->pushViewController(below, false);
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 64, W, H - 64));
    EXPECT_EQ(below->topLayoutGuide()->length(), 0);

    m_navigation->setNavigationBarHidden(true, true);
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 0, W, H));
    m_ui.advance(0.3);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(m_ui.navigationTitle(), "");
    m_navigation->setNavigationBarHidden(false, false);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 64, W, H - 64));

    // An opaque background picture makes the bar opaque: the default screen then sits below it,
    // unless it asks to go under opaque bars too.
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 4), true, 1);
    UIColor::redColor()->setFill();
    UIRectFill(CGRectMake(0, 0, 4, 4));
    auto opaque = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    bar->setBackgroundImage(opaque, UIBarMetricsDefault);
    EXPECT_FALSE(bar->isTranslucent());
    auto plain = make("P");
    m_navigation->pushViewController(plain, false);
    EXPECT_EQ(plain->view()->frame(), CGRectMake(0, 64, W, H - 64));
    plain->setExtendedLayoutIncludesOpaqueBars(true);
    EXPECT_EQ(plain->view()->frame(), CGRectMake(0, 0, W, H));
}

TEST_F(NavigationTest, APushOverrideSetsItemsBeforeTheScreenLoadsAndTheScreenMayReplaceThem)
{
    auto navigation = alloc<BackItemNavigation>();
    navigation->initWithRootViewController(make("R2"));
    m_window->setRootViewController(navigation);
    m_ui.runUntilIdle();
    EXPECT_EQ(navigation->topViewController()->navigationItem()->leftBarButtonItem(), nil) << "the root gets no back item";

    auto plain = make("A");
    navigation->pushViewController(plain, false);
    ASSERT_TRUE(plain->navigationItem()->leftBarButtonItem());
    m_ui.runUntilIdle();
    EXPECT_TRUE(m_ui.viewWithTitle("back"));

    Ref<UIBarButtonItem> seen;
    auto own = make("B");
    auto mine = alloc<UIBarButtonItem>()->initWithTitle("mine"_ns, UIBarButtonItemStylePlain, nil, SEL());
    own->onLoad = [&](RecordingController& c) {
        seen = c.navigationItem()->leftBarButtonItem();
        c.navigationItem()->setLeftBarButtonItem(mine);
    };
    navigation->pushViewController(own, true);
    EXPECT_TRUE(seen) << "the override's item is there when the view loads";
    m_ui.advance(0.4);
    EXPECT_TRUE(m_ui.viewWithTitle("mine"));
    EXPECT_FALSE(m_ui.viewWithTitle("back"));
    EXPECT_EQ(m_ui.navigationStack().size(), 3u);
}

TEST_F(NavigationTest, HooksRunBeforeEveryPushAndAfterEveryViewWillAppear)
{
    std::vector<std::string> events;
    const auto pushHook = UINavigationController::addPushHook([&](const Ref<UINavigationController>& n, const Ref<UIViewController>& c, bool) {
        events.push_back("push");
        // As the back-swipe toolkit does: a screen already on the stack is not pushed again.
        auto stack = n->viewControllers();
        return !(stack && std::find(stack->items().begin(), stack->items().end(), c) != stack->items().end());
    });
    const auto appearHook = UIViewController::addViewWillAppearHook([&](const Ref<UIViewController>& c, bool animated) {
        events.push_back(std::string("appear:") + (c == m_root ? "R" : "other") + (animated ? ":YES" : ":NO"));
    });
    auto second = make("S");
    m_navigation->pushViewController(second, true);
    m_navigation->pushViewController(second, true);
    EXPECT_EQ(take(), (Journal {"S:viewDidLoad", "R:viewWillDisappear:YES", "S:viewWillAppear:YES"}));
    EXPECT_EQ(events, (std::vector<std::string> {"push", "appear:other:YES", "push"}));
    UINavigationController::removePushHook(pushHook);
    UIViewController::removeViewWillAppearHook(appearHook);
    m_ui.advance(0.4);
    m_navigation->popViewControllerAnimated(false);
    EXPECT_EQ(events.size(), 3u);
}

TEST_F(NavigationTest, TheBarShowsTheTitleTheItemsAndABackButtonThatPops)
{
    const CGFloat W = m_window->bounds().size.width;
    m_root->setTitle("首页"_ns);
    auto second = make("S");
    second->setTitle("详情"_ns);
    auto label = alloc<UILabel>()->initWithFrame(CGRectMake((W - 200) * 0.5, 0, 200, 21));
    label->setText("关于我们"_ns);
    auto target = alloc<ActionTarget>();
    auto right = alloc<UIBarButtonItem>()->initWithTitle("下一批"_ns, UIBarButtonItemStylePlain, target, "fired:");
    second->navigationItem()->setRightBarButtonItem(right);
    m_navigation->pushViewController(second, false);
    m_ui.runUntilIdle();
    EXPECT_EQ(m_ui.navigationTitle(), "详情");
    auto back = m_navigation->navigationBar()->backButton();
    ASSERT_TRUE(back);
    EXPECT_EQ(dv::str(back->currentTitle()), "首页") << "named after the screen below";
    EXPECT_EQ(m_ui.frameInWindow(back).origin.x, 8);
    EXPECT_EQ(CGRectGetMaxX(m_ui.frameInWindow(right->representedView())), W - 8);
    ASSERT_TRUE(m_ui.tap(right));
    EXPECT_EQ(target->calls, (Journal {"fired:UIBarButtonItem"}));

    second->navigationItem()->setTitleView(label);
    m_ui.runUntilIdle();
    EXPECT_EQ(m_ui.navigationTitle(), "关于我们");
    EXPECT_EQ(label->frame(), CGRectMake(87.5, 11.5, 200, 21)) << "centred in the bar";

    take();
    ASSERT_TRUE(m_ui.tapBackButton());
    m_ui.advance(0.4);
    EXPECT_EQ(m_ui.topViewController(), m_root);
    EXPECT_EQ(take(), (Journal {"S:viewWillDisappear:YES", "R:viewWillAppear:YES", "S:viewDidDisappear:YES", "R:viewDidAppear:YES"}));
    EXPECT_EQ(m_navigation->navigationBar()->backButton(), nil);
    EXPECT_EQ(m_ui.navigationTitle(), "首页");
}

TEST_F(NavigationTest, BarLookComesFromAppearanceRulesOfItsNavigationControllerClass)
{
    auto attributes = NSDictionary::of({{NSFontAttributeName, UIFont::systemFontOfSize(18)}, {NSForegroundColorAttributeName, UIColor::whiteColor()}});
    UINavigationBar::appearanceWhenContainedIn({BackItemNavigation::class_()})->setTitleTextAttributes(attributes);
    auto navigation = alloc<BackItemNavigation>();
    auto top = make("R2");
    top->setTitle("标题"_ns);
    navigation->initWithRootViewController(top);
    m_window->setRootViewController(navigation);
    m_ui.runUntilIdle();
    EXPECT_EQ(navigation->navigationBar()->titleTextAttributes(), attributes);
    EXPECT_EQ(m_navigation->navigationBar()->titleTextAttributes(), nil) << "other navigation controllers keep the default";
    auto title = dv::as<UILabel>(navigation->navigationBar()->titleDisplayView());
    ASSERT_TRUE(title);
    EXPECT_EQ(title->font()->pointSize(), 18);
    EXPECT_TRUE(dv::equal(title->textColor(), UIColor::whiteColor()));
}

TEST_F(NavigationTest, ASwipeFromTheLeftEdgePopsPastHalfwayAndGoesBackShortOfIt)
{
    auto second = make("S");
    m_navigation->pushViewController(second, false);
    take();
    // Short of half the width, and slowed down before lifting: the top screen comes back.
    dv::testing::PanOptions slow;
    slow.holdBeforeLift = 0.2;
    ASSERT_TRUE(m_ui.swipeBack(0.3, slow));
    EXPECT_TRUE(m_navigation->isTransitioning());
    m_ui.advance(0.4);
    EXPECT_EQ(take(), (Journal {"S:viewWillDisappear:YES", "R:viewWillAppear:YES", "R:viewWillDisappear:YES",
                          "R:viewDidDisappear:YES", "S:viewWillAppear:YES", "S:viewDidAppear:YES"}));
    EXPECT_EQ(m_ui.topViewController(), second);
    EXPECT_EQ(second->view()->frame().origin.x, 0);
    EXPECT_EQ(m_root->view()->window(), nil);

    ASSERT_TRUE(m_ui.swipeBack(0.7));
    m_ui.advance(0.4);
    EXPECT_EQ(take(), (Journal {"S:viewWillDisappear:YES", "R:viewWillAppear:YES", "S:viewDidDisappear:YES", "R:viewDidAppear:YES"}));
    EXPECT_EQ(m_ui.navigationStack(), (std::vector<Ref<UIViewController>> {m_root}));
    EXPECT_EQ(second->parentViewController(), nil);

    // On the root, and away from the edge, the swipe does nothing.
    ASSERT_TRUE(m_ui.swipeBack(0.7));
    m_navigation->pushViewController(second, false);
    ASSERT_TRUE(m_ui.pan(CGPointMake(100, 300), CGPointMake(250, 0)));
    m_navigation->interactivePopGestureRecognizer()->setEnabled(false);
    ASSERT_TRUE(m_ui.swipeBack(0.7));
    m_ui.advance(0.4);
    EXPECT_EQ(m_ui.topViewController(), second);
}

TEST_F(NavigationTest, AnotherPanCanDriveThePopThroughThePublicHandler)
{
    auto second = make("S");
    m_navigation->pushViewController(second, false);
    // As the full-screen back swipe does: its own pan on the same view, forwarding to the handler.
    auto edge = m_navigation->interactivePopGestureRecognizer();
    auto pan = alloc<UIPanGestureRecognizer>()->initWithTarget(m_navigation, "handleNavigationTransition:");
    edge->view()->addGestureRecognizer(pan);
    edge->setEnabled(false);
    take();
    ASSERT_TRUE(m_ui.pan(CGPointMake(150, 300), CGPointMake(220, 0)));
    m_ui.advance(0.4);
    EXPECT_EQ(m_ui.topViewController(), m_root);
    EXPECT_EQ(take(), (Journal {"S:viewWillDisappear:YES", "R:viewWillAppear:YES", "S:viewDidDisappear:YES", "R:viewDidAppear:YES"}));
}
