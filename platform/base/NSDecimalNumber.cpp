// NSDecimalNumber: decimal arithmetic on a 128-bit mantissa, with 256-bit intermediates so that
// products and quotients keep every digit until the final rounding.
#include "platform/base/NSDecimalNumber.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/FormatErrors.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

DV_DEFINE_CLASS(NSDecimalNumber)

namespace {

using u128 = unsigned __int128;

constexpr int kMaxExponent = 127;
constexpr int kMinExponent = -128;
constexpr int kMaxDigits = 38;

constexpr u128 pow10u128(int n)
{
    u128 v = 1;
    for (int i = 0; i < n; ++i)
        v *= 10;
    return v;
}

constexpr u128 kMaxMantissa = pow10u128(kMaxDigits) - 1;

// An unsigned 256-bit integer, least significant word first; just what the decimal needs.
struct U256 {
    std::uint64_t w[4] = {0, 0, 0, 0};

    U256() = default;
    explicit U256(u128 v)
    {
        w[0] = static_cast<std::uint64_t>(v);
        w[1] = static_cast<std::uint64_t>(v >> 64);
    }
    bool isZero() const { return !(w[0] | w[1] | w[2] | w[3]); }
    bool fits128() const { return !(w[2] | w[3]); }
    u128 low128() const { return (static_cast<u128>(w[1]) << 64) | w[0]; }

    friend int cmp(const U256& a, const U256& b)
    {
        for (int i = 3; i >= 0; --i)
            if (a.w[i] != b.w[i])
                return a.w[i] < b.w[i] ? -1 : 1;
        return 0;
    }
    friend bool operator<(const U256& a, const U256& b) { return cmp(a, b) < 0; }

    friend U256 operator+(const U256& a, const U256& b)
    {
        U256 r;
        u128 carry = 0;
        for (int i = 0; i < 4; ++i) {
            u128 s = static_cast<u128>(a.w[i]) + b.w[i] + carry;
            r.w[i] = static_cast<std::uint64_t>(s);
            carry = s >> 64;
        }
        return r;
    }
    // a - b with a >= b.
    friend U256 operator-(const U256& a, const U256& b)
    {
        U256 r;
        std::uint64_t borrow = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint64_t d = a.w[i] - b.w[i] - borrow;
            borrow = (a.w[i] < b.w[i] || (a.w[i] == b.w[i] && borrow)) ? 1 : 0;
            r.w[i] = d;
        }
        return r;
    }
    void mulSmall(std::uint64_t m)
    {
        u128 carry = 0;
        for (auto& word : w) {
            u128 p = static_cast<u128>(word) * m + carry;
            word = static_cast<std::uint64_t>(p);
            carry = p >> 64;
        }
    }
    // Divides in place and answers the remainder.
    std::uint64_t divSmall(std::uint64_t d)
    {
        u128 rem = 0;
        for (int i = 3; i >= 0; --i) {
            u128 cur = (rem << 64) | w[i];
            w[i] = static_cast<std::uint64_t>(cur / d);
            rem = cur % d;
        }
        return static_cast<std::uint64_t>(rem);
    }
    bool bit(int i) const { return (w[i / 64] >> (i % 64)) & 1; }
    void shiftLeft1()
    {
        for (int i = 3; i > 0; --i)
            w[i] = (w[i] << 1) | (w[i - 1] >> 63);
        w[0] <<= 1;
    }
};

U256 multiply(u128 a, u128 b)
{
    std::uint64_t x[2] = {static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(a >> 64)};
    std::uint64_t y[2] = {static_cast<std::uint64_t>(b), static_cast<std::uint64_t>(b >> 64)};
    U256 r;
    for (int i = 0; i < 2; ++i) {
        u128 carry = 0;
        for (int j = 0; j < 2; ++j) {
            u128 p = static_cast<u128>(x[i]) * y[j] + r.w[i + j] + carry;
            r.w[i + j] = static_cast<std::uint64_t>(p);
            carry = p >> 64;
        }
        r.w[i + 2] = static_cast<std::uint64_t>(carry);
    }
    return r;
}

