#include "platform/base/internal/JSONReader.h"

#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/CollectionAccess.h"
#include "platform/base/internal/Hex.h"
#include "platform/base/internal/TextCoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unordered_map>

namespace dv::internal::base {

namespace {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
};

// Replies repeat the same keys in every record: one shared string per distinct short key.
class KeyCache {
public:
    Ref<NSString> get(std::string&& key)
    {
        if (key.size() > kMaxKeyLength)
            return std::make_shared<NSString>(std::move(key));
        auto it = m_map.find(std::string_view(key));
        if (it != m_map.end())
            return it->second;
        auto string = std::make_shared<NSString>(key);
        if (m_map.size() < kMaxEntries)
            m_map.emplace(std::move(key), string);
        return string;
    }

private:
    static constexpr std::size_t kMaxKeyLength = 48;
    static constexpr std::size_t kMaxEntries = 2048;
    std::unordered_map<std::string, Ref<NSString>, StringHash, std::equal_to<>> m_map;
};

class Parser {
public:
    Parser(const char* begin, const char* end, NSUInteger options, int maxDepth)
        : m_begin(begin)
        , m_p(begin)
        , m_end(end)
        , m_mutableContainers(options & NSJSONReadingMutableContainers)
        , m_mutableLeaves(options & NSJSONReadingMutableLeaves)
        , m_fragments(options & NSJSONReadingFragmentsAllowed)
        , m_maxDepth(maxDepth)
    {
    }

    JSONReadResult run()
    {
        JSONReadResult result;
        skipSpace();
        if (m_p == m_end) {
            fail(m_begin == m_end ? "Unable to parse empty data." : "Unexpected end of file during JSON parse.");
        } else if (!m_fragments && *m_p != '[' && *m_p != '{') {
            fail("JSON text did not start with array or object and option to allow fragments not set.");
        } else {
            result.object = parseValue();
            if (result.object) {
                skipSpace();
                if (m_p != m_end) {
                    result.object = nullptr;
                    fail("Garbage at end.");
                }
            }
        }
        if (!m_error.empty()) {
            result.object = nullptr;
            result.error = m_error;
            result.errorIndex = static_cast<std::size_t>(m_errorAt - m_begin);
        }
        return result;
    }

private:
    id fail(const char* message) { return failAt(message, m_p); }
    id failAt(const char* message, const char* at)
    {
        if (m_error.empty()) {
            m_error = message;
            m_errorAt = at;
        }
        return nullptr;
    }

    void skipSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }

    bool literal(const char* word, std::size_t length)
    {
        if (static_cast<std::size_t>(m_end - m_p) < length || std::memcmp(m_p, word, length) != 0)
            return false;
        m_p += length;
        return true;
    }

    id parseValue()
    {
        if (m_p == m_end)
            return fail("Unexpected end of file during JSON parse.");
        switch (*m_p) {
        case '{':
            return parseObject();
        case '[':
            return parseArray();
        case '"': {
            auto text = parseString();
            if (!text)
                return nullptr;
            if (m_mutableLeaves)
                return NSMutableString::fromUTF8(*text);
            if (text->empty())
                return NSString::string();
            return std::make_shared<NSString>(std::move(*text));
        }
        case 't':
            if (literal("true", 4))
                return NSNumber::numberWithBool(true);
            return fail("Invalid value.");
        case 'f':
            if (literal("false", 5))
                return NSNumber::numberWithBool(false);
            return fail("Invalid value.");
        case 'n':
            if (literal("null", 4))
                return NSNull::null();
            return fail("Invalid value.");
        default:
            if (*m_p == '-' || (*m_p >= '0' && *m_p <= '9'))
                return parseNumber();
            return fail("Invalid value.");
        }
    }

    bool enter()
    {
        if (++m_depth > m_maxDepth) {
            fail("Too many nested arrays or dictionaries.");
            return false;
        }
        return true;
    }

    id parseArray()
    {
        if (!enter())
            return nullptr;
        ++m_p; // '['
        std::vector<id> items;
        skipSpace();
        if (m_p < m_end && *m_p == ']') {
            ++m_p;
        } else {
            for (;;) {
                skipSpace();
                id item = parseValue();
                if (!item)
                    return nullptr;
                items.push_back(std::move(item));
                skipSpace();
                if (m_p == m_end)
                    return fail("Unexpected end of file while parsing array.");
                if (*m_p == ',') {
                    ++m_p;
                    continue;
                }
                if (*m_p == ']') {
                    ++m_p;
                    break;
                }
                return fail("Badly formed array.");
            }
        }
        --m_depth;
        return makeArray(std::move(items), m_mutableContainers);
    }

