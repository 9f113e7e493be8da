#include "platform/net/NSMutableURLRequest.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/internal/HeaderFields.h"

DV_DEFINE_CLASS(NSMutableURLRequest)

Ref<NSMutableURLRequest> NSMutableURLRequest::requestWithURL(const Ref<NSURL>& url)
{
    return std::static_pointer_cast<NSMutableURLRequest>(alloc<NSMutableURLRequest>()->initWithURL(url));
}

Ref<NSMutableURLRequest> NSMutableURLRequest::requestWithURL(const Ref<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval)
{
    return std::static_pointer_cast<NSMutableURLRequest>(alloc<NSMutableURLRequest>()->initWithURL(url, cachePolicy, timeoutInterval));
}

void NSMutableURLRequest::setURL(const Ref<NSURL>& url)
{
    m_url = url;
}

void NSMutableURLRequest::setMainDocumentURL(const Ref<NSURL>& url)
{
    m_mainDocumentURL = url;
}

void NSMutableURLRequest::setHTTPMethod(const Ref<NSString>& method)
{
    m_method = method && method->length() ? method->utf8() : "GET";
}

void NSMutableURLRequest::setAllHTTPHeaderFields(const Ref<NSDictionary>& fields)
{
    m_headers.clear();
    if (!fields)
        return;
    for (auto& [key, value] : fields->entries()) {
        auto name = dv::as<NSString>(key);
        auto text = dv::as<NSString>(value);
        if (name && text)
            dv::internal::net::setHeader(m_headers, name->utf8(), text->utf8());
    }
}

void NSMutableURLRequest::setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field)
{
    if (!field)
        return;
    if (!value)
        dv::internal::net::removeHeader(m_headers, field->utf8());
    else
        dv::internal::net::setHeader(m_headers, field->utf8(), value->utf8());
}

void NSMutableURLRequest::addValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field)
{
    if (!field || !value)
        return;
    auto existing = dv::internal::net::findHeader(m_headers, field->utf8());
    dv::internal::net::setHeader(m_headers, field->utf8(), existing ? *existing + "," + value->utf8() : value->utf8());
}

void NSMutableURLRequest::setHTTPBody(const Ref<NSData>& body)
{
    m_body = body ? NSData::dataWithData(body) : nullptr;
    m_bodyStream = nullptr;
}

void NSMutableURLRequest::setHTTPBodyStream(const Ref<NSInputStream>& stream)
{
    m_bodyStream = stream;
    m_body = nullptr;
}

id NSMutableURLRequest::copyWithZone(NSZone*) const
{
    auto copy = alloc<NSURLRequest>();
    copy->copyStateFrom(*this);
    return copy;
}
