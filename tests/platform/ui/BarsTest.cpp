#include "UITestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"

using namespace dv::test;

namespace {

class BarsTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_target = alloc<ActionTarget>();
        m_bar = alloc<UIToolbar>()->init();
        m_bar->sizeToFit();
        m_bar->setFrame(CGRectMake(0, 400, m_bar->frame().size.width, m_bar->frame().size.height));
        m_window->addSubview(m_bar);
    }

    Ref<UIBarButtonItem> space(UIBarButtonSystemItem kind, CGFloat width = 0)
    {
        auto item = alloc<UIBarButtonItem>()->initWithBarButtonSystemItem(kind, nil, SEL());
        item->setWidth(width);
        return item;
    }

    Ref<ActionTarget> m_target;
    Ref<UIToolbar> m_bar;
};

} // namespace

TEST_F(BarsTest, AToolbarSizesToItsSuperviewOrTheScreen)
{
    EXPECT_EQ(m_bar->frame(), CGRectMake(0, 400, 375, 44));
    auto holder = addView(CGRectMake(0, 0, 200, 100));
    holder->addSubview(m_bar);
    m_bar->sizeToFit();
    EXPECT_EQ(m_bar->frame().size, CGSizeMake(200, 44));
}

TEST_F(BarsTest, ItemsStandInARowWithSpacesAndFlexibleSpacesShareTheRest)
{
    auto titleView = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 100, 30));
    auto title = alloc<UIBarButtonItem>()->initWithCustomView(titleView);
    auto done = alloc<UIBarButtonItem>()->initWithBarButtonSystemItem(UIBarButtonSystemItemDone, m_target, "fired:");
    auto left = alloc<UIBarButtonItem>()->initWithTitle("上一个"_ns, UIBarButtonItemStylePlain, m_target, "fire");
    m_bar->setItems(NSArray::of({left, space(UIBarButtonSystemItemFixedSpace, 23), title, space(UIBarButtonSystemItemFlexibleSpace), done}));
    m_ui.runUntilIdle();

    auto leftView = left->representedView(), doneView = done->representedView();
    ASSERT_TRUE(leftView && doneView);
    EXPECT_EQ(title->representedView(), titleView);
    EXPECT_EQ(leftView->frame().origin.x, 12);
    EXPECT_EQ(titleView->frame().origin.x, CGRectGetMaxX(leftView->frame()) + 23) << "no gap beside a space";
    EXPECT_EQ(titleView->frame().origin.y, 7) << "centred in the bar's height";
    EXPECT_EQ(CGRectGetMaxX(doneView->frame()), 375 - 12) << "the flexible space takes the rest";
    EXPECT_EQ(doneView->frame().size.height, 44);
    EXPECT_EQ(m_ui.textOf(doneView), "完成");
    const CGFloat wordWidth = sizeWithAttributes("完成"_ns, NSDictionary::dictionaryWithObjectForKey(UIFont::boldSystemFontOfSize(17), NSFontAttributeName)).width;
    EXPECT_NEAR(doneView->frame().size.width, wordWidth, 1) << "bold for the done style";

    // Two shown items side by side stand 8 points apart; a fixed width wins.
    auto right = alloc<UIBarButtonItem>()->initWithTitle("下一个"_ns, UIBarButtonItemStylePlain, m_target, "fire");
    right->setWidth(60);
    m_bar->setItems(NSArray::of({left, right}));
    m_ui.runUntilIdle();
    EXPECT_EQ(right->representedView()->frame().origin.x, CGRectGetMaxX(left->representedView()->frame()) + 8);
    EXPECT_EQ(right->representedView()->frame().size.width, 60);
    EXPECT_EQ(titleView->superview(), nil) << "items no longer shown leave the bar";
    EXPECT_EQ(done->representedView()->superview(), nil);
}

