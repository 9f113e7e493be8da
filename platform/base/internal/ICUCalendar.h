// The small ICU layer under the date classes (time zones, locales, calendars, date formatters):
// conversions between our times and ICU's, and an owned calendar handle. Only the date classes'
// sources include it; ICU's headers stay behind it.
#pragma once

#include "platform/base/Forward.h"

#include <memory>
#include <string>
#include <string_view>

namespace dv::internal::base {

// ICU counts milliseconds since 1970; NSDate seconds since 2001.
double udateFromInterval(NSTimeInterval sinceReferenceDate);
NSTimeInterval intervalFromUDate(double udate);

// An ICU calendar of the given kind ("gregorian", "iso8601", ...) in a zone (an ICU zone ID) for
// a locale; nothing when ICU refuses the combination.
// The handle holds ICU's UCalendar pointer (ICU declares the type as void).
struct CalendarCloser {
    void operator()(void* calendar) const;
};
using CalendarHandle = std::unique_ptr<void, CalendarCloser>;
CalendarHandle openCalendar(std::u16string_view zoneID, const std::string& localeID, const std::string& kind);

// ICU's canonical ID of a zone name ("PRC" gives "Asia/Shanghai", "GMT+0800" gives "GMT+08:00");
// empty when ICU does not know the name.
std::u16string canonicalZoneID(std::u16string_view name);
// The host's zone: ICU's reading of TZ and /etc/localtime; a fixed offset from the C library
// when that names no zone ICU knows (a POSIX rule such as "CST-8").
std::u16string hostZoneID();

} // namespace dv::internal::base
