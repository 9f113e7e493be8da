// NSString: making a string, its storage (UTF-16 measures over the UTF-8 text, encodings) and its
// NSObject behaviour. Comparison and searching, pieces and derived strings, paths, numeric values
// and NSMutableString have files of their own.
#include "platform/base/NSString.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSException.h"
#include "platform/base/internal/StringEncoding.h"
#include "platform/base/internal/StringSupport.h"
#include "platform/base/internal/Utf.h"

#include <algorithm>

using dv::internal::base::decodeUtf8;
using dv::internal::base::makeString;
using dv::internal::base::raiseStringRange;
using dv::internal::base::utf8ToUtf16;

DV_DEFINE_CLASS(NSString)

// Creation ------------------------------------------------------------------------------------

Ref<NSString> NSString::init() { return self<NSString>(); }

Ref<NSString> NSString::initWithUTF8String(const char* utf8)
{
    if (!utf8)
        return nullptr;
    m_utf8 = dv::internal::base::sanitizeUtf8(utf8);
    didMutate();
    return self<NSString>();
}

Ref<NSString> NSString::initWithString(const Ref<NSString>& other)
{
    if (!other)
        NSException::raise(NSInvalidArgumentException, "-[NSString initWithString:]: nil argument");
    m_utf8 = other->m_utf8;
    didMutate();
    return self<NSString>();
}

Ref<NSString> NSString::initWithCharacters(const unichar* characters, NSUInteger length)
{
    m_utf8 = characters ? dv::internal::base::utf16ToUtf8(std::u16string_view(characters, length)) : std::string();
    didMutate();
    return self<NSString>();
}

Ref<NSString> NSString::initWithBytes(const void* bytes, NSUInteger length, NSStringEncoding encoding)
{
    std::string_view raw(static_cast<const char*>(bytes), bytes ? length : 0);
    auto text = dv::internal::base::decodeText(raw, encoding);
    if (!text)
        return nullptr;
    m_utf8 = std::move(*text);
    didMutate();
    return self<NSString>();
}

Ref<NSString> NSString::initWithData(const Ref<NSData>& data, NSStringEncoding encoding)
{
    if (!data)
        return initWithBytes(nullptr, 0, encoding);
    return initWithBytes(data->bytes(), data->length(), encoding);
}

Ref<NSString> NSString::string() { return makeString({}); }
Ref<NSString> NSString::stringWithUTF8String(const char* utf8) { return utf8 ? fromUTF8(utf8) : nullptr; }
Ref<NSString> NSString::stringWithString(const Ref<NSString>& other) { return alloc<NSString>()->initWithString(other); }
Ref<NSString> NSString::stringWithCharacters(const unichar* characters, NSUInteger length)
{
    return alloc<NSString>()->initWithCharacters(characters, length);
}

Ref<NSString> NSString::fromUTF8(std::string_view utf8)
{
    if (dv::internal::base::isValidUtf8(utf8))
        return makeString(std::string(utf8));
    return makeString(dv::internal::base::sanitizeUtf8(utf8));
}

Ref<NSString> operator""_ns(const char* text, std::size_t length) { return NSString::fromUTF8(std::string_view(text, length)); }

// Storage -------------------------------------------------------------------------------------

void NSString::didMutate()
{
    m_length16.store(-1, std::memory_order_relaxed);
    m_ascii.store(-1, std::memory_order_relaxed);
}

bool NSString::isASCII() const
{
    int cached = m_ascii.load(std::memory_order_relaxed);
    if (cached < 0) {
        cached = std::all_of(m_utf8.begin(), m_utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }) ? 1 : 0;
        m_ascii.store(cached, std::memory_order_relaxed);
    }
    return cached == 1;
}

std::u16string NSString::utf16() const { return utf8ToUtf16(m_utf8); }

NSUInteger NSString::length() const
{
    std::int64_t cached = m_length16.load(std::memory_order_relaxed);
    if (cached >= 0)
        return static_cast<NSUInteger>(cached);
    NSUInteger n = 0;
    if (isASCII()) {
        n = m_utf8.size();
    } else {
        std::size_t i = 0;
        while (i < m_utf8.size())
            n += dv::internal::base::utf16Width(decodeUtf8(m_utf8, i));
    }
    m_length16.store(static_cast<std::int64_t>(n), std::memory_order_relaxed);
    return n;
}

