#include "platform/base/NSNumber.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSString.h"

#include "platform/base/internal/SharedInstance.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>

DV_DEFINE_CLASS(NSNumber)

namespace {

// Integer kinds convert to one another as C converts them: the value is taken modulo 2^N of
// the target width (int -1 read as unsigned is 4294967295, 300 read as char is 44).
template <class I>
I wrapped(unsigned long long bits)
{
    return static_cast<I>(bits);
}

} // namespace

Ref<NSNumber> NSNumber::make(Kind kind, long long s, unsigned long long u, double d)
{
    auto n = alloc<NSNumber>();
    n->m_kind = kind;
    switch (kind) {
    case Kind::Float:
    case Kind::Double:
        n->m_double = d;
        break;
    case Kind::UnsignedChar:
    case Kind::UnsignedShort:
    case Kind::UnsignedInt:
    case Kind::UnsignedLong:
    case Kind::UnsignedLongLong:
        n->m_unsigned = u;
        break;
    default:
        n->m_signed = s;
        break;
    }
    return n;
}

namespace {

// Small integers of the two common kinds are shared instances, made on first use: replies and
// models are full of zeros, ones, statuses and counts.
using SharedSlots = std::atomic<const Ref<NSNumber>*>[1024 + 128];
SharedSlots s_smallInts;
SharedSlots s_smallLongLongs;

} // namespace

Ref<NSNumber> NSNumber::smallInteger(Kind kind, long long value)
{
    static_assert(std::extent_v<SharedSlots> == kSharedLargest - kSharedSmallest + 1);
    auto& slot = (kind == Kind::Int ? s_smallInts : s_smallLongLongs)[static_cast<std::size_t>(value - kSharedSmallest)];
    if (const Ref<NSNumber>* shared = slot.load(std::memory_order_acquire))
        return *shared;
    auto* fresh = new Ref<NSNumber>(make(kind, value, 0, 0));
    const Ref<NSNumber>* expected = nullptr;
    if (slot.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel, std::memory_order_acquire)) {
        dv::keepForever(fresh->get());
        return *fresh;
    }
    delete fresh; // another thread made it first
    return *expected;
}

Ref<NSNumber> NSNumber::numberWithBool(bool value)
{
    // Like the platform's two boolean constants, YES and NO are shared instances.
    static const Ref<NSNumber>& yes = dv::internal::base::sharedInstance(make(Kind::Bool, 1, 0, 0));
    static const Ref<NSNumber>& no = dv::internal::base::sharedInstance(make(Kind::Bool, 0, 0, 0));
    return value ? yes : no;
}

Ref<NSNumber> NSNumber::numberWithChar(signed char v) { return make(Kind::Char, v, 0, 0); }
Ref<NSNumber> NSNumber::numberWithUnsignedChar(unsigned char v) { return make(Kind::UnsignedChar, 0, v, 0); }
Ref<NSNumber> NSNumber::numberWithShort(short v) { return make(Kind::Short, v, 0, 0); }
Ref<NSNumber> NSNumber::numberWithUnsignedShort(unsigned short v) { return make(Kind::UnsignedShort, 0, v, 0); }
Ref<NSNumber> NSNumber::numberWithInt(int v) { return isSmall(v) ? smallInteger(Kind::Int, v) : make(Kind::Int, v, 0, 0); }
Ref<NSNumber> NSNumber::numberWithUnsignedInt(unsigned int v) { return make(Kind::UnsignedInt, 0, v, 0); }
Ref<NSNumber> NSNumber::numberWithLong(long v) { return numberWithLongLong(v); }
Ref<NSNumber> NSNumber::numberWithUnsignedLong(unsigned long v) { return make(Kind::UnsignedLongLong, 0, v, 0); }
Ref<NSNumber> NSNumber::numberWithLongLong(long long v)
{
    return isSmall(v) ? smallInteger(Kind::LongLong, v) : make(Kind::LongLong, v, 0, 0);
}
Ref<NSNumber> NSNumber::numberWithUnsignedLongLong(unsigned long long v) { return make(Kind::UnsignedLongLong, 0, v, 0); }
Ref<NSNumber> NSNumber::numberWithInteger(NSInteger v) { return numberWithLongLong(v); }
Ref<NSNumber> NSNumber::numberWithUnsignedInteger(NSUInteger v) { return make(Kind::UnsignedLongLong, 0, v, 0); }
Ref<NSNumber> NSNumber::numberWithFloat(float v) { return make(Kind::Float, 0, 0, v); }
Ref<NSNumber> NSNumber::numberWithDouble(double v) { return make(Kind::Double, 0, 0, v); }

