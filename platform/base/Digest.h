// Message digests as the platform's CommonCrypto-style helpers give them: raw bytes or lower-case
// hexadecimal text (MD5: 32 digits, SHA-1: 40). Thread-safe.
#pragma once

#include "platform/base/Forward.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dv {

std::array<std::uint8_t, 16> md5(std::span<const std::uint8_t> bytes);
std::array<std::uint8_t, 20> sha1(std::span<const std::uint8_t> bytes);

std::string md5Hex(std::string_view bytes);
std::string md5Hex(const Ref<NSData>& data); // nil digests the empty input
std::string sha1Hex(std::string_view bytes);
std::string sha1Hex(const Ref<NSData>& data);

// "%02x" for each byte.
std::string hexString(std::span<const std::uint8_t> bytes);

} // namespace dv
