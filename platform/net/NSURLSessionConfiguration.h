// The settings a URL session is made with: time-outs, additional headers, cache and cookie
// policy, storages, connections per host. A session copies its configuration at creation, so
// later changes to this object do not reach it.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/net/NSHTTPCookieStorage.h"
#include "platform/net/NSURLRequest.h"

class NSURLCache;
class NSURLCredentialStorage;

class NSURLSessionConfiguration : public NSObject, public NSCopying {
    DV_CLASS(NSURLSessionConfiguration, NSObject)

    NSURLSessionConfiguration() = default;
    // Shared cookie storage and URL cache.
    static Ref<NSURLSessionConfiguration> defaultSessionConfiguration();
    // Private, in-memory cookie storage and cache of its own.
    static Ref<NSURLSessionConfiguration> ephemeralSessionConfiguration();
    // Keeps the identifier; transfers run in this process like a default session's.
    static Ref<NSURLSessionConfiguration> backgroundSessionConfigurationWithIdentifier(const Ref<NSString>& identifier);

    Ref<NSString> identifier() const { return m_identifier; }
    NSURLRequestCachePolicy requestCachePolicy() const { return m_cachePolicy; }
    void setRequestCachePolicy(NSURLRequestCachePolicy policy) { m_cachePolicy = policy; }
    NSTimeInterval timeoutIntervalForRequest() const { return m_requestTimeout; }
    void setTimeoutIntervalForRequest(NSTimeInterval seconds) { m_requestTimeout = seconds; }
    NSTimeInterval timeoutIntervalForResource() const { return m_resourceTimeout; }
    void setTimeoutIntervalForResource(NSTimeInterval seconds) { m_resourceTimeout = seconds; }
    NSURLRequestNetworkServiceType networkServiceType() const { return m_serviceType; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { m_serviceType = type; }
    bool allowsCellularAccess() const { return m_allowsCellular; }
    void setAllowsCellularAccess(bool allows) { m_allowsCellular = allows; }
    bool isDiscretionary() const { return m_discretionary; }
    void setDiscretionary(bool discretionary) { m_discretionary = discretionary; }
    Ref<NSDictionary> HTTPAdditionalHeaders() const { return m_additionalHeaders; }
    void setHTTPAdditionalHeaders(const Ref<NSDictionary>& headers);
    NSHTTPCookieAcceptPolicy HTTPCookieAcceptPolicy() const { return m_cookieAcceptPolicy; }
    void setHTTPCookieAcceptPolicy(NSHTTPCookieAcceptPolicy policy) { m_cookieAcceptPolicy = policy; }
    bool HTTPShouldSetCookies() const { return m_shouldSetCookies; }
    void setHTTPShouldSetCookies(bool set) { m_shouldSetCookies = set; }
    bool HTTPShouldUsePipelining() const { return m_pipelining; }
    void setHTTPShouldUsePipelining(bool use) { m_pipelining = use; }
    NSInteger HTTPMaximumConnectionsPerHost() const { return m_maxConnectionsPerHost; }
    void setHTTPMaximumConnectionsPerHost(NSInteger count) { m_maxConnectionsPerHost = count; }
    Ref<NSHTTPCookieStorage> HTTPCookieStorage() const { return m_cookieStorage; }
    void setHTTPCookieStorage(const Ref<NSHTTPCookieStorage>& storage) { m_cookieStorage = storage; }
    Ref<NSURLCache> URLCache() const { return m_cache; }
    void setURLCache(const Ref<NSURLCache>& cache) { m_cache = cache; }
    Ref<NSString> sharedContainerIdentifier() const { return m_sharedContainer; }
    void setSharedContainerIdentifier(const Ref<NSString>& identifier) { m_sharedContainer = identifier; }

    Ref<NSString> description() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSString> m_identifier;
    NSURLRequestCachePolicy m_cachePolicy = NSURLRequestUseProtocolCachePolicy;
    NSTimeInterval m_requestTimeout = 60.0;
    NSTimeInterval m_resourceTimeout = 604800.0;
    NSURLRequestNetworkServiceType m_serviceType = NSURLNetworkServiceTypeDefault;
    bool m_allowsCellular = true;
    bool m_discretionary = false;
    Ref<NSDictionary> m_additionalHeaders;
    NSHTTPCookieAcceptPolicy m_cookieAcceptPolicy = NSHTTPCookieAcceptPolicyOnlyFromMainDocumentDomain;
    bool m_shouldSetCookies = true;
    bool m_pipelining = false;
    NSInteger m_maxConnectionsPerHost = 6;
    Ref<NSHTTPCookieStorage> m_cookieStorage;
    Ref<NSURLCache> m_cache;
    Ref<NSString> m_sharedContainer;
};
