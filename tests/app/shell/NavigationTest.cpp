// The navigation frame: the bar look, the back buttons of SMNavigationController and of the base
// screen, tapped as a person would, the frame accessors, and screens made by class name.
#include "ShellTestSupport.h"

#include "app/shell/navigation/DDYPPartentsController.h"
#include "app/shell/navigation/ScreenFactory.h"
#include "app/shell/navigation/SMNavigationController.h"
#include "app/shell/navigation/UIBarButtonItemSMExtension.h"
#include "app/shell/navigation/UIViewSMExtension.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSAttributedString.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/NSBundle.h"
#include "platform/system/UIScreen.h"

using namespace dv::test;

// A screen made by class name in the tests below, with one property to set by key and a count
// of the times its registered init ran.
class NavigationTestScreen : public UIViewController {
    DV_CLASS(NavigationTestScreen, UIViewController)

    NavigationTestScreen() = default;
    Ref<NavigationTestScreen> init()
    {
        UIViewController::init();
        ++m_inits;
        return self<NavigationTestScreen>();
    }
    Ref<NSString> linkUrl() const { return m_linkUrl; }
    void setLinkUrl(const Ref<NSString>& url) { m_linkUrl = url; }
    int inits() const { return m_inits; }

private:
    Ref<NSString> m_linkUrl;
    int m_inits = 0;
};

DV_DEFINE_CLASS_WITH(NavigationTestScreen, b)
{
    b.method("init", "@16@0:8", [](NavigationTestScreen& screen, std::span<const id>) -> id { return screen.init(); });
    b.property<Ref<NSString>>("linkUrl", "T@\"NSString\",C,N,V_linkUrl",
        [](const NavigationTestScreen& screen) { return screen.linkUrl(); },
        [](NavigationTestScreen& screen, Ref<NSString> url) { screen.setLinkUrl(url); });
}

namespace {

class NavigationTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        dv::installMainBundleImageResolver();
        m_home = alloc<UIViewController>()->init();
        m_home->setTitle("首页"_ns);
        m_navigation = alloc<SMNavigationController>()->initWithRootViewController(m_home);
        m_window->setRootViewController(m_navigation);
        m_ui.runUntilIdle();
    }
    void TearDown() override
    {
        m_navigation = nil;
        m_home = nil;
        ShellTest::TearDown();
    }

    Ref<UIViewController> m_home;
    Ref<SMNavigationController> m_navigation;
};

TEST_F(NavigationTest, OnlyScreensAboveTheRootGetTheBackButton)
{
    EXPECT_FALSE(m_home->navigationItem()->leftBarButtonItem());

    auto second = alloc<UIViewController>()->init();
    m_navigation->pushViewController(second, true);
    m_ui.advance(0.5);
    auto item = second->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(item);
    auto button = dv::as<UIButton>(item->customView());
    ASSERT_TRUE(button);
    EXPECT_TRUE(CGSizeEqualToSize(button->frame().size, CGSizeMake(100, 30)));
    ASSERT_TRUE(button->imageForState(UIControlStateNormal));
    EXPECT_TRUE(CGSizeEqualToSize(button->imageForState(UIControlStateNormal)->size(), CGSizeMake(16, 30)));
    EXPECT_EQ(button->contentHorizontalAlignment(), UIControlContentHorizontalAlignmentLeft);
    EXPECT_TRUE(m_ui.isVisible(button));

    ASSERT_TRUE(m_ui.tap(item));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
    EXPECT_EQ(m_ui.topViewController(), m_home);
}

TEST_F(NavigationTest, BarsInsideTheControllerTakeTheApplicationsLook)
{
    auto bar = m_navigation->navigationBar();
    auto attributes = bar->titleTextAttributes();
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(dv::equal(attributes->objectForKey(NSForegroundColorAttributeName), UIColor::whiteColor()));
    auto font = dv::as<UIFont>(attributes->objectForKey(NSFontAttributeName));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->pointSize(), 18);
    auto background = bar->backgroundImageForBarMetrics(UIBarMetricsDefault);
    ASSERT_TRUE(background);
    EXPECT_TRUE(CGSizeEqualToSize(background->size(), CGSizeMake(375, 64)));
    EXPECT_EQ(m_ui.navigationTitle(), "首页");
}

