#include "foundation/http/PNPropertyListRequestSerializer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSSet.h"
#include "platform/net/NSMutableURLRequest.h"

DV_DEFINE_CLASS(PNPropertyListRequestSerializer)

Ref<PNPropertyListRequestSerializer> PNPropertyListRequestSerializer::init()
{
    PNHTTPRequestSerializer::init();
    return self<PNPropertyListRequestSerializer>();
}

Ref<PNPropertyListRequestSerializer> PNPropertyListRequestSerializer::serializer()
{
    return serializerWithFormat(NSPropertyListXMLFormat_v1_0, 0);
}

Ref<PNPropertyListRequestSerializer> PNPropertyListRequestSerializer::serializerWithFormat(NSUInteger format, NSUInteger writeOptions)
{
    auto serializer = alloc<PNPropertyListRequestSerializer>()->init();
    serializer->m_format = format;
    serializer->m_writeOptions = writeOptions;
    return serializer;
}

void PNPropertyListRequestSerializer::applyDefaults()
{
    PNHTTPRequestSerializer::applyDefaults();
    m_format = 0;
    m_writeOptions = 0;
}

Ref<NSURLRequest> PNPropertyListRequestSerializer::requestBySerializingRequest(const Ref<NSURLRequest>& request, const id& parameters,
    Ref<NSError>* error)
{
    if (!request)
        return nil;
    if (HTTPMethodsEncodingParametersInURI()->containsObject(request->HTTPMethod()->uppercaseString()))
        return PNHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);

    auto mutableRequest = mutableRequestWithDefaultHeaders(request);
    if (parameters) {
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type"_ns))
            mutableRequest->setValueForHTTPHeaderField("application/x-plist"_ns, "Content-Type"_ns);
        mutableRequest->setHTTPBody(NSPropertyListSerialization::dataWithPropertyList(parameters, m_format, m_writeOptions, error));
    }
    return mutableRequest;
}

void PNPropertyListRequestSerializer::encodeWithCoder(NSCoder& coder) const
{
    PNHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInteger(NSInteger(m_format), "format"_ns);
    coder.encodeObject(NSNumber::numberWithUnsignedInteger(m_writeOptions), "writeOptions"_ns);
}

id PNPropertyListRequestSerializer::initWithCoder(NSCoder& coder)
{
    PNHTTPRequestSerializer::initWithCoder(coder);
    m_format = NSUInteger(coder.decodeIntegerForKey("format"_ns));
    if (auto options = coder.decodeObjectOfClass<NSNumber>("writeOptions"_ns))
        m_writeOptions = options->unsignedIntegerValue();
    return self();
}

id PNPropertyListRequestSerializer::copyWithZone(NSZone* zone) const
{
    auto copy = std::static_pointer_cast<PNPropertyListRequestSerializer>(PNHTTPRequestSerializer::copyWithZone(zone));
    copy->m_format = m_format;
    copy->m_writeOptions = m_writeOptions;
    return copy;
}
