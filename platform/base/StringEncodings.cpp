#include "platform/base/StringEncodings.h"

#include "platform/base/internal/ICUNames.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

struct EncodingEntry {
    CFStringEncoding cf;
    const char* iana; // preferred name, as the platform answers it
    const char* icu;  // the ICU converter, whose aliases name the encoding too
};

// First entry of an encoding is its preferred name.
constexpr EncodingEntry kEncodings[] = {
    {kCFStringEncodingUTF8, "utf-8", "UTF-8"},
    {kCFStringEncodingUTF16, "utf-16", "UTF-16"},
    {kCFStringEncodingUTF16BE, "utf-16be", "UTF-16BE"},
    {kCFStringEncodingUTF16LE, "utf-16le", "UTF-16LE"},
    {kCFStringEncodingUTF32, "utf-32", "UTF-32"},
    {kCFStringEncodingUTF32BE, "utf-32be", "UTF-32BE"},
    {kCFStringEncodingUTF32LE, "utf-32le", "UTF-32LE"},
    {kCFStringEncodingASCII, "us-ascii", "US-ASCII"},
    {kCFStringEncodingISOLatin1, "iso-8859-1", "ISO-8859-1"},
    {kCFStringEncodingISOLatin2, "iso-8859-2", "ISO-8859-2"},
    {kCFStringEncodingISOLatin5, "iso-8859-9", "ISO-8859-9"},
    {kCFStringEncodingISOLatin9, "iso-8859-15", "ISO-8859-15"},
    {kCFStringEncodingWindowsLatin1, "windows-1252", "windows-1252"},
    {kCFStringEncodingWindowsLatin2, "windows-1250", "windows-1250"},
    {kCFStringEncodingWindowsCyrillic, "windows-1251", "windows-1251"},
    {kCFStringEncodingWindowsGreek, "windows-1253", "windows-1253"},
    {kCFStringEncodingWindowsLatin5, "windows-1254", "windows-1254"},
    {kCFStringEncodingMacRoman, "macintosh", "macintosh"},
    {kCFStringEncodingGB_18030_2000, "gb18030", "GB18030"},
    {kCFStringEncodingGBK_95, "gbk", "GBK"},
    {kCFStringEncodingEUC_CN, "gb2312", "GB2312"},
    {kCFStringEncodingHZ_GB_2312, "hz-gb-2312", "HZ-GB-2312"},
    {kCFStringEncodingBig5, "big5", "Big5"},
    {kCFStringEncodingBig5_HKSCS_1999, "big5-hkscs", "Big5-HKSCS"},
    {kCFStringEncodingEUC_TW, "euc-tw", "EUC-TW"},
    {kCFStringEncodingShiftJIS, "shift_jis", "Shift_JIS"},
    {kCFStringEncodingEUC_JP, "euc-jp", "EUC-JP"},
    {kCFStringEncodingISO_2022_JP, "iso-2022-jp", "ISO-2022-JP"},
    {kCFStringEncodingEUC_KR, "euc-kr", "EUC-KR"},
    {kCFStringEncodingKOI8_R, "koi8-r", "KOI8-R"},
};

// Names in common use that ICU files under another converter than the one we read them with.
struct AliasEntry {
    const char* name;
    CFStringEncoding cf;
};
constexpr AliasEntry kAliases[] = {
    {"cp936", kCFStringEncodingGBK_95},
    {"x-gbk", kCFStringEncodingGBK_95},
    {"gb_2312-80", kCFStringEncodingEUC_CN},
    {"x-euc-cn", kCFStringEncodingEUC_CN},
    {"big5hkscs", kCFStringEncodingBig5_HKSCS_1999},
};

// The encodings NSString numbers directly.
struct DirectEntry {
    NSStringEncoding ns;
    CFStringEncoding cf;
};
constexpr DirectEntry kDirect[] = {
    {NSASCIIStringEncoding, kCFStringEncodingASCII},
    {NSNEXTSTEPStringEncoding, kCFStringEncodingNextStepLatin},
    {NSJapaneseEUCStringEncoding, kCFStringEncodingEUC_JP},
    {NSUTF8StringEncoding, kCFStringEncodingUTF8},
    {NSISOLatin1StringEncoding, kCFStringEncodingISOLatin1},
    {NSNonLossyASCIIStringEncoding, kCFStringEncodingNonLossyASCII},
    {NSShiftJISStringEncoding, kCFStringEncodingShiftJIS},
    {NSISOLatin2StringEncoding, kCFStringEncodingISOLatin2},
    {NSUnicodeStringEncoding, kCFStringEncodingUnicode},
    {NSWindowsCP1251StringEncoding, kCFStringEncodingWindowsCyrillic},
    {NSWindowsCP1252StringEncoding, kCFStringEncodingWindowsLatin1},
    {NSWindowsCP1253StringEncoding, kCFStringEncodingWindowsGreek},
    {NSWindowsCP1254StringEncoding, kCFStringEncodingWindowsLatin5},
    {NSWindowsCP1250StringEncoding, kCFStringEncodingWindowsLatin2},
    {NSISO2022JPStringEncoding, kCFStringEncodingISO_2022_JP},
    {NSMacOSRomanStringEncoding, kCFStringEncodingMacRoman},
};

std::string lowercase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

CFStringEncoding CFStringConvertIANACharSetNameToEncoding(const Ref<NSString>& name)
{
    if (!name || name->utf8().empty())
        return kCFStringEncodingInvalidId;
    std::string wanted = lowercase(name->utf8());
    // Exact preferred names first, then the same converter through ICU's aliases.
    for (const auto& entry : kEncodings)
        if (wanted == entry.iana)
            return entry.cf;
    for (const auto& alias : kAliases)
        if (wanted == alias.name)
            return alias.cf;
    std::string canonical = dv::internal::base::canonicalConverterName(wanted);
    if (canonical.empty())
        return kCFStringEncodingInvalidId;
    for (const auto& entry : kEncodings)
        if (dv::internal::base::canonicalConverterName(entry.icu) == canonical)
            return entry.cf;
    return kCFStringEncodingInvalidId;
}

Ref<NSString> CFStringConvertEncodingToIANACharSetName(CFStringEncoding encoding)
{
    for (const auto& entry : kEncodings)
        if (entry.cf == encoding)
            return NSString::fromUTF8(entry.iana);
    return nullptr;
}

NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding)
{
    if (encoding == kCFStringEncodingInvalidId)
        return kCFStringEncodingInvalidId;
    for (const auto& entry : kDirect)
        if (entry.cf == encoding)
            return entry.ns;
    return 0x80000000UL | encoding;
}

CFStringEncoding CFStringConvertNSStringEncodingToEncoding(NSStringEncoding encoding)
{
    for (const auto& entry : kDirect)
        if (entry.ns == encoding)
            return entry.cf;
    if (encoding & 0x80000000UL)
        return static_cast<CFStringEncoding>(encoding & 0x7FFFFFFFUL);
    return kCFStringEncodingInvalidId;
}

namespace dv {

NSStringEncoding stringEncodingForIANAName(const Ref<NSString>& name)
{
    CFStringEncoding cf = CFStringConvertIANACharSetNameToEncoding(name);
    return cf == kCFStringEncodingInvalidId ? 0 : CFStringConvertEncodingToNSStringEncoding(cf);
}

} // namespace dv
