// NSString: numeric values read from the start of the text, as the platform reads them.
#include "platform/base/NSString.h"

#include "platform/base/internal/Utf.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

using dv::internal::base::decodeUtf8;

namespace {

bool isBlank(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0 || c == 0x1680
        || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Skips leading blanks; returns the byte index of the first other character.
std::size_t skipBlanks(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t at = i;
        if (!isBlank(decodeUtf8(s, i)))
            return at;
    }
    return i;
}

// Leading blanks, sign, digits; saturates at the bounds of the type.
template <class I>
I parseInteger(std::string_view s)
{
    std::size_t i = skipBlanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    using U = std::make_unsigned_t<I>;
    U limit = negative ? static_cast<U>(std::numeric_limits<I>::max()) + 1u : static_cast<U>(std::numeric_limits<I>::max());
    U value = 0;
    bool overflow = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        U digit = static_cast<U>(s[i] - '0');
        if (value > (limit - digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 + digit;
    }
    if (overflow)
        return negative ? std::numeric_limits<I>::min() : std::numeric_limits<I>::max();
    if (negative)
        return value == static_cast<U>(std::numeric_limits<I>::max()) + 1u ? std::numeric_limits<I>::min() : -static_cast<I>(value);
    return static_cast<I>(value);
}
} // namespace

// Numeric values ------------------------------------------------------------------------------

int NSString::intValue() const { return parseInteger<int>(m_utf8); }
NSInteger NSString::integerValue() const { return parseInteger<long long>(m_utf8); }
long long NSString::longLongValue() const { return parseInteger<long long>(m_utf8); }

unsigned long long NSString::unsignedLongLongValue() const
{
    std::size_t i = skipBlanks(m_utf8);
    if (i < m_utf8.size() && m_utf8[i] == '-')
        return 0;
    if (i < m_utf8.size() && m_utf8[i] == '+')
        ++i;
    unsigned long long value = 0;
    for (; i < m_utf8.size() && m_utf8[i] >= '0' && m_utf8[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(m_utf8[i] - '0');
        if (value > (ULLONG_MAX - digit) / 10)
            return ULLONG_MAX;
        value = value * 10 + digit;
    }
    return value;
}

double NSString::doubleValue() const
{
    // Decimal notation only (no hexadecimal, infinity or NaN words); the longest valid prefix.
    std::size_t i = skipBlanks(m_utf8);
    std::string number;
    if (i < m_utf8.size() && (m_utf8[i] == '+' || m_utf8[i] == '-'))
        number.push_back(m_utf8[i++]);
    bool digits = false;
    while (i < m_utf8.size() && std::isdigit(static_cast<unsigned char>(m_utf8[i]))) {
        number.push_back(m_utf8[i++]);
        digits = true;
    }
    if (i < m_utf8.size() && m_utf8[i] == '.') {
        number.push_back(m_utf8[i++]);
        while (i < m_utf8.size() && std::isdigit(static_cast<unsigned char>(m_utf8[i]))) {
            number.push_back(m_utf8[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < m_utf8.size() && (m_utf8[i] == 'e' || m_utf8[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < m_utf8.size() && (m_utf8[j] == '+' || m_utf8[j] == '-'))
            exponent.push_back(m_utf8[j++]);
        bool expDigits = false;
        while (j < m_utf8.size() && std::isdigit(static_cast<unsigned char>(m_utf8[j]))) {
            if (exponent.size() < 12)
                exponent.push_back(m_utf8[j]);
            ++j;
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

float NSString::floatValue() const
{
    double d = doubleValue();
    if (std::isinf(d) || std::fabs(d) <= std::numeric_limits<float>::max())
        return static_cast<float>(d);
    return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
}

bool NSString::boolValue() const
{
    std::size_t i = skipBlanks(m_utf8);
    if (i < m_utf8.size() && (m_utf8[i] == '+' || m_utf8[i] == '-'))
        ++i;
    while (i < m_utf8.size() && m_utf8[i] == '0')
        ++i;
    if (i >= m_utf8.size())
        return false;
    char c = m_utf8[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}
