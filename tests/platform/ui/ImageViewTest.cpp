#include "UITestSupport.h"

#include "platform/base/NSArray.h"

using namespace dv::test;

namespace {

const Pixel kRed {255, 0, 0, 255}, kBlue {0, 0, 255, 255}, kGreen {0, 255, 0, 255}, kWhite {255, 255, 255, 255};

class ImageViewTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_window->setBackgroundColor(UIColor::whiteColor());
        m_image = twoColourImage(CGSizeMake(40, 20), UIColor::redColor(), UIColor::blueColor());
        m_view = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 100, 100, 100));
        m_view->setImage(m_image);
        m_window->addSubview(m_view);
    }

    // The colours at window points, in one screenshot.
    std::vector<Pixel> colours(std::initializer_list<CGPoint> points)
    {
        m_ui.runUntilIdle();
        auto shot = m_ui.screenshot(1);
        std::vector<Pixel> out;
        for (auto p : points)
            out.push_back(pixelOf(shot, p.x, p.y));
        return out;
    }

    void expectColours(UIViewContentMode mode, std::initializer_list<std::pair<CGPoint, Pixel>> expected)
    {
        m_view->setContentMode(mode);
        m_ui.runUntilIdle();
        auto shot = m_ui.screenshot(1);
        for (auto& [point, colour] : expected) {
            const Pixel got = pixelOf(shot, point.x, point.y);
            EXPECT_TRUE(near(got, colour)) << "mode " << mode << " at (" << point.x << ", " << point.y << "): " << show(got);
        }
    }

    Ref<UIImage> m_image;
    Ref<UIImageView> m_view;
};

Ref<UIImage> solid(const Ref<UIColor>& colour) { return twoColourImage(CGSizeMake(10, 10), colour, colour); }

} // namespace

TEST_F(ImageViewTest, TheContentModePlacesTheImage)
{
    expectColours(UIViewContentModeScaleToFill, {{{5, 105}, kRed}, {{45, 195}, kRed}, {{55, 105}, kBlue}, {{95, 195}, kBlue}});
    // 2.5 times: 100 x 50 in the middle.
    expectColours(UIViewContentModeScaleAspectFit, {{{25, 110}, kWhite}, {{25, 130}, kRed}, {{75, 170}, kBlue}, {{75, 190}, kWhite}});
    // 5 times: 200 x 100, overflowing left and right (the view does not clip).
    expectColours(UIViewContentModeScaleAspectFill, {{{10, 150}, kRed}, {{45, 150}, kRed}, {{60, 150}, kBlue}, {{140, 150}, kBlue}, {{160, 150}, kWhite}});
    m_view->setClipsToBounds(true);
    expectColours(UIViewContentModeScaleAspectFill, {{{95, 150}, kBlue}, {{110, 150}, kWhite}});
    m_view->setClipsToBounds(false);
    expectColours(UIViewContentModeCenter, {{{25, 150}, kWhite}, {{35, 145}, kRed}, {{65, 155}, kBlue}, {{75, 150}, kWhite}});
    expectColours(UIViewContentModeTopLeft, {{{5, 105}, kRed}, {{35, 115}, kBlue}, {{45, 105}, kWhite}, {{5, 125}, kWhite}});
    expectColours(UIViewContentModeTop, {{{35, 105}, kRed}, {{65, 105}, kBlue}, {{25, 105}, kWhite}});
    expectColours(UIViewContentModeBottomRight, {{{65, 190}, kRed}, {{95, 195}, kBlue}, {{55, 190}, kWhite}, {{95, 175}, kWhite}});
    expectColours(UIViewContentModeLeft, {{{5, 150}, kRed}, {{35, 150}, kBlue}, {{5, 135}, kWhite}});
    expectColours(UIViewContentModeRight, {{{65, 150}, kRed}, {{95, 150}, kBlue}, {{55, 150}, kWhite}});
    expectColours(UIViewContentModeBottom, {{{35, 195}, kRed}, {{65, 195}, kBlue}, {{35, 175}, kWhite}});
}

