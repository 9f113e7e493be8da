#include "UITestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSSet.h"

using namespace dv::test;

namespace {

// Notes its tracking calls and, by the name of their target, the events it sends, in order;
// beginTracking answers `begins`, continueTracking `continues`.
class TrackingControl : public UIControl {
public:
    Journal* journal = nullptr;
    std::vector<std::pair<Ref<ActionTarget>, std::string>> names;
    void sendActionToTargetForEvent(SEL action, const id& target, const Ref<UIEvent>& event) override
    {
        for (auto& [recorder, name] : names)
            if (recorder == target)
                journal->push_back(name);
        UIControl::sendActionToTargetForEvent(action, target, event);
    }
    bool begins = true;
    bool continues = true;
    bool beginTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override
    {
        UIControl::beginTrackingWithTouch(touch, event);
        journal->push_back("begin");
        return begins;
    }
    bool continueTrackingWithTouch(const Ref<UITouch>&, const Ref<UIEvent>&) override
    {
        journal->push_back("continue");
        return continues;
    }
    void endTrackingWithTouch(const Ref<UITouch>&, const Ref<UIEvent>&) override { journal->push_back("end"); }
    void cancelTrackingWithEvent(const Ref<UIEvent>&) override { journal->push_back("cancel"); }
};

class ControlTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_target = alloc<ActionTarget>();
        m_control = std::make_shared<TrackingControl>();
        m_control->journal = &m_journal;
        m_control->initWithFrame(CGRectMake(100, 200, 100, 50));
        m_window->addSubview(m_control);
        for (auto [event, name] : std::initializer_list<std::pair<UIControlEvents, const char*>> {
                 {UIControlEventTouchDown, "down"}, {UIControlEventTouchDownRepeat, "repeat"}, {UIControlEventTouchDragInside, "dragInside"},
                 {UIControlEventTouchDragOutside, "dragOutside"}, {UIControlEventTouchDragEnter, "enter"}, {UIControlEventTouchDragExit, "exit"},
                 {UIControlEventTouchUpInside, "upInside"}, {UIControlEventTouchUpOutside, "upOutside"}, {UIControlEventTouchCancel, "cancelled"}}) {
            auto recorder = alloc<ActionTarget>();
            m_control->names.push_back({recorder, name});
            m_control->addTarget(recorder, "fire", event);
        }
        m_ui.runUntilIdle();
    }

    Ref<ActionTarget> m_target;
    Ref<TrackingControl> m_control;
};

} // namespace

TEST_F(ControlTest, ATapTracksHighlightsAndSendsTouchDownThenTouchUpInside)
{
    std::vector<bool> highlights;
    auto touch = m_ui.touchDown(CGPointMake(150, 225));
    highlights.push_back(m_control->isHighlighted());
    EXPECT_TRUE(m_control->isTracking());
    EXPECT_EQ(m_control->state(), UIControlStateHighlighted);
    m_ui.touchUp(touch, CGPointMake(150, 225));
    EXPECT_EQ(m_journal, (Journal {"begin", "down", "end", "upInside"}));
    EXPECT_TRUE(highlights.front());
    EXPECT_FALSE(m_control->isHighlighted());
    EXPECT_FALSE(m_control->isTracking());

    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(CGPointMake(150, 225)));
    EXPECT_EQ(m_journal, (Journal {"begin", "down", "repeat", "end", "upInside"})) << "a second quick tap";
}

TEST_F(ControlTest, ALiftWithinSeventyPointsOfTheBoundsStillCountsAsInside)
{
    auto touch = m_ui.touchDown(CGPointMake(150, 225));
    m_ui.touchMove(touch, CGPointMake(150, 300)); // 25 points below
    EXPECT_TRUE(m_control->isHighlighted());
    m_ui.touchMove(touch, CGPointMake(150, 330)); // 80 points below
    EXPECT_FALSE(m_control->isHighlighted());
    m_ui.touchMove(touch, CGPointMake(269, 225)); // 69 right
    m_ui.touchUp(touch, CGPointMake(269, 225));
    EXPECT_EQ(m_journal, (Journal {"begin", "down", "continue", "dragInside", "continue", "dragOutside", "exit", "continue", "dragInside",
                             "enter", "end", "upInside"}));

    m_journal.clear();
    m_ui.advance(1);
    touch = m_ui.touchDown(CGPointMake(150, 225));
    m_ui.touchMove(touch, CGPointMake(271, 225));
    m_ui.touchUp(touch, CGPointMake(271, 225));
    EXPECT_EQ(m_journal.back(), "upOutside");
}

