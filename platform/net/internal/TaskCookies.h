// A task's cookies: the session's cookie storage gives the Cookie header of each request and
// takes the Set-Cookie fields of each response (redirects and refusals included), when both the
// configuration and the request let cookies be handled. Stateless; called on the thread that
// builds a transfer or reads its response.
#pragma once

#include "platform/base/Forward.h"
#include "platform/net/internal/HeaderFields.h"

class NSURLRequest;
class NSURLSessionConfiguration;

namespace dv::internal::net {

class TaskCookies {
public:
    // Adds the stored cookies for the request's URL, unless the request names its own.
    static void addRequestCookies(HeaderFields& headers, const Ref<NSURLSessionConfiguration>& configuration,
        const Ref<NSURLRequest>& request);
    // Stores the cookies a response to `request` from `url` sets.
    static void storeResponseCookies(const HeaderFields& responseHeaders, const Ref<NSURL>& url,
        const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSURLRequest>& request);
};

} // namespace dv::internal::net