bool NSNumber::isUnsigned() const
{
    switch (m_kind) {
    case Kind::UnsignedChar:
    case Kind::UnsignedShort:
    case Kind::UnsignedInt:
    case Kind::UnsignedLong:
    case Kind::UnsignedLongLong:
        return true;
    default:
        return false;
    }
}

const char* NSNumber::objCType() const
{
    // The platform stores small kinds widened: unsigned ones one size up, as it reports them.
    switch (m_kind) {
    case Kind::Bool:
    case Kind::Char:
        return "c";
    case Kind::UnsignedChar:
    case Kind::Short:
        return "s";
    case Kind::UnsignedShort:
    case Kind::Int:
        return "i";
    case Kind::UnsignedInt:
    case Kind::Long:
    case Kind::LongLong:
        return "q";
    case Kind::UnsignedLong:
    case Kind::UnsignedLongLong:
        return "Q";
    case Kind::Float:
        return "f";
    case Kind::Double:
        return "d";
    }
    return "q";
}

bool NSNumber::boolValue() const
{
    if (isFloatingPoint())
        return m_double != 0 && m_double == m_double;
    return isUnsigned() ? m_unsigned != 0 : m_signed != 0;
}

// The integer bits of the value for a narrower integer kind. Floating-point values convert as
// the phone's processor converts them for these widths: truncated toward zero into 32 bits,
// NaN giving 0 and values past the range held at its ends (unsigned int into the unsigned
// range), and only then cut to the width.
template <class I>
static unsigned long long narrowBits(bool floating, bool isUnsigned, long long s, unsigned long long u, double d)
{
    if (floating) {
        if constexpr (std::is_same_v<I, unsigned int>)
            return dv::saturatingCast<unsigned int>(d);
        else
            return static_cast<unsigned long long>(static_cast<long long>(dv::saturatingCast<int>(d)));
    }
    return isUnsigned ? u : static_cast<unsigned long long>(s);
}

long long NSNumber::longLongValue() const
{
    if (isFloatingPoint())
        return dv::saturatingCast<long long>(m_double);
    return wrapped<long long>(isUnsigned() ? m_unsigned : static_cast<unsigned long long>(m_signed));
}

unsigned long long NSNumber::unsignedLongLongValue() const
{
    if (isFloatingPoint())
        return dv::saturatingCast<unsigned long long>(m_double);
    return isUnsigned() ? m_unsigned : static_cast<unsigned long long>(m_signed);
}

double NSNumber::doubleValue() const
{
    if (isFloatingPoint())
        return m_double;
    return isUnsigned() ? static_cast<double>(m_unsigned) : static_cast<double>(m_signed);
}

float NSNumber::floatValue() const { return static_cast<float>(doubleValue()); }

#define DV_NARROW_VALUE(Type, Name)                                                      \
    Type NSNumber::Name() const                                                          \
    {                                                                                    \
        bool floating = isFloatingPoint();                                               \
        return wrapped<Type>(narrowBits<Type>(floating, isUnsigned(), m_signed, m_unsigned, floating ? m_double : 0)); \
    }
