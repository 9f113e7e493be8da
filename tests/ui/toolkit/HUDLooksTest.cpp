// What the progress overlay shows: the box's size and the places of its indicator and texts, the
// indicator of each mode, and the box and the dimming by pixels.
#include "ToolkitTestSupport.h"

#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/NSStringDrawing.h"
#include "ui/toolkit/overlay/PHBarProgressView.h"
#include "ui/toolkit/overlay/PHRoundProgressView.h"

#include <cmath>

using namespace dv::test;

namespace {

// The host: 300 x 400 at (0, 100) in the window. Margins are 20, so texts are at most 220 wide.
constexpr CGFloat kW = 300, kH = 400, kTop = 100;

CGSize oneLine(const char* text, CGFloat boldSize)
{
    return sizeWithAttributes(NSString::fromUTF8(text), NSDictionary::of({{NSFontAttributeName, UIFont::boldSystemFontOfSize(boldSize)}}));
}

class HUDLooksTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        m_host = addView(CGRectMake(0, kTop, kW, kH), UIColor::whiteColor());
    }

    Ref<PHProgressHUD> showText(const char* text)
    {
        auto hud = PHProgressHUD::showHUDAddedTo(m_host, false);
        hud->setMode(PHProgressHUDModeText);
        hud->setLabelText(NSString::fromUTF8(text));
        m_ui.runUntilIdle();
        return hud;
    }
    // The box as the overlay draws it, in window coordinates.
    CGRect boxInWindow(const Ref<PHProgressHUD>& hud) const
    {
        const CGSize size = hud->size();
        return CGRectMake(std::round((kW - size.width) / 2) + hud->xOffset(), kTop + std::round((kH - size.height) / 2) + hud->yOffset(),
            size.width, size.height);
    }

    Ref<UIView> m_host;
};

} // namespace

TEST_F(HUDLooksTest, ATextAloneMakesABoxOfTheTextAndItsMargins)
{
    auto hud = showText("加载完成");
    const CGSize text = oneLine("加载完成", 16);
    EXPECT_EQ(hud->size(), CGSizeMake(text.width + 40, text.height + 40));
    auto label = m_ui.viewWithText("加载完成");
    ASSERT_NE(label, nil);
    const CGRect expected = CGRectMake(std::round((kW - text.width) / 2), std::round((kH - text.height - 40) / 2) + 20, text.width, text.height);
    EXPECT_EQ(label->frame(), expected);

    // An empty details text adds neither height nor padding.
    hud->setDetailsLabelText(""_ns);
    m_ui.runUntilIdle();
    EXPECT_EQ(hud->size(), CGSizeMake(text.width + 40, text.height + 40));

    // A minimum size widens the box, not the text's place.
    hud->setMinSize(CGSizeMake(200, 120));
    hud->setNeedsLayout();
    m_ui.runUntilIdle();
    EXPECT_EQ(hud->size(), CGSizeMake(200, 120));
    EXPECT_EQ(label->frame(), expected);
}

TEST_F(HUDLooksTest, IndicatorTextAndDetailsStackWithFourPointsBetween)
{
    auto hud = PHProgressHUD::showHUDAddedTo(m_host, false);
    hud->setLabelText("正在加载"_ns);
    hud->setDetailsLabelText("请稍候，正在从服务器读取最新的二维码列表和地区信息"_ns);
    m_ui.runUntilIdle();
    const CGSize label = oneLine("正在加载", 16);
    const CGSize details = boundingRectWithSize("请稍候，正在从服务器读取最新的二维码列表和地区信息"_ns,
        CGSizeMake(kW - 80, kH - (37 + 4 + label.height) - 4 - 80), NSStringDrawingUsesLineFragmentOrigin,
        NSDictionary::of({{NSFontAttributeName, UIFont::boldSystemFontOfSize(12)}}), nil).size;
    ASSERT_GT(details.height, oneLine("请", 12).height * 1.5) << "the details wrap";
    ASSERT_LE(details.width, kW - 80);
    const CGFloat total = 37 + 4 + label.height + 4 + details.height + 40;
    EXPECT_EQ(hud->size(), CGSizeMake(std::max({CGFloat(37), label.width, details.width}) + 40, total));

    auto spinner = m_ui.find<UIActivityIndicatorView>();
    ASSERT_NE(spinner, nil);
    const CGFloat top = std::round((kH - total) / 2) + 20;
    EXPECT_EQ(spinner->frame(), CGRectMake(std::round((kW - 37) / 2), top, 37, 37));
    EXPECT_EQ(m_ui.viewWithText("正在加载")->frame().origin.y, top + 37 + 4);
    auto detailsLabel = m_ui.viewWithText("请稍候，正在从服务器读取最新的二维码列表和地区信息");
    ASSERT_NE(detailsLabel, nil);
    EXPECT_EQ(detailsLabel->frame(), CGRectMake(std::round((kW - details.width) / 2), top + 37 + 4 + label.height + 4, details.width, details.height));
}

