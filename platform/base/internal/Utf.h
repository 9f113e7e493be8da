// UTF-8 and UTF-16 helpers shared by the string classes. All functions accept any bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dv::internal {

// Decodes the code point at `i` and advances `i`; invalid or truncated sequences yield U+FFFD
// and advance by one byte.
char32_t decodeUtf8(std::string_view s, std::size_t& i);
void appendUtf8(std::string& out, char32_t c);
// A copy of `s` with every invalid sequence replaced by U+FFFD; returns s itself when valid.
bool isValidUtf8(std::string_view s);
std::string sanitizeUtf8(std::string_view s);
std::u16string utf8ToUtf16(std::string_view s);
// Lone surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view s);
inline unsigned utf16Width(char32_t c) { return c >= 0x10000 ? 2 : 1; }

} // namespace dv::internal
