// How a task answers a server's (or proxy's) demand for credentials: which responses are such
// demands, the challenge the delegate is asked about (protection space from the demand's scheme
// and realm, the count of attempts made), and the request sent again with the credential it gave
// (Basic). A member of its task's driver, used on the session's delegate queue.
//
//   auto challenge = m_authentication.challenge(url, refusal);
//   ...
//   auto retry = m_authentication.retry(current, credential, refusal);
#pragma once

#include "platform/base/Forward.h"
#include "platform/net/internal/ResponseHead.h"

class NSHTTPURLResponse;
class NSURLAuthenticationChallenge;
class NSURLCredential;
class NSURLRequest;

namespace dv::internal::net {

class HTTPAuthentication {
public:
    // 401 with WWW-Authenticate, or 407 with Proxy-Authenticate.
    static bool isChallenge(const TransportResponse& response);

    Ref<NSURLAuthenticationChallenge> challenge(const Ref<NSURL>& url, const Ref<NSHTTPURLResponse>& refusal) const;
    // `current` again with the credential's user and password, counted as an attempt; nil when
    // the credential names no user.
    Ref<NSURLRequest> retry(const Ref<NSURLRequest>& current, const Ref<NSURLCredential>& credential,
        const Ref<NSHTTPURLResponse>& refusal);

private:
    NSInteger m_attempts = 0;
};

} // namespace dv::internal::net
