// NSString: pieces (substrings, components) and derived strings (appended, replaced, trimmed,
// padded, case-mapped).
#include "platform/base/NSString.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSException.h"
#include "platform/base/internal/StringSupport.h"
#include "platform/base/internal/Utf.h"

#include <unicode/uchar.h>

using dv::internal::base::appendUtf8;
using dv::internal::base::CaseMapping;
using dv::internal::base::decodeUtf8;
using dv::internal::base::makeString;
using dv::internal::base::mapCase;
using dv::internal::base::raiseStringRange;

// Pieces --------------------------------------------------------------------------------------

Ref<NSString> NSString::substringFromIndex(NSUInteger from) const
{
    if (from > length())
        raiseStringRange("substringFromIndex:", from, length());
    return makeString(m_utf8.substr(byteOffsetOfIndex(from)));
}

Ref<NSString> NSString::substringToIndex(NSUInteger to) const
{
    if (to > length())
        raiseStringRange("substringToIndex:", to, length());
    return makeString(m_utf8.substr(0, byteOffsetOfIndex(to)));
}

Ref<NSString> NSString::substringWithRange(NSRange range) const
{
    NSUInteger len = length();
    if (range.location > len || range.length > len - range.location)
        raiseStringRange("substringWithRange:", range.location, len);
    std::size_t from = byteOffsetOfIndex(range.location);
    std::size_t to = byteOffsetOfIndex(range.location + range.length);
    return makeString(m_utf8.substr(from, to - from));
}

Ref<NSArray> NSString::componentsSeparatedByString(const Ref<NSString>& separator) const
{
    std::vector<id> parts;
    if (!separator || separator->m_utf8.empty()) {
        parts.push_back(makeString(m_utf8));
        return NSArray::fromVector(std::move(parts));
    }
    const std::string& sep = separator->m_utf8;
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = m_utf8.find(sep, start);
        if (pos == std::string::npos) {
            parts.push_back(makeString(m_utf8.substr(start)));
            break;
        }
        parts.push_back(makeString(m_utf8.substr(start, pos - start)));
        start = pos + sep.size();
    }
    return NSArray::fromVector(std::move(parts));
}

Ref<NSArray> NSString::componentsSeparatedByCharactersInSet(const Ref<NSCharacterSet>& set) const
{
    std::vector<id> parts;
    std::size_t i = 0, start = 0;
    while (i < m_utf8.size()) {
        std::size_t at = i;
        char32_t c = decodeUtf8(m_utf8, i);
        if (set && set->characterIsMember(c)) {
            parts.push_back(makeString(m_utf8.substr(start, at - start)));
            start = i;
        }
    }
    parts.push_back(makeString(m_utf8.substr(start)));
    return NSArray::fromVector(std::move(parts));
}

// Derived strings -----------------------------------------------------------------------------

Ref<NSString> NSString::stringByAppendingString(const Ref<NSString>& tail) const
{
    if (!tail)
        NSException::raise(NSInvalidArgumentException, "-[NSString stringByAppendingString:]: nil argument");
    return makeString(m_utf8 + tail->m_utf8);
}

Ref<NSString> NSString::stringByReplacingOccurrencesOfString(const Ref<NSString>& target, const Ref<NSString>& replacement) const
{
    if (!target || !replacement)
        NSException::raise(NSInvalidArgumentException, "-[NSString stringByReplacingOccurrencesOfString:withString:]: nil argument");
    auto copy = NSMutableString::fromUTF8(m_utf8);
    copy->replaceOccurrencesOfString(target, replacement, 0, NSMakeRange(0, length()));
    return makeString(copy->m_utf8);
}

Ref<NSString> NSString::stringByReplacingCharactersInRange(NSRange range, const Ref<NSString>& replacement) const
{
    auto copy = NSMutableString::fromUTF8(m_utf8);
    copy->replaceCharactersInRange(range, replacement);
    return makeString(copy->m_utf8);
}

Ref<NSString> NSString::stringByTrimmingCharactersInSet(const Ref<NSCharacterSet>& set) const
{
    if (!set)
        return makeString(m_utf8);
    std::size_t i = 0, start = m_utf8.size(), end = 0;
    while (i < m_utf8.size()) {
        std::size_t at = i;
        char32_t c = decodeUtf8(m_utf8, i);
        if (!set->characterIsMember(c)) {
            if (start == m_utf8.size())
                start = at;
            end = i;
        }
    }
    if (start >= end)
        return string();
    return makeString(m_utf8.substr(start, end - start));
}

Ref<NSString> NSString::stringByPaddingToLength(NSUInteger newLength, const Ref<NSString>& pad, NSUInteger startIndex) const
{
    NSUInteger len = length();
    if (newLength <= len)
        return substringToIndex(newLength);
    if (!pad || pad->length() == 0 || startIndex >= pad->length())
        NSException::raise(NSRangeException, "-[NSString stringByPaddingToLength:withString:startingAtIndex:]: bad padding");
    std::u16string out = utf16();
    std::u16string p = pad->utf16();
    for (std::size_t k = startIndex; out.size() < newLength; k = (k + 1) % p.size())
        out.push_back(p[k]);
    return makeString(dv::internal::base::utf16ToUtf8(out));
}

Ref<NSString> NSString::uppercaseString() const { return makeString(mapCase(m_utf8, CaseMapping::Upper)); }
Ref<NSString> NSString::lowercaseString() const { return makeString(mapCase(m_utf8, CaseMapping::Lower)); }

Ref<NSString> NSString::capitalizedString() const
{
    std::string out;
    bool startOfWord = true;
    std::size_t i = 0;
    while (i < m_utf8.size()) {
        char32_t c = decodeUtf8(m_utf8, i);
        bool letter = u_isalnum(static_cast<UChar32>(c));
        char32_t mapped = letter ? static_cast<char32_t>(startOfWord ? u_totitle(static_cast<UChar32>(c)) : u_tolower(static_cast<UChar32>(c))) : c;
        appendUtf8(out, mapped);
        startOfWord = !letter;
    }
    return makeString(std::move(out));
}