// n / d by shift and subtract; d is not zero.
U256 divide(const U256& n, const U256& d)
{
    U256 q, r;
    for (int i = 255; i >= 0; --i) {
        r.shiftLeft1();
        if (n.bit(i))
            r.w[0] |= 1;
        if (!(r < d)) {
            r = r - d;
            q.w[i / 64] |= std::uint64_t(1) << (i % 64);
        }
    }
    return q;
}

U256 pow10u256(int n)
{
    U256 v(1);
    for (int i = 0; i < n; ++i)
        v.mulSmall(10);
    return v;
}

struct Dec {
    u128 mantissa = 0;
    int exponent = 0;
    bool negative = false;
    bool nan = false;
};

constexpr Dec kNaN {0, 0, true, true};

// Rounds a wide mantissa to 38 digits (half away from zero), strips trailing zeros and brings the
// exponent into range; a value too large for the range is NaN, one too small is zero.
Dec normalize(U256 m, long exponent, bool negative)
{
    const U256 max(kMaxMantissa);
    std::uint64_t roundDigit = 0;
    while (max < m) {
        roundDigit = m.divSmall(10);
        ++exponent;
    }
    u128 value = m.low128();
    if (roundDigit >= 5 && ++value > kMaxMantissa) {
        value /= 10;
        ++exponent;
    }
    if (value == 0)
        return {};
    while (value % 10 == 0) {
        value /= 10;
        ++exponent;
    }
    while (exponent > kMaxExponent && value <= kMaxMantissa / 10) {
        value *= 10;
        --exponent;
    }
    if (exponent > kMaxExponent)
        return kNaN;
    if (exponent < kMinExponent) {
        roundDigit = 0;
        while (exponent < kMinExponent && value != 0) {
            roundDigit = static_cast<std::uint64_t>(value % 10);
            value /= 10;
            ++exponent;
        }
        if (exponent < kMinExponent)
            return {};
        if (roundDigit >= 5)
            ++value;
        if (value == 0)
            return {};
        while (value % 10 == 0) {
            value /= 10;
            ++exponent;
        }
    }
    return {value, static_cast<int>(exponent), negative, false};
}

int digitCount(u128 v)
{
    int n = 0;
    while (v) {
        v /= 10;
        ++n;
    }
    return n;
}

Dec add(Dec a, Dec b)
{
    if (a.nan || b.nan)
        return kNaN;
    if (a.mantissa == 0)
        return b;
    if (b.mantissa == 0)
        return a;
    if (a.exponent < b.exponent)
        std::swap(a, b);
    U256 am(a.mantissa), bm(b.mantissa);
    long ea = a.exponent;
    const long eb = b.exponent;
    const U256 limit = pow10u256(75);
    while (ea > eb && am < limit) {
        am.mulSmall(10);
        --ea;
    }
    if (ea > eb) {
        // b lies below the precision of a; it only rounds the last digit.
        long shift = ea - eb;
        if (shift > 80) {
            bm = U256();
        } else {
            std::uint64_t digit = 0;
            for (long i = 0; i < shift; ++i)
                digit = bm.divSmall(10);
            if (digit >= 5)
                bm = bm + U256(1);
        }
    }
    if (a.negative == b.negative)
        return normalize(am + bm, ea, a.negative);
    if (bm < am)
        return normalize(am - bm, ea, a.negative);
    return normalize(bm - am, ea, b.negative);
}

Dec multiply(const Dec& a, const Dec& b)
{
    if (a.nan || b.nan)
        return kNaN;
    return normalize(multiply(a.mantissa, b.mantissa), static_cast<long>(a.exponent) + b.exponent, a.negative != b.negative);
}

Dec divide(const Dec& a, const Dec& b)
{
    if (a.nan || b.nan || b.mantissa == 0)
        return kNaN;
    if (a.mantissa == 0)
        return {};
    U256 n(a.mantissa);
    long e = static_cast<long>(a.exponent) - b.exponent;
    const U256 limit = pow10u256(76);
    while (n < limit) {
        n.mulSmall(10);
        --e;
    }
    return normalize(divide(n, U256(b.mantissa)), e, a.negative != b.negative);
}

