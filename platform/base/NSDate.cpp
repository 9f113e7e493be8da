#include "platform/base/NSDate.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDateFormatter.h"
#include "platform/base/NSLocale.h"
#include "platform/base/NSString.h"
#include "platform/base/NSTimeZone.h"

#include <chrono>
#include <cmath>
#include <ctime>

DV_DEFINE_CLASS(NSDate)

namespace {

dv::Mutex s_nowLock;
NSDate::NowFunction& nowFunction() DV_REQUIRES(s_nowLock)
{
    static NSDate::NowFunction function;
    return function;
}

} // namespace

NSTimeInterval NSDate::systemNow()
{
    auto since1970 = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return since1970 - NSTimeIntervalSince1970;
}

NSTimeInterval NSDate::now()
{
    NowFunction function;
    {
        dv::MutexLocker guard(s_nowLock);
        function = nowFunction();
    }
    return function ? function() : systemNow();
}

void NSDate::setNowFunction(NowFunction function)
{
    dv::MutexLocker guard(s_nowLock);
    nowFunction() = std::move(function);
}

Ref<NSDate> NSDate::dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds)
{
    auto date = alloc<NSDate>();
    date->m_interval = seconds;
    return date;
}

Ref<NSDate> NSDate::date() { return dateWithTimeIntervalSinceReferenceDate(now()); }
Ref<NSDate> NSDate::dateWithTimeIntervalSinceNow(NSTimeInterval seconds) { return dateWithTimeIntervalSinceReferenceDate(now() + seconds); }
Ref<NSDate> NSDate::dateWithTimeIntervalSince1970(NSTimeInterval seconds) { return dateWithTimeIntervalSinceReferenceDate(seconds - NSTimeIntervalSince1970); }
Ref<NSDate> NSDate::distantFuture() { return dateWithTimeIntervalSinceReferenceDate(63113904000.0); }
Ref<NSDate> NSDate::distantPast() { return dateWithTimeIntervalSinceReferenceDate(-63114076800.0); }

NSTimeInterval NSDate::timeIntervalSinceNow() const { return m_interval - now(); }
NSTimeInterval NSDate::timeIntervalSinceDate(const Ref<NSDate>& other) const { return other ? m_interval - other->m_interval : m_interval; }
Ref<NSDate> NSDate::dateByAddingTimeInterval(NSTimeInterval seconds) const { return dateWithTimeIntervalSinceReferenceDate(m_interval + seconds); }

NSComparisonResult NSDate::compare(const Ref<NSDate>& other) const
{
    double b = other ? other->m_interval : 0;
    return m_interval < b ? NSOrderedAscending : m_interval > b ? NSOrderedDescending : NSOrderedSame;
}

Ref<NSDate> NSDate::earlierDate(const Ref<NSDate>& other) const
{
    auto me = std::const_pointer_cast<NSDate>(self<NSDate>());
    return other && other->m_interval < m_interval ? other : me;
}

Ref<NSDate> NSDate::laterDate(const Ref<NSDate>& other) const
{
    auto me = std::const_pointer_cast<NSDate>(self<NSDate>());
    return other && other->m_interval > m_interval ? other : me;
}

bool NSDate::isEqualToDate(const Ref<NSDate>& other) const { return other && other->m_interval == m_interval; }

Ref<NSString> NSDate::description() const
{
    if (!std::isfinite(m_interval) || std::fabs(m_interval) > 1e14)
        return NSString::fromUTF8("(invalid date)");
    // The platform's calendar and pattern: the year always has four digits ("0999-..."), and
    // dates before 1582-10-15 are Julian ones.
    static const Ref<NSDateFormatter> formatter = dv::keepingForever([] {
        auto f = alloc<NSDateFormatter>()->init();
        f->setLocale(NSLocale::localeWithLocaleIdentifier(NSString::fromUTF8("en_US_POSIX")));
        f->setTimeZone(NSTimeZone::timeZoneForSecondsFromGMT(0));
        f->setDateFormat(NSString::fromUTF8("yyyy-MM-dd HH:mm:ss Z"));
        return f;
    });
    // Whole seconds, as the platform prints them.
    return formatter->stringFromDate(dateWithTimeIntervalSinceReferenceDate(std::floor(m_interval)));
}

bool NSDate::isEqual(const NSObject* other) const
{
    auto* date = dynamic_cast<const NSDate*>(other);
    return date && date->m_interval == m_interval;
}

NSUInteger NSDate::hash() const { return std::hash<double>()(m_interval); }
id NSDate::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSDate>(self<NSDate>()); }
