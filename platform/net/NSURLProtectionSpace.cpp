#include "platform/net/NSURLProtectionSpace.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/net/SecTrust.h"

DV_DEFINE_CLASS(NSURLProtectionSpace)

const Ref<NSString> NSURLProtectionSpaceHTTP = "http"_ns;
const Ref<NSString> NSURLProtectionSpaceHTTPS = "https"_ns;
const Ref<NSString> NSURLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault"_ns;
const Ref<NSString> NSURLAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic"_ns;
const Ref<NSString> NSURLAuthenticationMethodHTTPDigest = "NSURLAuthenticationMethodHTTPDigest"_ns;
const Ref<NSString> NSURLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust"_ns;
const Ref<NSString> NSURLAuthenticationMethodClientCertificate = "NSURLAuthenticationMethodClientCertificate"_ns;

Ref<NSURLProtectionSpace> NSURLProtectionSpace::initWithHost(const Ref<NSString>& host, NSInteger port, const Ref<NSString>& protocol,
    const Ref<NSString>& realm, const Ref<NSString>& authenticationMethod)
{
    m_host = host;
    m_port = port;
    m_protocol = protocol;
    m_realm = realm;
    m_method = authenticationMethod ? authenticationMethod : NSURLAuthenticationMethodDefault;
    return self<NSURLProtectionSpace>();
}

Ref<NSURLProtectionSpace> NSURLProtectionSpace::serverTrustSpace(const Ref<NSString>& host, NSInteger port, const Ref<SecTrust>& trust)
{
    auto space = alloc<NSURLProtectionSpace>()->initWithHost(host, port, NSURLProtectionSpaceHTTPS, nil, NSURLAuthenticationMethodServerTrust);
    space->m_trust = trust;
    return space;
}

bool NSURLProtectionSpace::receivesCredentialSecurely() const
{
    return m_protocol && m_protocol->isEqualToString("https");
}

Ref<NSString> NSURLProtectionSpace::description() const
{
    return NSString::stringWithFormat("<%@: %p>: Host:%@, Server:%@, Auth-Scheme:%@, Realm:%@, Port:%ld, Proxy:NO, Proxy-Type:(null)",
        className(), this, m_host, m_protocol, m_method, m_realm, static_cast<long>(m_port));
}

bool NSURLProtectionSpace::isEqual(const NSObject* other) const
{
    auto* space = dynamic_cast<const NSURLProtectionSpace*>(other);
    return space && dv::equal(m_host, space->m_host) && m_port == space->m_port && dv::equal(m_protocol, space->m_protocol)
        && dv::equal(m_realm, space->m_realm) && dv::equal(m_method, space->m_method);
}

NSUInteger NSURLProtectionSpace::hash() const
{
    return (m_host ? m_host->hash() : 0) ^ static_cast<NSUInteger>(m_port);
}

id NSURLProtectionSpace::copyWithZone(NSZone*) const
{
    return std::const_pointer_cast<NSObject>(shared_from_this());
}
