#include "platform/base/ClassBuilder.h"
#include "platform/base/NSURLComponents.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSURLQueryItem.h"
#include "platform/base/internal/URLParser.h"

using namespace dv::internal::base;

DV_DEFINE_CLASS(NSURLComponents)

namespace {

std::optional<std::string> optionalText(URLSpan span, std::string_view text)
{
    if (!span.present())
        return std::nullopt;
    return std::string(span.in(text));
}

Ref<NSString> raw(const std::optional<std::string>& text) { return text ? NSString::fromUTF8(*text) : nil; }

Ref<NSString> decoded(const std::optional<std::string>& text)
{
    if (!text)
        return nil;
    std::string out;
    if (!percentDecode(*text, out))
        return nil;
    return NSString::fromUTF8(out);
}

std::optional<std::string> encoded(const Ref<NSString>& text, URLCharacters allowed)
{
    if (!text)
        return std::nullopt;
    std::string out;
    appendPercentEncoded(out, text->utf8(), allowed);
    return out;
}

std::optional<std::string> verbatim(const Ref<NSString>& text)
{
    if (!text)
        return std::nullopt;
    return text->utf8();
}

} // namespace

Ref<NSURLComponents> NSURLComponents::init()
{
    NSObject::init();
    return self<NSURLComponents>();
}

bool NSURLComponents::setFromText(std::string_view text)
{
    URLParts parts;
    if (!parseURLReference(text, parts))
        return false;
    m_scheme = optionalText(parts.scheme, text);
    m_user = optionalText(parts.user, text);
    m_password = optionalText(parts.password, text);
    m_host = parts.authority.present() ? std::optional<std::string>(std::string(parts.host.in(text))) : std::nullopt;
    m_port = parts.portValue >= 0 ? NSNumber::numberWithInteger(parts.portValue) : nil;
    m_path = std::string(parts.path.in(text));
    m_query = optionalText(parts.query, text);
    m_fragment = optionalText(parts.fragment, text);
    return true;
}

Ref<NSURLComponents> NSURLComponents::initWithString(const Ref<NSString>& string)
{
    init();
    if (!string || !setFromText(string->utf8()))
        return nil;
    return self<NSURLComponents>();
}

Ref<NSURLComponents> NSURLComponents::initWithURL(const Ref<NSURL>& url, bool resolvingAgainstBaseURL)
{
    init();
    if (!url)
        return nil;
    auto text = resolvingAgainstBaseURL ? url->absoluteString() : url->relativeString();
    if (!text || !setFromText(text->utf8()))
        return nil;
    return self<NSURLComponents>();
}

Ref<NSURLComponents> NSURLComponents::components() { return alloc<NSURLComponents>()->init(); }
Ref<NSURLComponents> NSURLComponents::componentsWithString(const Ref<NSString>& string)
{
    return alloc<NSURLComponents>()->initWithString(string);
}
Ref<NSURLComponents> NSURLComponents::componentsWithURL(const Ref<NSURL>& url, bool resolvingAgainstBaseURL)
{
    return alloc<NSURLComponents>()->initWithURL(url, resolvingAgainstBaseURL);
}

Ref<NSString> NSURLComponents::string() const
{
    bool hasAuthority = m_host || m_user || m_password || m_port;
    if (hasAuthority && !m_path.empty() && m_path.front() != '/')
        return nil;
    if (!hasAuthority && m_path.starts_with("//"))
        return nil;
    std::string out;
    if (m_scheme) {
        out += *m_scheme;
        out += ':';
    }
    if (hasAuthority) {
        out += "//";
        if (m_user || m_password) {
            if (m_user)
                out += *m_user;
            if (m_password) {
                out += ':';
                out += *m_password;
            }
            out += '@';
        }
        if (m_host)
            out += *m_host;
        if (m_port) {
            out += ':';
            out += std::to_string(m_port->longLongValue());
        }
    }
    out += m_path;
    if (m_query) {
        out += '?';
        out += *m_query;
    }
    if (m_fragment) {
        out += '#';
        out += *m_fragment;
    }
    return NSString::fromUTF8(out);
}

Ref<NSURL> NSURLComponents::URL() const { return URLRelativeToURL(nil); }

Ref<NSURL> NSURLComponents::URLRelativeToURL(const Ref<NSURL>& baseURL) const
{
    auto text = string();
    return text ? NSURL::URLWithString(text, baseURL) : nil;
}

Ref<NSString> NSURLComponents::scheme() const { return raw(m_scheme); }
Ref<NSString> NSURLComponents::user() const { return decoded(m_user); }
Ref<NSString> NSURLComponents::password() const { return decoded(m_password); }
Ref<NSString> NSURLComponents::host() const
{
    if (m_host && m_host->size() >= 2 && m_host->front() == '[' && m_host->back() == ']')
        return NSString::fromUTF8(std::string_view(*m_host).substr(1, m_host->size() - 2));
    return decoded(m_host);
}
Ref<NSString> NSURLComponents::path() const
{
    std::string out;
    if (!percentDecode(m_path, out))
        return nil;
    return NSString::fromUTF8(out);
}
Ref<NSString> NSURLComponents::query() const { return decoded(m_query); }
Ref<NSString> NSURLComponents::fragment() const { return decoded(m_fragment); }

