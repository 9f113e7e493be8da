#include "platform/base/NSDateComponents.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCalendar.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/base/NSTimeZone.h"

DV_DEFINE_CLASS(NSDateComponents)

std::size_t NSDateComponents::slotOf(NSCalendarUnit unit)
{
    for (std::size_t i = 0; i < kUnits.size(); ++i)
        if (kUnits[i] == unit)
            return i;
    return kUnits.size();
}

NSInteger NSDateComponents::valueForComponent(NSCalendarUnit unit) const
{
    std::size_t slot = slotOf(unit);
    return slot < m_values.size() ? m_values[slot] : NSDateComponentUndefined;
}

void NSDateComponents::setValueForComponent(NSInteger value, NSCalendarUnit unit)
{
    std::size_t slot = slotOf(unit);
    if (slot < m_values.size())
        m_values[slot] = value;
}

void NSDateComponents::setCalendar(const Ref<NSCalendar>& calendar) { m_calendar = dv::copyAs<NSCalendar>(calendar); }

Ref<NSDate> NSDateComponents::date() const
{
    if (!m_calendar)
        return nil;
    auto calendar = m_calendar;
    if (m_timeZone) {
        calendar = dv::copyAs<NSCalendar>(m_calendar);
        calendar->setTimeZone(m_timeZone);
    }
    auto fields = dv::copyAs<NSDateComponents>(std::const_pointer_cast<NSObject>(shared_from_this()));
    return calendar->dateFromComponents(fields);
}

bool NSDateComponents::isValidDate() const { return isValidDateInCalendar(m_calendar); }

bool NSDateComponents::isValidDateInCalendar(const Ref<NSCalendar>& calendar) const
{
    if (!calendar)
        return false;
    auto fields = dv::copyAs<NSDateComponents>(std::const_pointer_cast<NSObject>(shared_from_this()));
    auto resolved = calendar->dateFromComponents(fields);
    if (!resolved)
        return false;
    // Valid when splitting the date again gives back every field that was set.
    NSCalendarUnit units = 0;
    for (NSCalendarUnit unit : kUnits)
        if (valueForComponent(unit) != NSDateComponentUndefined)
            units |= unit;
    auto check = calendar;
    if (m_timeZone) {
        check = dv::copyAs<NSCalendar>(calendar);
        check->setTimeZone(m_timeZone);
    }
    auto again = check->components(units, resolved);
    for (NSCalendarUnit unit : kUnits) {
        NSInteger value = valueForComponent(unit);
        if (value == NSDateComponentUndefined || unit == NSCalendarUnitNanosecond)
            continue;
        if (again->valueForComponent(unit) != value)
            return false;
    }
    return true;
}

Ref<NSString> NSDateComponents::description() const
{
    static const std::pair<NSCalendarUnit, const char*> names[] = {
        {NSCalendarUnitEra, "Era"}, {NSCalendarUnitYear, "Calendar Year"}, {NSCalendarUnitMonth, "Month"},
        {NSCalendarUnitDay, "Day"}, {NSCalendarUnitHour, "Hour"}, {NSCalendarUnitMinute, "Minute"},
        {NSCalendarUnitSecond, "Second"}, {NSCalendarUnitNanosecond, "Nanosecond"}, {NSCalendarUnitWeekday, "Weekday"},
        {NSCalendarUnitWeekdayOrdinal, "Weekday Ordinal"}, {NSCalendarUnitQuarter, "Quarter"},
        {NSCalendarUnitWeekOfMonth, "Week of Month"}, {NSCalendarUnitWeekOfYear, "Week of Year"},
        {NSCalendarUnitYearForWeekOfYear, "Year for Week of Year"},
    };
    std::string out = "<NSDateComponents>";
    if (m_calendar)
        out += "\n    Calendar: " + dv::str(m_calendar->calendarIdentifier());
    if (m_timeZone)
        out += "\n    TimeZone: " + dv::str(m_timeZone->name());
    for (const auto& [unit, name] : names) {
        NSInteger value = valueForComponent(unit);
        if (value != NSDateComponentUndefined)
            out += std::string("\n    ") + name + ": " + std::to_string(value);
    }
    if (m_leapMonth)
        out += "\n    Leap Month: 1";
    return NSString::fromUTF8(out);
}

bool NSDateComponents::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto* that = dynamic_cast<const NSDateComponents*>(other);
    return that && that->m_values == m_values && that->m_leapMonth == m_leapMonth && dv::equal(that->m_calendar, m_calendar)
        && dv::equal(that->m_timeZone, m_timeZone);
}

NSUInteger NSDateComponents::hash() const
{
    NSUInteger h = m_leapMonth;
    for (NSInteger value : m_values)
        h = h * 31 + static_cast<NSUInteger>(value);
    return h;
}

id NSDateComponents::copyWithZone(NSZone*) const
{
    auto copy = alloc<NSDateComponents>()->init();
    copy->m_calendar = m_calendar;
    copy->m_timeZone = m_timeZone;
    copy->m_values = m_values;
    copy->m_leapMonth = m_leapMonth;
    return copy;
}
