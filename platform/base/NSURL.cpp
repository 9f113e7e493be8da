// NSURL: strict parsing, resolution against a base and the path operations of URLs.
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSURL.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/FormatErrors.h"

#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

using namespace dv::internal::base;

DV_DEFINE_CLASS(NSURL)

bool NSURL::setUp(const Ref<NSString>& string, const Ref<NSURL>& baseURL)
{
    if (!string)
        return false;
    m_string = dv::copyAs<NSString>(string);
    const std::string& text = m_string->utf8();
    if (!parseURLReference(text, m_relativeParts))
        return false;
    if (baseURL && !m_relativeParts.scheme.present()) {
        const std::string& baseText = baseURL->absoluteUTF8();
        std::string resolved = resolveURLReference(baseText, baseURL->m_parts, text, m_relativeParts);
        if (!parseURLReference(resolved, m_parts))
            return false;
        m_base = baseURL;
        m_absoluteString = NSString::fromUTF8(resolved);
        return true;
    }
    // An absolute reference stands alone: the base is dropped. Without a base, an empty text
    // names nothing.
    if (text.empty())
        return false;
    m_parts = m_relativeParts;
    m_absoluteString = m_string;
    return true;
}

Ref<NSURL> NSURL::initWithString(const Ref<NSString>& string) { return initWithString(string, nil); }

Ref<NSURL> NSURL::initWithString(const Ref<NSString>& string, const Ref<NSURL>& baseURL)
{
    NSObject::init();
    if (!setUp(string, baseURL))
        return nil;
    return self<NSURL>();
}

Ref<NSURL> NSURL::URLWithString(const Ref<NSString>& string) { return alloc<NSURL>()->initWithString(string, nil); }

Ref<NSURL> NSURL::URLWithString(const Ref<NSString>& string, const Ref<NSURL>& baseURL)
{
    return alloc<NSURL>()->initWithString(string, baseURL);
}

Ref<NSURL> NSURL::URLWithString(std::string_view string) { return URLWithString(NSString::fromUTF8(string)); }

Ref<NSURL> NSURL::fileURLWithPath(const Ref<NSString>& path)
{
    if (!path || path->utf8().empty())
        return nil;
    struct stat info {};
    bool directory = ::stat(path->UTF8String(), &info) == 0 && S_ISDIR(info.st_mode);
    return fileURLWithPath(path, directory);
}

Ref<NSURL> NSURL::fileURLWithPath(const Ref<NSString>& path, bool isDirectory)
{
    if (!path || path->utf8().empty())
        return nil;
    std::string full;
    if (path->utf8()[0] != '/') {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer))
            full = buffer;
        if (full.empty() || full.back() != '/')
            full += '/';
    }
    full += path->utf8();
    std::string text = "file://";
    text.reserve(full.size() + 8);
    appendPercentEncoded(text, full, URLCharacters::Path);
    if (isDirectory && text.back() != '/')
        text += '/';
    return URLWithString(NSString::fromUTF8(text));
}

const std::string& NSURL::absoluteUTF8() const { return m_absoluteString->utf8(); }

Ref<NSURL> NSURL::absoluteURL() const
{
    if (!m_base)
        return std::const_pointer_cast<NSURL>(self<NSURL>());
    return URLWithString(m_absoluteString);
}

Ref<NSString> NSURL::decoded(URLSpan span, std::string_view text) const
{
    if (!span.present())
        return nil;
    std::string out;
    if (!percentDecode(span.in(text), out))
        return nil;
    return NSString::fromUTF8(out);
}

Ref<NSString> NSURL::scheme() const
{
    if (!m_parts.scheme.present())
        return nil;
    return NSString::fromUTF8(m_parts.scheme.in(absoluteUTF8()));
}

Ref<NSString> NSURL::host() const
{
    std::string_view host = m_parts.host.in(absoluteUTF8());
    if (host.empty())
        return nil;
    if (host.front() == '[')
        return NSString::fromUTF8(host.substr(1, host.size() - 2));
    return decoded(m_parts.host, absoluteUTF8());
}

