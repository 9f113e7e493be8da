// A server trust: the certificates a server presented (leaf first), the policies to apply and,
// optionally, the only anchors to trust. Evaluation builds a chain with OpenSSL against the system
// roots (or the anchors) and checks the host name of an SSL policy. A URL session hands one to its
// delegate in a server-trust challenge; the delegate evaluates it and answers.
//
// Not meant to be shared between threads while being changed; reads after evaluation are safe.
//
//   Ref<SecTrust> trust;
//   SecTrustCreateWithCertificates(certs, SecPolicyCreateSSL(true, "example.com"_ns), &trust);
//   SecTrustResultType result; SecTrustEvaluate(trust, &result);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/net/SecCertificate.h"

#include <string>
#include <vector>

class SecKey;
class SecPolicy;

enum SecTrustResultType : std::uint32_t {
    kSecTrustResultInvalid = 0,
    kSecTrustResultProceed = 1,
    kSecTrustResultDeny = 3,
    kSecTrustResultUnspecified = 4,
    kSecTrustResultRecoverableTrustFailure = 5,
    kSecTrustResultFatalTrustFailure = 6,
    kSecTrustResultOtherError = 7,
};

class SecTrust : public NSObject {
    DV_CLASS(SecTrust, NSObject)

    SecTrust() = default;
    Ref<SecTrust> initWithCertificates(std::vector<Ref<SecCertificate>> certificates, std::vector<Ref<SecPolicy>> policies);

    std::vector<Ref<SecCertificate>> presentedCertificates() const;
    void setPolicies(std::vector<Ref<SecPolicy>> policies);
    std::vector<Ref<SecPolicy>> policies() const;
    void setAnchorCertificates(std::vector<Ref<SecCertificate>> anchors);
    void setAnchorCertificatesOnly(bool only);

    SecTrustResultType evaluate();
    // The evaluated chain (leaf first) once evaluated; the presented certificates before that.
    std::vector<Ref<SecCertificate>> chain() const;
    // Why the last evaluation failed ("" when it succeeded or never ran).
    std::string failureReason() const;
    // What the last evaluation found wrong, as the URL loading system tells it apart: a chain
    // that would hold but for a certificate's dates, or any other fault.
    enum class Failure { None, Untrusted, Expired, NotYetValid };
    Failure failure() const;

    Ref<NSString> description() const override;

private:
    // Set by init, read only afterwards.
    std::vector<Ref<SecCertificate>> m_certificates;

    // An evaluation holds the lock throughout, so that it works on one set of policies and
    // anchors and leaves one result.
    mutable dv::Mutex m_mutex;
    std::vector<Ref<SecPolicy>> m_policies DV_GUARDED_BY(m_mutex);
    std::vector<Ref<SecCertificate>> m_anchors DV_GUARDED_BY(m_mutex);
    bool m_hasAnchors DV_GUARDED_BY(m_mutex) = false;
    bool m_anchorsOnly DV_GUARDED_BY(m_mutex) = true;
    std::vector<Ref<SecCertificate>> m_chain DV_GUARDED_BY(m_mutex);
    SecTrustResultType m_result DV_GUARDED_BY(m_mutex) = kSecTrustResultInvalid;
    std::string m_reason DV_GUARDED_BY(m_mutex);
    Failure m_failure DV_GUARDED_BY(m_mutex) = Failure::None;
};
using SecTrustRef = Ref<SecTrust>;

// `certificates` is one SecCertificate or an NSArray of them (leaf first); `policies` one
// SecPolicy, an NSArray of them, or nil (basic X.509).
OSStatus SecTrustCreateWithCertificates(const id& certificates, const id& policies, Ref<SecTrust>* trust);
OSStatus SecTrustSetPolicies(const Ref<SecTrust>& trust, const id& policies);
OSStatus SecTrustSetAnchorCertificates(const Ref<SecTrust>& trust, const Ref<NSArray>& anchorCertificates);
OSStatus SecTrustSetAnchorCertificatesOnly(const Ref<SecTrust>& trust, bool anchorCertificatesOnly);
OSStatus SecTrustEvaluate(const Ref<SecTrust>& trust, SecTrustResultType* result);
bool SecTrustEvaluateWithError(const Ref<SecTrust>& trust, Ref<NSError>* error);
CFIndex SecTrustGetCertificateCount(const Ref<SecTrust>& trust);
Ref<SecCertificate> SecTrustGetCertificateAtIndex(const Ref<SecTrust>& trust, CFIndex index);
// The leaf certificate's public key; available whether or not the trust evaluates as valid.
Ref<SecKey> SecTrustCopyPublicKey(const Ref<SecTrust>& trust);
