#include "platform/base/internal/StringEncoding.h"

#include "platform/base/NSString.h"
#include "platform/base/internal/TextCoding.h"

#include <unicode/ucnv.h>
#include <vector>

namespace dv::internal::base {

namespace {

struct IcuEncoding {
    NSUInteger encoding;
    const char* name;
};

// Platform encodings beyond the Unicode family, with the converters that implement them. The
// 0x8000xxxx values are the platform's numbers for its wider set (GBK, GB18030, Big5, ...).
constexpr IcuEncoding s_icuEncodings[] = {
    {NSJapaneseEUCStringEncoding, "EUC-JP"},
    {NSShiftJISStringEncoding, "Shift_JIS"},
    {NSISOLatin2StringEncoding, "ISO-8859-2"},
    {NSWindowsCP1251StringEncoding, "windows-1251"},
    {NSWindowsCP1252StringEncoding, "windows-1252"},
    {NSWindowsCP1253StringEncoding, "windows-1253"},
    {NSWindowsCP1254StringEncoding, "windows-1254"},
    {NSWindowsCP1250StringEncoding, "windows-1250"},
    {NSISO2022JPStringEncoding, "ISO-2022-JP"},
    {NSMacOSRomanStringEncoding, "macintosh"},
    {NSNEXTSTEPStringEncoding, "windows-1252"},
    {0x80000630, "GB2312"},
    {0x80000930, "GB2312"},
    {0x80000631, "GBK"},
    {0x80000632, "GB18030"},
    {0x80000A03, "Big5"},
    {0x80000A06, "Big5-HKSCS"},
    {0x80000A08, "KOI8-U"},
    {0x80000940, "EUC-KR"},
    {0x80000A02, "KOI8-R"},
    {0x80000203, "ISO-8859-3"},
    {0x80000204, "ISO-8859-4"},
    {0x80000205, "ISO-8859-5"},
    {0x80000206, "ISO-8859-6"},
    {0x80000207, "ISO-8859-7"},
    {0x80000208, "ISO-8859-8"},
    {0x80000209, "ISO-8859-9"},
    {0x8000020F, "ISO-8859-15"},
    {0x80000421, "windows-874"},
    {0x80000505, "windows-1255"},
    {0x80000506, "windows-1256"},
    {0x80000507, "windows-1257"},
    {0x80000508, "windows-1258"},
};

bool bigEndianFor(NSUInteger encoding, std::string_view& bytes, unsigned unit)
{
    if (encoding == NSUTF16BigEndianStringEncoding || encoding == NSUTF32BigEndianStringEncoding)
        return true;
    if (encoding == NSUTF16LittleEndianStringEncoding || encoding == NSUTF32LittleEndianStringEncoding)
        return false;
    // Unmarked UTF-16/32: a byte-order mark decides, otherwise big-endian.
    if (unit == 2 && bytes.size() >= 2) {
        auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
        if (b0 == 0xFE && b1 == 0xFF) {
            bytes.remove_prefix(2);
            return true;
        }
        if (b0 == 0xFF && b1 == 0xFE) {
            bytes.remove_prefix(2);
            return false;
        }
    }
    if (unit == 4 && bytes.size() >= 4) {
        if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) {
            bytes.remove_prefix(4);
            return true;
        }
        if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4)) {
            bytes.remove_prefix(4);
            return false;
        }
    }
    return true;
}

std::optional<std::string> decodeUtf16(std::string_view bytes, NSUInteger encoding)
{
    bool big = bigEndianFor(encoding, bytes, 2);
    return utf16ToUTF8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), big ? ByteOrder::Big : ByteOrder::Little);
}

std::optional<std::string> decodeUtf32(std::string_view bytes, NSUInteger encoding)
{
    bool big = bigEndianFor(encoding, bytes, 4);
    return utf32ToUTF8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), big ? ByteOrder::Big : ByteOrder::Little);
}

