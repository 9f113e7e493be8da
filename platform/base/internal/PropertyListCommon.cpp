#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/PropertyListFormats.h"

#include <cmath>
#include <cstdio>

namespace dv::internal::base {

DV_DEFINE_CLASS(PlistUID)

Ref<PlistUID> PlistUID::make(std::uint64_t value)
{
    auto uid = alloc<PlistUID>();
    uid->m_value = value;
    return uid;
}

Ref<NSString> PlistUID::description() const
{
    return NSString::fromUTF8("<PlistUID>{value = " + std::to_string(m_value) + "}");
}

bool PlistUID::isEqual(const NSObject* other) const
{
    auto uid = dynamic_cast<const PlistUID*>(other);
    return uid && uid->m_value == m_value;
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

constexpr double kReferenceOffset = 978307200.0; // 2001-01-01 in Unix seconds

} // namespace

std::string formatPlistDate(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e14)
        seconds = 0;
    auto unix = static_cast<std::int64_t>(std::floor(seconds + kReferenceOffset));
    std::int64_t days = unix >= 0 ? unix / 86400 : -((-unix + 86399) / 86400);
    std::int64_t rest = unix - days * 86400;
    std::int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(y), m, d,
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return buffer;
}

bool parsePlistDate(std::string_view text, double& seconds)
{
    // YYYY-MM-DDTHH:MM:SS[.fff]Z
    auto number = [&](std::size_t at, std::size_t width, int& out) {
        if (at + width > text.size())
            return false;
        out = 0;
        for (std::size_t i = at; i < at + width; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, s;
    if (!number(0, 4, y) || text.size() < 20 || text[4] != '-' || !number(5, 2, mo) || text[7] != '-' || !number(8, 2, d)
        || text[10] != 'T' || !number(11, 2, h) || text[13] != ':' || !number(14, 2, mi) || text[16] != ':' || !number(17, 2, s))
        return false;
    std::size_t at = 19;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        ++at;
        std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fraction += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == start)
            return false;
    }
    if (at + 1 != text.size() || text[at] != 'Z')
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return false;
    std::int64_t days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    seconds = static_cast<double>(days * 86400 + h * 3600 + mi * 60 + s) - kReferenceOffset + fraction;
    return true;
}

} // namespace dv::internal::base
