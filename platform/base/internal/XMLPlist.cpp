// The XML property-list form: read through expat into our tree, written by hand with the
// standard prolog and document type.
#include "platform/base/internal/PropertyListFormats.h"

#include "platform/base/Base64.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/CollectionAccess.h"
#include "platform/base/internal/ExpatParser.h"
#include "platform/base/internal/JSONWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace dv::internal::base {

namespace {

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string_view trim(std::string_view text)
{
    std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

std::optional<Ref<NSNumber>> parseInteger(std::string_view text)
{
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (!negative)
        return magnitude > static_cast<std::uint64_t>(INT64_MAX) ? NSNumber::numberWithUnsignedLongLong(magnitude)
                                                                 : NSNumber::numberWithLongLong(static_cast<long long>(magnitude));
    if (magnitude > static_cast<std::uint64_t>(INT64_MAX) + 1)
        return std::nullopt;
    return NSNumber::numberWithLongLong(static_cast<long long>(0 - magnitude));
}

std::optional<double> parseReal(std::string_view text)
{
    text = trim(text);
    std::string lower;
    for (char c : text)
        lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
    if (lower == "nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (lower == "inf" || lower == "+inf" || lower == "infinity" || lower == "+infinity")
        return std::numeric_limits<double>::infinity();
    if (lower == "-inf" || lower == "-infinity")
        return -std::numeric_limits<double>::infinity();
    std::string_view digits = text;
    if (!digits.empty() && digits[0] == '+')
        digits.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || end != digits.data() + digits.size())
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        std::string copy(digits);
        return std::strtod(copy.c_str(), nullptr);
    }
    if (ec != std::errc())
        return std::nullopt;
    return value;
}

class XMLPlistBuilder final : public ExpatParser::Handler {
public:
    XMLPlistBuilder(NSUInteger mutability, int maxDepth)
        : m_mutableContainers(mutability != NSPropertyListImmutable)
        , m_mutableLeaves(mutability == NSPropertyListMutableContainersAndLeaves)
        , m_maxDepth(maxDepth)
    {
    }

    ExpatParser* parser = nullptr;
    id result;
    std::string error;

    void startElement(const char* name, const char** /*attributes*/) override
    {
        std::string_view tag(name);
        if (!m_frames.empty() && m_frames.back().kind == Kind::Leaf)
            return fail("Element <" + std::string(tag) + "> inside a value element.");
        if (tag == "plist") {
            if (m_sawPlist || !m_frames.empty())
                return fail("Misplaced <plist> element.");
            m_sawPlist = true;
            m_frames.emplace_back(Kind::Plist, std::string(tag));
            return;
        }
        if (static_cast<int>(m_frames.size()) > m_maxDepth + 1)
            return fail("Too many nested arrays or dictionaries.");
        if (!canHoldValue(tag == "key"))
            return;
        if (tag == "dict")
            m_frames.emplace_back(Kind::Dictionary, std::string(tag));
        else if (tag == "array")
            m_frames.emplace_back(Kind::Array, std::string(tag));
        else if (tag == "key" || tag == "string" || tag == "data" || tag == "date" || tag == "integer" || tag == "real"
                 || tag == "true" || tag == "false")
            m_frames.emplace_back(Kind::Leaf, std::string(tag));
        else
            fail("Unknown element <" + std::string(tag) + ">.");
    }

    void endElement(const char* /*name*/) override
    {
        if (failed() || m_frames.empty())
            return;
        Frame frame = std::move(m_frames.back());
        m_frames.pop_back();
        switch (frame.kind) {
        case Kind::Plist:
            if (!frame.value)
                return fail("Empty <plist> element.");
            result = frame.value;
            return;
        case Kind::Dictionary: {
            if (frame.pendingKey)
                return fail("Key without value in <dict>.");
            // {"CF$UID": n} is a keyed archive's object reference.
            if (frame.entries.size() == 1 && dv::str(frame.entries[0].first) == "CF$UID") {
                if (auto number = dynamic_cast<NSNumber*>(frame.entries[0].second.get()); number && !number->isFloatingPoint()
                                                                                          && number->longLongValue() >= 0) {
                    deliver(PlistUID::make(number->unsignedLongLongValue()));
                    return;
                }
            }
            deliver(makeDictionary(frame.entries, m_mutableContainers));
            return;
        }
        case Kind::Array:
            deliver(makeArray(std::move(frame.items), m_mutableContainers));
            return;
        case Kind::Leaf:
            finishLeaf(frame);
            return;
        }
    }

    void characters(std::string_view text) override
    {
        if (failed())
            return;
        if (!m_frames.empty() && m_frames.back().kind == Kind::Leaf) {
            m_frames.back().text.append(text);
            return;
        }
        if (!isBlank(text))
            fail("Text outside of a value element.");
    }

