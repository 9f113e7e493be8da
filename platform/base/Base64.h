// Base64 (the standard alphabet with "=" padding) on plain bytes, for code that has no NSData at
// hand. NSData's base64 members are built on these.
#pragma once

#include "platform/base/Forward.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using NSDataBase64EncodingOptions = NSUInteger;
enum : NSDataBase64EncodingOptions {
    NSDataBase64Encoding64CharacterLineLength = 1 << 0,
    NSDataBase64Encoding76CharacterLineLength = 1 << 1,
    NSDataBase64EncodingEndLineWithCarriageReturn = 1 << 4,
    NSDataBase64EncodingEndLineWithLineFeed = 1 << 5,
};

using NSDataBase64DecodingOptions = NSUInteger;
enum : NSDataBase64DecodingOptions {
    NSDataBase64DecodingIgnoreUnknownCharacters = 1 << 0,
};

namespace dv {

// Lines of 64 or 76 characters when asked, separated (not terminated) by CR LF unless the options
// choose CR or LF alone.
std::string base64Encode(std::span<const std::uint8_t> bytes, NSDataBase64EncodingOptions options = 0);
// nullopt for malformed text: a character outside the alphabet (unless ignored), padding in the
// middle or a length that is not a whole number of 4-character groups.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text, NSDataBase64DecodingOptions options = 0);

} // namespace dv
