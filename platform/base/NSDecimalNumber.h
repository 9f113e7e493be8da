// NSDecimalNumber: an exact decimal number of up to 38 significant digits times a power of ten
// (-128 to 127), with its own not-a-number. Arithmetic rounds half away from zero to 38 digits;
// results beyond the exponent range and division by zero answer notANumber instead of raising.
// The inherited NSNumber accessors (intValue, doubleValue, ...) read the nearest double, so NaN
// converts to 0 and large values saturate. Immutable; shared freely between threads.
//
//   auto price = NSDecimalNumber::decimalNumberWithString("12.50"_ns);
//   price->decimalNumberByMultiplyingBy(NSDecimalNumber::decimalNumberWithString("3"_ns))->stringValue(); // "37.5"
#pragma once

#include "platform/base/NSNumber.h"

#include <cstdint>

// The platform's decimal record: mantissa in 16-bit words, least significant first.
struct NSDecimal {
    std::int32_t exponent = 0;
    std::uint32_t length = 0; // words of mantissa in use; 0 for zero and for NaN
    bool isNegative = false;  // with length 0: NaN
    bool isCompact = true;
    std::uint16_t mantissa[8] = {};
};

bool NSDecimalIsNotANumber(const NSDecimal& decimal);

class NSDecimalNumber : public NSNumber {
    DV_CLASS(NSDecimalNumber, NSNumber)

    NSDecimalNumber() = default;

    // Leading white space, a sign, digits with an optional "." and fraction, an optional exponent;
    // text after the number is ignored. No digits (or nil) gives notANumber.
    Ref<NSDecimalNumber> initWithString(const Ref<NSString>& string);
    Ref<NSDecimalNumber> initWithDecimal(const NSDecimal& decimal);
    Ref<NSDecimalNumber> initWithMantissa(unsigned long long mantissa, short exponent, bool isNegative);
    static Ref<NSDecimalNumber> decimalNumberWithString(const Ref<NSString>& string);
    static Ref<NSDecimalNumber> decimalNumberWithDecimal(const NSDecimal& decimal);
    static Ref<NSDecimalNumber> decimalNumberWithMantissa(unsigned long long mantissa, short exponent, bool isNegative);
    // The decimal of any number: a decimal number's own, an integer's exact value, a floating
    // point value's shortest text.
    static Ref<NSDecimalNumber> decimalNumberWithNumber(const Ref<NSNumber>& number);
    static Ref<NSDecimalNumber> notANumber();
    static Ref<NSDecimalNumber> zero();
    static Ref<NSDecimalNumber> one();

    NSDecimal decimalValue() const;
    bool isNotANumber() const { return m_nan; }

    Ref<NSDecimalNumber> decimalNumberByAdding(const Ref<NSDecimalNumber>& other) const;
    Ref<NSDecimalNumber> decimalNumberBySubtracting(const Ref<NSDecimalNumber>& other) const;
    Ref<NSDecimalNumber> decimalNumberByMultiplyingBy(const Ref<NSDecimalNumber>& other) const;
    Ref<NSDecimalNumber> decimalNumberByDividingBy(const Ref<NSDecimalNumber>& other) const;
    Ref<NSDecimalNumber> decimalNumberByMultiplyingByPowerOf10(short power) const;

    // Plain digits, never an exponent: "12.5", "-0.001", "1000", "NaN".
    Ref<NSString> stringValue() const override;
    // Orders by value against any number; NaN orders before every number and equals NaN.
    NSComparisonResult compare(const Ref<NSNumber>& other) const override;
    const char* objCType() const override { return "d"; }

    Ref<NSString> description() const override { return stringValue(); }
    // Archived as a decimal record ("NS.exponent", "NS.length", "NS.negative", "NS.compact",
    // "NS.mantissa" with its byte order in "NS.mantissa.bo"), so it comes back a decimal number.
    static bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;

    // The value as mantissa × 10^exponent; mantissa below 10^38.
    unsigned __int128 mantissa() const { return m_mantissa; }
    int exponent() const { return m_exponent; }
    bool isNegative() const { return m_negative; }

private:
    void assign(unsigned __int128 mantissa, int exponent, bool negative, bool nan);
    static Ref<NSDecimalNumber> make(unsigned __int128 mantissa, int exponent, bool negative, bool nan);

    unsigned __int128 m_mantissa = 0;
    int m_exponent = 0;
    bool m_negative = false;
    bool m_nan = false;
};
