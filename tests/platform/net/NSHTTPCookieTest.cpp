#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPCookie.h"
#include "platform/net/NSHTTPCookieStorage.h"

#include <gtest/gtest.h>

namespace {

Ref<NSURL> url(const char* text) { return NSURL::URLWithString(NSString::fromUTF8(text)); }

Ref<NSArray> parse(std::vector<std::string> lines, const char* from)
{
    return NSHTTPCookie::cookiesWithSetCookieLines(lines, url(from));
}

std::string names(const Ref<NSArray>& cookies)
{
    std::string out;
    for (NSUInteger i = 0; i < cookies->count(); ++i)
        out += (out.empty() ? "" : ",") + dv::as<NSHTTPCookie>(cookies->objectAtIndex(i))->name()->utf8();
    return out;
}

TEST(NSHTTPCookieTest, ServersSetCookiesOnlyForTheirOwnDomains)
{
    auto cookies = parse({ "a=1; Domain=example.com", "b=2; Domain=.shop.example.com", "c=3; Domain=other.com", "d=4; Domain=com",
                           "e=5", "=6", "novalue" },
        "https://shop.example.com/x");
    EXPECT_EQ(names(cookies), "a,b,e");
    EXPECT_EQ(dv::as<NSHTTPCookie>(cookies->objectAtIndex(0))->domain()->utf8(), ".example.com");
    EXPECT_EQ(dv::as<NSHTTPCookie>(cookies->objectAtIndex(2))->domain()->utf8(), "shop.example.com");
    // An address owns no parent domain.
    EXPECT_EQ(names(parse({ "a=1; Domain=0.0.1", "b=2; Domain=127.0.0.1" }, "http://127.0.0.1/")), "b");
}

TEST(NSHTTPCookieTest, MatchingFollowsDomainPathAndSecurity)
{
    auto cookies = parse({ "host=1", "wide=2; Domain=example.com", "deep=3; Path=/api", "safe=4; Secure" }, "https://www.example.com/");
    auto storage = alloc<NSHTTPCookieStorage>();
    storage->setCookies(cookies, url("https://www.example.com/"), nil);
    EXPECT_EQ(names(storage->cookiesForURL(url("https://www.example.com/api/list"))), "deep,host,wide,safe");
    EXPECT_EQ(names(storage->cookiesForURL(url("http://www.example.com/apiary"))), "host,wide");
    EXPECT_EQ(names(storage->cookiesForURL(url("http://img.example.com/"))), "wide");
    EXPECT_EQ(names(storage->cookiesForURL(url("http://example.org/"))), "");
    auto header = NSHTTPCookie::requestHeaderFieldsWithCookies(storage->cookiesForURL(url("http://img.example.com/")));
    EXPECT_EQ(dv::as<NSString>(header->objectForKey("Cookie"))->utf8(), "wide=2");
}

TEST(NSHTTPCookieTest, ExpiredCookiesDeleteAndReplace)
{
    auto storage = alloc<NSHTTPCookieStorage>();
    auto site = url("http://example.com/");
    storage->setCookies(parse({ "sid=old", "keep=1; Max-Age=3600" }, "http://example.com/"), site, nil);
    auto stored = storage->cookiesForURL(site);
    ASSERT_EQ(names(stored), "sid,keep");
    EXPECT_TRUE(dv::as<NSHTTPCookie>(stored->objectAtIndex(0))->isSessionOnly());
    EXPECT_FALSE(dv::as<NSHTTPCookie>(stored->objectAtIndex(1))->isSessionOnly());
    storage->setCookies(parse({ "sid=new" }, "http://example.com/"), site, nil);
    EXPECT_EQ(storage->cookies()->count(), 2u);
    storage->setCookies(parse({ "sid=gone; Max-Age=0", "keep=x; Expires=Wed, 21 Oct 2015 07:28:00 GMT" }, "http://example.com/"), site, nil);
    EXPECT_EQ(storage->cookies()->count(), 0u);
}

TEST(NSHTTPCookieTest, JoinedHeaderSplitsBetweenCookiesNotInsideDates)
{
    auto fields = NSDictionary::of({ { "Set-Cookie"_ns, "a=1; Expires=Wed, 21 Oct 2099 07:28:00 GMT; Path=/, b=2, c=3"_ns } });
    auto cookies = NSHTTPCookie::cookiesWithResponseHeaderFields(fields, url("http://example.com/"));
    EXPECT_EQ(names(cookies), "a,b,c");
    EXPECT_FALSE(dv::as<NSHTTPCookie>(cookies->objectAtIndex(0))->isSessionOnly());
}

TEST(NSHTTPCookieTest, NeverPolicyStoresNothing)
{
    auto storage = alloc<NSHTTPCookieStorage>();
    storage->setCookieAcceptPolicy(NSHTTPCookieAcceptPolicyNever);
    storage->setCookies(parse({ "a=1" }, "http://example.com/"), url("http://example.com/"), nil);
    EXPECT_EQ(storage->cookies()->count(), 0u);
    EXPECT_FALSE(NSHTTPCookie::cookieWithProperties(NSDictionary::of({ { NSHTTPCookieName, "n"_ns } })));
}

} // namespace
