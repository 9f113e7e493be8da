// The star rating: its values from taps and drags (whole, half and fractional stars), the
// value-changed actions, first responder while tracking, its stand against other views' gesture
// recognisers, accessibility, and what it draws (by pixels), with shapes and with images.
#include "ToolkitTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "ui/toolkit/views/SRStarRatingView.h"

#include <span>

using namespace dv::test;

// Notes the rating's value at each "ratingChanged:" and counts "tapped" (a tap recogniser's action).
class RatingListener : public NSObject {
    DV_CLASS(RatingListener, NSObject)

    RatingListener() = default;
    std::vector<double> values;
    int taps = 0;
};

DV_DEFINE_CLASS_WITH(RatingListener, b)
{
    b.method("ratingChanged:", "v24@0:8@16", [](RatingListener& listener, std::span<const id> args) {
        auto rating = args.empty() ? nil : dv::as<SRStarRatingView>(args[0]);
        listener.values.push_back(rating ? rating->value() : -1);
        return nil;
    });
    b.method("tapped", "v16@0:8", [](RatingListener& listener, std::span<const id>) {
        ++listener.taps;
        return nil;
    });
}

namespace {

using Values = std::vector<double>;

const Pixel kRed {255, 0, 0, 255};
const Pixel kWhite {255, 255, 255, 255};
const Pixel kGreen {0, 255, 0, 255};
const Pixel kYellow {255, 255, 0, 255};
const Pixel kBlue {0, 0, 255, 255};
const Pixel kGray {128, 128, 128, 255};

// A picture of `size` points at scale 2: `left` on its left half, `right` on the other.
Ref<UIImage> picture(const Ref<UIColor>& left, const Ref<UIColor>& right, CGSize size = CGSizeMake(10, 10))
{
    UIGraphicsBeginImageContextWithOptions(size, false, 2);
    left->setFill();
    UIRectFill(CGRectMake(0, 0, size.width / 2, size.height));
    right->setFill();
    UIRectFill(CGRectMake(size.width / 2, 0, size.width / 2, size.height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

class StarRatingTest : public ToolkitTest {
protected:
    // A rating of `frame` (100 points wide by default: five cells of 20) in the window or in
    // `parent`, reporting its changes to m_listener.
    Ref<SRStarRatingView> addRating(CGRect frame = CGRectMake(20, 100, 100, 44), Ref<UIView> parent = nil)
    {
        auto rating = alloc<SRStarRatingView>()->initWithFrame(frame);
        rating->addTarget(m_listener, "ratingChanged:", UIControlEventValueChanged);
        (parent ? parent : Ref<UIView>(m_window))->addSubview(rating);
        m_ui.runUntilIdle();
        return rating;
    }
    // A tap `x` points from the default rating's left edge.
    bool tapAt(CGFloat x) { return m_ui.tap(CGPointMake(20 + x, 122)); }

    Ref<RatingListener> m_listener = alloc<RatingListener>();
};

TEST_F(StarRatingTest, ANewRatingHasFiveEmptyStarsAndItsSize)
{
    auto rating = alloc<SRStarRatingView>()->init();
    EXPECT_EQ(rating->maximumValue(), 5u);
    EXPECT_EQ(rating->minimumValue(), 0);
    EXPECT_EQ(rating->value(), 0);
    EXPECT_EQ(rating->spacing(), 5);
    EXPECT_TRUE(rating->isContinuous());
    EXPECT_FALSE(rating->allowsHalfStars());
    EXPECT_TRUE(rating->isExclusiveTouch());
    EXPECT_EQ(rating->intrinsicContentSize(), CGSizeMake(240, 44));

    rating->setSpacing(10);
    EXPECT_EQ(rating->intrinsicContentSize(), CGSizeMake(260, 44));
    rating->setSpacing(-3);
    EXPECT_EQ(rating->spacing(), 0);
    rating->setMaximumValue(3);
    EXPECT_EQ(rating->intrinsicContentSize(), CGSizeMake(132, 44));
    // No stars take no width.
    rating->setMaximumValue(0);
    EXPECT_EQ(rating->intrinsicContentSize(), CGSizeMake(0, 44));
}

TEST_F(StarRatingTest, ValuesAreTakenOnlyWithinTheRangeAndReadBackWithinIt)
{
    auto rating = alloc<SRStarRatingView>()->init();
    rating->addTarget(m_listener, "ratingChanged:", UIControlEventValueChanged);
    rating->setValue(6);
    rating->setValue(-1);
    EXPECT_EQ(rating->value(), 0);
    rating->setValue(4);
    rating->setValue(5, true);
    EXPECT_EQ(rating->value(), 5);
    EXPECT_EQ(m_listener->values, Values({5}));
    rating->setValue(5, true);
    EXPECT_EQ(m_listener->values, Values({5})) << "the same value again sends nothing";

    rating->setMaximumValue(3);
    EXPECT_EQ(rating->value(), 3);
    rating->setMinimumValue(-2);
    EXPECT_EQ(rating->minimumValue(), 0);
    rating->setMinimumValue(4);
    EXPECT_EQ(rating->maximumValue(), 4u);
}

TEST_F(StarRatingTest, TapsSetWholeStars)
{
    auto rating = addRating();
    ASSERT_TRUE(tapAt(45));
    EXPECT_EQ(rating->value(), 3);
    ASSERT_TRUE(tapAt(40));
    EXPECT_EQ(rating->value(), 2);
    ASSERT_TRUE(tapAt(0));
    EXPECT_EQ(rating->value(), 0);
    EXPECT_EQ(m_listener->values, Values({3, 2, 0}));
    // The same star again changes nothing.
    ASSERT_TRUE(tapAt(1));
    ASSERT_TRUE(tapAt(1));
    EXPECT_EQ(m_listener->values, Values({3, 2, 0, 1}));
}

TEST_F(StarRatingTest, TapsSetHalfStarsRoundingUp)
{
    auto rating = addRating();
    rating->setAllowsHalfStars(true);
    ASSERT_TRUE(tapAt(45));
    EXPECT_EQ(rating->value(), 2.5);
    ASSERT_TRUE(tapAt(50));
    EXPECT_EQ(rating->value(), 3);
    ASSERT_TRUE(tapAt(22));
    EXPECT_EQ(rating->value(), 1.5);
    EXPECT_EQ(m_listener->values, Values({2.5, 3, 1.5}));
}

TEST_F(StarRatingTest, AccurateHalfStarsTakeTheFraction)
{
    auto rating = addRating();
    rating->setAllowsHalfStars(true);
    rating->setAccurateHalfStars(true);
    ASSERT_TRUE(tapAt(45));
    EXPECT_EQ(rating->value(), 2.25);
    ASSERT_TRUE(tapAt(0));
    EXPECT_EQ(rating->value(), 0);
    EXPECT_EQ(m_listener->values, Values({2.25, 0}));
}

TEST_F(StarRatingTest, ADragFollowsTheFingerAndIsFirstResponderMeanwhile)
{
    auto rating = addRating();
    ASSERT_TRUE(m_ui.pan(CGPointMake(25, 122), CGPointMake(90, 0)));
    EXPECT_EQ(rating->value(), 5);
    EXPECT_EQ(m_listener->values, Values({1, 2, 3, 4, 5}));
    EXPECT_FALSE(rating->isFirstResponder());

    // Past the last star the value stays where it was.
    m_listener->values.clear();
    const auto touch = m_ui.touchDown(CGPointMake(70, 122));
    ASSERT_NE(touch, 0);
    EXPECT_TRUE(rating->isFirstResponder());
    EXPECT_EQ(rating->value(), 3);
    ASSERT_TRUE(m_ui.touchMove(touch, CGPointMake(150, 122)));
    ASSERT_TRUE(m_ui.touchUp(touch, CGPointMake(150, 122)));
    EXPECT_EQ(rating->value(), 3);
    EXPECT_EQ(m_listener->values, Values({3}));
    EXPECT_FALSE(rating->isFirstResponder());
}

TEST_F(StarRatingTest, WithoutContinuousUpdatesADragReportsOnceAtTheEnd)
{
    auto rating = addRating();
    rating->setContinuous(false);
    const auto touch = m_ui.touchDown(CGPointMake(25, 122));
    ASSERT_NE(touch, 0);
    for (CGFloat x = 35; x <= 95; x += 20)
        ASSERT_TRUE(m_ui.touchMove(touch, CGPointMake(x, 122)));
    EXPECT_EQ(rating->value(), 4);
    EXPECT_TRUE(m_listener->values.empty());
    ASSERT_TRUE(m_ui.touchUp(touch, CGPointMake(100, 122)));
    EXPECT_EQ(m_listener->values, Values({4}));
}

TEST_F(StarRatingTest, ASurroundingScrollViewDoesNotTakeTheDragUnlessTheBlockLetsIt)
{
    auto scroll = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 80, 375, 100));
    scroll->setContentSize(CGSizeMake(1000, 100));
    m_window->addSubview(scroll);
    auto rating = addRating(CGRectMake(20, 20, 100, 44), scroll);
    // Its own tap recogniser does not begin over it either, while it takes touches.
    auto tap = alloc<UITapGestureRecognizer>()->initWithTarget(m_listener, "tapped");
    rating->addGestureRecognizer(tap);

    // Leftwards from the last star to the first, as a sideways scroll would go.
    ASSERT_TRUE(m_ui.pan(CGPointMake(110, 122), CGPointMake(-80, 0)));
    EXPECT_EQ(scroll->contentOffset(), CGPointZero);
    EXPECT_EQ(rating->value(), 1);
    EXPECT_EQ(m_listener->values, Values({5, 4, 3, 2, 1}));
    ASSERT_TRUE(tapAt(45));
    EXPECT_EQ(m_listener->taps, 0);

    std::vector<Ref<UIGestureRecognizer>> asked;
    rating->setShouldBeginGestureRecognizerBlock([&asked](const Ref<UIGestureRecognizer>& recognizer) {
        asked.push_back(recognizer);
        return true;
    });
    m_listener->values.clear();
    ASSERT_TRUE(m_ui.pan(CGPointMake(110, 122), CGPointMake(-80, 0)));
    EXPECT_GT(scroll->contentOffset().x, 0);
    ASSERT_FALSE(asked.empty());
    EXPECT_TRUE(dv::as<UIPanGestureRecognizer>(asked.front()));
    // The touch-down set the fifth star; the scroll view then took the touch.
    EXPECT_EQ(m_listener->values, Values({5}));
    EXPECT_FALSE(rating->isFirstResponder());
}

TEST_F(StarRatingTest, AssistiveTechnologyAdjustsItWithoutControlEvents)
{
    auto rating = addRating();
    EXPECT_TRUE(rating->isAccessibilityElement());
    EXPECT_EQ(dv::str(rating->accessibilityLabel()), "Rating");
    EXPECT_TRUE(rating->accessibilityTraits() & UIAccessibilityTraitAdjustable);
    EXPECT_EQ(dv::str(rating->accessibilityValue()), "0");
    EXPECT_TRUE(rating->accessibilityActivate());

    ASSERT_TRUE(tapAt(75));
    m_listener->values.clear();
    rating->accessibilityIncrement();
    EXPECT_EQ(dv::str(rating->accessibilityValue()), "5");
    rating->accessibilityIncrement();
    EXPECT_EQ(rating->value(), 5) << "no sixth star";
    rating->accessibilityDecrement();
    EXPECT_EQ(rating->value(), 4);

    rating->setAllowsHalfStars(true);
    rating->accessibilityDecrement();
    EXPECT_EQ(dv::str(rating->accessibilityValue()), "3.5");
    rating->setValue(0.5);
    rating->accessibilityDecrement();
    rating->accessibilityDecrement();
    EXPECT_EQ(rating->value(), 0);
    EXPECT_TRUE(m_listener->values.empty());

    rating->setAccessibilityLabel("评分"_ns);
    EXPECT_EQ(dv::str(rating->accessibilityLabel()), "评分");
    rating->setEnabled(false);
    EXPECT_TRUE(rating->accessibilityTraits() & UIAccessibilityTraitNotEnabled);
}

// Five 44-point stars 5 points apart at (20, 100): star i spans x 20 + 49 i to 64 + 49 i.
class StarDrawingTest : public StarRatingTest {
protected:
    Ref<SRStarRatingView> addStars()
    {
        auto rating = addRating(CGRectMake(20, 100, 240, 44));
        rating->setTintColor(UIColor::redColor());
        rating->setNeedsDisplay();
        m_ui.runUntilIdle();
        return rating;
    }
    // The pixel at a fraction of star i's square.
    static Pixel at(const Pixels& shot, int star, CGFloat x, CGFloat y = 0.55) { return shot.at(20 + 49 * star + 44 * x, 100 + 44 * y); }
};

TEST_F(StarDrawingTest, StarsFillUpToTheValue)
{
    auto rating = addStars();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 0, 0.5), kWhite)) << show(at(shot, 0, 0.5));
        // An empty star is an outline in the tint colour (the top point's edge).
        EXPECT_TRUE(near(at(shot, 0, 0.5, 0.05), kRed, 80)) << show(at(shot, 0, 0.5, 0.05));
        // Between the stars: the background, white for an opaque rating.
        EXPECT_TRUE(near(shot.at(66.5, 122), kWhite));
    }
    // Without half stars a fraction lights its whole star.
    rating->setValue(2.3);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        for (int star = 0; star < 3; ++star)
            EXPECT_TRUE(near(at(shot, star, 0.5), kRed)) << star << show(at(shot, star, 0.5));
        EXPECT_TRUE(near(at(shot, 3, 0.5), kWhite));
        EXPECT_TRUE(near(at(shot, 4, 0.5), kWhite));
    }
    // With half stars the third star is half filled.
    rating->setAllowsHalfStars(true);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 1, 0.65), kRed));
        EXPECT_TRUE(near(at(shot, 2, 0.35), kRed)) << show(at(shot, 2, 0.35));
        EXPECT_TRUE(near(at(shot, 2, 0.65), kWhite)) << show(at(shot, 2, 0.65));
    }
    // Accurate: 30 % of it.
    rating->setAccurateHalfStars(true);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 2, 0.25), kRed)) << show(at(shot, 2, 0.25));
        EXPECT_TRUE(near(at(shot, 2, 0.4), kWhite)) << show(at(shot, 2, 0.4));
        EXPECT_TRUE(near(at(shot, 3, 0.5), kWhite));
    }
}

