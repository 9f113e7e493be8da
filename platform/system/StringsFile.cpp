// The reader of strings tables ("key" = "value"; in the old text form).
#include "platform/system/NSBundle.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"

#include <optional>

namespace dv {

namespace {

class StringsReader {
public:
    explicit StringsReader(std::string_view text) : m_text(text) { }

    Ref<NSDictionary> read()
    {
        auto entries = NSMutableDictionary::dictionary();
        for (;;) {
            if (!skipBlanks())
                return nil;
            if (m_at >= m_text.size())
                return NSDictionary::dictionaryWithDictionary(entries);
            auto key = token();
            if (!key || !skipBlanks())
                return nil;
            std::optional<std::string> value;
            if (peek() == '=') {
                ++m_at;
                if (!skipBlanks())
                    return nil;
                value = token();
                if (!value || !skipBlanks())
                    return nil;
            } else {
                value = key; // "key"; alone maps the key to itself
            }
            if (peek() != ';')
                return nil;
            ++m_at;
            entries->setObjectForKey(NSString::fromUTF8(*value), NSString::fromUTF8(*key));
        }
    }

private:
    char peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }

    // Skips white space and comments; false for a comment that never ends.
    bool skipBlanks()
    {
        while (m_at < m_text.size()) {
            char c = m_text[m_at];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++m_at;
            } else if (m_text.substr(m_at, 2) == "//") {
                auto end = m_text.find('\n', m_at);
                m_at = end == std::string_view::npos ? m_text.size() : end + 1;
            } else if (m_text.substr(m_at, 2) == "/*") {
                auto end = m_text.find("*/", m_at + 2);
                if (end == std::string_view::npos)
                    return false;
                m_at = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    static void appendUTF8(std::string& out, std::uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    std::optional<std::string> token()
    {
        std::string out;
        if (peek() != '"') {
            // An unquoted word of letters, digits and _ . / : - $.
            while (m_at < m_text.size()) {
                char c = m_text[m_at];
                if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '/' || c == ':' || c == '-' || c == '$'))
                    break;
                out += c;
                ++m_at;
            }
            if (out.empty())
                return std::nullopt;
            return out;
        }
        ++m_at;
        while (m_at < m_text.size()) {
            char c = m_text[m_at++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_text.size())
                return std::nullopt;
            char e = m_text[m_at++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'U':
            case 'u': {
                if (m_at + 4 > m_text.size())
                    return std::nullopt;
                std::uint32_t cp = 0;
                for (int i = 0; i < 4; ++i) {
                    char h = m_text[m_at++];
                    cp <<= 4;
                    if (h >= '0' && h <= '9') cp |= static_cast<std::uint32_t>(h - '0');
                    else if (h >= 'a' && h <= 'f') cp |= static_cast<std::uint32_t>(h - 'a' + 10);
                    else if (h >= 'A' && h <= 'F') cp |= static_cast<std::uint32_t>(h - 'A' + 10);
                    else return std::nullopt;
                }
                if (cp >= 0xD800 && cp <= 0xDFFF)
                    cp = 0xFFFD;
                appendUTF8(out, cp);
                break;
            }
            default: out += e; break; // \" \\ \' and anything else stand for themselves
            }
        }
        return std::nullopt;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

} // namespace

Ref<NSDictionary> parseStringsFile(const Ref<NSData>& data)
{
    if (!data)
        return nil;
    Ref<NSString> text;
    auto bytes = data->view();
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
        text = alloc<NSString>()->initWithData(data, NSUTF16StringEncoding);
    else
        text = alloc<NSString>()->initWithData(data, NSUTF8StringEncoding);
    if (!text)
        return nil;
    std::string_view view = text->utf8();
    if (view.starts_with("\xEF\xBB\xBF"))
        view.remove_prefix(3);
    return StringsReader(view).read();
}

} // namespace dv