Ref<NSNumber> NSURL::port() const
{
    if (m_parts.portValue < 0)
        return nil;
    return NSNumber::numberWithInteger(m_parts.portValue);
}

Ref<NSString> NSURL::user() const { return decoded(m_parts.user, absoluteUTF8()); }
Ref<NSString> NSURL::password() const { return decoded(m_parts.password, absoluteUTF8()); }

namespace {

// The path without the parameter string of its last segment.
std::string_view withoutParameters(std::string_view path)
{
    std::size_t slash = path.rfind('/');
    std::size_t semicolon = path.find(';', slash == std::string_view::npos ? 0 : slash);
    return semicolon == std::string_view::npos ? path : path.substr(0, semicolon);
}

Ref<NSString> decodedPath(std::string_view raw)
{
    if (raw.size() > 1 && raw.back() == '/')
        raw.remove_suffix(1);
    std::string out;
    if (!percentDecode(raw, out))
        return nil;
    return NSString::fromUTF8(out);
}

} // namespace

std::string_view NSURL::rawPath() const { return withoutParameters(m_parts.path.in(absoluteUTF8())); }

Ref<NSString> NSURL::path() const { return decodedPath(rawPath()); }

Ref<NSString> NSURL::relativePath() const
{
    return decodedPath(withoutParameters(m_relativeParts.path.in(m_string->utf8())));
}

Ref<NSString> NSURL::query() const
{
    if (!m_parts.query.present())
        return nil;
    return NSString::fromUTF8(m_parts.query.in(absoluteUTF8()));
}

Ref<NSString> NSURL::fragment() const
{
    if (!m_parts.fragment.present())
        return nil;
    return NSString::fromUTF8(m_parts.fragment.in(absoluteUTF8()));
}

Ref<NSString> NSURL::parameterString() const
{
    std::string_view path = m_parts.path.in(absoluteUTF8());
    std::string_view bare = withoutParameters(path);
    if (bare.size() == path.size())
        return nil;
    return NSString::fromUTF8(path.substr(bare.size() + 1));
}

Ref<NSString> NSURL::resourceSpecifier() const
{
    std::string_view text = m_string->utf8();
    if (m_relativeParts.scheme.present())
        text.remove_prefix(static_cast<std::size_t>(m_relativeParts.scheme.len) + 1);
    return NSString::fromUTF8(text);
}

Ref<NSString> NSURL::lastPathComponent() const
{
    auto p = path();
    return p ? p->lastPathComponent() : nil;
}

Ref<NSString> NSURL::pathExtension() const
{
    auto p = path();
    return p ? p->pathExtension() : nil;
}

Ref<NSArray> NSURL::pathComponents() const
{
    auto p = path();
    if (!p || p->utf8().empty())
        return nil;
    return p->pathComponents();
}

bool NSURL::hasDirectoryPath() const
{
    std::string_view path = rawPath();
    return !path.empty() && path.back() == '/';
}

bool NSURL::isFileURL() const
{
    std::string_view scheme = m_parts.scheme.in(absoluteUTF8());
    return scheme.size() == 4 && ::strncasecmp(scheme.data(), "file", 4) == 0;
}

Ref<NSURL> NSURL::withRelativePath(std::string_view path) const
{
    const std::string& text = m_string->utf8();
    std::size_t begin = static_cast<std::size_t>(m_relativeParts.path.pos);
    std::size_t end = begin + static_cast<std::size_t>(m_relativeParts.path.len);
    std::string out;
    out.reserve(text.size() + path.size());
    out.append(text, 0, begin);
    out.append(path);
    out.append(text, end, std::string::npos);
    return URLWithString(NSString::fromUTF8(out), m_base);
}

Ref<NSURL> NSURL::URLByAppendingPathComponent(const Ref<NSString>& component) const
{
    return URLByAppendingPathComponent(component, false);
}

