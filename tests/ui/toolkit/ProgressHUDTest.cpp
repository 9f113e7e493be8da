// The progress overlay's life on the clock: showing and fading, grace and minimum show times,
// delayed hides, the order and count of the completion block and the delegate, stacking on one
// host, zooms, and the task variants.
#include "ToolkitTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/ui/ViewAnimation.h"
#include "ui/toolkit/overlay/PHRoundProgressView.h"

#include <atomic>

using namespace dv::test;

namespace dv::test {

// The target of a method run on a thread of its own.
class Worker : public NSObject {
    DV_CLASS(Worker, NSObject)
public:
    Worker() = default;
    std::atomic<bool> ran {false};
    std::atomic<bool> ranOnMainThread {false};
    id received;
};

DV_DEFINE_CLASS_WITH(Worker, b)
{
    b.method("work:", "v24@0:8@16", [](Worker& worker, std::span<const id> args) {
        worker.ranOnMainThread = dv::isMainThread();
        worker.received = args.empty() ? nil : args[0];
        worker.ran = true;
        return nil;
    });
}

} // namespace dv::test

namespace {

// Timer checks look this far on either side of the moment something is due.
constexpr NSTimeInterval kJust = 0.001;

const Journal kHiddenOnce {"completion", "delegate"};

class ProgressHUDTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        m_host = addView(CGRectMake(0, 100, 300, 400), UIColor::whiteColor());
    }

    // A task on a queue of its own that runs until release() is called.
    void startHeldTask(const Ref<PHProgressHUD>& hud)
    {
        auto gate = m_gate;
        hud->showAnimated(true, [gate] { dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER); }, m_queue, noteCompletion(hud));
    }
    void release(const Ref<PHProgressHUD>& hud)
    {
        dispatch_semaphore_signal(m_gate);
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !hud->taskInProgress(); }));
    }

    Ref<UIView> m_host;
    dispatch_queue_t m_queue = dispatch_queue_create("toolkit.test.task");
    dispatch_semaphore_t m_gate = dispatch_semaphore_create(0);
};

} // namespace

TEST_F(ProgressHUDTest, AnAddedOverlayCoversItsHostAndFadesIn)
{
    auto hud = PHProgressHUD::showHUDAddedTo(m_host, true);
    hud->setLabelText("正在加载"_ns);
    EXPECT_EQ(hud->superview(), m_host);
    EXPECT_EQ(m_host->subviews()->lastObject(), hud);
    EXPECT_TRUE(hud->removeFromSuperViewOnHide());
    EXPECT_EQ(hud->autoresizingMask(), 45u);
    EXPECT_EQ(hud->alpha(), 1) << "the value changes at once; the fade is an animation";
    auto animations = dv::runningAnimations(hud);
    ASSERT_EQ(animations.size(), 1u);
    EXPECT_EQ(animations[0].keyPath, "opacity");
    EXPECT_EQ(animations[0].duration, 0.3);
    m_ui.runUntilIdle();
    const std::string dump = m_ui.dump();
    EXPECT_NE(dump.find("PHProgressHUD (0 0; 300 400)"), std::string::npos) << dump;
    EXPECT_NE(dump.find("UIActivityIndicatorView"), std::string::npos);
    EXPECT_NE(dump.find("animating"), std::string::npos);
    EXPECT_NE(dump.find("text=\"正在加载\""), std::string::npos);
    EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithText("正在加载")));
    // The overlay stands between the person and the host's controls.
    auto button = alloc<UIButton>()->initWithFrame(CGRectMake(10, 10, 80, 40));
    m_host->insertSubviewBelowSubview(button, hud);
    m_ui.runUntilIdle();
    EXPECT_FALSE(m_ui.tapPoint(button).has_value());
}

TEST_F(ProgressHUDTest, AFreshOverlayStartsFromItsDefaults)
{
    auto hud = alloc<PHProgressHUD>()->initWithView(m_host);
    EXPECT_EQ(hud->mode(), PHProgressHUDModeIndeterminate);
    EXPECT_EQ(hud->animationType(), PHProgressHUDAnimationFade);
    EXPECT_FLOAT_EQ(hud->opacity(), 0.8f);
    EXPECT_EQ(hud->margin(), 20);
    EXPECT_EQ(hud->cornerRadius(), 10);
    EXPECT_EQ(hud->xOffset(), 0);
    EXPECT_EQ(hud->yOffset(), 0);
    EXPECT_EQ(hud->graceTime(), 0);
    EXPECT_EQ(hud->minShowTime(), 0);
    EXPECT_EQ(hud->minSize(), CGSizeZero);
    EXPECT_FALSE(hud->dimBackground() || hud->removeFromSuperViewOnHide() || hud->isSquare() || hud->taskInProgress());
    EXPECT_FALSE(hud->labelText() || hud->detailsLabelText() || hud->color());
    EXPECT_EQ(hud->labelFont()->pointSize(), 16);
    EXPECT_EQ(hud->detailsLabelFont()->pointSize(), 12);
    for (const auto& colour : { hud->labelColor(), hud->detailsLabelColor(), hud->activityIndicatorColor() })
        EXPECT_TRUE(colour && colour->isEqual(UIColor::whiteColor()));
    EXPECT_EQ(hud->alpha(), 0) << "hidden, and passed over by touches, until shown";
}

