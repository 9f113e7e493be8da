#include "platform/base/NSTimeZone.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/FormatErrors.h"
#include "platform/base/internal/ICUCalendar.h"
#include "platform/base/internal/Utf.h"

#include <unicode/ucal.h>
#include <unicode/udat.h>
#include <unicode/uenum.h>

#include <cmath>
#include <cstdio>

DV_DEFINE_CLASS(NSTimeZone)

namespace {

dv::Mutex s_zonesMutex;
dv::Uncounted<NSTimeZone> s_systemZone DV_GUARDED_BY(s_zonesMutex); // read once, kept (not counted) until reset
Ref<NSTimeZone> s_defaultZone DV_GUARDED_BY(s_zonesMutex);

Ref<NSString> fromUChars(std::u16string_view text) { return NSString::fromUTF8(dv::internal::base::utf16ToUtf8(text)); }

} // namespace

bool NSTimeZone::setUp(const Ref<NSString>& name)
{
    if (!name || name->length() == 0)
        return false;
    std::u16string id = name->utf16();
    if (dv::internal::base::canonicalZoneID(id).empty())
        return false;
    m_name = dv::copyAs<NSString>(name);
    m_icuID = std::move(id);
    return true;
}

Ref<NSTimeZone> NSTimeZone::initWithName(const Ref<NSString>& name)
{
    NSObject::init();
    return setUp(name) ? self<NSTimeZone>() : nil;
}

Ref<NSTimeZone> NSTimeZone::timeZoneWithName(const Ref<NSString>& name) { return alloc<NSTimeZone>()->initWithName(name); }

Ref<NSTimeZone> NSTimeZone::timeZoneWithAbbreviation(const Ref<NSString>& abbreviation)
{
    // The platform's abbreviation table, for the names it lists.
    static const std::pair<const char*, const char*> table[] = {
        {"GMT", "GMT"}, {"UTC", "UTC"}, {"EST", "America/New_York"}, {"EDT", "America/New_York"},
        {"CST", "America/Chicago"}, {"CDT", "America/Chicago"}, {"MST", "America/Denver"}, {"MDT", "America/Denver"},
        {"PST", "America/Los_Angeles"}, {"PDT", "America/Los_Angeles"}, {"AKST", "America/Juneau"}, {"AKDT", "America/Juneau"},
        {"HST", "Pacific/Honolulu"}, {"HKT", "Asia/Hong_Kong"}, {"JST", "Asia/Tokyo"}, {"KST", "Asia/Seoul"},
        {"SGT", "Asia/Singapore"}, {"PHT", "Asia/Manila"}, {"ICT", "Asia/Bangkok"}, {"WIT", "Asia/Jakarta"},
        {"IST", "Asia/Calcutta"}, {"PKT", "Asia/Karachi"}, {"GST", "Asia/Dubai"}, {"IRST", "Asia/Tehran"},
        {"MSK", "Europe/Moscow"}, {"MSD", "Europe/Moscow"}, {"EET", "Europe/Istanbul"}, {"EEST", "Europe/Istanbul"},
        {"CET", "Europe/Paris"}, {"CEST", "Europe/Paris"}, {"WET", "Europe/Lisbon"}, {"WEST", "Europe/Lisbon"},
        {"BST", "Europe/London"}, {"ART", "America/Argentina/Buenos_Aires"}, {"BRT", "America/Sao_Paulo"},
        {"BRST", "America/Sao_Paulo"}, {"CLT", "America/Santiago"}, {"CLST", "America/Santiago"}, {"COT", "America/Bogota"},
        {"PET", "America/Lima"}, {"ADT", "America/Halifax"}, {"AST", "America/Halifax"}, {"NZST", "Pacific/Auckland"},
        {"NZDT", "Pacific/Auckland"}, {"EAT", "Africa/Addis_Ababa"}, {"WAT", "Africa/Lagos"}, {"CAT", "Africa/Harare"},
        {"BDT", "Asia/Dhaka"}, {"TRT", "Europe/Istanbul"},
    };
    if (!abbreviation)
        return nil;
    for (const auto& [abbr, name] : table)
        if (abbreviation->isEqualToString(std::string_view(abbr)))
            return timeZoneWithName(NSString::fromUTF8(name));
    return nil;
}