TEST_F(HUDLooksTest, ASquareBoxTakesItsLongerSide)
{
    auto hud = PHProgressHUD::showHUDAddedTo(m_host, false);
    hud->setLabelText("好"_ns);
    m_ui.runUntilIdle();
    EXPECT_NE(hud->size().width, hud->size().height);
    hud->setSquare(true);
    hud->setNeedsLayout();
    m_ui.runUntilIdle();
    EXPECT_EQ(hud->size().width, hud->size().height);
    EXPECT_EQ(hud->size().height, 37 + 4 + oneLine("好", 16).height + 40);
}

TEST_F(HUDLooksTest, OffsetsMoveTheBoxAndItsContents)
{
    auto hud = showText("已保存");
    auto label = m_ui.viewWithText("已保存");
    const CGRect centred = label->frame();
    hud->setXOffset(30);
    hud->setYOffset(-50);
    hud->setNeedsLayout();
    hud->setNeedsDisplay();
    m_ui.runUntilIdle();
    EXPECT_EQ(label->frame(), CGRectOffset(centred, 30, -50));
    const CGRect box = boxInWindow(hud);
    const Pixels shot(m_ui.screenshot(1));
    EXPECT_LT(shot.at(CGRectGetMinX(box) + 3, CGRectGetMidY(box))[0], 80) << "inside the moved box";
    EXPECT_EQ(shot.at(CGRectGetMaxX(box) + 3, CGRectGetMidY(box))[0], 255) << "right of it";
}

TEST_F(HUDLooksTest, EachModeShowsItsIndicator)
{
    auto hud = PHProgressHUD::showHUDAddedTo(m_host, false);
    auto spinner = m_ui.find<UIActivityIndicatorView>();
    ASSERT_NE(spinner, nil);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleWhiteLarge);
    hud->setActivityIndicatorColor(UIColor::redColor());
    EXPECT_TRUE(dv::equal(spinner->color(), UIColor::redColor()));

    hud->setProgress(0.4f);
    hud->setMode(PHProgressHUDModeAnnularDeterminate);
    auto round = m_ui.find<PHRoundProgressView>();
    ASSERT_NE(round, nil);
    EXPECT_EQ(m_ui.find<UIActivityIndicatorView>(), nil);
    EXPECT_TRUE(round->isAnnular());
    EXPECT_EQ(round->progress(), 0.4f) << "a new indicator starts at the overlay's progress";
    EXPECT_TRUE(dv::equal(round->progressTintColor(), UIColor::redColor()));
    EXPECT_TRUE(dv::equal(round->backgroundTintColor(), UIColor::redColor()->colorWithAlphaComponent(0.1)));

    // The pie mode takes the ring over as it is.
    hud->setMode(PHProgressHUDModeDeterminate);
    EXPECT_EQ(m_ui.find<PHRoundProgressView>(), round);
    EXPECT_TRUE(round->isAnnular());

    hud->setMode(PHProgressHUDModeDeterminateHorizontalBar);
    auto bar = m_ui.find<PHBarProgressView>();
    ASSERT_NE(bar, nil);
    EXPECT_EQ(m_ui.find<PHRoundProgressView>(), nil);
    EXPECT_EQ(bar->progress(), 0.4f);
    hud->setProgress(0.9f);
    EXPECT_EQ(bar->progress(), 0.9f);

    auto tick = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, 30, 20));
    hud->setCustomView(tick);
    EXPECT_EQ(tick->superview(), nil) << "shown only in the custom mode";
    hud->setMode(PHProgressHUDModeCustomView);
    EXPECT_EQ(tick->superview(), hud);
    EXPECT_EQ(bar->superview(), nil);
    auto other = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, 44, 44));
    hud->setCustomView(other);
    EXPECT_EQ(other->superview(), hud);
    EXPECT_EQ(tick->superview(), nil);
    m_ui.runUntilIdle();
    EXPECT_EQ(other->frame(), CGRectMake(std::round((kW - 44) / 2), std::round((kH - 84) / 2) + 20, 44, 44));

    hud->setMode(PHProgressHUDModeText);
    EXPECT_EQ(other->superview(), nil);
    EXPECT_EQ(hud->subviews()->count(), 2u) << "the two labels alone";
    hud->setMode(PHProgressHUDModeIndeterminate);
    EXPECT_NE(m_ui.find<UIActivityIndicatorView>(), nil);
}

