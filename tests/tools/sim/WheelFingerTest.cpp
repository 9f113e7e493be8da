// The window's mouse wheel as a finger, on the manual clock, stepped as the window's loop steps it:
// a notch moves a page 40 points and notches add up however far, slow turns leave it where they
// took it, a spin flies on to the end with the page's deceleration, and the page hears it all as a
// drag (its delegate, and a refresh header that refreshes when the wheel pulls the page down at its
// top); a turn over a button never presses it.
#include "tools/sim/internal/WheelFinger.h"

#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/Clock.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/TouchInput.h"
#include "ui/toolkit/refresh/RFRefreshNormalHeader.h"
#include "ui/toolkit/refresh/UIScrollViewRFRefresh.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Counts the presses of a button.
class WheelTestPressCounter : public NSObject {
    DV_CLASS(WheelTestPressCounter, NSObject)
public:
    int presses = 0;
};

DV_DEFINE_CLASS_WITH(WheelTestPressCounter, b)
{
    b.method("press:", "v24@0:8@16", [](WheelTestPressCounter& self, std::span<const id>) -> id {
        ++self.presses;
        return nil;
    });
}

namespace dv::sim {
namespace {

using dv::internal::sim::WheelFinger;

// What the page's delegate hears, in order.
class PageDelegate : public UIScrollViewDelegate {
public:
    std::vector<std::string> heard;
    bool scrollViewWillBeginDragging(const Ref<UIScrollView>&) override
    {
        heard.push_back("drag");
        return true;
    }
    bool scrollViewDidEndDragging(const Ref<UIScrollView>&, bool willDecelerate) override
    {
        heard.push_back(willDecelerate ? "release, decelerating" : "release");
        return true;
    }
    bool scrollViewDidEndDecelerating(const Ref<UIScrollView>&) override
    {
        heard.push_back("rest");
        return true;
    }
};

class WheelFingerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UIApplication::resetSharedApplication();
        m_window = alloc<UIWindow>()->initWithFrame(CGRectMake(0, 0, 375, 667));
        m_page = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 64, 375, 603));
        m_page->setContentSize(CGSizeMake(375, 3000));
        m_page->setDelegate(m_delegate);
        m_window->addSubview(m_page);
        m_button = UIButton::buttonWithType(UIButtonTypeCustom);
        m_button->setFrame(CGRectMake(0, 0, 375, 64));
        m_counter = alloc<WheelTestPressCounter>();
        m_button->addTarget(m_counter, "press:", UIControlEventTouchUpInside);
        m_window->addSubview(m_button);
        m_window->makeKeyAndVisible();
        m_ui.runUntilIdle();
    }
    void TearDown() override
    {
        m_wheel.cancel();
        m_window->setHidden(true);
        UIApplication::resetSharedApplication();
    }

    // The window's loop: the clock moves on a frame at a time and the finger steps at each.
    void run(double seconds)
    {
        for (double t = 0; t < seconds; t += 1.0 / 60) {
            m_ui.advance(1.0 / 60);
            m_wheel.step();
        }
    }
    // Turns of the wheel with the pointer in the middle of the page: positive shows what lies
    // further down (the finger moves up).
    void turn(int notches) { m_wheel.turn(m_window, CGPointMake(187, 400), 0, -notches); }
    CGFloat offset() const { return m_page->contentOffset().y; }
    CGFloat end() const { return m_page->contentSize().height - m_page->bounds().size.height; }

    ManualClockScope m_clock;
    dv::testing::UIDriver m_ui;
    std::shared_ptr<PageDelegate> m_delegate = std::make_shared<PageDelegate>();
    Ref<UIWindow> m_window;
    Ref<UIScrollView> m_page;
    Ref<UIButton> m_button;
    Ref<WheelTestPressCounter> m_counter;
    WheelFinger m_wheel;
};

TEST_F(WheelFingerTest, NotchesMoveThePageFortyPointsEachAndSlowTurnsLeaveItThere)
{
    turn(1);
    run(0.05);
    EXPECT_EQ(offset(), 40);
    run(0.3);
    EXPECT_FALSE(m_wheel.isDown()) << "the finger lifted once the wheel rested";
    EXPECT_EQ(offset(), 40) << "and without speed";
    turn(1);
    run(0.05);
    turn(1);
    run(0.5);
    EXPECT_EQ(offset(), 120) << "notches add up";
    turn(2);
    run(0.5);
    EXPECT_EQ(offset(), 200) << "two notches together are no spin";
    turn(-2);
    run(0.5);
    turn(-2);
    run(0.5);
    turn(-1);
    run(0.5);
    EXPECT_EQ(offset(), 0) << "and back up";
    EXPECT_FALSE(m_page->isDecelerating());
    EXPECT_EQ(m_delegate->heard.front(), "drag");
    EXPECT_EQ(m_delegate->heard.back(), "release");
}

TEST_F(WheelFingerTest, ASpinFliesOnWithThePagesDecelerationToItsEndAndBack)
{
    turn(30);
    run(0.5);
    EXPECT_GT(offset(), 30 * 40) << "the finger lifted moving";
    EXPECT_TRUE(m_page->isDecelerating());
    run(8);
    EXPECT_NEAR(offset(), end(), 0.01) << "30 notches from the top reach the end of a page 2397 points long";
    EXPECT_EQ(m_delegate->heard, (std::vector<std::string> { "drag", "release, decelerating", "rest" }));
    turn(-30);
    run(8);
    EXPECT_NEAR(offset(), 0, 0.01) << "and 30 the other way its top";
}

// Notches read in one go after a busy moment are spread out in time as they are applied, so that
// the page measures the same speed whatever the loop was doing.
TEST_F(WheelFingerTest, ASpinReadLateFliesAsFarAsOneReadAtOnce)
{
    m_page->setContentSize(CGSizeMake(375, 10000));
    turn(30);
    run(0.5);
    run(8);
    const CGFloat far = offset();
    m_page->setContentOffset(CGPointZero);
    turn(30);
    m_ui.advance(0.4); // the loop did not step meanwhile
    run(8.5);
    EXPECT_GT(far, 2000);
    EXPECT_LT(far, 10000 - 603) << "a glide that stops of itself";
    EXPECT_NEAR(offset(), far, 0.5);
}

TEST_F(WheelFingerTest, ThePageHearsADragSoTheWheelPullsItsRefreshHeader)
{
    int refreshes = 0;
    setRf_header(m_page, RFRefreshNormalHeader::headerWithRefreshingBlock([&refreshes] { ++refreshes; }));
    m_ui.runUntilIdle();
    turn(-1);
    run(0.5);
    EXPECT_EQ(refreshes, 0) << "a notch does not pull it far enough";
    turn(-3);
    run(1);
    EXPECT_EQ(refreshes, 1) << "three notches pull it past its height";
    EXPECT_TRUE(rf_header(m_page)->isRefreshing());
}

TEST_F(WheelFingerTest, ATurnOverAButtonNeverPressesIt)
{
    m_wheel.turn(m_window, CGPointMake(187, 30), 0, 1);
    run(0.5);
    m_wheel.turn(m_window, CGPointMake(187, 30), 0, -1);
    run(0.5);
    EXPECT_FALSE(m_wheel.isDown());
    EXPECT_EQ(m_counter->presses, 0);
    EXPECT_EQ(dv::activeTouchCount(), 0u);
}

} // namespace
} // namespace dv::sim

