#include "HTTPTestSupport.h"

#include "foundation/http/PNHTTPRequestSerializer.h"
#include "foundation/http/PNJSONRequestSerializer.h"
#include "foundation/http/PNPropertyListRequestSerializer.h"
#include "foundation/http/PNQueryStringPair.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/base/NSLocale.h"
#include "platform/system/NSBundle.h"
#include "platform/system/UIDevice.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/UIScreen.h"

using dv::test::HTTPTestFixture;

namespace {

class RequestSerializerTest : public HTTPTestFixture {
protected:
    void SetUp() override
    {
        HTTPTestFixture::SetUp();
        NSLocale::setPreferredLanguages(NSArray::of({"zh-Hans"_ns, "en"_ns}));
    }
    void TearDown() override
    {
        NSLocale::setPreferredLanguages(nil);
        HTTPTestFixture::TearDown();
    }

    static std::string url(const Ref<NSURLRequest>& request) { return request && request->URL() ? request->URL()->absoluteString()->utf8() : ""; }
    static std::string body(const Ref<NSURLRequest>& request) { return text(request->HTTPBody()); }
};

Ref<NSNumber> n(int value) { return NSNumber::numberWithInt(value); }

} // namespace

TEST_F(RequestSerializerTest, GETPutsEscapedParametersIntoTheQuery)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    auto params = NSDictionary::of({{"q"_ns, "a b&c"_ns}});
    Ref<NSError> error;
    EXPECT_EQ(url(serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/s"_ns, params, &error)), "http://127.0.0.1/s?q=a%20b%26c");
    EXPECT_EQ(url(serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/s?x=1"_ns, params, &error)), "http://127.0.0.1/s?x=1&q=a%20b%26c");
    EXPECT_EQ(url(serializer->requestWithMethod("get"_ns, "http://127.0.0.1/s"_ns, NSDictionary::dictionary(), &error)), "http://127.0.0.1/s?");
    EXPECT_EQ(url(serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/s"_ns, nil, &error)), "http://127.0.0.1/s");
    auto del = serializer->requestWithMethod("DELETE"_ns, "http://127.0.0.1/s"_ns, params, &error);
    EXPECT_EQ(url(del), "http://127.0.0.1/s?q=a%20b%26c");
    EXPECT_FALSE(del->HTTPBody());
    EXPECT_FALSE(error);

    // A URL string that does not parse gives a request without a URL, and no error.
    auto unparsable = serializer->requestWithMethod("GET"_ns, "http://exa mple/ bad"_ns, params, &error);
    ASSERT_TRUE(unparsable);
    EXPECT_FALSE(unparsable->URL());
    EXPECT_FALSE(error);
}

TEST_F(RequestSerializerTest, QueryGoesBeforeTheFragment)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    auto request = serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/page#top"_ns, NSDictionary::of({{"a"_ns, n(1)}}), nullptr);
    EXPECT_EQ(url(request), "http://127.0.0.1/page?a=1#top");
    EXPECT_EQ(request->URL()->query()->utf8(), "a=1");
    EXPECT_EQ(request->URL()->fragment()->utf8(), "top");
    request = serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/page?b=2#top"_ns, NSDictionary::of({{"a"_ns, n(1)}}), nullptr);
    EXPECT_EQ(url(request), "http://127.0.0.1/page?b=2&a=1#top");
}

TEST_F(RequestSerializerTest, POSTSendsAFormBody)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    auto request = serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/f"_ns,
        NSDictionary::of({{"clientId"_ns, "id 1"_ns}, {"name"_ns, "张三"_ns}}), nullptr);
    EXPECT_EQ(body(request), "clientId=id%201&name=%E5%BC%A0%E4%B8%89");
    EXPECT_EQ(dv::str(request->valueForHTTPHeaderField("Content-Type"_ns)), "application/x-www-form-urlencoded");
    EXPECT_EQ(url(request), "http://127.0.0.1/f");

    auto empty = serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/f"_ns, nil, nullptr);
    ASSERT_TRUE(empty->HTTPBody());
    EXPECT_EQ(empty->HTTPBody()->length(), 0u);
    EXPECT_EQ(dv::str(empty->valueForHTTPHeaderField("Content-Type"_ns)), "application/x-www-form-urlencoded");

    auto own = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/f"));
    own->setHTTPMethod("POST"_ns);
    own->setValueForHTTPHeaderField("text/plain"_ns, "Content-Type"_ns);
    own->setValueForHTTPHeaderField("mine"_ns, "User-Agent"_ns);
    auto kept = serializer->requestBySerializingRequest(own, NSDictionary::of({{"a"_ns, n(1)}}), nullptr);
    EXPECT_EQ(dv::str(kept->valueForHTTPHeaderField("Content-Type"_ns)), "text/plain");
    EXPECT_EQ(dv::str(kept->valueForHTTPHeaderField("User-Agent"_ns)), "mine");
    EXPECT_EQ(body(kept), "a=1");
}

TEST_F(RequestSerializerTest, FlatteningSortsKeysAndBracketsNestedValues)
{
    auto params = NSDictionary::of({
        {"user"_ns, NSDictionary::of({{"name"_ns, "n"_ns}, {"age"_ns, n(3)}})},
        {"ids"_ns, NSArray::of({n(1), n(2)})},
    });
    EXPECT_EQ(PNQueryStringFromParameters(params)->utf8(), "ids%5B%5D=1&ids%5B%5D=2&user%5Bage%5D=3&user%5Bname%5D=n");

    auto pairs = PNQueryPairsFromKeyValue(nil, NSDictionary::of({{"b"_ns, NSDictionary::of({{"y"_ns, n(2)}, {"x"_ns, n(1)}})},
                                                                  {"a"_ns, NSArray::of({n(3), n(4)})}}));
    std::vector<std::string> fields;
    for (const id& pair : *pairs)
        fields.push_back(dv::str(std::static_pointer_cast<PNQueryStringPair>(pair)->field()));
    EXPECT_EQ(fields, (std::vector<std::string> {"a[]", "a[]", "b[x]", "b[y]"}));

    EXPECT_EQ(PNQueryStringFromParameters(NSDictionary::of({{"s"_ns, NSSet::of({"b"_ns, "a"_ns})}}))->utf8(), "s=a&s=b");
    EXPECT_EQ(PNQueryStringFromParameters(NSDictionary::of({{"flag"_ns, NSNull::null()}}))->utf8(), "flag");
    EXPECT_EQ(PNQueryStringFromParameters(NSDictionary::of({{"a/b?"_ns, "x:y"_ns}}))->utf8(), "a/b?=x%3Ay");
    // Upper-case keys sort before lower-case ones (literal comparison).
    EXPECT_EQ(PNQueryStringFromParameters(NSDictionary::of({{"b"_ns, n(1)}, {"B"_ns, n(2)}, {"a"_ns, n(3)}}))->utf8(), "B=2&a=3&b=1");
}

TEST_F(RequestSerializerTest, EscapingLeavesOnlyTheUnreservedSet)
{
    EXPECT_EQ(PNPercentEscapeString("AZaz09-._~/?"_ns)->utf8(), "AZaz09-._~/?");
    EXPECT_EQ(PNPercentEscapeString(":#[]@!$&'()*+,;= %\""_ns)->utf8(), "%3A%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%20%25%22");
    EXPECT_EQ(PNPercentEscapeString(""_ns)->utf8(), "");
}

TEST_F(RequestSerializerTest, BatchesNeverSplitSurrogatePairsOrCombinedCharacters)
{
    std::string emoji;
    for (int i = 0; i < 60; ++i)
        emoji += "😀"; // 120 UTF-16 code units
    std::string expected;
    for (int i = 0; i < 60; ++i)
        expected += "%F0%9F%98%80";
    EXPECT_EQ(PNPercentEscapeString(NSString::fromUTF8(emoji))->utf8(), expected);

    // "a" then 49 "e" + combining acute accents: a batch boundary falls before an accent.
    std::string combined = "a";
    std::string combinedExpected = "a";
    for (int i = 0; i < 30; ++i) {
        combined += "e\xCC\x81";
        combinedExpected += "e%CC%81";
    }
    EXPECT_EQ(PNPercentEscapeString(NSString::fromUTF8(combined))->utf8(), combinedExpected);
}

TEST_F(RequestSerializerTest, AcceptLanguageFollowsTheLanguagesTheUserChose)
{
    // The user's list in the defaults comes before the environment's.
    NSLocale::setPreferredLanguages(nil);
    const char* previous = std::getenv("LANGUAGE");
    const std::optional<std::string> environment = previous ? std::optional<std::string>(previous) : std::nullopt;
    ::setenv("LANGUAGE", "fr_FR", 1);
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(NSArray::of({"zh-Hant-TW"_ns, "ja"_ns}), "AppleLanguages"_ns);
    EXPECT_EQ(dv::str(PNHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language"_ns)), "zh-Hant-TW;q=1, ja;q=0.9");
    EXPECT_TRUE(dv::equal(NSLocale::preferredLanguages(), NSArray::of({"zh-Hant-TW"_ns, "ja"_ns})));

    // Without a list of the user's, or with one that holds no language, the environment's.
    defaults->setObjectForKey(NSArray::array(), "AppleLanguages"_ns);
    EXPECT_EQ(dv::str(PNHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("Accept-Language"_ns)), "fr-FR;q=1");
    defaults->setObjectForKey(NSArray::of({"en"_ns, NSNumber::numberWithInt(3)}), "AppleLanguages"_ns);
    EXPECT_TRUE(dv::equal(NSLocale::preferredLanguages(), NSArray::of({"fr-FR"_ns})));
    defaults->removeObjectForKey("AppleLanguages"_ns);
    EXPECT_TRUE(dv::equal(NSLocale::preferredLanguages(), NSArray::of({"fr-FR"_ns})));
    if (environment)
        ::setenv("LANGUAGE", environment->c_str(), 1);
    else
        ::unsetenv("LANGUAGE");
}

TEST_F(RequestSerializerTest, DefaultHeaders)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    EXPECT_EQ(dv::str(serializer->valueForHTTPHeaderField("Accept-Language"_ns)), "zh-Hans;q=1, en;q=0.9");

    NSLocale::setPreferredLanguages(NSArray::of({"a"_ns, "b"_ns, "c"_ns, "d"_ns, "e"_ns, "f"_ns, "g"_ns, "h"_ns}));
    EXPECT_EQ(dv::internal::http::defaultAcceptLanguage()->utf8(), "a;q=1, b;q=0.9, c;q=0.8, d;q=0.7, e;q=0.6, f;q=0.5");
    NSLocale::setPreferredLanguages(NSArray::array());
    EXPECT_EQ(dv::internal::http::defaultAcceptLanguage()->utf8(), "");

    dv::MainBundleOverride::set(pathInHome("res"), NSDictionary::of({{"CFBundleExecutable"_ns, "App"_ns}, {"CFBundleShortVersionString"_ns, "2.1"_ns}}));
    UIDevice::currentDevice()->setModel("iPhone"_ns);
    UIDevice::currentDevice()->setSystemVersion("9.3"_ns);
    UIScreen::mainScreen()->setScale(2);
    EXPECT_EQ(dv::internal::http::defaultUserAgent()->utf8(), "App/2.1 (iPhone; iOS 9.3; Scale/2.00)");

    dv::MainBundleOverride::set(pathInHome("res"), NSDictionary::of({{"CFBundleExecutable"_ns, "Café信聊"_ns}, {"CFBundleShortVersionString"_ns, "1"_ns}}));
    auto transliterated = dv::internal::http::defaultUserAgent()->utf8();
    EXPECT_TRUE(transliterated.starts_with("Cafe")) << transliterated;
    for (unsigned char c : transliterated)
        EXPECT_LT(c, 0x80) << transliterated;
    EXPECT_EQ(PNHTTPRequestSerializer::serializer()->valueForHTTPHeaderField("User-Agent"_ns)->utf8(), transliterated);

    dv::MainBundleOverride::reset();
    UIDevice::currentDevice()->reset();
    UIScreen::mainScreen()->reset();
}

TEST_F(RequestSerializerTest, AuthorizationHeader)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    serializer->setAuthorizationHeaderFieldWithUsername("user"_ns, "pässword"_ns);
    EXPECT_EQ(dv::str(serializer->valueForHTTPHeaderField("Authorization"_ns)), "Basic dXNlcjpww6Rzc3dvcmQ=");
    auto request = serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/"_ns, nil, nullptr);
    EXPECT_EQ(dv::str(request->valueForHTTPHeaderField("Authorization"_ns)), "Basic dXNlcjpww6Rzc3dvcmQ=");
    serializer->clearAuthorizationHeader();
    EXPECT_FALSE(serializer->valueForHTTPHeaderField("Authorization"_ns));
    serializer->setValueForHTTPHeaderField("1"_ns, "X-A"_ns);
    serializer->setValueForHTTPHeaderField(nil, "X-A"_ns);
    EXPECT_FALSE(serializer->HTTPRequestHeaders()->objectForKey("X-A"));
}

TEST_F(RequestSerializerTest, RequestPropertiesApplyOnlyOnceSet)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    auto untouched = serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/"_ns, nil, nullptr);
    EXPECT_EQ(untouched->timeoutInterval(), 60);
    EXPECT_TRUE(untouched->HTTPShouldHandleCookies());
    EXPECT_TRUE(untouched->allowsCellularAccess());

    serializer->setTimeoutInterval(10);
    serializer->setHTTPShouldHandleCookies(false); // back to the initial value: still carried
    auto request = serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/"_ns, nil, nullptr);
    EXPECT_EQ(request->timeoutInterval(), 10);
    EXPECT_FALSE(request->HTTPShouldHandleCookies());
    EXPECT_TRUE(request->allowsCellularAccess());

    auto copy = std::static_pointer_cast<PNHTTPRequestSerializer>(serializer->copy());
    EXPECT_EQ(copy->requestWithMethod("GET"_ns, "http://127.0.0.1/"_ns, nil, nullptr)->timeoutInterval(), 60);
    EXPECT_EQ(copy->observedChangedKeyPaths()->count(), 0u);
}

TEST_F(RequestSerializerTest, QueryBlockReplacesTheStyleAndItsErrorStopsTheRequest)
{
    auto serializer = PNHTTPRequestSerializer::serializer();
    serializer->setQueryStringSerializationWithBlock([](const Ref<NSURLRequest>&, const id&, Ref<NSError>*) { return "custom=1"_ns; });
    EXPECT_EQ(url(serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/"_ns, NSDictionary::of({{"a"_ns, n(1)}}), nullptr)),
        "http://127.0.0.1/?custom=1");

    auto failure = NSError::errorWithDomain("test"_ns, 7, nil);
    serializer->setQueryStringSerializationWithBlock([failure](const Ref<NSURLRequest>&, const id&, Ref<NSError>* error) {
        *error = failure;
        return Ref<NSString>();
    });
    Ref<NSError> error;
    EXPECT_FALSE(serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/"_ns, NSDictionary::of({{"a"_ns, n(1)}}), &error));
    EXPECT_EQ(error, failure);

    serializer->setQueryStringSerializationWithStyle(PNHTTPRequestQueryStringDefaultStyle);
    EXPECT_EQ(body(serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/"_ns, NSDictionary::of({{"a"_ns, n(1)}}), nullptr)), "a=1");
}

TEST_F(RequestSerializerTest, JSONSerializerWritesABodyOutsideTheURIMethods)
{
    auto serializer = PNJSONRequestSerializer::serializerWithWritingOptions(NSJSONWritingSortedKeys);
    auto params = NSDictionary::of({{"b"_ns, n(2)}, {"a"_ns, NSArray::of({"x"_ns, NSNull::null()})}});
    auto request = serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/j"_ns, params, nullptr);
    EXPECT_EQ(body(request), R"({"a":["x",null],"b":2})");
    EXPECT_EQ(dv::str(request->valueForHTTPHeaderField("Content-Type"_ns)), "application/json");
    EXPECT_TRUE(request->valueForHTTPHeaderField("Accept-Language"_ns));

    auto get = serializer->requestWithMethod("GET"_ns, "http://127.0.0.1/j"_ns, NSDictionary::of({{"a"_ns, n(1)}}), nullptr);
    EXPECT_EQ(url(get), "http://127.0.0.1/j?a=1");
    EXPECT_FALSE(get->HTTPBody());

    auto bare = serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/j"_ns, nil, nullptr);
    EXPECT_FALSE(bare->HTTPBody());
    EXPECT_FALSE(bare->valueForHTTPHeaderField("Content-Type"_ns));

    Ref<NSError> error;
    auto invalid = serializer->requestWithMethod("POST"_ns, "http://127.0.0.1/j"_ns, NSDictionary::of({{"d"_ns, NSData::data()}}), &error);
    ASSERT_TRUE(invalid);
    EXPECT_TRUE(error);
    EXPECT_FALSE(invalid->HTTPBody());
}

TEST_F(RequestSerializerTest, PropertyListSerializerWritesXML)
{
    auto serializer = PNPropertyListRequestSerializer::serializer();
    EXPECT_EQ(serializer->format(), NSPropertyListXMLFormat_v1_0);
    auto request = serializer->requestWithMethod("PUT"_ns, "http://127.0.0.1/p"_ns, NSDictionary::of({{"k"_ns, "v"_ns}}), nullptr);
    EXPECT_EQ(dv::str(request->valueForHTTPHeaderField("Content-Type"_ns)), "application/x-plist");
    auto expected = NSPropertyListSerialization::dataWithPropertyList(NSDictionary::of({{"k"_ns, "v"_ns}}), NSPropertyListXMLFormat_v1_0, 0, nullptr);
    EXPECT_EQ(body(request), text(expected));
    EXPECT_NE(body(request).find("<key>k</key>"), std::string::npos);
}

TEST_F(RequestSerializerTest, ArchivingKeepsHeadersStyleAndOptions)
{
    auto serializer = PNJSONRequestSerializer::serializerWithWritingOptions(NSJSONWritingPrettyPrinted);
    serializer->setValueForHTTPHeaderField("yes"_ns, "X-Custom"_ns);
    serializer->setTimeoutInterval(5);
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(serializer, true, &error);
    ASSERT_TRUE(data) << dv::str(error);
    auto restored = NSKeyedUnarchiver::unarchivedObjectOfClass<PNJSONRequestSerializer>(data, &error);
    ASSERT_TRUE(restored) << dv::str(error);
    EXPECT_EQ(dv::str(restored->valueForHTTPHeaderField("X-Custom"_ns)), "yes");
    EXPECT_EQ(restored->writingOptions(), NSJSONWritingPrettyPrinted);
    EXPECT_EQ(restored->timeoutInterval(), 0);

    auto plist = PNPropertyListRequestSerializer::serializerWithFormat(NSPropertyListBinaryFormat_v1_0, 0);
    auto plistData = NSKeyedArchiver::archivedDataWithRootObject(plist, true, &error);
    auto plistBack = NSKeyedUnarchiver::unarchivedObjectOfClass<PNPropertyListRequestSerializer>(plistData, &error);
    ASSERT_TRUE(plistBack) << dv::str(error);
    EXPECT_EQ(plistBack->format(), NSPropertyListBinaryFormat_v1_0);

    auto copy = std::static_pointer_cast<PNJSONRequestSerializer>(serializer->copy());
    EXPECT_EQ(copy->writingOptions(), NSJSONWritingPrettyPrinted);
    EXPECT_EQ(dv::str(copy->valueForHTTPHeaderField("X-Custom"_ns)), "yes");
}
