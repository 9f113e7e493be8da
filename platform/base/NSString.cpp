#include "platform/base/NSString.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSData.h"
#include "platform/base/NSException.h"
#include "platform/base/internal/SharedInstance.h"
#include "platform/base/internal/StringEncoding.h"
#include "platform/base/internal/Utf.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

using dv::internal::base::appendUtf8;
using dv::internal::base::decodeUtf8;

DV_DEFINE_CLASS(NSString)
DV_DEFINE_CLASS(NSMutableString)

namespace {

// Every empty immutable string is the one shared instance, as on the platform.
Ref<NSString> makeString(std::string utf8)
{
    if (utf8.empty()) {
        static const Ref<NSString>& empty = dv::internal::base::sharedInstance(std::make_shared<NSString>());
        return empty;
    }
    return std::make_shared<NSString>(std::move(utf8));
}

[[noreturn]] void raiseRange(const char* method, NSUInteger index, NSUInteger length)
{
    NSException::raise(NSRangeException, std::string("-[NSString ") + method + "]: Range or index out of bounds (index "
                                             + std::to_string(index) + ", length " + std::to_string(length) + ")");
}

bool isBlank(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0 || c == 0x1680
        || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Skips leading blanks; returns the byte index of the first other character.
std::size_t skipBlanks(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t at = i;
        if (!isBlank(decodeUtf8(s, i)))
            return at;
    }
    return i;
}

// Leading blanks, sign, digits; saturates at the bounds of the type.
template <class I>
I parseInteger(std::string_view s)
{
    std::size_t i = skipBlanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    using U = std::make_unsigned_t<I>;
    U limit = negative ? static_cast<U>(std::numeric_limits<I>::max()) + 1u : static_cast<U>(std::numeric_limits<I>::max());
    U value = 0;
    bool overflow = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        U digit = static_cast<U>(s[i] - '0');
        if (value > (limit - digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 + digit;
    }
    if (overflow)
        return negative ? std::numeric_limits<I>::min() : std::numeric_limits<I>::max();
    if (negative)
        return value == static_cast<U>(std::numeric_limits<I>::max()) + 1u ? std::numeric_limits<I>::min() : -static_cast<I>(value);
    return static_cast<I>(value);
}

std::u16string toUtf16(const std::string& s) { return dv::internal::base::utf8ToUtf16(s); }

// Case mapping through ICU; `mode` 'U' upper, 'L' lower, 'F' fold.
std::string mapCase(const std::string& s, char mode)
{
    bool ascii = std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        std::string out = s;
        for (char& c : out)
            c = mode == 'U' ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                            : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    }
    std::u16string in = toUtf16(s);
    std::u16string out(in.size() * 3 + 4, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n;
    auto* src = reinterpret_cast<const UChar*>(in.data());
    auto* dst = reinterpret_cast<UChar*>(out.data());
    auto cap = static_cast<int32_t>(out.size());
    auto len = static_cast<int32_t>(in.size());
    if (mode == 'U')
        n = u_strToUpper(dst, cap, src, len, "", &status);
    else if (mode == 'L')
        n = u_strToLower(dst, cap, src, len, "", &status);
    else
        n = u_strFoldCase(dst, cap, src, len, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return s;
    out.resize(static_cast<std::size_t>(n));
    return dv::internal::base::utf16ToUtf8(out);
}

// The canonical decomposition (NFD) of `text`; the text itself when ICU cannot give one.
std::u16string decomposed(std::u16string text)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    if (U_FAILURE(status))
        return text;
    auto length = static_cast<int32_t>(text.size());
    if (unorm2_isNormalized(nfd, reinterpret_cast<const UChar*>(text.data()), length, &status) && U_SUCCESS(status))
        return text;
    status = U_ZERO_ERROR;
    std::u16string out(text.size() * 3 + 8, u'\0');
    int32_t n = unorm2_normalize(nfd, reinterpret_cast<const UChar*>(text.data()), length,
                                 reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        out.assign(static_cast<std::size_t>(n), u'\0');
        n = unorm2_normalize(nfd, reinterpret_cast<const UChar*>(text.data()), length, reinterpret_cast<UChar*>(out.data()), n, &status);
    }
    if (U_FAILURE(status))
        return text;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

int compareUtf16(const std::u16string& a, const std::u16string& b)
{
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// Orders runs of digits by their numeric value, the rest by UTF-16 units.
int compareNumeric(const std::u16string& a, const std::u16string& b)
{
    std::size_t i = 0, j = 0;
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t si = i, sj = j;
            while (si < a.size() && a[si] == u'0')
                ++si;
            while (sj < b.size() && b[sj] == u'0')
                ++sj;
            std::size_t ei = si, ej = sj;
            while (ei < a.size() && digit(a[ei]))
                ++ei;
            while (ej < b.size() && digit(b[ej]))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0)
                return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i == a.size() && j == b.size())
        return 0;
    return i == a.size() ? -1 : 1;
}

} // namespace

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

std::u16string NSString::utf16() const { return toUtf16(m_utf8); }

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
            raiseRange("characterAtIndex:", index, m_utf8.size());
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
    raiseRange("characterAtIndex:", index, length());
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

// Comparison ----------------------------------------------------------------------------------

bool NSString::isEqualToString(const Ref<NSString>& other) const { return other && other->m_utf8 == m_utf8; }

NSComparisonResult NSString::compare(const Ref<NSString>& other) const { return compare(other, 0); }

NSComparisonResult NSString::compare(const Ref<NSString>& other, NSStringCompareOptions options) const
{
    // The platform treats a nil argument as an empty string here.
    const std::string& b = other ? other->m_utf8 : std::string();
    bool ascii = isASCII() && (!other || other->isASCII());
    if (!(options & (NSCaseInsensitiveSearch | NSNumericSearch))) {
        if (ascii) {
            int c = m_utf8.compare(b);
            return static_cast<NSComparisonResult>(c < 0 ? -1 : c > 0 ? 1 : 0);
        }
        if (options & NSLiteralSearch)
            return static_cast<NSComparisonResult>(compareUtf16(toUtf16(m_utf8), toUtf16(b)));
    }
    std::string left = m_utf8, right = b;
    if (options & NSCaseInsensitiveSearch) {
        left = mapCase(left, 'F');
        right = mapCase(right, 'F');
    }
    std::u16string l = toUtf16(left), r = toUtf16(right);
    // Without the literal option canonically equivalent texts (a precomposed "é" and "e" with a
    // combining accent) compare as equal: both sides are compared in their decomposed form.
    if (!(options & NSLiteralSearch) && !ascii) {
        l = decomposed(std::move(l));
        r = decomposed(std::move(r));
    }
    if (options & NSNumericSearch)
        return static_cast<NSComparisonResult>(compareNumeric(l, r));
    return static_cast<NSComparisonResult>(compareUtf16(l, r));
}

NSComparisonResult NSString::caseInsensitiveCompare(const Ref<NSString>& other) const { return compare(other, NSCaseInsensitiveSearch); }
NSComparisonResult NSString::localizedCompare(const Ref<NSString>& other) const { return compare(other, 0); }
bool NSString::hasPrefix(const Ref<NSString>& prefix) const { return prefix && !prefix->m_utf8.empty() && m_utf8.starts_with(prefix->m_utf8); }
bool NSString::hasSuffix(const Ref<NSString>& suffix) const { return suffix && !suffix->m_utf8.empty() && m_utf8.ends_with(suffix->m_utf8); }

// Searching -----------------------------------------------------------------------------------

NSRange NSString::rangeOfString(const Ref<NSString>& needle) const { return rangeOfString(needle, 0); }

NSRange NSString::rangeOfString(const Ref<NSString>& needle, NSStringCompareOptions options) const
{
    return rangeOfString(needle, options, NSMakeRange(0, length()));
}

NSRange NSString::rangeOfString(const Ref<NSString>& needle, NSStringCompareOptions options, NSRange range) const
{
    if (!needle)
        NSException::raise(NSInvalidArgumentException, "-[NSString rangeOfString:options:range:]: nil argument");
    NSUInteger len = length();
    if (range.location > len || range.length > len - range.location)
        raiseRange("rangeOfString:options:range:", range.location, len);
    const NSRange notFound {static_cast<NSUInteger>(NSNotFound), 0};
    if (needle->m_utf8.empty())
        return notFound;
    std::size_t from = byteOffsetOfIndex(range.location);
    std::size_t to = byteOffsetOfIndex(range.location + range.length);
    std::string hay = m_utf8.substr(from, to - from);
    std::string pin = needle->m_utf8;
    bool folded = options & NSCaseInsensitiveSearch;
    if (folded) {
        // Fold per character so byte offsets can be mapped back: only when folding keeps the
        // byte length (true for ASCII and most scripts); otherwise compare folded code points.
        std::string fh = mapCase(hay, 'F');
        std::string fp = mapCase(pin, 'F');
        if (fh.size() == hay.size()) {
            hay = std::move(fh);
            pin = std::move(fp);
        } else {
            hay = mapCase(hay, 'L');
            pin = mapCase(pin, 'L');
        }
    }
    std::size_t pos;
    if (options & NSAnchoredSearch) {
        if (options & NSBackwardsSearch)
            pos = hay.size() >= pin.size() && hay.compare(hay.size() - pin.size(), pin.size(), pin) == 0 ? hay.size() - pin.size() : std::string::npos;
        else
            pos = hay.compare(0, pin.size(), pin) == 0 ? 0 : std::string::npos;
    } else {
        pos = (options & NSBackwardsSearch) ? hay.rfind(pin) : hay.find(pin);
    }
    // A match must start and end on character boundaries.
    while (pos != std::string::npos && (static_cast<unsigned char>(hay[pos]) & 0xC0) == 0x80)
        pos = (options & NSBackwardsSearch) ? (pos == 0 ? std::string::npos : hay.rfind(pin, pos - 1)) : hay.find(pin, pos + 1);
    if (pos == std::string::npos)
        return notFound;
    NSUInteger start = indexOfByteOffset(from + pos);
    NSUInteger end = indexOfByteOffset(from + pos + pin.size());
    return NSMakeRange(start, end - start);
}

NSRange NSString::rangeOfCharacterFromSet(const Ref<NSCharacterSet>& set) const { return rangeOfCharacterFromSet(set, 0); }

NSRange NSString::rangeOfCharacterFromSet(const Ref<NSCharacterSet>& set, NSStringCompareOptions options) const
{
    if (!set)
        NSException::raise(NSInvalidArgumentException, "-[NSString rangeOfCharacterFromSet:]: nil argument");
    NSRange found {static_cast<NSUInteger>(NSNotFound), 0};
    std::size_t i = 0;
    NSUInteger units = 0;
    while (i < m_utf8.size()) {
        char32_t c = decodeUtf8(m_utf8, i);
        unsigned w = dv::internal::base::utf16Width(c);
        if (set->characterIsMember(c)) {
            found = NSMakeRange(units, w);
            if (!(options & NSBackwardsSearch))
                return found;
        }
        units += w;
    }
    return found;
}

bool NSString::containsString(const Ref<NSString>& needle) const { return needle && rangeOfString(needle).location != static_cast<NSUInteger>(NSNotFound); }

// Pieces --------------------------------------------------------------------------------------

Ref<NSString> NSString::substringFromIndex(NSUInteger from) const
{
    if (from > length())
        raiseRange("substringFromIndex:", from, length());
    return makeString(m_utf8.substr(byteOffsetOfIndex(from)));
}

Ref<NSString> NSString::substringToIndex(NSUInteger to) const
{
    if (to > length())
        raiseRange("substringToIndex:", to, length());
    return makeString(m_utf8.substr(0, byteOffsetOfIndex(to)));
}

Ref<NSString> NSString::substringWithRange(NSRange range) const
{
    NSUInteger len = length();
    if (range.location > len || range.length > len - range.location)
        raiseRange("substringWithRange:", range.location, len);
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

Ref<NSString> NSString::uppercaseString() const { return makeString(mapCase(m_utf8, 'U')); }
Ref<NSString> NSString::lowercaseString() const { return makeString(mapCase(m_utf8, 'L')); }

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

// Numeric values ------------------------------------------------------------------------------

int NSString::intValue() const { return parseInteger<int>(m_utf8); }
NSInteger NSString::integerValue() const { return parseInteger<long long>(m_utf8); }
long long NSString::longLongValue() const { return parseInteger<long long>(m_utf8); }

unsigned long long NSString::unsignedLongLongValue() const
{
    std::size_t i = skipBlanks(m_utf8);
    if (i < m_utf8.size() && m_utf8[i] == '-')
        return 0;
    if (i < m_utf8.size() && m_utf8[i] == '+')
        ++i;
    unsigned long long value = 0;
    for (; i < m_utf8.size() && m_utf8[i] >= '0' && m_utf8[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(m_utf8[i] - '0');
        if (value > (ULLONG_MAX - digit) / 10)
            return ULLONG_MAX;
        value = value * 10 + digit;
    }
    return value;
}

double NSString::doubleValue() const
{
    // Decimal notation only (no hexadecimal, infinity or NaN words); the longest valid prefix.
    std::size_t i = skipBlanks(m_utf8);
    std::size_t start = i;
    std::string number;
    if (i < m_utf8.size() && (m_utf8[i] == '+' || m_utf8[i] == '-'))
        number.push_back(m_utf8[i++]);
    bool digits = false;
    while (i < m_utf8.size() && std::isdigit(static_cast<unsigned char>(m_utf8[i]))) {
        number.push_back(m_utf8[i++]);
        digits = true;
    }
    if (i < m_utf8.size() && m_utf8[i] == '.') {
        number.push_back(m_utf8[i++]);
        while (i < m_utf8.size() && std::isdigit(static_cast<unsigned char>(m_utf8[i]))) {
            number.push_back(m_utf8[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < m_utf8.size() && (m_utf8[i] == 'e' || m_utf8[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < m_utf8.size() && (m_utf8[j] == '+' || m_utf8[j] == '-'))
            exponent.push_back(m_utf8[j++]);
        bool expDigits = false;
        while (j < m_utf8.size() && std::isdigit(static_cast<unsigned char>(m_utf8[j]))) {
            if (exponent.size() < 12)
                exponent.push_back(m_utf8[j]);
            ++j;
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    (void)start;
    return std::strtod(number.c_str(), nullptr);
}

float NSString::floatValue() const
{
    double d = doubleValue();
    if (std::isinf(d) || std::fabs(d) <= std::numeric_limits<float>::max())
        return static_cast<float>(d);
    return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
}

bool NSString::boolValue() const
{
    std::size_t i = skipBlanks(m_utf8);
    if (i < m_utf8.size() && (m_utf8[i] == '+' || m_utf8[i] == '-'))
        ++i;
    while (i < m_utf8.size() && m_utf8[i] == '0')
        ++i;
    if (i >= m_utf8.size())
        return false;
    char c = m_utf8[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
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

// NSMutableString -----------------------------------------------------------------------------

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
        raiseRange("replaceCharactersInRange:withString:", range.location, len);
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
        raiseRange("replaceOccurrencesOfString:withString:options:range:", searchRange.location, len);
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