Ref<NSURL> NSURL::URLByAppendingPathComponent(const Ref<NSString>& component, bool isDirectory) const
{
    if (!component)
        return nil;
    std::string path(m_relativeParts.path.in(m_string->utf8()));
    if (path.empty()) {
        if (m_relativeParts.authority.present())
            path = "/";
    } else if (path.back() != '/') {
        path += '/';
    }
    std::string_view tail = component->utf8();
    if (!path.empty() && path.back() == '/')
        while (!tail.empty() && tail.front() == '/')
            tail.remove_prefix(1);
    appendPercentEncoded(path, tail, URLCharacters::Path);
    if (isDirectory && (path.empty() || path.back() != '/'))
        path += '/';
    return withRelativePath(path);
}

Ref<NSURL> NSURL::URLByAppendingPathExtension(const Ref<NSString>& extension) const
{
    if (!extension)
        return nil;
    std::string_view path = m_relativeParts.path.in(m_string->utf8());
    bool trailingSlash = !path.empty() && path.back() == '/';
    std::string_view stem = trailingSlash ? path.substr(0, path.size() - 1) : path;
    if (stem.empty() || stem.back() == '/')
        return std::const_pointer_cast<NSURL>(self<NSURL>());
    std::string out(stem);
    out += '.';
    appendPercentEncoded(out, extension->utf8(), URLCharacters::Path);
    if (trailingSlash)
        out += '/';
    return withRelativePath(out);
}

Ref<NSURL> NSURL::URLByDeletingLastPathComponent() const
{
    std::string_view path = m_relativeParts.path.in(m_string->utf8());
    std::string_view stem = path;
    if (stem.size() > 1 && stem.back() == '/')
        stem.remove_suffix(1);
    std::size_t slash = stem.rfind('/');
    if (slash == std::string_view::npos)
        return withRelativePath(m_relativeParts.authority.present() ? "/" : "./");
    return withRelativePath(stem.substr(0, slash + 1));
}

Ref<NSURL> NSURL::URLByDeletingPathExtension() const
{
    std::string_view path = m_relativeParts.path.in(m_string->utf8());
    bool trailingSlash = path.size() > 1 && path.back() == '/';
    std::string_view stem = trailingSlash ? path.substr(0, path.size() - 1) : path;
    std::size_t slash = stem.rfind('/');
    std::size_t dot = stem.rfind('.');
    std::size_t segmentStart = slash == std::string_view::npos ? 0 : slash + 1;
    if (dot == std::string_view::npos || dot <= segmentStart || dot + 1 == stem.size())
        return std::const_pointer_cast<NSURL>(self<NSURL>());
    std::string out(stem.substr(0, dot));
    if (trailingSlash)
        out += '/';
    return withRelativePath(out);
}

Ref<NSURL> NSURL::standardizedURL() const
{
    std::string_view path = m_relativeParts.path.in(m_string->utf8());
    if (path.empty() || path.front() != '/')
        return std::const_pointer_cast<NSURL>(self<NSURL>());
    return withRelativePath(removeDotSegments(path));
}

Ref<NSString> NSURL::description() const
{
    if (!m_string)
        return NSString::fromUTF8("(null)");
    if (!m_base)
        return m_string;
    return NSString::fromUTF8(m_string->utf8() + " -- " + dv::str(m_base->description()));
}

bool NSURL::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    auto url = dynamic_cast<const NSURL*>(other);
    if (!url || !m_string || !url->m_string)
        return false;
    return m_string->utf8() == url->m_string->utf8() && dv::equal(m_base, url->m_base);
}

NSUInteger NSURL::hash() const { return m_string ? m_string->hash() : 0; }

id NSURL::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSObject>(shared_from_this()); }

void NSURL::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeObject(m_base, "NS.base"_ns);
    coder.encodeObject(m_string, "NS.relative"_ns);
}

id NSURL::initWithCoder(NSCoder& coder)
{
    auto base = coder.decodeObjectOfClass<NSURL>("NS.base"_ns);
    auto relative = coder.decodeObjectOfClass<NSString>("NS.relative"_ns);
    if (coder.error())
        return nil;
    if (!relative || !setUp(relative, base)) {
        coder.failWithError(dv::internal::base::makeCocoaError(dv::internal::base::kCoderReadCorruptError,
                                                               "The archived URL \"" + dv::str(relative) + "\" is not a valid URL."));
        return nil;
    }
    return self<NSURL>();
}
