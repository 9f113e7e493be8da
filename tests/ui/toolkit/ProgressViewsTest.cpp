// The round (pie and ring) and bar progress views: what they draw, by pixels, and that a change
// of one of their properties redraws them and does nothing else.
#include "ToolkitTestSupport.h"

#include "platform/base/NSNumber.h"
#include "ui/toolkit/overlay/PHBarProgressView.h"
#include "ui/toolkit/overlay/PHRoundProgressView.h"

#include <cmath>
#include <numbers>

using namespace dv::test;

namespace {

const Pixel kRed {255, 0, 0, 255};
const Pixel kBlue {0, 0, 255, 255};
const Pixel kGreen {0, 255, 0, 255};
const Pixel kBlack {0, 0, 0, 255};
// A 2-point ring's middle is not quite fully covered once its arc is smoothed.
constexpr int kRingTolerance = 8;

class ProgressViewsTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        m_window->setBackgroundColor(UIColor::blackColor());
    }

    // A 100 x 100 round view at (50, 100), red on opaque blue.
    Ref<PHRoundProgressView> addRound(bool annular, float progress)
    {
        auto round = alloc<PHRoundProgressView>()->initWithFrame(CGRectMake(50, 100, 100, 100));
        round->setProgressTintColor(UIColor::redColor());
        round->setBackgroundTintColor(UIColor::blueColor());
        round->setAnnular(annular);
        round->setProgress(progress);
        m_window->addSubview(round);
        m_ui.runUntilIdle();
        return round;
    }

    // The window pixel on the middle of the 100-point ring at `degrees` clockwise from the top.
    Pixel ringPixel(const Pixels& shot, double degrees) const
    {
        const double phi = degrees * std::numbers::pi / 180;
        return shot.at(50 + 50 + 49 * std::sin(phi), 100 + 50 - 49 * std::cos(phi));
    }

    // A 200 x 20 bar at (50, 300): green outline, red progress, blue remainder.
    Ref<PHBarProgressView> addBar(float progress)
    {
        auto bar = alloc<PHBarProgressView>()->initWithFrame(CGRectMake(50, 300, 200, 20));
        bar->setLineColor(UIColor::greenColor());
        bar->setProgressColor(UIColor::redColor());
        bar->setProgressRemainingColor(UIColor::blueColor());
        bar->setProgress(progress);
        m_window->addSubview(bar);
        m_ui.runUntilIdle();
        return bar;
    }
};

} // namespace

TEST_F(ProgressViewsTest, NewViewsHaveTheirSizesAndDefaults)
{
    auto round = alloc<PHRoundProgressView>()->init();
    EXPECT_EQ(round->frame(), CGRectMake(0, 0, 37, 37));
    EXPECT_EQ(round->progress(), 0);
    EXPECT_FALSE(round->isAnnular());
    EXPECT_FALSE(round->isOpaque());
    EXPECT_TRUE(dv::equal(round->progressTintColor(), UIColor::colorWithWhite(1, 1)));
    EXPECT_TRUE(dv::equal(round->backgroundTintColor(), UIColor::colorWithWhite(1, 0.1)));
    auto bar = alloc<PHBarProgressView>()->init();
    EXPECT_EQ(bar->frame(), CGRectMake(0, 0, 120, 20));
    EXPECT_FALSE(bar->isOpaque());
    EXPECT_TRUE(dv::equal(bar->lineColor(), UIColor::whiteColor()));
    EXPECT_TRUE(dv::equal(bar->progressColor(), UIColor::whiteColor()));
    EXPECT_TRUE(dv::equal(bar->progressRemainingColor(), UIColor::clearColor()));
    // The overlay hands progress over by key.
    EXPECT_TRUE(round->respondsToSelector(SEL("setProgress:")));
    bar->setValueForKey(NSNumber::numberWithFloat(0.75f), "progress"_ns);
    EXPECT_EQ(bar->progress(), 0.75f);
}

TEST_F(ProgressViewsTest, APieFillsClockwiseFromTheTop)
{
    auto round = addRound(false, 0);
    {
        // Nothing done: the disc alone, in the background tint, with its outline.
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(125, 150), kBlue)) << show(shot.at(125, 150));
        EXPECT_TRUE(near(shot.at(75, 150), kBlue));
        EXPECT_TRUE(near(shot.at(52, 150), kRed)) << "outline " << show(shot.at(52, 150));
        EXPECT_TRUE(near(shot.at(51, 101), kBlack)) << "outside the disc";
    }
    round->setProgress(0.5f);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(125, 150), kRed)) << "right half " << show(shot.at(125, 150));
        EXPECT_TRUE(near(shot.at(115, 120), kRed)) << "top right";
        EXPECT_TRUE(near(shot.at(115, 180), kRed)) << "bottom right";
        EXPECT_TRUE(near(shot.at(75, 150), kBlue)) << "left half " << show(shot.at(75, 150));
        EXPECT_TRUE(near(shot.at(85, 120), kBlue)) << "top left";
    }
    round->setProgress(0.25f);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(115, 120), kRed)) << "top right";
        EXPECT_TRUE(near(shot.at(115, 180), kBlue)) << "bottom right";
    }
    round->setProgress(1);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(75, 150), kRed)) << "full";
        EXPECT_TRUE(near(shot.at(85, 120), kRed));
    }
}

