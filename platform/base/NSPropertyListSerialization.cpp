#include "platform/base/NSPropertyListSerialization.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/FormatErrors.h"
#include "platform/base/internal/PropertyListFormats.h"
#include "platform/base/internal/TextCoding.h"

#include <cstring>

DV_DEFINE_CLASS(NSPropertyListSerialization)

namespace {

using namespace dv::internal::base;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

// XML when the first thing after blanks is a declaration, a comment, a document type or an
// element of the property-list vocabulary; "<0a1b>" stays text-form data.
bool looksLikeXML(std::span<const std::uint8_t> bytes)
{
    std::size_t i = 0;
    if (startsWith(bytes, "\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    auto rest = bytes.subspan(i);
    if (rest.empty() || rest[0] != '<')
        return false;
    for (std::string_view tag : {"<?", "<!", "<plist", "<dict", "<array", "<string", "<integer", "<real", "<true", "<false", "<date", "<data>", "<data/"})
        if (startsWith(rest, tag))
            return true;
    return false;
}

bool isValidFor(const NSObject* object, NSPropertyListFormat format, int depth)
{
    if (depth > NSPropertyListSerialization::kMaxDepth || !object)
        return false;
    if (dynamic_cast<const NSString*>(object) || dynamic_cast<const NSData*>(object))
        return true;
    if (dynamic_cast<const NSNumber*>(object) || dynamic_cast<const NSDate*>(object))
        return format != NSPropertyListOpenStepFormat;
    if (auto array = dynamic_cast<const NSArray*>(object)) {
        for (const id& item : *array)
            if (!isValidFor(item.get(), format, depth + 1))
                return false;
        return true;
    }
    if (auto dictionary = dynamic_cast<const NSDictionary*>(object)) {
        for (const auto& [key, value] : *dictionary)
            if (!dynamic_cast<const NSString*>(key.get()) || !isValidFor(value.get(), format, depth + 1))
                return false;
        return true;
    }
    return false;
}

} // namespace

id NSPropertyListSerialization::propertyListWithData(const Ref<NSData>& data, NSPropertyListReadOptions options,
                                                     NSPropertyListFormat* format, Ref<NSError>* error)
{
    if (!data || data->length() == 0) {
        setError(error, makeCocoaError(kPropertyListReadCorruptError, "Cannot parse a NULL or zero-length data"));
        return nullptr;
    }
    std::span<const std::uint8_t> bytes = data->span();
    PlistReadResult result;
    NSPropertyListFormat found = 0;
    std::optional<std::string> converted;
    if (startsWith(bytes, "bplist")) {
        found = NSPropertyListBinaryFormat_v1_0;
        if (!startsWith(bytes, "bplist00")) {
            setError(error, makeCocoaError(kPropertyListReadUnknownVersionError, "Unknown binary property list version."));
            return nullptr;
        }
        result = readBinaryPlist(bytes, options, kMaxDepth);
    } else {
        // Text in UTF-16 (with its mark) is read as UTF-8 from here on.
        if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, "\xFF\xFE")) {
            converted = utf16ToUTF8(bytes.data() + 2, bytes.size() - 2, bytes[0] == 0xFE ? ByteOrder::Big : ByteOrder::Little);
            if (!converted) {
                setError(error, makeCocoaError(kPropertyListReadCorruptError, "Property list text is not valid UTF-16."));
                return nullptr;
            }
            bytes = {reinterpret_cast<const std::uint8_t*>(converted->data()), converted->size()};
            // The declaration may still name UTF-16; drop it so that expat reads UTF-8.
            std::string_view text(*converted);
            if (text.starts_with("<?xml")) {
                std::size_t close = text.find("?>");
                if (close != std::string_view::npos)
                    bytes = bytes.subspan(close + 2);
            }
        }
        if (looksLikeXML(bytes)) {
            found = NSPropertyListXMLFormat_v1_0;
            result = readXMLPlist(bytes, options, kMaxDepth);
        } else {
            found = NSPropertyListOpenStepFormat;
            result = readTextPlist(bytes, options, kMaxDepth);
        }
    }
    if (!result.object) {
        setError(error, makeCocoaError(kPropertyListReadCorruptError, result.error));
        return nullptr;
    }
    if (dynamic_cast<PlistUID*>(result.object.get())) {
        setError(error, makeCocoaError(kPropertyListReadCorruptError, "A keyed-archive reference is not a property list."));
        return nullptr;
    }
    if (format)
        *format = found;
    return result.object;
}

Ref<NSData> NSPropertyListSerialization::dataWithPropertyList(const id& plist, NSPropertyListFormat format,
                                                             NSPropertyListWriteOptions, Ref<NSError>* error)
{
    PlistWriteResult result;
    if (format == NSPropertyListXMLFormat_v1_0) {
        result = writeXMLPlist(plist.get(), kMaxDepth);
    } else if (format == NSPropertyListBinaryFormat_v1_0) {
        result = writeBinaryPlist(plist.get(), kMaxDepth);
    } else {
        setError(error, makeCocoaError(kPropertyListWriteInvalidError, "Property list format " + std::to_string(format) + " cannot be written."));
        return nullptr;
    }
    if (!result.error.empty()) {
        setError(error, makeCocoaError(kPropertyListWriteInvalidError, result.error));
        return nullptr;
    }
    return NSData::dataWithVector(std::move(result.bytes));
}

bool NSPropertyListSerialization::propertyListIsValidForFormat(const id& plist, NSPropertyListFormat format)
{
    if (format != NSPropertyListOpenStepFormat && format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0)
        return false;
    return isValidFor(plist.get(), format, 0);
}
