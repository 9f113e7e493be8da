// NSURLComponents: a URL taken apart into editable components, and put back together. Getters
// answer decoded text, the percentEncoded… ones the text as it stands in the URL; setters encode
// what the component cannot hold literally. Belongs to one thread at a time.
//
//   auto c = NSURLComponents::componentsWithString("http://example.com/search"_ns);
//   c->setQueryItems(NSArray::of({NSURLQueryItem::queryItemWithName("q"_ns, "a b"_ns)}));
//   c->URL(); // http://example.com/search?q=a%20b
#pragma once

#include "platform/base/NSObject.h"

#include <optional>
#include <string>

class NSURLComponents : public NSObject, public NSCopying {
    DV_CLASS(NSURLComponents, NSObject)

    NSURLComponents() = default;
    Ref<NSURLComponents> init();
    // nil when the text is not a valid URL.
    Ref<NSURLComponents> initWithString(const Ref<NSString>& string);
    Ref<NSURLComponents> initWithURL(const Ref<NSURL>& url, bool resolvingAgainstBaseURL);
    static Ref<NSURLComponents> components();
    static Ref<NSURLComponents> componentsWithString(const Ref<NSString>& string);
    static Ref<NSURLComponents> componentsWithURL(const Ref<NSURL>& url, bool resolvingAgainstBaseURL);

    // The URL of the components; nil when they do not make one (a relative path after a host, a
    // path starting with "//" without a host, an invalid scheme or port).
    Ref<NSURL> URL() const;
    Ref<NSURL> URLRelativeToURL(const Ref<NSURL>& baseURL) const;
    Ref<NSString> string() const;

    Ref<NSString> scheme() const;
    Ref<NSString> user() const;
    Ref<NSString> password() const;
    Ref<NSString> host() const;
    Ref<NSNumber> port() const { return m_port; }
    Ref<NSString> path() const;
    Ref<NSString> query() const;
    Ref<NSString> fragment() const;
    void setScheme(const Ref<NSString>& scheme);
    void setUser(const Ref<NSString>& user);
    void setPassword(const Ref<NSString>& password);
    void setHost(const Ref<NSString>& host);
    void setPort(const Ref<NSNumber>& port) { m_port = port; }
    void setPath(const Ref<NSString>& path);
    void setQuery(const Ref<NSString>& query);
    void setFragment(const Ref<NSString>& fragment);

    Ref<NSString> percentEncodedUser() const;
    Ref<NSString> percentEncodedPassword() const;
    Ref<NSString> percentEncodedHost() const;
    Ref<NSString> percentEncodedPath() const;
    Ref<NSString> percentEncodedQuery() const;
    Ref<NSString> percentEncodedFragment() const;
    void setPercentEncodedUser(const Ref<NSString>& user);
    void setPercentEncodedPassword(const Ref<NSString>& password);
    void setPercentEncodedHost(const Ref<NSString>& host);
    void setPercentEncodedPath(const Ref<NSString>& path);
    void setPercentEncodedQuery(const Ref<NSString>& query);
    void setPercentEncodedFragment(const Ref<NSString>& fragment);

    // The query as NSURLQueryItems (nil without a query). Setting encodes "&", "=" and "+" inside
    // names and values, so that every pair reads back as it was given; nil removes the query.
    Ref<NSArray> queryItems() const;
    void setQueryItems(const Ref<NSArray>& items);

    Ref<NSString> description() const override;
    id copyWithZone(NSZone* zone) const override;

private:
    bool setFromText(std::string_view text);
    std::optional<std::string> m_scheme, m_user, m_password, m_host, m_query, m_fragment;
    std::string m_path;
    Ref<NSNumber> m_port;
};