TEST_F(ProgressViewsTest, ARingDrawsItsArcClockwiseFromTheTopOverItsTrack)
{
    auto round = addRound(true, 0.5f);
    {
        // Half the arc: the right side is done, the left is track.
        const Pixels shot(m_ui.screenshot(1));
        for (double degrees : {30, 90, 150})
            EXPECT_TRUE(near(ringPixel(shot, degrees), kRed, kRingTolerance)) << degrees << "° " << show(ringPixel(shot, degrees));
        for (double degrees : {210, 270, 330})
            EXPECT_TRUE(near(ringPixel(shot, degrees), kBlue, kRingTolerance)) << degrees << "° " << show(ringPixel(shot, degrees));
        EXPECT_TRUE(near(shot.at(100, 150), kBlack)) << "the middle stays empty";
    }
    round->setProgress(0.25f);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(ringPixel(shot, 45), kRed, kRingTolerance));
        for (double degrees : {135, 225, 315})
            EXPECT_TRUE(near(ringPixel(shot, degrees), kBlue, kRingTolerance)) << degrees << "°";
    }
    round->setProgress(0);
    m_ui.runUntilIdle();
    const Pixels shot(m_ui.screenshot(1));
    EXPECT_TRUE(near(ringPixel(shot, 90), kBlue, kRingTolerance)) << "track only";
}

TEST_F(ProgressViewsTest, ABarFillsItsInnerCapsuleFromTheLeft)
{
    auto bar = addBar(0);
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(50 + 8, 310), kBlue)) << "only the remainder " << show(shot.at(58, 310));
        EXPECT_TRUE(near(shot.at(50 + 100, 302), kGreen)) << "outline " << show(shot.at(150, 302));
        EXPECT_TRUE(near(shot.at(50 + 100, 310), kBlue));
    }
    // A little progress shows the whole left cap (up to 10 points in).
    bar->setProgress(0.005f);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(50 + 8, 310), kRed)) << show(shot.at(58, 310));
        EXPECT_TRUE(near(shot.at(50 + 30, 310), kBlue));
    }
    bar->setProgress(0.5f);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(50 + 98, 310), kRed));
        EXPECT_TRUE(near(shot.at(50 + 98, 306), kRed)) << "the fill is as high as the capsule";
        EXPECT_TRUE(near(shot.at(50 + 102, 310), kBlue));
    }
    bar->setProgress(1);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_TRUE(near(shot.at(50 + 192, 310), kRed)) << "into the right cap " << show(shot.at(242, 310));
        EXPECT_TRUE(near(shot.at(50 + 100, 310), kRed));
        EXPECT_TRUE(near(shot.at(50 + 100, 302), kGreen)) << "the outline stays";
    }
}

TEST_F(ProgressViewsTest, ChangingAnyObservedPropertyRedrawsWithoutRelayout)
{
    auto round = alloc<Counting<PHRoundProgressView>>();
    round->initWithFrame(CGRectMake(0, 100, 40, 40));
    auto bar = alloc<Counting<PHBarProgressView>>();
    bar->initWithFrame(CGRectMake(0, 200, 120, 20));
    m_window->addSubview(round);
    m_window->addSubview(bar);
    m_ui.runUntilIdle();
    const int roundLayouts = round->layouts, barLayouts = bar->layouts;

    auto expectOneRedraw = [&](auto& view, int layouts, const char* what, const std::function<void()>& change) {
        const int draws = view->draws;
        change();
        m_ui.runUntilIdle();
        EXPECT_EQ(view->draws, draws + 1) << what;
        EXPECT_EQ(view->layouts, layouts) << what;
    };
    expectOneRedraw(round, roundLayouts, "progress", [&] { round->setProgress(0.3f); });
    expectOneRedraw(round, roundLayouts, "progressTintColor", [&] { round->setProgressTintColor(UIColor::redColor()); });
    expectOneRedraw(round, roundLayouts, "backgroundTintColor", [&] { round->setBackgroundTintColor(UIColor::blueColor()); });
    expectOneRedraw(round, roundLayouts, "annular", [&] { round->setAnnular(true); });
    expectOneRedraw(round, roundLayouts, "progress by key", [&] { round->setValueForKey(NSNumber::numberWithFloat(0.6f), "progress"_ns); });
    expectOneRedraw(bar, barLayouts, "progress", [&] { bar->setProgress(0.3f); });
    expectOneRedraw(bar, barLayouts, "lineColor", [&] { bar->setLineColor(UIColor::redColor()); });
    expectOneRedraw(bar, barLayouts, "progressRemainingColor", [&] { bar->setProgressRemainingColor(UIColor::blueColor()); });
    expectOneRedraw(bar, barLayouts, "progressColor", [&] { bar->setProgressColor(UIColor::greenColor()); });
    EXPECT_NE(m_ui.dump().find("progress=0.6 annular"), std::string::npos) << m_ui.dump();
}

TEST_F(ProgressViewsTest, AChangeFromAnotherThreadIsDrawnOnTheMainThread)
{
    auto round = alloc<Counting<PHRoundProgressView>>();
    round->initWithFrame(CGRectMake(0, 100, 40, 40));
    m_window->addSubview(round);
    m_ui.runUntilIdle();
    const int draws = round->draws;
    std::atomic<bool> set {false};
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [round, &set] {
        round->setProgress(0.5f);
        set = true;
    });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return set.load(); }));
    m_ui.runUntilIdle();
    EXPECT_EQ(round->draws, draws + 1);
    EXPECT_EQ(round->progress(), 0.5f);
}