TEST_F(ProgressHUDTest, AnAnimatedHideFadesForAThirdOfASecondThenRemovesAndTellsOnce)
{
    auto hud = addHUD(m_host);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->show(true);
    m_ui.advance(1);
    const NSTimeInterval hidden = now();
    hud->hide(true);
    EXPECT_EQ(hud->alpha(), CGFloat(0.02)) << "fading: still there, still taking touches";
    advanceTo(hidden, 0.3 - kJust);
    EXPECT_EQ(hud->superview(), m_host);
    EXPECT_TRUE(m_journal.empty());
    advanceTo(hidden, 0.3 + kJust);
    EXPECT_EQ(hud->superview(), nil);
    EXPECT_EQ(hud->alpha(), 0);
    // Removed first, then the completion block, then the delegate.
    EXPECT_EQ(m_journal, kHiddenOnce);
    m_ui.advance(5);
    EXPECT_EQ(m_journal, kHiddenOnce);
}

TEST_F(ProgressHUDTest, HidingAnOverlayThatWasNeverShownCompletesAtOnce)
{
    auto hud = addHUD(m_host);
    hud->hide(true);
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));
    EXPECT_EQ(hud->alpha(), 0);
    // The completion block runs once; the delegate hears every hide.
    hud->hide(false);
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view", "delegate:in view"}));
}

TEST_F(ProgressHUDTest, WithAGraceTimeAPlainShowNeverAppears)
{
    auto hud = addHUD(m_host);
    hud->setGraceTime(0.5);
    hud->show(true);
    EXPECT_EQ(hud->alpha(), 0);
    m_ui.advance(2);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_TRUE(m_journal.empty());
}

TEST_F(ProgressHUDTest, AGraceTimeShowsATaskOnlyWhenItIsStillRunning)
{
    auto hud = addHUD(m_host);
    hud->setGraceTime(0.5);
    const NSTimeInterval started = now();
    startHeldTask(hud);
    EXPECT_TRUE(hud->taskInProgress());
    advanceTo(started, 0.5 - kJust);
    EXPECT_EQ(hud->alpha(), 0);
    advanceTo(started, 0.5 + kJust);
    EXPECT_EQ(hud->alpha(), 1);
    release(hud);
    // The task's completion block runs after the overlay is hidden.
    EXPECT_TRUE(m_journal.empty()) << "fading";
    m_ui.advance(0.3 + kJust);
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));

    // A quick task never shows it.
    m_journal.clear();
    auto quick = addHUD(m_host);
    quick->setGraceTime(0.5);
    quick->showAnimated(true, [] { }, m_queue, noteCompletion(quick));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !quick->taskInProgress(); }));
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));
    m_ui.advance(2);
    EXPECT_EQ(quick->alpha(), 0);
}

TEST_F(ProgressHUDTest, AnEarlierGraceTimerDoesNotShowALaterTaskEarly)
{
    auto hud = addHUD(m_host);
    hud->setGraceTime(1);
    const NSTimeInterval started = now();
    startHeldTask(hud);
    advanceTo(started, 0.3);
    release(hud); // over before its grace time: never shown
    advanceTo(started, 0.5);
    startHeldTask(hud); // its own grace time ends at 1.5
    advanceTo(started, 1 + kJust);
    EXPECT_EQ(hud->alpha(), 0) << "the first task's grace timer showed the second task";
    advanceTo(started, 1.5 + kJust);
    EXPECT_EQ(hud->alpha(), 1);
    release(hud);
}

TEST_F(ProgressHUDTest, AMinimumShowTimeHoldsTheOverlayBeforeItFades)
{
    auto hud = addHUD(m_host);
    hud->setMinShowTime(1);
    const NSTimeInterval shown = now();
    hud->show(true);
    advanceTo(shown, 0.2);
    hud->hide(true);
    EXPECT_EQ(hud->alpha(), 1);
    advanceTo(shown, 1 - kJust);
    EXPECT_EQ(hud->alpha(), 1);
    advanceTo(shown, 1 + kJust);
    EXPECT_EQ(hud->alpha(), CGFloat(0.02)) << "the fade begins when the minimum is over";
    EXPECT_TRUE(m_journal.empty());
    advanceTo(shown, 1.3 + kJust);
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));
}

