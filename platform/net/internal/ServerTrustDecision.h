// How a task decides on a server's certificates: the trust object and challenge made from what
// the TLS handshake presented, the delegate's answer applied (a credential, the system's own
// evaluation, a cancellation or a rejection), and what a refusal leaves for the task's error (its
// URL error code and the trust that failed). A member of its task's driver, used on the
// session's delegate queue.
#pragma once

#include "platform/base/Forward.h"
#include "platform/net/NSURLSessionDelegate.h"
#include "platform/net/internal/CurlTransport.h"

class NSURLAuthenticationChallenge;
class NSURLCredential;
class SecTrust;

namespace dv::internal::net {

class ServerTrustDecision {
public:
    // nil when no trust can be made of the chain.
    static Ref<SecTrust> trustFor(const TrustQuestion& question);
    static Ref<NSURLAuthenticationChallenge> challengeFor(const TrustQuestion& question, const Ref<SecTrust>& trust);

    // Applies the delegate's answer (or default handling); true when the connection goes on.
    bool decide(NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential,
        const Ref<SecTrust>& trust);
    // A new transfer: nothing refused yet.
    void reset();
    // The URL error code of the last refusal (0: none), and the trust refused.
    NSInteger failureCode() const { return m_failureCode; }
    const Ref<SecTrust>& failedTrust() const { return m_failedTrust; }

private:
    NSInteger m_failureCode = 0;
    Ref<SecTrust> m_failedTrust;
};

} // namespace dv::internal::net
