// NSMutableString: text edited in place.
#include "platform/base/NSString.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSException.h"
#include "platform/base/internal/StringSupport.h"
#include "platform/base/internal/Utf.h"

#include <algorithm>

using dv::internal::base::makeString;
using dv::internal::base::raiseStringRange;

DV_DEFINE_CLASS(NSMutableString)

Ref<NSMutableString> NSMutableString::init() { return self<NSMutableString>(); }

Ref<NSMutableString> NSMutableString::initWithString(const Ref<NSString>& other)
{
    NSString::initWithString(other);
    return self<NSMutableString>();
}

Ref<NSMutableString> NSMutableString::initWithCapacity(NSUInteger capacity)
{
    m_utf8.reserve(std::min<NSUInteger>(capacity, 1 << 20));
    return self<NSMutableString>();
}

Ref<NSMutableString> NSMutableString::string() { return alloc<NSMutableString>(); }
Ref<NSMutableString> NSMutableString::stringWithString(const Ref<NSString>& other) { return alloc<NSMutableString>()->initWithString(other); }
Ref<NSMutableString> NSMutableString::stringWithCapacity(NSUInteger capacity) { return alloc<NSMutableString>()->initWithCapacity(capacity); }

Ref<NSMutableString> NSMutableString::fromUTF8(std::string_view utf8)
{
    auto s = alloc<NSMutableString>();
    s->m_utf8 = dv::internal::base::isValidUtf8(utf8) ? std::string(utf8) : dv::internal::base::sanitizeUtf8(utf8);
    return s;
}

void NSMutableString::appendString(const Ref<NSString>& tail)
{
    if (!tail)
        NSException::raise(NSInvalidArgumentException, "-[NSMutableString appendString:]: nil argument");
    m_utf8 += tail->utf8();
    didMutate();
}

void NSMutableString::appendUTF8(std::string_view tail)
{
    if (dv::internal::base::isValidUtf8(tail))
        m_utf8.append(tail);
    else
        m_utf8 += dv::internal::base::sanitizeUtf8(tail);
    didMutate();
}

void NSMutableString::insertStringAtIndex(const Ref<NSString>& text, NSUInteger index)
{
    replaceCharactersInRange(NSMakeRange(index, 0), text);
}

void NSMutableString::deleteCharactersInRange(NSRange range) { replaceCharactersInRange(range, string()); }

void NSMutableString::replaceCharactersInRange(NSRange range, const Ref<NSString>& replacement)
{
    if (!replacement)
        NSException::raise(NSInvalidArgumentException, "-[NSMutableString replaceCharactersInRange:withString:]: nil argument");
    NSUInteger len = length();
    if (range.location > len || range.length > len - range.location)
        raiseStringRange("replaceCharactersInRange:withString:", range.location, len);
    std::size_t from = byteOffsetOfIndex(range.location);
    std::size_t to = byteOffsetOfIndex(range.location + range.length);
    // A range that splits a surrogate pair takes the whole character.
    if (range.length > 0 && to == from)
        to = from + 1;
    while (to < m_utf8.size() && (static_cast<unsigned char>(m_utf8[to]) & 0xC0) == 0x80)
        ++to;
    m_utf8.replace(from, to - from, replacement->utf8());
    didMutate();
}

NSUInteger NSMutableString::replaceOccurrencesOfString(const Ref<NSString>& target, const Ref<NSString>& replacement,
                                                       NSStringCompareOptions options, NSRange searchRange)
{
    if (!target || !replacement)
        NSException::raise(NSInvalidArgumentException, "-[NSMutableString replaceOccurrencesOfString:withString:options:range:]: nil argument");
    NSUInteger len = length();
    if (searchRange.location > len || searchRange.length > len - searchRange.location)
        raiseStringRange("replaceOccurrencesOfString:withString:options:range:", searchRange.location, len);
    if (target->utf8().empty())
        return 0;
    NSUInteger count = 0;
    if (!(options & (NSCaseInsensitiveSearch | NSAnchoredSearch | NSBackwardsSearch))) {
        std::size_t from = byteOffsetOfIndex(searchRange.location);
        std::size_t to = byteOffsetOfIndex(searchRange.location + searchRange.length);
        std::string out = m_utf8.substr(0, from);
        std::size_t i = from;
        const std::string& t = target->utf8();
        while (i < to) {
            std::size_t pos = m_utf8.find(t, i);
            if (pos == std::string::npos || pos + t.size() > to)
                break;
            out.append(m_utf8, i, pos - i);
            out += replacement->utf8();
            i = pos + t.size();
            ++count;
        }
        out.append(m_utf8, i, std::string::npos);
        m_utf8 = std::move(out);
        didMutate();
        return count;
    }
    NSRange range = searchRange;
    for (;;) {
        NSRange found = rangeOfString(target, options, range);
        if (found.location == static_cast<NSUInteger>(NSNotFound))
            break;
        replaceCharactersInRange(found, replacement);
        ++count;
        NSUInteger replacementLength = replacement->length();
        NSUInteger rangeEnd = range.location + range.length - found.length + replacementLength;
        if (options & NSBackwardsSearch) {
            range.length = found.location - range.location;
        } else {
            range.location = found.location + replacementLength;
            range.length = rangeEnd - range.location;
        }
        if (options & NSAnchoredSearch)
            break;
    }
    return count;
}

void NSMutableString::setString(const Ref<NSString>& text)
{
    m_utf8 = text ? text->utf8() : std::string();
    didMutate();
}

id NSMutableString::copyWithZone(NSZone*) const { return makeString(m_utf8); }
