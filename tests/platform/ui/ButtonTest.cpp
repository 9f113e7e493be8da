#include "UITestSupport.h"

#include "platform/base/NSString.h"

using namespace dv::test;

namespace {

class ButtonTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_target = alloc<ActionTarget>();
        m_button = UIButton::buttonWithType(UIButtonTypeCustom);
        m_button->setFrame(CGRectMake(50, 100, 200, 50));
        m_button->addTarget(m_target, "fired:", UIControlEventTouchUpInside);
        m_window->addSubview(m_button);
    }

    Ref<UIImage> solid(CGSize size, Ref<UIColor> color) { return twoColourImage(size, color, color); }

    Ref<ActionTarget> m_target;
    Ref<UIButton> m_button;
};

} // namespace

TEST_F(ButtonTest, EachStateShowsItsOwnValuesOrFallsBackToNormal)
{
    auto red = UIColor::redColor(), blue = UIColor::blueColor();
    auto plain = solid(CGSizeMake(10, 10), red), pressed = solid(CGSizeMake(10, 10), blue);
    m_button->setTitle("查询"_ns, UIControlStateNormal);
    m_button->setTitle("按下"_ns, UIControlStateHighlighted);
    m_button->setTitleColor(red, UIControlStateNormal);
    m_button->setImage(plain, UIControlStateNormal);
    m_button->setBackgroundImage(pressed, UIControlStateSelected);

    EXPECT_EQ(dv::str(m_button->currentTitle()), "查询");
    EXPECT_EQ(m_button->titleForState(UIControlStateSelected), nil) << "no fallback when asked for a state";
    EXPECT_EQ(m_button->currentBackgroundImage(), nil);
    m_button->setSelected(true);
    EXPECT_EQ(dv::str(m_button->currentTitle()), "查询") << "selected falls back to normal";
    EXPECT_EQ(m_button->currentTitleColor(), red);
    EXPECT_EQ(m_button->currentImage(), plain);
    EXPECT_EQ(m_button->currentBackgroundImage(), pressed);
    m_button->setSelected(false);

    auto touch = m_ui.touchDown(CGPointMake(150, 125));
    EXPECT_EQ(m_button->state(), UIControlStateHighlighted);
    EXPECT_EQ(dv::str(m_button->currentTitle()), "按下");
    EXPECT_EQ(dv::str(m_button->titleLabel()->text()), "按下") << "the label follows the state";
    EXPECT_EQ(m_button->currentTitleColor(), red);
    m_ui.touchUp(touch, CGPointMake(150, 125));
    EXPECT_EQ(dv::str(m_button->titleLabel()->text()), "查询");
    EXPECT_EQ(m_target->calls, (Journal {"fired:UIButton"}));

    m_button->setEnabled(false);
    EXPECT_EQ(m_button->state(), UIControlStateDisabled);
    EXPECT_EQ(dv::str(m_button->currentTitle()), "查询");
    m_button->setTitle("不可用"_ns, UIControlStateDisabled);
    EXPECT_EQ(dv::str(m_button->titleLabel()->text()), "不可用");
    ASSERT_TRUE(m_ui.tap(m_button));
    EXPECT_EQ(m_target->calls.size(), 1u) << "a disabled button does nothing";
}

TEST_F(ButtonTest, TitleColoursDefaultByType)
{
    EXPECT_EQ(m_button->titleColorForState(UIControlStateNormal), UIColor::whiteColor());
    EXPECT_EQ(m_button->titleColorForState(UIControlStateHighlighted), nil);
    auto system = UIButton::buttonWithType(UIButtonTypeSystem);
    m_window->addSubview(system);
    m_window->setTintColor(UIColor::orangeColor());
    EXPECT_EQ(system->currentTitleColor(), UIColor::orangeColor()) << "a system button takes the tint";
    EXPECT_EQ(system->buttonType(), UIButtonTypeSystem);
}