DV_NARROW_VALUE(signed char, charValue)
DV_NARROW_VALUE(unsigned char, unsignedCharValue)
DV_NARROW_VALUE(short, shortValue)
DV_NARROW_VALUE(unsigned short, unsignedShortValue)
DV_NARROW_VALUE(int, intValue)
DV_NARROW_VALUE(unsigned int, unsignedIntValue)
#undef DV_NARROW_VALUE
long NSNumber::longValue() const { return static_cast<long>(longLongValue()); }
unsigned long NSNumber::unsignedLongValue() const { return static_cast<unsigned long>(unsignedLongLongValue()); }

Ref<NSString> NSNumber::stringValue() const
{
    char buffer[64];
    switch (m_kind) {
    case Kind::Float:
        std::snprintf(buffer, sizeof buffer, "%.7g", m_double);
        break;
    case Kind::Double:
        std::snprintf(buffer, sizeof buffer, "%.16g", m_double);
        break;
    default:
        if (isUnsigned())
            std::snprintf(buffer, sizeof buffer, "%llu", m_unsigned);
        else
            std::snprintf(buffer, sizeof buffer, "%lld", m_signed);
        break;
    }
    std::string text = buffer;
    if (text == "nan" || text == "-nan")
        text = "nan";
    return NSString::fromUTF8(text);
}

Ref<NSString> NSNumber::description() const { return stringValue(); }

NSComparisonResult NSNumber::compare(const Ref<NSNumber>& other) const
{
    if (!other)
        return NSOrderedDescending;
    auto order = [](auto a, auto b) { return a < b ? NSOrderedAscending : a > b ? NSOrderedDescending : NSOrderedSame; };
    if (isFloatingPoint() || other->isFloatingPoint()) {
        double a = doubleValue(), b = other->doubleValue();
        // NaN sorts below every number and equals itself, as the platform orders it.
        if (a != a || b != b)
            return (a != a && b != b) ? NSOrderedSame : (a != a ? NSOrderedAscending : NSOrderedDescending);
        if (a != b || (!isFloatingPoint() || !other->isFloatingPoint())) {
            if (a != b)
                return order(a, b);
            // Equal as doubles but one side is an integer: compare exactly.
            long double la = isFloatingPoint() ? static_cast<long double>(m_double)
                : isUnsigned()                 ? static_cast<long double>(m_unsigned)
                                               : static_cast<long double>(m_signed);
            long double lb = other->isFloatingPoint() ? static_cast<long double>(other->m_double)
                : other->isUnsigned()                 ? static_cast<long double>(other->m_unsigned)
                                                      : static_cast<long double>(other->m_signed);
            return order(la, lb);
        }
        return NSOrderedSame;
    }
    bool au = isUnsigned(), bu = other->isUnsigned();
    if (!au && !bu)
        return order(m_signed, other->m_signed);
    if (au && bu)
        return order(m_unsigned, other->m_unsigned);
    if (au)
        return other->m_signed < 0 ? NSOrderedDescending : order(m_unsigned, static_cast<unsigned long long>(other->m_signed));
    return m_signed < 0 ? NSOrderedAscending : order(static_cast<unsigned long long>(m_signed), other->m_unsigned);
}

bool NSNumber::isEqualToNumber(const Ref<NSNumber>& other) const { return other && compare(other) == NSOrderedSame; }

bool NSNumber::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* number = dynamic_cast<const NSNumber*>(other);
    if (!number)
        return false;
    return compare(std::const_pointer_cast<NSNumber>(number->self<NSNumber>())) == NSOrderedSame;
}

NSUInteger NSNumber::hash() const
{
    // Equal numbers hash alike whatever their kinds: integral values hash as integers.
    if (isFloatingPoint()) {
        double d = m_double;
        if (d == d && std::floor(d) == d && std::fabs(d) < 9.2e18)
            return std::hash<long long>()(static_cast<long long>(d));
        return std::hash<double>()(d);
    }
    if (isUnsigned() && m_unsigned > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        return std::hash<unsigned long long>()(m_unsigned);
    return std::hash<long long>()(longLongValue());
}
