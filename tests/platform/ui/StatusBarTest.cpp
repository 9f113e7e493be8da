// The screen as a person sees it: the windows, the keyboard above them, and the status area drawn
// over the top 20 points (signal, time, battery, network activity), light over a dark bar and dark
// over a light ground, the same picture for the same clock, without service while the network
// is off.
#include "UITestSupport.h"

#include "platform/base/NSTimeZone.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/testing/Pixels.h"
#include "platform/ui/ViewSnapshot.h"

using namespace dv::test;
using dv::testing::Pixel;

namespace {

class StatusBarTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        // A machine with a network, whatever this one has.
        dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable);
        NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName("Asia/Shanghai"_ns));
        m_window->setBackgroundColor(UIColor::whiteColor());
        m_bar = addView(CGRectMake(0, 0, 375, 64), UIColor::colorWithRed(0.75, 0.16, 0.14, 1));
        m_ui.runUntilIdle();
    }
    void TearDown() override
    {
        NSTimeZone::setDefaultTimeZone(nil);
        dv::setStillStatusBar(std::nullopt);
        dv::setNetworkSimulatedOffline(false);
        dv::setNetworkReachabilityFlagsOverride(std::nullopt);
        m_ui.runUntilIdle();
        UITest::TearDown();
    }

    // The pixels of the status area that stand out from its ground: white ones over the dark bar,
    // black ones over a light ground.
    static std::size_t marks(const dv::testing::Pixels& screen, CGRect area, bool light)
    {
        return screen.count(area, [light](const Pixel& p) {
            return light ? p[0] > 235 && p[1] > 235 && p[2] > 235 : dv::testing::isInk(p, 60);
        });
    }

    const CGRect m_left = CGRectMake(0, 0, 60, 20), m_middle = CGRectMake(150, 0, 75, 20), m_right = CGRectMake(300, 0, 75, 20);
    const CGRect m_activity = CGRectMake(60, 0, 25, 20);
    const CGRect m_signal = CGRectMake(0, 0, 40, 20), m_wifi = CGRectMake(40, 0, 20, 20);
    Ref<UIView> m_bar;
};

} // namespace

TEST_F(StatusBarTest, TimeSignalAndBatteryStandInLightContentOverADarkBar)
{
    const dv::testing::Pixels screen(m_ui.screenImage());
    for (CGRect area : { m_left, m_middle, m_right })
        EXPECT_GT(marks(screen, area, true), 15u) << area.origin.x;
    EXPECT_EQ(marks(screen, m_activity, true), 0u) << "no activity indicator unless the application turns it on";
    EXPECT_EQ(marks(screen, CGRectMake(0, 0, 375, 20), false), 0u) << "nothing dark over the dark bar";
    // The window's own picture has no status area: the bar's colour is all there is.
    const dv::testing::Pixels window(m_ui.screenshot());
    EXPECT_EQ(marks(window, CGRectMake(0, 0, 375, 20), true), 0u);

    UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(true);
    EXPECT_GT(marks(dv::testing::Pixels(m_ui.screenImage()), m_activity, true), 10u);
    UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(false);
    EXPECT_EQ(marks(dv::testing::Pixels(m_ui.screenImage()), m_activity, true), 0u);
}

TEST_F(StatusBarTest, OverALightGroundTheContentIsDark)
{
    m_bar->setBackgroundColor(UIColor::colorWithWhite(0.97, 1));
    m_ui.runUntilIdle();
    const dv::testing::Pixels screen(m_ui.screenImage());
    for (CGRect area : { m_left, m_middle, m_right })
        EXPECT_GT(marks(screen, area, false), 15u) << area.origin.x;
}

TEST_F(StatusBarTest, TheTimeComesFromTheClockAndTheSamePictureFromTheSameTime)
{
    auto pixels = [](const Ref<UIImage>& image) { return dv::imagePixelsRGBA8(image->CGImage()); };
    const auto first = m_ui.screenImage();
    EXPECT_EQ(pixels(m_ui.screenImage()), pixels(first)) << "nothing moves while the clock stands";
    // 800000000 s after the reference date is 13:33:20 in Shanghai: 30 seconds on is the same
    // minute, an hour on is not.
    m_ui.advance(30);
    EXPECT_EQ(pixels(m_ui.screenImage()), pixels(first));
    m_ui.advance(3600);
    const auto hourLater = m_ui.screenImage();
    EXPECT_NE(pixels(hourLater), pixels(first));
    // Only the time changed: the signal and the battery stand as they stood.
    const dv::testing::Pixels before(first), after(hourLater);
    int changedInTheMiddle = 0;
    for (CGFloat x = 0; x < 375; x += 0.5)
        for (CGFloat y = 0; y < 20; y += 0.5) {
            if (x >= 140 && x < 235)
                changedInTheMiddle += before.at(x, y) != after.at(x, y);
            else
                ASSERT_EQ(before.at(x, y), after.at(x, y)) << x << "," << y;
        }
    EXPECT_GT(changedInTheMiddle, 10);
}

