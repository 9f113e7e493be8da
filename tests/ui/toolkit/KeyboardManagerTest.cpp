// The keyboard manager keeping the focused field above the keyboard: how far the screen or the
// enclosing scroll view moves for fields at several heights (with and without the toolbar, with a
// field's own distance, the bottom blank space kept away), how it comes back when the keyboard
// goes or the focus moves up, a sheet, switching the manager off and on while the keyboard shows, a
// layout-guide constraint, a text view made shorter, and ending editing by a tap outside.
#include "KeyboardTestSupport.h"

#include "platform/base/NSString.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "ui/toolkit/keyboard/KBToolbar.h"
#include "ui/toolkit/keyboard/UIViewAdditions.h"

#include <string>
#include <vector>

using namespace dv::test;

namespace {

// A field of height 30 at `y`, and where the screen's view ends up once it has the focus.
struct Placement {
    CGFloat y;
    CGFloat screenY;
};

} // namespace

TEST_F(KeyboardTest, ScreenMovesUpJustEnoughForFieldsAtSeveralHeights)
{
    m_manager->setEnableAutoToolbar(false);
    // Keyboard 216 high, 10 points of gap: the field's bottom goes to 667 - 226 = 441. The screen
    // never goes up more than the keyboard's own height (216), so no blank space shows under it.
    const std::vector<Placement> placements { { 100, 0 }, { 400, 0 }, { 500, -89 }, { 620, -209 }, { 637, -216 } };
    for (const auto& placement : placements) {
        SCOPED_TRACE(placement.y);
        auto field = addField(CGRectMake(20, placement.y, 300, 30));
        ASSERT_TRUE(focus(field));
        EXPECT_TRUE(m_ui.isKeyboardVisible());
        EXPECT_EQ(m_ui.keyboardFrame().size.height, 216);
        EXPECT_DOUBLE_EQ(screenY(), placement.screenY);
        if (placement.screenY > -216) {
            EXPECT_LE(CGRectGetMaxY(m_ui.frameInWindow(field)), 441.0001);
        }
        // The keyboard goes: the screen comes back where it was.
        ASSERT_TRUE(m_ui.resignFocus());
        settle();
        EXPECT_FALSE(m_ui.isKeyboardVisible());
        EXPECT_DOUBLE_EQ(screenY(), 0);
        field->removeFromSuperview();
    }
}

TEST_F(KeyboardTest, ToolbarAddsItsHeightToTheMove)
{
    // A lone field gets the done toolbar (44 high): the keyboard is 260 high.
    const std::vector<Placement> placements { { 500, -133 }, { 600, -233 }, { 637, -260 } };
    for (const auto& placement : placements) {
        SCOPED_TRACE(placement.y);
        auto field = addField(CGRectMake(20, placement.y, 300, 30));
        ASSERT_TRUE(focus(field));
        EXPECT_NE(dv::as<KBToolbar>(m_ui.keyboardAccessoryView()), nil);
        EXPECT_EQ(m_ui.keyboardFrame().size.height, 260);
        EXPECT_DOUBLE_EQ(screenY(), placement.screenY);
        ASSERT_TRUE(m_ui.resignFocus());
        settle();
        EXPECT_DOUBLE_EQ(screenY(), 0);
        field->removeFromSuperview();
    }
}

TEST_F(KeyboardTest, FieldsOwnDistanceComesFirstAndZeroIsHonoured)
{
    m_manager->setEnableAutoToolbar(false);
    auto field = addField(CGRectMake(20, 500, 300, 30));
    setKeyboardDistanceFromTextField(field, 0);
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(screenY(), -79);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(m_ui.frameInWindow(field)), m_ui.keyboardFrame().origin.y);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();

    m_manager->setKeyboardDistanceFromTextField(-5);
    EXPECT_EQ(m_manager->keyboardDistanceFromTextField(), 0);
    setKeyboardDistanceFromTextField(field, kKBUseManagerDistance);
    m_manager->setKeyboardDistanceFromTextField(30);
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(screenY(), -109);
}

