#include "platform/base/NSCalendar.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSLocale.h"
#include "platform/base/NSString.h"
#include "platform/base/NSTimeZone.h"
#include "platform/base/internal/ICUCalendar.h"

#include <unicode/ucal.h>
#include <unicode/uloc.h>

#include <cmath>
#include <optional>
#include <vector>

DV_DEFINE_CLASS(NSCalendar)

namespace {

Ref<NSString> constant(const char* text) { return std::make_shared<NSString>(text); }

} // namespace

const Ref<NSString> NSCalendarIdentifierGregorian = constant("gregorian");
const Ref<NSString> NSCalendarIdentifierISO8601 = constant("iso8601");
const Ref<NSString> NSCalendarIdentifierBuddhist = constant("buddhist");
const Ref<NSString> NSCalendarIdentifierChinese = constant("chinese");
const Ref<NSString> NSCalendarIdentifierJapanese = constant("japanese");
const Ref<NSString> NSCalendarIdentifierRepublicOfChina = constant("roc");
const Ref<NSString> NSCalendarIdentifierHebrew = constant("hebrew");
const Ref<NSString> NSCalendarIdentifierIslamic = constant("islamic");
const Ref<NSString> NSCalendarIdentifierIslamicCivil = constant("islamic-civil");
const Ref<NSString> NSCalendarIdentifierPersian = constant("persian");
const Ref<NSString> NSCalendarIdentifierIndian = constant("indian");
const Ref<NSString> NSCalendarIdentifierCoptic = constant("coptic");
const Ref<NSString> NSCalendarIdentifierEthiopicAmeteMihret = constant("ethiopic");
const Ref<NSString> NSGregorianCalendar = constant("gregorian");

namespace {

using dv::internal::base::CalendarHandle;

bool isKnownIdentifier(const std::string& identifier)
{
    static const char* const known[] = {"gregorian", "iso8601", "buddhist", "chinese", "japanese", "roc", "hebrew",
                                        "islamic", "islamic-civil", "persian", "indian", "coptic", "ethiopic"};
    for (const char* name : known)
        if (identifier == name)
            return true;
    return false;
}

// The ICU field of a unit; nothing for units ICU has no field for (quarter, nanosecond).
std::optional<UCalendarDateFields> fieldOf(NSCalendarUnit unit)
{
    switch (unit) {
    case NSCalendarUnitEra: return UCAL_ERA;
    case NSCalendarUnitYear: return UCAL_YEAR;
    case NSCalendarUnitMonth: return UCAL_MONTH;
    case NSCalendarUnitDay: return UCAL_DATE;
    case NSCalendarUnitHour: return UCAL_HOUR_OF_DAY;
    case NSCalendarUnitMinute: return UCAL_MINUTE;
    case NSCalendarUnitSecond: return UCAL_SECOND;
    case NSCalendarUnitWeekday: return UCAL_DAY_OF_WEEK;
    case NSCalendarUnitWeekdayOrdinal: return UCAL_DAY_OF_WEEK_IN_MONTH;
    case NSCalendarUnitWeekOfMonth: return UCAL_WEEK_OF_MONTH;
    case NSCalendarUnitWeekOfYear: return UCAL_WEEK_OF_YEAR;
    case NSCalendarUnitYearForWeekOfYear: return UCAL_YEAR_WOY;
    default: return std::nullopt;
    }
}

// Nanoseconds of the fraction of a second of a time, to the nearest.
NSInteger nanosecondsOf(NSTimeInterval interval)
{
    double fraction = interval - std::floor(interval);
    auto nanos = static_cast<NSInteger>(std::llround(fraction * 1e9));
    return nanos >= 1000000000 ? 999999999 : nanos;
}

} // namespace

NSCalendar::~NSCalendar() = default;

template <class Work>
auto NSCalendar::withEngine(Work work) const
{
    // A fresh ICU calendar per query: ICU calendars carry state between calls, and the zone may
    // be the default one, which can change between two queries.
    auto zone = timeZone();
    dv::MutexLocker lock(m_mutex);
    CalendarHandle calendar = dv::internal::base::openCalendar(zone->icuID(), m_locale ? m_locale->icuID() : std::string("en_US_POSIX"), icuKind());
    auto* raw = static_cast<UCalendar*>(calendar.get());
    if (raw) {
        if (m_firstWeekday >= 1 && m_firstWeekday <= 7)
            ucal_setAttribute(raw, UCAL_FIRST_DAY_OF_WEEK, static_cast<int32_t>(m_firstWeekday));
        if (m_minimumDaysInFirstWeek >= 1 && m_minimumDaysInFirstWeek <= 7)
            ucal_setAttribute(raw, UCAL_MINIMAL_DAYS_IN_FIRST_WEEK, static_cast<int32_t>(m_minimumDaysInFirstWeek));
    }
    return work(raw);
}