TEST_F(ProgressHUDTest, AnEarlierMinimumShowTimerDoesNotHideTheOverlayShownAgain)
{
    auto hud = addHUD(m_host);
    hud->setMinShowTime(1);
    const NSTimeInterval shown = now();
    hud->show(false);
    advanceTo(shown, 0.2);
    hud->hide(false); // would hide at 1.0
    advanceTo(shown, 0.5);
    hud->show(false);
    advanceTo(shown, 2);
    EXPECT_EQ(hud->alpha(), 1) << "hidden by the first hide's timer";
    EXPECT_TRUE(m_journal.empty());
    hud->hide(false); // shown 1.5 s: at once
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));
}

TEST_F(ProgressHUDTest, HidingTwiceWithinTheMinimumShowTimeTellsOnce)
{
    auto hud = addHUD(m_host);
    hud->setMinShowTime(1);
    const NSTimeInterval shown = now();
    hud->show(true);
    advanceTo(shown, 0.2);
    hud->hide(true);
    advanceTo(shown, 0.4);
    hud->hide(true);
    advanceTo(shown, 1 + kJust);
    EXPECT_EQ(hud->alpha(), CGFloat(0.02));
    advanceTo(shown, 3);
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));
}

TEST_F(ProgressHUDTest, ShowingAgainDuringTheFadeKeepsTheOverlay)
{
    auto hud = addHUD(m_host);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->show(true);
    m_ui.advance(1);
    hud->hide(true);
    m_ui.advance(0.1);
    hud->show(true);
    m_ui.advance(1);
    EXPECT_EQ(hud->superview(), m_host) << "the interrupted fade removed the overlay shown again";
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_TRUE(m_journal.empty());
    hud->hide(true);
    m_ui.advance(0.3 + kJust);
    EXPECT_EQ(hud->superview(), nil);
    EXPECT_EQ(m_journal, kHiddenOnce);
}

TEST_F(ProgressHUDTest, AHideDuringTheFadeEndsItAtOnceAndTellsOnce)
{
    auto hud = addHUD(m_host);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->show(true);
    m_ui.advance(1);
    hud->hide(true);
    m_ui.advance(0.1);
    hud->hide(true); // no longer shown: hidden at once
    EXPECT_EQ(hud->superview(), nil);
    EXPECT_EQ(m_journal, kHiddenOnce);
    m_ui.advance(1);
    EXPECT_EQ(m_journal, kHiddenOnce) << "the first fade ended it a second time";
}

TEST_F(ProgressHUDTest, ADelayedHideWaitsAndIsDroppedWhenShownAgain)
{
    auto hud = addHUD(m_host);
    hud->show(true);
    NSTimeInterval asked = now();
    hud->hide(true, 0.5);
    advanceTo(asked, 0.5 - kJust);
    EXPECT_EQ(hud->alpha(), 1);
    advanceTo(asked, 0.5 + kJust);
    EXPECT_EQ(hud->alpha(), CGFloat(0.02));
    advanceTo(asked, 0.8 + kJust);
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));

    m_journal.clear();
    hud->show(true);
    asked = now();
    hud->hide(true, 0.5);
    advanceTo(asked, 0.3);
    hud->show(true);
    advanceTo(asked, 2);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_TRUE(m_journal.empty());
}

TEST_F(ProgressHUDTest, OverlaysStackOnOneHostAndHideFromTheTop)
{
    EXPECT_FALSE(PHProgressHUD::hideHUDForView(m_host, true));
    EXPECT_EQ(PHProgressHUD::hideAllHUDsForView(m_host, true), 0u);
    EXPECT_EQ(PHProgressHUD::HUDForView(m_host), nil);

    auto first = PHProgressHUD::showHUDAddedTo(m_host, true);
    auto second = PHProgressHUD::showHUDAddedTo(m_host, true);
    addView(CGRectMake(0, 0, 10, 10), nil, m_host); // not an overlay: passed over
    EXPECT_EQ(PHProgressHUD::HUDForView(m_host), second);
    auto all = PHProgressHUD::allHUDsForView(m_host);
    ASSERT_EQ(all->count(), 2u);
    EXPECT_EQ(all->objectAtIndex(0), first);
    EXPECT_EQ(all->objectAtIndex(1), second);

    EXPECT_TRUE(PHProgressHUD::hideHUDForView(m_host, true));
    m_ui.advance(0.3 + kJust);
    EXPECT_EQ(second->superview(), nil);
    EXPECT_TRUE(onScreen(first));
    EXPECT_EQ(PHProgressHUD::HUDForView(m_host), first);

    auto third = PHProgressHUD::showHUDAddedTo(m_host, false);
    // Not made to remove itself: hideAll marks it so.
    third->setRemoveFromSuperViewOnHide(false);
    EXPECT_EQ(PHProgressHUD::hideAllHUDsForView(m_host, true), 2u);
    EXPECT_TRUE(third->removeFromSuperViewOnHide());
    m_ui.advance(0.3 + kJust);
    EXPECT_EQ(first->superview(), nil);
    EXPECT_EQ(third->superview(), nil);
    EXPECT_EQ(PHProgressHUD::allHUDsForView(m_host)->count(), 0u);
}

