#include "UITestSupport.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/FrameTiming.h"
#include "platform/ui/TouchInput.h"

using namespace dv::test;

namespace {

class TouchTest : public UITest {
protected:
    Ref<RecordingView> recording(std::string name, CGRect frame, Ref<UIView> parent = nil)
    {
        auto view = RecordingView::make(&m_journal, std::move(name), frame);
        (parent ? parent : Ref<UIView>(m_window))->addSubview(view);
        m_ui.runUntilIdle();
        m_journal.clear();
        return view;
    }
};

// Takes touches that reach it as the application's delegate would, at the end of the chain.
class ResponderDelegate : public UIResponder, public UIApplicationDelegate {
public:
    int touches = 0;
    void touchesBegan(const Ref<NSSet>&, const Ref<UIEvent>&) override { ++touches; }
};

} // namespace

TEST_F(TouchTest, ATapReachesTheHitViewWithItsLocationInTheViewsCoordinates)
{
    auto view = recording("v", CGRectMake(100, 200, 50, 50));
    ASSERT_TRUE(m_ui.tap(CGPointMake(110, 230)));
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchesended:1"}));
    EXPECT_EQ(view->lastLocation, CGPointMake(10, 30));
    EXPECT_EQ(view->lastTapCount, 1u);
    EXPECT_EQ(dv::activeTouchCount(), 0u);
}

TEST_F(TouchTest, UnhandledTouchesTravelUpTheResponderChainToTheDelegate)
{
    auto outer = recording("outer", CGRectMake(0, 0, 200, 200));
    auto plain = alloc<UIView>()->initWithFrame(CGRectMake(10, 10, 50, 50));
    outer->addSubview(plain);
    m_ui.runUntilIdle();
    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(plain));
    EXPECT_EQ(m_journal, (Journal {"outer:touchesbegan:1", "outer:touchesended:1"}));

    auto delegate = std::make_shared<ResponderDelegate>();
    m_app->setDelegate(delegate);
    EXPECT_EQ(m_app->nextResponder(), delegate);
    EXPECT_EQ(m_window->nextResponder(), m_app);
    outer->forwardsTouches = true;
    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(plain));
    EXPECT_EQ(m_journal, (Journal {"outer:touchesbegan:1", "outer:touchesended:1"}));
    EXPECT_EQ(delegate->touches, 1) << "through the window and the application";
}

TEST_F(TouchTest, AViewAPersonCannotReachCannotBeTapped)
{
    auto target = recording("target", CGRectMake(0, 0, 100, 100));
    target->setHidden(true);
    EXPECT_FALSE(m_ui.tap(target));
    target->setHidden(false);
    target->setAlpha(0);
    EXPECT_FALSE(m_ui.tap(target));
    target->setAlpha(1);

    auto cover = addView(CGRectMake(0, 0, 375, 667));
    EXPECT_FALSE(m_ui.tap(target)) << "covered by a later sibling";
    cover->setUserInteractionEnabled(false);
    EXPECT_TRUE(m_ui.tap(target)) << "a cover that takes no touches lets them through";
    cover->removeFromSuperview();

    auto offscreen = recording("off", CGRectMake(400, 0, 50, 50));
    EXPECT_FALSE(m_ui.tap(offscreen));
    EXPECT_FALSE(m_ui.tap(CGPointMake(-5, -5)));

    // Partly clipped: the tap lands in the middle of the part that shows.
    auto clip = addView(CGRectMake(200, 0, 100, 100));
    clip->setClipsToBounds(true);
    auto half = recording("half", CGRectMake(50, 0, 100, 100), clip);
    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(half));
    EXPECT_EQ(half->lastLocation, CGPointMake(25, 50));

    // A view that takes no touches is tapped through the container that does.
    auto label = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 10, 10));
    label->setUserInteractionEnabled(false);
    target->addSubview(label);
    m_journal.clear();
    EXPECT_TRUE(m_ui.tap(label));
    EXPECT_EQ(m_journal.front(), "target:touchesbegan:1");
}

TEST_F(TouchTest, TwoQuickTapsInOnePlaceMakeADoubleTap)
{
    auto view = recording("v", CGRectMake(0, 0, 100, 100));
    m_ui.tap(CGPointMake(50, 50));
    m_ui.advance(0.2);
    m_ui.tap(CGPointMake(55, 50));
    EXPECT_EQ(view->lastTapCount, 2u);
    m_ui.advance(0.5);
    m_ui.tap(CGPointMake(50, 50));
    EXPECT_EQ(view->lastTapCount, 1u);
}

TEST_F(TouchTest, MovesAndLiftsFollowTheTouchEvenWhenItsViewIsRemoved)
{
    auto view = recording("v", CGRectMake(0, 0, 100, 100));
    auto touch = m_ui.touchDown(CGPointMake(10, 10));
    ASSERT_NE(touch, 0u);
    EXPECT_TRUE(m_ui.touchMove(touch, CGPointMake(300, 300)));
    EXPECT_EQ(view->lastLocation, CGPointMake(300, 300)) << "a touch stays with the view it began in";
    view->removeFromSuperview();
    EXPECT_TRUE(m_ui.touchUp(touch, CGPointMake(300, 300)));
    EXPECT_EQ(m_journal, (Journal {"v:touchesbegan:1", "v:touchesmoved:1", "v:willMoveToSuperview:nil", "v:willMoveToWindow:nil",
                             "v:didMoveToWindow:nil", "v:didMoveToSuperview:nil", "v:touchesended:1"}));
    EXPECT_FALSE(m_ui.touchUp(touch, CGPointMake(0, 0))) << "already lifted";
}

