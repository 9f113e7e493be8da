// A URL load request: URL, method, header fields (names compared without regard to case, first
// spelling kept), body as data or as a stream, idle time-out (60 s by default), cache policy,
// cookie and pipelining flags. Immutable; NSMutableURLRequest is the changeable form. Copies of
// an immutable request are the request itself.
//
//   auto request = NSMutableURLRequest::requestWithURL(url);
//   request->setHTTPMethod("POST"_ns);
//   request->setValueForHTTPHeaderField("application/json"_ns, "Content-Type"_ns);
#pragma once

#include "platform/base/NSObject.h"

#include <string>
#include <utility>
#include <vector>

class NSInputStream;

enum NSURLRequestCachePolicy : NSUInteger {
    NSURLRequestUseProtocolCachePolicy = 0,
    NSURLRequestReloadIgnoringLocalCacheData = 1,
    NSURLRequestReloadIgnoringLocalAndRemoteCacheData = 4,
    NSURLRequestReloadIgnoringCacheData = NSURLRequestReloadIgnoringLocalCacheData,
    NSURLRequestReturnCacheDataElseLoad = 2,
    NSURLRequestReturnCacheDataDontLoad = 3,
    NSURLRequestReloadRevalidatingCacheData = 5,
};

enum NSURLRequestNetworkServiceType : NSUInteger {
    NSURLNetworkServiceTypeDefault = 0,
    NSURLNetworkServiceTypeVoIP = 1,
    NSURLNetworkServiceTypeVideo = 2,
    NSURLNetworkServiceTypeBackground = 3,
    NSURLNetworkServiceTypeVoice = 4,
};

inline constexpr NSTimeInterval kDefaultURLRequestTimeout = 60.0;

class NSURLRequest : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSURLRequest, NSObject)

    NSURLRequest() = default;
    Ref<NSURLRequest> initWithURL(const Ref<NSURL>& url);
    Ref<NSURLRequest> initWithURL(const Ref<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval);
    static Ref<NSURLRequest> requestWithURL(const Ref<NSURL>& url);
    static Ref<NSURLRequest> requestWithURL(const Ref<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval);

    Ref<NSURL> URL() const { return m_url; }
    Ref<NSURL> mainDocumentURL() const { return m_mainDocumentURL; }
    NSURLRequestCachePolicy cachePolicy() const { return m_cachePolicy; }
    NSTimeInterval timeoutInterval() const { return m_timeoutInterval; }
    NSURLRequestNetworkServiceType networkServiceType() const { return m_networkServiceType; }
    bool allowsCellularAccess() const { return m_allowsCellularAccess; }
    Ref<NSString> HTTPMethod() const; // "GET" unless set
    Ref<NSDictionary> allHTTPHeaderFields() const; // nil when there are none
    Ref<NSString> valueForHTTPHeaderField(const Ref<NSString>& field) const;
    Ref<NSData> HTTPBody() const { return m_body; }
    Ref<NSInputStream> HTTPBodyStream() const { return m_bodyStream; }
    bool HTTPShouldHandleCookies() const { return m_shouldHandleCookies; }
    bool HTTPShouldUsePipelining() const { return m_shouldUsePipelining; }

    // The header fields in the order they were first set, for the transport.
    const std::vector<std::pair<std::string, std::string>>& headerList() const { return m_headers; }

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

protected:
    friend class NSMutableURLRequest;
    void copyStateFrom(const NSURLRequest& other);

    Ref<NSURL> m_url;
    Ref<NSURL> m_mainDocumentURL;
    NSURLRequestCachePolicy m_cachePolicy = NSURLRequestUseProtocolCachePolicy;
    NSTimeInterval m_timeoutInterval = kDefaultURLRequestTimeout;
    NSURLRequestNetworkServiceType m_networkServiceType = NSURLNetworkServiceTypeDefault;
    bool m_allowsCellularAccess = true;
    std::string m_method = "GET";
    std::vector<std::pair<std::string, std::string>> m_headers;
    Ref<NSData> m_body;
    Ref<NSInputStream> m_bodyStream;
    bool m_shouldHandleCookies = true;
    bool m_shouldUsePipelining = false;
};
