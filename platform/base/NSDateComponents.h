// NSDateComponents: the fields of a date (era, year, month, day, hour, ...) as a calendar splits
// it or as a caller assembles one; a field never set reads NSDateComponentUndefined. A plain
// value holder owned by one thread at a time.
//
//   auto parts = NSCalendar::currentCalendar()->components(NSCalendarUnitYear | NSCalendarUnitMonth, date);
//   parts->year(); parts->month();
#pragma once

#include "platform/base/NSObject.h"

#include <array>

class NSCalendar;
class NSTimeZone;

inline constexpr NSInteger NSDateComponentUndefined = NSIntegerMax;
inline constexpr NSInteger NSUndefinedDateComponent = NSDateComponentUndefined;

using NSCalendarUnit = NSUInteger;
enum : NSCalendarUnit {
    NSCalendarUnitEra = 1UL << 1,
    NSCalendarUnitYear = 1UL << 2,
    NSCalendarUnitMonth = 1UL << 3,
    NSCalendarUnitDay = 1UL << 4,
    NSCalendarUnitHour = 1UL << 5,
    NSCalendarUnitMinute = 1UL << 6,
    NSCalendarUnitSecond = 1UL << 7,
    NSCalendarUnitWeekday = 1UL << 9,
    NSCalendarUnitWeekdayOrdinal = 1UL << 10,
    NSCalendarUnitQuarter = 1UL << 11,
    NSCalendarUnitWeekOfMonth = 1UL << 12,
    NSCalendarUnitWeekOfYear = 1UL << 13,
    NSCalendarUnitYearForWeekOfYear = 1UL << 14,
    NSCalendarUnitNanosecond = 1UL << 15,
    NSCalendarUnitCalendar = 1UL << 20,
    NSCalendarUnitTimeZone = 1UL << 21,
    // The older names of the same units.
    NSEraCalendarUnit = NSCalendarUnitEra,
    NSYearCalendarUnit = NSCalendarUnitYear,
    NSMonthCalendarUnit = NSCalendarUnitMonth,
    NSDayCalendarUnit = NSCalendarUnitDay,
    NSHourCalendarUnit = NSCalendarUnitHour,
    NSMinuteCalendarUnit = NSCalendarUnitMinute,
    NSSecondCalendarUnit = NSCalendarUnitSecond,
    NSWeekdayCalendarUnit = NSCalendarUnitWeekday,
    NSWeekdayOrdinalCalendarUnit = NSCalendarUnitWeekdayOrdinal,
    NSQuarterCalendarUnit = NSCalendarUnitQuarter,
    NSWeekOfMonthCalendarUnit = NSCalendarUnitWeekOfMonth,
    NSWeekOfYearCalendarUnit = NSCalendarUnitWeekOfYear,
    NSYearForWeekOfYearCalendarUnit = NSCalendarUnitYearForWeekOfYear,
};

class NSDateComponents : public NSObject, public NSCopying {
    DV_CLASS(NSDateComponents, NSObject)

    NSDateComponents() = default;
    Ref<NSDateComponents> init() { NSObject::init(); return self<NSDateComponents>(); }

    Ref<NSCalendar> calendar() const { return m_calendar; }
    void setCalendar(const Ref<NSCalendar>& calendar);
    Ref<NSTimeZone> timeZone() const { return m_timeZone; }
    void setTimeZone(const Ref<NSTimeZone>& timeZone) { m_timeZone = timeZone; }