TEST_F(ProgressHUDTest, ZoomsScaleTheOverlayWhileItFades)
{
    auto hud = addHUD(m_host);
    hud->setAnimationType(PHProgressHUDAnimationZoomIn);
    hud->show(true);
    bool zooming = false;
    for (auto& animation : dv::runningAnimations(hud))
        zooming |= animation.keyPath == "transform";
    EXPECT_TRUE(zooming);
    EXPECT_TRUE(CGAffineTransformIsIdentity(hud->transform())) << "grown to its size";
    m_ui.advance(1);
    hud->hide(true);
    EXPECT_EQ(hud->transform(), CGAffineTransformMakeScale(1.5, 1.5));
    m_ui.advance(1);

    hud->setAnimationType(PHProgressHUDAnimationZoomOut);
    hud->show(true);
    EXPECT_TRUE(CGAffineTransformIsIdentity(hud->transform()));
    m_ui.advance(1);
    hud->hide(true);
    EXPECT_EQ(hud->transform(), CGAffineTransformMakeScale(0.5, 0.5));
    m_ui.advance(1);

    // A plain fade leaves the size alone.
    hud->setAnimationType(PHProgressHUDAnimationFade);
    hud->setTransform(CGAffineTransformIdentity);
    hud->show(true);
    for (auto& animation : dv::runningAnimations(hud))
        EXPECT_NE(animation.keyPath, "transform");
    hud->hide(true);
    EXPECT_TRUE(CGAffineTransformIsIdentity(hud->transform()));
}

TEST_F(ProgressHUDTest, AMethodRunsOnItsOwnThreadWhileTheOverlayShows)
{
    auto hud = addHUD(m_host);
    auto worker = alloc<Worker>();
    worker->init();
    hud->showWhileExecuting("work:", worker, "参数"_ns, false);
    EXPECT_TRUE(hud->taskInProgress());
    EXPECT_EQ(hud->alpha(), 1);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !m_journal.empty(); }));
    EXPECT_TRUE(worker->ran);
    EXPECT_FALSE(worker->ranOnMainThread);
    EXPECT_TRUE(dv::equal(worker->received, "参数"_ns));
    EXPECT_FALSE(hud->taskInProgress());
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(m_journal, (Journal {"completion:in view", "delegate:in view"}));
}

TEST_F(ProgressHUDTest, ProgressSetOnTheTaskThreadReachesTheIndicatorWithoutRelayout)
{
    auto hud = alloc<Counting<PHProgressHUD>>();
    hud->initWithView(m_host);
    m_host->addSubview(hud);
    hud->setMode(PHProgressHUDModeDeterminate);
    auto round = dv::as<PHRoundProgressView>(m_ui.find<PHRoundProgressView>(true));
    ASSERT_NE(round, nil);
    m_ui.runUntilIdle();
    const int layouts = hud->layouts;
    const CGSize box = hud->size();
    auto gate = m_gate;
    hud->showAnimated(false, [hud = Weak<PHProgressHUD>(hud), gate] {
        if (auto strong = hud.lock())
            strong->setProgress(0.5f);
        dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER);
    }, m_queue);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return round->progress() == 0.5f; }));
    release(hud);
    m_ui.runUntilIdle();
    EXPECT_EQ(hud->layouts, layouts);
    EXPECT_EQ(hud->size(), box);
    // Laid out once, in the middle of the 300 x 400 host: the box is 37 + 2 · 20 high.
    EXPECT_EQ(round->frame(), CGRectMake(132, 182, 37, 37));
    EXPECT_EQ(hud->alpha(), 0) << "hidden when the task returned";
    EXPECT_NE(m_ui.dump().find("PHRoundProgressView (132 182; 37 37) progress=0.5"), std::string::npos) << m_ui.dump();
}

TEST_F(ProgressHUDTest, AnOverlayGoneBeforeItsTimersFireIsLeftAlone)
{
    Weak<PHProgressHUD> weak;
    {
        auto hud = addHUD(m_host);
        weak = hud;
        hud->setMinShowTime(1);
        hud->show(true);
        m_ui.advance(0.1);
        hud->hide(true, 0.2);
        hud->hide(true);
        hud->removeFromSuperview();
    }
    // The delayed hide still holds it until it runs, as the platform's delayed performs do.
    m_ui.advance(2);
    EXPECT_TRUE(weak.expired());
}
