#include "UITestSupport.h"

#include "platform/ui/TouchInput.h"

using namespace dv::test;

namespace {

class GestureTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_target = alloc<ActionTarget>();
        m_view = RecordingView::make(&m_journal, "v", CGRectMake(20, 100, 200, 200));
        m_window->addSubview(m_view);
        m_ui.runUntilIdle();
        m_journal.clear();
    }

    template <class R>
    Ref<R> attach(Ref<UIView> view = nil)
    {
        auto recognizer = alloc<R>();
        recognizer->initWithTarget(m_target, "fired:");
        (view ? view : Ref<UIView>(m_view))->addGestureRecognizer(recognizer);
        return recognizer;
    }

    // Every state the recogniser passes through, as observed.
    std::vector<NSInteger> watch(const Ref<UIGestureRecognizer>& recognizer)
    {
        m_tokens.push_back(recognizer->observe("state", NSKeyValueObservingOptionNew, [this](const id&, const dv::KeyValueChange& change) {
            m_states.push_back(dv::as<NSNumber>(change.newValue)->integerValue());
        }));
        return {};
    }

    Ref<ActionTarget> m_target;
    Ref<RecordingView> m_view;
    std::vector<NSInteger> m_states;
    std::vector<dv::ObservationToken> m_tokens;
};

// Answers the delegate questions as told, and counts them.
class GestureDelegate : public NSObject, public UIGestureRecognizerDelegate {
public:
    std::optional<bool> receives, begins, together;
    int receiveAsked = 0, beginAsked = 0;
    std::optional<bool> gestureRecognizerShouldReceiveTouch(const Ref<UIGestureRecognizer>&, const Ref<UITouch>&) override
    {
        ++receiveAsked;
        return receives;
    }
    std::optional<bool> gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>&) override
    {
        ++beginAsked;
        return begins;
    }
    std::optional<bool> gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(const Ref<UIGestureRecognizer>&,
        const Ref<UIGestureRecognizer>&) override
    {
        return together;
    }
};

} // namespace

TEST_F(GestureTest, ATapRecognisesOnLiftSendsItsActionAndTakesTheTouchFromTheView)
{
    auto tap = attach<UITapGestureRecognizer>();
    watch(tap);
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_EQ(m_target->calls, (Journal {"fired:UITapGestureRecognizer"}));
    EXPECT_EQ(m_target->senders.front(), tap);
    EXPECT_EQ(m_states, (std::vector<NSInteger> {UIGestureRecognizerStateEnded, UIGestureRecognizerStatePossible}));
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchescancelled:1"}));
    EXPECT_EQ(tap->state(), UIGestureRecognizerStatePossible);
    EXPECT_EQ(tap->locationInView(m_view), CGPointMake(100, 100)) << "where it happened, after the lift";

    tap->setCancelsTouchesInView(false);
    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchesended:1"}));
    EXPECT_EQ(m_target->calls.size(), 2u);
}

TEST_F(GestureTest, ATapFailsWhenTheFingerWandersOrTooManyFingersLand)
{
    auto tap = attach<UITapGestureRecognizer>();
    auto touch = m_ui.touchDown(CGPointMake(100, 200));
    m_ui.touchMove(touch, CGPointMake(111, 200));
    EXPECT_EQ(tap->state(), UIGestureRecognizerStateFailed);
    m_ui.touchUp(touch, CGPointMake(111, 200));
    EXPECT_EQ(tap->state(), UIGestureRecognizerStatePossible) << "reset once the touches are gone";
    EXPECT_TRUE(m_target->calls.empty());
    EXPECT_EQ(m_journal.back(), "v:touchesended:1") << "a failed recogniser leaves the touch to the view";

    auto one = m_ui.touchDown(CGPointMake(100, 200));
    auto two = m_ui.touchDown(CGPointMake(150, 200));
    m_ui.touchUp(one, CGPointMake(100, 200));
    m_ui.touchUp(two, CGPointMake(150, 200));
    EXPECT_TRUE(m_target->calls.empty());

    tap->setNumberOfTouchesRequired(2);
    one = m_ui.touchDown(CGPointMake(100, 200));
    two = m_ui.touchDown(CGPointMake(150, 200));
    m_ui.touchUp(one, CGPointMake(100, 200));
    m_ui.touchUp(two, CGPointMake(150, 200));
    EXPECT_EQ(m_target->calls.size(), 1u) << "two fingers together";
}