TEST_F(ImageViewTest, HighlightedAndAbsentImages)
{
    m_view->setContentMode(UIViewContentModeScaleToFill);
    m_view->setHighlightedImage(solid(UIColor::greenColor()));
    EXPECT_TRUE(near(colours({{20, 150}})[0], kRed));
    m_view->setHighlighted(true);
    EXPECT_TRUE(near(colours({{50, 150}})[0], kGreen));
    m_view->setHighlightedImage(nil);
    EXPECT_TRUE(near(colours({{20, 150}})[0], kRed)) << "no highlighted image: the image";
    m_view->setImage(nil);
    EXPECT_TRUE(near(colours({{20, 150}})[0], kWhite));
    m_view->setBackgroundColor(UIColor::greenColor());
    EXPECT_TRUE(near(colours({{20, 150}})[0], kGreen));
}

TEST_F(ImageViewTest, AnimationImagesPlayOnTheClockAndStop)
{
    m_view->setAnimationImages(NSArray::of({solid(UIColor::redColor()), solid(UIColor::greenColor()), solid(UIColor::blueColor())}));
    m_view->setAnimationDuration(0.3);
    m_view->setAnimationRepeatCount(2);
    m_view->setImage(solid(UIColor::whiteColor()));
    m_window->setBackgroundColor(UIColor::blackColor());
    EXPECT_FALSE(m_view->isAnimating());
    m_view->startAnimating();
    EXPECT_TRUE(m_view->isAnimating());
    std::vector<Pixel> seen;
    for (int i = 0; i < 6; ++i) {
        seen.push_back(colours({{50, 150}})[0]);
        m_ui.advance(0.1);
    }
    const std::vector<Pixel> expected {kRed, kGreen, kBlue, kRed, kGreen, kBlue};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(near(seen[i], expected[i])) << i << ": " << show(seen[i]);
    EXPECT_FALSE(m_view->isAnimating()) << "two rounds";
    EXPECT_TRUE(near(colours({{50, 150}})[0], kWhite)) << "back to the image";

    m_view->setAnimationRepeatCount(0);
    m_view->startAnimating();
    m_ui.advance(1.05);
    EXPECT_TRUE(m_view->isAnimating());
    EXPECT_TRUE(near(colours({{50, 150}})[0], kGreen)) << "frame 10 (from 0) of a loop of three";
    EXPECT_NE(m_ui.dump().find("UIImageView (0 100; 100 100) image=10x10 animating"), std::string::npos) << m_ui.dump();
    m_view->stopAnimating();
    EXPECT_FALSE(m_view->isAnimating());
    EXPECT_TRUE(near(colours({{50, 150}})[0], kWhite));
}

TEST_F(ImageViewTest, AnAnimatedImagePlaysByItself)
{
    auto animated = UIImage::animatedImageWithImages(NSArray::of({solid(UIColor::redColor()), solid(UIColor::blueColor())}), 1);
    auto view = alloc<UIImageView>()->initWithImage(animated);
    EXPECT_EQ(view->frame(), CGRectMake(0, 0, 10, 10));
    view->setFrame(CGRectMake(200, 100, 50, 50));
    m_window->addSubview(view);
    EXPECT_TRUE(view->isAnimating());
    EXPECT_TRUE(near(colours({{220, 120}})[0], kRed));
    m_ui.advance(0.5);
    EXPECT_TRUE(near(colours({{220, 120}})[0], kBlue));
    view->setImage(solid(UIColor::greenColor()));
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(near(colours({{220, 120}})[0], kGreen));
}

TEST_F(ImageViewTest, ImageViewsTakeNoTouchesAndSizeToTheirImage)
{
    EXPECT_FALSE(m_view->isUserInteractionEnabled());
    EXPECT_EQ(m_view->sizeThatFits(CGSizeZero), CGSizeMake(40, 20));
    EXPECT_EQ(m_view->intrinsicContentSize(), CGSizeMake(40, 20));
    m_view->sizeToFit();
    EXPECT_EQ(m_view->frame(), CGRectMake(0, 100, 40, 20));
    auto empty = alloc<UIImageView>()->init();
    EXPECT_EQ(empty->intrinsicContentSize(), CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric));
    EXPECT_EQ(m_view->accessibilityTraits(), UIAccessibilityTraitImage);
    EXPECT_FALSE(m_view->isAccessibilityElement());

    // A tap recogniser works once interaction is on (the full-screen picture of the home screen).
    auto target = alloc<ActionTarget>();
    auto tap = alloc<UITapGestureRecognizer>();
    tap->initWithTarget(target, "fired:");
    m_view->addGestureRecognizer(tap);
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_TRUE(target->calls.empty());
    m_view->setUserInteractionEnabled(true);
    ASSERT_TRUE(m_ui.tap(m_view));
    EXPECT_EQ(target->calls.size(), 1u);
}
