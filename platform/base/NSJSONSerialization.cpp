#include "platform/base/NSJSONSerialization.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/FormatErrors.h"
#include "platform/base/internal/JSONReader.h"
#include "platform/base/internal/JSONWriter.h"

#include <cmath>

DV_DEFINE_CLASS(NSJSONSerialization)

namespace {

bool isContainer(const NSObject* object)
{
    return dynamic_cast<const NSArray*>(object) || dynamic_cast<const NSDictionary*>(object);
}

// Containers nest at most kMaxDepth deep, as the writer and the reader allow.
bool isValid(const NSObject* object, int depth)
{
    if (dynamic_cast<const NSString*>(object) || dynamic_cast<const NSNull*>(object))
        return true;
    if (auto number = dynamic_cast<const NSNumber*>(object))
        return number->isBoolean() || !number->isFloatingPoint() || std::isfinite(number->doubleValue());
    if (isContainer(object) && depth >= NSJSONSerialization::kMaxDepth)
        return false;
    if (auto array = dynamic_cast<const NSArray*>(object)) {
        for (const id& item : *array)
            if (!isValid(item.get(), depth + 1))
                return false;
        return true;
    }
    if (auto dictionary = dynamic_cast<const NSDictionary*>(object)) {
        for (const auto& [key, value] : *dictionary)
            if (!dynamic_cast<const NSString*>(key.get()) || !isValid(value.get(), depth + 1))
                return false;
        return true;
    }
    return false;
}

} // namespace

id NSJSONSerialization::JSONObjectWithData(const Ref<NSData>& data, NSJSONReadingOptions options, Ref<NSError>* error)
{
    if (!data) {
        // The platform raises for nil data; a missing reply body is an ordinary failure here.
        dv::internal::base::setError(error, dv::internal::base::makeCocoaError(dv::internal::base::kPropertyListReadCorruptError, "Unable to parse empty data."));
        return nullptr;
    }
    return JSONObjectWithBytes(data->bytes(), data->length(), options, error);
}

id NSJSONSerialization::JSONObjectWithBytes(const void* bytes, NSUInteger length, NSJSONReadingOptions options, Ref<NSError>* error)
{
    auto p = static_cast<const unsigned char*>(bytes);
    auto result = dv::internal::base::readJSON(p, length, options, kMaxDepth);
    if (!result.error.empty()) {
        if (error) {
            std::string message = result.error;
            if (message.ends_with('.'))
                message.pop_back();
            // The place is in the caller's text, byte-order mark and encoding included.
            message += " around line " + std::to_string(result.errorLine) + ", column " + std::to_string(result.errorColumn) + ".";
            auto info = NSDictionary::of({
                {NSLocalizedDescriptionKey, NSString::fromUTF8("The data couldn’t be read because it isn’t in the correct format.")},
                {NSString::fromUTF8("NSDebugDescription"), NSString::fromUTF8(message)},
                {NSString::fromUTF8("NSJSONSerializationErrorIndex"), NSNumber::numberWithUnsignedLongLong(result.errorIndex)},
            });
            *error = NSError::errorWithDomain(NSCocoaErrorDomain, dv::internal::base::kPropertyListReadCorruptError, info);
        }
        return nullptr;
    }
    return result.object;
}

Ref<NSData> NSJSONSerialization::dataWithJSONObject(const id& object, NSJSONWritingOptions options, Ref<NSError>* error)
{
    if (!object || (!(options & NSJSONWritingFragmentsAllowed) && !isContainer(object.get()))) {
        dv::internal::base::setError(error, dv::internal::base::makeCocoaError(dv::internal::base::kPropertyListWriteInvalidError, "Invalid top-level type in JSON write."));
        return nullptr;
    }
    auto result = dv::internal::base::writeJSON(object.get(), options, kMaxDepth);
    if (!result.error.empty()) {
        dv::internal::base::setError(error, dv::internal::base::makeCocoaError(dv::internal::base::kPropertyListWriteInvalidError, result.error));
        return nullptr;
    }
    std::vector<std::uint8_t> bytes(result.text.begin(), result.text.end());
    return NSData::dataWithVector(std::move(bytes));
}

bool NSJSONSerialization::isValidJSONObject(const id& object)
{
    return object && isContainer(object.get()) && isValid(object.get(), 0);
}