TEST_F(BarsTest, TappingAnItemSendsItsActionWithTheItemAsSender)
{
    auto done = alloc<UIBarButtonItem>()->initWithBarButtonSystemItem(UIBarButtonSystemItemDone, m_target, "fired:");
    auto cancel = alloc<UIBarButtonItem>()->initWithBarButtonSystemItem(UIBarButtonSystemItemCancel, m_target, "fire");
    m_bar->setItems(NSArray::of({cancel, space(UIBarButtonSystemItemFlexibleSpace), done}));
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.tap(done));
    EXPECT_EQ(m_target->calls, (Journal {"fired:UIBarButtonItem"}));
    EXPECT_EQ(m_target->senders.front(), done);
    ASSERT_TRUE(m_ui.tap(cancel));
    EXPECT_EQ(m_target->calls.back(), "fire");
    EXPECT_NE(m_ui.dump().find("UIBarButton (12 0; "), std::string::npos) << m_ui.dump();
    EXPECT_NE(m_ui.dump().find("title=\"取消\""), std::string::npos);

    done->setEnabled(false);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.tap(done));
    EXPECT_EQ(m_target->calls.size(), 2u) << "a disabled item sends nothing";
    EXPECT_TRUE(done->accessibilityTraits() & UIAccessibilityTraitNotEnabled);
    EXPECT_FALSE(m_ui.tap(space(UIBarButtonSystemItemFlexibleSpace))) << "spaces have no view";
}

TEST_F(BarsTest, ItemsTakeTheTintOfTheBarOrTheirOwnAndTheirAppearanceRules)
{
    auto done = alloc<UIBarButtonItem>()->initWithBarButtonSystemItem(UIBarButtonSystemItemDone, m_target, "fired:");
    auto plain = alloc<UIBarButtonItem>()->initWithTitle("编辑"_ns, UIBarButtonItemStylePlain, m_target, "fire");
    m_bar->setTintColor(UIColor::blackColor());
    plain->setTintColor(UIColor::redColor());
    m_bar->setItems(NSArray::of({done, plain}));
    m_ui.runUntilIdle();
    auto doneButton = dv::as<UIButton>(done->representedView());
    auto plainButton = dv::as<UIButton>(plain->representedView());
    EXPECT_EQ(doneButton->currentTitleColor(), UIColor::blackColor());
    EXPECT_EQ(plainButton->currentTitleColor(), UIColor::redColor());

    // Rules on the proxy reach items when a bar first lays them out, unless set on the item.
    UIBarButtonItem::appearance()->setTintColor(UIColor::blueColor());
    UIBarButtonItem::appearanceWhenContainedIn({UIToolbar::class_()})
        ->setTitleTextAttributes(NSDictionary::dictionaryWithObjectForKey(UIFont::systemFontOfSize(12), NSFontAttributeName), UIControlStateNormal);
    auto fresh = alloc<UIBarButtonItem>()->initWithTitle("新的"_ns, UIBarButtonItemStylePlain, m_target, "fire");
    m_bar->setItems(NSArray::of({fresh, plain}));
    m_ui.runUntilIdle();
    EXPECT_EQ(fresh->tintColor(), UIColor::blueColor());
    EXPECT_EQ(plain->tintColor(), UIColor::redColor()) << "its own setting stays";
    EXPECT_EQ(dv::as<UIButton>(fresh->representedView())->titleLabel()->font()->pointSize(), 12);
    UIBarButtonItem::appearance()->setTintColor(nil);
    auto cleared = alloc<UIBarButtonItem>()->initWithTitle("再来"_ns, UIBarButtonItemStylePlain, m_target, "fire");
    m_bar->setItems(NSArray::of({cleared}));
    m_ui.runUntilIdle();
    EXPECT_EQ(cleared->tintColor(), nil) << "the later rule wins";
    EXPECT_EQ(dv::as<UIButton>(cleared->representedView())->currentTitleColor(), UIColor::blackColor()) << "so the bar's tint shows";
}

TEST_F(BarsTest, TheBarIsDrawnInItsTintOrStyle)
{
    m_ui.runUntilIdle();
    const Pixel plain = pixelOf(m_ui.screenshot(1), 200, 420);
    EXPECT_GT(plain[0], 230);
    m_bar->setBarTintColor(UIColor::redColor());
    m_ui.runUntilIdle();
    EXPECT_TRUE(near(pixelOf(m_ui.screenshot(1), 200, 420), {255, 0, 0, 255}));
    m_bar->setBarTintColor(nil);
    m_bar->setBarStyle(UIBarStyleBlack);
    m_bar->setTranslucent(false);
    m_ui.runUntilIdle();
    EXPECT_LT(pixelOf(m_ui.screenshot(1), 200, 420)[0], 40);
}
