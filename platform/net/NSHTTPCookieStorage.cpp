#include "platform/net/NSHTTPCookieStorage.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPCookie.h"

#include <algorithm>

DV_DEFINE_CLASS(NSHTTPCookieStorage)

Ref<NSHTTPCookieStorage> NSHTTPCookieStorage::sharedHTTPCookieStorage()
{
    static const Ref<NSHTTPCookieStorage> shared = dv::keepingForever([] { return alloc<NSHTTPCookieStorage>(); });
    return shared;
}

Ref<NSArray> NSHTTPCookieStorage::cookies() const
{
    dv::MutexLocker lock(m_mutex);
    auto out = NSMutableArray::array();
    double now = NSDate::date()->timeIntervalSince1970();
    for (auto& [cookie, when] : m_cookies) {
        if (!cookie->isExpired(now))
            out->addObject(cookie);
    }
    return out;
}

Ref<NSArray> NSHTTPCookieStorage::cookiesForURL(const Ref<NSURL>& url) const
{
    std::vector<Ref<NSHTTPCookie>> matching;
    {
        dv::MutexLocker lock(m_mutex);
        double now = NSDate::date()->timeIntervalSince1970();
        for (auto& [cookie, when] : m_cookies) {
            if (!cookie->isExpired(now) && cookie->matchesURL(url))
                matching.push_back(cookie);
        }
    }
    std::stable_sort(matching.begin(), matching.end(), [](auto& a, auto& b) { return a->path()->length() > b->path()->length(); });
    auto out = NSMutableArray::array();
    for (auto& c : matching)
        out->addObject(c);
    return out;
}

void NSHTTPCookieStorage::setCookie(const Ref<NSHTTPCookie>& cookie)
{
    if (!cookie)
        return;
    dv::MutexLocker lock(m_mutex);
    if (m_policy == NSHTTPCookieAcceptPolicyNever)
        return;
    std::erase_if(m_cookies, [&](auto& entry) { return entry.first->isEqual(cookie.get()); });
    // A cookie set with a past expiry only deletes the one it replaces.
    if (cookie->isExpired(NSDate::date()->timeIntervalSince1970()))
        return;
    m_cookies.emplace_back(cookie, NSDate::date()->timeIntervalSince1970());
}

void NSHTTPCookieStorage::deleteCookie(const Ref<NSHTTPCookie>& cookie)
{
    if (!cookie)
        return;
    dv::MutexLocker lock(m_mutex);
    std::erase_if(m_cookies, [&](auto& entry) { return entry.first->isEqual(cookie.get()); });
}

void NSHTTPCookieStorage::removeCookiesSinceDate(const Ref<NSDate>& date)
{
    if (!date)
        return;
    dv::MutexLocker lock(m_mutex);
    double since = date->timeIntervalSince1970();
    std::erase_if(m_cookies, [&](auto& entry) { return entry.second >= since; });
}

void NSHTTPCookieStorage::setCookies(const Ref<NSArray>& cookies, const Ref<NSURL>& URL, const Ref<NSURL>& mainDocumentURL)
{
    if (!cookies)
        return;
    NSHTTPCookieAcceptPolicy policy = cookieAcceptPolicy();
    for (NSUInteger i = 0; i < cookies->count(); ++i) {
        auto cookie = dv::as<NSHTTPCookie>(cookies->objectAtIndex(i));
        if (!cookie)
            continue;
        if (policy == NSHTTPCookieAcceptPolicyOnlyFromMainDocumentDomain && mainDocumentURL && !cookie->matchesURL(mainDocumentURL))
            continue;
        (void)URL;
        setCookie(cookie);
    }
}

NSHTTPCookieAcceptPolicy NSHTTPCookieStorage::cookieAcceptPolicy() const
{
    dv::MutexLocker lock(m_mutex);
    return m_policy;
}

void NSHTTPCookieStorage::setCookieAcceptPolicy(NSHTTPCookieAcceptPolicy policy)
{
    dv::MutexLocker lock(m_mutex);
    m_policy = policy;
}