TEST_F(ButtonTest, ImageAndTitleStandSideBySideByTheContentAlignment)
{
    m_button->setImage(solid(CGSizeMake(20, 20), UIColor::redColor()), UIControlStateNormal);
    m_button->setTitle("上一个"_ns, UIControlStateNormal);
    m_ui.runUntilIdle();
    const CGSize title = m_button->titleLabel()->sizeThatFits(CGSizeZero);
    const CGFloat left = (200 - 20 - title.width) / 2;
    EXPECT_EQ(m_button->imageView()->frame(), CGRectMake(left, 15, 20, 20));
    EXPECT_EQ(m_button->titleLabel()->frame(), CGRectMake(left + 20, (50 - title.height) / 2, title.width, title.height));

    m_button->setContentHorizontalAlignment(UIControlContentHorizontalAlignmentLeft);
    m_button->setContentEdgeInsets(UIEdgeInsetsMake(0, 8, 0, 0));
    m_button->setTitleEdgeInsets(UIEdgeInsetsMake(0, 4, 0, 0));
    m_ui.runUntilIdle();
    EXPECT_EQ(m_button->imageView()->frame().origin.x, 8);
    EXPECT_EQ(m_button->titleLabel()->frame().origin.x, 32);
    EXPECT_EQ(m_button->titleLabel()->textAlignment(), NSTextAlignmentLeft);

    m_button->setContentHorizontalAlignment(UIControlContentHorizontalAlignmentRight);
    m_button->setContentVerticalAlignment(UIControlContentVerticalAlignmentTop);
    m_ui.runUntilIdle();
    EXPECT_EQ(CGRectGetMaxX(m_button->titleLabel()->frame()), 200);
    EXPECT_EQ(m_button->imageView()->frame().origin.y, 0);
}

TEST_F(ButtonTest, AnImageLargerThanTheButtonIsShrunkIntoIt)
{
    auto small = UIButton::buttonWithType(UIButtonTypeCustom);
    small->setFrame(CGRectMake(10, 10, 30, 30));
    m_window->addSubview(small);
    small->setImage(solid(CGSizeMake(90, 90), UIColor::redColor()), UIControlStateNormal);
    m_ui.runUntilIdle();
    EXPECT_EQ(small->imageView()->frame(), CGRectMake(0, 0, 30, 30));
    // With insets the room is smaller still, and a wide picture keeps its height.
    small->setContentEdgeInsets(UIEdgeInsetsMake(5, 5, 5, 5));
    small->setImage(solid(CGSizeMake(60, 10), UIColor::redColor()), UIControlStateNormal);
    m_ui.runUntilIdle();
    EXPECT_EQ(small->imageView()->frame(), CGRectMake(5, 10, 20, 10));
}

TEST_F(ButtonTest, SizeThatFitsTheImageTheTitleAndTheBackground)
{
    EXPECT_EQ(m_button->sizeThatFits(CGSizeZero), CGSizeMake(30, 34)) << "empty";
    m_button->setTitle("查询"_ns, UIControlStateNormal);
    const CGSize title = m_button->titleLabel()->sizeThatFits(CGSizeZero);
    EXPECT_GT(title.width, 25);
    EXPECT_EQ(m_button->sizeThatFits(CGSizeZero), CGSizeMake(title.width, title.height + 12));
    m_button->setImage(solid(CGSizeMake(30, 40), UIColor::redColor()), UIControlStateNormal);
    m_button->setContentEdgeInsets(UIEdgeInsetsMake(1, 2, 3, 4));
    EXPECT_EQ(m_button->sizeThatFits(CGSizeZero), CGSizeMake(30 + title.width + 6, 40 + 4));
    auto picture = UIButton::buttonWithType(UIButtonTypeCustom);
    picture->setBackgroundImage(solid(CGSizeMake(60, 44), UIColor::redColor()), UIControlStateNormal);
    picture->sizeToFit();
    EXPECT_EQ(picture->frame().size, CGSizeMake(60, 44)) << "sized to its background image";
}