TEST_F(NavigationTest, BaseScreenShowsItsTitleLabelAndItsOwnBackButton)
{
    auto screen = alloc<DDYPPartentsController>()->init();
    m_navigation->pushViewController(screen, true);
    m_ui.advance(0.5);
    screen->myTitle()->setText("消息详情"_ns);
    m_ui.runUntilIdle();

    EXPECT_EQ(m_ui.navigationTitle(), "消息详情");
    EXPECT_EQ(screen->navigationItem()->titleView(), screen->myTitle());
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::whiteColor()));

    auto item = screen->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(item);
    auto button = dv::as<UIButton>(item->customView());
    ASSERT_TRUE(button);
    EXPECT_TRUE(CGSizeEqualToSize(button->frame().size, CGSizeMake(12, 22)));
    ASSERT_TRUE(button->backgroundImageForState(UIControlStateNormal));
    EXPECT_TRUE(CGSizeEqualToSize(button->backgroundImageForState(UIControlStateNormal)->size(), CGSizeMake(12, 22)));

    ASSERT_TRUE(m_ui.tap(item));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.topViewController(), m_home);
}

TEST_F(NavigationTest, BaseScreenTitleLabelIsCentredOnTheScreenWidth)
{
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, 320, 568));
    auto screen = alloc<DDYPPartentsController>()->init();
    screen->loadViewIfNeeded();
    EXPECT_EQ(screen->myTitle()->frame().origin.x, 60);
    UIScreen::mainScreen()->reset();
    auto wide = alloc<DDYPPartentsController>()->init();
    wide->loadViewIfNeeded();
    EXPECT_EQ(wide->myTitle()->frame().origin.x, 87.5);
}

TEST_F(NavigationTest, FrameAccessorsChangeOneFieldAndKeepTheRest)
{
    auto view = alloc<UIView>()->initWithFrame(CGRectMake(1, 2, 30, 40));
    setSize(view.get(), CGSizeMake(5, 6));
    EXPECT_TRUE(CGRectEqualToRect(view->frame(), CGRectMake(1, 2, 5, 6)));
    setX(view.get(), 10);
    EXPECT_TRUE(CGRectEqualToRect(view->frame(), CGRectMake(10, 2, 5, 6)));
    setY(view.get(), 20);
    setWidth(view.get(), 50);
    setHeight(view.get(), 60);
    EXPECT_TRUE(CGRectEqualToRect(view->frame(), CGRectMake(10, 20, 50, 60)));
    EXPECT_EQ(x(view.get()) + y(view.get()) + width(view.get()) + height(view.get()), 140);
    EXPECT_EQ(width(nullptr), 0);
    setX(nullptr, 3); // ignored
}

TEST_F(NavigationTest, PictureBarItemIsSizedToItsPictureAndSendsItsAction)
{
    auto screen = alloc<DDYPPartentsController>()->init();
    m_navigation->pushViewController(screen, false);
    m_ui.runUntilIdle();
    // The item's action pops the base screen: the same action its own back button has.
    auto item = itemWithImage("nav_back"_ns, "back"_ns, screen, "leftButtonClick");
    auto button = dv::as<UIButton>(item->customView());
    ASSERT_TRUE(button);
    EXPECT_TRUE(CGSizeEqualToSize(button->frame().size, CGSizeMake(12, 22)));
    ASSERT_TRUE(button->backgroundImageForState(UIControlStateHighlighted));
    EXPECT_TRUE(CGSizeEqualToSize(button->backgroundImageForState(UIControlStateHighlighted)->size(), CGSizeMake(16, 30)));
    screen->navigationItem()->setRightBarButtonItem(item);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.tap(item));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.topViewController(), m_home);
}

TEST_F(NavigationTest, ScreensAreMadeByClassNameOrNotAtAll)
{
    auto screen = dv::app::makeScreen("NavigationTestScreen");
    auto typed = dv::as<NavigationTestScreen>(screen);
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->inits(), 1);
    EXPECT_TRUE(dv::app::setScreenValue(screen, "http://127.0.0.1/a"_ns, "linkUrl"));
    EXPECT_EQ(dv::str(typed->linkUrl()), "http://127.0.0.1/a");
    EXPECT_FALSE(dv::app::setScreenValue(screen, "x"_ns, "titleName"));

    EXPECT_FALSE(dv::app::makeScreen("VQNoSuchViewController"));
    EXPECT_FALSE(dv::app::makeScreen("NSString")); // registered, but not a screen
    auto plain = dv::app::makeScreen("DDYPPartentsController");
    EXPECT_TRUE(dv::as<DDYPPartentsController>(plain));
}

} // namespace
