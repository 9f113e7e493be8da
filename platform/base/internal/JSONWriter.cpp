#include "platform/base/internal/JSONWriter.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace dv::internal::base {

void appendShortestDouble(std::string& out, double value)
{
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

void appendShortestFloat(std::string& out, float value)
{
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

namespace {

class Writer {
public:
    Writer(NSUInteger options, int maxDepth)
        : m_pretty(options & NSJSONWritingPrettyPrinted)
        , m_sorted(options & NSJSONWritingSortedKeys)
        , m_escapeSlashes(!(options & NSJSONWritingWithoutEscapingSlashes))
        , m_maxDepth(maxDepth)
    {
    }

    std::string out;
    std::string error;

    bool write(const NSObject* object, int level)
    {
        // The exact classes first: a class check is far cheaper than a dynamic cast.
        if (object) {
            Class cls = object->getClass();
            if (cls == NSString::class_()) {
                writeString(static_cast<const NSString*>(object)->utf8());
                return true;
            }
            if (cls == NSNumber::class_())
                return writeNumber(*static_cast<const NSNumber*>(object));
            if (cls == NSDictionary::class_() || cls == NSMutableDictionary::class_())
                return writeDictionary(*static_cast<const NSDictionary*>(object), level);
            if (cls == NSArray::class_() || cls == NSMutableArray::class_())
                return writeArray(*static_cast<const NSArray*>(object), level);
        }
        if (auto string = dynamic_cast<const NSString*>(object)) {
            writeString(string->utf8());
            return true;
        }
        if (auto number = dynamic_cast<const NSNumber*>(object))
            return writeNumber(*number);
        if (auto dictionary = dynamic_cast<const NSDictionary*>(object))
            return writeDictionary(*dictionary, level);
        if (auto array = dynamic_cast<const NSArray*>(object))
            return writeArray(*array, level);
        if (dynamic_cast<const NSNull*>(object)) {
            out += "null";
            return true;
        }
        error = object ? "Invalid type in JSON write (" + std::string(object->getClass()->name()) + ")."
                       : std::string("Invalid nil value in JSON write.");
        return false;
    }

private:
    void newline(int level)
    {
        out.push_back('\n');
        out.append(static_cast<std::size_t>(level) * 2, ' ');
    }

    bool enter(int level)
    {
        if (level >= m_maxDepth) {
            error = "Too many nested arrays or dictionaries in JSON write.";
            return false;
        }
        return true;
    }

    bool writeArray(const NSArray& array, int level)
    {
        if (!enter(level))
            return false;
        out.push_back('[');
        if (array.count() == 0) {
            if (m_pretty) {
                out.push_back('\n');
                newline(level);
            }
            out.push_back(']');
            return true;
        }
        bool first = true;
        for (const id& item : array) {
            if (!first)
                out.push_back(',');
            first = false;
            if (m_pretty)
                newline(level + 1);
            if (!write(item.get(), level + 1))
                return false;
        }
        if (m_pretty)
            newline(level);
        out.push_back(']');
        return true;
    }

    bool writeDictionary(const NSDictionary& dictionary, int level)
    {
        if (!enter(level))
            return false;
        std::vector<const NSDictionary::Entry*> entries;
        entries.reserve(dictionary.count());
        for (const auto& entry : dictionary) {
            const NSObject* key = entry.first.get();
            if (key->getClass() != NSString::class_() && !dynamic_cast<const NSString*>(key)) {
                error = "Invalid (non-string) key in JSON dictionary.";
                return false;
            }
            entries.push_back(&entry);
        }
        if (m_sorted) {
            std::sort(entries.begin(), entries.end(), [](auto a, auto b) {
                auto ka = std::static_pointer_cast<NSString>(a->first);
                auto kb = std::static_pointer_cast<NSString>(b->first);
                return ka->compare(kb) == NSOrderedAscending;
            });
        }
        out.push_back('{');
        if (entries.empty()) {
            if (m_pretty) {
                out.push_back('\n');
                newline(level);
            }
            out.push_back('}');
            return true;
        }
        bool first = true;
        for (const auto* entry : entries) {
            if (!first)
                out.push_back(',');
            first = false;
            if (m_pretty)
                newline(level + 1);
            writeString(static_cast<const NSString*>(entry->first.get())->utf8());
            out += m_pretty ? " : " : ":";
            if (!write(entry->second.get(), level + 1))
                return false;
        }
        if (m_pretty)
            newline(level);
        out.push_back('}');
        return true;
    }

    bool writeNumber(const NSNumber& number)
    {
        char buffer[32];
        switch (number.kind()) {
        case NSNumber::Kind::Bool:
            out += number.boolValue() ? "true" : "false";
            return true;
        case NSNumber::Kind::Float:
        case NSNumber::Kind::Double: {
            double value = number.doubleValue();
            if (!std::isfinite(value)) {
                error = std::isnan(value) ? "Invalid number value (NaN) in JSON write." : "Invalid number value (infinite) in JSON write.";
                return false;
            }
            if (number.kind() == NSNumber::Kind::Float)
                appendShortestFloat(out, number.floatValue());
            else
                appendShortestDouble(out, value);
            return true;
        }
        default:
            break;
        }
        std::to_chars_result result;
        if (number.isUnsigned())
            result = std::to_chars(buffer, buffer + sizeof buffer, number.unsignedLongLongValue());
        else
            result = std::to_chars(buffer, buffer + sizeof buffer, number.longLongValue());
        out.append(buffer, result.ptr);
        return true;
    }

    void writeString(const std::string& text)
    {
        static const char* hex = "0123456789abcdef";
        out.push_back('"');
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            const char* run = p;
            while (p < end) {
                auto c = static_cast<unsigned char>(*p);
                if (c < 0x20 || c == '"' || c == '\\' || (c == '/' && m_escapeSlashes))
                    break;
                ++p;
            }
            out.append(run, p);
            if (p == end)
                break;
            auto c = static_cast<unsigned char>(*p++);
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '/': out += "\\/"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                out += "\\u00";
                out.push_back(hex[c >> 4]);
                out.push_back(hex[c & 15]);
            }
        }
        out.push_back('"');
    }

    bool m_pretty;
    bool m_sorted;
    bool m_escapeSlashes;
    int m_maxDepth;
};

} // namespace

JSONWriteResult writeJSON(const NSObject* object, NSUInteger options, int maxDepth)
{
    Writer writer(options, maxDepth);
    JSONWriteResult result;
    if (writer.write(object, 0))
        result.text = std::move(writer.out);
    else
        result.error = std::move(writer.error);
    return result;
}

} // namespace dv::internal::base