    id parseObject()
    {
        if (!enter())
            return nullptr;
        ++m_p; // '{'
        std::vector<NSDictionary::Entry> entries;
        skipSpace();
        if (m_p < m_end && *m_p == '}') {
            ++m_p;
        } else {
            for (;;) {
                skipSpace();
                if (m_p == m_end)
                    return fail("Unexpected end of file while parsing object.");
                if (*m_p != '"')
                    return fail("No string key for value in object.");
                auto key = parseString();
                if (!key)
                    return nullptr;
                skipSpace();
                if (m_p == m_end)
                    return fail("Unexpected end of file while parsing object.");
                if (*m_p != ':')
                    return fail("No value for key in object.");
                ++m_p;
                skipSpace();
                id value = parseValue();
                if (!value)
                    return nullptr;
                entries.emplace_back(m_keys.get(std::move(*key)), std::move(value));
                skipSpace();
                if (m_p == m_end)
                    return fail("Unexpected end of file while parsing object.");
                if (*m_p == ',') {
                    ++m_p;
                    continue;
                }
                if (*m_p == '}') {
                    ++m_p;
                    break;
                }
                return fail("Badly formed object.");
            }
        }
        --m_depth;
        return makeDictionary(entries, m_mutableContainers);
    }

    std::optional<char32_t> parseHex4()
    {
        if (m_end - m_p < 4) {
            fail("Unexpected end of file during string parse.");
            return std::nullopt;
        }
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            int digit = hexDigitValue(m_p[i]);
            if (digit < 0) {
                fail("Invalid hex escape sequence.");
                return std::nullopt;
            }
            value = value << 4 | static_cast<char32_t>(digit);
        }
        m_p += 4;
        return value;
    }

    // m_p at the opening quote; leaves it after the closing one.
    std::optional<std::string> parseString()
    {
        const char* start = ++m_p;
        std::string out;
        for (;;) {
            // Copy the longest run of plain ASCII in one go.
            const char* run = m_p;
            while (m_p < m_end) {
                auto c = static_cast<unsigned char>(*m_p);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80)
                    break;
                ++m_p;
            }
            out.append(run, m_p);
            if (m_p == m_end) {
                failAt("Unexpected end of file during string parse.", start - 1);
                return std::nullopt;
            }
            auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                ++m_p;
                return out;
            }
            if (c < 0x20) {
                fail("Unescaped control character.");
                return std::nullopt;
            }
            if (c >= 0x80) {
                std::size_t n = utf8SequenceLength(reinterpret_cast<const unsigned char*>(m_p), reinterpret_cast<const unsigned char*>(m_end));
                if (!n) {
                    fail("Unable to convert data to string.");
                    return std::nullopt;
                }
                out.append(m_p, n);
                m_p += n;
                continue;
            }
            // Escape.
            ++m_p;
            if (m_p == m_end) {
                fail("Unexpected end of file during string parse.");
                return std::nullopt;
            }
            char e = *m_p++;
            switch (e) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                auto unit = parseHex4();
                if (!unit)
                    return std::nullopt;
                char32_t code = *unit;
                if (code >= 0xDC00 && code <= 0xDFFF) {
                    fail("Unable to convert hex escape sequence (no high character) to UTF8-encoded character.");
                    return std::nullopt;
                }
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (m_end - m_p < 2 || m_p[0] != '\\' || m_p[1] != 'u') {
                        fail("Unable to convert hex escape sequence (no low character) to UTF8-encoded character.");
                        return std::nullopt;
                    }
                    m_p += 2;
                    auto low = parseHex4();
                    if (!low)
                        return std::nullopt;
                    if (*low < 0xDC00 || *low > 0xDFFF) {
                        fail("Unable to convert hex escape sequence (no low character) to UTF8-encoded character.");
                        return std::nullopt;
                    }
                    code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                }
                appendUtf8(out, code);
                break;
            }
            default:
                --m_p;
                fail("Invalid escape sequence.");
                return std::nullopt;
            }
        }
    }

    id parseNumber()
    {
        const char* start = m_p;
        bool negative = false;
        if (*m_p == '-') {
            negative = true;
            ++m_p;
        }
        if (m_p == m_end || !(*m_p >= '0' && *m_p <= '9'))
            return failAt("Invalid number.", start);
        const char* digits = m_p;
        if (*m_p == '0') {
            ++m_p;
            if (m_p < m_end && *m_p >= '0' && *m_p <= '9')
                return failAt("Leading zeros are not allowed in numbers.", start);
        } else {
            while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
                ++m_p;
        }
        const char* digitsEnd = m_p;
        bool integral = true;
        if (m_p < m_end && *m_p == '.') {
            integral = false;
            ++m_p;
            if (m_p == m_end || !(*m_p >= '0' && *m_p <= '9'))
                return failAt("Invalid number.", start);
            while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
                ++m_p;
        }
        if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            integral = false;
            ++m_p;
            if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
                ++m_p;
            if (m_p == m_end || !(*m_p >= '0' && *m_p <= '9'))
                return failAt("Invalid number.", start);
            while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
                ++m_p;
        }
        if (integral) {
            std::uint64_t magnitude = 0;
            auto [end, ec] = std::from_chars(digits, digitsEnd, magnitude);
            if (ec == std::errc() && end == digitsEnd) {
                if (!negative) {
                    if (magnitude <= static_cast<std::uint64_t>(INT64_MAX))
                        return NSNumber::numberWithLongLong(static_cast<long long>(magnitude));
                    return NSNumber::numberWithUnsignedLongLong(magnitude);
                }
                if (magnitude <= static_cast<std::uint64_t>(INT64_MAX))
                    return NSNumber::numberWithLongLong(-static_cast<long long>(magnitude));
                if (magnitude == static_cast<std::uint64_t>(INT64_MAX) + 1)
                    return NSNumber::numberWithLongLong(INT64_MIN);
            }
            // Too large for 64 bits: a double, as below.
        }
        double value = 0;
        auto [end, ec] = std::from_chars(start, m_p, value);
        if (ec == std::errc::result_out_of_range) {
            // from_chars leaves the value unset: strtod tells overflow (infinite) from underflow.
            std::string copy(start, m_p);
            value = std::strtod(copy.c_str(), nullptr);
            if (value != value || value == HUGE_VAL || value == -HUGE_VAL)
                return failAt("Number out of range.", start);
        } else if (ec != std::errc() || end != m_p) {
            return failAt("Invalid number.", start);
        }
        return NSNumber::numberWithDouble(value);
    }

    const char* m_begin;
    const char* m_p;
    const char* m_end;
    bool m_mutableContainers;
    bool m_mutableLeaves;
    bool m_fragments;
    int m_maxDepth;
    int m_depth = 0;
    std::string m_error;
    const char* m_errorAt = nullptr;
    KeyCache m_keys;
};

} // namespace

