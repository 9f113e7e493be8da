#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Value, DescriptionsAndTypeEncodings)
{
    struct Case {
        Ref<NSValue> value;
        const char* description;
        const char* type;
    };
    const Case cases[] = {
        {NSValue::valueWithCGPoint(CGPointMake(1, 2)), "NSPoint: {1, 2}", "{CGPoint=dd}"},
        {NSValue::valueWithCGSize(CGSizeMake(0.5, 3)), "NSSize: {0.5, 3}", "{CGSize=dd}"},
        {NSValue::valueWithCGRect(CGRectMake(0, 0, 375, 667)), "NSRect: {{0, 0}, {375, 667}}", "{CGRect={CGPoint=dd}{CGSize=dd}}"},
        {NSValue::valueWithUIEdgeInsets(UIEdgeInsetsMake(1, 2, 3, 4)), "UIEdgeInsets: {1, 2, 3, 4}", "{UIEdgeInsets=dddd}"},
        {NSValue::valueWithCGAffineTransform(CGAffineTransformMake(1, 0, 0, 1, 5, 6)), "CGAffineTransform: {{1, 0, 0, 1}, {5, 6}}",
         "{CGAffineTransform=dddddd}"},
        {NSValue::valueWithRange(NSMakeRange(0, 5)), "NSRange: {0, 5}", "{_NSRange=QQ}"},
        {NSValue::valueWithPointer(reinterpret_cast<const void*>(0xbeef)), "<0xbeef>", "^v"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dv::str(c.value->description()), c.description);
        EXPECT_STREQ(c.value->objCType(), c.type);
    }
}

TEST(Value, AccessorsAnswerZeroForAnotherType)
{
    auto point = NSValue::valueWithCGPoint(CGPointMake(3, 4));
    EXPECT_EQ(point->CGPointValue(), CGPointMake(3, 4));
    EXPECT_EQ(point->CGRectValue(), CGRectZero);
    EXPECT_EQ(point->rangeValue(), NSMakeRange(0, 0));
    EXPECT_EQ(point->pointerValue(), nullptr);
    EXPECT_EQ(point->CGAffineTransformValue(), CGAffineTransformIdentity);
}

TEST(Value, EqualityAndHashFollowTheContent)
{
    auto a = NSValue::valueWithCGRect(CGRectMake(1, 2, 3, 4));
    auto b = NSValue::valueWithCGRect(CGRectMake(1, 2, 3, 4));
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_TRUE(a->isEqualToValue(b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(NSValue::valueWithCGRect(CGRectMake(1, 2, 3, 5))));
    // Same numbers, another type.
    EXPECT_FALSE(NSValue::valueWithCGPoint(CGPointMake(1, 2))->isEqual(NSValue::valueWithCGSize(CGSizeMake(1, 2))));
    EXPECT_FALSE(NSValue::valueWithCGPoint(CGPointZero)->isEqual(NSNumber::numberWithInt(0)));
    EXPECT_FALSE(a->isEqualToValue(nil));
    // Signed zeros are equal, so they hash alike.
    auto minusZero = NSValue::valueWithCGPoint(CGPointMake(-0.0, 0));
    auto zero = NSValue::valueWithCGPoint(CGPointZero);
    EXPECT_TRUE(minusZero->isEqual(zero));
    EXPECT_EQ(minusZero->hash(), zero->hash());
    EXPECT_EQ(a->copy(), a);
}

TEST(Value, NonretainedObjectDoesNotKeepItAlive)
{
    auto object = "held"_ns;
    Weak<NSString> weak = object;
    auto value = NSValue::valueWithNonretainedObject(object);
    EXPECT_EQ(value->nonretainedObjectValue(), object);
    EXPECT_STREQ(value->objCType(), "@");
    object.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(value->nonretainedObjectValue());
}