Ref<NSTimeZone> NSTimeZone::timeZoneForSecondsFromGMT(NSInteger seconds)
{
    if (seconds < -18 * 3600 || seconds > 18 * 3600)
        return nil;
    auto zone = alloc<NSTimeZone>();
    zone->NSObject::init();
    NSInteger magnitude = seconds < 0 ? -seconds : seconds;
    char sign = seconds < 0 ? '-' : '+';
    char name[32], id[32];
    if (seconds == 0) {
        std::snprintf(name, sizeof name, "GMT");
        std::snprintf(id, sizeof id, "GMT");
    } else if (magnitude % 60 == 0) {
        std::snprintf(name, sizeof name, "GMT%c%02lld%02lld", sign, static_cast<long long>(magnitude / 3600), static_cast<long long>(magnitude / 60 % 60));
        std::snprintf(id, sizeof id, "GMT%c%02lld:%02lld", sign, static_cast<long long>(magnitude / 3600), static_cast<long long>(magnitude / 60 % 60));
    } else {
        std::snprintf(name, sizeof name, "GMT%c%02lld%02lld%02lld", sign, static_cast<long long>(magnitude / 3600),
                      static_cast<long long>(magnitude / 60 % 60), static_cast<long long>(magnitude % 60));
        std::snprintf(id, sizeof id, "GMT%c%02lld:%02lld:%02lld", sign, static_cast<long long>(magnitude / 3600),
                      static_cast<long long>(magnitude / 60 % 60), static_cast<long long>(magnitude % 60));
    }
    zone->m_name = NSString::fromUTF8(name);
    zone->m_icuID = dv::internal::base::utf8ToUtf16(id);
    return zone;
}

Ref<NSTimeZone> NSTimeZone::systemTimeZone()
{
    dv::MutexLocker lock(s_zonesMutex);
    if (!s_systemZone.get()) {
        s_systemZone.make([] {
            auto zone = timeZoneWithName(fromUChars(dv::internal::base::hostZoneID()));
            return zone ? zone : timeZoneForSecondsFromGMT(0);
        });
    }
    return s_systemZone.get();
}

void NSTimeZone::resetSystemTimeZone()
{
    dv::MutexLocker lock(s_zonesMutex);
    s_systemZone.reset();
}

Ref<NSTimeZone> NSTimeZone::defaultTimeZone()
{
    {
        dv::MutexLocker lock(s_zonesMutex);
        if (s_defaultZone)
            return s_defaultZone;
    }
    return systemTimeZone();
}

void NSTimeZone::setDefaultTimeZone(const Ref<NSTimeZone>& zone)
{
    dv::MutexLocker lock(s_zonesMutex);
    s_defaultZone = zone;
}

Ref<NSTimeZone> NSTimeZone::localTimeZone() { return defaultTimeZone(); }

