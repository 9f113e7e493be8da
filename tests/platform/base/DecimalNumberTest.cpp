#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSString.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Ref<NSDecimalNumber> dec(std::string_view text) { return NSDecimalNumber::decimalNumberWithString(NSString::fromUTF8(text)); }
std::string text(const Ref<NSDecimalNumber>& n) { return dv::str(n->stringValue()); }

} // namespace

TEST(DecimalNumber, ParsesAndPrintsPlainDigits)
{
    const std::pair<const char*, const char*> table[] = {
        {"12.5", "12.5"},         {"12.50", "12.5"},   {"-0.001", "-0.001"},   {"  +7", "7"},
        {"1e3", "1000"},          {"1.5E-2", "0.015"}, {"-0", "0"},            {"0.000", "0"},
        {"12abc", "12"},          {".5", "0.5"},       {"5.", "5"},            {"1e", "1"},
        {"00012.3400", "12.34"},  {"abc", "NaN"},      {"", "NaN"},            {"-", "NaN"},
        {".", "NaN"},             {"e5", "NaN"},       {"1e999999999999", "NaN"}, {"1e-999999999999", "0"}, {"0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000095", "0.00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001"},
        {"123456789012345678901234567890123456789", "123456789012345678901234567890123456790"},
        {"0.1234567890123456789012345678901234567891", "0.12345678901234567890123456789012345679"},
    };
    for (auto [input, expected] : table)
        EXPECT_EQ(text(dec(input)), expected) << input;
    EXPECT_TRUE(NSDecimalNumber::decimalNumberWithString(nil)->isNotANumber());
    EXPECT_EQ(dv::str(dec("3.25")->description()), "3.25");
    EXPECT_STREQ(dec("1")->objCType(), "d");
}

TEST(DecimalNumber, ArithmeticIsExactWithinThirtyEightDigits)
{
    EXPECT_EQ(text(dec("0.1")->decimalNumberByAdding(dec("0.2"))), "0.3");
    EXPECT_EQ(text(dec("1")->decimalNumberBySubtracting(dec("1.001"))), "-0.001");
    EXPECT_EQ(text(dec("12.5")->decimalNumberByMultiplyingBy(dec("-3"))), "-37.5");
    EXPECT_EQ(text(dec("1")->decimalNumberByDividingBy(dec("8"))), "0.125");
    EXPECT_EQ(text(dec("1")->decimalNumberByDividingBy(dec("3"))), "0.33333333333333333333333333333333333333");
    EXPECT_EQ(text(dec("2")->decimalNumberByDividingBy(dec("3"))), "0.66666666666666666666666666666666666667");
    EXPECT_EQ(text(dec("99999999999999999999")->decimalNumberByMultiplyingBy(dec("99999999999999999999"))),
              "9999999999999999999800000000000000000000");
    EXPECT_EQ(text(dec("1e30")->decimalNumberByAdding(dec("1e-5"))), "1000000000000000000000000000000.00001");
    // Far below the precision of the larger operand, the smaller one vanishes.
    EXPECT_EQ(text(dec("1e100")->decimalNumberByAdding(dec("1"))), "1" + std::string(100, '0'));
    EXPECT_EQ(text(dec("5")->decimalNumberByMultiplyingByPowerOf10(-3)), "0.005");
    EXPECT_EQ(text(NSDecimalNumber::decimalNumberWithMantissa(125, -2, true)), "-1.25");
}

TEST(DecimalNumber, FailuresGiveNotANumberInsteadOfRaising)
{
    EXPECT_TRUE(dec("1")->decimalNumberByDividingBy(NSDecimalNumber::zero())->isNotANumber());
    EXPECT_TRUE(dec("1e127")->decimalNumberByMultiplyingBy(dec("1e127"))->isNotANumber());
    EXPECT_EQ(text(dec("1e-100")->decimalNumberByMultiplyingBy(dec("1e-100"))), "0");
    EXPECT_TRUE(NSDecimalNumber::notANumber()->decimalNumberByAdding(NSDecimalNumber::one())->isNotANumber());
    EXPECT_TRUE(NSDecimalNumber::one()->decimalNumberByAdding(nil)->isNotANumber());
}

