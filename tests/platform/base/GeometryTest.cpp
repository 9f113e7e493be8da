#include "platform/base/Geometry.h"
#include "platform/base/NSString.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Geometry, NegativeSizesAreStandardised)
{
    CGRect r = CGRectMake(10, 20, -4, -6);
    EXPECT_EQ(CGRectStandardize(r), CGRectMake(6, 14, 4, 6));
    EXPECT_EQ(CGRectGetMinX(r), 6);
    EXPECT_EQ(CGRectGetMaxX(r), 10);
    EXPECT_EQ(CGRectGetMidY(r), 17);
    EXPECT_EQ(CGRectGetWidth(r), 4);
    EXPECT_TRUE(CGRectEqualToRect(r, CGRectMake(6, 14, 4, 6)));
    EXPECT_TRUE(CGRectContainsPoint(r, CGPointMake(6, 14)));
    EXPECT_FALSE(CGRectContainsPoint(r, CGPointMake(10, 14))); // the max edge is outside
}

TEST(Geometry, NullAndInfiniteRectangles)
{
    EXPECT_TRUE(CGRectIsNull(CGRectNull));
    EXPECT_TRUE(std::isinf(CGRectNull.origin.x));
    EXPECT_TRUE(CGRectIsEmpty(CGRectNull));
    EXPECT_TRUE(CGRectIsEmpty(CGRectMake(0, 0, 0, 5)));
    EXPECT_FALSE(CGRectIsNull(CGRectZero));
    EXPECT_TRUE(CGRectIsInfinite(CGRectInfinite));
    EXPECT_TRUE(CGRectEqualToRect(CGRectNull, CGRectNull));
    EXPECT_FALSE(CGRectEqualToRect(CGRectNull, CGRectZero));
    EXPECT_FALSE(CGRectContainsPoint(CGRectNull, CGPointZero));
    EXPECT_TRUE(CGRectIsNull(CGRectOffset(CGRectNull, 5, 5)));
    EXPECT_TRUE(CGRectIsNull(CGRectInset(CGRectMake(0, 0, 10, 10), 6, 0)));
    EXPECT_EQ(CGRectInset(CGRectMake(0, 0, 10, 10), 2, 3), CGRectMake(2, 3, 6, 4));
}

TEST(Geometry, IntersectionAndUnion)
{
    CGRect a = CGRectMake(0, 0, 10, 10);
    EXPECT_EQ(CGRectIntersection(a, CGRectMake(5, 5, 10, 10)), CGRectMake(5, 5, 5, 5));
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(a, CGRectMake(20, 20, 1, 1))));
    EXPECT_FALSE(CGRectIntersectsRect(a, CGRectMake(20, 20, 1, 1)));
    // Touching edges meet in a rectangle of no width, which does not count as intersecting.
    EXPECT_EQ(CGRectIntersection(a, CGRectMake(10, 0, 5, 5)), CGRectMake(10, 0, 0, 5));
    EXPECT_FALSE(CGRectIntersectsRect(a, CGRectMake(10, 0, 5, 5)));
    EXPECT_TRUE(CGRectIsNull(CGRectIntersection(a, CGRectNull)));

    EXPECT_EQ(CGRectUnion(a, CGRectMake(20, -5, 5, 5)), CGRectMake(0, -5, 25, 15));
    EXPECT_EQ(CGRectUnion(CGRectNull, CGRectMake(1, 2, -3, 4)), CGRectMake(-2, 2, 3, 4));
    EXPECT_TRUE(CGRectIsNull(CGRectUnion(CGRectNull, CGRectNull)));
    EXPECT_TRUE(CGRectContainsRect(a, CGRectMake(1, 1, 9, 9)));
    EXPECT_FALSE(CGRectContainsRect(a, CGRectMake(1, 1, 10, 9)));
}

TEST(Geometry, IntegralGrowsToWholePoints)
{
    EXPECT_EQ(CGRectIntegral(CGRectMake(0.5, 1.2, 10.1, 2.9)), CGRectMake(0, 1, 11, 4));
    EXPECT_EQ(CGRectIntegral(CGRectMake(-0.5, -0.5, 1, 1)), CGRectMake(-1, -1, 2, 2));
    EXPECT_TRUE(CGRectIsNull(CGRectIntegral(CGRectNull)));
    EXPECT_EQ(UIEdgeInsetsInsetRect(CGRectMake(0, 0, 100, 50), UIEdgeInsetsMake(1, 2, 3, 4)), CGRectMake(2, 1, 94, 46));
}

