// The guide pages as the application window's root, swiped by the driver: the pictures and the
// empty page after them, the button and the indicator hiding past the middle of the last picture,
// and the hand-over to the home screen, which happens once however the user goes on scrolling.
#include "InformationTestSupport.h"

#include "app/shell/guide/LYIntroduceController.h"
#include "app/shell/home/VQMainViewController.h"
#include "app/shell/navigation/SMNavigationController.h"
#include "app/shell/start/AppDelegate.h"
#include "app/shell/start/IntroduceControllerDelegate.h"
#include "platform/base/NSLog.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIPageControl.h"
#include "platform/ui/UIScrollView.h"

using namespace dv::test;
using dv::testing::SwipeDirection;

namespace {

class CountingGuideDelegate : public IntroduceControllerDelegate {
public:
    void introduceWillFinished() override { ++finished; }
    int finished = 0;
};

class GuidePagesTest : public InformationTest {
protected:
    // A guide of the three pictures as the window's root, laid out.
    Ref<LYIntroduceController> showGuide(const std::shared_ptr<IntroduceControllerDelegate>& delegate)
    {
        auto guide
            = alloc<LYIntroduceController>()->initWithImages(NSArray::of({ "yindao1"_ns, "yindao2"_ns, "yindao3"_ns }));
        if (delegate)
            guide->setDelegate(delegate);
        appDelegate()->window()->setRootViewController(guide);
        m_ui.runUntilIdle();
        return guide;
    }
    Ref<UIScrollView> pages() const { return m_ui.find<UIScrollView>(); }
    Ref<UIView> skipButton() const { return m_ui.viewWithTitle("进入应用"); }
    Ref<UIViewController> root() const { return appDelegate()->window()->rootViewController(); }
    // Three swipes from the first picture: at rest on the empty page.
    bool swipeToTheEmptyPage()
    {
        auto scroll = pages();
        for (int page = 0; page < 3; ++page)
            if (!m_ui.swipePage(scroll, SwipeDirection::Left))
                return false;
        m_ui.runUntilIdle();
        return true;
    }
};

TEST_F(GuidePagesTest, PicturesSideBySideWithAnEmptyPageAfterThem)
{
    ASSERT_TRUE(launch());
    auto guide = showGuide(nil);
    auto scroll = pages();
    ASSERT_TRUE(scroll);
    EXPECT_TRUE(scroll->isPagingEnabled());
    EXPECT_TRUE(CGSizeEqualToSize(scroll->contentSize(), CGSizeMake(4 * 375, 667)));
    auto subviews = scroll->subviews();
    std::vector<Ref<UIImageView>> pictures;
    for (const auto& subview : subviews->items())
        if (auto picture = dv::as<UIImageView>(subview); picture && picture->image())
            pictures.push_back(picture);
    ASSERT_EQ(pictures.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(CGRectEqualToRect(pictures[i]->frame(), CGRectMake(i * 375.0, 0, 375, 667))) << i;
        EXPECT_TRUE(CGSizeEqualToSize(pictures[i]->image()->size(), CGSizeMake(375, 667))) << i;
    }
    auto dots = m_ui.find<UIPageControl>();
    ASSERT_TRUE(dots);
    EXPECT_EQ(dots->numberOfPages(), 3) << "the empty page has no dot";
    EXPECT_EQ(dots->currentPage(), 0);
    ASSERT_TRUE(skipButton());
    EXPECT_TRUE(CGRectEqualToRect(skipButton()->frame(), CGRectMake(137.5, 607, 100, 30)));
    // The button and the indicator lie above the pictures.
    EXPECT_TRUE(m_ui.tapPoint(skipButton()));

    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    EXPECT_EQ(scroll->contentOffset().x, 375);
    EXPECT_EQ(dots->currentPage(), 1);
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    EXPECT_EQ(scroll->contentOffset().x, 750);
    EXPECT_EQ(dots->currentPage(), 2);
    EXPECT_TRUE(m_ui.isVisible(skipButton()));
    EXPECT_EQ(root(), std::static_pointer_cast<UIViewController>(guide));
}

TEST_F(GuidePagesTest, TheButtonAndIndicatorHidePastTheMiddleOfTheLastPicture)
{
    ASSERT_TRUE(launch());
    showGuide(nil);
    auto scroll = pages();
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    auto dots = m_ui.find<UIPageControl>();
    auto button = skipButton();

    // A finger holds the last picture and moves it left by 200 points, then back by 100.
    CGPoint at = CGPointMake(300, 300);
    auto touch = m_ui.touchDown(at);
    ASSERT_NE(touch, 0u);
    auto moveBy = [&](CGFloat dx) {
        for (int step = 0; step < 10; ++step) {
            at.x += dx / 10;
            m_ui.touchMove(touch, at);
            m_ui.advance(1.0 / 60);
        }
    };
    moveBy(-200);
    EXPECT_GT(scroll->contentOffset().x, 2.5 * 375);
    EXPECT_TRUE(button->isHidden());
    EXPECT_TRUE(dots->isHidden());
    moveBy(100);
    EXPECT_LT(scroll->contentOffset().x, 2.5 * 375);
    EXPECT_FALSE(button->isHidden());
    EXPECT_FALSE(dots->isHidden());
    m_ui.advance(0.2);
    m_ui.touchUp(touch, at);
    ASSERT_TRUE(m_ui.settle(scroll));
    EXPECT_EQ(scroll->contentOffset().x, 750) << "back at rest on the last picture";
    EXPECT_EQ(dots->currentPage(), 2);
}

TEST_F(GuidePagesTest, TheDelegateHearsTheHandOverOnceWhateverTheScrolling)
{
    ASSERT_TRUE(launch());
    auto delegate = std::make_shared<CountingGuideDelegate>();
    auto guide = showGuide(delegate);
    auto scroll = pages();
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    EXPECT_EQ(delegate->finished, 0);

    // Past the left edge of the last picture: one hand-over for the many scroll steps.
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    EXPECT_EQ(scroll->contentOffset().x, 3 * 375);
    EXPECT_EQ(delegate->finished, 1);
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Right));
    ASSERT_TRUE(m_ui.swipePage(scroll, SwipeDirection::Left));
    EXPECT_EQ(delegate->finished, 1);
    EXPECT_FALSE(scroll->delegate()) << "the guide no longer listens";
    // The delegate decides what comes next; the guide does not replace the root itself.
    EXPECT_EQ(root(), std::static_pointer_cast<UIViewController>(guide));
}

