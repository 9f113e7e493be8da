// NSCalendar: splits dates into components and assembles them again, adds amounts of calendar
// units and compares dates by day, in a calendar system ("gregorian", ...) and time zone, over
// ICU's calendars (the Gregorian one switches to Julian dates before 1582-10-15, as the
// platform's does). A calendar is changed by one thread at a time; its queries take a lock, so
// several threads may ask one calendar at once.
//
// A calendar made without a zone follows the default time zone (NSTimeZone) at each use, so the
// current calendar reads "today" as the process's default zone has it.
//
//   auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
//   auto now = calendar->components(NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay, NSDate::date());
//   bool today = calendar->isDateInToday(stored);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSDateComponents.h"
#include "platform/base/NSString.h"

#include <string>

class NSLocale;
class NSTimeZone;

extern const Ref<NSString> NSCalendarIdentifierGregorian; // "gregorian"
extern const Ref<NSString> NSCalendarIdentifierISO8601;   // "iso8601"
extern const Ref<NSString> NSCalendarIdentifierBuddhist;  // "buddhist"
extern const Ref<NSString> NSCalendarIdentifierChinese;   // "chinese"
extern const Ref<NSString> NSCalendarIdentifierJapanese;  // "japanese"
extern const Ref<NSString> NSCalendarIdentifierRepublicOfChina; // "roc"
extern const Ref<NSString> NSCalendarIdentifierHebrew;    // "hebrew"
extern const Ref<NSString> NSCalendarIdentifierIslamic;   // "islamic"
extern const Ref<NSString> NSCalendarIdentifierIslamicCivil; // "islamic-civil"
extern const Ref<NSString> NSCalendarIdentifierPersian;   // "persian"
extern const Ref<NSString> NSCalendarIdentifierIndian;    // "indian"
extern const Ref<NSString> NSCalendarIdentifierCoptic;    // "coptic"
extern const Ref<NSString> NSCalendarIdentifierEthiopicAmeteMihret; // "ethiopic"
// The older name of the Gregorian identifier.
extern const Ref<NSString> NSGregorianCalendar;

using NSCalendarOptions = NSUInteger;
enum : NSCalendarOptions {
    // Adding: overflow of a unit does not carry into the larger ones.
    NSCalendarWrapComponents = 1UL << 0,
    NSCalendarMatchStrictly = 1UL << 1,
};

class NSCalendar : public NSObject, public NSCopying {
    DV_CLASS(NSCalendar, NSObject)

    NSCalendar() = default;
    ~NSCalendar() override;

    // nil for an identifier of no calendar system.
    Ref<NSCalendar> initWithCalendarIdentifier(const Ref<NSString>& identifier);
    static Ref<NSCalendar> calendarWithIdentifier(const Ref<NSString>& identifier);
    // The calendar of the current locale (Gregorian unless the locale names another), a new one
    // at each call.
    static Ref<NSCalendar> currentCalendar();
    static Ref<NSCalendar> autoupdatingCurrentCalendar();

    Ref<NSString> calendarIdentifier() const { return m_identifier; }
    Ref<NSLocale> locale() const;
    void setLocale(const Ref<NSLocale>& locale);
    // The calendar's own zone, else the default time zone.
    Ref<NSTimeZone> timeZone() const;
    void setTimeZone(const Ref<NSTimeZone>& timeZone);
    // 1 is Sunday; 0 leaves the locale's choice.
    NSUInteger firstWeekday() const;
    void setFirstWeekday(NSUInteger weekday);
    NSUInteger minimumDaysInFirstWeek() const;
    void setMinimumDaysInFirstWeek(NSUInteger days);

    // components:fromDate:, the fields named by `units` (nil date: nil).
    Ref<NSDateComponents> components(NSCalendarUnit units, const Ref<NSDate>& date) const;
    // components:fromDate:toDate:options:, the difference, largest units first.
    Ref<NSDateComponents> components(NSCalendarUnit units, const Ref<NSDate>& from, const Ref<NSDate>& to, NSCalendarOptions options) const;
    // component:fromDate:, one field.
    NSInteger component(NSCalendarUnit unit, const Ref<NSDate>& date) const;
    // Fields not given take their smallest value (year 1, January, the 1st, midnight), in the
    // components' zone when they carry one; fields past their range carry into the next.
    Ref<NSDate> dateFromComponents(const Ref<NSDateComponents>& components) const;
    Ref<NSDate> dateByAddingComponents(const Ref<NSDateComponents>& components, const Ref<NSDate>& date, NSCalendarOptions options) const;
    Ref<NSDate> dateByAddingUnit(NSCalendarUnit unit, NSInteger value, const Ref<NSDate>& date, NSCalendarOptions options) const;
    Ref<NSDate> dateWithEra(NSInteger era, NSInteger year, NSInteger month, NSInteger day, NSInteger hour, NSInteger minute,
                            NSInteger second, NSInteger nanosecond) const;
    Ref<NSDate> dateBySettingHour(NSInteger hour, NSInteger minute, NSInteger second, const Ref<NSDate>& date, NSCalendarOptions options) const;
    Ref<NSDate> startOfDayForDate(const Ref<NSDate>& date) const;

    bool isDateInToday(const Ref<NSDate>& date) const;
    bool isDateInYesterday(const Ref<NSDate>& date) const;
    bool isDateInTomorrow(const Ref<NSDate>& date) const;
    bool isDateInWeekend(const Ref<NSDate>& date) const;
    // isDate:inSameDayAsDate:
    bool isDateInSameDayAsDate(const Ref<NSDate>& date, const Ref<NSDate>& other) const;
    // compareDate:toDate:toUnitGranularity:
    NSComparisonResult compareDate(const Ref<NSDate>& date, const Ref<NSDate>& other, NSCalendarUnit unit) const;
    // rangeOfUnit:inUnit:forDate: for a unit inside a larger one (days in a month, months in a
    // year, hours in a day, weekdays in a week, ...); {NSNotFound, 0} for other pairs.
    NSRange rangeOfUnit(NSCalendarUnit smaller, NSCalendarUnit larger, const Ref<NSDate>& date) const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

    // ICU's calendar kind and locale, for the date formatter.
    std::string icuKind() const;

private:
    // Runs `work` with an ICU calendar set to this calendar's settings, under the lock.
    template <class Work>
    auto withEngine(Work work) const;

    Ref<NSString> m_identifier = std::make_shared<NSString>("gregorian"); // until an init… names another
    Ref<NSLocale> m_locale DV_GUARDED_BY(m_mutex);
    Ref<NSTimeZone> m_timeZone DV_GUARDED_BY(m_mutex); // nil: the default zone at each use
    NSUInteger m_firstWeekday DV_GUARDED_BY(m_mutex) = 0;
    NSUInteger m_minimumDaysInFirstWeek DV_GUARDED_BY(m_mutex) = 0;
    mutable dv::Mutex m_mutex;
};
