// The date formatters of the model mapping: the parsers of reply dates, chosen by the length of
// the text, and the one formatter of JSON output. All are the platform's date formatter with the
// locale "en_US_POSIX", made once and shared by every thread.
#pragma once

#include "platform/base/Forward.h"

#include <optional>
#include <string>
#include <string_view>

namespace dv::internal::model {

// Seconds since 1970 of a date text, or nothing when it is none. The parser is chosen by the
// text's length in characters:
//   10  "yyyy-MM-dd"                                          GMT
//   19  "yyyy-MM-dd'T'HH:mm:ss" when the 11th character is T,
//       else "yyyy-MM-dd HH:mm:ss"                            GMT
//   20, 24, 25  "yyyy-MM-dd'T'HH:mm:ssZ"                      the zone of the text (Z, +0800, +08:00)
//   30  "EEE MMM dd HH:mm:ss Z yyyy"                          the zone of the text
// Other lengths (and texts longer than 32) have no parser. Fields out of range make the text no
// date: the formatters are not lenient.
std::optional<double> parseModelDate(std::string_view text);

// "2016-01-02T11:04:05+0800": "yyyy-MM-dd'T'HH:mm:ssZ" in the default time zone, with its
// offset; empty for a date the formatter cannot write.
std::string formatModelDate(double secondsSince1970);

} // namespace dv::internal::model
