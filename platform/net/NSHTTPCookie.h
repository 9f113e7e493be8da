// One HTTP cookie: name, value, domain, path, expiry, secure and HTTP-only flags. Made from a
// property dictionary or parsed from a response's Set-Cookie fields. Immutable.
#pragma once

#include "platform/base/NSObject.h"

#include <string>
#include <utility>
#include <vector>

extern const Ref<NSString> NSHTTPCookieName;
extern const Ref<NSString> NSHTTPCookieValue;
extern const Ref<NSString> NSHTTPCookieDomain;
extern const Ref<NSString> NSHTTPCookiePath;
extern const Ref<NSString> NSHTTPCookieExpires;
extern const Ref<NSString> NSHTTPCookieMaximumAge;
extern const Ref<NSString> NSHTTPCookieSecure;
extern const Ref<NSString> NSHTTPCookieOriginURL;
extern const Ref<NSString> NSHTTPCookieDiscard;

class NSHTTPCookie : public NSObject {
    DV_CLASS(NSHTTPCookie, NSObject)

    NSHTTPCookie() = default;
    // nil when name, value, path or domain (or an origin URL to take it from) is missing.
    Ref<NSHTTPCookie> initWithProperties(const Ref<NSDictionary>& properties);
    static Ref<NSHTTPCookie> cookieWithProperties(const Ref<NSDictionary>& properties);
    // Cookies of the "Set-Cookie" fields of a header dictionary, for a response from `url`.
    static Ref<NSArray> cookiesWithResponseHeaderFields(const Ref<NSDictionary>& headerFields, const Ref<NSURL>& url);
    // The same from the fields exactly as received.
    static Ref<NSArray> cookiesWithSetCookieLines(const std::vector<std::string>& lines, const Ref<NSURL>& url);
    // {"Cookie": "a=1; b=2"} for the given cookies (empty dictionary for none).
    static Ref<NSDictionary> requestHeaderFieldsWithCookies(const Ref<NSArray>& cookies);

    Ref<NSString> name() const { return m_name; }
    Ref<NSString> value() const { return m_value; }
    Ref<NSString> domain() const { return m_domain; }
    Ref<NSString> path() const { return m_path; }
    Ref<NSDate> expiresDate() const { return m_expires; }
    bool isSessionOnly() const { return !m_expires; }
    bool isSecure() const { return m_secure; }
    bool isHTTPOnly() const { return m_httpOnly; }
    Ref<NSDictionary> properties() const;

    // Whether the cookie goes with a request to `url` at `now` (seconds since 1970).
    bool matchesURL(const Ref<NSURL>& url) const;
    bool isExpired(double now) const;

    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override; // same name, domain and path
    NSUInteger hash() const override;

private:
    Ref<NSString> m_name;
    Ref<NSString> m_value;
    Ref<NSString> m_domain; // leading "." for a domain cookie; a host-only cookie has none
    Ref<NSString> m_path;
    Ref<NSDate> m_expires;
    bool m_secure = false;
    bool m_httpOnly = false;
};
