// Header fields as a server may send them: the response derived from them, the cookies they set
// and the cookies sent back must never crash, and a cookie may only be set for the responding
// host's own domain.
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPCookie.h"
#include "platform/net/NSHTTPURLResponse.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<std::string> cookies;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        auto colon = line.find(':');
        if (colon != std::string::npos) {
            fields.emplace_back(line.substr(0, colon), line.substr(colon + 1));
            if (line.substr(0, colon) == "Set-Cookie")
                cookies.push_back(line.substr(colon + 1));
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    auto url = NSURL::URLWithString("https://shop.example.com/a/b?c=d"_ns);
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(url, 200, fields);
    (void)response->MIMEType();
    (void)response->suggestedFilename();
    (void)response->allHeaderFields();
    auto parsed = NSHTTPCookie::cookiesWithSetCookieLines(cookies, url);
    auto joined = NSHTTPCookie::cookiesWithResponseHeaderFields(response->allHeaderFields(), url);
    for (auto* list : { &parsed, &joined }) {
        for (NSUInteger i = 0; i < (*list)->count(); ++i) {
            auto cookie = dv::as<NSHTTPCookie>((*list)->objectAtIndex(i));
            std::string domain = cookie->domain()->utf8();
            bool own = domain == "shop.example.com" || domain == ".shop.example.com" || domain == ".example.com";
            if (!own)
                std::abort();
        }
    }
    (void)NSHTTPCookie::requestHeaderFieldsWithCookies(parsed);
    return 0;
}
