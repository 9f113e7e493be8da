// Percent encoding and decoding of NSString (declared in NSString.h).
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Hex.h"
#include "platform/base/internal/TextCoding.h"

Ref<NSString> NSString::stringByAddingPercentEncodingWithAllowedCharacters(const Ref<NSCharacterSet>& allowed) const
{
    static const char* hex = "0123456789ABCDEF";
    const std::string& text = m_utf8;
    std::string out;
    out.reserve(text.size());
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    auto end = p + text.size();
    while (p < end) {
        std::size_t n = dv::internal::base::utf8SequenceLength(p, end);
        if (n == 0)
            n = 1; // cannot happen for a valid string; encode the byte
        char32_t c = *p;
        if (n == 2)
            c = (c & 0x1F) << 6 | (p[1] & 0x3F);
        else if (n == 3)
            c = (c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        else if (n == 4)
            c = (c & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F);
        if (allowed && allowed->characterIsMember(c)) {
            out.append(reinterpret_cast<const char*>(p), n);
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                out.push_back('%');
                out.push_back(hex[p[i] >> 4]);
                out.push_back(hex[p[i] & 15]);
            }
        }
        p += n;
    }
    return NSString::fromUTF8(out);
}

Ref<NSString> NSString::stringByRemovingPercentEncoding() const
{
    const std::string& text = m_utf8;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return nullptr;
        int high = dv::internal::base::hexDigitValue(text[i + 1]);
        int low = dv::internal::base::hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0)
            return nullptr;
        out.push_back(static_cast<char>(high << 4 | low));
        i += 2;
    }
    if (!dv::internal::base::isValidUtf8(out))
        return nullptr;
    return NSString::fromUTF8(out);
}
