// PNSecurityPolicy: decides whether a server trust presented for a TLS connection is accepted:
// the platform's ordinary evaluation with the host name checked (the default policy), anything
// at all, or a trust pinned to certificates or public keys shipped with the application. A
// session manager asks it for every server-trust challenge no challenge block answers, on its
// delegate queue. Configure before use; evaluation keeps no state between calls.
//
//   auto policy = PNSecurityPolicy::policyWithPinningModeWithPinnedCertificates(PNSSLPinningModeCertificate, certificates);
//   policy->setAllowInvalidCertificates(true);
//   bool trusted = policy->evaluateServerTrust(trust, "api.example.com"_ns);
#pragma once

#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"

class NSBundle;
class NSSet;
class SecTrust;

enum PNSSLPinningMode : NSUInteger {
    PNSSLPinningModeNone = 0,
    PNSSLPinningModePublicKey = 1,
    PNSSLPinningModeCertificate = 2,
};

class PNSecurityPolicy : public NSObject, public dv::Observable, public NSCoding, public NSCopying {
    DV_CLASS(PNSecurityPolicy, NSObject)

    PNSecurityPolicy() = default;
    Ref<PNSecurityPolicy> init();

    static Ref<PNSecurityPolicy> defaultPolicy();
    // The pinned certificates are the application's own (defaultPinnedCertificates).
    static Ref<PNSecurityPolicy> policyWithPinningMode(NSUInteger pinningMode);
    static Ref<PNSecurityPolicy> policyWithPinningModeWithPinnedCertificates(NSUInteger pinningMode, const Ref<NSSet>& pinnedCertificates);
    // The contents of every ".cer" resource at the top of the bundle, one data object per file.
    static Ref<NSSet> certificatesInBundle(const Ref<NSBundle>& bundle);
    // certificatesInBundle of the main bundle, read once per process.
    static Ref<NSSet> defaultPinnedCertificates();
    static bool supportsSecureCoding() { return true; }

    NSUInteger SSLPinningMode() const { return m_SSLPinningMode; }
    void setSSLPinningMode(NSUInteger mode) { m_SSLPinningMode = mode; }
    // Public keys of the pinned certificates, kept in step with them.
    Ref<NSSet> pinnedPublicKeys() const { return m_pinnedPublicKeys; }
    void setPinnedPublicKeys(const Ref<NSSet>& keys) { m_pinnedPublicKeys = keys; }
    // DER-encoded certificates.
    Ref<NSSet> pinnedCertificates() const { return m_pinnedCertificates; }
    void setPinnedCertificates(const Ref<NSSet>& certificates);
    bool allowInvalidCertificates() const { return m_allowInvalidCertificates; }
    void setAllowInvalidCertificates(bool allow) { m_allowInvalidCertificates = allow; }
    bool validatesDomainName() const { return m_validatesDomainName; }
    void setValidatesDomainName(bool validates) { m_validatesDomainName = validates; }

    // Changes the trust's policies (and, when pinning certificates, its anchors). A nil domain
    // skips the name check of the SSL policy.
    bool evaluateServerTrust(const Ref<SecTrust>& serverTrust, const Ref<NSString>& domain) const;

    std::vector<std::string> keyPathsForValuesAffectingValueForKey(std::string_view key) const override;
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

private:
    bool evaluatePublicKeys(const Ref<SecTrust>& serverTrust) const;

    NSUInteger m_SSLPinningMode = PNSSLPinningModeNone;
    Ref<NSSet> m_pinnedPublicKeys;
    Ref<NSSet> m_pinnedCertificates;
    bool m_allowInvalidCertificates = false;
    bool m_validatesDomainName = true;
};
