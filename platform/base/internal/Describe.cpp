#include "platform/base/internal/Describe.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Utf.h"

#include <cstdio>

namespace dv::internal::base {

std::string indent(NSUInteger level) { return std::string(static_cast<std::size_t>(std::min<NSUInteger>(level, 64)) * 4, ' '); }

std::string quoteForDescription(const std::string& s)
{
    bool plain = !s.empty();
    for (unsigned char c : s) {
        bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '+'
            || c == '/' || c == ':' || c == '.' || c == '-';
        if (!word) {
            plain = false;
            break;
        }
    }
    if (plain)
        return s;
    std::string out = "\"";
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t c = decodeUtf8(s, i);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x80 && c >= 0x20) {
                out.push_back(static_cast<char>(c));
            } else {
                char buffer[16];
                auto unit = [&](unsigned u) {
                    std::snprintf(buffer, sizeof buffer, "\\U%04x", u);
                    out += buffer;
                };
                if (c >= 0x10000) {
                    unit(0xD800 + ((c - 0x10000) >> 10));
                    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
                } else {
                    unit(static_cast<unsigned>(c));
                }
            }
        }
    }
    out += "\"";
    return out;
}

std::string describeElement(const NSObject* object, NSUInteger level)
{
    if (!object)
        return "(null)";
    if (auto* string = dynamic_cast<const NSString*>(object))
        return quoteForDescription(string->utf8());
    if (auto* array = dynamic_cast<const NSArray*>(object))
        return array->descriptionWithLocale(nullptr, level)->utf8();
    if (auto* dictionary = dynamic_cast<const NSDictionary*>(object))
        return dictionary->descriptionWithLocale(nullptr, level)->utf8();
    if (auto* set = dynamic_cast<const NSSet*>(object))
        return set->descriptionWithLocale(nullptr, level)->utf8();
    if (auto* ordered = dynamic_cast<const NSOrderedSet*>(object))
        return ordered->descriptionWithLocale(nullptr, level)->utf8();
    auto text = object->description();
    std::string described = text ? text->utf8() : std::string("(null)");
    // Numbers and data print bare; other objects' texts are quoted like strings ("<null>",
    // dates), as the platform shows them.
    if (dynamic_cast<const NSNumber*>(object) || dynamic_cast<const NSData*>(object))
        return described;
    return quoteForDescription(described);
}

std::string describeList(const std::vector<id>& items, NSUInteger level, const char* open, const char* close)
{
    std::string out = indent(level) + open + "\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += indent(level + 1) + describeElement(items[i].get(), level + 1);
        out += i + 1 < items.size() ? ",\n" : "\n";
    }
    out += indent(level) + close;
    return out;
}

} // namespace dv::internal::base
