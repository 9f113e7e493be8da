// NSValue's numeric family: NSNumber holds one C scalar and remembers its kind (booleans are
// distinct from integers), converts between kinds as C does on the phone (integers wrap to the
// narrower width; floating-point values truncate toward zero, NaN giving 0 and values past the
// range of 32 or 64 bits held at its ends), compares across kinds by value and prints as the platform does
// (12 → "12", 12.5 → "12.5", YES → "1").
#pragma once

#include "platform/base/NSValue.h"

#include <limits>
#include <type_traits>

class NSNumber : public NSValue {
    DV_CLASS(NSNumber, NSValue)

    // The kinds, by the platform's type-encoding character.
    enum class Kind : char {
        Bool = 'B',
        Char = 'c',
        UnsignedChar = 'C',
        Short = 's',
        UnsignedShort = 'S',
        Int = 'i',
        UnsignedInt = 'I',
        Long = 'l',
        UnsignedLong = 'L',
        LongLong = 'q',
        UnsignedLongLong = 'Q',
        Float = 'f',
        Double = 'd',
    };

    NSNumber() = default;

    static Ref<NSNumber> numberWithBool(bool value);
    static Ref<NSNumber> numberWithChar(signed char value);
    static Ref<NSNumber> numberWithUnsignedChar(unsigned char value);
    static Ref<NSNumber> numberWithShort(short value);
    static Ref<NSNumber> numberWithUnsignedShort(unsigned short value);
    static Ref<NSNumber> numberWithInt(int value);
    static Ref<NSNumber> numberWithUnsignedInt(unsigned int value);
    static Ref<NSNumber> numberWithLong(long value);
    static Ref<NSNumber> numberWithUnsignedLong(unsigned long value);
    static Ref<NSNumber> numberWithLongLong(long long value);
    static Ref<NSNumber> numberWithUnsignedLongLong(unsigned long long value);
    static Ref<NSNumber> numberWithInteger(NSInteger value);
    static Ref<NSNumber> numberWithUnsignedInteger(NSUInteger value);
    static Ref<NSNumber> numberWithFloat(float value);
    static Ref<NSNumber> numberWithDouble(double value);

    // @(value): the kind follows the C++ type.
    template <class T>
    static Ref<NSNumber> from(T value)
    {
        if constexpr (std::is_same_v<T, bool>)
            return numberWithBool(value);
        else if constexpr (std::is_floating_point_v<T>)
            return std::is_same_v<T, float> ? numberWithFloat(static_cast<float>(value)) : numberWithDouble(static_cast<double>(value));
        else if constexpr (std::is_signed_v<T>)
            return sizeof(T) == 1 ? numberWithChar(static_cast<signed char>(value))
                : sizeof(T) == 2  ? numberWithShort(static_cast<short>(value))
                : sizeof(T) == 4  ? numberWithInt(static_cast<int>(value))
                                  : numberWithLongLong(static_cast<long long>(value));
        else
            return sizeof(T) == 1 ? numberWithUnsignedChar(static_cast<unsigned char>(value))
                : sizeof(T) == 2  ? numberWithUnsignedShort(static_cast<unsigned short>(value))
                : sizeof(T) == 4  ? numberWithUnsignedInt(static_cast<unsigned int>(value))
                                  : numberWithUnsignedLongLong(static_cast<unsigned long long>(value));
    }

    Kind kind() const { return m_kind; }
    bool isBoolean() const { return m_kind == Kind::Bool; }
    bool isFloatingPoint() const { return m_kind == Kind::Float || m_kind == Kind::Double; }
    bool isUnsigned() const;
    const char* objCType() const override;

    bool boolValue() const;
    signed char charValue() const;
    unsigned char unsignedCharValue() const;
    short shortValue() const;
    unsigned short unsignedShortValue() const;
    int intValue() const;
    unsigned int unsignedIntValue() const;
    long longValue() const;
    unsigned long unsignedLongValue() const;
    long long longLongValue() const;
    unsigned long long unsignedLongLongValue() const;
    NSInteger integerValue() const { return longLongValue(); }
    NSUInteger unsignedIntegerValue() const { return unsignedLongLongValue(); }
    float floatValue() const;
    double doubleValue() const;

    virtual Ref<NSString> stringValue() const;
    virtual NSComparisonResult compare(const Ref<NSNumber>& other) const;
    bool isEqualToNumber(const Ref<NSNumber>& other) const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;

protected:
    Kind m_kind = Kind::Int;
    union {
        long long m_signed = 0;
        unsigned long long m_unsigned;
        double m_double;
    };

private:
    static Ref<NSNumber> make(Kind kind, long long s, unsigned long long u, double d);
    // Integers of kind Int or LongLong in this range are shared instances.
    static constexpr long long kSharedSmallest = -128;
    static constexpr long long kSharedLargest = 1023;
    static bool isSmall(long long value) { return value >= kSharedSmallest && value <= kSharedLargest; }
    static Ref<NSNumber> smallInteger(Kind kind, long long value);
};

namespace dv {

// Defined conversions of a double to an integer type: NaN gives 0, values beyond the type's
// range give its minimum or maximum, others truncate toward zero.
template <class I>
I saturatingCast(double value)
{
    if (value != value)
        return 0;
    if (value <= static_cast<double>(std::numeric_limits<I>::min()))
        return std::numeric_limits<I>::min();
    if (value >= static_cast<double>(std::numeric_limits<I>::max()))
        return std::numeric_limits<I>::max();
    return static_cast<I>(value);
}

} // namespace dv
