#include "platform/base/NSDateFormatter.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCalendar.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSLocale.h"
#include "platform/base/NSString.h"
#include "platform/base/NSTimeZone.h"
#include "platform/base/internal/ICUCalendar.h"
#include "platform/base/internal/Utf.h"

#include <unicode/ucal.h>
#include <unicode/udat.h>
#include <unicode/udatpg.h>

DV_DEFINE_CLASS(NSDateFormatter)

namespace {

UDateFormatStyle icuStyle(NSDateFormatterStyle style)
{
    switch (style) {
    case NSDateFormatterShortStyle: return UDAT_SHORT;
    case NSDateFormatterMediumStyle: return UDAT_MEDIUM;
    case NSDateFormatterLongStyle: return UDAT_LONG;
    case NSDateFormatterFullStyle: return UDAT_FULL;
    default: return UDAT_NONE;
    }
}

// Text out of an ICU call that writes into a buffer: tries a small buffer, then one of the size
// ICU asks for.
template <class Call>
std::u16string readUChars(Call call)
{
    UChar small[128];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = call(small, 128, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        std::u16string big(static_cast<std::size_t>(length), u'\0');
        status = U_ZERO_ERROR;
        length = call(big.data(), length, &status);
        return U_SUCCESS(status) ? big : std::u16string();
    }
    if (U_FAILURE(status) || length < 0)
        return {};
    return std::u16string(small, static_cast<std::size_t>(length));
}

// Two-digit years read as the century that begins on 1950-01-01 (GMT), as the platform reads them,
// whatever the clock says.
constexpr double kTwoDigitStartUDate = -631152000000.0;

} // namespace

NSDateFormatter::~NSDateFormatter()
{
    if (m_icu)
        udat_close(static_cast<UDateFormat*>(m_icu));
}

Ref<NSDateFormatter> NSDateFormatter::init()
{
    NSObject::init();
    dv::MutexLocker lock(m_mutex);
    m_locale = NSLocale::currentLocale();
    return self<NSDateFormatter>();
}

void NSDateFormatter::changed()
{
    if (m_icu) {
        udat_close(static_cast<UDateFormat*>(m_icu));
        m_icu = nullptr;
    }
}

std::u16string NSDateFormatter::zoneIDLocked() const
{
    return (m_timeZone ? m_timeZone : NSTimeZone::defaultTimeZone())->icuID();
}

std::string NSDateFormatter::patternFromStylesLocked() const
{
    if (m_dateStyle == NSDateFormatterNoStyle && m_timeStyle == NSDateFormatterNoStyle)
        return {};
    std::string locale = m_locale ? m_locale->icuID() : std::string();
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* styled = udat_open(icuStyle(m_timeStyle), icuStyle(m_dateStyle), locale.c_str(), u"GMT", -1, nullptr, 0, &status);
    if (U_FAILURE(status))
        return {};
    auto pattern = readUChars([&](UChar* buffer, int32_t capacity, UErrorCode* error) { return udat_toPattern(styled, false, buffer, capacity, error); });
    udat_close(styled);
    return dv::internal::base::utf16ToUtf8(pattern);
}

void* NSDateFormatter::formatLocked() const
{
    std::u16string zone = zoneIDLocked();
    if (m_icu && zone == m_icuZone)
        return m_icu;
    if (m_icu) {
        udat_close(static_cast<UDateFormat*>(m_icu));
        m_icu = nullptr;
    }
    std::string locale = m_locale ? m_locale->icuID() : std::string();
    if (m_calendar)
        locale += (locale.find('@') == std::string::npos ? "@calendar=" : ";calendar=") + m_calendar->icuKind();
    std::u16string pattern = dv::internal::base::utf8ToUtf16(m_format ? *m_format : patternFromStylesLocked());
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* format = udat_open(UDAT_PATTERN, UDAT_PATTERN, locale.c_str(), zone.data(), static_cast<int32_t>(zone.size()),
                                    pattern.data(), static_cast<int32_t>(pattern.size()), &status);
    if (U_FAILURE(status)) {
        if (format)
            udat_close(format);
        return nullptr;
    }
    udat_setLenient(format, m_lenient);
    status = U_ZERO_ERROR;
    udat_set2DigitYearStart(format, kTwoDigitStartUDate, &status);
    m_icu = format;
    m_icuZone = std::move(zone);
    return m_icu;
}

Ref<NSString> NSDateFormatter::dateFormat() const
{
    dv::MutexLocker lock(m_mutex);
    return NSString::fromUTF8(m_format ? *m_format : patternFromStylesLocked());
}

void NSDateFormatter::setDateFormat(const Ref<NSString>& format)
{
    dv::MutexLocker lock(m_mutex);
    m_format = format ? format->utf8() : std::string();
    changed();
}

NSDateFormatterStyle NSDateFormatter::dateStyle() const
{
    dv::MutexLocker lock(m_mutex);
    return m_dateStyle;
}

void NSDateFormatter::setDateStyle(NSDateFormatterStyle style)
{
    dv::MutexLocker lock(m_mutex);
    m_dateStyle = style;
    m_format.reset();
    changed();
}

NSDateFormatterStyle NSDateFormatter::timeStyle() const
{
    dv::MutexLocker lock(m_mutex);
    return m_timeStyle;
}

void NSDateFormatter::setTimeStyle(NSDateFormatterStyle style)
{
    dv::MutexLocker lock(m_mutex);
    m_timeStyle = style;
    m_format.reset();
    changed();
}

