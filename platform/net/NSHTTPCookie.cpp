#include "platform/net/NSHTTPCookie.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/internal/HeaderFields.h"

#include <algorithm>
#include <cctype>
#include <ctime>

DV_DEFINE_CLASS(NSHTTPCookie)

const Ref<NSString> NSHTTPCookieName = "Name"_ns;
const Ref<NSString> NSHTTPCookieValue = "Value"_ns;
const Ref<NSString> NSHTTPCookieDomain = "Domain"_ns;
const Ref<NSString> NSHTTPCookiePath = "Path"_ns;
const Ref<NSString> NSHTTPCookieExpires = "Expires"_ns;
const Ref<NSString> NSHTTPCookieMaximumAge = "Max-Age"_ns;
const Ref<NSString> NSHTTPCookieSecure = "Secure"_ns;
const Ref<NSString> NSHTTPCookieOriginURL = "OriginURL"_ns;
const Ref<NSString> NSHTTPCookieDiscard = "Discard"_ns;
static const Ref<NSString> kHTTPOnly = "HttpOnly"_ns;

namespace {

std::string trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// HTTP dates in the forms servers send ("Wed, 21 Oct 2015 07:28:00 GMT", and the older dashed one).
std::optional<double> parseHTTPDate(const std::string& text)
{
    for (const char* format : { "%a, %d %b %Y %H:%M:%S", "%A, %d-%b-%y %H:%M:%S", "%a, %d-%b-%Y %H:%M:%S", "%a %b %d %H:%M:%S %Y" }) {
        std::tm tm {};
        const char* end = strptime(text.c_str(), format, &tm);
        if (end)
            return static_cast<double>(timegm(&tm));
    }
    return std::nullopt;
}

std::string defaultPath(const Ref<NSURL>& url)
{
    // The directory of the request path.
    std::string path = url && url->path() ? url->path()->utf8() : "/";
    if (path.empty() || path.front() != '/')
        return "/";
    auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

Ref<NSHTTPCookie> parseLine(const std::string& line, const Ref<NSURL>& url)
{
    auto props = NSMutableDictionary::dictionary();
    size_t semi = line.find(';');
    std::string pair = line.substr(0, semi);
    auto eq = pair.find('=');
    if (eq == std::string::npos)
        return nullptr;
    std::string name = trim(pair.substr(0, eq));
    std::string value = trim(pair.substr(eq + 1));
    if (name.empty())
        return nullptr;
    props->setObjectForKey(NSString::fromUTF8(name), NSHTTPCookieName);
    props->setObjectForKey(NSString::fromUTF8(value), NSHTTPCookieValue);
    std::string host = url && url->host() ? lower(url->host()->utf8()) : "";
    std::string domain = host;
    std::string path = defaultPath(url);
    while (semi != std::string::npos) {
        size_t next = line.find(';', semi + 1);
        std::string attribute = line.substr(semi + 1, next == std::string::npos ? std::string::npos : next - semi - 1);
        semi = next;
        auto aeq = attribute.find('=');
        std::string key = lower(trim(attribute.substr(0, aeq)));
        std::string val = aeq == std::string::npos ? "" : trim(attribute.substr(aeq + 1));
        if (key == "domain" && !val.empty()) {
            std::string d = lower(val);
            if (d.front() != '.')
                d = "." + d;
            // A server may only set cookies for its own domain or a parent of it, never for a
            // bare top-level name ("com") and, for an address, only for the address itself.
            std::string bare = d.substr(1);
            bool address = !host.empty() && (std::isdigit(static_cast<unsigned char>(host.back())) || host.find(':') != std::string::npos);
            bool own = host == bare || (!address && host.size() > bare.size() && host.ends_with(d) && bare.find('.') != std::string::npos);
            if (!own)
                return nullptr;
            domain = d;
        } else if (key == "path" && !val.empty() && val.front() == '/') {
            path = val;
        } else if (key == "expires") {
            if (auto when = parseHTTPDate(val); when && !props->objectForKey(NSHTTPCookieMaximumAge))
                props->setObjectForKey(NSDate::dateWithTimeIntervalSince1970(*when), NSHTTPCookieExpires);
        } else if (key == "max-age") {
            char* end = nullptr;
            long long age = std::strtoll(val.c_str(), &end, 10);
            if (end && *end == '\0' && !val.empty()) {
                props->setObjectForKey(NSString::fromUTF8(val), NSHTTPCookieMaximumAge);
                props->setObjectForKey(NSDate::dateWithTimeIntervalSinceNow(static_cast<double>(age)), NSHTTPCookieExpires);
            }
        } else if (key == "secure") {
            props->setObjectForKey("TRUE"_ns, NSHTTPCookieSecure);
        } else if (key == "httponly") {
            props->setObjectForKey("TRUE"_ns, kHTTPOnly);
        }
    }
    props->setObjectForKey(NSString::fromUTF8(domain), NSHTTPCookieDomain);
    props->setObjectForKey(NSString::fromUTF8(path), NSHTTPCookiePath);
    return NSHTTPCookie::cookieWithProperties(props);
}

} // namespace

Ref<NSHTTPCookie> NSHTTPCookie::initWithProperties(const Ref<NSDictionary>& properties)
{
    if (!properties)
        return nullptr;
    auto text = [&](const Ref<NSString>& key) { return dv::as<NSString>(properties->objectForKey(key)); };
    m_name = text(NSHTTPCookieName);
    m_value = text(NSHTTPCookieValue);
    m_domain = text(NSHTTPCookieDomain);
    m_path = text(NSHTTPCookiePath);
    if (!m_domain) {
        auto origin = dv::as<NSURL>(properties->objectForKey(NSHTTPCookieOriginURL));
        if (!origin)
            if (auto originText = text(NSHTTPCookieOriginURL))
                origin = NSURL::URLWithString(originText);
        if (origin && origin->host())
            m_domain = origin->host()->lowercaseString();
    }
    if (!m_name || !m_value || !m_domain || !m_path || m_name->length() == 0)
        return nullptr;
    m_expires = dv::as<NSDate>(properties->objectForKey(NSHTTPCookieExpires));
    if (!m_expires) {
        if (auto age = text(NSHTTPCookieMaximumAge))
            m_expires = NSDate::dateWithTimeIntervalSinceNow(std::strtod(age->UTF8String(), nullptr));
    }
    auto flag = [&](const Ref<NSString>& key) {
        id value = properties->objectForKey(key);
        if (auto s = dv::as<NSString>(value))
            return lower(s->utf8()) == "true" || s->utf8() == "1";
        if (auto n = dv::as<NSNumber>(value))
            return n->boolValue();
        return false;
    };
    m_secure = flag(NSHTTPCookieSecure);
    m_httpOnly = flag(kHTTPOnly);
    if (flag(NSHTTPCookieDiscard))
        m_expires = nullptr;
    return self<NSHTTPCookie>();
}

Ref<NSHTTPCookie> NSHTTPCookie::cookieWithProperties(const Ref<NSDictionary>& properties)
{
    return alloc<NSHTTPCookie>()->initWithProperties(properties);
}

Ref<NSArray> NSHTTPCookie::cookiesWithSetCookieLines(const std::vector<std::string>& lines, const Ref<NSURL>& url)
{
    auto cookies = NSMutableArray::array();
    for (auto& line : lines) {
        if (auto cookie = parseLine(line, url))
            cookies->addObject(cookie);
    }
    return cookies;
}

Ref<NSArray> NSHTTPCookie::cookiesWithResponseHeaderFields(const Ref<NSDictionary>& headerFields, const Ref<NSURL>& url)
{
    std::vector<std::string> lines;
    if (headerFields) {
        for (auto& [key, value] : headerFields->entries()) {
            auto name = dv::as<NSString>(key);
            auto text = dv::as<NSString>(value);
            if (!name || !text || !dv::internal::net::headerNamesEqual(name->utf8(), "Set-Cookie"))
                continue;
            // Joined fields: a comma starts a new cookie unless it sits inside an Expires date
            // ("Wed, 21 Oct ...": the comma follows the weekday).
            const std::string& all = text->utf8();
            size_t start = 0;
            for (size_t i = 0; i <= all.size(); ++i) {
                if (i < all.size() && all[i] != ',')
                    continue;
                if (i < all.size()) {
                    auto expires = lower(all.substr(start, i - start));
                    auto at = expires.rfind("expires=");
                    if (at != std::string::npos && expires.find(';', at) == std::string::npos && i - start - at < 14)
                        continue;
                }
                lines.push_back(trim(all.substr(start, i - start)));
                start = i + 1;
            }
        }
    }
    return cookiesWithSetCookieLines(lines, url);
}

Ref<NSDictionary> NSHTTPCookie::requestHeaderFieldsWithCookies(const Ref<NSArray>& cookies)
{
    std::string header;
    if (cookies) {
        for (NSUInteger i = 0; i < cookies->count(); ++i) {
            auto cookie = dv::as<NSHTTPCookie>(cookies->objectAtIndex(i));
            if (!cookie)
                continue;
            if (!header.empty())
                header += "; ";
            header += cookie->m_name->utf8() + "=" + cookie->m_value->utf8();
        }
    }
    if (header.empty())
        return NSDictionary::dictionary();
    return NSDictionary::of({ { "Cookie"_ns, NSString::fromUTF8(header) } });
}

Ref<NSDictionary> NSHTTPCookie::properties() const
{
    auto props = NSMutableDictionary::dictionary();
    props->setObjectForKey(m_name, NSHTTPCookieName);
    props->setObjectForKey(m_value, NSHTTPCookieValue);
    props->setObjectForKey(m_domain, NSHTTPCookieDomain);
    props->setObjectForKey(m_path, NSHTTPCookiePath);
    if (m_expires)
        props->setObjectForKey(m_expires, NSHTTPCookieExpires);
    if (m_secure)
        props->setObjectForKey("TRUE"_ns, NSHTTPCookieSecure);
    if (m_httpOnly)
        props->setObjectForKey("TRUE"_ns, kHTTPOnly);
    return props;
}

bool NSHTTPCookie::matchesURL(const Ref<NSURL>& url) const
{
    if (!url || !url->host())
        return false;
    std::string host = lower(url->host()->utf8());
    std::string domain = lower(m_domain->utf8());
    bool domainMatch = domain.front() == '.' ? (host == domain.substr(1) || host.ends_with(domain)) : host == domain;
    if (!domainMatch)
        return false;
    if (m_secure && !(url->scheme() && lower(url->scheme()->utf8()) == "https"))
        return false;
    std::string path = url->path() && url->path()->length() ? url->path()->utf8() : "/";
    const std::string& cookiePath = m_path->utf8();
    if (path == cookiePath)
        return true;
    if (!path.starts_with(cookiePath))
        return false;
    return cookiePath.back() == '/' || path[cookiePath.size()] == '/';
}

bool NSHTTPCookie::isExpired(double now) const
{
    return m_expires && m_expires->timeIntervalSince1970() <= now;
}

Ref<NSString> NSHTTPCookie::description() const
{
    return NSString::stringWithFormat("<NSHTTPCookie %@=%@; domain=%@; path=%@>", m_name, m_value, m_domain, m_path);
}

bool NSHTTPCookie::isEqual(const NSObject* other) const
{
    auto* c = dynamic_cast<const NSHTTPCookie*>(other);
    return c && dv::equal(m_name, c->m_name) && m_domain->caseInsensitiveCompare(c->m_domain) == NSOrderedSame && dv::equal(m_path, c->m_path);
}

NSUInteger NSHTTPCookie::hash() const
{
    return m_name->hash() ^ m_path->hash();
}
