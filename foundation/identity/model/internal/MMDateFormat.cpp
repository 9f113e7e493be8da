#include "foundation/identity/model/internal/MMDateFormat.h"

#include "platform/base/KeptObjects.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDateFormatter.h"
#include "platform/base/NSLocale.h"
#include "platform/base/NSString.h"
#include "platform/base/NSTimeZone.h"

#include <array>
#include <cmath>

namespace dv::internal::model {

namespace {

Ref<NSDateFormatter> makeFormatter(const char* format, bool gmt)
{
    auto formatter = alloc<NSDateFormatter>()->init();
    formatter->setLocale(NSLocale::localeWithLocaleIdentifier(NSString::fromUTF8("en_US_POSIX")));
    if (gmt)
        formatter->setTimeZone(NSTimeZone::timeZoneForSecondsFromGMT(0));
    formatter->setDateFormat(NSString::fromUTF8(format));
    return formatter;
}

struct Parsers {
    std::array<Ref<NSDateFormatter>, 33> byLength;
    Ref<NSDateFormatter> blankSeparated; // the length 19 form without a "T"
};

const Parsers& parsers()
{
    static const Parsers table = [] {
        Parsers p;
        p.byLength[10] = makeFormatter("yyyy-MM-dd", true);
        p.byLength[19] = makeFormatter("yyyy-MM-dd'T'HH:mm:ss", true);
        p.blankSeparated = makeFormatter("yyyy-MM-dd HH:mm:ss", true);
        auto zoned = makeFormatter("yyyy-MM-dd'T'HH:mm:ssZ", false);
        p.byLength[20] = p.byLength[24] = p.byLength[25] = zoned;
        p.byLength[30] = makeFormatter("EEE MMM dd HH:mm:ss Z yyyy", false);
        return p;
    }();
    return table;
}

} // namespace

std::optional<double> parseModelDate(std::string_view text)
{
    auto string = NSString::fromUTF8(text);
    NSUInteger length = string->length();
    if (length > 32)
        return std::nullopt;
    const Parsers& table = parsers();
    Ref<NSDateFormatter> parser = table.byLength[length];
    if (length == 19 && string->characterAtIndex(10) != u'T')
        parser = table.blankSeparated;
    if (!parser)
        return std::nullopt;
    auto date = parser->dateFromString(string);
    if (!date)
        return std::nullopt;
    return date->timeIntervalSince1970();
}

std::string formatModelDate(double secondsSince1970)
{
    if (!std::isfinite(secondsSince1970))
        return {};
    static const Ref<NSDateFormatter> formatter = dv::keepingForever([] { return makeFormatter("yyyy-MM-dd'T'HH:mm:ssZ", false); });
    auto text = formatter->stringFromDate(NSDate::dateWithTimeIntervalSince1970(secondsSince1970));
    return text ? text->utf8() : std::string();
}

} // namespace dv::internal::model
