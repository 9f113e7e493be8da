#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/UIPasteboard.h"

using namespace dv::test;

namespace {

// A label that offers Copy when tapped, as the about screen's identifier label does.
class CopyingLabel : public UILabel {
    DV_CLASS(CopyingLabel, UILabel)
public:
    CopyingLabel() = default;
    Ref<CopyingLabel> initWithFrame(CGRect frame)
    {
        UILabel::initWithFrame(frame);
        setUserInteractionEnabled(true);
        auto tap = alloc<UITapGestureRecognizer>();
        tap->initWithTarget(self(), "handleTap:");
        addGestureRecognizer(tap);
        return self<CopyingLabel>();
    }
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(SEL action, const id&) const override { return action == SEL("copy:"); }
    void handleTap()
    {
        becomeFirstResponder();
        auto menu = UIMenuController::sharedMenuController();
        menu->setTargetRect(frame(), superview());
        menu->setMenuVisible(true, true);
    }
};

DV_DEFINE_CLASS_WITH(CopyingLabel, b)
{
    b.method("copy:", "v24@0:8@16", [](CopyingLabel& label, std::span<const id>) {
        UIPasteboard::generalPasteboard()->setString(label.text());
        return nil;
    });
    b.method("handleTap:", "v24@0:8@16", [](CopyingLabel& label, std::span<const id>) {
        label.handleTap();
        return nil;
    });
}

// A view that accepts every standard command, so that the menu is as wide as it gets.
class AcceptingView : public UIView {
    DV_CLASS(AcceptingView, UIView)
public:
    AcceptingView() = default;
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(SEL, const id&) const override { return true; }
};

DV_DEFINE_CLASS(AcceptingView)

class MenuTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        UIPasteboard::generalPasteboard()->setString(nil);
        m_label = alloc<CopyingLabel>()->initWithFrame(CGRectMake(10, 200, 355, 30));
        m_label->setText("5f2a9c0e4d6b8a1c3e5f7a9b0c2d4e6f"_ns);
        m_window->addSubview(m_label);
        m_ui.runUntilIdle();
    }

    Ref<CopyingLabel> m_label;
};

} // namespace

TEST_F(MenuTest, TappingTheCopyingLabelOffersCopyOnlyAndCopyPutsItsTextOnThePasteboard)
{
    EXPECT_FALSE(m_ui.isMenuVisible());
    ASSERT_TRUE(m_ui.tap(m_label));
    ASSERT_TRUE(m_ui.isMenuVisible());
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> {"拷贝"}));
    const CGRect menu = UIMenuController::sharedMenuController()->menuFrame();
    EXPECT_LT(CGRectGetMaxY(menu), 200) << "above the label";
    EXPECT_NEAR(CGRectGetMidX(menu), CGRectGetMidX(m_label->frame()), 0.5);
    EXPECT_NE(m_ui.dump().find("UIButton"), std::string::npos);

    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_FALSE(m_ui.isMenuVisible());
    EXPECT_EQ(dv::str(UIPasteboard::generalPasteboard()->string()), "5f2a9c0e4d6b8a1c3e5f7a9b0c2d4e6f");
    EXPECT_FALSE(m_ui.chooseMenuItem("拷贝")) << "gone";

    // An empty label still shows the menu; copying a nil text empties the pasteboard.
    m_label->setText(nil);
    ASSERT_TRUE(m_ui.tap(m_label));
    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), nil);
}

TEST_F(MenuTest, ItemsFollowWhatTheFirstResponderAccepts)
{
    auto menu = UIMenuController::sharedMenuController();
    auto field = alloc<EditingView>()->initWithFrame(CGRectMake(20, 300, 200, 40));
    m_window->addSubview(field);
    menu->setTargetRect(field->bounds(), field);
    menu->setMenuVisible(true);
    EXPECT_FALSE(m_ui.isMenuVisible()) << "no first responder, nothing to offer";

    ASSERT_TRUE(field->becomeFirstResponder());
    menu->setMenuItems(NSArray::of({alloc<UIMenuItem>()->initWithTitle("举报"_ns, "report:"), alloc<UIMenuItem>()->initWithTitle("粘贴两次"_ns, "paste:")}));
    menu->setMenuVisible(true);
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> {"拷贝", "粘贴", "粘贴两次"})) << "the standard order, then its own items it accepts";
    ASSERT_TRUE(m_ui.chooseMenuItem("粘贴"));
    EXPECT_EQ(std::static_pointer_cast<EditingView>(field)->calls, (Journal {"paste:UIMenuController"}));
    menu->setMenuItems(nil);

    // Near the top it opens below the target.
    field->setFrame(CGRectMake(20, 22, 200, 40));
    menu->setTargetRect(field->bounds(), field);
    menu->setMenuVisible(true);
    EXPECT_GE(menu->menuFrame().origin.y, 62);
    menu->setArrowDirection(UIMenuControllerArrowDown);
    menu->update();
    EXPECT_LT(menu->menuFrame().origin.y, 22);
}

