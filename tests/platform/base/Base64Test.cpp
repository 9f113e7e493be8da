#include "platform/base/Base.h"
#include "platform/base/Base64.h"

#include <gtest/gtest.h>

namespace {

std::string encode(std::string_view bytes, NSUInteger options = 0)
{
    return NSData::fromString(bytes)->base64EncodedStringWithOptions(options)->utf8();
}

Ref<NSData> decode(std::string_view text, NSUInteger options = 0)
{
    return NSData::dataWithBase64EncodedString(NSString::fromUTF8(text), options);
}

} // namespace

TEST(Base64, EncodesWithPadding)
{
    EXPECT_EQ(encode(""), "");
    EXPECT_EQ(encode("a"), "YQ==");
    EXPECT_EQ(encode("ab"), "YWI=");
    EXPECT_EQ(encode("abc"), "YWJj");
    EXPECT_EQ(encode("\xFB\xFF"), "+/8=");
    EXPECT_EQ(std::string(NSData::fromString("abcd")->base64EncodedDataWithOptions(0)->view()), "YWJjZA==");
}

TEST(Base64, LineLengthOptionsBreakBetweenLinesOnly)
{
    std::string bytes(57, 'x'); // exactly 76 characters
    std::string one = encode(bytes, NSDataBase64Encoding76CharacterLineLength);
    EXPECT_EQ(one.size(), 76u);
    EXPECT_EQ(one.find('\n'), std::string::npos);

    std::string longer(100, 'x'); // 136 characters
    std::string crlf = encode(longer, NSDataBase64Encoding64CharacterLineLength);
    ASSERT_EQ(crlf.size(), 136u + 4);
    EXPECT_EQ(crlf.substr(64, 2), "\r\n");
    EXPECT_EQ(crlf.substr(130, 2), "\r\n");
    EXPECT_NE(crlf.back(), '\n');

    std::string lf = encode(longer, NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithLineFeed);
    EXPECT_EQ(lf.size(), 136u + 1);
    EXPECT_EQ(lf[76], '\n');
    std::string cr = encode(longer, NSDataBase64Encoding76CharacterLineLength | NSDataBase64EncodingEndLineWithCarriageReturn);
    EXPECT_EQ(cr[76], '\r');
    EXPECT_EQ(cr.size(), 137u);
}

TEST(Base64, DecodesStrictlyUnlessAskedToIgnore)
{
    EXPECT_EQ(std::string(decode("YWJj")->view()), "abc");
    EXPECT_EQ(std::string(decode("YWI=")->view()), "ab");
    EXPECT_EQ(std::string(decode("YQ==")->view()), "a");
    EXPECT_EQ(decode("")->length(), 0u);
    for (std::string_view bad : {"YWI", "YW J j", "YWJj\n", "Y===", "YQ==YWJj", "YQ=", "=YWJ", "YWJ*", "YQ=a"})
        EXPECT_FALSE(decode(bad)) << bad;

    auto lenient = [](std::string_view text) { return decode(text, NSDataBase64DecodingIgnoreUnknownCharacters); };
    EXPECT_EQ(std::string(lenient("YW J\r\nj")->view()), "abc");
    EXPECT_EQ(std::string(lenient("Y*W*I*=")->view()), "ab");
    EXPECT_FALSE(lenient("YWI"));
    EXPECT_FALSE(NSData::dataWithBase64EncodedString(nil, 0));
}

TEST(Base64, RoundTripsEveryByteAndLength)
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    for (std::size_t length = 0; length <= bytes.size(); length += 7) {
        auto data = NSData::fromString(bytes.substr(0, length));
        for (NSUInteger options : {0ul, 1ul, 2ul | 32ul}) {
            auto text = data->base64EncodedStringWithOptions(options);
            auto back = NSData::dataWithBase64EncodedString(text, options ? NSUInteger(NSDataBase64DecodingIgnoreUnknownCharacters) : NSUInteger(0));
            ASSERT_TRUE(back) << length;
            EXPECT_TRUE(back->isEqualToData(data)) << length;
        }
    }
    auto fromData = NSData::dataWithBase64EncodedData(NSData::fromString("AAEC"), 0);
    ASSERT_TRUE(fromData);
    EXPECT_EQ(fromData->length(), 3u);
    EXPECT_EQ(fromData->bytes()[2], 2);
}