void NSURLComponents::setScheme(const Ref<NSString>& scheme) { m_scheme = verbatim(scheme); }
void NSURLComponents::setUser(const Ref<NSString>& user) { m_user = encoded(user, URLCharacters::User); }
void NSURLComponents::setPassword(const Ref<NSString>& password) { m_password = encoded(password, URLCharacters::Password); }
void NSURLComponents::setHost(const Ref<NSString>& host)
{
    // An IPv6 address goes between brackets; other names are encoded.
    if (host && host->utf8().find(':') != std::string::npos && !host->hasPrefix("["))
        m_host = "[" + host->utf8() + "]";
    else if (host && host->hasPrefix("["))
        m_host = host->utf8();
    else
        m_host = encoded(host, URLCharacters::Host);
}
void NSURLComponents::setPath(const Ref<NSString>& path) { m_path = encoded(path, URLCharacters::Path).value_or(""); }
void NSURLComponents::setQuery(const Ref<NSString>& query) { m_query = encoded(query, URLCharacters::Query); }
void NSURLComponents::setFragment(const Ref<NSString>& fragment) { m_fragment = encoded(fragment, URLCharacters::Query); }

Ref<NSString> NSURLComponents::percentEncodedUser() const { return raw(m_user); }
Ref<NSString> NSURLComponents::percentEncodedPassword() const { return raw(m_password); }
Ref<NSString> NSURLComponents::percentEncodedHost() const { return raw(m_host); }
Ref<NSString> NSURLComponents::percentEncodedPath() const { return NSString::fromUTF8(m_path); }
Ref<NSString> NSURLComponents::percentEncodedQuery() const { return raw(m_query); }
Ref<NSString> NSURLComponents::percentEncodedFragment() const { return raw(m_fragment); }
void NSURLComponents::setPercentEncodedUser(const Ref<NSString>& user) { m_user = verbatim(user); }
void NSURLComponents::setPercentEncodedPassword(const Ref<NSString>& password) { m_password = verbatim(password); }
void NSURLComponents::setPercentEncodedHost(const Ref<NSString>& host) { m_host = verbatim(host); }
void NSURLComponents::setPercentEncodedPath(const Ref<NSString>& path) { m_path = path ? path->utf8() : std::string(); }
void NSURLComponents::setPercentEncodedQuery(const Ref<NSString>& query) { m_query = verbatim(query); }
void NSURLComponents::setPercentEncodedFragment(const Ref<NSString>& fragment) { m_fragment = verbatim(fragment); }

Ref<NSArray> NSURLComponents::queryItems() const
{
    if (!m_query)
        return nil;
    std::vector<id> items;
    std::string_view rest = *m_query;
    std::string name, value;
    while (!rest.empty()) {
        std::size_t amp = rest.find('&');
        std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        std::size_t eq = pair.find('=');
        std::string_view rawName = pair.substr(0, eq);
        // A pair that does not decode keeps its text as written.
        if (!percentDecode(rawName, name))
            name = rawName;
        Ref<NSString> valueString;
        if (eq != std::string_view::npos) {
            std::string_view rawValue = pair.substr(eq + 1);
            if (!percentDecode(rawValue, value))
                value = rawValue;
            valueString = NSString::fromUTF8(value);
        }
        items.push_back(NSURLQueryItem::queryItemWithName(NSString::fromUTF8(name), valueString));
    }
    return NSArray::fromVector(std::move(items));
}

void NSURLComponents::setQueryItems(const Ref<NSArray>& items)
{
    if (!items) {
        m_query.reset();
        return;
    }
    std::string query;
    bool first = true;
    for (NSUInteger i = 0; i < items->count(); ++i) {
        auto item = dv::as<NSURLQueryItem>(items->objectAtIndex(i));
        if (!item)
            continue;
        if (!first)
            query += '&';
        first = false;
        appendPercentEncoded(query, dv::str(item->name()), URLCharacters::QueryItem);
        if (item->value()) {
            query += '=';
            appendPercentEncoded(query, item->value()->utf8(), URLCharacters::QueryItem);
        }
    }
    m_query = std::move(query);
}

Ref<NSString> NSURLComponents::description() const
{
    return NSString::stringWithFormat("<NSURLComponents %p> {scheme = %@, user = %@, password = %@, host = %@, port = %@, "
                                      "path = %@, query = %@, fragment = %@}",
                                      static_cast<const void*>(this), scheme(), user(), password(), host(), m_port,
                                      path(), query(), fragment());
}

id NSURLComponents::copyWithZone(NSZone*) const
{
    auto copy = alloc<NSURLComponents>()->init();
    copy->m_scheme = m_scheme;
    copy->m_user = m_user;
    copy->m_password = m_password;
    copy->m_host = m_host;
    copy->m_port = m_port;
    copy->m_path = m_path;
    copy->m_query = m_query;
    copy->m_fragment = m_fragment;
    return copy;
}