TEST(DecimalNumber, ConversionsAreDefinedForEveryValue)
{
    auto nan = NSDecimalNumber::notANumber();
    EXPECT_EQ(text(nan), "NaN");
    EXPECT_TRUE(std::isnan(nan->doubleValue()));
    EXPECT_EQ(nan->intValue(), 0);
    EXPECT_EQ(nan->longLongValue(), 0);
    EXPECT_EQ(nan->unsignedLongLongValue(), 0u);

    auto big = dec("1e50");
    EXPECT_EQ(big->longLongValue(), INT64_MAX);
    EXPECT_EQ(dec("-1e50")->intValue(), INT32_MIN);
    EXPECT_DOUBLE_EQ(big->doubleValue(), 1e50);
    EXPECT_EQ(dec("12.9")->intValue(), 12);
    EXPECT_EQ(dec("-12.9")->longLongValue(), -12);
    EXPECT_DOUBLE_EQ(dec("0.1")->doubleValue(), 0.1);
    EXPECT_TRUE(dec("0.5")->boolValue());
}

TEST(DecimalNumber, DecimalValueRecordsMantissaAndFlags)
{
    NSDecimal d = dec("-655.37")->decimalValue();
    EXPECT_EQ(d.exponent, -2);
    EXPECT_TRUE(d.isNegative);
    EXPECT_EQ(d.length, 2u); // 65537 needs two 16-bit words
    EXPECT_EQ(d.mantissa[0], 1u);
    EXPECT_EQ(d.mantissa[1], 1u);
    EXPECT_TRUE(NSDecimalNumber::decimalNumberWithDecimal(d)->isEqual(dec("-655.37")));

    NSDecimal nan = NSDecimalNumber::notANumber()->decimalValue();
    EXPECT_EQ(nan.length, 0u);
    EXPECT_TRUE(nan.isNegative);
    EXPECT_TRUE(NSDecimalIsNotANumber(nan));
    EXPECT_TRUE(NSDecimalNumber::decimalNumberWithDecimal(nan)->isNotANumber());
    NSDecimal zero = NSDecimalNumber::zero()->decimalValue();
    EXPECT_EQ(zero.length, 0u);
    EXPECT_FALSE(NSDecimalIsNotANumber(zero));

    NSDecimal oversized;
    oversized.length = 200;
    for (auto& word : oversized.mantissa)
        word = 0xFFFF;
    EXPECT_FALSE(NSDecimalNumber::decimalNumberWithDecimal(oversized)->isNotANumber());
}

TEST(DecimalNumber, ComparesWithAnyNumber)
{
    EXPECT_EQ(dec("1.10")->compare(dec("1.1")), NSOrderedSame);
    EXPECT_EQ(dec("-2")->compare(dec("1")), NSOrderedAscending);
    EXPECT_EQ(dec("-2")->compare(dec("-10")), NSOrderedDescending);
    EXPECT_EQ(dec("1e5")->compare(dec("99999.9")), NSOrderedDescending);
    EXPECT_EQ(dec("12")->compare(NSNumber::numberWithInt(12)), NSOrderedSame);
    EXPECT_EQ(dec("0.1")->compare(NSNumber::numberWithDouble(0.1)), NSOrderedSame);
    EXPECT_EQ(dec("18446744073709551615")->compare(NSNumber::numberWithUnsignedLongLong(UINT64_MAX)), NSOrderedSame);
    EXPECT_EQ(dec("-9223372036854775808")->compare(NSNumber::numberWithLongLong(INT64_MIN)), NSOrderedSame);
    EXPECT_EQ(NSDecimalNumber::notANumber()->compare(dec("-1e100")), NSOrderedAscending);
    EXPECT_TRUE(dec("2.50")->isEqual(dec("2.5")));
    EXPECT_EQ(dec("2.50")->hash(), dec("2.5")->hash());
    EXPECT_TRUE(dec("3")->isEqual(NSNumber::numberWithInt(3)));
    EXPECT_FALSE(dec("3")->isEqual("3"_ns));
    EXPECT_TRUE(NSDecimalNumber::notANumber()->isEqual(dec("x")));

    auto fromInt = NSDecimalNumber::decimalNumberWithNumber(NSNumber::numberWithInt(-42));
    EXPECT_EQ(text(fromInt), "-42");
    EXPECT_EQ(text(NSDecimalNumber::decimalNumberWithNumber(NSNumber::numberWithDouble(2.675))), "2.675");
    EXPECT_TRUE(NSDecimalNumber::decimalNumberWithNumber(NSNumber::numberWithDouble(NAN))->isNotANumber());
}
