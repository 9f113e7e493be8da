// NSString: comparison (literal, case-insensitive, numeric, canonical equivalence) and searching.
#include "platform/base/NSString.h"

#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSException.h"
#include "platform/base/internal/StringSupport.h"
#include "platform/base/internal/Utf.h"

#include <unicode/unorm2.h>

using dv::internal::base::CaseMapping;
using dv::internal::base::decodeUtf8;
using dv::internal::base::mapCase;
using dv::internal::base::raiseStringRange;
using dv::internal::base::utf8ToUtf16;

namespace {

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
            return static_cast<NSComparisonResult>(compareUtf16(utf8ToUtf16(m_utf8), utf8ToUtf16(b)));
    }
    std::string left = m_utf8, right = b;
    if (options & NSCaseInsensitiveSearch) {
        left = mapCase(left, CaseMapping::Fold);
        right = mapCase(right, CaseMapping::Fold);
    }
    std::u16string l = utf8ToUtf16(left), r = utf8ToUtf16(right);
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
        raiseStringRange("rangeOfString:options:range:", range.location, len);
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
        std::string fh = mapCase(hay, CaseMapping::Fold);
        std::string fp = mapCase(pin, CaseMapping::Fold);
        if (fh.size() == hay.size()) {
            hay = std::move(fh);
            pin = std::move(fp);
        } else {
            hay = mapCase(hay, CaseMapping::Lower);
            pin = mapCase(pin, CaseMapping::Lower);
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