TEST_F(GestureTest, ADoubleTapWaitsForTheSecondTapAndHoldsTheViewsLiftMeanwhile)
{
    auto doubleTap = attach<UITapGestureRecognizer>();
    doubleTap->setNumberOfTapsRequired(2);
    ASSERT_TRUE(m_ui.tap(m_view, 2));
    EXPECT_EQ(m_target->calls.size(), 1u);
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchesbegan:1", "v:touchescancelled:2"}))
        << "both taps are taken from the view; the first lift was held until the gesture was decided";

    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1"})) << "the lift waits while a second tap may come";
    m_ui.advance(0.3);
    EXPECT_EQ(doubleTap->state(), UIGestureRecognizerStatePossible);
    EXPECT_EQ(m_journal.size(), 1u);
    m_ui.advance(0.1);
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchesended:1"}));
    EXPECT_EQ(m_target->calls.size(), 1u);
}

TEST_F(GestureTest, ALongPressBeginsAfterHalfASecondOnTheClockAndEndsOnLift)
{
    auto press = attach<UILongPressGestureRecognizer>();
    watch(press);
    auto touch = m_ui.touchDown(CGPointMake(100, 200));
    m_ui.advance(0.49);
    EXPECT_EQ(press->state(), UIGestureRecognizerStatePossible);
    EXPECT_TRUE(m_target->calls.empty());
    m_ui.advance(0.02);
    EXPECT_EQ(press->state(), UIGestureRecognizerStateBegan);
    EXPECT_EQ(m_target->calls.size(), 1u);
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchescancelled:1"}));
    m_ui.touchMove(touch, CGPointMake(130, 200));
    EXPECT_EQ(press->state(), UIGestureRecognizerStateChanged) << "no allowance once begun";
    m_ui.touchUp(touch, CGPointMake(130, 200));
    EXPECT_EQ(m_states, (std::vector<NSInteger> {1, 2, 3, 0}));
    EXPECT_EQ(m_target->calls.size(), 3u);
    EXPECT_EQ(m_journal.size(), 2u) << "the view hears nothing after the cancel";

    m_target->calls.clear();
    EXPECT_TRUE(m_ui.longPress(m_view, 0.4));
    EXPECT_TRUE(m_target->calls.empty()) << "lifted too soon";

    touch = m_ui.touchDown(CGPointMake(100, 200));
    m_ui.advance(0.2);
    m_ui.touchMove(touch, CGPointMake(100, 211));
    m_ui.advance(0.5);
    m_ui.touchUp(touch, CGPointMake(100, 211));
    EXPECT_TRUE(m_target->calls.empty()) << "moved beyond the allowance first";

    press->setMinimumPressDuration(1);
    EXPECT_TRUE(m_ui.longPress(m_view, 0.9));
    EXPECT_TRUE(m_target->calls.empty());
    EXPECT_TRUE(m_ui.longPress(m_view, 1));
    EXPECT_EQ(m_target->calls.size(), 2u) << "began and ended";
}

