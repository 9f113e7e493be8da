// Small text helpers shared by the format readers and writers: UTF-8 validation and conversion
// from UTF-16 and UTF-32, and XML/JSON escaping pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dv::internal {

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

inline bool isValidUTF8(std::string_view text)
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

inline void appendUTF8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

enum class ByteOrder { Big, Little };

// UTF-16 / UTF-32 bytes to UTF-8; nullopt on an odd length, a lone surrogate or a value out of
// range.
std::optional<std::string> utf16ToUTF8(const unsigned char* bytes, std::size_t length, ByteOrder order);
std::optional<std::string> utf32ToUTF8(const unsigned char* bytes, std::size_t length, ByteOrder order);
// UTF-8 (valid) to UTF-16 code units.
std::u16string utf8ToUTF16(std::string_view text);

} // namespace dv::internal
