#include "platform/net/internal/TaskCookies.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/net/NSHTTPCookie.h"
#include "platform/net/NSHTTPCookieStorage.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionConfiguration.h"

namespace dv::internal::net {

void TaskCookies::addRequestCookies(HeaderFields& headers, const Ref<NSURLSessionConfiguration>& configuration,
    const Ref<NSURLRequest>& request)
{
    auto storage = configuration->HTTPCookieStorage();
    if (!request->HTTPShouldHandleCookies() || !configuration->HTTPShouldSetCookies() || !storage || findHeader(headers, "Cookie"))
        return;
    auto fields = NSHTTPCookie::requestHeaderFieldsWithCookies(storage->cookiesForURL(request->URL()));
    if (auto cookie = dv::as<NSString>(fields->objectForKey("Cookie")))
        headers.emplace_back("Cookie", cookie->utf8());
}

void TaskCookies::storeResponseCookies(const HeaderFields& responseHeaders, const Ref<NSURL>& url,
    const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSURLRequest>& request)
{
    auto storage = configuration->HTTPCookieStorage();
    if (!storage || !configuration->HTTPShouldSetCookies() || !request->HTTPShouldHandleCookies())
        return;
    std::vector<std::string> lines;
    for (auto& [name, value] : responseHeaders) {
        if (headerNamesEqual(name, "Set-Cookie"))
            lines.push_back(value);
    }
    if (!lines.empty())
        storage->setCookies(NSHTTPCookie::cookiesWithSetCookieLines(lines, url), url, request->mainDocumentURL());
}

} // namespace dv::internal::net