TEST_F(HUDLooksTest, TheBoxIsATranslucentRoundedRectangle)
{
    auto hud = showText("已保存");
    const CGRect box = boxInWindow(hud);
    {
        const Pixels shot(m_ui.screenshot(1));
        // Black at 0.8 over white.
        EXPECT_TRUE(near(shot.at(CGRectGetMinX(box) + 3, CGRectGetMidY(box)), {51, 51, 51, 255}, 2)) << show(shot.at(CGRectGetMinX(box) + 3, CGRectGetMidY(box)));
        EXPECT_TRUE(near(shot.at(CGRectGetMinX(box) + 0.5, CGRectGetMinY(box) + 0.5), {255, 255, 255, 255}, 10)) << "a rounded corner";
        EXPECT_LT(shot.at(CGRectGetMinX(box) + 10, CGRectGetMinY(box) + 1)[0], 80) << "the top edge";
        EXPECT_EQ(shot.at(CGRectGetMinX(box) - 2, CGRectGetMidY(box))[0], 255) << "outside";
    }
    hud->setColor(UIColor::redColor());
    hud->setNeedsDisplay();
    m_ui.runUntilIdle();
    const Pixels shot(m_ui.screenshot(1));
    EXPECT_TRUE(near(shot.at(CGRectGetMinX(box) + 3, CGRectGetMidY(box)), {255, 0, 0, 255})) << "a set colour replaces the opacity";
}

TEST_F(HUDLooksTest, DimmingShadesTheHostDarkerTowardsItsEdges)
{
    auto hud = PHProgressHUD::showHUDAddedTo(m_host, false);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot(1));
        EXPECT_EQ(shot.at(1, kTop + 1)[0], 255);
    }
    hud->setDimBackground(true);
    hud->setNeedsDisplay();
    m_ui.runUntilIdle();
    const Pixels shot(m_ui.screenshot(1));
    // From clear in the middle to black at 0.75 at a distance of 300 (the host's shorter side).
    auto expected = [](CGFloat distance) { return int(std::lround(255 * (1 - 0.75 * std::min<CGFloat>(1, distance / 300)))); };
    const Pixel corner = shot.at(1, kTop + 1);
    EXPECT_NEAR(corner[0], expected(std::hypot(148.5, 198.5)), 6) << show(corner);
    const Pixel nearBox = shot.at(150, kTop + 120);
    EXPECT_NEAR(nearBox[0], expected(80), 6) << show(nearBox);
}

TEST_F(HUDLooksTest, TheOverlayFollowsItsHostsVisibleArea)
{
    auto hud = showText("加载完成");
    m_host->setFrame(CGRectMake(0, kTop, 200, 300));
    m_ui.runUntilIdle();
    const CGRect label = m_ui.frameInWindow(m_ui.viewWithText("加载完成"));
    EXPECT_NEAR(CGRectGetMidX(label), 100, 1);
    EXPECT_NEAR(CGRectGetMidY(label), kTop + 150, 1);
    // A turn of the interface takes the host's size.
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationDidChangeStatusBarOrientationNotification, nil);
    EXPECT_EQ(hud->bounds(), CGRectMake(0, 0, 200, 300));

    // A scrolled host (its bounds moved down by 100): the box stays in the middle of what shows.
    auto scrolled = addView(CGRectMake(0, kTop, kW, kH), UIColor::whiteColor());
    scrolled->setBounds(CGRectMake(0, 100, kW, kH));
    auto overScrolled = PHProgressHUD::showHUDAddedTo(scrolled, false);
    overScrolled->setMode(PHProgressHUDModeText);
    overScrolled->setLabelText("完成"_ns);
    m_ui.runUntilIdle();
    const CGRect done = m_ui.frameInWindow(m_ui.viewWithText("完成"));
    EXPECT_NEAR(CGRectGetMidY(done), kTop + kH / 2, 1);
}
