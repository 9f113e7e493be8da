// Where a credential applies: host, port, protocol, realm and authentication method; for a
// server-trust space also the server's trust. Immutable.
#pragma once

#include "platform/base/NSObject.h"

class SecTrust;

extern const Ref<NSString> NSURLProtectionSpaceHTTP;
extern const Ref<NSString> NSURLProtectionSpaceHTTPS;
extern const Ref<NSString> NSURLAuthenticationMethodDefault;
extern const Ref<NSString> NSURLAuthenticationMethodHTTPBasic;
extern const Ref<NSString> NSURLAuthenticationMethodHTTPDigest;
extern const Ref<NSString> NSURLAuthenticationMethodServerTrust;
extern const Ref<NSString> NSURLAuthenticationMethodClientCertificate;

class NSURLProtectionSpace : public NSObject, public NSCopying {
    DV_CLASS(NSURLProtectionSpace, NSObject)

    NSURLProtectionSpace() = default;
    Ref<NSURLProtectionSpace> initWithHost(const Ref<NSString>& host, NSInteger port, const Ref<NSString>& protocol,
        const Ref<NSString>& realm, const Ref<NSString>& authenticationMethod);
    // A server-trust space for a TLS connection.
    static Ref<NSURLProtectionSpace> serverTrustSpace(const Ref<NSString>& host, NSInteger port, const Ref<SecTrust>& trust);

    Ref<NSString> host() const { return m_host; }
    NSInteger port() const { return m_port; }
    Ref<NSString> protocol() const { return m_protocol; }
    Ref<NSString> realm() const { return m_realm; }
    Ref<NSString> authenticationMethod() const { return m_method; }
    Ref<SecTrust> serverTrust() const { return m_trust; }
    bool receivesCredentialSecurely() const;
    bool isProxy() const { return false; }

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSString> m_host;
    NSInteger m_port = 0;
    Ref<NSString> m_protocol;
    Ref<NSString> m_realm;
    Ref<NSString> m_method;
    Ref<SecTrust> m_trust;
};
