// The old text property-list form: { key = value; }, ( a, b ), <hex data>, quoted and bare
// strings, with // and /* */ comments. A file of bare "key = value;" pairs (a strings file) reads
// as a dictionary. Every value is a string, data, array or dictionary.
#include "platform/base/internal/PropertyListFormats.h"

#include "platform/base/NSData.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/CollectionAccess.h"
#include "platform/base/internal/TextCoding.h"

#include <cctype>

namespace dv::internal::base {

namespace {

class TextReader {
public:
    TextReader(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth)
        : m_begin(reinterpret_cast<const char*>(bytes.data()))
        , m_p(m_begin)
        , m_end(m_begin + bytes.size())
        , m_mutableContainers(mutability != NSPropertyListImmutable)
        , m_mutableLeaves(mutability == NSPropertyListMutableContainersAndLeaves)
        , m_maxDepth(maxDepth)
    {
    }

    PlistReadResult run()
    {
        PlistReadResult result;
        if (!isValidUtf8(std::string_view(m_begin, static_cast<std::size_t>(m_end - m_begin)))) {
            result.error = "Text property list is not valid UTF-8.";
            return result;
        }
        if (m_end - m_p >= 3 && std::string_view(m_p, 3) == "\xEF\xBB\xBF")
            m_p += 3;
        if (!skip()) {
            result.error = m_error;
            return result;
        }
        if (m_p == m_end) {
            // An empty strings file is an empty dictionary.
            result.object = makeDictionary({}, m_mutableContainers);
            return result;
        }
        const char* start = m_p;
        id value = parseValue(0);
        if (value && skip() && m_p < m_end && *m_p == '=' && dynamic_cast<NSString*>(value.get())) {
            m_p = start;
            value = parseEntries(0, false);
        }
        if (value && skip() && m_p != m_end)
            value = fail("Junk after the value.");
        if (!value) {
            result.error = m_error + " (line " + std::to_string(lineOf(m_p)) + ")";
            return result;
        }
        result.object = value;
        return result;
    }

private:
    id fail(const char* message)
    {
        if (m_error.empty())
            m_error = message;
        return nullptr;
    }

    std::size_t lineOf(const char* at) const
    {
        std::size_t line = 1;
        for (const char* p = m_begin; p < at && p < m_end; ++p)
            line += *p == '\n';
        return line;
    }

    // Skips blanks and comments; false on an unterminated comment.
    bool skip()
    {
        while (m_p < m_end) {
            char c = *m_p;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                ++m_p;
            } else if (c == '/' && m_p + 1 < m_end && m_p[1] == '/') {
                while (m_p < m_end && *m_p != '\n')
                    ++m_p;
            } else if (c == '/' && m_p + 1 < m_end && m_p[1] == '*') {
                const char* close = nullptr;
                for (const char* p = m_p + 2; p + 1 < m_end; ++p)
                    if (p[0] == '*' && p[1] == '/') {
                        close = p;
                        break;
                    }
                if (!close) {
                    fail("Unterminated comment.");
                    return false;
                }
                m_p = close + 2;
            } else {
                break;
            }
        }
        return true;
    }

    static bool isBareCharacter(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '+'
            || c == '/' || c == ':' || c == '.' || c == '-';
    }

    id makeString(std::string text)
    {
        if (m_mutableLeaves)
            return NSMutableString::fromUTF8(text);
        return std::make_shared<NSString>(std::move(text));
    }

    id parseValue(int depth)
    {
        if (depth > m_maxDepth)
            return fail("Too many nested arrays or dictionaries.");
        if (!skip())
            return nullptr;
        if (m_p == m_end)
            return fail("Unexpected end of text.");
        char c = *m_p;
        if (c == '{') {
            ++m_p;
            return parseEntries(depth, true);
        }
        if (c == '(')
            return parseArray(depth);
        if (c == '<')
            return parseData();
        if (c == '"' || c == '\'')
            return parseQuoted();
        if (isBareCharacter(c)) {
            const char* start = m_p;
            while (m_p < m_end && isBareCharacter(*m_p))
                ++m_p;
            return makeString(std::string(start, m_p));
        }
        return fail("Unexpected character.");
    }

    id parseArray(int depth)
    {
        ++m_p; // '('
        std::vector<id> items;
        for (;;) {
            if (!skip())
                return nullptr;
            if (m_p == m_end)
                return fail("Unterminated array.");
            if (*m_p == ')') {
                ++m_p;
                break;
            }
            id item = parseValue(depth + 1);
            if (!item)
                return nullptr;
            items.push_back(std::move(item));
            if (!skip())
                return nullptr;
            if (m_p < m_end && *m_p == ',') {
                ++m_p;
                continue;
            }
            if (m_p < m_end && *m_p == ')') {
                ++m_p;
                break;
            }
            return fail("Missing ',' or ')' in array.");
        }
        return makeArray(std::move(items), m_mutableContainers);
    }

