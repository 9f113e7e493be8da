#include "platform/net/internal/RedirectPolicy.h"

#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/internal/TaskSupport.h"

namespace dv::internal::net {

bool RedirectPolicy::isRedirect(const TransportResponse& response)
{
    long status = response.statusCode;
    return (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) && response.header("Location").has_value();
}

RedirectPolicy::Next RedirectPolicy::follow(const Ref<NSURLRequest>& current, const Ref<NSHTTPURLResponse>& redirect)
{
    if (++m_count > kMaximumRedirects)
        return { .step = Step::TooMany };
    auto location = redirect->valueForHTTPHeaderField("Location"_ns);
    auto target = location ? NSURL::URLWithString(location, current->URL()) : nullptr;
    if (target)
        target = target->absoluteURL();
    if (!target || !isLoadableURL(target))
        return { .step = Step::Final };
    Next next { .step = Step::Follow, .request = std::static_pointer_cast<NSMutableURLRequest>(current->mutableCopy()) };
    next.request->setURL(target);
    NSInteger status = redirect->statusCode();
    auto method = current->HTTPMethod()->utf8();
    if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
        next.request->setHTTPMethod("GET"_ns);
        next.request->setHTTPBody(nil);
        next.request->setHTTPBodyStream(nil);
        next.request->setValueForHTTPHeaderField(nil, "Content-Type"_ns);
        next.request->setValueForHTTPHeaderField(nil, "Content-Length"_ns);
        next.dropsBody = true;
    }
    // Credentials for one host never travel to another.
    if (!dv::equal(target->host(), current->URL()->host()))
        next.request->setValueForHTTPHeaderField(nil, "Authorization"_ns);
    return next;
}

} // namespace dv::internal::net
