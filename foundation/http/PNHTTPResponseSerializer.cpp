#include "foundation/http/PNHTTPResponseSerializer.h"

#include "foundation/http/internal/NetworkingStrings.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSIndexSet.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSData.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"

DV_DEFINE_CLASS(PNHTTPResponseSerializer)

const Ref<NSString> PNURLResponseSerializationErrorDomain = "com.pellucor.error.serialization.response"_ns;
const Ref<NSString> PNNetworkingOperationFailingURLResponseErrorKey = "com.pellucor.serialization.response.error.response"_ns;
const Ref<NSString> PNNetworkingOperationFailingURLResponseDataErrorKey = "com.pellucor.serialization.response.error.data"_ns;

Ref<NSError> PNAttachUnderlyingError(const Ref<NSError>& error, const Ref<NSError>& underlyingError)
{
    if (!error)
        return underlyingError;
    if (!underlyingError || error->userInfo()->objectForKey(NSUnderlyingErrorKey))
        return error;
    auto info = NSMutableDictionary::dictionaryWithDictionary(error->userInfo());
    info->setObjectForKeyedSubscript(underlyingError, NSUnderlyingErrorKey);
    return NSError::errorWithDomain(error->domain(), error->code(), info);
}

bool PNErrorChainHasCode(const Ref<NSError>& error)
{
    // Walked as a loop so that a long chain cannot exhaust the stack.
    for (auto current = error; current; current = dv::as<NSError>(current->userInfo()->objectForKey(NSUnderlyingErrorKey))) {
        if (current->code() == NSURLErrorCannotDecodeContentData && dv::equal(current->domain(), PNURLResponseSerializationErrorDomain))
            return true;
    }
    return false;
}

Ref<PNHTTPResponseSerializer> PNHTTPResponseSerializer::init()
{
    NSObject::init();
    applyDefaults();
    return self<PNHTTPResponseSerializer>();
}

Ref<PNHTTPResponseSerializer> PNHTTPResponseSerializer::serializer() { return alloc<PNHTTPResponseSerializer>()->init(); }

void PNHTTPResponseSerializer::applyDefaults()
{
    m_stringEncoding = NSUTF8StringEncoding;
    m_acceptableStatusCodes = NSIndexSet::indexSetWithIndexesInRange(NSMakeRange(200, 100));
    m_acceptableContentTypes = nil;
}

void PNHTTPResponseSerializer::setAcceptableStatusCodes(const Ref<NSIndexSet>& codes) { m_acceptableStatusCodes = dv::copyAs<NSIndexSet>(codes); }
void PNHTTPResponseSerializer::setAcceptableContentTypes(const Ref<NSSet>& types) { m_acceptableContentTypes = dv::copyAs<NSSet>(types); }

namespace {

Ref<NSMutableDictionary> validationUserInfo(const Ref<NSString>& message, const Ref<NSHTTPURLResponse>& response, const Ref<NSData>& data)
{
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKeyedSubscript(message, NSLocalizedDescriptionKey);
    info->setObjectForKeyedSubscript(response->URL(), NSURLErrorFailingURLErrorKey);
    info->setObjectForKeyedSubscript(response, PNNetworkingOperationFailingURLResponseErrorKey);
    if (data)
        info->setObjectForKeyedSubscript(data, PNNetworkingOperationFailingURLResponseDataErrorKey);
    return info;
}

} // namespace

bool PNHTTPResponseSerializer::validateResponse(const Ref<NSHTTPURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    if (!response)
        return true;
    bool valid = true;
    Ref<NSError> validationError;

    if (m_acceptableContentTypes) {
        auto type = response->MIMEType();
        if (!type || !m_acceptableContentTypes->containsObject(type)) {
            if (data && data->length() > 0 && response->URL()) {
                auto message = NSString::stringWithFormat(dv::internal::http::networkingString("Request failed: unacceptable content-type: %@"), type);
                validationError = NSError::errorWithDomain(PNURLResponseSerializationErrorDomain, NSURLErrorCannotDecodeContentData,
                    validationUserInfo(message, response, data));
            }
            valid = false;
        }
    }

    if (m_acceptableStatusCodes && !m_acceptableStatusCodes->containsIndex(NSUInteger(response->statusCode())) && response->URL()) {
        auto message = NSString::stringWithFormat(dv::internal::http::networkingString("Request failed: %@ (%ld)"),
            NSHTTPURLResponse::localizedStringForStatusCode(response->statusCode()), long(response->statusCode()));
        auto statusError = NSError::errorWithDomain(PNURLResponseSerializationErrorDomain, NSURLErrorBadServerResponse,
            validationUserInfo(message, response, data));
        validationError = PNAttachUnderlyingError(statusError, validationError);
        valid = false;
    }

    if (!valid && error)
        *error = validationError;
    return valid;
}

id PNHTTPResponseSerializer::responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    validateResponse(dv::as<NSHTTPURLResponse>(response), data, error);
    return data;
}

void PNHTTPResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeObject(m_acceptableStatusCodes, "acceptableStatusCodes"_ns);
    coder.encodeObject(m_acceptableContentTypes, "acceptableContentTypes"_ns);
}

id PNHTTPResponseSerializer::initWithCoder(NSCoder& coder)
{
    NSObject::init();
    applyDefaults();
    m_acceptableStatusCodes = coder.decodeObjectOfClass<NSIndexSet>("acceptableStatusCodes"_ns);
    // A string is allowed as an element and so at the top too; only a set is taken.
    m_acceptableContentTypes = dv::as<NSSet>(coder.decodeObjectOfClasses({NSSet::class_(), NSString::class_()}, "acceptableContentTypes"_ns));
    return self();
}

id PNHTTPResponseSerializer::copyWithZone(NSZone*) const
{
    auto copy = makeInitialisedInstance<PNHTTPResponseSerializer>();
    copy->m_acceptableStatusCodes = dv::copyAs<NSIndexSet>(m_acceptableStatusCodes);
    copy->m_acceptableContentTypes = dv::copyAs<NSSet>(m_acceptableContentTypes);
    return copy;
}

namespace dv::internal::http {

bool responseSerializerGate(PNHTTPResponseSerializer& serializer, const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    if (serializer.validateResponse(dv::as<NSHTTPURLResponse>(response), data, error))
        return true;
    return error && !PNErrorChainHasCode(*error);
}

} // namespace dv::internal::http