TEST_F(StarDrawingTest, TheBackgroundIsTheColourSetElseWhiteOrClear)
{
    m_window->setBackgroundColor(UIColor::blackColor());
    auto opaque = addStars();
    auto transparent = addRating(CGRectMake(20, 200, 240, 44));
    transparent->setOpaque(false);
    transparent->setNeedsDisplay();
    auto coloured = addRating(CGRectMake(20, 300, 240, 44));
    coloured->setBackgroundColor(UIColor::blueColor());
    m_ui.runUntilIdle();
    const Pixels shot(m_ui.screenshot());
    EXPECT_TRUE(near(shot.at(66.5, 122), kWhite));
    EXPECT_TRUE(near(shot.at(66.5, 222), {0, 0, 0, 255})) << show(shot.at(66.5, 222));
    EXPECT_TRUE(near(shot.at(66.5, 322), kBlue));
    EXPECT_TRUE(dv::equal(transparent->backgroundColor(), UIColor::clearColor()));
}

TEST_F(StarDrawingTest, ImagesAreUsedWhenTheEmptyAndTheFilledOneAreSet)
{
    auto rating = addStars();
    rating->setAllowsHalfStars(true);
    rating->setValue(2.5);
    // The filled picture is green on its left half and yellow on its right: a half star shows
    // its left half, cut from it, over the empty picture's right half.
    rating->setFilledStarImage(picture(UIColor::greenColor(), UIColor::yellowColor()));
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 2, 0.25), kRed)) << "a filled image alone draws shapes";
    }
    rating->setEmptyStarImage(picture(UIColor::grayColor(), UIColor::grayColor()));
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 1, 0.25), kGreen));
        EXPECT_TRUE(near(at(shot, 1, 0.75), kYellow));
        EXPECT_TRUE(near(at(shot, 2, 0.25), kGreen)) << show(at(shot, 2, 0.25));
        EXPECT_TRUE(near(at(shot, 2, 0.45), kGreen)) << show(at(shot, 2, 0.45));
        EXPECT_TRUE(near(at(shot, 2, 0.75), kGray)) << show(at(shot, 2, 0.75));
        EXPECT_TRUE(near(at(shot, 3, 0.25), kGray));
    }
    // A fraction cuts that much.
    rating->setAccurateHalfStars(true);
    rating->setValue(2.25);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 2, 0.15), kGreen)) << show(at(shot, 2, 0.15));
        EXPECT_TRUE(near(at(shot, 2, 0.35), kGray)) << show(at(shot, 2, 0.35));
    }
    // A half picture stands for every partial star.
    rating->setHalfStarImage(picture(UIColor::blueColor(), UIColor::blueColor()));
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 2, 0.15), kBlue));
        EXPECT_TRUE(near(at(shot, 2, 0.75), kBlue));
    }
    // Without the empty picture the half one changes nothing: shapes again.
    rating->setEmptyStarImage(nil);
    m_ui.runUntilIdle();
    {
        const Pixels shot(m_ui.screenshot());
        EXPECT_TRUE(near(at(shot, 1, 0.5), kRed));
        EXPECT_TRUE(near(at(shot, 3, 0.5), kWhite));
    }
}

} // namespace