TEST_F(GestureTest, APanReportsTranslationAndVelocityFromTheClock)
{
    auto pan = attach<UIPanGestureRecognizer>();
    watch(pan);
    std::vector<CGPoint> translations;
    auto token = pan->observe("state", NSKeyValueObservingOptionNew, [&](const id&, const dv::KeyValueChange&) {
        translations.push_back(pan->translationInView(m_view));
    });
    ASSERT_TRUE(m_ui.pan(m_view, CGPointMake(120, -30), {12, 0.01, 0}));
    ASSERT_GE(m_states.size(), 4u);
    EXPECT_EQ(m_states.front(), UIGestureRecognizerStateBegan);
    EXPECT_EQ(m_states[m_states.size() - 2], UIGestureRecognizerStateEnded);
    EXPECT_EQ(m_states.back(), UIGestureRecognizerStatePossible);
    // The first move is 10 x 2.5 (10.3 points): past the 10 points the pan needs to begin.
    EXPECT_EQ(translations.front(), CGPointMake(10, -2.5));
    EXPECT_EQ(translations[translations.size() - 2], CGPointMake(120, -30));
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchescancelled:1"}));

    m_view->setTransform(CGAffineTransformMakeScale(2, 2));
    CGPoint velocity {}, inView {};
    m_target->calls.clear();
    auto token2 = pan->observe("state", NSKeyValueObservingOptionNew, [&](const id&, const dv::KeyValueChange& change) {
        if (dv::as<NSNumber>(change.newValue)->integerValue() == UIGestureRecognizerStateEnded) {
            velocity = pan->velocityInView(nil);
            inView = pan->translationInView(m_view);
        }
    });
    ASSERT_TRUE(m_ui.pan(CGPointMake(120, 200), CGPointMake(60, 0), {10, 0.02, 0}));
    EXPECT_NEAR(velocity.x, 300, 1e-3) << "6 points each 0.02 s";
    EXPECT_NEAR(velocity.y, 0, 1e-3);
    EXPECT_NEAR(inView.x, 30, 1e-6) << "in the coordinates of a view drawn twice as large";

    ASSERT_TRUE(m_ui.pan(CGPointMake(120, 200), CGPointMake(60, 0), {10, 0.02, 0.5}));
    EXPECT_EQ(velocity, CGPointZero) << "the finger rested before it lifted";

    m_target->calls.clear();
    m_journal.clear();
    ASSERT_TRUE(m_ui.pan(CGPointMake(120, 200), CGPointMake(8, 0)));
    EXPECT_TRUE(m_target->calls.empty()) << "too short to begin";
    EXPECT_EQ(m_journal.back(), "v:touchesended:1");
}

// Input handed over later than it happened (the runner's window reading a burst of wheel turns at
// once) says when each move happened: the pan measures the speed by those times, which are kept
// between the touch's previous time and now.
TEST_F(GestureTest, APanMeasuresTheSpeedByWhenTheMovesHappened)
{
    auto pan = attach<UIPanGestureRecognizer>();
    CGPoint velocity {};
    auto token = pan->observe("state", NSKeyValueObservingOptionNew, [&](const id&, const dv::KeyValueChange& change) {
        if (dv::as<NSNumber>(change.newValue)->integerValue() == UIGestureRecognizerStateEnded)
            velocity = pan->velocityInView(nil);
    });
    const NSTimeInterval start = dv::Clock::current().now();
    auto touch = dv::beginTouch(m_window, CGPointMake(120, 150));
    m_ui.advance(1);
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(dv::moveTouch(touch, CGPointMake(120, 150 + 20 * i), start + 0.01 * i));
    ASSERT_TRUE(dv::endTouch(touch, CGPointMake(120, 250), start + 0.05));
    EXPECT_NEAR(velocity.y, 2000, 0.01) << "20 points each 0.01 s, all handed over a second later";

    touch = dv::beginTouch(m_window, CGPointMake(120, 150));
    const NSTimeInterval landed = dv::Clock::current().now();
    ASSERT_TRUE(dv::moveTouch(touch, CGPointMake(120, 170), landed + 5));
    m_ui.advance(0.05);
    ASSERT_TRUE(dv::moveTouch(touch, CGPointMake(120, 190), landed - 5));
    ASSERT_TRUE(dv::endTouch(touch, CGPointMake(120, 190)));
    EXPECT_NEAR(velocity.y, 800, 0.01) << "a time to come is now, one before the previous move is that move's";
}

