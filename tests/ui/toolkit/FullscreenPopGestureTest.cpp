// The full-screen back swipe: a left-to-right pan from anywhere pops the top screen through the
// navigation controller's own interactive pop; it never begins on the root, right to left, on a
// screen that refuses it, beyond a screen's distance from the left edge or while a transition
// runs. Each screen gets the navigation bar it prefers when it appears, coming back included;
// pushing a screen already on the stack does nothing.
#include "ToolkitTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "ui/toolkit/views/UINavigationControllerBSFullscreenPopGesture.h"
#include "ui/toolkit/views/_BSFullscreenPopGestureRecognizerDelegate.h"

using namespace dv::test;

namespace {

using Stack = std::vector<Ref<UIViewController>>;

class FullscreenPopGestureTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        dv::installFullscreenPopGesture();
        m_root = screen("首页");
        m_navigation = alloc<UINavigationController>()->initWithRootViewController(m_root);
        m_window->setRootViewController(m_navigation);
        m_ui.runUntilIdle();
    }

    void TearDown() override
    {
        m_ui.advance(1);
        m_window->setRootViewController(nil);
        m_navigation = nil;
        m_root = nil;
        ToolkitTest::TearDown();
    }

    static Ref<UIViewController> screen(const char* title)
    {
        auto controller = alloc<UIViewController>()->init();
        controller->setTitle(NSString::stringWithUTF8String(title));
        controller->view()->setBackgroundColor(UIColor::whiteColor());
        return controller;
    }

    Ref<UIViewController> push(const char* title)
    {
        auto controller = screen(title);
        m_navigation->pushViewController(controller, false);
        m_ui.runUntilIdle();
        return controller;
    }

    // A one-finger drag from `x` in the middle of the screen's height, `dx` to the right (to the
    // left when negative), then the transition is given time to end.
    bool swipe(CGFloat x, CGFloat dx)
    {
        const bool taken = m_ui.pan(CGPointMake(x, 400), CGPointMake(dx, 0));
        m_ui.advance(0.5);
        return taken;
    }

    bool barShows() const { return m_ui.isVisible(m_navigation->navigationBar()); }

    Ref<UIViewController> m_root;
    Ref<UINavigationController> m_navigation;
};

} // namespace

TEST_F(FullscreenPopGestureTest, PanFromAnywherePopsTheTopScreen)
{
    auto second = push("第二页");
    auto third = push("第三页");
    ASSERT_EQ(m_ui.navigationStack(), (Stack {m_root, second, third}));

    ASSERT_TRUE(swipe(200, 160));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root, second}));
    EXPECT_EQ(m_ui.navigationTitle(), "第二页");
    EXPECT_EQ(third->parentViewController(), nil);

    // From the edge, as before, it still goes back: the full-screen pan takes it.
    ASSERT_TRUE(m_ui.swipeBack(0.6));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root}));
    EXPECT_EQ(m_ui.topViewController(), m_root);
}

TEST_F(FullscreenPopGestureTest, ShortPanLetsTheScreenSlideBack)
{
    auto second = push("第二页");
    ASSERT_TRUE(swipe(150, 60));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root, second}));
    EXPECT_EQ(second->view()->frame().origin.x, 0);
}

TEST_F(FullscreenPopGestureTest, TheFirstPushPutsThePanInPlaceOfTheEdgeRecognizer)
{
    auto view = m_navigation->view();
    auto edge = m_navigation->interactivePopGestureRecognizer();
    EXPECT_TRUE(edge->isEnabled()) << "before any push the platform's edge pan is untouched";
    push("第二页");
    push("第三页");
    auto pan = bs_fullscreenPopGestureRecognizer(m_navigation);
    ASSERT_TRUE(pan);
    EXPECT_EQ(pan->view(), view);
    EXPECT_EQ(pan->maximumNumberOfTouches(), 1u);
    EXPECT_EQ(pan->delegate(), std::static_pointer_cast<UIGestureRecognizerDelegate>(bs_popGestureRecognizerDelegate(m_navigation)));
    EXPECT_EQ(bs_popGestureRecognizerDelegate(m_navigation)->navigationController(), m_navigation);
    EXPECT_FALSE(edge->isEnabled());
    std::size_t pans = 0;
    const auto recognizers = view->gestureRecognizers();
    for (auto& recognizer : recognizers->items())
        pans += recognizer == pan;
    EXPECT_EQ(pans, 1u) << "added once, on the first push";
}

TEST_F(FullscreenPopGestureTest, NeverBeginsOnTheRootOrRightToLeftOrOnAScreenThatRefusesIt)
{
    ASSERT_TRUE(swipe(100, 200));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root}));

    auto second = push("第二页");
    ASSERT_TRUE(swipe(300, -200));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root, second}));
    // Right to left, not even the screen below shows for a moment.
    const auto touch = m_ui.touchDown(CGPointMake(300, 400));
    ASSERT_NE(touch, 0u);
    for (CGFloat x = 280; x >= 160; x -= 20) {
        m_ui.advance(1.0 / 60);
        m_ui.touchMove(touch, CGPointMake(x, 400));
        EXPECT_FALSE(m_navigation->isTransitioning());
        EXPECT_EQ(m_root->view()->window(), nil);
    }
    m_ui.touchUp(touch, CGPointMake(160, 400));
    m_ui.advance(0.5);

    setBs_interactivePopDisabled(second, true);
    EXPECT_TRUE(bs_interactivePopDisabled(second));
    ASSERT_TRUE(swipe(100, 200));
    ASSERT_TRUE(m_ui.swipeBack(0.8));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root, second}));
    // Only the screen on top counts: a screen above it that allows the pan goes back to it.
    auto third = push("第三页");
    ASSERT_TRUE(swipe(100, 200));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root, second}));

    setBs_interactivePopDisabled(second, false);
    ASSERT_TRUE(swipe(100, 200));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root}));
    (void)third;
}

