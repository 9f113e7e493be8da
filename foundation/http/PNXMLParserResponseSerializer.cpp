#include "foundation/http/PNXMLParserResponseSerializer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSXMLParser.h"

DV_DEFINE_CLASS(PNXMLParserResponseSerializer)

Ref<PNXMLParserResponseSerializer> PNXMLParserResponseSerializer::init()
{
    PNHTTPResponseSerializer::init();
    return self<PNXMLParserResponseSerializer>();
}

Ref<PNXMLParserResponseSerializer> PNXMLParserResponseSerializer::serializer() { return alloc<PNXMLParserResponseSerializer>()->init(); }

void PNXMLParserResponseSerializer::applyDefaults()
{
    PNHTTPResponseSerializer::applyDefaults();
    m_acceptableContentTypes = NSSet::of({"application/xml"_ns, "text/xml"_ns});
}

id PNXMLParserResponseSerializer::responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    if (!dv::internal::http::responseSerializerGate(*this, response, data, error))
        return nil;
    return alloc<NSXMLParser>()->initWithData(data);
}
