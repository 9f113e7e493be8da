#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/ui/ViewAnimation.h"

using namespace dv::test;

namespace {

class AnimationTest : public UITest {
protected:
    // Completions in the order they ran, as "name:YES" / "name:NO".
    UIView::CompletionBlock completion(std::string name)
    {
        return [this, name](bool finished) { m_journal.push_back(name + (finished ? ":YES" : ":NO")); };
    }
};

// The target of the older begin/commit form's did-stop selector.
class StopListener : public NSObject {
    DV_CLASS(StopListener, NSObject)
public:
    std::vector<std::string> calls;
    void animationFinished(const Ref<NSString>& animationID, bool finished, void* context)
    {
        calls.push_back(dv::str(animationID) + (finished ? ":YES:" : ":NO:") + std::to_string(reinterpret_cast<std::uintptr_t>(context)));
    }
};

} // namespace

DV_DEFINE_CLASS_WITH(StopListener, b)
{
    b.method("animationFinished:finished:context:", "v40@0:8@16@24^v32", [](StopListener& self, std::span<const id> args) -> id {
        self.animationFinished(dv::as<NSString>(args[0]), dv::as<NSNumber>(args[1])->boolValue(),
            const_cast<void*>(dv::as<NSValue>(args[2])->pointerValue()));
        return nil;
    });
}

