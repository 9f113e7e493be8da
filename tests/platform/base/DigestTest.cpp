#include "platform/base/Base.h"
#include "platform/base/Digest.h"
#include "platform/base/StringEncodings.h"

#include <gtest/gtest.h>

TEST(Digest, MD5AndSHA1MatchKnownVectors)
{
    EXPECT_EQ(dv::md5Hex(std::string_view("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(dv::md5Hex(std::string_view("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(dv::md5Hex(std::string_view("The quick brown fox jumps over the lazy dog")), "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(dv::sha1Hex(std::string_view("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(dv::sha1Hex(std::string_view("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(dv::md5Hex(NSData::fromString("abc")), dv::md5Hex(std::string_view("abc")));
    EXPECT_EQ(dv::md5Hex(Ref<NSData>()), "d41d8cd98f00b204e9800998ecf8427e");
    // A cache key in UTF-8.
    EXPECT_EQ(dv::md5Hex("中文"_ns->utf8()).size(), 32u);
    std::string million(1000000, 'a');
    EXPECT_EQ(dv::sha1Hex(std::string_view(million)), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(StringEncodings, IANANamesFindTheirEncodings)
{
    auto nsEncoding = [](const char* name) {
        return CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding(NSString::fromUTF8(name)));
    };
    EXPECT_EQ(nsEncoding("utf-8"), NSUTF8StringEncoding);
    EXPECT_EQ(nsEncoding("UTF-8"), NSUTF8StringEncoding);
    EXPECT_EQ(nsEncoding("utf8"), NSUTF8StringEncoding);
    EXPECT_EQ(nsEncoding("iso-8859-1"), NSISOLatin1StringEncoding);
    EXPECT_EQ(nsEncoding("latin1"), NSISOLatin1StringEncoding);
    EXPECT_EQ(nsEncoding("us-ascii"), NSASCIIStringEncoding);
    EXPECT_EQ(nsEncoding("utf-16"), NSUTF16StringEncoding);
    EXPECT_EQ(nsEncoding("utf-16be"), NSUTF16BigEndianStringEncoding);
    EXPECT_EQ(nsEncoding("UTF-16LE"), NSUTF16LittleEndianStringEncoding);
    EXPECT_EQ(nsEncoding("utf-32"), NSUTF32StringEncoding);
    EXPECT_EQ(nsEncoding("gbk"), 0x80000631u);
    EXPECT_EQ(nsEncoding("GB18030"), 0x80000632u);
    EXPECT_EQ(nsEncoding("gb2312"), 0x80000930u);
    EXPECT_EQ(nsEncoding("cp936"), 0x80000631u);
    EXPECT_EQ(nsEncoding("x-gbk"), 0x80000631u);
    EXPECT_EQ(nsEncoding("windows-936"), 0x80000631u);
    EXPECT_EQ(nsEncoding("csGB2312"), 0x80000930u);
    EXPECT_EQ(nsEncoding("latin1"), NSISOLatin1StringEncoding);
    EXPECT_EQ(nsEncoding("big5"), 0x80000A03u);
    EXPECT_EQ(nsEncoding("windows-1252"), NSWindowsCP1252StringEncoding);
    EXPECT_EQ(nsEncoding("shift_jis"), NSShiftJISStringEncoding);
    EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding("no-such-charset"_ns), kCFStringEncodingInvalidId);
    EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding(nil), kCFStringEncodingInvalidId);
    EXPECT_EQ(dv::stringEncodingForIANAName("bogus"_ns), 0u);
    EXPECT_EQ(dv::stringEncodingForIANAName("Big5"_ns), 0x80000A03u);
}

TEST(StringEncodings, NumbersConvertBothWaysAndNamesComeBack)
{
    for (CFStringEncoding cf : {kCFStringEncodingUTF8, kCFStringEncodingGBK_95, kCFStringEncodingBig5, kCFStringEncodingISOLatin1,
                                kCFStringEncodingUTF16BE, kCFStringEncodingGB_18030_2000}) {
        NSStringEncoding ns = CFStringConvertEncodingToNSStringEncoding(cf);
        EXPECT_EQ(CFStringConvertNSStringEncodingToEncoding(ns), cf);
        auto name = CFStringConvertEncodingToIANACharSetName(cf);
        ASSERT_TRUE(name);
        EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding(name), cf);
    }
    EXPECT_EQ(dv::str(CFStringConvertEncodingToIANACharSetName(kCFStringEncodingUTF8)), "utf-8");
    EXPECT_EQ(CFStringConvertNSStringEncodingToEncoding(NSUTF8StringEncoding), kCFStringEncodingUTF8);
}

TEST(StringEncodings, NamedEncodingsDecodeChineseText)
{
    // "中文" in GBK and in Big5.
    auto gbk = NSData::fromString("\xD6\xD0\xCE\xC4");
    auto big5 = NSData::fromString("\xA4\xA4\xA4\xE5");
    auto text = alloc<NSString>()->initWithData(gbk, dv::stringEncodingForIANAName("gbk"_ns));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->utf8(), "中文");
    text = alloc<NSString>()->initWithData(big5, dv::stringEncodingForIANAName("big5"_ns));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->utf8(), "中文");
    text = alloc<NSString>()->initWithData(gbk, dv::stringEncodingForIANAName("gb18030"_ns));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->utf8(), "中文");
}
