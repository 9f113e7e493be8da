// The date texts of the model mapping, read and written without a locale library: the forms a
// JSON reply carries, chosen by the length of the text, and the one form JSON output uses.
#pragma once

#include "platform/base/Forward.h"

#include <optional>
#include <string>
#include <string_view>

namespace dv::internal {

// Seconds since 1970 of a date text, or nothing when it is not one of these forms:
//   10  2016-01-02                  (GMT)
//   19  2016-01-02T03:04:05         (GMT; a blank may stand for the T)
//   20  2016-01-02T03:04:05Z
//   24  2016-01-02T03:04:05+0800
//   25  2016-01-02T03:04:05+08:00
//   30  Sat Jan 02 03:04:05 +0800 2016
// Fields out of range (month 13, February 30, hour 24, ...) make the text no date.
std::optional<double> parseModelDate(std::string_view text);

// "2016-01-02T11:04:05+0800": the moment in the process's current time zone, with its offset.
std::string formatModelDate(double secondsSince1970);

} // namespace dv::internal