TEST_F(MenuTest, ATouchElsewhereHidesTheMenuAndGoesOnToWhatItTouched)
{
    auto other = RecordingView::make(&m_journal, "other", CGRectMake(0, 400, 375, 100));
    m_window->addSubview(other);
    std::vector<std::string> posted;
    std::vector<id> tokens;
    for (auto name : {UIMenuControllerWillShowMenuNotification, UIMenuControllerDidShowMenuNotification, UIMenuControllerWillHideMenuNotification,
             UIMenuControllerDidHideMenuNotification})
        tokens.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(name, nil, nil,
            [&posted](const Ref<NSNotification>& n) { posted.push_back(dv::str(n->name()).substr(16)); }));
    ASSERT_TRUE(m_ui.tap(m_label));
    ASSERT_TRUE(m_ui.isMenuVisible());
    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(CGPointMake(100, 450)));
    EXPECT_FALSE(m_ui.isMenuVisible());
    EXPECT_EQ(m_journal, (Journal {"other:touchesbegan:1", "other:touchesended:1"}));
    EXPECT_EQ(posted, (std::vector<std::string> {"WillShowMenuNotification", "DidShowMenuNotification", "WillHideMenuNotification",
                          "DidHideMenuNotification"}));
    for (auto& token : tokens)
        NSNotificationCenter::defaultCenter()->removeObserver(token);
}

namespace {

// A screen in a navigation controller filling a window of the size under test, with copying labels
// placed on it: the menu must keep below the bars (64 points) and inside the window's sides.
class MenuPlacementTest : public ScreenSizeTest {
protected:
    void SetUp() override
    {
        ScreenSizeTest::SetUp();
        m_screen = alloc<UIViewController>()->init();
        m_screen->view()->setBackgroundColor(UIColor::whiteColor());
        m_navigation = alloc<UINavigationController>()->initWithRootViewController(m_screen);
        m_window->setRootViewController(m_navigation);
        m_ui.runUntilIdle();
    }
    void TearDown() override
    {
        UIPasteboard::generalPasteboard()->setString(nil);
        m_labels.clear();
        m_screen = nil;
        m_navigation = nil;
        ScreenSizeTest::TearDown();
    }
    CGFloat barsBottom() { return CGRectGetMaxY(m_ui.frameInWindow(m_navigation->navigationBar())); }

    // A copying label at `frame` of the screen's view, tapped: the menu shows for it.
    Ref<CopyingLabel> tapLabelAt(CGRect frame)
    {
        auto label = alloc<CopyingLabel>()->initWithFrame(frame);
        label->setText("12"_ns);
        m_screen->view()->addSubview(label);
        m_labels.push_back(label);
        m_ui.runUntilIdle();
        EXPECT_TRUE(m_ui.tap(label));
        EXPECT_TRUE(m_ui.isMenuVisible());
        return label;
    }

    // A view at `frame` of the screen's view that accepts every standard command, first
    // responder, with the menu shown for it: the widest menu there is.
    void showMenuOfEveryCommand(CGRect frame)
    {
        auto view = alloc<AcceptingView>()->initWithFrame(frame);
        m_screen->view()->addSubview(view);
        ASSERT_TRUE(view->becomeFirstResponder());
        auto menu = UIMenuController::sharedMenuController();
        menu->setTargetRect(view->bounds(), view);
        menu->setMenuVisible(true);
        m_ui.runUntilIdle();
        ASSERT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> {"剪切", "拷贝", "选择", "全选", "粘贴", "删除"}));
    }

    // The strip keeps inside the window's sides and below the bars, and the arrow's tip stays
    // within the straight part of the strip's edge.
    void expectWellPlaced()
    {
        const CGRect strip = m_ui.menuFrame();
        const auto tip = m_ui.menuArrowTip();
        ASSERT_TRUE(tip);
        EXPECT_GE(strip.origin.x, 8);
        EXPECT_LE(CGRectGetMaxX(strip), width() - 8);
        EXPECT_GE(strip.origin.y, barsBottom());
        EXPECT_GE(tip->x, strip.origin.x + 8);
        EXPECT_LE(tip->x, CGRectGetMaxX(strip) - 8);
    }

    Ref<UIViewController> m_screen;
    Ref<UINavigationController> m_navigation;
    std::vector<Ref<CopyingLabel>> m_labels;
};

} // namespace

