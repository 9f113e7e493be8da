// The changeable URL request. Setting a body stream clears the body data and the reverse, as the
// platform does. Not thread-safe: build it, then hand it over.
#pragma once

#include "platform/net/NSURLRequest.h"

class NSMutableURLRequest : public NSURLRequest {
    DV_CLASS(NSMutableURLRequest, NSURLRequest)

    NSMutableURLRequest() = default;
    static Ref<NSMutableURLRequest> requestWithURL(const Ref<NSURL>& url);
    static Ref<NSMutableURLRequest> requestWithURL(const Ref<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval);

    void setURL(const Ref<NSURL>& url);
    void setMainDocumentURL(const Ref<NSURL>& url);
    void setCachePolicy(NSURLRequestCachePolicy policy) { m_cachePolicy = policy; }
    void setTimeoutInterval(NSTimeInterval seconds) { m_timeoutInterval = seconds; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { m_networkServiceType = type; }
    void setAllowsCellularAccess(bool allows) { m_allowsCellularAccess = allows; }
    // nil restores "GET".
    void setHTTPMethod(const Ref<NSString>& method);
    // Replaces every field; nil removes all.
    void setAllHTTPHeaderFields(const Ref<NSDictionary>& fields);
    // nil removes the field.
    void setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field);
    // Appends ", value" to an existing field.
    void addValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field);
    void setHTTPBody(const Ref<NSData>& body);
    void setHTTPBodyStream(const Ref<NSInputStream>& stream);
    void setHTTPShouldHandleCookies(bool handle) { m_shouldHandleCookies = handle; }
    void setHTTPShouldUsePipelining(bool use) { m_shouldUsePipelining = use; }

    id copyWithZone(NSZone* zone) const override;
};
