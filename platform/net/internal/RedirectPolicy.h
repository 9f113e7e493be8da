// How a task follows redirects: which responses are redirects, the request that follows one (a
// POST turned into a GET by 301, 302 and 303, credentials kept from other hosts), and the limit
// on their number. A member of its task's driver, used on the session's delegate queue.
//
//   auto next = m_redirects.follow(task->currentRequest(), response);
//   if (next.step == RedirectPolicy::Step::Follow) ...
#pragma once

#include "platform/base/Forward.h"
#include "platform/net/internal/ResponseHead.h"

class NSHTTPURLResponse;
class NSMutableURLRequest;
class NSURLRequest;

namespace dv::internal::net {

class RedirectPolicy {
public:
    static constexpr int kMaximumRedirects = 16;

    // A redirect status with somewhere to go.
    static bool isRedirect(const TransportResponse& response);

    enum class Step {
        Follow,  // send `request`
        Final,   // nowhere loadable to go: the redirect is the response
        TooMany, // the task fails
    };
    struct Next {
        Step step = Step::Final;
        Ref<NSMutableURLRequest> request {};
        bool dropsBody = false; // the method became GET
    };
    Next follow(const Ref<NSURLRequest>& current, const Ref<NSHTTPURLResponse>& redirect);

private:
    int m_count = 0;
};

} // namespace dv::internal::net
