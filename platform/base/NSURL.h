// NSURL: an immutable URL reference, parsed strictly by RFC 3986 and optionally relative to a base
// URL. Creation answers nil for text outside the grammar (spaces, non-ASCII, a bad escape, an
// invalid scheme or port). Accessors answer the components of the resolved (absolute) URL,
// percent-decoded where the platform decodes them. Shared freely between threads.
//
//   auto base = NSURL::URLWithString("http://example.com/api/"_ns);
//   auto url = NSURL::URLWithString("users?page=2"_ns, base); // http://example.com/api/users?page=2
#pragma once

#include "platform/base/NSObject.h"
#include "platform/base/internal/URLParser.h"

class NSURL : public NSObject, public NSCopying, public NSCoding {
    DV_CLASS(NSURL, NSObject)

    NSURL() = default;

    Ref<NSURL> initWithString(const Ref<NSString>& string);
    Ref<NSURL> initWithString(const Ref<NSString>& string, const Ref<NSURL>& baseURL);
    static Ref<NSURL> URLWithString(const Ref<NSString>& string);
    static Ref<NSURL> URLWithString(const Ref<NSString>& string, const Ref<NSURL>& baseURL);
    static Ref<NSURL> URLWithString(std::string_view string);

    // File URLs from a file-system path: an absolute path (a relative one is taken from the
    // current directory), percent-encoded; directories end with "/". Without isDirectory the file
    // system is asked whether the path is a directory.
    static Ref<NSURL> fileURLWithPath(const Ref<NSString>& path);
    static Ref<NSURL> fileURLWithPath(const Ref<NSString>& path, bool isDirectory);

    Ref<NSURL> baseURL() const { return m_base; }
    Ref<NSURL> absoluteURL() const;
    Ref<NSString> absoluteString() const { return m_absoluteString; }
    Ref<NSString> relativeString() const { return m_string; }

    Ref<NSString> scheme() const;
    Ref<NSString> host() const;       // decoded; IPv6 literals without brackets
    Ref<NSNumber> port() const;       // nil when absent
    Ref<NSString> user() const;       // decoded
    Ref<NSString> password() const;   // decoded
    Ref<NSString> path() const;       // decoded, no trailing "/" but for the root, no parameters
    Ref<NSString> relativePath() const;
    Ref<NSString> query() const;      // as written
    Ref<NSString> fragment() const;   // as written
    Ref<NSString> parameterString() const;
    Ref<NSString> resourceSpecifier() const;
    Ref<NSString> lastPathComponent() const;
    Ref<NSString> pathExtension() const;
    Ref<NSArray> pathComponents() const;
    bool hasDirectoryPath() const;
    bool isFileURL() const;

    Ref<NSURL> URLByAppendingPathComponent(const Ref<NSString>& component) const;
    Ref<NSURL> URLByAppendingPathComponent(const Ref<NSString>& component, bool isDirectory) const;
    Ref<NSURL> URLByAppendingPathExtension(const Ref<NSString>& extension) const;
    Ref<NSURL> URLByDeletingLastPathComponent() const;
    Ref<NSURL> URLByDeletingPathExtension() const;
    Ref<NSURL> standardizedURL() const;

    // "absolute" for a URL without base; "relative -- base" otherwise.
    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

    // Archived as its relative text ("NS.relative") and its base URL ("NS.base", nil for none);
    // a text that no longer parses fails the decoding.
    static bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;

    // The parsed absolute text, for NSURLComponents and the URL loading code.
    const std::string& absoluteUTF8() const;
    const dv::internal::base::URLParts& absoluteParts() const { return m_parts; }

private:
    bool setUp(const Ref<NSString>& string, const Ref<NSURL>& baseURL);
    Ref<NSString> decoded(dv::internal::base::URLSpan span, std::string_view text) const;
    // The path as written, without the parameter string.
    std::string_view rawPath() const;
    // A URL of the same base whose relative text has `path` in place of its path.
    Ref<NSURL> withRelativePath(std::string_view path) const;

    Ref<NSString> m_string;
    Ref<NSURL> m_base;
    Ref<NSString> m_absoluteString;
    dv::internal::base::URLParts m_parts;        // of the absolute string
    dv::internal::base::URLParts m_relativeParts; // of the relative string
};