void putUnit(std::string& out, std::uint32_t value, unsigned size, bool big)
{
    for (unsigned b = 0; b < size; ++b) {
        unsigned shift = big ? (size - 1 - b) * 8 : b * 8;
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

std::optional<std::string> viaIcu(const char* name, std::string_view bytes, bool toUnicode, bool lossy)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    if (!lossy) {
        status = U_ZERO_ERROR;
        ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        status = U_ZERO_ERROR;
        ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    } else {
        status = U_ZERO_ERROR;
        ucnv_setSubstChars(converter, "?", 1, &status);
    }
    status = U_ZERO_ERROR;
    std::optional<std::string> result;
    if (toUnicode) {
        std::u16string units(bytes.size() * 2 + 4, u'\0');
        int32_t n = ucnv_toUChars(converter, reinterpret_cast<UChar*>(units.data()), static_cast<int32_t>(units.size()), bytes.data(),
                                  static_cast<int32_t>(bytes.size()), &status);
        if (U_SUCCESS(status)) {
            units.resize(static_cast<std::size_t>(n));
            result = utf16ToUtf8(units);
        }
    } else {
        std::u16string units = utf8ToUtf16(bytes);
        std::string out(units.size() * 4 + 8, '\0');
        int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), reinterpret_cast<const UChar*>(units.data()),
                                    static_cast<int32_t>(units.size()), &status);
        if (U_SUCCESS(status)) {
            out.resize(static_cast<std::size_t>(n));
            result = std::move(out);
        }
    }
    ucnv_close(converter);
    return result;
}

} // namespace

const char* icuConverterName(NSUInteger encoding)
{
    for (auto& entry : s_icuEncodings)
        if (entry.encoding == encoding)
            return entry.name;
    return nullptr;
}

std::optional<std::string> decodeText(std::string_view bytes, NSUInteger encoding)
{
    switch (encoding) {
    case NSUTF8StringEncoding: {
        // A leading byte-order mark is not part of the text.
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        if (!isValidUtf8(bytes))
            return std::nullopt;
        return std::string(bytes);
    }
    case NSASCIIStringEncoding:
    case NSNonLossyASCIIStringEncoding:
        for (char c : bytes)
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
        return std::string(bytes);
    case NSISOLatin1StringEncoding: {
        std::string out;
        out.reserve(bytes.size());
        for (char c : bytes)
            appendUtf8(out, static_cast<unsigned char>(c));
        return out;
    }
    case NSUTF16StringEncoding:
    case NSUTF16BigEndianStringEncoding:
    case NSUTF16LittleEndianStringEncoding:
        return decodeUtf16(bytes, encoding);
    case NSUTF32StringEncoding:
    case NSUTF32BigEndianStringEncoding:
    case NSUTF32LittleEndianStringEncoding:
        return decodeUtf32(bytes, encoding);
    default:
        if (const char* name = icuConverterName(encoding))
            return viaIcu(name, bytes, true, false);
        return std::nullopt;
    }
}

std::optional<std::string> encodeText(std::string_view utf8, NSUInteger encoding, bool lossy)
{
    switch (encoding) {
    case NSUTF8StringEncoding:
        return std::string(utf8);
    case NSASCIIStringEncoding:
    case NSNonLossyASCIIStringEncoding:
    case NSISOLatin1StringEncoding: {
        char32_t limit = encoding == NSISOLatin1StringEncoding ? 0xFF : 0x7F;
        std::string out;
        std::size_t i = 0;
        while (i < utf8.size()) {
            char32_t c = decodeUtf8(utf8, i);
            if (c > limit) {
                if (!lossy)
                    return std::nullopt;
                c = '?';
            }
            out.push_back(static_cast<char>(c));
        }
        return out;
    }
    case NSUTF16StringEncoding:
    case NSUTF16BigEndianStringEncoding:
    case NSUTF16LittleEndianStringEncoding: {
        // Unmarked UTF-16 is written little-endian behind a byte-order mark, as the platform does.
        bool big = encoding == NSUTF16BigEndianStringEncoding;
        std::string out;
        if (encoding == NSUTF16StringEncoding)
            out = "\xFF\xFE";
        for (char16_t u : utf8ToUtf16(utf8))
            putUnit(out, u, 2, big);
        return out;
    }
    case NSUTF32StringEncoding:
    case NSUTF32BigEndianStringEncoding:
    case NSUTF32LittleEndianStringEncoding: {
        bool big = encoding == NSUTF32BigEndianStringEncoding;
        std::string out;
        if (encoding == NSUTF32StringEncoding)
            out = std::string("\xFF\xFE\0\0", 4);
        std::size_t i = 0;
        while (i < utf8.size())
            putUnit(out, decodeUtf8(utf8, i), 4, big);
        return out;
    }
    default:
        if (const char* name = icuConverterName(encoding))
            return viaIcu(name, utf8, false, lossy);
        return std::nullopt;
    }
}

} // namespace dv::internal::base