int compareMagnitude(const Dec& a, const Dec& b)
{
    if (a.mantissa == 0 || b.mantissa == 0)
        return (a.mantissa != 0) - (b.mantissa != 0);
    int orderA = digitCount(a.mantissa) + a.exponent;
    int orderB = digitCount(b.mantissa) + b.exponent;
    if (orderA != orderB)
        return orderA < orderB ? -1 : 1;
    U256 am(a.mantissa), bm(b.mantissa);
    for (int i = b.exponent; i < a.exponent; ++i)
        am.mulSmall(10);
    for (int i = a.exponent; i < b.exponent; ++i)
        bm.mulSmall(10);
    return cmp(am, bm);
}

int compare(const Dec& a, const Dec& b)
{
    if (a.nan || b.nan)
        return a.nan == b.nan ? 0 : a.nan ? -1 : 1;
    bool negA = a.negative && a.mantissa != 0, negB = b.negative && b.mantissa != 0;
    if (negA != negB)
        return negA ? -1 : 1;
    int order = compareMagnitude(a, b);
    return negA ? -order : order;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

Dec parse(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    u128 mantissa = 0;
    int significant = 0;
    long exponent = 0;
    bool anyDigit = false, inFraction = false;
    int firstDropped = -1;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        anyDigit = true;
        int digit = c - '0';
        if (significant < kMaxDigits) {
            if (significant || digit) {
                mantissa = mantissa * 10 + static_cast<unsigned>(digit);
                ++significant;
            }
            if (inFraction)
                --exponent;
        } else {
            if (firstDropped < 0)
                firstDropped = digit;
            if (!inFraction)
                ++exponent;
        }
    }
    if (!anyDigit)
        return kNaN;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            expNegative = text[j++] == '-';
        if (j < text.size() && text[j] >= '0' && text[j] <= '9') {
            long value = 0;
            for (; j < text.size() && text[j] >= '0' && text[j] <= '9'; ++j)
                value = std::min<long>(value * 10 + (text[j] - '0'), 100000);
            exponent += expNegative ? -value : value;
        }
    }
    U256 m(mantissa);
    if (firstDropped >= 5)
        m = m + U256(1);
    return normalize(m, exponent, negative);
}

std::string digitsOf(u128 v)
{
    char buffer[48];
    char* end = buffer + sizeof buffer;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v);
    return std::string(p, end);
}

std::string plainText(const Dec& d)
{
    if (d.nan)
        return "NaN";
    if (d.mantissa == 0)
        return "0";
    std::string digits = digitsOf(d.mantissa);
    std::string out = d.negative ? "-" : "";
    if (d.exponent >= 0) {
        out += digits;
        out.append(static_cast<std::size_t>(d.exponent), '0');
        return out;
    }
    long point = static_cast<long>(digits.size()) + d.exponent;
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits;
    } else {
        out.append(digits, 0, static_cast<std::size_t>(point));
        out += '.';
        out.append(digits, static_cast<std::size_t>(point), std::string::npos);
    }
    return out;
}

double toDouble(const Dec& d)
{
    if (d.nan)
        return std::numeric_limits<double>::quiet_NaN();
    std::string text = digitsOf(d.mantissa) + "e" + std::to_string(d.exponent);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return d.negative ? -value : value;
}

Dec fromNumber(const NSNumber& number)
{
    if (auto decimal = dynamic_cast<const NSDecimalNumber*>(&number))
        return {decimal->mantissa(), decimal->exponent(), decimal->isNegative(), decimal->isNotANumber()};
    if (number.isFloatingPoint()) {
        double value = number.doubleValue();
        if (!std::isfinite(value))
            return kNaN;
        char buffer[64];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return parse(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
    }
    if (number.isUnsigned())
        return normalize(U256(number.unsignedLongLongValue()), 0, false);
    long long value = number.longLongValue();
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    return normalize(U256(magnitude), 0, value < 0);
}

} // namespace

bool NSDecimalIsNotANumber(const NSDecimal& decimal) { return decimal.length == 0 && decimal.isNegative; }

