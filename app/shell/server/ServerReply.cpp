#include "app/shell/server/ServerReply.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"

#include <cmath>
#include <limits>
#include <string_view>

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "[sign]digits[.digits]" or "[sign].digits" between optional white space; the whole part, or
// nullopt when the text is anything else or the whole part does not fit.
std::optional<NSInteger> integerOfDecimalText(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::size_t i = 0;
    // Built as a negative number, whose range holds NSInteger's minimum.
    NSInteger value = 0;
    bool fits = true;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const NSInteger digit = text[i] - '0';
        if (value < (std::numeric_limits<NSInteger>::min() + digit) / 10)
            fits = false;
        else
            value = value * 10 - digit;
    }
    const std::size_t wholeDigits = i;
    std::size_t fractionDigits = 0;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && isDigit(text[i]); ++i)
            ++fractionDigits;
    }
    if (i != text.size() || wholeDigits + fractionDigits == 0 || !fits)
        return std::nullopt;
    if (negative)
        return value;
    if (value == std::numeric_limits<NSInteger>::min())
        return std::nullopt;
    return -value;
}

std::optional<NSInteger> integerOfNumber(const NSNumber& number)
{
    if (number.isFloatingPoint()) {
        const double value = std::trunc(number.doubleValue());
        // 2^63 is the first double past NSInteger's range; -2^63 itself fits.
        constexpr double limit = 9223372036854775808.0;
        if (!std::isfinite(value) || value >= limit || value < -limit)
            return std::nullopt;
        return static_cast<NSInteger>(value);
    }
    if (number.isUnsigned()) {
        const unsigned long long value = number.unsignedLongLongValue();
        if (value > static_cast<unsigned long long>(std::numeric_limits<NSInteger>::max()))
            return std::nullopt;
        return static_cast<NSInteger>(value);
    }
    return static_cast<NSInteger>(number.longLongValue());
}

} // namespace

namespace dv::app {

std::optional<NSInteger> integerValueOfJSON(const id& value)
{
    if (auto number = dv::as<NSNumber>(value))
        return integerOfNumber(*number);
    if (auto text = dv::as<NSString>(value))
        return integerOfDecimalText(text->utf8());
    return std::nullopt;
}

Ref<NSString> textOfJSON(const id& value)
{
    if (auto text = dv::as<NSString>(value))
        return text;
    if (auto number = dv::as<NSNumber>(value))
        return number->stringValue();
    return nil;
}

} // namespace dv::app

std::optional<ServerReply> ServerReply::fromObject(const id& object)
{
    auto dictionary = dv::as<NSDictionary>(object);
    if (!dictionary)
        return std::nullopt;
    ServerReply reply;
    reply.m_dictionary = dictionary;
    reply.m_status = dv::app::integerValueOfJSON(dictionary->objectForKey("status"_ns));
    auto msg = dv::app::textOfJSON(dictionary->objectForKey("msg"_ns));
    reply.m_msg = msg ? msg : ""_ns;
    id info = dictionary->objectForKey("info"_ns);
    if (dv::as<NSDictionary>(info) || dv::as<NSArray>(info) || dv::as<NSString>(info))
        reply.m_info = info;
    return reply;
}

Ref<NSDictionary> ServerReply::infoDictionary() const { return dv::as<NSDictionary>(m_info); }

Ref<NSArray> ServerReply::infoArray() const { return dv::as<NSArray>(m_info); }

Ref<NSString> ServerReply::infoText() const { return dv::as<NSString>(m_info); }

Ref<NSString> ServerReply::textForKey(const Ref<NSString>& key) const
{
    return key ? dv::app::textOfJSON(m_dictionary->objectForKey(key)) : nil;
}

std::optional<NSInteger> ServerReply::pageSize() const
{
    auto info = infoDictionary();
    return info ? dv::app::integerValueOfJSON(info->objectForKey("pageSize"_ns)) : std::nullopt;
}

std::optional<NSInteger> ServerReply::totalCount() const
{
    auto info = infoDictionary();
    return info ? dv::app::integerValueOfJSON(info->objectForKey("totalCount"_ns)) : std::nullopt;
}

Ref<NSArray> ServerReply::listItems() const
{
    auto info = infoDictionary();
    return info ? dv::as<NSArray>(info->objectForKey("listItems"_ns)) : nil;
}
