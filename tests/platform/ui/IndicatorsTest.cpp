// Activity indicators, progress views, page controls, switches and refresh controls.
#include "UITestSupport.h"

#include "platform/base/NSString.h"

using namespace dv::test;

namespace {

class IndicatorsTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_target = alloc<ActionTarget>();
        m_window->setBackgroundColor(UIColor::whiteColor());
    }
    Ref<ActionTarget> m_target;
};

} // namespace

TEST_F(IndicatorsTest, ActivityIndicatorsTakeTheirStylesSizeAndHideWhileStopped)
{
    auto large = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleWhiteLarge);
    auto gray = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    EXPECT_EQ(large->frame().size, CGSizeMake(37, 37));
    EXPECT_EQ(gray->frame().size, CGSizeMake(20, 20));
    EXPECT_EQ(large->color(), UIColor::whiteColor());
    EXPECT_EQ(gray->color(), UIColor::grayColor());
    EXPECT_TRUE(gray->isHidden()) << "stopped";
    gray->setFrame(CGRectMake(100, 100, 20, 20));
    m_window->addSubview(gray);
    gray->startAnimating();
    EXPECT_TRUE(gray->isAnimating());
    EXPECT_FALSE(gray->isHidden());
    m_ui.runUntilIdle();
    // Some spoke is drawn grey.
    const Pixels shot(m_ui.screenshot(1));
    int dark = 0;
    for (int y = 100; y < 120; ++y)
        for (int x = 100; x < 120; ++x)
            dark += shot.at(x, y)[0] < 200;
    EXPECT_GT(dark, 10);
    EXPECT_NE(m_ui.dump().find("UIActivityIndicatorView (100 100; 20 20) animating"), std::string::npos);
    gray->stopAnimating();
    EXPECT_TRUE(gray->isHidden());
    gray->setHidesWhenStopped(false);
    EXPECT_FALSE(gray->isHidden());
    large->setColor(UIColor::redColor());
    EXPECT_EQ(large->color(), UIColor::redColor());
    large->setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleWhite);
    EXPECT_EQ(large->sizeThatFits(CGSizeZero), CGSizeMake(20, 20));
}

TEST_F(IndicatorsTest, IndicatorsOfOneLookDrawTheSamePictureAndOtherLooksTheirOwn)
{
    // The first indicator of a look strokes its spokes; the next of the same look copies them.
    // A colour of this test's own, so that the first is stroked whatever ran before.
    const auto green = UIColor::colorWithRed(0.2, 0.6, 0.3, 1);
    struct Placed {
        CGPoint origin;
        UIActivityIndicatorViewStyle style;
        Ref<UIColor> colour;
    };
    const std::vector<Placed> placed = {
        { CGPointMake(20, 100), UIActivityIndicatorViewStyleWhiteLarge, green },
        { CGPointMake(80, 100), UIActivityIndicatorViewStyleWhiteLarge, green },
        { CGPointMake(140, 100), UIActivityIndicatorViewStyleWhiteLarge, UIColor::blueColor() },
        { CGPointMake(200, 100), UIActivityIndicatorViewStyleGray, green },
        { CGPointMake(260, 100), UIActivityIndicatorViewStyleGray, green },
    };
    for (const auto& at : placed) {
        auto indicator = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(at.style);
        indicator->setColor(at.colour);
        indicator->setFrame(CGRectMake(at.origin.x, at.origin.y, 37, 37));
        indicator->startAnimating();
        m_window->addSubview(indicator);
    }
    m_ui.runUntilIdle();
    // Every pixel of each indicator at the screen's scale, read point by point.
    const auto shot = m_ui.screenshot();
    const CGFloat scale = shot->scale();
    const Pixels pixels(shot);
    auto picture = [&](std::size_t index) {
        std::vector<int> channels;
        for (int y = 0; y < int(37 * scale); ++y)
            for (int x = 0; x < int(37 * scale); ++x)
                for (int channel : pixels.at(placed[index].origin.x + (x + 0.5) / scale, placed[index].origin.y + (y + 0.5) / scale))
                    channels.push_back(channel);
        return channels;
    };
    const auto large = picture(0), gray = picture(3);
    EXPECT_EQ(picture(1), large) << "a copy of the same look";
    EXPECT_NE(picture(2), large) << "another colour";
    EXPECT_EQ(picture(4), gray);
    EXPECT_NE(gray, large) << "another style";
    EXPECT_TRUE(std::any_of(large.begin(), large.end(), [](int c) { return c < 200; })) << "spokes drawn";
}

