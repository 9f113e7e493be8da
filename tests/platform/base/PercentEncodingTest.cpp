#include "platform/base/Base.h"

#include <gtest/gtest.h>

TEST(PercentEncoding, EncodesEveryUTF8ByteOutsideTheSet)
{
    auto allowed = NSCharacterSet::characterSetWithCharactersInString("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~/?"_ns);
    auto encode = [&](std::string_view text) { return NSString::fromUTF8(text)->stringByAddingPercentEncodingWithAllowedCharacters(allowed)->utf8(); };
    EXPECT_EQ(encode("a b&c=d"), "a%20b%26c%3Dd");
    EXPECT_EQ(encode("b[c]"), "b%5Bc%5D");
    EXPECT_EQ(encode("中"), "%E4%B8%AD");
    EXPECT_EQ(encode("😀"), "%F0%9F%98%80");
    EXPECT_EQ(encode("/path?x"), "/path?x");
    EXPECT_EQ(encode(""), "");
    EXPECT_EQ(encode("100%"), "100%25");
}

TEST(PercentEncoding, QueryAllowedSetKeepsQueryCharacters)
{
    auto text = "a=1&b=中 文"_ns;
    EXPECT_EQ(text->stringByAddingPercentEncodingWithAllowedCharacters(NSCharacterSet::URLQueryAllowedCharacterSet())->utf8(),
              "a=1&b=%E4%B8%AD%20%E6%96%87");
}

// The path set is the platform's: ";" (once the parameter separator of a path) is not in it.
TEST(PercentEncoding, PathAllowedSetLeavesOutTheSemicolon)
{
    auto path = NSCharacterSet::URLPathAllowedCharacterSet();
    EXPECT_FALSE(path->characterIsMember(u';'));
    EXPECT_FALSE(path->characterIsMember(u'?'));
    EXPECT_FALSE(path->characterIsMember(u'#'));
    for (char16_t kept : std::u16string_view(u"!$&'()*+,-./:=@_~azAZ09"))
        EXPECT_TRUE(path->characterIsMember(kept)) << static_cast<char>(kept);
    EXPECT_EQ("/a;b/c d"_ns->stringByAddingPercentEncodingWithAllowedCharacters(path)->utf8(), "/a%3Bb/c%20d");
}

TEST(PercentEncoding, DecodingRejectsMalformedEscapesAndBadUTF8)
{
    EXPECT_EQ("a%20b%2fc"_ns->stringByRemovingPercentEncoding()->utf8(), "a b/c");
    EXPECT_EQ("%E4%B8%AD"_ns->stringByRemovingPercentEncoding()->utf8(), "中");
    EXPECT_EQ("plain"_ns->stringByRemovingPercentEncoding()->utf8(), "plain");
    EXPECT_FALSE("%"_ns->stringByRemovingPercentEncoding());
    EXPECT_FALSE("%4"_ns->stringByRemovingPercentEncoding());
    EXPECT_FALSE("%zz"_ns->stringByRemovingPercentEncoding());
    EXPECT_FALSE("%E4%B8"_ns->stringByRemovingPercentEncoding());
    EXPECT_FALSE("%FF"_ns->stringByRemovingPercentEncoding());
}

TEST(PercentEncoding, RoundTrips)
{
    auto none = NSCharacterSet::characterSetWithCharactersInString(""_ns);
    auto text = "key=值 & more/?#[]@!$'()*+,;"_ns;
    auto encoded = text->stringByAddingPercentEncodingWithAllowedCharacters(none);
    EXPECT_EQ(encoded->utf8().find_first_not_of("%0123456789ABCDEF"), std::string::npos);
    EXPECT_TRUE(encoded->stringByRemovingPercentEncoding()->isEqualToString(text));
}