TEST_F(ButtonTest, TheImageDarkensUnderTheFingerUnlessTheHighlightedStateHasItsOwn)
{
    m_button->setImage(solid(CGSizeMake(20, 20), UIColor::redColor()), UIControlStateNormal);
    m_ui.runUntilIdle();
    const CGPoint inside = CGPointMake(150, 125);
    EXPECT_TRUE(near(pixelOf(m_ui.screenshot(1), 150, 125), {255, 0, 0, 255}));
    auto touch = m_ui.touchDown(inside);
    m_ui.runUntilIdle();
    const Pixel pressed = pixelOf(m_ui.screenshot(1), 150, 125);
    EXPECT_TRUE(near(pressed, {171, 0, 0, 255}, 4)) << show(pressed);
    m_ui.touchUp(touch, inside);
    m_ui.runUntilIdle();
    EXPECT_TRUE(near(pixelOf(m_ui.screenshot(1), 150, 125), {255, 0, 0, 255}));

    m_button->setAdjustsImageWhenHighlighted(false);
    touch = m_ui.touchDown(inside);
    m_ui.runUntilIdle();
    EXPECT_TRUE(near(pixelOf(m_ui.screenshot(1), 150, 125), {255, 0, 0, 255}));
    m_ui.touchUp(touch, inside);

    m_button->setAdjustsImageWhenHighlighted(true);
    m_button->setImage(solid(CGSizeMake(20, 20), UIColor::blueColor()), UIControlStateHighlighted);
    touch = m_ui.touchDown(inside);
    m_ui.runUntilIdle();
    EXPECT_TRUE(near(pixelOf(m_ui.screenshot(1), 150, 125), {0, 0, 255, 255})) << "its own highlighted image, not darkened";
    m_ui.touchUp(touch, inside);
}

TEST_F(ButtonTest, ASingleTapRecogniserOfAnAncestorDoesNotTakeTheButtonsTap)
{
    auto container = addView(CGRectMake(0, 80, 375, 300));
    m_button->removeFromSuperview();
    m_button->setFrame(CGRectMake(50, 20, 200, 50));
    container->addSubview(m_button);
    auto tapTarget = alloc<ActionTarget>();
    auto tap = alloc<UITapGestureRecognizer>();
    tap->initWithTarget(tapTarget, "fired:");
    container->addGestureRecognizer(tap);

    ASSERT_TRUE(m_ui.tap(m_button));
    EXPECT_EQ(m_target->calls, (Journal {"fired:UIButton"}));
    EXPECT_TRUE(tapTarget->calls.empty());
    ASSERT_TRUE(m_ui.tap(CGPointMake(300, 300)));
    EXPECT_EQ(tapTarget->calls, (Journal {"fired:UITapGestureRecognizer"})) << "elsewhere in the container";

    // A double tap is not the button's own action: it still waits, and wins when it comes.
    tap->setNumberOfTapsRequired(2);
    tapTarget->calls.clear();
    m_target->calls.clear();
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.tap(m_button, 2));
    EXPECT_EQ(tapTarget->calls.size(), 1u);
    EXPECT_TRUE(m_target->calls.empty());

    // A single tap recogniser on the button itself takes the tap.
    container->removeGestureRecognizer(tap);
    tap->setNumberOfTapsRequired(1);
    m_button->addGestureRecognizer(tap);
    tapTarget->calls.clear();
    m_ui.advance(1);
    ASSERT_TRUE(m_ui.tap(m_button));
    EXPECT_EQ(tapTarget->calls.size(), 1u);
    EXPECT_TRUE(m_target->calls.empty());
}

TEST_F(ButtonTest, TheDumpAndTheDriverSeeTheTitle)
{
    m_button->setTitle("进入应用"_ns, UIControlStateNormal);
    m_ui.runUntilIdle();
    EXPECT_EQ(m_ui.viewWithTitle("进入应用"), m_button);
    EXPECT_EQ(m_ui.textOf(m_button), "进入应用");
    const std::string dump = m_ui.dump();
    EXPECT_NE(dump.find("UIButton (50 100; 200 50) title=\"进入应用\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("UILabel"), std::string::npos);
    EXPECT_EQ(dump.find("interaction="), std::string::npos) << "labels take no touches by default, and that is not noted";
    ASSERT_TRUE(m_ui.tap(m_ui.viewWithText("进入应用"))) << "the title's label leads to the button";
    EXPECT_EQ(m_target->calls.size(), 1u);
    EXPECT_TRUE(m_button->isAccessibilityElement());
    EXPECT_EQ(dv::str(m_button->accessibilityLabel()), "进入应用");
    EXPECT_EQ(m_button->accessibilityTraits(), UIAccessibilityTraitButton);
}