Ref<NSCalendar> NSCalendar::initWithCalendarIdentifier(const Ref<NSString>& identifier)
{
    NSObject::init();
    if (!identifier || !isKnownIdentifier(identifier->utf8()))
        return nil;
    m_identifier = dv::copyAs<NSString>(identifier);
    setLocale(NSLocale::currentLocale());
    return self<NSCalendar>();
}

Ref<NSCalendar> NSCalendar::calendarWithIdentifier(const Ref<NSString>& identifier)
{
    return alloc<NSCalendar>()->initWithCalendarIdentifier(identifier);
}

Ref<NSCalendar> NSCalendar::currentCalendar()
{
    auto locale = NSLocale::currentLocale();
    char kind[ULOC_KEYWORDS_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_getKeywordValue(locale->icuID().c_str(), "calendar", kind, ULOC_KEYWORDS_CAPACITY, &status);
    std::string identifier = U_SUCCESS(status) && length > 0 && length < ULOC_KEYWORDS_CAPACITY ? std::string(kind) : "gregorian";
    auto calendar = calendarWithIdentifier(NSString::fromUTF8(identifier));
    if (!calendar)
        calendar = calendarWithIdentifier(NSCalendarIdentifierGregorian);
    calendar->setLocale(locale);
    return calendar;
}

Ref<NSCalendar> NSCalendar::autoupdatingCurrentCalendar() { return currentCalendar(); }

std::string NSCalendar::icuKind() const { return m_identifier ? m_identifier->utf8() : std::string("gregorian"); }

Ref<NSLocale> NSCalendar::locale() const
{
    dv::MutexLocker lock(m_mutex);
    return m_locale;
}

void NSCalendar::setLocale(const Ref<NSLocale>& locale)
{
    dv::MutexLocker lock(m_mutex);
    m_locale = locale ? locale : NSLocale::currentLocale();
}

Ref<NSTimeZone> NSCalendar::timeZone() const
{
    {
        dv::MutexLocker lock(m_mutex);
        if (m_timeZone)
            return m_timeZone;
    }
    return NSTimeZone::defaultTimeZone();
}

void NSCalendar::setTimeZone(const Ref<NSTimeZone>& timeZone)
{
    dv::MutexLocker lock(m_mutex);
    m_timeZone = timeZone;
}

NSUInteger NSCalendar::firstWeekday() const
{
    return withEngine([](UCalendar* calendar) -> NSUInteger {
        return calendar ? static_cast<NSUInteger>(ucal_getAttribute(calendar, UCAL_FIRST_DAY_OF_WEEK)) : 1;
    });
}

void NSCalendar::setFirstWeekday(NSUInteger weekday)
{
    dv::MutexLocker lock(m_mutex);
    m_firstWeekday = weekday;
}

NSUInteger NSCalendar::minimumDaysInFirstWeek() const
{
    return withEngine([](UCalendar* calendar) -> NSUInteger {
        return calendar ? static_cast<NSUInteger>(ucal_getAttribute(calendar, UCAL_MINIMAL_DAYS_IN_FIRST_WEEK)) : 1;
    });
}

void NSCalendar::setMinimumDaysInFirstWeek(NSUInteger days)
{
    dv::MutexLocker lock(m_mutex);
    m_minimumDaysInFirstWeek = days;
}

namespace {

// Reads the requested fields of the calendar's current time into `components`.
void readFields(UCalendar* calendar, NSCalendarUnit units, NSTimeInterval interval, NSDateComponents& components)
{
    UErrorCode status = U_ZERO_ERROR;
    for (NSCalendarUnit unit : NSDateComponents::kUnits) {
        if (!(units & unit))
            continue;
        if (unit == NSCalendarUnitNanosecond) {
            components.setNanosecond(nanosecondsOf(interval));
        } else if (unit == NSCalendarUnitQuarter) {
            components.setQuarter(ucal_get(calendar, UCAL_MONTH, &status) / 3 + 1);
        } else if (auto field = fieldOf(unit)) {
            NSInteger value = ucal_get(calendar, *field, &status);
            components.setValueForComponent(unit == NSCalendarUnitMonth ? value + 1 : value, unit);
        }
    }
    if (units & NSCalendarUnitMonth)
        components.setLeapMonth(ucal_get(calendar, UCAL_IS_LEAP_MONTH, &status) != 0);
}

} // namespace

Ref<NSDateComponents> NSCalendar::components(NSCalendarUnit units, const Ref<NSDate>& date) const
{
    if (!date)
        return nil;
    auto result = alloc<NSDateComponents>()->init();
    NSTimeInterval interval = date->timeIntervalSinceReferenceDate();
    withEngine([&](UCalendar* calendar) {
        if (!calendar)
            return 0;
        UErrorCode status = U_ZERO_ERROR;
        ucal_setMillis(calendar, dv::internal::base::udateFromInterval(interval), &status);
        readFields(calendar, units, interval, *result);
        return 0;
    });
    if (units & NSCalendarUnitCalendar)
        result->setCalendar(dv::copyAs<NSCalendar>(std::const_pointer_cast<NSObject>(shared_from_this())));
    if (units & NSCalendarUnitTimeZone)
        result->setTimeZone(timeZone());
    return result;
}

NSInteger NSCalendar::component(NSCalendarUnit unit, const Ref<NSDate>& date) const
{
    auto parts = components(unit, date);
    return parts ? parts->valueForComponent(unit) : NSDateComponentUndefined;
}

Ref<NSDateComponents> NSCalendar::components(NSCalendarUnit units, const Ref<NSDate>& from, const Ref<NSDate>& to, NSCalendarOptions) const
{
    if (!from || !to)
        return nil;
    auto result = alloc<NSDateComponents>()->init();
    withEngine([&](UCalendar* calendar) {
        if (!calendar)
            return 0;
        UErrorCode status = U_ZERO_ERROR;
        double start = dv::internal::base::udateFromInterval(from->timeIntervalSinceReferenceDate());
        double target = dv::internal::base::udateFromInterval(to->timeIntervalSinceReferenceDate());
        ucal_setMillis(calendar, start, &status);
        // Each unit, largest first, takes as much of the span as it can; the calendar moves on
        // by that much and the smaller units share the rest.
        static constexpr std::pair<NSCalendarUnit, UCalendarDateFields> order[] = {
            {NSCalendarUnitEra, UCAL_ERA}, {NSCalendarUnitYear, UCAL_YEAR}, {NSCalendarUnitMonth, UCAL_MONTH},
            {NSCalendarUnitWeekOfYear, UCAL_WEEK_OF_YEAR}, {NSCalendarUnitWeekOfMonth, UCAL_WEEK_OF_MONTH},
            {NSCalendarUnitDay, UCAL_DATE}, {NSCalendarUnitHour, UCAL_HOUR_OF_DAY}, {NSCalendarUnitMinute, UCAL_MINUTE},
            {NSCalendarUnitSecond, UCAL_SECOND},
        };
        for (const auto& [unit, field] : order) {
            if (!(units & unit))
                continue;
            status = U_ZERO_ERROR;
            int32_t difference = ucal_getFieldDifference(calendar, target, field, &status);
            result->setValueForComponent(U_SUCCESS(status) ? difference : 0, unit);
        }
        if (units & NSCalendarUnitNanosecond) {
            status = U_ZERO_ERROR;
            double reached = ucal_getMillis(calendar, &status);
            double rest = to->timeIntervalSinceReferenceDate() - dv::internal::base::intervalFromUDate(reached);
            result->setNanosecond(static_cast<NSInteger>(std::llround(rest * 1e9)));
        }
        return 0;
    });
    return result;
}

Ref<NSDate> NSCalendar::dateFromComponents(const Ref<NSDateComponents>& components) const
{
    if (!components)
        return nil;
    std::optional<NSTimeInterval> interval;
    auto zone = components->timeZone();
    withEngine([&](UCalendar* calendar) {
        if (!calendar)
            return 0;
        UErrorCode status = U_ZERO_ERROR;
        if (zone)
            ucal_setTimeZone(calendar, zone->icuID().data(), static_cast<int32_t>(zone->icuID().size()), &status);
        ucal_clear(calendar);
        auto defined = [&](NSCalendarUnit unit) { return components->valueForComponent(unit) != NSDateComponentUndefined; };
        // Unset fields take their smallest value: year 1 of the current era, not ICU's 1970.
        if (!defined(NSCalendarUnitYear) && !defined(NSCalendarUnitYearForWeekOfYear))
            ucal_set(calendar, UCAL_YEAR, 1);
        if (!defined(NSCalendarUnitMonth) && defined(NSCalendarUnitQuarter))
            ucal_set(calendar, UCAL_MONTH, static_cast<int32_t>((components->quarter() - 1) * 3));
        for (NSCalendarUnit unit : NSDateComponents::kUnits) {
            auto field = fieldOf(unit);
            if (!field || !defined(unit))
                continue;
            NSInteger value = components->valueForComponent(unit);
            ucal_set(calendar, *field, static_cast<int32_t>(unit == NSCalendarUnitMonth ? value - 1 : value));
        }
        if (components->isLeapMonth())
            ucal_set(calendar, UCAL_IS_LEAP_MONTH, 1);
        double millis = ucal_getMillis(calendar, &status);
        if (U_FAILURE(status))
            return 0;
        NSTimeInterval result = dv::internal::base::intervalFromUDate(millis);
        if (defined(NSCalendarUnitNanosecond))
            result += static_cast<double>(components->nanosecond()) / 1e9;
        interval = result;
        return 0;
    });
    return interval ? NSDate::dateWithTimeIntervalSinceReferenceDate(*interval) : nil;
}

Ref<NSDate> NSCalendar::dateByAddingComponents(const Ref<NSDateComponents>& components, const Ref<NSDate>& date, NSCalendarOptions options) const
{
    if (!components || !date)
        return nil;
    std::optional<NSTimeInterval> interval;
    withEngine([&](UCalendar* calendar) {
        if (!calendar)
            return 0;
        UErrorCode status = U_ZERO_ERROR;
        NSTimeInterval start = date->timeIntervalSinceReferenceDate();
        // Whole milliseconds go through ICU; the finer rest of the date is kept as it was.
        double millis = dv::internal::base::udateFromInterval(start);
        double whole = std::floor(millis);
        ucal_setMillis(calendar, whole, &status);
        for (NSCalendarUnit unit : NSDateComponents::kUnits) {
            NSInteger amount = components->valueForComponent(unit);
            if (amount == NSDateComponentUndefined || amount == 0 || unit == NSCalendarUnitNanosecond)
                continue;
            UCalendarDateFields field;
            if (unit == NSCalendarUnitQuarter) {
                field = UCAL_MONTH;
                amount *= 3;
            } else if (unit == NSCalendarUnitWeekday || unit == NSCalendarUnitWeekdayOrdinal) {
                field = unit == NSCalendarUnitWeekday ? UCAL_DATE : UCAL_WEEK_OF_YEAR;
            } else if (auto f = fieldOf(unit)) {
                field = *f;
            } else {
                continue;
            }
            if (options & NSCalendarWrapComponents)
                ucal_roll(calendar, field, static_cast<int32_t>(amount), &status);
            else
                ucal_add(calendar, field, static_cast<int32_t>(amount), &status);
        }
        double reached = ucal_getMillis(calendar, &status);
        if (U_FAILURE(status))
            return 0;
        NSTimeInterval result = dv::internal::base::intervalFromUDate(reached) + (millis - whole) / 1000.0;
        NSInteger nanos = components->nanosecond();
        if (nanos != NSDateComponentUndefined)
            result += static_cast<double>(nanos) / 1e9;
        interval = result;
        return 0;
    });
    return interval ? NSDate::dateWithTimeIntervalSinceReferenceDate(*interval) : nil;
}

Ref<NSDate> NSCalendar::dateByAddingUnit(NSCalendarUnit unit, NSInteger value, const Ref<NSDate>& date, NSCalendarOptions options) const
{
    auto components = alloc<NSDateComponents>()->init();
    components->setValueForComponent(value, unit);
    return dateByAddingComponents(components, date, options);
}

Ref<NSDate> NSCalendar::dateWithEra(NSInteger era, NSInteger year, NSInteger month, NSInteger day, NSInteger hour, NSInteger minute,
                                    NSInteger second, NSInteger nanosecond) const
{
    auto components = alloc<NSDateComponents>()->init();
    components->setEra(era);
    components->setYear(year);
    components->setMonth(month);
    components->setDay(day);
    components->setHour(hour);
    components->setMinute(minute);
    components->setSecond(second);
    components->setNanosecond(nanosecond);
    return dateFromComponents(components);
}

Ref<NSDate> NSCalendar::dateBySettingHour(NSInteger hour, NSInteger minute, NSInteger second, const Ref<NSDate>& date, NSCalendarOptions) const
{
    auto parts = components(NSCalendarUnitEra | NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay, date);
    if (!parts)
        return nil;
    parts->setHour(hour);
    parts->setMinute(minute);
    parts->setSecond(second);
    return dateFromComponents(parts);
}

Ref<NSDate> NSCalendar::startOfDayForDate(const Ref<NSDate>& date) const { return dateBySettingHour(0, 0, 0, date, 0); }

bool NSCalendar::isDateInSameDayAsDate(const Ref<NSDate>& date, const Ref<NSDate>& other) const
{
    return date && other && compareDate(date, other, NSCalendarUnitDay) == NSOrderedSame;
}

bool NSCalendar::isDateInToday(const Ref<NSDate>& date) const { return isDateInSameDayAsDate(date, NSDate::date()); }

bool NSCalendar::isDateInYesterday(const Ref<NSDate>& date) const
{
    return isDateInSameDayAsDate(date, dateByAddingUnit(NSCalendarUnitDay, -1, NSDate::date(), 0));
}

bool NSCalendar::isDateInTomorrow(const Ref<NSDate>& date) const
{
    return isDateInSameDayAsDate(date, dateByAddingUnit(NSCalendarUnitDay, 1, NSDate::date(), 0));
}

bool NSCalendar::isDateInWeekend(const Ref<NSDate>& date) const
{
    if (!date)
        return false;
    return withEngine([&](UCalendar* calendar) {
        UErrorCode status = U_ZERO_ERROR;
        return calendar && ucal_isWeekend(calendar, dv::internal::base::udateFromInterval(date->timeIntervalSinceReferenceDate()), &status)
            && U_SUCCESS(status);
    });
}

NSComparisonResult NSCalendar::compareDate(const Ref<NSDate>& date, const Ref<NSDate>& other, NSCalendarUnit unit) const
{
    NSTimeInterval a = date ? date->timeIntervalSinceReferenceDate() : 0;
    NSTimeInterval b = other ? other->timeIntervalSinceReferenceDate() : 0;
    // The fields that must agree, largest first, down to the granularity.
    std::vector<UCalendarDateFields> fields;
    if (unit == NSCalendarUnitWeekOfYear || unit == NSCalendarUnitWeekOfMonth || unit == NSCalendarUnitYearForWeekOfYear) {
        fields = {UCAL_ERA, UCAL_YEAR_WOY};
        if (unit != NSCalendarUnitYearForWeekOfYear)
            fields.push_back(UCAL_WEEK_OF_YEAR);
    } else {
        const std::pair<NSCalendarUnit, UCalendarDateFields> order[] = {
            {NSCalendarUnitEra, UCAL_ERA}, {NSCalendarUnitYear, UCAL_YEAR}, {NSCalendarUnitMonth, UCAL_MONTH},
            {NSCalendarUnitDay, UCAL_DATE}, {NSCalendarUnitHour, UCAL_HOUR_OF_DAY}, {NSCalendarUnitMinute, UCAL_MINUTE},
            {NSCalendarUnitSecond, UCAL_SECOND},
        };
        NSCalendarUnit target = unit == NSCalendarUnitWeekday || unit == NSCalendarUnitWeekdayOrdinal ? NSCalendarUnitDay
            : unit == NSCalendarUnitQuarter                                                          ? NSCalendarUnitYear
                                                                                                     : unit;
        for (const auto& [u, field] : order) {
            fields.push_back(field);
            if (u == target)
                break;
        }
        if (unit == NSCalendarUnitNanosecond)
            return a < b ? NSOrderedAscending : a > b ? NSOrderedDescending : NSOrderedSame;
    }
    auto read = [&](UCalendar* calendar, NSTimeInterval when) {
        std::vector<int32_t> values;
        UErrorCode status = U_ZERO_ERROR;
        ucal_setMillis(calendar, dv::internal::base::udateFromInterval(when), &status);
        for (auto field : fields)
            values.push_back(ucal_get(calendar, field, &status));
        if (unit == NSCalendarUnitQuarter)
            values.push_back(ucal_get(calendar, UCAL_MONTH, &status) / 3);
        return values;
    };
    return withEngine([&](UCalendar* calendar) {
        if (!calendar)
            return NSOrderedSame;
        auto left = read(calendar, a), right = read(calendar, b);
        return left < right ? NSOrderedAscending : left > right ? NSOrderedDescending : NSOrderedSame;
    });
}

NSRange NSCalendar::rangeOfUnit(NSCalendarUnit smaller, NSCalendarUnit larger, const Ref<NSDate>& date) const
{
    constexpr NSRange none {static_cast<NSUInteger>(NSNotFound), 0};
    if (!date)
        return none;
    std::optional<UCalendarDateFields> field;
    NSInteger shift = 0;
    if (smaller == NSCalendarUnitDay && larger == NSCalendarUnitMonth)
        field = UCAL_DATE;
    else if (smaller == NSCalendarUnitDay && larger == NSCalendarUnitYear)
        field = UCAL_DAY_OF_YEAR;
    else if (smaller == NSCalendarUnitMonth && larger == NSCalendarUnitYear)
        field = UCAL_MONTH, shift = 1;
    else if (smaller == NSCalendarUnitHour && larger == NSCalendarUnitDay)
        field = UCAL_HOUR_OF_DAY;
    else if (smaller == NSCalendarUnitMinute && larger == NSCalendarUnitHour)
        field = UCAL_MINUTE;
    else if (smaller == NSCalendarUnitSecond && larger == NSCalendarUnitMinute)
        field = UCAL_SECOND;
    else if (smaller == NSCalendarUnitWeekday && (larger == NSCalendarUnitWeekOfYear || larger == NSCalendarUnitWeekOfMonth))
        field = UCAL_DAY_OF_WEEK;
    else if (smaller == NSCalendarUnitWeekOfYear && larger == NSCalendarUnitYear)
        field = UCAL_WEEK_OF_YEAR;
    else if (smaller == NSCalendarUnitWeekOfMonth && larger == NSCalendarUnitMonth)
        field = UCAL_WEEK_OF_MONTH;
    if (!field)
        return none;
    return withEngine([&](UCalendar* calendar) -> NSRange {
        if (!calendar)
            return none;
        UErrorCode status = U_ZERO_ERROR;
        ucal_setMillis(calendar, dv::internal::base::udateFromInterval(date->timeIntervalSinceReferenceDate()), &status);
        NSInteger low = ucal_getLimit(calendar, *field, UCAL_ACTUAL_MINIMUM, &status) + shift;
        NSInteger high = ucal_getLimit(calendar, *field, UCAL_ACTUAL_MAXIMUM, &status) + shift;
        if (U_FAILURE(status) || high < low)
            return none;
        return NSMakeRange(static_cast<NSUInteger>(low), static_cast<NSUInteger>(high - low + 1));
    });
}

Ref<NSString> NSCalendar::description() const
{
    return NSString::stringWithFormat("<NSCalendar %@, %@, %@>", m_identifier, timeZone()->name(), locale());
}

bool NSCalendar::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* calendar = dynamic_cast<const NSCalendar*>(other);
    return calendar && calendar->m_identifier->isEqualToString(m_identifier) && dv::equal(calendar->timeZone(), timeZone())
        && dv::equal(calendar->locale(), locale()) && calendar->firstWeekday() == firstWeekday()
        && calendar->minimumDaysInFirstWeek() == minimumDaysInFirstWeek();
}

NSUInteger NSCalendar::hash() const { return m_identifier->hash(); }

id NSCalendar::copyWithZone(NSZone*) const
{
    auto copy = alloc<NSCalendar>();
    copy->NSObject::init();
    dv::MutexLocker lock(m_mutex);
    dv::MutexLocker copyLock(copy->m_mutex); // a new object: no other thread knows it
    copy->m_identifier = m_identifier;
    copy->m_locale = m_locale;
    copy->m_timeZone = m_timeZone;
    copy->m_firstWeekday = m_firstWeekday;
    copy->m_minimumDaysInFirstWeek = m_minimumDaysInFirstWeek;
    return copy;
}
