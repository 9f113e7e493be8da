// Conversion of UTF-16 and UTF-32 bytes in a given byte order to UTF-8, shared by the format
// readers and the string encodings. Code-point helpers live in Utf.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/internal/Utf.h"

namespace dv::internal::base {

enum class ByteOrder { Big, Little };

// UTF-16 / UTF-32 bytes to UTF-8; nullopt on an odd length, a lone surrogate or a value out of
// range.
std::optional<std::string> utf16ToUTF8(const unsigned char* bytes, std::size_t length, ByteOrder order);
std::optional<std::string> utf32ToUTF8(const unsigned char* bytes, std::size_t length, ByteOrder order);

} // namespace dv::internal::base