TEST_F(GestureTest, APanLimitedToOneFingerFailsWithTwoAndSetTranslationMovesTheOrigin)
{
    auto pan = attach<UIPanGestureRecognizer>();
    pan->setMaximumNumberOfTouches(1);
    auto one = m_ui.touchDown(CGPointMake(100, 200));
    auto two = m_ui.touchDown(CGPointMake(150, 200));
    m_ui.touchMove(one, CGPointMake(140, 200));
    m_ui.touchUp(one, CGPointMake(140, 200));
    m_ui.touchUp(two, CGPointMake(150, 200));
    EXPECT_TRUE(m_target->calls.empty());

    one = m_ui.touchDown(CGPointMake(100, 200));
    m_ui.touchMove(one, CGPointMake(130, 200));
    ASSERT_EQ(pan->state(), UIGestureRecognizerStateBegan);
    two = m_ui.touchDown(CGPointMake(150, 200));
    EXPECT_EQ(pan->numberOfTouches(), 1u) << "a finger past the maximum is ignored once begun";
    pan->setTranslation(CGPointZero, m_view);
    m_ui.touchMove(one, CGPointMake(135, 210));
    EXPECT_EQ(pan->translationInView(m_view), CGPointMake(5, 10));
    m_ui.touchUp(two, CGPointMake(150, 200));
    m_ui.touchUp(one, CGPointMake(135, 210));
    EXPECT_EQ(pan->state(), UIGestureRecognizerStatePossible);
}

TEST_F(GestureTest, ADelegateThatRefusesTheTouchLeavesItToTheView)
{
    auto tap = attach<UITapGestureRecognizer>();
    auto delegate = std::make_shared<GestureDelegate>();
    tap->setDelegate(delegate);
    delegate->receives = false;
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_TRUE(m_target->calls.empty());
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchesended:1"}));
    EXPECT_EQ(delegate->receiveAsked, 1);
    EXPECT_EQ(delegate->beginAsked, 0) << "a recogniser without the touch is never asked to begin";

    delegate->receives = true;
    delegate->begins = false;
    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_TRUE(m_target->calls.empty());
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchesended:1"})) << "a refused begin fails the recogniser";

    delegate->begins = std::nullopt;
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_EQ(m_target->calls.size(), 1u);
}

TEST_F(GestureTest, TheTouchedViewMayRefuseARecogniserOfAnAncestor)
{
    auto guarded = std::make_shared<GuardedView>();
    guarded->initWithFrame(CGRectMake(10, 10, 50, 50));
    m_view->addSubview(guarded);
    attach<UITapGestureRecognizer>();
    guarded->allows = false;
    ASSERT_TRUE(m_ui.tap(guarded));
    EXPECT_TRUE(m_target->calls.empty());
    EXPECT_EQ(guarded->asked, 1);
    ASSERT_TRUE(m_ui.tap(CGPointMake(150, 250)));
    EXPECT_EQ(m_target->calls.size(), 1u) << "outside the refusing view";
    EXPECT_EQ(guarded->asked, 1);
}

TEST_F(GestureTest, OneBegunRecogniserMakesTheOthersOnItsTouchesFailUnlessTheyRunTogether)
{
    auto pan = attach<UIPanGestureRecognizer>();
    auto outerTarget = alloc<ActionTarget>();
    auto outerPan = alloc<UIPanGestureRecognizer>();
    outerPan->initWithTarget(outerTarget, "fired:");
    m_window->addGestureRecognizer(outerPan);

    ASSERT_TRUE(m_ui.pan(m_view, CGPointMake(50, 0)));
    EXPECT_FALSE(m_target->calls.empty()) << "the hit view's recogniser goes first";
    EXPECT_TRUE(outerTarget->calls.empty());

    auto delegate = std::make_shared<GestureDelegate>();
    delegate->together = true;
    outerPan->setDelegate(delegate);
    m_target->calls.clear();
    ASSERT_TRUE(m_ui.pan(m_view, CGPointMake(50, 0)));
    EXPECT_FALSE(m_target->calls.empty());
    EXPECT_FALSE(outerTarget->calls.empty()) << "allowed to run alongside";

    // A long press that began holds the touch against a later pan.
    outerPan->setDelegate(nil);
    auto press = attach<UILongPressGestureRecognizer>();
    press->setAllowableMovement(100);
    m_target->calls.clear();
    m_target->senders.clear();
    auto touch = m_ui.touchDown(CGPointMake(100, 200));
    m_ui.advance(0.6);
    m_ui.touchMove(touch, CGPointMake(150, 200));
    m_ui.touchUp(touch, CGPointMake(150, 200));
    ASSERT_EQ(m_target->senders.size(), 3u) << "began, changed, ended";
    for (auto& sender : m_target->senders)
        EXPECT_EQ(sender, press);
    EXPECT_EQ(pan->state(), UIGestureRecognizerStatePossible);
}

