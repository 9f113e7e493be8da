#include "platform/base/internal/ICUCalendar.h"

#include "platform/base/NSDate.h"

#include <unicode/ucal.h>

#include <cstdio>
#include <ctime>

namespace dv::internal::base {

double udateFromInterval(NSTimeInterval sinceReferenceDate) { return (sinceReferenceDate + NSTimeIntervalSince1970) * 1000.0; }
NSTimeInterval intervalFromUDate(double udate) { return udate / 1000.0 - NSTimeIntervalSince1970; }

void CalendarCloser::operator()(void* calendar) const
{
    if (calendar)
        ucal_close(static_cast<UCalendar*>(calendar));
}

CalendarHandle openCalendar(std::u16string_view zoneID, const std::string& localeID, const std::string& kind)
{
    std::string locale = localeID;
    if (!kind.empty())
        locale += (locale.find('@') == std::string::npos ? "@calendar=" : ";calendar=") + kind;
    UErrorCode status = U_ZERO_ERROR;
    UCalendar* calendar = ucal_open(zoneID.data(), static_cast<int32_t>(zoneID.size()), locale.c_str(), UCAL_DEFAULT, &status);
    if (U_FAILURE(status)) {
        if (calendar)
            ucal_close(calendar);
        return nullptr;
    }
    return CalendarHandle(calendar);
}

std::u16string canonicalZoneID(std::u16string_view name)
{
    if (name.empty())
        return {};
    UChar buffer[128];
    UBool isSystem = false;
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucal_getCanonicalTimeZoneID(name.data(), static_cast<int32_t>(name.size()), buffer, 128, &isSystem, &status);
    if (U_FAILURE(status) || length <= 0 || length > 128)
        return {};
    return std::u16string(buffer, static_cast<std::size_t>(length));
}

std::u16string hostZoneID()
{
    UChar buffer[128];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucal_getHostTimeZone(buffer, 128, &status);
    if (U_SUCCESS(status) && length > 0 && length <= 128) {
        std::u16string id(buffer, static_cast<std::size_t>(length));
        if (!canonicalZoneID(id).empty() && id != u"Etc/Unknown")
            return id;
    }
    std::time_t now = std::time(nullptr);
    std::tm local {};
    long offset = localtime_r(&now, &local) ? local.tm_gmtoff : 0;
    if (offset == 0)
        return u"GMT";
    char text[32];
    long magnitude = offset < 0 ? -offset : offset;
    std::snprintf(text, sizeof text, "GMT%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 3600, magnitude / 60 % 60);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

} // namespace dv::internal::base