TEST_F(ControlTest, BeginTrackingAnsweringNoStopsTheTrackingCallsButNotTheEvents)
{
    m_control->begins = false;
    ASSERT_TRUE(m_ui.pan(CGPointMake(150, 225), CGPointMake(20, 0), {2, 0.01, 0}));
    EXPECT_EQ(m_journal, (Journal {"begin", "down", "dragInside", "dragInside", "upInside"}));

    m_control->begins = true;
    m_control->continues = false;
    m_journal.clear();
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.pan(CGPointMake(150, 225), CGPointMake(20, 0), {2, 0.01, 0}));
    EXPECT_EQ(m_journal, (Journal {"begin", "down", "continue", "dragInside", "dragInside", "upInside"}))
        << "continue answered NO: tracking stopped, no more continue and no end";
}

TEST_F(ControlTest, ARecogniserThatBeginsOverTheControlCancelsItsTracking)
{
    auto pan = alloc<UIPanGestureRecognizer>();
    pan->initWithTarget(m_target, "fired:");
    m_window->addGestureRecognizer(pan);
    ASSERT_TRUE(m_ui.pan(CGPointMake(150, 225), CGPointMake(0, 40), {4, 0.01, 0}));
    // The first move (10 points) is not yet a pan; the second is, and takes the touch.
    EXPECT_EQ(m_journal, (Journal {"begin", "down", "continue", "dragInside", "cancel", "cancelled"}));
    EXPECT_FALSE(m_target->calls.empty());
    EXPECT_FALSE(m_control->isHighlighted());
}

TEST_F(ControlTest, ADisabledControlTakesNoTouchesAndTheyLandBehindIt)
{
    auto tap = alloc<UITapGestureRecognizer>();
    tap->initWithTarget(m_target, "fired:");
    m_window->addGestureRecognizer(tap);
    m_control->setEnabled(false);
    EXPECT_EQ(m_control->state(), UIControlStateDisabled);
    ASSERT_TRUE(m_ui.tap(CGPointMake(150, 225)));
    EXPECT_TRUE(m_journal.empty());
    EXPECT_EQ(m_target->calls, (Journal {"fired:UITapGestureRecognizer"})) << "the window's recogniser had it";
    EXPECT_TRUE(m_control->accessibilityTraits() & UIAccessibilityTraitNotEnabled);
    m_control->setSelected(true);
    EXPECT_EQ(m_control->state(), UIControlStateDisabled | UIControlStateSelected);
    EXPECT_NE(m_ui.dump().find("UIControl (100 200; 100 50) disabled selected"), std::string::npos) << m_ui.dump();
}

