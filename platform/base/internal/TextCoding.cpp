#include "platform/base/internal/TextCoding.h"

namespace dv::internal::base {

std::optional<std::string> utf16ToUTF8(const unsigned char* bytes, std::size_t length, ByteOrder order)
{
    if (length % 2)
        return std::nullopt;
    std::string out;
    out.reserve(length);
    auto unit = [&](std::size_t i) -> char16_t {
        return order == ByteOrder::Big ? static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1])
                                       : static_cast<char16_t>(bytes[i + 1] << 8 | bytes[i]);
    };
    for (std::size_t i = 0; i < length; i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= length)
                return std::nullopt;
            char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::optional<std::string> utf32ToUTF8(const unsigned char* bytes, std::size_t length, ByteOrder order)
{
    if (length % 4)
        return std::nullopt;
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; i += 4) {
        char32_t c = order == ByteOrder::Big
            ? (char32_t(bytes[i]) << 24 | char32_t(bytes[i + 1]) << 16 | char32_t(bytes[i + 2]) << 8 | bytes[i + 3])
            : (char32_t(bytes[i + 3]) << 24 | char32_t(bytes[i + 2]) << 16 | char32_t(bytes[i + 1]) << 8 | bytes[i]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        appendUtf8(out, c);
    }
    return out;
}

} // namespace dv::internal::base
