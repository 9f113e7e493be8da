#include "platform/net/NSURLSessionConfiguration.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/net/NSURLCache.h"

DV_DEFINE_CLASS(NSURLSessionConfiguration)

Ref<NSURLSessionConfiguration> NSURLSessionConfiguration::defaultSessionConfiguration()
{
    auto configuration = alloc<NSURLSessionConfiguration>();
    configuration->m_cookieStorage = NSHTTPCookieStorage::sharedHTTPCookieStorage();
    configuration->m_cache = NSURLCache::sharedURLCache();
    return configuration;
}

Ref<NSURLSessionConfiguration> NSURLSessionConfiguration::ephemeralSessionConfiguration()
{
    auto configuration = alloc<NSURLSessionConfiguration>();
    configuration->m_cookieStorage = alloc<NSHTTPCookieStorage>();
    configuration->m_cache = alloc<NSURLCache>()->initWithMemoryCapacity(4 << 20, 0, nil);
    return configuration;
}

Ref<NSURLSessionConfiguration> NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(const Ref<NSString>& identifier)
{
    auto configuration = defaultSessionConfiguration();
    configuration->m_identifier = dv::copyAs<NSString>(identifier);
    return configuration;
}

void NSURLSessionConfiguration::setHTTPAdditionalHeaders(const Ref<NSDictionary>& headers)
{
    m_additionalHeaders = dv::copyAs<NSDictionary>(headers);
}

Ref<NSString> NSURLSessionConfiguration::description() const
{
    return NSString::stringWithFormat("<%@: %p>", className(), this);
}

id NSURLSessionConfiguration::copyWithZone(NSZone*) const
{
    auto copy = alloc<NSURLSessionConfiguration>();
    copy->m_identifier = m_identifier;
    copy->m_cachePolicy = m_cachePolicy;
    copy->m_requestTimeout = m_requestTimeout;
    copy->m_resourceTimeout = m_resourceTimeout;
    copy->m_serviceType = m_serviceType;
    copy->m_allowsCellular = m_allowsCellular;
    copy->m_discretionary = m_discretionary;
    copy->m_additionalHeaders = m_additionalHeaders;
    copy->m_cookieAcceptPolicy = m_cookieAcceptPolicy;
    copy->m_shouldSetCookies = m_shouldSetCookies;
    copy->m_pipelining = m_pipelining;
    copy->m_maxConnectionsPerHost = m_maxConnectionsPerHost;
    copy->m_cookieStorage = m_cookieStorage;
    copy->m_cache = m_cache;
    copy->m_sharedContainer = m_sharedContainer;
    return copy;
}