TEST_P(MenuPlacementTest, StandsAboveTheTargetWhenItFitsBelowTheBarsElseBelowItPointingAtItsMiddle)
{
    ASSERT_EQ(barsBottom(), 64);
    // Low on the screen: above, the arrow's tip on the middle of the label's top side.
    auto low = tapLabelAt(CGRectMake(10, 300, width() - 20, 30));
    CGRect target = m_ui.frameInWindow(low);
    ASSERT_TRUE(m_ui.menuArrowTip());
    EXPECT_EQ(*m_ui.menuArrowTip(), CGPointMake(CGRectGetMidX(target), CGRectGetMinY(target)));
    EXPECT_LT(CGRectGetMaxY(m_ui.menuFrame()), CGRectGetMinY(target));
    expectWellPlaced();
    const CGFloat needed = CGRectGetMinY(target) - m_ui.menuFrame().origin.y;
    m_ui.chooseMenuItem("拷贝");

    // Just room enough between the bar and the label for the strip and its arrow: still above.
    auto fits = tapLabelAt(CGRectMake(40, 64 + needed, 100, 30));
    target = m_ui.frameInWindow(fits);
    EXPECT_EQ(m_ui.menuArrowTip()->y, CGRectGetMinY(target));
    EXPECT_EQ(m_ui.menuFrame().origin.y, 64);
    expectWellPlaced();
    m_ui.chooseMenuItem("拷贝");

    // A point less: it would reach into the bar, so it stands below, the arrow up to the middle of
    // the label's lower side.
    auto high = tapLabelAt(CGRectMake(40, 63 + needed, 100, 30));
    target = m_ui.frameInWindow(high);
    EXPECT_EQ(*m_ui.menuArrowTip(), CGPointMake(CGRectGetMidX(target), CGRectGetMaxY(target)));
    EXPECT_GT(m_ui.menuFrame().origin.y, CGRectGetMaxY(target));
    expectWellPlaced();
    m_ui.chooseMenuItem("拷贝");

    // As the about screen's number: right under the bar.
    auto number = tapLabelAt(CGRectMake(10, 106, width() - 20, 30));
    target = m_ui.frameInWindow(number);
    EXPECT_EQ(*m_ui.menuArrowTip(), CGPointMake(CGRectGetMidX(target), CGRectGetMaxY(target)));
    expectWellPlaced();

    // Without the bar, the status bar's bottom is the limit.
    m_ui.chooseMenuItem("拷贝");
    m_navigation->setNavigationBarHidden(true);
    m_ui.runUntilIdle();
    target = m_ui.frameInWindow(tapLabelAt(CGRectMake(40, 20 + needed, 100, 30)));
    EXPECT_EQ(target.origin.y, 20 + needed);
    EXPECT_EQ(m_ui.menuFrame().origin.y, 20) << "above, up to the status bar";
}

TEST_P(MenuPlacementTest, KeepsInsideTheWindowsSidesWithTheArrowOnTheStrip)
{
    // A target at the left edge: the strip stops 8 points in, and the arrow keeps to the straight
    // part of its edge, as near the target's middle as it can.
    tapLabelAt(CGRectMake(0, 300, 16, 30));
    EXPECT_EQ(m_ui.menuFrame().origin.x, 8);
    EXPECT_EQ(m_ui.menuArrowTip()->y, 300) << "still on the target's side";
    EXPECT_GT(m_ui.menuArrowTip()->x, 8);
    EXPECT_LE(m_ui.menuArrowTip()->x, 8 + 8 + 10 + 0.01) << "as far left as the rounded corner and the arrow's half allow";
    expectWellPlaced();
    m_ui.chooseMenuItem("拷贝");
    tapLabelAt(CGRectMake(width() - 16, 300, 16, 30));
    EXPECT_EQ(CGRectGetMaxX(m_ui.menuFrame()), width() - 8);
    EXPECT_GE(m_ui.menuArrowTip()->x, width() - 8 - 8 - 10 - 0.01);
    expectWellPlaced();
    m_ui.chooseMenuItem("拷贝");

    // Every standard command (six titles) at the left edge: on the small screen they share the
    // width, each title whole, the strip still inside the sides.
    ASSERT_NO_FATAL_FAILURE(showMenuOfEveryCommand(CGRectMake(0, 300, 40, 40)));
    expectWellPlaced();
    const CGRect strip = m_ui.menuFrame();
    const auto items = UIMenuController::sharedMenuController()->menuView()->subviews();
    for (auto& object : items->items()) {
        auto button = dv::as<UIButton>(object);
        ASSERT_TRUE(button);
        const CGRect frame = m_ui.frameInWindow(button);
        EXPECT_GE(frame.origin.x, strip.origin.x - 0.01);
        EXPECT_LE(CGRectGetMaxX(frame), CGRectGetMaxX(strip) + 0.01);
        EXPECT_GE(frame.size.width, button->titleLabel()->sizeThatFits(CGSizeZero).width) << dv::str(button->currentTitle());
    }
    // Each command takes its taps.
    ASSERT_TRUE(m_ui.chooseMenuItem("删除"));
    EXPECT_FALSE(m_ui.isMenuVisible());
}