    bool entityDeclaration() override
    {
        error = "Entity declarations are not allowed in property lists.";
        return false;
    }

private:
    enum class Kind { Plist, Dictionary, Array, Leaf };
    struct Frame {
        Frame(Kind k, std::string t)
            : kind(k)
            , tag(std::move(t))
        {
        }
        Kind kind;
        std::string tag;
        std::string text;
        std::vector<id> items;
        std::vector<std::pair<id, id>> entries;
        Ref<NSString> pendingKey;
        id value; // the one value of <plist>
    };

    bool failed() const { return !error.empty(); }
    void fail(std::string message)
    {
        if (error.empty())
            error = std::move(message);
        if (parser)
            parser->stop();
    }

    // Whether the element now opening may stand here: keys only directly in a dictionary,
    // values in a dictionary only after a key.
    bool canHoldValue(bool isKey)
    {
        if (m_frames.empty()) {
            if (isKey || m_sawValue) {
                fail(isKey ? "Key outside of a dictionary." : "More than one top-level value.");
                return false;
            }
            return true;
        }
        Frame& parent = m_frames.back();
        switch (parent.kind) {
        case Kind::Dictionary:
            if (isKey != !parent.pendingKey) {
                fail(isKey ? "Two keys in a row in <dict>." : "Value without key in <dict>.");
                return false;
            }
            return true;
        case Kind::Array:
            if (isKey)
                fail("Key inside <array>.");
            return !isKey;
        case Kind::Plist:
            if (isKey || parent.value) {
                fail("<plist> holds exactly one value.");
                return false;
            }
            return true;
        case Kind::Leaf:
            return false;
        }
        return false;
    }

    void deliver(id value)
    {
        if (m_frames.empty()) {
            m_sawValue = true;
            result = std::move(value);
            return;
        }
        Frame& parent = m_frames.back();
        switch (parent.kind) {
        case Kind::Plist:
            parent.value = std::move(value);
            break;
        case Kind::Array:
            parent.items.push_back(std::move(value));
            break;
        case Kind::Dictionary:
            parent.entries.emplace_back(std::exchange(parent.pendingKey, nullptr), std::move(value));
            break;
        case Kind::Leaf:
            break;
        }
    }

    void finishLeaf(Frame& frame)
    {
        const std::string& tag = frame.tag;
        if (tag == "key") {
            m_frames.back().pendingKey = std::make_shared<NSString>(std::move(frame.text));
            return;
        }
        if (tag == "string") {
            if (m_mutableLeaves)
                deliver(NSMutableString::fromUTF8(frame.text));
            else
                deliver(std::make_shared<NSString>(std::move(frame.text)));
            return;
        }
        if (tag == "true" || tag == "false") {
            if (!isBlank(frame.text))
                return fail("Text inside <" + tag + "/>.");
            deliver(NSNumber::numberWithBool(tag == "true"));
            return;
        }
        if (tag == "integer") {
            auto number = parseInteger(frame.text);
            if (!number)
                return fail("Invalid <integer> value.");
            deliver(*number);
            return;
        }
        if (tag == "real") {
            auto value = parseReal(frame.text);
            if (!value)
                return fail("Invalid <real> value.");
            deliver(NSNumber::numberWithDouble(*value));
            return;
        }
        if (tag == "date") {
            double seconds = 0;
            if (!parsePlistDate(trim(frame.text), seconds))
                return fail("Invalid <date> value.");
            deliver(NSDate::dateWithTimeIntervalSinceReferenceDate(seconds));
            return;
        }
        // <data>: base64 with blanks and line breaks anywhere.
        std::string compact;
        for (char c : frame.text)
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                compact.push_back(c);
        auto bytes = base64Decode(compact);
        if (!bytes)
            return fail("Invalid base64 in <data>.");
        if (m_mutableLeaves) {
            auto data = NSMutableData::data();
            data->mutableVector() = std::move(*bytes);
            deliver(data);
        } else {
            deliver(NSData::dataWithVector(std::move(*bytes)));
        }
    }

    bool m_mutableContainers;
    bool m_mutableLeaves;
    int m_maxDepth;
    bool m_sawPlist = false;
    bool m_sawValue = false;
    std::vector<Frame> m_frames;
};

class XMLPlistWriter {
public:
    explicit XMLPlistWriter(int maxDepth)
        : m_maxDepth(maxDepth)
    {
    }

    std::string out;
    std::string error;