Ref<NSArray> NSTimeZone::knownTimeZoneNames()
{
    auto names = NSMutableArray::array();
    UErrorCode status = U_ZERO_ERROR;
    UEnumeration* zones = ucal_openTimeZoneIDEnumeration(UCAL_ZONE_TYPE_CANONICAL_LOCATION, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return names;
    int32_t length = 0;
    while (const char* id = uenum_next(zones, &length, &status)) {
        if (U_FAILURE(status))
            break;
        names->addObject(NSString::fromUTF8(std::string_view(id, static_cast<std::size_t>(length))));
    }
    uenum_close(zones);
    return names;
}

std::pair<double, double> NSTimeZone::offsetsAt(NSTimeInterval sinceReferenceDate) const
{
    auto handle = dv::internal::base::openCalendar(m_icuID, "en_US_POSIX", "gregorian");
    auto* calendar = static_cast<UCalendar*>(handle.get());
    if (!calendar)
        return {0, 0};
    UErrorCode status = U_ZERO_ERROR;
    ucal_setMillis(calendar, dv::internal::base::udateFromInterval(sinceReferenceDate), &status);
    double zone = ucal_get(calendar, UCAL_ZONE_OFFSET, &status);
    double dst = ucal_get(calendar, UCAL_DST_OFFSET, &status);
    return U_SUCCESS(status) ? std::pair {zone, dst} : std::pair {0.0, 0.0};
}

NSInteger NSTimeZone::secondsFromGMT() const { return secondsFromGMTForDate(NSDate::date()); }

NSInteger NSTimeZone::secondsFromGMTForDate(const Ref<NSDate>& date) const
{
    auto [zone, dst] = offsetsAt(date ? date->timeIntervalSinceReferenceDate() : NSDate::now());
    return static_cast<NSInteger>(std::llround((zone + dst) / 1000.0));
}

Ref<NSString> NSTimeZone::abbreviation() const { return abbreviationForDate(NSDate::date()); }

Ref<NSString> NSTimeZone::abbreviationForDate(const Ref<NSDate>& date) const
{
    static const std::u16string pattern = u"z";
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* format = udat_open(UDAT_PATTERN, UDAT_PATTERN, "en_US", m_icuID.data(), static_cast<int32_t>(m_icuID.size()),
                                    pattern.data(), static_cast<int32_t>(pattern.size()), &status);
    if (U_FAILURE(status))
        return nil;
    UChar buffer[64];
    double when = dv::internal::base::udateFromInterval(date ? date->timeIntervalSinceReferenceDate() : NSDate::now());
    int32_t length = udat_format(format, when, buffer, 64, nullptr, &status);
    udat_close(format);
    if (U_FAILURE(status) || length <= 0 || length > 64)
        return nil;
    return fromUChars(std::u16string_view(buffer, static_cast<std::size_t>(length)));
}

bool NSTimeZone::isDaylightSavingTime() const { return isDaylightSavingTimeForDate(NSDate::date()); }
bool NSTimeZone::isDaylightSavingTimeForDate(const Ref<NSDate>& date) const { return daylightSavingTimeOffsetForDate(date) != 0; }
NSTimeInterval NSTimeZone::daylightSavingTimeOffset() const { return daylightSavingTimeOffsetForDate(NSDate::date()); }

NSTimeInterval NSTimeZone::daylightSavingTimeOffsetForDate(const Ref<NSDate>& date) const
{
    return offsetsAt(date ? date->timeIntervalSinceReferenceDate() : NSDate::now()).second / 1000.0;
}

bool NSTimeZone::isEqualToTimeZone(const Ref<NSTimeZone>& other) const { return other && isEqual(other.get()); }

bool NSTimeZone::isEqual(const NSObject* other) const
{
    auto* zone = dynamic_cast<const NSTimeZone*>(other);
    return zone && zone->m_name->isEqualToString(m_name);
}

NSUInteger NSTimeZone::hash() const { return m_name->hash(); }

Ref<NSString> NSTimeZone::description() const
{
    auto abbreviation = abbreviationForDate(NSDate::date());
    return NSString::stringWithFormat("%@ (%@) offset %ld", m_name, abbreviation, static_cast<long>(secondsFromGMT()));
}

id NSTimeZone::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSObject>(shared_from_this()); }

void NSTimeZone::encodeWithCoder(NSCoder& coder) const { coder.encodeObject(m_name, "NS.name"_ns); }

id NSTimeZone::initWithCoder(NSCoder& coder)
{
    NSObject::init();
    auto name = coder.decodeObjectOfClass<NSString>("NS.name"_ns);
    if (coder.error())
        return nil;
    if (!setUp(name)) {
        coder.failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderReadCorruptError,
                                                               "The archived time zone \"" + dv::str(name) + "\" is unknown."));
        return nil;
    }
    return self<NSTimeZone>();
}
