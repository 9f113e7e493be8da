#include "ui/images/NSDataBase64Additions.h"

#include "platform/base/Base64.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool inAlphabet(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// The text reduced to what a strict decoder takes: the alphabet's characters up to the first "=",
// whole groups only, the last one padded when "=" closed it.
std::string strictForm(const std::string& text)
{
    std::string kept;
    kept.reserve(text.size());
    bool closed = false;
    for (char ch : text) {
        if (ch == '=') {
            closed = true;
            break;
        }
        if (inAlphabet(static_cast<unsigned char>(ch)))
            kept.push_back(ch);
    }
    const std::size_t rest = kept.size() % 4;
    if (closed && rest >= 2)
        kept.append(4 - rest, '=');
    else
        kept.resize(kept.size() - rest);
    return kept;
}

} // namespace

Ref<NSData> initWithBase64EncodedString(const Ref<NSData>& data, const Ref<NSString>& string)
{
    if (!data)
        return nil;
    const std::string text = dv::str(string);
    for (char ch : text)
        if (static_cast<unsigned char>(ch) >= 0x80)
            return data->initWithBytes(nullptr, 0);
    // The strict form always decodes.
    auto bytes = dv::base64Decode(strictForm(text)).value_or(std::vector<std::uint8_t>());
    return data->initWithBytes(bytes.data(), bytes.size());
}

Ref<NSString> base64Encoding(const Ref<NSData>& data) { return base64EncodingWithLineLength(data, 0); }

Ref<NSString> base64EncodingWithLineLength(const Ref<NSData>& data, std::uint32_t lineLength)
{
    if (!data)
        return nil;
    std::string plain = dv::base64Encode(data->span());
    if (lineLength == 0)
        return NSString::fromUTF8(plain);
    // Line ends are checked after each group of four characters, so a line holds whole groups.
    const std::size_t line = (std::size_t(lineLength) + 3) / 4 * 4;
    std::string out;
    out.reserve(plain.size() + plain.size() / line + 1);
    for (std::size_t at = 0; at < plain.size(); at += line) {
        const std::size_t length = std::min(line, plain.size() - at);
        out.append(plain, at, length);
        if (length == line)
            out.push_back('\n');
    }
    return NSString::fromUTF8(out);
}

Ref<NSData> dataWithBase64EncodedString(const Ref<NSString>& string)
{
    return initWithBase64EncodedString(alloc<NSData>(), string);
}
