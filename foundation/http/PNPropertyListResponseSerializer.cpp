#include "foundation/http/PNPropertyListResponseSerializer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSSet.h"

DV_DEFINE_CLASS(PNPropertyListResponseSerializer)

Ref<PNPropertyListResponseSerializer> PNPropertyListResponseSerializer::init()
{
    PNHTTPResponseSerializer::init();
    return self<PNPropertyListResponseSerializer>();
}

Ref<PNPropertyListResponseSerializer> PNPropertyListResponseSerializer::serializer()
{
    return serializerWithFormat(NSPropertyListXMLFormat_v1_0, 0);
}

Ref<PNPropertyListResponseSerializer> PNPropertyListResponseSerializer::serializerWithFormat(NSUInteger format, NSUInteger readOptions)
{
    auto serializer = alloc<PNPropertyListResponseSerializer>()->init();
    serializer->m_format = format;
    serializer->m_readOptions = readOptions;
    return serializer;
}

void PNPropertyListResponseSerializer::applyDefaults()
{
    PNHTTPResponseSerializer::applyDefaults();
    m_format = 0;
    m_readOptions = 0;
    m_acceptableContentTypes = NSSet::of({"application/x-plist"_ns});
}

id PNPropertyListResponseSerializer::responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    if (!dv::internal::http::responseSerializerGate(*this, response, data, error))
        return nil;
    id plist;
    Ref<NSError> serializationError;
    if (data)
        plist = NSPropertyListSerialization::propertyListWithData(data, m_readOptions, nullptr, &serializationError);
    if (error)
        *error = PNAttachUnderlyingError(serializationError, *error);
    return plist;
}

void PNPropertyListResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    PNHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(NSNumber::numberWithUnsignedInteger(m_format), "format"_ns);
    coder.encodeObject(NSNumber::numberWithUnsignedInteger(m_readOptions), "readOptions"_ns);
}

id PNPropertyListResponseSerializer::initWithCoder(NSCoder& coder)
{
    PNHTTPResponseSerializer::initWithCoder(coder);
    if (auto format = coder.decodeObjectOfClass<NSNumber>("format"_ns))
        m_format = format->unsignedIntegerValue();
    if (auto options = coder.decodeObjectOfClass<NSNumber>("readOptions"_ns))
        m_readOptions = options->unsignedIntegerValue();
    return self();
}

id PNPropertyListResponseSerializer::copyWithZone(NSZone*) const
{
    auto copy = makeInitialisedInstance<PNPropertyListResponseSerializer>();
    copy->m_format = m_format;
    copy->m_readOptions = m_readOptions;
    return copy;
}
