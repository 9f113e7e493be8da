// NSString: the path functions (components, extensions, tilde expansion).
#include "platform/base/NSString.h"

#include "platform/base/NSArray.h"
#include "platform/base/internal/StringSupport.h"

#include <cstdlib>

using dv::internal::base::makeString;

// Paths ---------------------------------------------------------------------------------------

Ref<NSArray> NSString::pathComponents() const
{
    std::vector<id> parts;
    std::size_t i = 0;
    if (m_utf8.starts_with("/")) {
        parts.push_back(makeString("/"));
        while (i < m_utf8.size() && m_utf8[i] == '/')
            ++i;
    }
    while (i < m_utf8.size()) {
        std::size_t slash = m_utf8.find('/', i);
        if (slash == std::string::npos) {
            parts.push_back(makeString(m_utf8.substr(i)));
            break;
        }
        parts.push_back(makeString(m_utf8.substr(i, slash - i)));
        i = slash;
        while (i < m_utf8.size() && m_utf8[i] == '/')
            ++i;
        if (i == m_utf8.size())
            parts.push_back(makeString("/")); // a trailing slash
    }
    return NSArray::fromVector(std::move(parts));
}

Ref<NSString> NSString::lastPathComponent() const
{
    std::string s = m_utf8;
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    if (s == "/")
        return makeString("/");
    std::size_t slash = s.rfind('/');
    return makeString(slash == std::string::npos ? s : s.substr(slash + 1));
}

Ref<NSString> NSString::pathExtension() const
{
    std::string last = lastPathComponent()->m_utf8;
    std::size_t dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size())
        return string();
    return makeString(last.substr(dot + 1));
}

Ref<NSString> NSString::stringByAppendingPathComponent(const Ref<NSString>& component) const
{
    std::string tail = component ? component->m_utf8 : std::string();
    std::string head = m_utf8;
    while (head.size() > 1 && head.back() == '/')
        head.pop_back();
    std::size_t k = 0;
    while (k < tail.size() && tail[k] == '/')
        ++k;
    tail = tail.substr(k);
    while (!tail.empty() && tail.back() == '/')
        tail.pop_back();
    if (head.empty())
        return makeString(tail);
    if (tail.empty())
        return makeString(head);
    return makeString(head == "/" ? head + tail : head + "/" + tail);
}

Ref<NSString> NSString::stringByAppendingPathExtension(const Ref<NSString>& extension) const
{
    std::string head = m_utf8;
    while (head.size() > 1 && head.back() == '/')
        head.pop_back();
    return makeString(head + "." + (extension ? extension->m_utf8 : std::string()));
}

Ref<NSString> NSString::stringByDeletingLastPathComponent() const
{
    std::string s = m_utf8;
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    std::size_t slash = s.rfind('/');
    if (slash == std::string::npos)
        return string();
    if (slash == 0)
        return makeString(s.size() > 1 ? "/" : "/");
    return makeString(s.substr(0, slash));
}

Ref<NSString> NSString::stringByDeletingPathExtension() const
{
    std::string s = m_utf8;
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    std::size_t slash = s.rfind('/');
    std::size_t dot = s.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash + 2) || dot == 0)
        return makeString(s);
    return makeString(s.substr(0, dot));
}

Ref<NSString> NSString::stringByExpandingTildeInPath() const
{
    if (!m_utf8.starts_with("~"))
        return makeString(m_utf8);
    const char* home = std::getenv("HOME");
    if (!home || (m_utf8.size() > 1 && m_utf8[1] != '/'))
        return makeString(m_utf8);
    return makeString(std::string(home) + m_utf8.substr(1));
}

bool NSString::isAbsolutePath() const { return m_utf8.starts_with("/") || m_utf8.starts_with("~"); }
