#include "platform/net/internal/ServerTrustDecision.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/SecCertificate.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"

namespace dv::internal::net {

namespace {

bool systemAccepts(const Ref<SecTrust>& trust)
{
    SecTrustResultType result = kSecTrustResultInvalid;
    return SecTrustEvaluate(trust, &result) == errSecSuccess && (result == kSecTrustResultUnspecified || result == kSecTrustResultProceed);
}

// A chain that fails only on a certificate's dates has codes of its own.
NSInteger failureCodeOf(const Ref<SecTrust>& trust)
{
    switch (trust->failure()) {
    case SecTrust::Failure::Expired: return NSURLErrorServerCertificateHasBadDate;
    case SecTrust::Failure::NotYetValid: return NSURLErrorServerCertificateNotYetValid;
    case SecTrust::Failure::None:
    case SecTrust::Failure::Untrusted: break;
    }
    return NSURLErrorServerCertificateUntrusted;
}

} // namespace

Ref<SecTrust> ServerTrustDecision::trustFor(const TrustQuestion& question)
{
    auto certificates = NSMutableArray::array();
    for (auto& der : question.chain)
        certificates->addObject(alloc<SecCertificate>()->initWithDER(der));
    Ref<SecTrust> trust;
    SecTrustCreateWithCertificates(certificates, SecPolicyCreateSSL(true, NSString::fromUTF8(question.host)), &trust);
    return trust;
}

Ref<NSURLAuthenticationChallenge> ServerTrustDecision::challengeFor(const TrustQuestion& question, const Ref<SecTrust>& trust)
{
    auto space = NSURLProtectionSpace::serverTrustSpace(NSString::fromUTF8(question.host), question.port, trust);
    return alloc<NSURLAuthenticationChallenge>()->initWithProtectionSpace(space, nil, 0, nil, nil, nullptr);
}

bool ServerTrustDecision::decide(NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential,
    const Ref<SecTrust>& trust)
{
    bool proceed = false;
    if (disposition == NSURLSessionAuthChallengeUseCredential && credential) {
        proceed = true;
    } else if (disposition == NSURLSessionAuthChallengePerformDefaultHandling || disposition == NSURLSessionAuthChallengeUseCredential) {
        proceed = systemAccepts(trust);
        if (!proceed)
            m_failureCode = failureCodeOf(trust);
    } else if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) {
        m_failureCode = NSURLErrorCancelled;
    } else {
        // A delegate that turns the trust down (rejecting the protection space) says no more
        // than that: the error tells what is wrong with the certificates, as it would had the
        // system decided. A delegate that weighed the trust itself left its findings in it; one
        // that did not has them found now.
        if (trust->failure() == SecTrust::Failure::None)
            systemAccepts(trust);
        m_failureCode = failureCodeOf(trust);
    }
    if (!proceed)
        m_failedTrust = trust;
    return proceed;
}

void ServerTrustDecision::reset()
{
    m_failureCode = 0;
    m_failedTrust = nullptr;
}

} // namespace dv::internal::net
