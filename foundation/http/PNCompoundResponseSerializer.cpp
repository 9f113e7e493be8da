#include "foundation/http/PNCompoundResponseSerializer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSError.h"

DV_DEFINE_CLASS(PNCompoundResponseSerializer)

Ref<PNCompoundResponseSerializer> PNCompoundResponseSerializer::init()
{
    PNHTTPResponseSerializer::init();
    return self<PNCompoundResponseSerializer>();
}

Ref<PNCompoundResponseSerializer> PNCompoundResponseSerializer::compoundSerializerWithResponseSerializers(const Ref<NSArray>& responseSerializers)
{
    auto serializer = alloc<PNCompoundResponseSerializer>()->init();
    serializer->setResponseSerializers(responseSerializers);
    return serializer;
}

void PNCompoundResponseSerializer::applyDefaults()
{
    PNHTTPResponseSerializer::applyDefaults();
    m_responseSerializers = nil;
}

void PNCompoundResponseSerializer::setResponseSerializers(const Ref<NSArray>& serializers)
{
    m_responseSerializers = dv::copyAs<NSArray>(serializers);
}

id PNCompoundResponseSerializer::responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    if (m_responseSerializers) {
        for (const id& entry : *m_responseSerializers) {
            auto serializer = dv::as<PNHTTPResponseSerializer>(entry);
            if (!serializer)
                continue;
            Ref<NSError> serializerError;
            id object = serializer->responseObjectForResponse(response, data, &serializerError);
            if (object) {
                if (error)
                    *error = PNAttachUnderlyingError(serializerError, *error);
                return object;
            }
        }
    }
    return PNHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

void PNCompoundResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    PNHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(m_responseSerializers, "responseSerializers"_ns);
}

id PNCompoundResponseSerializer::initWithCoder(NSCoder& coder)
{
    PNHTTPResponseSerializer::initWithCoder(coder);
    // A serializer is allowed as an element and so at the top too; only an array is taken.
    m_responseSerializers = dv::as<NSArray>(
        coder.decodeObjectOfClasses({NSArray::class_(), PNHTTPResponseSerializer::class_()}, "responseSerializers"_ns));
    return self();
}

id PNCompoundResponseSerializer::copyWithZone(NSZone*) const
{
    auto copy = makeInitialisedInstance<PNCompoundResponseSerializer>();
    copy->m_responseSerializers = m_responseSerializers;
    return copy;
}