std::size_t NSString::byteOffsetOfIndex(NSUInteger index) const
{
    if (isASCII())
        return std::min<std::size_t>(index, m_utf8.size());
    std::size_t i = 0;
    NSUInteger units = 0;
    while (i < m_utf8.size()) {
        std::size_t at = i;
        unsigned w = dv::internal::base::utf16Width(decodeUtf8(m_utf8, i));
        if (units + w > index)
            return at;
        units += w;
    }
    return m_utf8.size();
}

NSUInteger NSString::indexOfByteOffset(std::size_t offset) const
{
    if (isASCII())
        return std::min<std::size_t>(offset, m_utf8.size());
    std::size_t i = 0;
    NSUInteger units = 0;
    while (i < m_utf8.size() && i < offset)
        units += dv::internal::base::utf16Width(decodeUtf8(m_utf8, i));
    return units;
}

unichar NSString::characterAtIndex(NSUInteger index) const
{
    if (isASCII()) {
        if (index >= m_utf8.size())
            raiseStringRange("characterAtIndex:", index, m_utf8.size());
        return static_cast<unichar>(m_utf8[index]);
    }
    std::size_t i = 0;
    NSUInteger units = 0;
    while (i < m_utf8.size()) {
        char32_t c = decodeUtf8(m_utf8, i);
        if (c >= 0x10000) {
            if (units == index)
                return static_cast<unichar>(0xD800 + ((c - 0x10000) >> 10));
            if (units + 1 == index)
                return static_cast<unichar>(0xDC00 + ((c - 0x10000) & 0x3FF));
            units += 2;
        } else {
            if (units == index)
                return static_cast<unichar>(c);
            ++units;
        }
    }
    raiseStringRange("characterAtIndex:", index, length());
}

NSUInteger NSString::lengthOfBytesUsingEncoding(NSStringEncoding encoding) const
{
    auto bytes = dv::internal::base::encodeText(m_utf8, encoding, false);
    return bytes ? bytes->size() : 0;
}

Ref<NSData> NSString::dataUsingEncoding(NSStringEncoding encoding) const { return dataUsingEncoding(encoding, false); }

Ref<NSData> NSString::dataUsingEncoding(NSStringEncoding encoding, bool allowLossyConversion) const
{
    auto bytes = dv::internal::base::encodeText(m_utf8, encoding, allowLossyConversion);
    if (!bytes)
        return nullptr;
    return NSData::fromString(*bytes);
}

bool NSString::canBeConvertedToEncoding(NSStringEncoding encoding) const
{
    return dv::internal::base::encodeText(m_utf8, encoding, false).has_value();
}

// NSObject ------------------------------------------------------------------------------------

Ref<NSString> NSString::description() const { return std::const_pointer_cast<NSString>(self<NSString>()); }

bool NSString::isEqual(const NSObject* other) const
{
    if (other == this)
        return true;
    if (!other)
        return false;
    // Most comparisons are between plain strings: skip the dynamic cast for them.
    const NSString* string = other->getClass() == NSString::class_() ? static_cast<const NSString*>(other) : dynamic_cast<const NSString*>(other);
    return string && string->m_utf8 == m_utf8;
}

NSUInteger NSString::hash() const { return std::hash<std::string_view>()(m_utf8); }

id NSString::copyWithZone(NSZone*) const
{
    // Immutable strings are shared; copying a mutable one freezes its current text.
    return std::const_pointer_cast<NSString>(self<NSString>());
}

id NSString::mutableCopyWithZone(NSZone*) const { return NSMutableString::fromUTF8(m_utf8); }

namespace dv {

std::string str(const NSObject* object)
{
    if (!object)
        return {};
    if (auto* string = dynamic_cast<const NSString*>(object))
        return string->utf8();
    auto description = object->description();
    return description ? description->utf8() : std::string();
}

} // namespace dv
