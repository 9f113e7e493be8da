#include "platform/base/internal/TextCoding.h"

namespace dv::internal {

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
        appendUTF8(out, c);
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
        appendUTF8(out, c);
    }
    return out;
}

std::u16string utf8ToUTF16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    auto end = p + text.size();
    while (p < end) {
        char32_t c = *p;
        std::size_t n = utf8SequenceLength(p, end);
        if (n == 0) {
            out.push_back(0xFFFD);
            ++p;
            continue;
        }
        if (n == 2)
            c = (c & 0x1F) << 6 | (p[1] & 0x3F);
        else if (n == 3)
            c = (c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        else if (n == 4)
            c = (c & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F);
        p += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

} // namespace dv::internal