namespace {

// Moves a fault found at `index` of the UTF-8 text that the parser read into the caller's terms:
// `prefix` bytes of byte-order mark before the text, `unitSize` bytes per code unit of the
// caller's encoding (1 for UTF-8, 2 for UTF-16, 4 for UTF-32).
void placeInCallersText(JSONReadResult& result, std::string_view text, std::size_t prefix, std::size_t unitSize)
{
    std::size_t index = std::min(result.errorIndex, text.size());
    std::size_t units = 0, line = 1, column = 0;
    for (std::size_t i = 0; i < index;) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (unitSize == 1)
            bytes = 1; // UTF-8 counts bytes, whatever they are
        // In UTF-16 a character beyond U+FFFF takes two units.
        std::size_t width = unitSize == 1 ? 1 : unitSize == 2 && bytes == 4 ? 2 : 1;
        units += width;
        if (lead == '\n') {
            ++line;
            column = 0;
        } else {
            column += width;
        }
        i += bytes;
    }
    result.errorIndex = prefix + units * unitSize;
    result.errorLine = line;
    result.errorColumn = column;
}

} // namespace

JSONReadResult readJSON(const unsigned char* bytes, std::size_t length, NSUInteger options, int maxDepth)
{
    // Detect the encoding from the byte-order mark, else from the pattern of zero bytes in the
    // first characters (JSON text starts with ASCII).
    std::optional<std::string> converted;
    bool needsConversion = false;
    std::size_t prefix = 0, unitSize = 1;
    auto b = bytes;
    if (length >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        bytes += 3;
        length -= 3;
        prefix = 3;
    } else if (length >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) {
        needsConversion = true, converted = utf32ToUTF8(b + 4, length - 4, ByteOrder::Big), prefix = 4, unitSize = 4;
    } else if (length >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) {
        needsConversion = true, converted = utf32ToUTF8(b + 4, length - 4, ByteOrder::Little), prefix = 4, unitSize = 4;
    } else if (length >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        needsConversion = true, converted = utf16ToUTF8(b + 2, length - 2, ByteOrder::Big), prefix = 2, unitSize = 2;
    } else if (length >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        needsConversion = true, converted = utf16ToUTF8(b + 2, length - 2, ByteOrder::Little), prefix = 2, unitSize = 2;
    } else if (length >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] != 0) {
        needsConversion = true, converted = utf32ToUTF8(b, length, ByteOrder::Big), unitSize = 4;
    } else if (length >= 4 && b[0] != 0 && b[1] == 0 && b[2] == 0 && b[3] == 0) {
        needsConversion = true, converted = utf32ToUTF8(b, length, ByteOrder::Little), unitSize = 4;
    } else if (length >= 2 && b[0] == 0 && b[1] != 0) {
        needsConversion = true, converted = utf16ToUTF8(b, length, ByteOrder::Big), unitSize = 2;
    } else if (length >= 2 && b[0] != 0 && b[1] == 0) {
        needsConversion = true, converted = utf16ToUTF8(b, length, ByteOrder::Little), unitSize = 2;
    }
    if (needsConversion && !converted) {
        JSONReadResult result;
        result.error = "Unable to convert data to string.";
        return result;
    }
    const char* begin = converted ? converted->data() : reinterpret_cast<const char*>(bytes);
    const char* end = begin + (converted ? converted->size() : length);
    JSONReadResult result = Parser(begin, end, options, maxDepth).run();
    if (!result.error.empty())
        placeInCallersText(result, std::string_view(begin, static_cast<std::size_t>(end - begin)), prefix, unitSize);
    return result;
}

} // namespace dv::internal::base