TEST_F(IndicatorsTest, AProgressBarFillsFromTheLeftByItsClampedProgress)
{
    auto bar = alloc<UIProgressView>()->initWithProgressViewStyle(UIProgressViewStyleDefault);
    EXPECT_EQ(bar->frame().size.height, 2);
    bar->setFrame(CGRectMake(0, 100, 200, 2));
    bar->setProgressTintColor(UIColor::redColor());
    bar->setTrackTintColor(UIColor::blueColor());
    m_window->addSubview(bar);
    bar->setProgress(0.25, true);
    m_ui.runUntilIdle();
    auto shot = m_ui.screenshot(1);
    EXPECT_TRUE(near(pixelOf(shot, 45, 100), {255, 0, 0, 255}));
    EXPECT_TRUE(near(pixelOf(shot, 55, 100), {0, 0, 255, 255}));
    bar->setProgress(3);
    EXPECT_EQ(bar->progress(), 1);
    bar->setProgress(-1);
    EXPECT_EQ(bar->progress(), 0);
    EXPECT_EQ(dv::str(bar->accessibilityValue()), "0%");
}

TEST_F(IndicatorsTest, APageControlStepsByHalvesAndSendsValueChanged)
{
    auto dots = alloc<UIPageControl>()->initWithFrame(CGRectMake(0, 600, 375, 30));
    dots->addTarget(m_target, "fired:", UIControlEventValueChanged);
    m_window->addSubview(dots);
    dots->setNumberOfPages(3);
    EXPECT_EQ(dots->sizeForNumberOfPages(3), CGSizeMake(39, 37));
    EXPECT_EQ(dots->sizeForNumberOfPages(0), CGSizeZero);
    ASSERT_TRUE(m_ui.tap(CGPointMake(300, 615)));
    EXPECT_EQ(dots->currentPage(), 1);
    ASSERT_TRUE(m_ui.tap(CGPointMake(300, 615)));
    ASSERT_TRUE(m_ui.tap(CGPointMake(300, 615)));
    EXPECT_EQ(dots->currentPage(), 2) << "no further than the last";
    EXPECT_EQ(m_target->calls.size(), 2u) << "only real changes";
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.tap(CGPointMake(20, 615)));
    EXPECT_EQ(dots->currentPage(), 1);
    dots->setCurrentPage(7);
    EXPECT_EQ(dots->currentPage(), 2);
    dots->setNumberOfPages(2);
    EXPECT_EQ(dots->currentPage(), 1) << "kept within the pages";

    // The dots by pixels: the current one in its colour, images by key in place of colours.
    dots->setCurrentPage(0);
    dots->setCurrentPageIndicatorTintColor(UIColor::redColor());
    dots->setPageIndicatorTintColor(UIColor::blueColor());
    m_ui.runUntilIdle();
    auto shot = m_ui.screenshot(1);
    // Two dots: 23 wide, centred: the first at 176 ... 183, the second at 192 ... 199.
    EXPECT_TRUE(near(pixelOf(shot, 179.5, 615), {255, 0, 0, 255}));
    EXPECT_TRUE(near(pixelOf(shot, 195.5, 615), {0, 0, 255, 255}));
    dots->setValueForKey(twoColourImage(CGSizeMake(6, 6), UIColor::greenColor(), UIColor::greenColor()), "_pageImage"_ns);
    EXPECT_TRUE(dots->valueForKey("_pageImage"_ns));
    m_ui.runUntilIdle();
    EXPECT_TRUE(near(pixelOf(m_ui.screenshot(1), 195.5, 615), {0, 255, 0, 255}));
    dots->setHidesForSinglePage(true);
    dots->setNumberOfPages(1);
    m_ui.runUntilIdle();
    EXPECT_TRUE(near(pixelOf(m_ui.screenshot(1), 187.5, 615), {255, 255, 255, 255})) << "one page shows nothing";
}