TEST_F(KeyboardTest, MovingTheFocusUpBringsTheScreenBackButNeverBelowItsStart)
{
    m_manager->setEnableAutoToolbar(false);
    auto low = addField(CGRectMake(20, 620, 300, 30));
    auto middle = addField(CGRectMake(20, 500, 300, 30));
    auto high = addField(CGRectMake(20, 250, 300, 30));
    ASSERT_TRUE(focus(low));
    EXPECT_DOUBLE_EQ(screenY(), -209);
    ASSERT_TRUE(focus(middle));
    EXPECT_DOUBLE_EQ(screenY(), -89);
    ASSERT_TRUE(focus(high));
    EXPECT_DOUBLE_EQ(screenY(), 0);
    // The lowest field is now under the keyboard: no one can tap it.
    EXPECT_FALSE(m_ui.focus(low));
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(screenY(), 0);
}

TEST_F(KeyboardTest, ASheetGoesUpUntilItReachesTheKeyboardAndBackNeverBelowItsStart)
{
    m_manager->setEnableAutoToolbar(false);
    m_screen->setModalPresentationStyle(UIModalPresentationFormSheet);
    auto low = addField(CGRectMake(20, 637, 300, 30));
    auto middle = addField(CGRectMake(20, 500, 300, 30));
    auto high = addField(CGRectMake(20, 250, 300, 30));
    // Unlike a full screen (at most the keyboard's own 216 up), a sheet the height of the window
    // goes as far as the keyboard with its gap: 226.
    ASSERT_TRUE(focus(low));
    EXPECT_DOUBLE_EQ(screenY(), -226);
    ASSERT_TRUE(focus(middle));
    EXPECT_DOUBLE_EQ(screenY(), -89);
    ASSERT_TRUE(focus(high));
    EXPECT_DOUBLE_EQ(screenY(), 0);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(screenY(), 0);
}

TEST_F(KeyboardTest, ScrollViewScrollsAndGetsRoomUnderItsContent)
{
    m_manager->setEnableAutoToolbar(false);
    auto scrollView = alloc<UIScrollView>()->initWithFrame(m_screen->view()->bounds());
    scrollView->setContentSize(CGSizeMake(375, 1000));
    m_screen->view()->addSubview(scrollView);
    auto field = addField(CGRectMake(20, 500, 300, 30), scrollView);
    auto lower = addField(CGRectMake(20, 520, 300, 30), scrollView);

    ASSERT_TRUE(focus(field));
    // The scroll view takes the whole move; the screen stays.
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 89);
    EXPECT_DOUBLE_EQ(screenY(), 0);
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 226);
    EXPECT_DOUBLE_EQ(scrollView->scrollIndicatorInsets().bottom, 216);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(m_ui.frameInWindow(field)), 441);

    // The next field down, half under the keyboard, scrolls on from there.
    ASSERT_TRUE(focus(lower));
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 109);
    EXPECT_DOUBLE_EQ(CGRectGetMaxY(m_ui.frameInWindow(lower)), 441);

    // Hidden keyboard: the inset goes, the content stays where it was scrolled.
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(scrollView->contentInset().bottom, 0);
    EXPECT_DOUBLE_EQ(scrollView->scrollIndicatorInsets().bottom, 0);
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 109);

    // A scroll view that asks for it gets its offset back too.
    m_ui.dragScrollView(scrollView, CGPointMake(0, -109));
    ASSERT_DOUBLE_EQ(scrollView->contentOffset().y, 0);
    setShouldRestoreScrollViewContentOffset(scrollView, true);
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 89);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 0);
}

TEST_F(KeyboardTest, ShortContentGrowsToTheFrameAndComesBackToTheTop)
{
    m_manager->setEnableAutoToolbar(false);
    auto scrollView = alloc<UIScrollView>()->initWithFrame(m_screen->view()->bounds());
    scrollView->setContentSize(CGSizeMake(375, 300));
    m_screen->view()->addSubview(scrollView);
    auto field = addField(CGRectMake(20, 600, 300, 30), scrollView);

    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(scrollView->contentSize().height, 667);
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 189);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    // Nothing stays scrolled past the end of the content.
    EXPECT_DOUBLE_EQ(scrollView->contentOffset().y, 0);
}