void NSDecimalNumber::assign(u128 mantissa, int exponent, bool negative, bool nan)
{
    m_mantissa = mantissa;
    m_exponent = exponent;
    m_negative = negative && mantissa != 0 && !nan;
    m_nan = nan;
    m_kind = Kind::Double;
    m_double = toDouble({m_mantissa, m_exponent, m_negative, m_nan});
}

Ref<NSDecimalNumber> NSDecimalNumber::make(u128 mantissa, int exponent, bool negative, bool nan)
{
    auto number = alloc<NSDecimalNumber>();
    number->NSObject::init();
    number->assign(mantissa, exponent, negative, nan);
    return number;
}

Ref<NSDecimalNumber> NSDecimalNumber::initWithString(const Ref<NSString>& string)
{
    NSObject::init();
    Dec d = string ? parse(string->utf8()) : kNaN;
    assign(d.mantissa, d.exponent, d.negative, d.nan);
    return self<NSDecimalNumber>();
}

Ref<NSDecimalNumber> NSDecimalNumber::initWithDecimal(const NSDecimal& decimal)
{
    NSObject::init();
    if (decimal.length == 0) {
        assign(0, 0, false, decimal.isNegative);
        return self<NSDecimalNumber>();
    }
    u128 mantissa = 0;
    for (int i = static_cast<int>(std::min<std::uint32_t>(decimal.length, 8)) - 1; i >= 0; --i)
        mantissa = (mantissa << 16) | decimal.mantissa[i];
    Dec d = normalize(U256(mantissa), decimal.exponent, decimal.isNegative);
    assign(d.mantissa, d.exponent, d.negative, d.nan);
    return self<NSDecimalNumber>();
}