TEST_F(ControlTest, TargetsAndActions)
{
    auto control = alloc<UIControl>()->initWithFrame(CGRectMake(0, 0, 10, 10));
    control->addTarget(m_target, "fire", UIControlEventValueChanged);
    control->addTarget(m_target, "fired:", UIControlEventValueChanged | UIControlEventEditingChanged);
    control->addTarget(m_target, "firedWithEvent:event:", UIControlEventValueChanged);
    control->addTarget(m_target, "fire", UIControlEventEditingDidEnd); // joins the first pair
    control->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(m_target->calls, (Journal {"fire", "fired:UIControl", "firedWithEvent:event:UIControl"}));
    EXPECT_EQ(m_target->senders.front(), control);
    EXPECT_EQ(control->allControlEvents(), UIControlEventValueChanged | UIControlEventEditingChanged | UIControlEventEditingDidEnd);
    EXPECT_EQ(control->allTargets()->count(), 1u);
    auto actions = control->actionsForTarget(m_target, UIControlEventValueChanged);
    ASSERT_TRUE(actions);
    EXPECT_EQ(actions->count(), 3u);

    control->removeTarget(m_target, "fired:", UIControlEventValueChanged);
    control->removeTarget(nil, "firedWithEvent:event:", UIControlEventAllEvents);
    m_target->calls.clear();
    control->sendActionsForControlEvents(UIControlEventValueChanged | UIControlEventEditingChanged);
    EXPECT_EQ(m_target->calls, (Journal {"fire", "fired:UIControl"}));

    // A nil target: up the chain from the key window's first responder, else from the control.
    auto outer = alloc<EditingView>()->initWithFrame(CGRectMake(0, 0, 100, 100));
    m_window->addSubview(outer);
    outer->addSubview(control);
    control->addTarget(nil, "copy:", UIControlEventTouchUpOutside);
    control->sendActionsForControlEvents(UIControlEventTouchUpOutside);
    EXPECT_EQ(std::static_pointer_cast<EditingView>(outer)->calls, (Journal {"copy:UIControl"})) << "from the control up";
    auto field = alloc<EditingView>()->initWithFrame(CGRectMake(0, 200, 100, 30));
    m_window->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    control->sendActionsForControlEvents(UIControlEventTouchUpOutside);
    EXPECT_EQ(std::static_pointer_cast<EditingView>(field)->calls, (Journal {"copy:UIControl"})) << "the first responder first";
    EXPECT_EQ(std::static_pointer_cast<EditingView>(outer)->calls.size(), 1u);
    {
        auto passing = alloc<ActionTarget>();
        control->addTarget(passing, "fire", UIControlEventTouchDown);
    }
    control->sendActionsForControlEvents(UIControlEventTouchDown);
    EXPECT_EQ(control->allTargets()->count(), 1u) << "targets are not kept alive";
}

namespace {

// An adjustable control in the manner of a rating: the platform's traits plus adjustable, steps of
// one through increment and decrement.
class SteppingControl : public UIControl {
public:
    int value = 0;
    bool isAccessibilityElement() const override { return true; }
    UIAccessibilityTraits accessibilityTraits() const override { return UIControl::accessibilityTraits() | UIAccessibilityTraitAdjustable; }
    Ref<NSString> accessibilityLabel() const override
    {
        auto label = UIControl::accessibilityLabel();
        return label ? label : "Rating"_ns;
    }
    void accessibilityIncrement() override { ++value; }
    void accessibilityDecrement() override { --value; }
};

} // namespace

TEST_F(ControlTest, AccessibilityMembersAreStoredAndOverridable)
{
    auto plain = alloc<UIView>()->init();
    EXPECT_FALSE(plain->isAccessibilityElement());
    EXPECT_EQ(plain->accessibilityLabel(), nil);
    EXPECT_FALSE(plain->accessibilityActivate());
    plain->setIsAccessibilityElement(true);
    plain->setAccessibilityLabel("头像"_ns);
    plain->setAccessibilityHint("打开大图"_ns);
    plain->setAccessibilityValue("1"_ns);
    plain->setAccessibilityTraits(UIAccessibilityTraitImage | UIAccessibilityTraitLink);
    EXPECT_TRUE(plain->isAccessibilityElement());
    EXPECT_EQ(dv::str(plain->accessibilityLabel()), "头像");
    EXPECT_EQ(dv::str(plain->accessibilityHint()), "打开大图");
    EXPECT_EQ(dv::str(plain->accessibilityValue()), "1");
    EXPECT_EQ(plain->accessibilityTraits(), UIAccessibilityTraitImage | UIAccessibilityTraitLink);

    auto rating = std::make_shared<SteppingControl>();
    rating->init();
    EXPECT_EQ(dv::str(rating->accessibilityLabel()), "Rating");
    rating->setAccessibilityLabel("评分"_ns);
    EXPECT_EQ(dv::str(rating->accessibilityLabel()), "评分") << "the platform's label when one is set";
    rating->setEnabled(false);
    EXPECT_EQ(rating->accessibilityTraits(), UIAccessibilityTraitNotEnabled | UIAccessibilityTraitAdjustable);
    rating->accessibilityIncrement();
    rating->accessibilityIncrement();
    rating->accessibilityDecrement();
    EXPECT_EQ(rating->value, 1);
}
