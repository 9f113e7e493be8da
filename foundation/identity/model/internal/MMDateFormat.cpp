#include "foundation/identity/model/internal/MMDateFormat.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace dv::internal {

namespace {

bool digits(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> days {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long long daysFromCivil(long long y, int m, int d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Fields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetSeconds = 0;
};

bool valid(const Fields& f)
{
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= daysInMonth(f.year, f.month) && f.hour <= 23
        && f.minute <= 59 && f.second <= 59;
}

double secondsOf(const Fields& f)
{
    long long days = daysFromCivil(f.year, f.month, f.day);
    return static_cast<double>(days * 86400 + f.hour * 3600 + f.minute * 60 + f.second - f.offsetSeconds);
}

// yyyy-MM-dd at 0.
bool readDate(std::string_view text, Fields& f)
{
    return digits(text, 0, 4, f.year) && text[4] == '-' && digits(text, 5, 2, f.month) && text[7] == '-'
        && digits(text, 8, 2, f.day);
}

// HH:mm:ss at `at`.
bool readTime(std::string_view text, std::size_t at, Fields& f)
{
    return digits(text, at, 2, f.hour) && text[at + 2] == ':' && digits(text, at + 3, 2, f.minute)
        && text[at + 5] == ':' && digits(text, at + 6, 2, f.second);
}

// Z, +hhmm or +hh:mm, making up the whole of `zone`.
bool readZone(std::string_view zone, Fields& f)
{
    if (zone == "Z") {
        f.offsetSeconds = 0;
        return true;
    }
    if (zone.size() != 5 && zone.size() != 6)
        return false;
    if (zone[0] != '+' && zone[0] != '-')
        return false;
    int hours = 0, minutes = 0;
    if (!digits(zone, 1, 2, hours))
        return false;
    std::size_t minutesAt = 3;
    if (zone.size() == 6) {
        if (zone[3] != ':')
            return false;
        minutesAt = 4;
    }
    if (!digits(zone, minutesAt, 2, minutes) || hours > 23 || minutes > 59)
        return false;
    f.offsetSeconds = (hours * 3600 + minutes * 60) * (zone[0] == '-' ? -1 : 1);
    return true;
}

int indexOf(std::string_view name, const std::array<const char*, 12>& names, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (name == names[i])
            return static_cast<int>(i);
    return -1;
}

} // namespace

std::optional<double> parseModelDate(std::string_view text)
{
    Fields f;
    switch (text.size()) {
    case 10:
        if (!readDate(text, f))
            return std::nullopt;
        break;
    case 19:
        if (!readDate(text, f) || (text[10] != 'T' && text[10] != ' ') || !readTime(text, 11, f))
            return std::nullopt;
        break;
    case 20:
    case 24:
    case 25:
        if (!readDate(text, f) || text[10] != 'T' || !readTime(text, 11, f) || !readZone(text.substr(19), f))
            return std::nullopt;
        break;
    case 30: {
        // EEE MMM dd HH:mm:ss Z yyyy
        static constexpr std::array<const char*, 12> weekdays {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static constexpr std::array<const char*, 12> months {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        if (indexOf(text.substr(0, 3), weekdays, 7) < 0 || text[3] != ' ')
            return std::nullopt;
        int month = indexOf(text.substr(4, 3), months, 12);
        if (month < 0 || text[7] != ' ' || !digits(text, 8, 2, f.day) || text[10] != ' ' || !readTime(text, 11, f)
            || text[19] != ' ' || !readZone(text.substr(20, 5), f) || text[25] != ' ' || !digits(text, 26, 4, f.year))
            return std::nullopt;
        f.month = month + 1;
        break;
    }
    default: return std::nullopt;
    }
    if (!valid(f))
        return std::nullopt;
    return secondsOf(f);
}

std::string formatModelDate(double secondsSince1970)
{
    if (!std::isfinite(secondsSince1970) || std::fabs(secondsSince1970) > 1e15)
        return {};
    std::time_t seconds = static_cast<std::time_t>(std::floor(secondsSince1970));
    std::tm local {};
    if (!localtime_r(&seconds, &local))
        return {};
    long offset = local.tm_gmtoff;
    char sign = offset < 0 ? '-' : '+';
    offset = offset < 0 ? -offset : offset;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld%02ld", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, sign, offset / 3600, offset / 60 % 60);
    return buffer;
}

} // namespace dv::internal