Ref<NSDecimalNumber> NSDecimalNumber::initWithMantissa(unsigned long long mantissa, short exponent, bool isNegative)
{
    NSObject::init();
    Dec d = normalize(U256(mantissa), exponent, isNegative);
    assign(d.mantissa, d.exponent, d.negative, d.nan);
    return self<NSDecimalNumber>();
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberWithString(const Ref<NSString>& string)
{
    return alloc<NSDecimalNumber>()->initWithString(string);
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberWithDecimal(const NSDecimal& decimal)
{
    return alloc<NSDecimalNumber>()->initWithDecimal(decimal);
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberWithMantissa(unsigned long long mantissa, short exponent, bool isNegative)
{
    return alloc<NSDecimalNumber>()->initWithMantissa(mantissa, exponent, isNegative);
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberWithNumber(const Ref<NSNumber>& number)
{
    if (!number)
        return notANumber();
    if (auto decimal = std::dynamic_pointer_cast<NSDecimalNumber>(number))
        return decimal;
    Dec d = fromNumber(*number);
    return make(d.mantissa, d.exponent, d.negative, d.nan);
}

Ref<NSDecimalNumber> NSDecimalNumber::notANumber()
{
    static const Ref<NSDecimalNumber> value = dv::keepingForever([] { return make(0, 0, false, true); });
    return value;
}

Ref<NSDecimalNumber> NSDecimalNumber::zero()
{
    static const Ref<NSDecimalNumber> value = dv::keepingForever([] { return make(0, 0, false, false); });
    return value;
}

Ref<NSDecimalNumber> NSDecimalNumber::one()
{
    static const Ref<NSDecimalNumber> value = dv::keepingForever([] { return make(1, 0, false, false); });
    return value;
}

NSDecimal NSDecimalNumber::decimalValue() const
{
    NSDecimal d;
    if (m_nan) {
        d.isNegative = true;
        return d;
    }
    d.exponent = m_exponent;
    d.isNegative = m_negative;
    u128 m = m_mantissa;
    std::uint32_t length = 0;
    for (int i = 0; i < 8 && m; ++i) {
        d.mantissa[i] = static_cast<std::uint16_t>(m & 0xFFFF);
        m >>= 16;
        length = static_cast<std::uint32_t>(i + 1);
    }
    d.length = length;
    return d;
}

namespace {
Dec decOf(const NSDecimalNumber& n) { return {n.mantissa(), n.exponent(), n.isNegative(), n.isNotANumber()}; }
Dec decOf(const Ref<NSDecimalNumber>& n) { return n ? decOf(*n) : kNaN; }
} // namespace

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberByAdding(const Ref<NSDecimalNumber>& other) const
{
    Dec d = add(decOf(*this), decOf(other));
    return make(d.mantissa, d.exponent, d.negative, d.nan);
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberBySubtracting(const Ref<NSDecimalNumber>& other) const
{
    Dec b = decOf(other);
    b.negative = !b.negative;
    Dec d = add(decOf(*this), b);
    return make(d.mantissa, d.exponent, d.negative, d.nan);
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberByMultiplyingBy(const Ref<NSDecimalNumber>& other) const
{
    Dec d = multiply(decOf(*this), decOf(other));
    return make(d.mantissa, d.exponent, d.negative, d.nan);
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberByDividingBy(const Ref<NSDecimalNumber>& other) const
{
    Dec d = divide(decOf(*this), decOf(other));
    return make(d.mantissa, d.exponent, d.negative, d.nan);
}

Ref<NSDecimalNumber> NSDecimalNumber::decimalNumberByMultiplyingByPowerOf10(short power) const
{
    if (m_nan)
        return notANumber();
    Dec d = normalize(U256(m_mantissa), static_cast<long>(m_exponent) + power, m_negative);
    return make(d.mantissa, d.exponent, d.negative, d.nan);
}

Ref<NSString> NSDecimalNumber::stringValue() const { return NSString::fromUTF8(plainText(decOf(*this))); }

NSComparisonResult NSDecimalNumber::compare(const Ref<NSNumber>& other) const
{
    if (!other)
        return NSOrderedDescending;
    int order = ::compare(decOf(*this), fromNumber(*other));
    return order < 0 ? NSOrderedAscending : order > 0 ? NSOrderedDescending : NSOrderedSame;
}

bool NSDecimalNumber::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto number = dynamic_cast<const NSNumber*>(other);
    return number && ::compare(decOf(*this), fromNumber(*number)) == 0;
}

NSUInteger NSDecimalNumber::hash() const { return NSNumber::hash(); }

// Coding ----------------------------------------------------------------------------------------

void NSDecimalNumber::encodeWithCoder(NSCoder& coder) const
{
    NSDecimal d = decimalValue();
    coder.encodeInt(d.exponent, "NS.exponent"_ns);
    coder.encodeInt(static_cast<int>(d.length), "NS.length"_ns);
    coder.encodeBool(d.isNegative, "NS.negative"_ns);
    coder.encodeBool(d.isCompact, "NS.compact"_ns);
    coder.encodeInt(1, "NS.mantissa.bo"_ns); // little-endian words
    std::uint8_t bytes[16];
    for (int i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(d.mantissa[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(d.mantissa[i] >> 8);
    }
    coder.encodeBytes(bytes, sizeof bytes, "NS.mantissa"_ns);
}

id NSDecimalNumber::initWithCoder(NSCoder& coder)
{
    NSDecimal d;
    d.exponent = coder.decodeIntForKey("NS.exponent"_ns);
    int length = coder.decodeIntForKey("NS.length"_ns);
    d.isNegative = coder.decodeBoolForKey("NS.negative"_ns);
    d.isCompact = coder.decodeBoolForKey("NS.compact"_ns);
    bool bigEndian = coder.decodeIntForKey("NS.mantissa.bo"_ns) == 2;
    NSUInteger size = 0;
    const std::uint8_t* bytes = coder.decodeBytesForKey("NS.mantissa"_ns, &size);
    if (coder.error())
        return nil;
    if (length < 0 || length > 8 || d.exponent < -128 || d.exponent > 127 || (length > 0 && (!bytes || size < 2 * static_cast<NSUInteger>(length)))) {
        coder.failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderReadCorruptError, "The archived decimal number is malformed."));
        return nil;
    }
    d.length = static_cast<std::uint32_t>(length);
    for (int i = 0; i < length; ++i) {
        std::uint8_t lo = bytes[2 * i], hi = bytes[2 * i + 1];
        d.mantissa[i] = bigEndian ? static_cast<std::uint16_t>(lo << 8 | hi) : static_cast<std::uint16_t>(hi << 8 | lo);
    }
    return initWithDecimal(d);
}
