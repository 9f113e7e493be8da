// NSDateFormatter: writes dates as text and reads them back, by a pattern ("yyyy-MM-dd HH:mm")
// or by the locale's styles, in a locale, time zone and calendar, over ICU's date formats (the
// pattern letters are the Unicode ones the platform uses).
//
// Reading is strict unless the formatter is lenient: the whole text must match the pattern and
// every field must be in its range; fields the pattern leaves out are taken from 2000-01-01
// 00:00:00 in the formatter's zone, as on the platform. A formatter whose zone was never set
// follows the default time zone (NSTimeZone) at each use. Once set up, a formatter may be used
// by several threads at once (each call takes its lock); change its settings from one thread.
//
//   auto formatter = alloc<NSDateFormatter>()->init();
//   formatter->setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"_ns));
//   formatter->setDateFormat("yyyy-MM-dd'T'HH:mm:ssZ"_ns);
//   auto text = formatter->stringFromDate(NSDate::date());
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSFormatter.h"

#include <optional>
#include <string>

class NSCalendar;
class NSLocale;
class NSTimeZone;

enum NSDateFormatterStyle : NSUInteger {
    NSDateFormatterNoStyle = 0,
    NSDateFormatterShortStyle = 1,
    NSDateFormatterMediumStyle = 2,
    NSDateFormatterLongStyle = 3,
    NSDateFormatterFullStyle = 4,
};

class NSDateFormatter : public NSFormatter {
    DV_CLASS(NSDateFormatter, NSFormatter)

    NSDateFormatter() = default;
    ~NSDateFormatter() override;

    // The current locale, no styles, an empty pattern, not lenient.
    Ref<NSDateFormatter> init();

    // The pattern last set, else the one the styles give in the locale.
    Ref<NSString> dateFormat() const;
    void setDateFormat(const Ref<NSString>& format);
    // Setting a style replaces a pattern set before with the locale's pattern for the styles.
    NSDateFormatterStyle dateStyle() const;
    void setDateStyle(NSDateFormatterStyle style);
    NSDateFormatterStyle timeStyle() const;
    void setTimeStyle(NSDateFormatterStyle style);
    // The pattern the locale has for a template of fields ("yMMMd" → "MMM d, y" in English).
    static Ref<NSString> dateFormatFromTemplate(const Ref<NSString>& templateString, NSUInteger options, const Ref<NSLocale>& locale);
    void setLocalizedDateFormatFromTemplate(const Ref<NSString>& templateString);

    Ref<NSLocale> locale() const;
    void setLocale(const Ref<NSLocale>& locale); // nil: the current locale
    Ref<NSTimeZone> timeZone() const;            // the formatter's zone, else the default zone
    void setTimeZone(const Ref<NSTimeZone>& timeZone);
    Ref<NSCalendar> calendar() const;
    void setCalendar(const Ref<NSCalendar>& calendar); // nil: the locale's calendar
    bool isLenient() const;
    void setLenient(bool lenient);

    // nil for a nil date.
    Ref<NSString> stringFromDate(const Ref<NSDate>& date) const;
    // nil when the text does not match (or is nil).
    Ref<NSDate> dateFromString(const Ref<NSString>& string) const;
    Ref<NSString> stringForObjectValue(const id& object) const override;

    static Ref<NSString> localizedStringFromDate(const Ref<NSDate>& date, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle);

    id copyWithZone(NSZone* zone) const override;

private:
    // The ICU format for the current settings, made again after a change; under the lock.
    void* formatLocked() const DV_REQUIRES(m_mutex); // ICU's UDateFormat pointer
    void changed() DV_REQUIRES(m_mutex);
    std::u16string zoneIDLocked() const DV_REQUIRES(m_mutex);
    std::string patternFromStylesLocked() const DV_REQUIRES(m_mutex);

    mutable dv::Mutex m_mutex;
    std::optional<std::string> m_format DV_GUARDED_BY(m_mutex); // a pattern set by the caller
    NSDateFormatterStyle m_dateStyle DV_GUARDED_BY(m_mutex) = NSDateFormatterNoStyle;
    NSDateFormatterStyle m_timeStyle DV_GUARDED_BY(m_mutex) = NSDateFormatterNoStyle;
    Ref<NSLocale> m_locale DV_GUARDED_BY(m_mutex);
    Ref<NSTimeZone> m_timeZone DV_GUARDED_BY(m_mutex);
    Ref<NSCalendar> m_calendar DV_GUARDED_BY(m_mutex);
    bool m_lenient DV_GUARDED_BY(m_mutex) = false;
    mutable void* m_icu DV_GUARDED_BY(m_mutex) = nullptr; // ICU's UDateFormat pointer
    mutable std::u16string m_icuZone DV_GUARDED_BY(m_mutex); // the zone m_icu was made for
};