TEST_P(MenuPlacementTest, TheAskedArrowDirectionWins)
{
    auto menu = UIMenuController::sharedMenuController();
    // Up: below a target that has room above.
    menu->setArrowDirection(UIMenuControllerArrowUp);
    const CGRect target = m_ui.frameInWindow(tapLabelAt(CGRectMake(40, 300, 100, 30)));
    EXPECT_EQ(*m_ui.menuArrowTip(), CGPointMake(CGRectGetMidX(target), CGRectGetMaxY(target)));
    EXPECT_EQ(m_ui.menuFrame().origin.y, CGRectGetMaxY(target) + 10);
    // Left and right: beside it, level with its middle.
    menu->setArrowDirection(UIMenuControllerArrowLeft);
    menu->update();
    EXPECT_EQ(*m_ui.menuArrowTip(), CGPointMake(CGRectGetMaxX(target), CGRectGetMidY(target)));
    EXPECT_EQ(m_ui.menuFrame().origin.x, CGRectGetMaxX(target) + 10);
    EXPECT_EQ(CGRectGetMidY(m_ui.menuFrame()), CGRectGetMidY(target));
    menu->setArrowDirection(UIMenuControllerArrowRight);
    menu->setTargetRect(CGRectMake(width() - 100, 300, 60, 30), m_window);
    menu->update();
    EXPECT_EQ(*m_ui.menuArrowTip(), CGPointMake(width() - 100, 315));
    EXPECT_EQ(CGRectGetMaxX(m_ui.menuFrame()), width() - 110);
    // Down: above it, even near the top, into the bar; at the top the strip stops at the
    // window's edge.
    menu->setArrowDirection(UIMenuControllerArrowDown);
    menu->setTargetRect(CGRectMake(40, 70, 100, 30), m_window);
    menu->update();
    EXPECT_EQ(*m_ui.menuArrowTip(), CGPointMake(90, 70));
    EXPECT_EQ(m_ui.menuFrame().origin.y, 24);
    menu->setTargetRect(CGRectMake(40, 30, 100, 30), m_window);
    menu->update();
    EXPECT_EQ(m_ui.menuFrame().origin.y, 0);
    menu->setArrowDirection(UIMenuControllerArrowDefault);
}

// The strip is dark with thin light lines between its commands, and its arrow is a triangle from
// the strip's edge to the tip, over what lies behind.
TEST_P(MenuPlacementTest, DrawsADarkStripWithSeparatorsAndATriangularArrow)
{
    ASSERT_NO_FATAL_FAILURE(showMenuOfEveryCommand(CGRectMake(40, 300, 100, 40)));
    const CGRect strip = m_ui.menuFrame();
    const CGPoint tip = *m_ui.menuArrowTip();
    ASSERT_EQ(tip.y, 300);
    Pixels pixels(m_ui.screenshot(2));
    auto dark = [](const Pixel& p) { return p[0] < 60 && p[1] < 60 && p[2] < 60; };
    EXPECT_TRUE(dark(pixels.at(strip.origin.x + 4, CGRectGetMidY(strip)))) << show(pixels.at(strip.origin.x + 4, CGRectGetMidY(strip)));
    EXPECT_FALSE(dark(pixels.at(strip.origin.x + 0.5, strip.origin.y + 0.5))) << "a rounded corner";
    // The triangle: narrow near the tip, wide near the strip.
    EXPECT_TRUE(dark(pixels.at(tip.x, tip.y - 2)));
    EXPECT_FALSE(dark(pixels.at(tip.x + 4, tip.y - 2)));
    EXPECT_TRUE(dark(pixels.at(tip.x + 7, tip.y - 9)));
    EXPECT_FALSE(dark(pixels.at(tip.x + 12, tip.y - 5)));
    EXPECT_FALSE(dark(pixels.at(tip.x, tip.y + 1))) << "nothing past the tip";
    // Between two commands, a lighter line the strip's height.
    const auto items = UIMenuController::sharedMenuController()->menuView()->subviews();
    const CGFloat between = m_ui.frameInWindow(dv::as<UIView>(items->objectAtIndex(1))).origin.x;
    const Pixel line = pixels.at(between - 0.25, strip.origin.y + 3);
    const Pixel beside = pixels.at(between + 2, strip.origin.y + 3);
    EXPECT_GT(line[0], beside[0] + 20) << show(line) << " " << show(beside);
    EXPECT_TRUE(dark(beside));
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, MenuPlacementTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)), screenSizeName);