    // After '{' when braced, else from the start of a strings file.
    id parseEntries(int depth, bool braced)
    {
        std::vector<std::pair<id, id>> entries;
        for (;;) {
            if (!skip())
                return nullptr;
            if (m_p == m_end) {
                if (braced)
                    return fail("Unterminated dictionary.");
                break;
            }
            if (braced && *m_p == '}') {
                ++m_p;
                break;
            }
            id key = parseValue(depth + 1);
            if (!key)
                return nullptr;
            if (!dynamic_cast<NSString*>(key.get()))
                return fail("Dictionary key is not a string.");
            if (!skip())
                return nullptr;
            id value;
            if (m_p < m_end && *m_p == ';') {
                value = key; // "key;" stands for "key = key;"
            } else {
                if (m_p == m_end || *m_p != '=')
                    return fail("Missing '=' in dictionary.");
                ++m_p;
                value = parseValue(depth + 1);
                if (!value)
                    return nullptr;
                if (!skip())
                    return nullptr;
            }
            if (m_p == m_end || *m_p != ';')
                return fail("Missing ';' in dictionary.");
            ++m_p;
            entries.emplace_back(std::move(key), std::move(value));
        }
        return makeDictionary(entries, m_mutableContainers);
    }

    id parseData()
    {
        ++m_p; // '<'
        std::vector<std::uint8_t> bytes;
        int high = -1;
        while (m_p < m_end && *m_p != '>') {
            char c = *m_p++;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
                continue;
            int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (v < 0)
                return fail("Invalid character in data.");
            if (high < 0) {
                high = v;
            } else {
                bytes.push_back(static_cast<std::uint8_t>(high << 4 | v));
                high = -1;
            }
        }
        if (m_p == m_end)
            return fail("Unterminated data.");
        if (high >= 0)
            return fail("Odd number of hexadecimal digits in data.");
        ++m_p;
        if (m_mutableLeaves) {
            auto data = NSMutableData::data();
            data->mutableVector() = std::move(bytes);
            return data;
        }
        return NSData::dataWithVector(std::move(bytes));
    }

    id parseQuoted()
    {
        char quote = *m_p++;
        std::string out;
        while (m_p < m_end && *m_p != quote) {
            char c = *m_p++;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (m_p == m_end)
                break;
            char e = *m_p++;
            switch (e) {
            case 'a': out.push_back('\a'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'v': out.push_back('\v'); break;
            case 'U':
            case 'u': {
                char32_t value = 0;
                int digits = 0;
                while (digits < 4 && m_p < m_end && std::isxdigit(static_cast<unsigned char>(*m_p))) {
                    char h = *m_p++;
                    value = value << 4 | static_cast<char32_t>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                    ++digits;
                }
                if (digits == 0)
                    return fail("Invalid \\U escape.");
                if (value >= 0xD800 && value <= 0xDBFF && m_end - m_p >= 6 && m_p[0] == '\\' && (m_p[1] == 'U' || m_p[1] == 'u')) {
                    char32_t low = 0;
                    bool ok = true;
                    for (int i = 2; i < 6; ++i) {
                        char h = m_p[i];
                        if (!std::isxdigit(static_cast<unsigned char>(h))) {
                            ok = false;
                            break;
                        }
                        low = low << 4 | static_cast<char32_t>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                    }
                    if (ok && low >= 0xDC00 && low <= 0xDFFF) {
                        m_p += 6;
                        value = 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
                    }
                }
                if (value >= 0xD800 && value <= 0xDFFF)
                    value = 0xFFFD;
                appendUtf8(out, value);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned value = static_cast<unsigned>(e - '0');
                    for (int i = 0; i < 2 && m_p < m_end && *m_p >= '0' && *m_p <= '7'; ++i)
                        value = value * 8 + static_cast<unsigned>(*m_p++ - '0');
                    appendUtf8(out, static_cast<char32_t>(value & 0xFF));
                } else {
                    out.push_back(e);
                }
            }
        }
        if (m_p == m_end)
            return fail("Unterminated quoted string.");
        ++m_p;
        return makeString(std::move(out));
    }

    const char* m_begin;
    const char* m_p;
    const char* m_end;
    bool m_mutableContainers;
    bool m_mutableLeaves;
    int m_maxDepth;
    std::string m_error;
};

} // namespace

PlistReadResult readTextPlist(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth)
{
    return TextReader(bytes, mutability, maxDepth).run();
}

} // namespace dv::internal::base