TEST_F(StatusBarTest, AStillStatusAreaShowsItsTimeAndNoActivityWhateverTheClockAndTheNetworkDo)
{
    auto pixels = [](const Ref<UIImage>& image) { return dv::imagePixelsRGBA8(image->CGImage()); };
    const auto live = m_ui.screenImage();
    dv::setStillStatusBar("09:41");
    const auto still = m_ui.screenImage();
    EXPECT_NE(pixels(still), pixels(live)) << "09:41, not the clock's 13:33";
    m_ui.advance(3600);
    UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(true);
    EXPECT_EQ(pixels(m_ui.screenImage()), pixels(still)) << "an hour later, with the network busy";
    // Still in the style its ground calls for.
    m_bar->setBackgroundColor(UIColor::colorWithWhite(0.97, 1));
    m_ui.runUntilIdle();
    EXPECT_GT(marks(dv::testing::Pixels(m_ui.screenImage()), m_middle, false), 15u);

    dv::setStillStatusBar(std::nullopt);
    m_bar->setBackgroundColor(UIColor::colorWithRed(0.75, 0.16, 0.14, 1));
    m_ui.runUntilIdle();
    EXPECT_GT(marks(dv::testing::Pixels(m_ui.screenImage()), m_activity, true), 10u) << "the live status area again";
    UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(false);
}

TEST_F(StatusBarTest, WithoutANetworkTheSignalDotsAreEmptyAndTheWiFiFanGoes)
{
    auto pixels = [](const Ref<UIImage>& image) { return dv::imagePixelsRGBA8(image->CGImage()); };
    // The middle of each of the five signal dots.
    auto dotsFilled = [](const dv::testing::Pixels& screen) {
        int filled = 0;
        for (int i = 0; i < 5; ++i)
            filled += dv::testing::near(screen.at(6 + i * 6.5 + 2.75, 10), { 255, 255, 255, 255 }, 10);
        return filled;
    };
    const auto online = m_ui.screenImage();
    const dv::testing::Pixels on(online);
    EXPECT_EQ(dotsFilled(on), 5);
    EXPECT_GT(marks(on, m_wifi, true), 10u);

    // The switch is heard through the main loop, in a turn of its own: a window draws after it.
    m_ui.runUntilIdle();
    dv::setNetworkSimulatedOffline(true);
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runTurn(NSDefaultRunLoopMode, dv::Clock::current().now(), 5));
    m_ui.runUntilIdle();
    const dv::testing::Pixels off(m_ui.screenImage());
    EXPECT_EQ(dotsFilled(off), 0);
    EXPECT_GT(marks(off, m_signal, true), 15u) << "the empty rings";
    EXPECT_LT(marks(off, m_signal, true), marks(on, m_signal, true));
    EXPECT_EQ(marks(off, m_wifi, true), 0u) << "no Wi-Fi fan";
    for (CGRect area : { m_middle, m_right })
        EXPECT_GT(marks(off, area, true), 15u) << "time and battery stay";

    dv::setNetworkSimulatedOffline(false);
    m_ui.runUntilIdle();
    EXPECT_EQ(pixels(m_ui.screenImage()), pixels(online)) << "back online, as before";

    // A machine whose own network is gone looks the same; a still status area stands as it was
    // for it, but follows the switch.
    dv::setNetworkReachabilityFlagsOverride(0);
    m_ui.runUntilIdle();
    EXPECT_EQ(dotsFilled(dv::testing::Pixels(m_ui.screenImage())), 0);
    dv::setStillStatusBar("09:41");
    EXPECT_EQ(dotsFilled(dv::testing::Pixels(m_ui.screenImage())), 5);
    dv::setNetworkSimulatedOffline(true);
    m_ui.runUntilIdle();
    const dv::testing::Pixels still(m_ui.screenImage());
    EXPECT_EQ(dotsFilled(still), 0);
    EXPECT_EQ(marks(still, m_wifi, true), 0u);
}