TEST_F(AnimationTest, ValuesChangeAtOnceAndTheCompletionWaitsForDelayAndDuration)
{
    auto view = addView(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(0.3, 0.2, UIViewAnimationOptionCurveEaseOut | UIViewAnimationOptionAllowUserInteraction,
        [&] {
            view->setAlpha(0.5);
            view->setFrame(CGRectMake(0, 0, 20, 20));
        },
        completion("grow"));
    EXPECT_EQ(view->alpha(), 0.5);
    EXPECT_EQ(view->frame(), CGRectMake(0, 0, 20, 20));

    auto running = dv::runningAnimations(view);
    ASSERT_EQ(running.size(), 3u);
    EXPECT_EQ(running[0].keyPath, "opacity");
    EXPECT_EQ(running[1].keyPath, "position");
    EXPECT_EQ(running[2].keyPath, "bounds");
    EXPECT_EQ(running[0].duration, 0.3);
    EXPECT_EQ(running[0].delay, 0.2);
    EXPECT_EQ(running[0].curve, UIViewAnimationCurveEaseOut);
    EXPECT_EQ(running[0].options & UIViewAnimationOptionAllowUserInteraction, UIViewAnimationOptionAllowUserInteraction);
    EXPECT_EQ(view->layer()->animationKeys()->count(), 3u);

    m_ui.advance(0.49);
    EXPECT_TRUE(m_journal.empty());
    m_ui.advance(0.01);
    EXPECT_EQ(m_journal, (Journal {"grow:YES"}));
    EXPECT_TRUE(dv::runningAnimations(view).empty());
    EXPECT_EQ(view->layer()->animationKeys(), nil);
}

TEST_F(AnimationTest, ABlockThatChangesNothingCompletesOnTheNextTurn)
{
    auto view = addView(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(5, [&] { view->setAlpha(1); }, completion("idle"));
    EXPECT_TRUE(m_journal.empty()) << "never inside the call";
    m_ui.runUntilIdle();
    EXPECT_EQ(m_journal, (Journal {"idle:YES"}));
}

TEST_F(AnimationTest, ALaterAnimationFromTheCurrentStateCutsTheEarlierOneShort)
{
    auto view = addView(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(1, [&] { view->setAlpha(0); }, completion("hide"));
    m_ui.advance(0.5);
    UIView::animateWithDuration(0.3, 0, UIViewAnimationOptionBeginFromCurrentState, [&] { view->setAlpha(1); }, completion("show"));
    EXPECT_TRUE(m_journal.empty());
    m_ui.runUntilIdle();
    EXPECT_EQ(m_journal, (Journal {"hide:NO"})) << "heard on the next turn";
    m_ui.advance(0.3);
    EXPECT_EQ(m_journal, (Journal {"hide:NO", "show:YES"}));
}

TEST_F(AnimationTest, WithoutBeginningFromTheCurrentStateBothRunToTheirEnd)
{
    auto view = addView(CGRectMake(0, 0, 10, 10));
    auto other = addView(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(1, [&] {
        view->setAlpha(0);
        other->setAlpha(0);
    }, completion("first"));
    UIView::animateWithDuration(0.2, [&] { view->setAlpha(1); }, completion("second"));
    m_ui.advance(0.2);
    EXPECT_EQ(m_journal, (Journal {"second:YES"}));
    // Cut short in part: the first still ends at its time, but not finished.
    UIView::animateWithDuration(0.1, 0, UIViewAnimationOptionBeginFromCurrentState, [&] { other->setAlpha(1); }, completion("third"));
    m_ui.advance(0.8);
    EXPECT_EQ(m_journal, (Journal {"second:YES", "third:YES", "first:NO"}));
}

TEST_F(AnimationTest, SpringNestedAndDisabledAnimations)
{
    auto view = addView(CGRectMake(0, 0, 10, 10));
    auto other = addView(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(1.0, 0, 0.5, -20, UIViewAnimationOptionCurveLinear, [&] {
        view->setTransform(CGAffineTransformMakeScale(1.4, 1.4));
        UIView::animateWithDuration(0.1, [&] { other->setBackgroundColor(UIColor::redColor()); }, completion("inner"));
        UIView::performWithoutAnimation([&] { view->setCenter(CGPointMake(1, 1)); });
    }, completion("spring"));
    auto running = dv::runningAnimations();
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].keyPath, "transform");
    EXPECT_TRUE(running[0].spring);
    EXPECT_EQ(running[0].dampingRatio, 0.5);
    EXPECT_EQ(running[0].initialVelocity, -20);
    EXPECT_EQ(running[0].curve, UIViewAnimationCurveLinear);
    EXPECT_EQ(running[1].keyPath, "backgroundColor");
    EXPECT_EQ(running[1].duration, 0.1);
    EXPECT_EQ(view->center(), CGPointMake(1, 1)) << "changed, without an animation";
    EXPECT_TRUE(UIView::areAnimationsEnabled());
    m_ui.advance(1);
    EXPECT_EQ(m_journal, (Journal {"inner:YES", "spring:YES"}));
}

TEST_F(AnimationTest, BeginAndCommitTellTheDelegatesDidStopSelector)
{
    auto view = addView(CGRectMake(0, 0, 10, 10));
    auto listener = alloc<StopListener>();
    int marker = 0;
    UIView::beginAnimations("fade"_ns, &marker);
    UIView::setAnimationDuration(0.3);
    UIView::setAnimationDelegate(listener);
    UIView::setAnimationDidStopSelector("animationFinished:finished:context:");
    view->setAlpha(0.02);
    view->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
    UIView::commitAnimations();
    auto running = dv::runningAnimations(view);
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].duration, 0.3);
    m_ui.advance(0.29);
    EXPECT_TRUE(listener->calls.empty());
    m_ui.advance(0.01);
    ASSERT_EQ(listener->calls.size(), 1u);
    EXPECT_EQ(listener->calls[0], "fade:YES:" + std::to_string(reinterpret_cast<std::uintptr_t>(&marker)));
}

TEST_F(AnimationTest, RemovingALayersAnimationsEndsThemUnfinished)
{
    auto view = addView(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(2, [&] { view->setAlpha(0.3); }, completion("fade"));
    view->layer()->removeAllAnimations();
    m_ui.runUntilIdle();
    EXPECT_EQ(m_journal, (Journal {"fade:NO"}));
    m_ui.advance(2);
    EXPECT_EQ(m_journal.size(), 1u) << "once only";
    EXPECT_EQ(view->alpha(), 0.3);
}

TEST_F(AnimationTest, AnimationsDoNotKeepTheirViewsAlive)
{
    Weak<UIView> weak;
    {
        auto view = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 10, 10));
        weak = view;
        UIView::animateWithDuration(1, [&] { view->setAlpha(0); }, completion("gone"));
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(dv::runningAnimations().empty());
    m_ui.advance(1);
    EXPECT_EQ(m_journal, (Journal {"gone:YES"}));
}