    bool write(const NSObject* object, int level)
    {
        if (level > m_maxDepth)
            return fail("Too many nested arrays or dictionaries in property list.");
        if (auto string = dynamic_cast<const NSString*>(object))
            return element(level, "string", string->utf8());
        if (auto number = dynamic_cast<const NSNumber*>(object)) {
            if (number->isBoolean()) {
                indent(level);
                out += number->boolValue() ? "<true/>\n" : "<false/>\n";
                return true;
            }
            std::string text;
            if (number->isFloatingPoint()) {
                double value = number->doubleValue();
                if (std::isnan(value))
                    text = "nan";
                else if (std::isinf(value))
                    text = value > 0 ? "+infinity" : "-infinity";
                else if (number->kind() == NSNumber::Kind::Float)
                    appendShortestFloat(text, number->floatValue());
                else
                    appendShortestDouble(text, value);
                return element(level, "real", text, false);
            }
            text = number->isUnsigned() ? std::to_string(number->unsignedLongLongValue()) : std::to_string(number->longLongValue());
            return element(level, "integer", text, false);
        }
        if (auto date = dynamic_cast<const NSDate*>(object))
            return element(level, "date", formatPlistDate(date->timeIntervalSinceReferenceDate()), false);
        if (auto data = dynamic_cast<const NSData*>(object)) {
            indent(level);
            out += "<data>\n";
            std::string encoded = base64Encode(data->span());
            for (std::size_t i = 0; i < encoded.size(); i += 68) {
                indent(level);
                out.append(encoded, i, 68);
                out.push_back('\n');
            }
            indent(level);
            out += "</data>\n";
            return true;
        }
        if (auto uid = dynamic_cast<const PlistUID*>(object)) {
            indent(level);
            out += "<dict>\n";
            element(level + 1, "key", "CF$UID");
            element(level + 1, "integer", std::to_string(uid->value()), false);
            indent(level);
            out += "</dict>\n";
            return true;
        }
        if (auto array = dynamic_cast<const NSArray*>(object)) {
            indent(level);
            if (array->count() == 0) {
                out += "<array/>\n";
                return true;
            }
            out += "<array>\n";
            for (const id& item : *array)
                if (!write(item.get(), level + 1))
                    return false;
            indent(level);
            out += "</array>\n";
            return true;
        }
        if (auto dictionary = dynamic_cast<const NSDictionary*>(object)) {
            indent(level);
            if (dictionary->count() == 0) {
                out += "<dict/>\n";
                return true;
            }
            out += "<dict>\n";
            for (const auto& [key, value] : *dictionary) {
                auto keyString = dynamic_cast<const NSString*>(key.get());
                if (!keyString)
                    return fail("Dictionary key is not a string.");
                if (!element(level + 1, "key", keyString->utf8()) || !write(value.get(), level + 1))
                    return false;
            }
            indent(level);
            out += "</dict>\n";
            return true;
        }
        return fail(object ? "Property list invalid for format: " + std::string(object->getClass()->name()) + " objects cannot be written."
                           : std::string("Property list contains nil."));
    }

private:
    bool fail(std::string message)
    {
        if (error.empty())
            error = std::move(message);
        return false;
    }

    void indent(int level) { out.append(static_cast<std::size_t>(level), '\t'); }

    bool element(int level, const char* tag, const std::string& text, bool escape = true)
    {
        indent(level);
        out += '<';
        out += tag;
        out += '>';
        if (escape) {
            for (char c : text) {
                auto u = static_cast<unsigned char>(c);
                // Characters XML 1.0 cannot carry would make the list unreadable.
                if (u < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    return fail("String with control characters cannot be written as XML.");
                if (c == '&')
                    out += "&amp;";
                else if (c == '<')
                    out += "&lt;";
                else if (c == '>')
                    out += "&gt;";
                else
                    out.push_back(c);
            }
        } else {
            out += text;
        }
        out += "</";
        out += tag;
        out += ">\n";
        return true;
    }

    int m_maxDepth;
};

} // namespace

PlistReadResult readXMLPlist(std::span<const std::uint8_t> bytes, NSUInteger mutability, int maxDepth)
{
    XMLPlistBuilder builder(mutability, maxDepth);
    ExpatParser parser(builder, false);
    builder.parser = &parser;
    bool ok = parser.parse(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    PlistReadResult result;
    if (!ok || !builder.error.empty() || !builder.result) {
        std::string message = !builder.error.empty() ? builder.error : !ok ? parser.errorMessage() : std::string("No value in property list.");
        result.error = message + " (line " + std::to_string(parser.line()) + ")";
        return result;
    }
    result.object = builder.result;
    return result;
}

PlistWriteResult writeXMLPlist(const NSObject* root, int maxDepth)
{
    XMLPlistWriter writer(maxDepth);
    writer.out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n";
    PlistWriteResult result;
    if (!root || !writer.write(root, 0)) {
        result.error = root ? writer.error : "Property list is nil.";
        return result;
    }
    writer.out += "</plist>\n";
    result.bytes.assign(writer.out.begin(), writer.out.end());
    return result;
}

} // namespace dv::internal::base
