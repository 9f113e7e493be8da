// NSString and NSMutableString: text stored as UTF-8, measured and indexed in UTF-16 code units
// where the platform counts that way (length, ranges, characterAtIndex). Immutable strings are
// shared freely between threads; a mutable string belongs to one thread at a time.
//
//   auto s = NSString::stringWithFormat("%@ (%d)", name, count);
//   if (s->hasPrefix("http"_ns)) ...
#pragma once

#include "platform/base/NSObject.h"
#include "platform/base/StringFormat.h"

#include <string>
#include <string_view>
#include <vector>

class NSCharacterSet;

using NSStringEncoding = NSUInteger;
enum : NSStringEncoding {
    NSASCIIStringEncoding = 1,
    NSNEXTSTEPStringEncoding = 2,
    NSJapaneseEUCStringEncoding = 3,
    NSUTF8StringEncoding = 4,
    NSISOLatin1StringEncoding = 5,
    NSSymbolStringEncoding = 6,
    NSNonLossyASCIIStringEncoding = 7,
    NSShiftJISStringEncoding = 8,
    NSISOLatin2StringEncoding = 9,
    NSUnicodeStringEncoding = 10,
    NSWindowsCP1251StringEncoding = 11,
    NSWindowsCP1252StringEncoding = 12,
    NSWindowsCP1253StringEncoding = 13,
    NSWindowsCP1254StringEncoding = 14,
    NSWindowsCP1250StringEncoding = 15,
    NSISO2022JPStringEncoding = 21,
    NSMacOSRomanStringEncoding = 30,
    NSUTF16StringEncoding = NSUnicodeStringEncoding,
    NSUTF16BigEndianStringEncoding = 0x90000100,
    NSUTF16LittleEndianStringEncoding = 0x94000100,
    NSUTF32StringEncoding = 0x8c000100,
    NSUTF32BigEndianStringEncoding = 0x98000100,
    NSUTF32LittleEndianStringEncoding = 0x9c000100,
};

using NSStringCompareOptions = NSUInteger;
enum : NSStringCompareOptions {
    NSCaseInsensitiveSearch = 1,
    NSLiteralSearch = 2,
    NSBackwardsSearch = 4,
    NSAnchoredSearch = 8,
    NSNumericSearch = 64,
};

