#include "platform/net/NSURLRequest.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/internal/HeaderFields.h"

DV_DEFINE_CLASS(NSURLRequest)

Ref<NSURLRequest> NSURLRequest::initWithURL(const Ref<NSURL>& url)
{
    return initWithURL(url, NSURLRequestUseProtocolCachePolicy, kDefaultURLRequestTimeout);
}

Ref<NSURLRequest> NSURLRequest::initWithURL(const Ref<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval)
{
    m_url = url;
    m_cachePolicy = cachePolicy;
    m_timeoutInterval = timeoutInterval;
    return self<NSURLRequest>();
}

Ref<NSURLRequest> NSURLRequest::requestWithURL(const Ref<NSURL>& url)
{
    return alloc<NSURLRequest>()->initWithURL(url);
}

Ref<NSURLRequest> NSURLRequest::requestWithURL(const Ref<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval)
{
    return alloc<NSURLRequest>()->initWithURL(url, cachePolicy, timeoutInterval);
}

Ref<NSString> NSURLRequest::HTTPMethod() const
{
    return NSString::fromUTF8(m_method);
}

Ref<NSDictionary> NSURLRequest::allHTTPHeaderFields() const
{
    if (m_headers.empty())
        return nullptr;
    return dv::internal::net::headerDictionary(m_headers);
}

Ref<NSString> NSURLRequest::valueForHTTPHeaderField(const Ref<NSString>& field) const
{
    if (!field)
        return nullptr;
    auto value = dv::internal::net::findHeader(m_headers, field->utf8());
    return value ? NSString::fromUTF8(*value) : nullptr;
}

Ref<NSString> NSURLRequest::description() const
{
    return NSString::stringWithFormat("<%@: %p> { URL: %@ }", className(), this, m_url);
}

bool NSURLRequest::isEqual(const NSObject* other) const
{
    auto* request = dynamic_cast<const NSURLRequest*>(other);
    if (!request)
        return false;
    if (request == this)
        return true;
    return dv::equal(m_url, request->m_url) && m_method == request->m_method && m_cachePolicy == request->m_cachePolicy
        && m_timeoutInterval == request->m_timeoutInterval && dv::internal::net::sameHeaders(m_headers, request->m_headers)
        && dv::equal(m_body, request->m_body) && m_bodyStream == request->m_bodyStream
        && m_shouldHandleCookies == request->m_shouldHandleCookies && m_shouldUsePipelining == request->m_shouldUsePipelining;
}

NSUInteger NSURLRequest::hash() const
{
    return m_url ? m_url->hash() : 0;
}

void NSURLRequest::copyStateFrom(const NSURLRequest& other)
{
    m_url = other.m_url;
    m_mainDocumentURL = other.m_mainDocumentURL;
    m_cachePolicy = other.m_cachePolicy;
    m_timeoutInterval = other.m_timeoutInterval;
    m_networkServiceType = other.m_networkServiceType;
    m_allowsCellularAccess = other.m_allowsCellularAccess;
    m_method = other.m_method;
    m_headers = other.m_headers;
    m_body = other.m_body;
    m_bodyStream = other.m_bodyStream;
    m_shouldHandleCookies = other.m_shouldHandleCookies;
    m_shouldUsePipelining = other.m_shouldUsePipelining;
}

id NSURLRequest::copyWithZone(NSZone*) const
{
    return std::const_pointer_cast<NSObject>(shared_from_this());
}

id NSURLRequest::mutableCopyWithZone(NSZone*) const
{
    auto copy = alloc<NSMutableURLRequest>();
    copy->copyStateFrom(*this);
    return copy;
}
