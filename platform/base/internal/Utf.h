// UTF-8 and UTF-16 helpers shared by the string classes. All functions accept any bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dv::internal::base {

// Decodes the code point at `i` and advances `i`; invalid or truncated sequences yield U+FFFD
// and advance by one byte.
char32_t decodeUtf8(std::string_view s, std::size_t& i);
void appendUtf8(std::string& out, char32_t c);

// Length of the valid UTF-8 sequence at p (1..4), or 0 when it is malformed (overlong forms,
// surrogates and values above U+10FFFF are malformed).
inline std::size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end)
{
    unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    auto cont = [&](std::ptrdiff_t i) { return p + i < end && (p[i] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2))
            return 0;
        if (c == 0xE0 && p[1] < 0xA0)
            return 0;
        if (c == 0xED && p[1] >= 0xA0)
            return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3))
            return 0;
        if (c == 0xF0 && p[1] < 0x90)
            return 0;
        if (c == 0xF4 && p[1] >= 0x90)
            return 0;
        return 4;
    }
    return 0;
}

inline bool isValidUtf8(std::string_view text)
{
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    auto end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        std::size_t n = utf8SequenceLength(p, end);
        if (!n)
            return false;
        p += n;
    }
    return true;
}

// A copy of `s` with every invalid sequence replaced by U+FFFD.
std::string sanitizeUtf8(std::string_view s);
std::u16string utf8ToUtf16(std::string_view s);
// Lone surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view s);
inline unsigned utf16Width(char32_t c) { return c >= 0x10000 ? 2 : 1; }

} // namespace dv::internal::base