TEST_F(TouchTest, AnExclusiveTouchViewKeepsOtherTouchesOut)
{
    auto exclusive = recording("x", CGRectMake(0, 0, 100, 100));
    auto other = recording("o", CGRectMake(200, 0, 100, 100));
    exclusive->setExclusiveTouch(true);
    auto first = m_ui.touchDown(CGPointMake(50, 50));
    EXPECT_EQ(m_ui.touchDown(CGPointMake(250, 50)), 0u);
    m_ui.touchUp(first, CGPointMake(50, 50));
    auto second = m_ui.touchDown(CGPointMake(250, 50));
    EXPECT_NE(second, 0u);
    EXPECT_EQ(m_ui.touchDown(CGPointMake(50, 50)), 0u) << "nor may it join touches elsewhere";
    m_ui.touchUp(second, CGPointMake(250, 50));
    EXPECT_EQ(m_journal, (Journal {"x:touchesbegan:1", "x:touchesended:1", "o:touchesbegan:1", "o:touchesended:1"}));
}

TEST_F(TouchTest, TouchesCarryTheRecognizersOfTheirViewAndItsAncestors)
{
    auto outer = recording("outer", CGRectMake(0, 0, 200, 200));
    auto inner = recording("inner", CGRectMake(0, 0, 50, 50), outer);
    auto sibling = recording("sibling", CGRectMake(100, 100, 50, 50));
    auto a = alloc<UIGestureRecognizer>(), b = alloc<UIGestureRecognizer>(), c = alloc<UIGestureRecognizer>();
    inner->addGestureRecognizer(a);
    outer->addGestureRecognizer(b);
    sibling->addGestureRecognizer(c);

    Ref<NSArray> seen;
    class Probe : public UIView {
    public:
        Ref<NSArray>* out = nullptr;
        void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>&) override { *out = dv::as<UITouch>(touches->anyObject())->gestureRecognizers(); }
    };
    auto probe = alloc<Probe>();
    probe->initWithFrame(CGRectMake(0, 0, 10, 10));
    probe->out = &seen;
    inner->addSubview(probe);
    ASSERT_TRUE(m_ui.tap(probe));
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->count(), 2u);
    EXPECT_EQ(seen->objectAtIndex(0), a);
    EXPECT_EQ(seen->objectAtIndex(1), b);
}

TEST_F(TouchTest, TheDriverFindsViewsAPersonCanSee)
{
    auto a = recording("a", CGRectMake(0, 0, 10, 10));
    a->text = "确定";
    a->setTag(5);
    auto b = recording("b", CGRectMake(0, 0, 10, 10), a);
    b->text = "取消";
    b->setHidden(true);
    EXPECT_EQ(m_ui.viewWithText("确定"), a);
    EXPECT_EQ(m_ui.viewWithText("取消"), nil);
    EXPECT_EQ(m_ui.find(dv::testing::ViewQuery().withText("取消").hiddenToo()), b);
    EXPECT_EQ(m_ui.viewWithTag(5), a);
    EXPECT_EQ(m_ui.textOf(a), "确定");
    EXPECT_EQ(m_ui.viewOfClass("UIWindow"), m_window);
    EXPECT_EQ(m_ui.findAll<RecordingView>().size(), 1u);
    EXPECT_EQ(m_ui.findAll<RecordingView>(true).size(), 2u);
    EXPECT_EQ(m_ui.frameInWindow(b), CGRectMake(0, 0, 10, 10));
    EXPECT_FALSE(m_ui.isVisible(b));
    EXPECT_TRUE(m_ui.isVisible(a));
}

TEST_F(TouchTest, EachTouchGetsTheTimeToTheFrameThatShowsIt)
{
    auto view = recording("v", CGRectMake(100, 200, 50, 50));
    dv::FrameTiming::takeTouchToFrameTimes();
    // A finger down and up before the loop turns: both are shown by the same frame.
    auto touch = dv::beginTouch(m_window, CGPointMake(110, 230));
    ASSERT_TRUE(touch);
    ASSERT_TRUE(dv::endTouch(touch, CGPointMake(110, 230)));
    EXPECT_TRUE(dv::FrameTiming::takeTouchToFrameTimes().empty()) << "no frame yet";
    NSRunLoop::mainRunLoop()->runTurn(NSDefaultRunLoopMode, dv::Clock::current().now(), 0);
    const auto times = dv::FrameTiming::takeTouchToFrameTimes();
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[0], times[1]) << "the earlier touch waited longer";
    EXPECT_GE(times[1], 0);
    // Turns without touches add nothing.
    m_ui.runUntilIdle();
    EXPECT_TRUE(dv::FrameTiming::takeTouchToFrameTimes().empty());
}