TEST_F(GuidePagesTest, TheButtonTellsTheDelegateOnceAndNothingWithoutOne)
{
    ASSERT_TRUE(launch());
    auto guide = showGuide(nil);
    ASSERT_TRUE(m_ui.tap(skipButton()));
    m_ui.runUntilIdle();
    EXPECT_EQ(root(), std::static_pointer_cast<UIViewController>(guide)) << "without a delegate nothing happens";

    auto delegate = std::make_shared<CountingGuideDelegate>();
    guide->setDelegate(delegate);
    ASSERT_TRUE(m_ui.tap(skipButton()));
    ASSERT_TRUE(m_ui.tap(skipButton()));
    m_ui.runUntilIdle();
    EXPECT_EQ(delegate->finished, 1);
}

TEST_F(GuidePagesTest, WithoutADelegateRestingOnTheEmptyPageOpensTheHomeScreen)
{
    ASSERT_TRUE(launch());
    Weak<LYIntroduceController> weakGuide;
    dv::LogCapture log;
    {
        auto guide = showGuide(nil);
        weakGuide = guide;
    }
    ASSERT_TRUE(swipeToTheEmptyPage());
    auto navigation = dv::as<SMNavigationController>(root());
    ASSERT_TRUE(navigation);
    EXPECT_TRUE(dv::as<VQMainViewController>(navigation->viewControllers()->objectAtIndex(0)));
    EXPECT_TRUE(weakGuide.expired()) << "the guide goes with the old root";
    EXPECT_TRUE(log.contains("dealloc"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return tiles().size() == 4; }))
        << "the new home screen loads its tiles";
}

TEST_F(GuidePagesTest, TheApplicationsGuideEndsInANewHomeScreen)
{
    ASSERT_TRUE(launch());
    auto firstHome = homeScreen();
    appDelegate()->showIntroduce();
    m_ui.runUntilIdle();
    EXPECT_EQ(dv::str(dv::as<NSString>(NSUserDefaults::standardUserDefaults()->objectForKey("first"_ns))), "YES");
    auto guide = dv::as<LYIntroduceController>(root());
    ASSERT_TRUE(guide);
    EXPECT_EQ(guide->delegate(), std::dynamic_pointer_cast<IntroduceControllerDelegate>(appDelegate()));
    Weak<LYIntroduceController> weakGuide = guide;
    guide = nil;

    ASSERT_TRUE(swipeToTheEmptyPage());
    auto navigation = dv::as<SMNavigationController>(root());
    ASSERT_TRUE(navigation);
    auto home = homeScreen();
    ASSERT_TRUE(home);
    EXPECT_NE(home, firstHome);
    EXPECT_TRUE(weakGuide.expired());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return tiles().size() == 4; }));
    m_ui.advance(1);
    EXPECT_EQ(root(), std::static_pointer_cast<UIViewController>(navigation)) << "replaced once";
}

} // namespace