TEST_F(KeyboardTest, FieldMovingBetweenScrollViewsGivesTheFirstItsInsetBack)
{
    m_manager->setEnableAutoToolbar(false);
    auto first = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 0, 375, 300));
    first->setContentSize(CGSizeMake(375, 600));
    m_screen->view()->addSubview(first);
    auto second = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 300, 375, 367));
    second->setContentSize(CGSizeMake(375, 800));
    m_screen->view()->addSubview(second);
    auto top = addField(CGRectMake(20, 250, 300, 30), first);
    auto bottom = addField(CGRectMake(20, 130, 300, 30), second);

    ASSERT_TRUE(focus(top));
    // The first scroll view ends at 300, above the keyboard's 441: no room needed under it.
    EXPECT_DOUBLE_EQ(first->contentInset().bottom, 0);
    ASSERT_TRUE(focus(bottom));
    EXPECT_DOUBLE_EQ(first->contentInset().bottom, 0);
    EXPECT_DOUBLE_EQ(second->contentInset().bottom, 226);
    EXPECT_DOUBLE_EQ(second->contentOffset().y, 19);
    // A field outside both: the second gets its inset back.
    auto outside = addField(CGRectMake(20, 100, 300, 30), m_screen->view());
    ASSERT_TRUE(focus(outside));
    EXPECT_DOUBLE_EQ(second->contentInset().bottom, 0);
}

TEST_F(KeyboardTest, SwitchingOffRestoresAtOnceAndSwitchingOnAppliesTheKeyboardAgain)
{
    m_manager->setEnableAutoToolbar(false);
    auto field = addField(CGRectMake(20, 500, 300, 30));
    ASSERT_TRUE(focus(field));
    ASSERT_DOUBLE_EQ(screenY(), -89);
    m_manager->setEnable(false);
    m_ui.runUntilIdle();
    EXPECT_DOUBLE_EQ(screenY(), 0);
    EXPECT_TRUE(m_ui.isKeyboardVisible());
    m_manager->setEnable(true);
    m_ui.runUntilIdle();
    EXPECT_DOUBLE_EQ(screenY(), -89);
    // And the keyboard going still brings it back.
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(screenY(), 0);

    // While off, a new focus moves nothing.
    m_manager->setEnable(false);
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(screenY(), 0);
}

TEST_F(KeyboardTest, DisabledControllerClassesAreLeftAlone)
{
    m_manager->setEnableAutoToolbar(false);
    m_manager->disableDistanceHandlingInViewControllerClass(UIViewController::class_());
    auto field = addField(CGRectMake(20, 500, 300, 30));
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(screenY(), 0);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    m_manager->removeDisableInViewControllerClass(UIViewController::class_());
    EXPECT_TRUE(m_manager->disabledInViewControllerClasses().empty());
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(screenY(), -89);
}

TEST_F(KeyboardTest, LayoutGuideConstraintChangesInsteadOfTheScreen)
{
    m_manager->setEnableAutoToolbar(false);
    auto spacer = addView(CGRectMake(0, 0, 10, 10), nil, m_screen->view());
    auto bottom = NSLayoutConstraint::constraintWithItem(spacer, NSLayoutAttributeHeight, NSLayoutRelationEqual,
        m_screen->bottomLayoutGuide(), NSLayoutAttributeTop, 0, 0);
    setKBLayoutGuideConstraint(m_screen, bottom);
    auto field = addField(CGRectMake(20, 600, 300, 30));
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(bottom->constant(), 189);
    EXPECT_DOUBLE_EQ(screenY(), 0);
    // Given back once the keyboard goes, although the field has ended editing before.
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(bottom->constant(), 0);

    auto top = NSLayoutConstraint::constraintWithItem(
        m_screen->topLayoutGuide(), NSLayoutAttributeBottom, NSLayoutRelationEqual, spacer, NSLayoutAttributeTop, 1, 0);
    setKBLayoutGuideConstraint(m_screen, top);
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(top->constant(), -189);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(top->constant(), 0);
}