class NSString : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSString, NSObject)

    NSString() = default;
    explicit NSString(std::string utf8) : m_utf8(std::move(utf8)) { }

    // Creation. Invalid UTF-8 is replaced by U+FFFD, so a string always holds valid text.
    Ref<NSString> init();
    Ref<NSString> initWithUTF8String(const char* utf8);
    Ref<NSString> initWithString(const Ref<NSString>& other);
    Ref<NSString> initWithCharacters(const unichar* characters, NSUInteger length);
    // nil when the bytes are not valid in the encoding (as the platform answers).
    Ref<NSString> initWithBytes(const void* bytes, NSUInteger length, NSStringEncoding encoding);
    Ref<NSString> initWithData(const Ref<NSData>& data, NSStringEncoding encoding);

    static Ref<NSString> string();
    static Ref<NSString> stringWithUTF8String(const char* utf8);
    static Ref<NSString> stringWithString(const Ref<NSString>& other);
    static Ref<NSString> stringWithCharacters(const unichar* characters, NSUInteger length);
    static Ref<NSString> fromUTF8(std::string_view utf8);
    template <class... Args>
    static Ref<NSString> stringWithFormat(std::string_view format, const Args&... args)
    {
        return fromUTF8(dv::format(format, {dv::FormatArg(args)...}));
    }
    template <class... Args>
    static Ref<NSString> stringWithFormat(const Ref<NSString>& format, const Args&... args)
    {
        return fromUTF8(dv::format(format ? std::string_view(format->utf8()) : std::string_view(), {dv::FormatArg(args)...}));
    }

    // Storage.
    const std::string& utf8() const { return m_utf8; }
    const char* UTF8String() const { return m_utf8.c_str(); }
    std::u16string utf16() const;
    NSUInteger length() const;
    unichar characterAtIndex(NSUInteger index) const; // raises NSRangeException past the end
    NSUInteger lengthOfBytesUsingEncoding(NSStringEncoding encoding) const;
    Ref<NSData> dataUsingEncoding(NSStringEncoding encoding) const;
    Ref<NSData> dataUsingEncoding(NSStringEncoding encoding, bool allowLossyConversion) const;
    bool canBeConvertedToEncoding(NSStringEncoding encoding) const;

    // Comparison. compare: orders by UTF-16 code units; without NSLiteralSearch canonically
    // equivalent texts compare as equal (precomposed and decomposed accents), while
    // isEqualToString: stays literal.
    bool isEqualToString(const Ref<NSString>& other) const;
    bool isEqualToString(std::string_view other) const { return m_utf8 == other; }
    NSComparisonResult compare(const Ref<NSString>& other) const;
    NSComparisonResult compare(const Ref<NSString>& other, NSStringCompareOptions options) const;
    NSComparisonResult caseInsensitiveCompare(const Ref<NSString>& other) const;
    NSComparisonResult localizedCompare(const Ref<NSString>& other) const;
    bool hasPrefix(const Ref<NSString>& prefix) const;
    bool hasSuffix(const Ref<NSString>& suffix) const;
    // An empty prefix or suffix answers NO, as for the NSString forms.
    bool hasPrefix(std::string_view prefix) const { return !prefix.empty() && m_utf8.starts_with(prefix); }
    bool hasSuffix(std::string_view suffix) const { return !suffix.empty() && m_utf8.ends_with(suffix); }

    // Searching; ranges are in UTF-16 units. Not found: {NSNotFound, 0}.
    NSRange rangeOfString(const Ref<NSString>& needle) const;
    NSRange rangeOfString(const Ref<NSString>& needle, NSStringCompareOptions options) const;
    NSRange rangeOfString(const Ref<NSString>& needle, NSStringCompareOptions options, NSRange range) const;
    NSRange rangeOfCharacterFromSet(const Ref<NSCharacterSet>& set) const;
    NSRange rangeOfCharacterFromSet(const Ref<NSCharacterSet>& set, NSStringCompareOptions options) const;
    bool containsString(const Ref<NSString>& needle) const;

    // Pieces. Out-of-range arguments raise NSRangeException, as on the platform.
    Ref<NSString> substringFromIndex(NSUInteger from) const;
    Ref<NSString> substringToIndex(NSUInteger to) const;
    Ref<NSString> substringWithRange(NSRange range) const;
    Ref<NSArray> componentsSeparatedByString(const Ref<NSString>& separator) const;
    Ref<NSArray> componentsSeparatedByCharactersInSet(const Ref<NSCharacterSet>& set) const;

    // Derived strings.
    Ref<NSString> stringByAppendingString(const Ref<NSString>& tail) const;
    template <class... Args>
    Ref<NSString> stringByAppendingFormat(std::string_view format, const Args&... args) const
    {
        return fromUTF8(m_utf8 + dv::format(format, {dv::FormatArg(args)...}));
    }
    Ref<NSString> stringByReplacingOccurrencesOfString(const Ref<NSString>& target, const Ref<NSString>& replacement) const;
    Ref<NSString> stringByReplacingCharactersInRange(NSRange range, const Ref<NSString>& replacement) const;
    Ref<NSString> stringByTrimmingCharactersInSet(const Ref<NSCharacterSet>& set) const;
    Ref<NSString> stringByPaddingToLength(NSUInteger length, const Ref<NSString>& pad, NSUInteger startIndex) const;
    Ref<NSString> uppercaseString() const;
    Ref<NSString> lowercaseString() const;
    Ref<NSString> capitalizedString() const;

    // Percent encoding (implemented with the other formats): every UTF-8 byte of a character
    // outside `allowed` becomes %XX; removing answers nil for a malformed escape or bytes that
    // are not UTF-8.
    Ref<NSString> stringByAddingPercentEncodingWithAllowedCharacters(const Ref<NSCharacterSet>& allowed) const;
    Ref<NSString> stringByRemovingPercentEncoding() const;

    // Paths.
    Ref<NSArray> pathComponents() const;
    Ref<NSString> lastPathComponent() const;
    Ref<NSString> pathExtension() const;
    Ref<NSString> stringByAppendingPathComponent(const Ref<NSString>& component) const;
    Ref<NSString> stringByAppendingPathExtension(const Ref<NSString>& extension) const;
    Ref<NSString> stringByDeletingLastPathComponent() const;
    Ref<NSString> stringByDeletingPathExtension() const;
    Ref<NSString> stringByExpandingTildeInPath() const;
    bool isAbsolutePath() const;

    // Numeric values: leading blanks, an optional sign, digits, stop at the first other
    // character; out-of-range values saturate; no digits give 0.
    int intValue() const;
    NSInteger integerValue() const;
    long long longLongValue() const;
    unsigned long long unsignedLongLongValue() const;
    double doubleValue() const;
    float floatValue() const;
    // YES for a leading "Y", "y", "T", "t" or a non-zero digit after blanks, sign and zeros.
    bool boolValue() const;

    // NSObject
    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

    // UTF-16 index <-> UTF-8 byte offset; an index inside a surrogate pair maps to its start.
    std::size_t byteOffsetOfIndex(NSUInteger index) const;
    NSUInteger indexOfByteOffset(std::size_t offset) const;

protected:
    void didMutate();
    std::string m_utf8;

private:
    bool isASCII() const;
    mutable std::atomic<std::int64_t> m_length16 { -1 };
    mutable std::atomic<int> m_ascii { -1 };
};

class NSMutableString : public NSString {
    DV_CLASS(NSMutableString, NSString)

    NSMutableString() = default;

    Ref<NSMutableString> init();
    Ref<NSMutableString> initWithString(const Ref<NSString>& other);
    Ref<NSMutableString> initWithCapacity(NSUInteger capacity);
    static Ref<NSMutableString> string();
    static Ref<NSMutableString> stringWithString(const Ref<NSString>& other);
    static Ref<NSMutableString> stringWithCapacity(NSUInteger capacity);
    static Ref<NSMutableString> fromUTF8(std::string_view utf8);

    void appendString(const Ref<NSString>& tail);
    void appendUTF8(std::string_view tail);
    template <class... Args>
    void appendFormat(std::string_view format, const Args&... args)
    {
        appendUTF8(dv::format(format, {dv::FormatArg(args)...}));
    }
    void insertStringAtIndex(const Ref<NSString>& text, NSUInteger index);
    void deleteCharactersInRange(NSRange range);
    void replaceCharactersInRange(NSRange range, const Ref<NSString>& replacement);
    NSUInteger replaceOccurrencesOfString(const Ref<NSString>& target, const Ref<NSString>& replacement,
                                          NSStringCompareOptions options, NSRange searchRange);
    void setString(const Ref<NSString>& text);

    id copyWithZone(NSZone* zone) const override;
};

// A string literal as an NSString: "正在加载"_ns.
Ref<NSString> operator""_ns(const char* text, std::size_t length);

namespace dv {

// The UTF-8 text of any object: a string's own text, otherwise its description; nil gives "".
std::string str(const NSObject* object);
inline std::string str(const id& object) { return str(object.get()); }
inline std::string str(const Ref<NSString>& s) { return s ? s->utf8() : std::string(); }

} // namespace dv