TEST_F(GestureTest, HiddenNonInteractiveAndRemovedViewsDoNotReachTheirRecognisers)
{
    auto tap = attach<UITapGestureRecognizer>();
    m_view->setHidden(true);
    EXPECT_TRUE(m_ui.tap(CGPointMake(120, 200))) << "the window takes it";
    m_view->setHidden(false);
    m_view->setUserInteractionEnabled(false);
    EXPECT_TRUE(m_ui.tap(CGPointMake(120, 200)));
    EXPECT_TRUE(m_target->calls.empty());
    m_view->setUserInteractionEnabled(true);
    m_view->removeGestureRecognizer(tap);

    // A recogniser that leaves its view mid-gesture is cancelled and let go.
    auto press = attach<UILongPressGestureRecognizer>();
    auto touch = m_ui.touchDown(CGPointMake(120, 200));
    m_ui.advance(0.6);
    ASSERT_EQ(press->state(), UIGestureRecognizerStateBegan);
    m_view->removeGestureRecognizer(press);
    EXPECT_EQ(press->state(), UIGestureRecognizerStatePossible);
    EXPECT_EQ(press->view(), nil);
    m_ui.touchUp(touch, CGPointMake(120, 200));
    EXPECT_EQ(m_target->calls, (Journal {"fired:UILongPressGestureRecognizer", "fired:UILongPressGestureRecognizer"}))
        << "began, then cancelled";

    // Disabling one mid-gesture cancels it too.
    m_view->addGestureRecognizer(press);
    m_target->calls.clear();
    touch = m_ui.touchDown(CGPointMake(120, 200));
    m_ui.advance(0.6);
    press->setEnabled(false);
    EXPECT_EQ(press->state(), UIGestureRecognizerStateCancelled);
    m_ui.touchUp(touch, CGPointMake(120, 200));
    EXPECT_EQ(press->state(), UIGestureRecognizerStatePossible);
    EXPECT_EQ(m_target->calls.size(), 2u);
    EXPECT_TRUE(m_ui.longPress(m_view));
    EXPECT_EQ(m_target->calls.size(), 2u) << "a disabled recogniser hears nothing";
}

TEST_F(GestureTest, ActionsTakeNoArgumentOrTheRecogniserAndTargetsAreWeak)
{
    auto tap = alloc<UITapGestureRecognizer>();
    tap->initWithTarget(m_target, "fire");
    tap->addTarget(m_target, "fired:");
    tap->addTarget(m_target, "fired:"); // once
    m_view->addGestureRecognizer(tap);
    {
        auto passing = alloc<ActionTarget>();
        tap->addTarget(passing, "fire");
    }
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_EQ(m_target->calls, (Journal {"fire", "fired:UITapGestureRecognizer"}));
    tap->removeTarget(nil, "fire");
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_EQ(m_target->calls.back(), "fired:UITapGestureRecognizer");
    EXPECT_EQ(m_target->calls.size(), 3u);
    EXPECT_EQ(dv::as<NSNumber>(tap->valueForKey("state"_ns))->integerValue(), 0);
}