TEST_F(KeyboardTest, TextViewGetsItsToolbarAndIsMadeShorterWhenAllowed)
{
    auto textView = addTextView(CGRectMake(20, 450, 335, 100));
    ASSERT_TRUE(focus(textView));
    // The keyboard shows again once the toolbar is in place.
    EXPECT_NE(dv::as<KBToolbar>(m_ui.keyboardAccessoryView()), nil);
    EXPECT_EQ(m_ui.keyboardFrame().size.height, 260);
    EXPECT_DOUBLE_EQ(screenY(), -153);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(screenY(), 0);

    m_manager->setEnableAutoToolbar(false);
    m_manager->setCanAdjustTextView(true);
    auto tall = addTextView(CGRectMake(20, 100, 335, 500));
    ASSERT_TRUE(focus(tall));
    EXPECT_DOUBLE_EQ(tall->frame().size.height, 667 - 226 - 25);
    EXPECT_DOUBLE_EQ(screenY(), -75);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(tall->frame().size.height, 500);
    EXPECT_DOUBLE_EQ(screenY(), 0);
}

TEST_F(KeyboardTest, TypingInATextViewKeepsTheCaretLineAboveItsInset)
{
    m_manager->setEnableAutoToolbar(false);
    auto textView = addTextView(CGRectMake(20, 100, 335, 100));
    textView->setContentInset(UIEdgeInsetsMake(0, 0, 40, 0));
    ASSERT_TRUE(focus(textView));
    auto caretBottom = [&] {
        return CGRectGetMaxY(textView->caretRectForPosition(textView->selectedTextRange()->start()));
    };
    auto visibleBottom = [&] { return textView->contentOffset().y + textView->bounds().size.height - 40; };
    for (int line = 0; line < 8; ++line) {
        ASSERT_TRUE(m_ui.typeText("第" + std::to_string(line) + "行\n"));
        EXPECT_LE(caretBottom(), visibleBottom()) << line;
    }
    // Switched off, the caret line may sink under the inset.
    m_manager->setShouldFixTextViewClip(false);
    for (int line = 0; line < 4; ++line)
        ASSERT_TRUE(m_ui.typeText("再一行\n"));
    EXPECT_GT(caretBottom(), visibleBottom());
}

TEST_F(KeyboardTest, TapOutsideEndsEditingButNotOnControlsOrTheNavigationBar)
{
    m_manager->setEnableAutoToolbar(false);
    auto navigation = alloc<UINavigationController>()->initWithRootViewController(m_screen);
    m_window->setRootViewController(navigation);
    m_ui.runUntilIdle();
    auto field = addField(CGRectMake(20, 300, 300, 30));
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(CGRectMake(20, 200, 200, 40));
    button->setTitle("确定"_ns, UIControlStateNormal);
    m_screen->view()->addSubview(button);

    // Off: a tap outside changes nothing.
    ASSERT_TRUE(focus(field));
    ASSERT_TRUE(m_ui.tap(CGPointMake(350, 420)));
    EXPECT_EQ(m_ui.firstResponder(), field);

    m_manager->setShouldResignOnTouchOutside(true);
    ASSERT_TRUE(m_ui.tap(button));
    EXPECT_EQ(m_ui.firstResponder(), field);
    ASSERT_TRUE(m_ui.tap(navigation->navigationBar()));
    EXPECT_EQ(m_ui.firstResponder(), field);

    ASSERT_TRUE(m_ui.tap(CGPointMake(350, 420)));
    settle();
    EXPECT_EQ(m_ui.firstResponder(), nil);
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    // The recogniser has left the window with the editing.
    auto recognizers = m_window->gestureRecognizers();
    EXPECT_EQ(recognizers ? recognizers->count() : 0u, 0u);
}

TEST_F(KeyboardTest, ForcedKeyboardAppearanceReachesTheFieldAndTheToolbar)
{
    m_manager->setOverrideKeyboardAppearance(true);
    m_manager->setKeyboardAppearance(UIKeyboardAppearanceDark);
    auto field = addField(CGRectMake(20, 100, 300, 30));
    ASSERT_TRUE(focus(field));
    EXPECT_EQ(field->keyboardAppearance(), UIKeyboardAppearanceDark);
    auto toolbar = dv::as<KBToolbar>(m_ui.keyboardAccessoryView());
    ASSERT_NE(toolbar, nil);
    EXPECT_EQ(toolbar->barStyle(), UIBarStyleBlack);
    EXPECT_TRUE(toolbar->tintColor()->isEqual(UIColor::whiteColor()));
}

