// The process's cookie jar: cookies set by responses and sent with later requests to matching
// URLs. The shared storage lives for the process and is thread-safe; sessions use it unless their
// configuration names another storage or none.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <vector>

class NSHTTPCookie;

enum NSHTTPCookieAcceptPolicy : NSUInteger {
    NSHTTPCookieAcceptPolicyAlways = 0,
    NSHTTPCookieAcceptPolicyNever = 1,
    NSHTTPCookieAcceptPolicyOnlyFromMainDocumentDomain = 2,
};

class NSHTTPCookieStorage : public NSObject {
    DV_CLASS(NSHTTPCookieStorage, NSObject)

    NSHTTPCookieStorage() = default;
    static Ref<NSHTTPCookieStorage> sharedHTTPCookieStorage();

    Ref<NSArray> cookies() const;
    // Matching, unexpired cookies, longest path first.
    Ref<NSArray> cookiesForURL(const Ref<NSURL>& url) const;
    void setCookie(const Ref<NSHTTPCookie>& cookie);
    void deleteCookie(const Ref<NSHTTPCookie>& cookie);
    void removeCookiesSinceDate(const Ref<NSDate>& date);
    void setCookies(const Ref<NSArray>& cookies, const Ref<NSURL>& URL, const Ref<NSURL>& mainDocumentURL);
    NSHTTPCookieAcceptPolicy cookieAcceptPolicy() const;
    void setCookieAcceptPolicy(NSHTTPCookieAcceptPolicy policy);

private:
    mutable dv::Mutex m_mutex;
    std::vector<std::pair<Ref<NSHTTPCookie>, double>> m_cookies DV_GUARDED_BY(m_mutex); // with the time each was set
    NSHTTPCookieAcceptPolicy m_policy DV_GUARDED_BY(m_mutex) = NSHTTPCookieAcceptPolicyAlways;
};
