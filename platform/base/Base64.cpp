#include "platform/base/Base64.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"

namespace dv {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct DecodeTable {
    signed char value[256];
    constexpr DecodeTable()
        : value()
    {
        for (int i = 0; i < 256; ++i)
            value[i] = -1;
        for (int i = 0; i < 64; ++i)
            value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    }
};
constexpr DecodeTable kDecode;

} // namespace

std::string base64Encode(std::span<const std::uint8_t> bytes, NSDataBase64EncodingOptions options)
{
    std::size_t lineLength = 0;
    if (options & NSDataBase64Encoding64CharacterLineLength)
        lineLength = 64;
    else if (options & NSDataBase64Encoding76CharacterLineLength)
        lineLength = 76;
    std::string separator;
    if (options & NSDataBase64EncodingEndLineWithCarriageReturn)
        separator += '\r';
    if (options & NSDataBase64EncodingEndLineWithLineFeed)
        separator += '\n';
    if (separator.empty())
        separator = "\r\n";

    std::string out;
    std::size_t encodedLength = (bytes.size() + 2) / 3 * 4;
    out.reserve(encodedLength + (lineLength ? encodedLength / lineLength * separator.size() : 0));
    std::size_t column = 0;
    auto put = [&](char c) {
        if (lineLength && column == lineLength) {
            out += separator;
            column = 0;
        }
        out.push_back(c);
        ++column;
    };
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t v = std::uint32_t(bytes[i]) << 16 | std::uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(kAlphabet[v & 63]);
    }
    std::size_t rest = bytes.size() - i;
    if (rest) {
        std::uint32_t v = std::uint32_t(bytes[i]) << 16 | (rest == 2 ? std::uint32_t(bytes[i + 1]) << 8 : 0);
        put(kAlphabet[v >> 18]);
        put(kAlphabet[(v >> 12) & 63]);
        put(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        put('=');
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text, NSDataBase64DecodingOptions options)
{
    bool ignoreUnknown = options & NSDataBase64DecodingIgnoreUnknownCharacters;
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int collected = 0;
    int padding = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        int value = kDecode.value[c];
        if (c == '=') {
            // Padding completes a group of 2 or 3 values and nothing but padding may follow.
            if (padding == 0 && collected < 2)
                return std::nullopt;
            ++padding;
            if (collected + padding > 4)
                return std::nullopt;
            continue;
        }
        if (value < 0) {
            if (ignoreUnknown)
                continue;
            return std::nullopt;
        }
        if (padding)
            return std::nullopt;
        group = group << 6 | static_cast<std::uint32_t>(value);
        if (++collected == 4) {
            out.push_back(static_cast<std::uint8_t>(group >> 16));
            out.push_back(static_cast<std::uint8_t>(group >> 8));
            out.push_back(static_cast<std::uint8_t>(group));
            group = 0;
            collected = 0;
        }
    }
    if (collected == 0)
        return padding == 0 ? std::optional(std::move(out)) : std::nullopt;
    if (collected + padding != 4)
        return std::nullopt;
    if (collected == 2) {
        out.push_back(static_cast<std::uint8_t>(group >> 4));
    } else {
        out.push_back(static_cast<std::uint8_t>(group >> 10));
        out.push_back(static_cast<std::uint8_t>(group >> 2));
    }
    return out;
}

} // namespace dv

Ref<NSString> NSData::base64EncodedStringWithOptions(NSUInteger options) const
{
    return NSString::fromUTF8(dv::base64Encode(span(), options));
}

Ref<NSData> NSData::base64EncodedDataWithOptions(NSUInteger options) const
{
    std::string text = dv::base64Encode(span(), options);
    return NSData::dataWithVector(std::vector<std::uint8_t>(text.begin(), text.end()));
}

Ref<NSData> NSData::dataWithBase64EncodedString(const Ref<NSString>& base64, NSUInteger options)
{
    if (!base64)
        return nullptr;
    auto bytes = dv::base64Decode(base64->utf8(), options);
    return bytes ? NSData::dataWithVector(std::move(*bytes)) : nullptr;
}

Ref<NSData> NSData::dataWithBase64EncodedData(const Ref<NSData>& base64, NSUInteger options)
{
    if (!base64)
        return nullptr;
    auto bytes = dv::base64Decode(base64->view(), options);
    return bytes ? NSData::dataWithVector(std::move(*bytes)) : nullptr;
}
