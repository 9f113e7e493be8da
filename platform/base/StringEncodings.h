// Text encodings by name: IANA charset names ("utf-8", "gbk", "Big5", "ISO-8859-1", ...) to the
// platform's encoding numbers and back. NSString converts bytes in those encodings. Aliases are resolved through ICU's alias table, so "GB2312",
// "cp936" and "x-gbk" all find their encoding. Stateless and thread-safe.
//
//   NSStringEncoding e = CFStringConvertEncodingToNSStringEncoding(
//       CFStringConvertIANACharSetNameToEncoding("gbk"_ns));
#pragma once

#include "platform/base/NSString.h"

using CFStringEncoding = std::uint32_t;
enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingWindowsLatin1 = 0x0500,
    kCFStringEncodingWindowsLatin2 = 0x0501,
    kCFStringEncodingWindowsCyrillic = 0x0502,
    kCFStringEncodingWindowsGreek = 0x0503,
    kCFStringEncodingWindowsLatin5 = 0x0504,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingISOLatin2 = 0x0202,
    kCFStringEncodingISOLatin5 = 0x0209,
    kCFStringEncodingISOLatin9 = 0x020F,
    kCFStringEncodingNextStepLatin = 0x0B01,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUnicode = 0x0100,
    kCFStringEncodingUTF8 = 0x08000100,
    kCFStringEncodingNonLossyASCII = 0x0BFF,
    kCFStringEncodingUTF16 = 0x0100,
    kCFStringEncodingUTF16BE = 0x10000100,
    kCFStringEncodingUTF16LE = 0x14000100,
    kCFStringEncodingUTF32 = 0x0c000100,
    kCFStringEncodingUTF32BE = 0x18000100,
    kCFStringEncodingUTF32LE = 0x1c000100,
    kCFStringEncodingGB_2312_80 = 0x0630,
    kCFStringEncodingGBK_95 = 0x0631,
    kCFStringEncodingGB_18030_2000 = 0x0632,
    kCFStringEncodingEUC_CN = 0x0930,
    kCFStringEncodingEUC_TW = 0x0931,
    kCFStringEncodingEUC_JP = 0x0920,
    kCFStringEncodingEUC_KR = 0x0940,
    kCFStringEncodingShiftJIS = 0x0A01,
    kCFStringEncodingKOI8_R = 0x0A02,
    kCFStringEncodingBig5 = 0x0A03,
    kCFStringEncodingHZ_GB_2312 = 0x0A05,
    kCFStringEncodingBig5_HKSCS_1999 = 0x0A06,
    kCFStringEncodingISO_2022_JP = 0x0820,
    kCFStringEncodingDOSChineseSimplif = 0x0421,
    kCFStringEncodingInvalidId = 0xffffffffU,
};

// kCFStringEncodingInvalidId for an unknown or nil name; case does not matter.
CFStringEncoding CFStringConvertIANACharSetNameToEncoding(const Ref<NSString>& name);
// The preferred IANA name ("utf-8", "gb18030", "big5", ...), nil for an unknown encoding.
Ref<NSString> CFStringConvertEncodingToIANACharSetName(CFStringEncoding encoding);
// The platform's mapping: the encodings NSString names directly keep their small numbers, any
// other becomes 0x80000000 | encoding. Invalid stays invalid (as the platform answers).
NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding);
CFStringEncoding CFStringConvertNSStringEncodingToEncoding(NSStringEncoding encoding);

namespace dv {

// NSStringEncoding of an IANA name, 0 when unknown (the HTTP layer's "charset=" handling).
NSStringEncoding stringEncodingForIANAName(const Ref<NSString>& name);

} // namespace dv