TEST_F(IndicatorsTest, AnAncestorsSingleTapDoesNotTakeThePageControlsOrTheSwitchsTap)
{
    auto tap = alloc<UITapGestureRecognizer>();
    auto tapTarget = alloc<ActionTarget>();
    tap->initWithTarget(tapTarget, "fired:");
    m_window->addGestureRecognizer(tap);
    auto dots = alloc<UIPageControl>()->initWithFrame(CGRectMake(0, 600, 375, 30));
    dots->setNumberOfPages(3);
    m_window->addSubview(dots);
    auto toggle = alloc<UISwitch>()->initWithFrame(CGRectMake(20, 100, 10, 10));
    m_window->addSubview(toggle);
    ASSERT_TRUE(m_ui.tap(CGPointMake(300, 615)));
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.tap(toggle));
    EXPECT_EQ(dots->currentPage(), 1);
    EXPECT_TRUE(std::static_pointer_cast<UISwitch>(toggle)->isOn());
    EXPECT_TRUE(tapTarget->calls.empty());
}

TEST_F(IndicatorsTest, ASwitchTurnsOverOnATapAndFollowsADrag)
{
    auto toggle = alloc<UISwitch>()->initWithFrame(CGRectMake(100, 100, 200, 200));
    EXPECT_EQ(toggle->frame(), CGRectMake(100, 100, 51, 31)) << "its own size";
    toggle->addTarget(m_target, "fired:", UIControlEventValueChanged);
    m_window->addSubview(toggle);
    toggle->setOn(true);
    EXPECT_TRUE(m_target->calls.empty()) << "setting it sends nothing";
    ASSERT_TRUE(m_ui.tap(toggle));
    EXPECT_FALSE(toggle->isOn());
    EXPECT_EQ(m_target->calls.size(), 1u);
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.pan(CGPointMake(110, 115), CGPointMake(35, 0), {5, 0.01, 0}));
    EXPECT_TRUE(toggle->isOn()) << "dragged to the right";
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.pan(CGPointMake(110, 115), CGPointMake(10, 0), {5, 0.01, 0}));
    EXPECT_FALSE(toggle->isOn()) << "dragged, but lifted left of its middle";
}

TEST_F(IndicatorsTest, ARefreshControlShowsItsIndicatorWhileRefreshing)
{
    auto refresh = alloc<UIRefreshControl>()->init();
    refresh->setFrame(CGRectMake(0, 0, 375, 60));
    m_window->addSubview(refresh);
    refresh->addTarget(m_target, "fired:", UIControlEventValueChanged);
    EXPECT_FALSE(refresh->isRefreshing());
    refresh->beginRefreshing();
    EXPECT_TRUE(refresh->isRefreshing());
    m_ui.runUntilIdle();
    auto indicator = m_ui.find<UIActivityIndicatorView>();
    ASSERT_TRUE(indicator);
    EXPECT_TRUE(indicator->isAnimating());
    EXPECT_EQ(indicator->center(), CGPointMake(187.5, 30));
    refresh->setTintColor(UIColor::redColor());
    EXPECT_EQ(indicator->color(), UIColor::redColor());
    refresh->endRefreshing();
    EXPECT_FALSE(refresh->isRefreshing());
    EXPECT_FALSE(m_ui.find<UIActivityIndicatorView>()) << "hidden when stopped";
    EXPECT_TRUE(m_target->calls.empty()) << "begin and end send nothing";
}
