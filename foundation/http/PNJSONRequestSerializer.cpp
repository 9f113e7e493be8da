#include "foundation/http/PNJSONRequestSerializer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/net/NSMutableURLRequest.h"

DV_DEFINE_CLASS(PNJSONRequestSerializer)

Ref<PNJSONRequestSerializer> PNJSONRequestSerializer::init()
{
    PNHTTPRequestSerializer::init();
    return self<PNJSONRequestSerializer>();
}

Ref<PNJSONRequestSerializer> PNJSONRequestSerializer::serializer() { return serializerWithWritingOptions(0); }

Ref<PNJSONRequestSerializer> PNJSONRequestSerializer::serializerWithWritingOptions(NSUInteger writingOptions)
{
    auto serializer = alloc<PNJSONRequestSerializer>()->init();
    serializer->m_writingOptions = writingOptions;
    return serializer;
}

void PNJSONRequestSerializer::applyDefaults()
{
    PNHTTPRequestSerializer::applyDefaults();
    m_writingOptions = 0;
}

Ref<NSURLRequest> PNJSONRequestSerializer::requestBySerializingRequest(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error)
{
    if (!request)
        return nil;
    if (HTTPMethodsEncodingParametersInURI()->containsObject(request->HTTPMethod()->uppercaseString()))
        return PNHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);

    auto mutableRequest = mutableRequestWithDefaultHeaders(request);
    if (parameters) {
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type"_ns))
            mutableRequest->setValueForHTTPHeaderField("application/json"_ns, "Content-Type"_ns);
        mutableRequest->setHTTPBody(NSJSONSerialization::dataWithJSONObject(parameters, m_writingOptions, error));
    }
    return mutableRequest;
}

void PNJSONRequestSerializer::encodeWithCoder(NSCoder& coder) const
{
    PNHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInteger(NSInteger(m_writingOptions), "writingOptions"_ns);
}

id PNJSONRequestSerializer::initWithCoder(NSCoder& coder)
{
    PNHTTPRequestSerializer::initWithCoder(coder);
    m_writingOptions = NSUInteger(coder.decodeIntegerForKey("writingOptions"_ns));
    return self();
}

id PNJSONRequestSerializer::copyWithZone(NSZone* zone) const
{
    auto copy = std::static_pointer_cast<PNJSONRequestSerializer>(PNHTTPRequestSerializer::copyWithZone(zone));
    copy->m_writingOptions = m_writingOptions;
    return copy;
}