    NSInteger era() const { return valueForComponent(NSCalendarUnitEra); }
    NSInteger year() const { return valueForComponent(NSCalendarUnitYear); }
    NSInteger month() const { return valueForComponent(NSCalendarUnitMonth); }
    NSInteger day() const { return valueForComponent(NSCalendarUnitDay); }
    NSInteger hour() const { return valueForComponent(NSCalendarUnitHour); }
    NSInteger minute() const { return valueForComponent(NSCalendarUnitMinute); }
    NSInteger second() const { return valueForComponent(NSCalendarUnitSecond); }
    NSInteger nanosecond() const { return valueForComponent(NSCalendarUnitNanosecond); }
    NSInteger weekday() const { return valueForComponent(NSCalendarUnitWeekday); }
    NSInteger weekdayOrdinal() const { return valueForComponent(NSCalendarUnitWeekdayOrdinal); }
    NSInteger quarter() const { return valueForComponent(NSCalendarUnitQuarter); }
    NSInteger weekOfMonth() const { return valueForComponent(NSCalendarUnitWeekOfMonth); }
    NSInteger weekOfYear() const { return valueForComponent(NSCalendarUnitWeekOfYear); }
    NSInteger yearForWeekOfYear() const { return valueForComponent(NSCalendarUnitYearForWeekOfYear); }
    bool isLeapMonth() const { return m_leapMonth; }

    void setEra(NSInteger value) { setValueForComponent(value, NSCalendarUnitEra); }
    void setYear(NSInteger value) { setValueForComponent(value, NSCalendarUnitYear); }
    void setMonth(NSInteger value) { setValueForComponent(value, NSCalendarUnitMonth); }
    void setDay(NSInteger value) { setValueForComponent(value, NSCalendarUnitDay); }
    void setHour(NSInteger value) { setValueForComponent(value, NSCalendarUnitHour); }
    void setMinute(NSInteger value) { setValueForComponent(value, NSCalendarUnitMinute); }
    void setSecond(NSInteger value) { setValueForComponent(value, NSCalendarUnitSecond); }
    void setNanosecond(NSInteger value) { setValueForComponent(value, NSCalendarUnitNanosecond); }
    void setWeekday(NSInteger value) { setValueForComponent(value, NSCalendarUnitWeekday); }
    void setWeekdayOrdinal(NSInteger value) { setValueForComponent(value, NSCalendarUnitWeekdayOrdinal); }
    void setQuarter(NSInteger value) { setValueForComponent(value, NSCalendarUnitQuarter); }
    void setWeekOfMonth(NSInteger value) { setValueForComponent(value, NSCalendarUnitWeekOfMonth); }
    void setWeekOfYear(NSInteger value) { setValueForComponent(value, NSCalendarUnitWeekOfYear); }
    void setYearForWeekOfYear(NSInteger value) { setValueForComponent(value, NSCalendarUnitYearForWeekOfYear); }
    void setLeapMonth(bool leapMonth) { m_leapMonth = leapMonth; }

    // One field by its unit (a single unit; others read NSDateComponentUndefined).
    NSInteger valueForComponent(NSCalendarUnit unit) const;
    void setValueForComponent(NSInteger value, NSCalendarUnit unit);

    // The date the fields name in the components' calendar (and zone, when set); nil without a
    // calendar.
    Ref<NSDate> date() const;
    // Whether the fields name a date exactly as given (no field out of its range).
    bool isValidDate() const;
    bool isValidDateInCalendar(const Ref<NSCalendar>& calendar) const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

    // The units of the fields, largest first, as the calendar code walks them.
    static constexpr std::array<NSCalendarUnit, 14> kUnits {
        NSCalendarUnitEra, NSCalendarUnitYear, NSCalendarUnitYearForWeekOfYear, NSCalendarUnitQuarter, NSCalendarUnitMonth,
        NSCalendarUnitWeekOfYear, NSCalendarUnitWeekOfMonth, NSCalendarUnitWeekdayOrdinal, NSCalendarUnitDay,
        NSCalendarUnitWeekday, NSCalendarUnitHour, NSCalendarUnitMinute, NSCalendarUnitSecond, NSCalendarUnitNanosecond,
    };

private:
    static std::size_t slotOf(NSCalendarUnit unit);

    Ref<NSCalendar> m_calendar;
    Ref<NSTimeZone> m_timeZone;
    std::array<NSInteger, 14> m_values = filled();
    bool m_leapMonth = false;

    static constexpr std::array<NSInteger, 14> filled()
    {
        std::array<NSInteger, 14> values {};
        values.fill(NSDateComponentUndefined);
        return values;
    }
};