TEST_F(KeyboardTest, TheApplicationsSettingsKeepFieldsVisibleWithoutAToolbar)
{
    // As the application starts it: on, tap outside ends editing, no automatic toolbar.
    m_manager->setEnable(true);
    m_manager->setShouldResignOnTouchOutside(true);
    m_manager->setShouldToolbarUsesTextFieldTintColor(true);
    m_manager->setEnableAutoToolbar(false);
    auto upper = addField(CGRectMake(20, 450, 300, 30), nil, 0, "请输入标题");
    auto lower = addField(CGRectMake(20, 470, 300, 30), nil, 0, "请输入信聊号");
    ASSERT_TRUE(focus(upper));
    EXPECT_EQ(m_ui.keyboardAccessoryView(), nil);
    EXPECT_DOUBLE_EQ(screenY(), -39);
    // The next field, typed into, then the keyboard sent away by a tap on the screen.
    ASSERT_TRUE(focus(lower));
    ASSERT_TRUE(m_ui.typeText("xinliao01"));
    EXPECT_EQ(lower->text()->utf8(), "xinliao01");
    EXPECT_DOUBLE_EQ(screenY(), -59);
    ASSERT_TRUE(m_ui.tap(CGPointMake(187, 150)));
    settle();
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    EXPECT_DOUBLE_EQ(screenY(), 0);
}

// The runner's relaunch ends the application with the keyboard up, as the end of a process does:
// nobody hears the keyboard go. The shared manager then starts again as in a new process: its
// settings at their defaults, switched on, and nothing known of that keyboard, so that the next
// application's screen moves for its own keyboard and comes back when it goes.
TEST_F(KeyboardTest, AfterAResetTheManagerStartsAsInANewProcess)
{
    m_manager->setKeyboardDistanceFromTextField(40);
    m_manager->setEnableAutoToolbar(false);
    m_manager->setShouldResignOnTouchOutside(true);
    ASSERT_TRUE(focus(addField(CGRectMake(20, 620, 300, 30))));
    ASSERT_LT(screenY(), 0);
    UIApplication::resetSharedApplication();
    KBKeyboardManager::resetSharedManager();
    EXPECT_TRUE(m_manager->isEnabled());
    EXPECT_EQ(m_manager->keyboardDistanceFromTextField(), 10);
    EXPECT_TRUE(m_manager->isEnableAutoToolbar());
    EXPECT_FALSE(m_manager->shouldResignOnTouchOutside());

    m_app = UIApplication::sharedApplication();
    m_window = alloc<UIWindow>()->init();
    m_screen = alloc<UIViewController>()->init();
    m_window->setRootViewController(m_screen);
    m_window->makeKeyAndVisible();
    m_ui.runUntilIdle();
    m_manager->setEnableAutoToolbar(false);
    auto field = addField(CGRectMake(20, 500, 300, 30));
    EXPECT_DOUBLE_EQ(screenY(), 0);
    ASSERT_TRUE(focus(field));
    EXPECT_DOUBLE_EQ(screenY(), -89);
    ASSERT_TRUE(m_ui.resignFocus());
    settle();
    EXPECT_DOUBLE_EQ(screenY(), 0);
}

// The toolkit's fixture, for the live-object check and the appearance rules the installation
// adds being taken away again.
class KeyboardManagerObject : public ToolkitTest { };

TEST_F(KeyboardManagerObject, OnlyTheSharedManagerIsSetUp)
{
    dv::installKeyboardManager();
    auto shared = KBKeyboardManager::sharedManager();
    EXPECT_EQ(KBKeyboardManager::sharedManager(), shared);
    EXPECT_TRUE(shared->isEnabled());
    EXPECT_EQ(shared->consideredToolbarPreviousNextViewClasses(),
        (std::vector<Class> { UITableView::class_(), UICollectionView::class_() }));

    auto other = alloc<KBKeyboardManager>()->init();
    EXPECT_FALSE(other->isEnabled());
    EXPECT_EQ(other->keyboardDistanceFromTextField(), 0);
    EXPECT_FALSE(other->isEnableAutoToolbar());
    EXPECT_FALSE(other->preventShowingBottomBlankSpace());
    EXPECT_FALSE(other->shouldShowTextFieldPlaceholder());
    EXPECT_TRUE(other->consideredToolbarPreviousNextViewClasses().empty());
}