TEST(Geometry, TransformsComposeInvertAndApply)
{
    auto t = CGAffineTransformConcat(CGAffineTransformMakeScale(2, 3), CGAffineTransformMakeTranslation(10, 20));
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(1, 1), t), CGPointMake(12, 23));
    auto inverse = CGAffineTransformInvert(t);
    CGPoint back = CGPointApplyAffineTransform(CGPointMake(12, 23), inverse);
    EXPECT_DOUBLE_EQ(back.x, 1);
    EXPECT_DOUBLE_EQ(back.y, 1);
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformConcat(t, inverse)));

    // Translate applies before the existing transform.
    auto scaled = CGAffineTransformTranslate(CGAffineTransformMakeScale(2, 2), 5, 0);
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointZero, scaled), CGPointMake(10, 0));

    auto singular = CGAffineTransformMakeScale(0, 1);
    EXPECT_EQ(CGAffineTransformInvert(singular), singular);

    auto quarter = CGAffineTransformMakeRotation(M_PI / 2);
    CGPoint turned = CGPointApplyAffineTransform(CGPointMake(1, 0), quarter);
    EXPECT_NEAR(turned.x, 0, 1e-12);
    EXPECT_NEAR(turned.y, 1, 1e-12);
    CGRect box = CGRectApplyAffineTransform(CGRectMake(0, 0, 2, 1), quarter);
    EXPECT_NEAR(box.origin.x, -1, 1e-12);
    EXPECT_NEAR(box.size.width, 1, 1e-12);
    EXPECT_NEAR(box.size.height, 2, 1e-12);
    EXPECT_EQ(CGSizeApplyAffineTransform(CGSizeMake(1, 2), CGAffineTransformMakeScale(-1, 1)), CGSizeMake(-1, 2));
}

TEST(Geometry, TextFormsRoundTrip)
{
    EXPECT_EQ(NSStringFromCGPointUTF8(CGPointMake(0.5, 2)), "{0.5, 2}");
    EXPECT_EQ(NSStringFromCGRectUTF8(CGRectMake(0, 0, 375, 667)), "{{0, 0}, {375, 667}}");
    EXPECT_EQ(NSStringFromUIEdgeInsetsUTF8(UIEdgeInsetsMake(1, 2, 3, 4)), "{1, 2, 3, 4}");
    EXPECT_EQ(NSStringFromCGAffineTransformUTF8(CGAffineTransformIdentity), "[1, 0, 0, 1, 0, 0]");
    EXPECT_EQ(NSStringFromCGSizeUTF8(CGSizeMake(-0.0, 1e21)), "{0, 1e+21}");
    EXPECT_EQ(dv::str(NSStringFromRange(NSMakeRange(3, 4))), "{3, 4}");

    CGRect r = CGRectMake(1.25, -2, 0.1, 3e10);
    EXPECT_EQ(CGRectFromString(NSStringFromCGRect(r)), r);
    auto t = CGAffineTransformMake(1, 2, 3, 4, 5.5, -6);
    EXPECT_EQ(CGAffineTransformFromString(NSStringFromCGAffineTransform(t)), t);
    EXPECT_EQ(UIEdgeInsetsFromString("{1, 2, 3, 4}"_ns), UIEdgeInsetsMake(1, 2, 3, 4));
    EXPECT_EQ(CGPointFromString("{+3,4}"_ns), CGPointMake(3, 4));
}

TEST(Geometry, MalformedTextGivesZeroValues)
{
    EXPECT_EQ(CGPointFromString(nil), CGPointZero);
    EXPECT_EQ(CGPointFromString("garbage"_ns), CGPointZero);
    EXPECT_EQ(CGSizeFromString("{7"_ns), CGSizeMake(7, 0));
    EXPECT_EQ(CGRectFromString("{{1, 2}, x}"_ns), CGRectMake(1, 2, 0, 0));
    EXPECT_EQ(CGPointFromString("{1e999, 2}"_ns), CGPointMake(0, 2));
}
