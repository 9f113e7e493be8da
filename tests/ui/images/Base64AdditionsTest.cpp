#include "platform/base/Base.h"
#include "ui/images/NSDataBase64Additions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string encoded(std::string_view bytes, std::uint32_t lineLength = 0)
{
    return dv::str(base64EncodingWithLineLength(NSData::fromString(bytes), lineLength));
}

std::string decoded(const char* text)
{
    auto data = dataWithBase64EncodedString(text ? NSString::stringWithUTF8String(text) : nil);
    return data ? std::string(data->view()) : std::string("(nil)");
}

TEST(Base64AdditionsTest, EncodesGroupsOfThreeBytesWithPadding)
{
    EXPECT_EQ(encoded("abc"), "YWJj");
    EXPECT_EQ(encoded("ab"), "YWI=");
    EXPECT_EQ(encoded("a"), "YQ==");
    EXPECT_EQ(encoded(""), "");
    EXPECT_EQ(dv::str(base64Encoding(NSData::fromString("Dovrelta"))), "RG92cmVsdGE=");
    EXPECT_EQ(base64Encoding(nil), nil);
    const std::uint8_t high[] = {0xFF, 0xFE, 0x00};
    EXPECT_EQ(dv::str(base64Encoding(NSData::dataWithBytes(high, 3))), "//4A");
}

TEST(Base64AdditionsTest, BreaksLinesAfterWholeGroups)
{
    // 57 bytes are 76 characters: one full line, ended by its break.
    const std::string bytes(57, 'x');
    const std::string line = encoded(bytes);
    ASSERT_EQ(line.size(), 76u);
    EXPECT_EQ(encoded(bytes, 76), line + "\n");
    // A second, shorter line gets no break of its own.
    EXPECT_EQ(encoded(bytes + "yz", 76), line + "\n" + encoded("yz"));
    // A length that is not a multiple of four gives lines of the next multiple.
    EXPECT_EQ(encoded(bytes, 75), line + "\n");
    EXPECT_EQ(encoded("abcabc", 1), "YWJj\nYWJj\n");
    EXPECT_EQ(encoded("abcab", 8), "YWJjYWI=\n");
    EXPECT_EQ(encoded("abcab", 0), "YWJjYWI=");
}

TEST(Base64AdditionsTest, DecodesLenientlyUpToThePadding)
{
    EXPECT_EQ(decoded("YWJj"), "abc");
    EXPECT_EQ(decoded("YW Jj\n"), "abc");
    EXPECT_EQ(decoded("Y\r\nW\tJ*j!"), "abc");
    EXPECT_EQ(decoded("YWI="), "ab");
    EXPECT_EQ(decoded("YQ=="), "a");
    EXPECT_EQ(decoded("YQ=garbage"), "a");
    // The first "=" ends the text.
    EXPECT_EQ(decoded("YQ==YWJj"), "a");
    // An incomplete group without padding is dropped, as is a lone character before "=".
    EXPECT_EQ(decoded("YWI"), "");
    EXPECT_EQ(decoded("YWJjY"), "abc");
    EXPECT_EQ(decoded("YWJjY="), "abc");
    EXPECT_EQ(decoded("="), "");
    EXPECT_EQ(decoded(""), "");
    EXPECT_EQ(decoded(nullptr), "");
    // Text that is not ASCII gives empty data.
    EXPECT_EQ(decoded("YWJj中"), "");

    auto round = dataWithBase64EncodedString(base64EncodingWithLineLength(NSData::fromString(std::string(200, '\x7f')), 64));
    EXPECT_EQ(std::string(round->view()), std::string(200, '\x7f'));
    EXPECT_EQ(initWithBase64EncodedString(nil, "YWJj"_ns), nil);
    EXPECT_EQ(std::string(initWithBase64EncodedString(alloc<NSData>(), "YWJj"_ns)->view()), "abc");
}

} // namespace
