// The text encodings the encoding fuzz target chooses from, in the order its first input byte
// indexes them (the seed generator writes seeds in the same order).
#pragma once

#include "platform/base/NSString.h"
#include "platform/base/StringEncodings.h"

#include <vector>

namespace dv::fuzz {

inline const std::vector<NSStringEncoding>& textEncodings()
{
    static const std::vector<NSStringEncoding> all = [] {
        std::vector<NSStringEncoding> list = { NSASCIIStringEncoding, NSNEXTSTEPStringEncoding, NSJapaneseEUCStringEncoding,
            NSUTF8StringEncoding, NSISOLatin1StringEncoding, NSSymbolStringEncoding, NSNonLossyASCIIStringEncoding,
            NSShiftJISStringEncoding, NSISOLatin2StringEncoding, NSUnicodeStringEncoding, NSWindowsCP1251StringEncoding,
            NSWindowsCP1252StringEncoding, NSWindowsCP1253StringEncoding, NSWindowsCP1254StringEncoding,
            NSWindowsCP1250StringEncoding, NSISO2022JPStringEncoding, NSMacOSRomanStringEncoding, NSUTF16BigEndianStringEncoding,
            NSUTF16LittleEndianStringEncoding, NSUTF32StringEncoding, NSUTF32BigEndianStringEncoding,
            NSUTF32LittleEndianStringEncoding };
        for (CFStringEncoding cf : { kCFStringEncodingGB_2312_80, kCFStringEncodingGBK_95, kCFStringEncodingGB_18030_2000,
                 kCFStringEncodingEUC_CN, kCFStringEncodingEUC_TW, kCFStringEncodingEUC_KR, kCFStringEncodingKOI8_R,
                 kCFStringEncodingBig5, kCFStringEncodingHZ_GB_2312, kCFStringEncodingBig5_HKSCS_1999,
                 kCFStringEncodingDOSChineseSimplif, kCFStringEncodingWindowsLatin5, kCFStringEncodingISOLatin5,
                 kCFStringEncodingISOLatin9 })
            list.push_back(CFStringConvertEncodingToNSStringEncoding(cf));
        return list;
    }();
    return all;
}

} // namespace dv::fuzz