Ref<NSString> NSDateFormatter::dateFormatFromTemplate(const Ref<NSString>& templateString, NSUInteger, const Ref<NSLocale>& locale)
{
    if (!templateString)
        return nil;
    std::string localeID = locale ? locale->icuID() : NSLocale::currentLocale()->icuID();
    UErrorCode status = U_ZERO_ERROR;
    UDateTimePatternGenerator* generator = udatpg_open(localeID.c_str(), &status);
    if (U_FAILURE(status))
        return nil;
    std::u16string skeleton = templateString->utf16();
    auto pattern = readUChars([&](UChar* buffer, int32_t capacity, UErrorCode* error) {
        return udatpg_getBestPattern(generator, skeleton.data(), static_cast<int32_t>(skeleton.size()), buffer, capacity, error);
    });
    udatpg_close(generator);
    return pattern.empty() && !skeleton.empty() ? nil : NSString::fromUTF8(dv::internal::base::utf16ToUtf8(pattern));
}

void NSDateFormatter::setLocalizedDateFormatFromTemplate(const Ref<NSString>& templateString)
{
    auto pattern = dateFormatFromTemplate(templateString, 0, locale());
    if (pattern)
        setDateFormat(pattern);
}

Ref<NSLocale> NSDateFormatter::locale() const
{
    dv::MutexLocker lock(m_mutex);
    return m_locale;
}

void NSDateFormatter::setLocale(const Ref<NSLocale>& locale)
{
    dv::MutexLocker lock(m_mutex);
    m_locale = locale ? locale : NSLocale::currentLocale();
    changed();
}

Ref<NSTimeZone> NSDateFormatter::timeZone() const
{
    dv::MutexLocker lock(m_mutex);
    return m_timeZone ? m_timeZone : NSTimeZone::defaultTimeZone();
}

void NSDateFormatter::setTimeZone(const Ref<NSTimeZone>& timeZone)
{
    dv::MutexLocker lock(m_mutex);
    m_timeZone = timeZone;
    changed();
}

Ref<NSCalendar> NSDateFormatter::calendar() const
{
    dv::MutexLocker lock(m_mutex);
    if (m_calendar)
        return m_calendar;
    auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    calendar->setLocale(m_locale);
    calendar->setTimeZone(m_timeZone);
    return calendar;
}

void NSDateFormatter::setCalendar(const Ref<NSCalendar>& calendar)
{
    dv::MutexLocker lock(m_mutex);
    m_calendar = dv::copyAs<NSCalendar>(calendar);
    changed();
}

bool NSDateFormatter::isLenient() const
{
    dv::MutexLocker lock(m_mutex);
    return m_lenient;
}

void NSDateFormatter::setLenient(bool lenient)
{
    dv::MutexLocker lock(m_mutex);
    m_lenient = lenient;
    changed();
}

Ref<NSString> NSDateFormatter::stringFromDate(const Ref<NSDate>& date) const
{
    if (!date)
        return nil;
    dv::MutexLocker lock(m_mutex);
    auto* format = static_cast<UDateFormat*>(formatLocked());
    if (!format)
        return nil;
    double when = dv::internal::base::udateFromInterval(date->timeIntervalSinceReferenceDate());
    auto text = readUChars([&](UChar* buffer, int32_t capacity, UErrorCode* error) { return udat_format(format, when, buffer, capacity, nullptr, error); });
    return NSString::fromUTF8(dv::internal::base::utf16ToUtf8(text));
}

Ref<NSDate> NSDateFormatter::dateFromString(const Ref<NSString>& string) const
{
    if (!string)
        return nil;
    dv::MutexLocker lock(m_mutex);
    auto* format = static_cast<UDateFormat*>(formatLocked());
    if (!format)
        return nil;
    std::u16string text = string->utf16();
    UErrorCode status = U_ZERO_ERROR;
    UCalendar* calendar = ucal_clone(udat_getCalendar(format), &status);
    if (U_FAILURE(status))
        return nil;
    // Fields the pattern leaves out come from 2000-01-01 00:00:00 in the formatter's zone.
    ucal_clear(calendar);
    ucal_setDateTime(calendar, 2000, UCAL_JANUARY, 1, 0, 0, 0, &status);
    int32_t position = 0;
    udat_parseCalendar(format, calendar, text.data(), static_cast<int32_t>(text.size()), &position, &status);
    double millis = U_SUCCESS(status) ? ucal_getMillis(calendar, &status) : 0;
    ucal_close(calendar);
    if (U_FAILURE(status) || position != static_cast<int32_t>(text.size()))
        return nil;
    return NSDate::dateWithTimeIntervalSinceReferenceDate(dv::internal::base::intervalFromUDate(millis));
}

Ref<NSString> NSDateFormatter::stringForObjectValue(const id& object) const
{
    auto date = dv::as<NSDate>(object);
    return date ? stringFromDate(date) : nil;
}

Ref<NSString> NSDateFormatter::localizedStringFromDate(const Ref<NSDate>& date, NSDateFormatterStyle dateStyle, NSDateFormatterStyle timeStyle)
{
    auto formatter = alloc<NSDateFormatter>()->init();
    formatter->setDateStyle(dateStyle);
    formatter->setTimeStyle(timeStyle);
    return formatter->stringFromDate(date);
}

id NSDateFormatter::copyWithZone(NSZone*) const
{
    auto copy = alloc<NSDateFormatter>()->init();
    dv::MutexLocker lock(m_mutex);
    dv::MutexLocker copyLock(copy->m_mutex); // a new object: no other thread knows it
    copy->m_format = m_format;
    copy->m_dateStyle = m_dateStyle;
    copy->m_timeStyle = m_timeStyle;
    copy->m_locale = m_locale;
    copy->m_timeZone = m_timeZone;
    copy->m_calendar = m_calendar;
    copy->m_lenient = m_lenient;
    return copy;
}
