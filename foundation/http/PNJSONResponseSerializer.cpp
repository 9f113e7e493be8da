#include "foundation/http/PNJSONResponseSerializer.h"

#include "foundation/http/internal/NetworkingStrings.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/StringEncodings.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLResponse.h"

DV_DEFINE_CLASS(PNJSONResponseSerializer)

Ref<PNJSONResponseSerializer> PNJSONResponseSerializer::init()
{
    PNHTTPResponseSerializer::init();
    return self<PNJSONResponseSerializer>();
}

Ref<PNJSONResponseSerializer> PNJSONResponseSerializer::serializer() { return serializerWithReadingOptions(0); }

Ref<PNJSONResponseSerializer> PNJSONResponseSerializer::serializerWithReadingOptions(NSUInteger readingOptions)
{
    auto serializer = alloc<PNJSONResponseSerializer>()->init();
    serializer->setReadingOptions(readingOptions);
    return serializer;
}

void PNJSONResponseSerializer::applyDefaults()
{
    PNHTTPResponseSerializer::applyDefaults();
    m_readingOptions = 0;
    m_removesKeysWithNullValues = false;
    m_acceptableContentTypes = NSSet::of({"application/json"_ns, "text/json"_ns, "text/javascript"_ns});
}

id PNJSONResponseSerializer::responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    if (!dv::internal::http::responseSerializerGate(*this, response, data, error))
        return nil;

    NSStringEncoding encoding = m_stringEncoding;
    if (response && response->textEncodingName()) {
        NSStringEncoding named = dv::stringEncodingForIANAName(response->textEncodingName());
        if (named != 0)
            encoding = named;
    }

    id object;
    Ref<NSError> serializationError;
    {
        // The decoded text and its UTF-8 form die at the end of this scope, before the object is
        // handed on.
        Ref<NSString> text = data ? alloc<NSString>()->initWithData(data, encoding) : nil;
        if (text && !text->isEqualToString(" ")) {
            Ref<NSData> utf8 = text->dataUsingEncoding(NSUTF8StringEncoding);
            if (!utf8) {
                auto info = NSMutableDictionary::dictionary();
                info->setObjectForKeyedSubscript(dv::internal::http::networkingString("Data failed decoding as a UTF-8 string"), NSLocalizedDescriptionKey);
                info->setObjectForKeyedSubscript(NSString::stringWithFormat(dv::internal::http::networkingString("Could not decode string: %@"), text),
                    NSLocalizedFailureReasonErrorKey);
                serializationError = NSError::errorWithDomain(PNURLResponseSerializationErrorDomain, NSURLErrorCannotDecodeContentData, info);
            } else if (utf8->length() == 0) {
                return nil;
            } else {
                object = NSJSONSerialization::JSONObjectWithData(utf8, m_readingOptions, &serializationError);
            }
        }
    }

    if (object && m_removesKeysWithNullValues)
        object = PNJSONObjectRemovingNulls(object, m_readingOptions);
    if (error)
        *error = PNAttachUnderlyingError(serializationError, *error);
    return object;
}

id PNJSONObjectRemovingNulls(const id& JSONObject, NSUInteger readingOptions)
{
    const bool mutableContainers = readingOptions & NSJSONReadingMutableContainers;
    if (auto array = dv::as<NSArray>(JSONObject)) {
        auto result = NSMutableArray::arrayWithCapacity(array->count());
        for (const id& element : *array)
            result->addObject(PNJSONObjectRemovingNulls(element, readingOptions));
        return mutableContainers ? id(result) : result->copy();
    }
    if (auto dictionary = dv::as<NSDictionary>(JSONObject)) {
        auto result = NSMutableDictionary::dictionaryWithDictionary(dictionary);
        for (const auto& [key, value] : *dictionary) {
            if (!value || value->isEqual(NSNull::null().get()))
                result->removeObjectForKey(key);
            else if (dv::as<NSArray>(value) || dv::as<NSDictionary>(value))
                result->setObjectForKeyedSubscript(PNJSONObjectRemovingNulls(value, readingOptions), key);
        }
        return mutableContainers ? id(result) : result->copy();
    }
    return JSONObject;
}

void PNJSONResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    PNHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(NSNumber::numberWithUnsignedInteger(m_readingOptions), "readingOptions"_ns);
    coder.encodeObject(NSNumber::numberWithBool(m_removesKeysWithNullValues), "removesKeysWithNullValues"_ns);
}

id PNJSONResponseSerializer::initWithCoder(NSCoder& coder)
{
    PNHTTPResponseSerializer::initWithCoder(coder);
    if (auto options = coder.decodeObjectOfClass<NSNumber>("readingOptions"_ns))
        m_readingOptions = options->unsignedIntegerValue();
    if (auto removes = coder.decodeObjectOfClass<NSNumber>("removesKeysWithNullValues"_ns))
        m_removesKeysWithNullValues = removes->boolValue();
    return self();
}

id PNJSONResponseSerializer::copyWithZone(NSZone*) const
{
    auto copy = makeInitialisedInstance<PNJSONResponseSerializer>();
    copy->m_readingOptions = m_readingOptions;
    copy->m_removesKeysWithNullValues = m_removesKeysWithNullValues;
    return copy;
}