TEST_F(FullscreenPopGestureTest, DistanceFromTheLeftEdgeLimitsWhereThePanMayStart)
{
    auto second = push("第二页");
    setBs_interactivePopMaxAllowedInitialDistanceToLeftEdge(second, 40);
    EXPECT_EQ(bs_interactivePopMaxAllowedInitialDistanceToLeftEdge(second), 40);
    ASSERT_TRUE(swipe(41, 250));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root, second}));
    ASSERT_TRUE(swipe(40, 250));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root}));

    // A negative distance is stored as none.
    auto third = push("第三页");
    setBs_interactivePopMaxAllowedInitialDistanceToLeftEdge(third, -5);
    EXPECT_EQ(bs_interactivePopMaxAllowedInitialDistanceToLeftEdge(third), 0);
    ASSERT_TRUE(swipe(200, 160));
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root}));
}

TEST_F(FullscreenPopGestureTest, DoesNotBeginWhileATransitionRuns)
{
    push("第二页");
    auto third = screen("第三页");
    m_navigation->pushViewController(third, true);
    ASSERT_TRUE(m_navigation->isTransitioning());
    // The pan begins within the first frames, long before the push's 0.35 s are over.
    ASSERT_TRUE(swipe(100, 250));
    EXPECT_FALSE(m_navigation->isTransitioning());
    EXPECT_EQ(m_ui.topViewController(), third);
    EXPECT_EQ(m_navigation->viewControllers()->count(), 3u);
}

TEST_F(FullscreenPopGestureTest, PushingAScreenAlreadyOnTheStackDoesNothing)
{
    auto second = push("第二页");
    m_navigation->pushViewController(second, false);
    m_navigation->pushViewController(m_root, true);
    m_ui.runUntilIdle();
    EXPECT_FALSE(m_navigation->isTransitioning());
    EXPECT_EQ(m_ui.navigationStack(), (Stack {m_root, second}));
    EXPECT_EQ(m_ui.topViewController(), second);
}

TEST_F(FullscreenPopGestureTest, EachScreenGetsTheBarItPrefersComingBackIncluded)
{
    EXPECT_TRUE(barShows());
    auto photo = screen("大图");
    setBs_prefersNavigationBarHidden(photo, true);
    m_navigation->pushViewController(photo, true);
    m_ui.advance(0.5);
    EXPECT_FALSE(barShows());
    EXPECT_EQ(photo->view()->frame().origin.y, 0) << "the screen takes the bar's room";

    auto detail = push("详情");
    EXPECT_TRUE(barShows());
    ASSERT_TRUE(swipe(120, 250));
    EXPECT_EQ(m_ui.topViewController(), photo);
    EXPECT_FALSE(barShows());
    ASSERT_TRUE(swipe(120, 250));
    EXPECT_EQ(m_ui.topViewController(), m_root);
    EXPECT_TRUE(barShows()) << "the root got the same block on the first push";
    (void)detail;
}

TEST_F(FullscreenPopGestureTest, ScreensKeepTheBarAsItIsWhenTheNavigationControllerDoesNotManageIt)
{
    setBs_viewControllerBasedNavigationBarAppearanceEnabled(m_navigation, false);
    EXPECT_FALSE(bs_viewControllerBasedNavigationBarAppearanceEnabled(m_navigation));
    auto photo = screen("大图");
    setBs_prefersNavigationBarHidden(photo, true);
    m_navigation->pushViewController(photo, false);
    m_ui.runUntilIdle();
    EXPECT_TRUE(barShows());
    EXPECT_FALSE(bs_willAppearInjectBlock(photo));
    // The pan works all the same.
    ASSERT_TRUE(swipe(120, 250));
    EXPECT_EQ(m_ui.topViewController(), m_root);
}

TEST_F(FullscreenPopGestureTest, ScreensOutsideANavigationControllerAreUntouched)
{
    auto plain = screen("弹出");
    EXPECT_FALSE(bs_willAppearInjectBlock(plain));
    EXPECT_FALSE(bs_prefersNavigationBarHidden(plain));
    EXPECT_FALSE(bs_interactivePopDisabled(plain));
    EXPECT_EQ(bs_interactivePopMaxAllowedInitialDistanceToLeftEdge(plain), 0);
    m_navigation->presentViewController(plain, false);
    m_ui.runUntilIdle();
    EXPECT_EQ(m_ui.topViewController(), plain);
    m_navigation->dismissViewControllerAnimated(false);
    m_ui.runUntilIdle();
    EXPECT_TRUE(barShows());
}

TEST_F(FullscreenPopGestureTest, NavigationControllerGoesAwayWithItsScreens)
{
    Weak<UINavigationController> weakNavigation = m_navigation;
    Weak<UIViewController> weakSecond;
    Weak<UIPanGestureRecognizer> weakPan;
    Weak<_BSFullscreenPopGestureRecognizerDelegate> weakDelegate;
    {
        auto second = push("第二页");
        weakSecond = second;
        weakPan = bs_fullscreenPopGestureRecognizer(m_navigation);
        weakDelegate = bs_popGestureRecognizerDelegate(m_navigation);
    }
    m_window->setRootViewController(nil);
    m_navigation = nil;
    m_ui.runUntilIdle();
    EXPECT_TRUE(weakNavigation.expired());
    EXPECT_TRUE(weakSecond.expired());
    EXPECT_TRUE(weakPan.expired());
    EXPECT_TRUE(weakDelegate.expired());
}
