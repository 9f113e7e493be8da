#include "UITestSupport.h"

#include "platform/ui/UIBezierPath.h"

#include <cmath>

using namespace dv::test;

namespace {

const Pixel kRed {255, 0, 0, 255};
const Pixel kClear {0, 0, 0, 0};

// Draws into a 100 x 100 point image at scale 1 and answers it.
template <class Draw>
Ref<UIImage> draw(Draw body)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(100, 100), false, 1);
    body();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

void expectRect(CGRect actual, CGRect expected)
{
    EXPECT_NEAR(actual.origin.x, expected.origin.x, 1e-6);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, 1e-6);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-6);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-6);
}

} // namespace

TEST(BezierPathTest, ShapesFillWhatTheyEncloseInUIKitCoordinates)
{
    auto image = draw([] {
        UIColor::redColor()->setFill();
        UIBezierPath::bezierPathWithOvalInRect(CGRectMake(0, 0, 50, 50))->fill();
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(50, 50, 50, 50), 10)->fill();
    });
    EXPECT_EQ(pixelOf(image, 25, 25), kRed);
    EXPECT_EQ(pixelOf(image, 2, 2), kClear) << "outside the circle";
    EXPECT_EQ(pixelOf(image, 25, 1), kRed) << "the top of the circle is at y 0 (y runs down)";
    EXPECT_EQ(pixelOf(image, 51, 51), kClear) << "the rounded corner";
    EXPECT_EQ(pixelOf(image, 75, 51), kRed);
}

TEST(BezierPathTest, ArcsRunClockwiseOnScreenAndEvenOddClipsCutHoles)
{
    auto image = draw([] {
        // Clockwise from the right to the bottom: the lower-right quarter of a pie.
        auto pie = UIBezierPath::bezierPath();
        pie->moveToPoint(CGPointMake(50, 50));
        pie->addArcWithCenter(CGPointMake(50, 50), 40, 0, M_PI / 2, true);
        pie->closePath();
        UIColor::redColor()->setFill();
        pie->fill();
        // Everything but the right half is clipped away, then the left half is filled.
        auto clip = UIBezierPath::bezierPathWithRect(CGRectInfinite);
        clip->appendPath(UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 50, 20)));
        clip->setUsesEvenOddFillRule(true);
        clip->addClip();
        UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 100, 20))->fill();
    });
    EXPECT_EQ(pixelOf(image, 60, 60), kRed);
    EXPECT_EQ(pixelOf(image, 60, 40), kClear);
    EXPECT_EQ(pixelOf(image, 40, 60), kClear);
    EXPECT_EQ(pixelOf(image, 25, 10), kClear) << "the hole of the clip";
    EXPECT_EQ(pixelOf(image, 75, 10), kRed);
}

TEST(BezierPathTest, StrokesUseThePathsOwnLineSettingsAndLeaveTheContextAlone)
{
    auto image = draw([] {
        auto line = UIBezierPath::bezierPath();
        line->moveToPoint(CGPointMake(10, 50));
        line->addLineToPoint(CGPointMake(90, 50));
        line->setLineWidth(10);
        UIColor::redColor()->setStroke();
        line->stroke();
        // The context's own line width is still 1.
        CGContextRef c = UIGraphicsGetCurrentContext();
        CGContextMoveToPoint(c, 10, 80);
        CGContextAddLineToPoint(c, 90, 80);
        CGContextStrokePath(c);
    });
    EXPECT_EQ(pixelOf(image, 50, 46), kRed);
    EXPECT_EQ(pixelOf(image, 50, 56), kClear);
    EXPECT_EQ(pixelOf(image, 50, 83), kClear);
}

TEST(BezierPathTest, BoundsTransformsAndCopies)
{
    auto path = UIBezierPath::bezierPathWithArcCenter(CGPointMake(0, 0), 10, 0, 2 * M_PI, true);
    EXPECT_FALSE(path->isEmpty());
    const CGRect b = path->bounds();
    EXPECT_NEAR(CGRectGetMidX(b), 0, 1e-9);
    EXPECT_GE(b.size.width, 20);
    EXPECT_LE(b.size.width, 20 * 4.0 / 3); // control points lie a little outside the circle

    auto rect = UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 10, 20));
    auto copy = dv::as<UIBezierPath>(rect->copy());
    rect->applyTransform(CGAffineTransformMakeTranslation(5, 5));
    expectRect(rect->bounds(), CGRectMake(5, 5, 10, 20));
    expectRect(copy->bounds(), CGRectMake(0, 0, 10, 20));
    EXPECT_EQ(rect->currentPoint(), CGPointMake(5, 5)) << "closing returns to the start";

    auto empty = UIBezierPath::bezierPath();
    empty->addLineToPoint(CGPointMake(1, 1)); // needs a current point first
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_TRUE(CGRectIsNull(empty->bounds()));
}
