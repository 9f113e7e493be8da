// Conversion of text between UTF-8 and the platform's string encodings. UTF-8, ASCII, Latin-1,
// UTF-16 and UTF-32 are handled here; every other encoding goes through ICU converters.
#pragma once

#include "platform/base/Forward.h"

#include <optional>
#include <string>
#include <string_view>

namespace dv::internal::base {

// The UTF-8 text of `bytes` in `encoding`; nothing when the bytes are not valid in it or the
// encoding is unknown.
std::optional<std::string> decodeText(std::string_view bytes, NSUInteger encoding);
// The bytes of `utf8` in `encoding`; nothing when a character cannot be represented (unless
// `lossy`, which substitutes '?') or the encoding is unknown.
std::optional<std::string> encodeText(std::string_view utf8, NSUInteger encoding, bool lossy);
// The ICU converter name of an encoding, or null for one handled natively or unknown.
const char* icuConverterName(NSUInteger encoding);

} // namespace dv::internal::base
