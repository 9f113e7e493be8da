#include "HTTPTestSupport.h"

#include "foundation/http/PNCompoundResponseSerializer.h"
#include "foundation/http/PNHTTPResponseSerializer.h"
#include "foundation/http/PNImageResponseSerializer.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNPropertyListResponseSerializer.h"
#include "foundation/http/PNXMLParserResponseSerializer.h"
#include "platform/base/NSIndexSet.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSXMLParser.h"
#include "platform/graphics/CGContext.h"
#include "platform/net/NSURLError.h"
#include "platform/system/NSBundle.h"

#include <fstream>

using dv::test::HTTPTestFixture;

namespace {

class ResponseSerializerTest : public HTTPTestFixture { };

Ref<NSData> pngOfSize(std::size_t width, std::size_t height)
{
    auto context = CGBitmapContextCreate(nullptr, width, height, 8, width * 4, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGContextSetRGBFillColor(context, 1, 0, 0, 1);
    CGContextFillRect(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)));
    return UIImagePNGRepresentation(UIImage::imageWithCGImage(CGBitmapContextCreateImage(context)));
}

} // namespace

TEST_F(ResponseSerializerTest, JSONKeepsNullValuesUnlessAskedToRemoveThem)
{
    auto serializer = PNJSONResponseSerializer::serializer();
    auto response = reply(200, "application/json");
    auto body = bytes(R"({"name":null,"list":[null,{"x":null,"y":1}]})");

    Ref<NSError> error;
    auto kept = dv::as<NSDictionary>(serializer->responseObjectForResponse(response, body, &error));
    ASSERT_TRUE(kept);
    EXPECT_FALSE(error);
    EXPECT_TRUE(kept->objectForKey("name")->isEqual(NSNull::null()));

    serializer->setRemovesKeysWithNullValues(true);
    auto stripped = dv::as<NSDictionary>(serializer->responseObjectForResponse(response, body, &error));
    ASSERT_TRUE(stripped);
    EXPECT_FALSE(stripped->objectForKey("name"));
    EXPECT_FALSE(dv::as<NSMutableDictionary>(stripped));
    auto list = dv::as<NSArray>(stripped->objectForKey("list"));
    ASSERT_EQ(list->count(), 2u);
    EXPECT_TRUE(list->objectAtIndex(0)->isEqual(NSNull::null())); // nulls in arrays stay
    auto inner = dv::as<NSDictionary>(list->objectAtIndex(1));
    EXPECT_EQ(inner->count(), 1u);
    EXPECT_FALSE(inner->objectForKey("x"));

    serializer->setReadingOptions(NSJSONReadingMutableContainers);
    auto mutableResult = serializer->responseObjectForResponse(response, bytes(R"({"k":null})"), &error);
    ASSERT_TRUE(dv::as<NSMutableDictionary>(mutableResult));
    EXPECT_EQ(dv::as<NSDictionary>(mutableResult)->count(), 0u);
}

TEST_F(ResponseSerializerTest, BadStatusWithJSONGivesObjectAndStatusError)
{
    auto serializer = PNJSONResponseSerializer::serializer();
    auto response = reply(500, "application/json");
    Ref<NSError> error;
    auto object = dv::as<NSDictionary>(serializer->responseObjectForResponse(response, bytes(R"({"code":1})"), &error));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->objectForKey("code")->description()->utf8(), "1");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain()->utf8(), "com.pellucor.error.serialization.response");
    EXPECT_EQ(error->code(), -1011);
    EXPECT_EQ(error->localizedDescription()->utf8(),
        "Request failed: " + NSHTTPURLResponse::localizedStringForStatusCode(500)->utf8() + " (500)");
    auto info = error->userInfo();
    EXPECT_TRUE(info->objectForKey(NSURLErrorFailingURLErrorKey)->isEqual(response->URL()));
    EXPECT_EQ(info->objectForKey(PNNetworkingOperationFailingURLResponseErrorKey), response);
    EXPECT_TRUE(info->objectForKey("com.pellucor.serialization.response.error.data"));
    EXPECT_FALSE(error->underlyingError());
}

TEST_F(ResponseSerializerTest, UnacceptableContentTypeIsAnErrorOnlyWithABody)
{
    auto serializer = PNJSONResponseSerializer::serializer();
    Ref<NSError> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "text/html"), bytes("<html/>"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1016);
    EXPECT_EQ(error->localizedDescription()->utf8(), "Request failed: unacceptable content-type: text/html");

    error = nil;
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "text/plain"), NSData::data(), &error));
    EXPECT_FALSE(error);

    // No error slot: nil at once.
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "text/html"), bytes("{}"), nullptr));
}

TEST_F(ResponseSerializerTest, MessagesComeFromTheNetworkingStringsTable)
{
    const std::string resources = pathInHome("resources");
    std::filesystem::create_directories(resources);
    std::ofstream(resources + "/PNNetworking.strings") << "/* translations */\n\"Request failed: unacceptable content-type: %@\" = \"请求失败：不支持的内容类型 %@\";\n";
    dv::MainBundleOverride::set(resources, nil);
    Ref<NSError> error;
    PNJSONResponseSerializer::serializer()->responseObjectForResponse(reply(200, "text/html"), bytes("x"), &error);
    dv::MainBundleOverride::reset();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription()->utf8(), "请求失败：不支持的内容类型 text/html");
}

TEST_F(ResponseSerializerTest, SingleSpaceAndUndecodableTextGiveNothing)
{
    auto serializer = PNJSONResponseSerializer::serializer();
    Ref<NSError> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "application/json"), bytes(" "), &error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "application/json"), bytes("\xff\xfe\xfd"), &error));
    EXPECT_FALSE(error);
}

TEST_F(ResponseSerializerTest, SyntaxErrorIsAttachedAboveTheValidationError)
{
    auto serializer = PNJSONResponseSerializer::serializer();
    Ref<NSError> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "application/json"), bytes("{nope"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain()->utf8(), "NSCocoaErrorDomain");
    EXPECT_FALSE(error->underlyingError());

    error = nil;
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(503, "application/json"), bytes("{nope"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain()->utf8(), "NSCocoaErrorDomain");
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), -1011);
}

TEST_F(ResponseSerializerTest, CharsetOfTheReplyIsUsedForDecoding)
{
    auto serializer = PNJSONResponseSerializer::serializer();
    // {"city":"北京"} in GBK.
    auto gbk = bytes("{\"city\":\"\xb1\xb1\xbe\xa9\"}");
    Ref<NSError> error;
    auto object = dv::as<NSDictionary>(serializer->responseObjectForResponse(reply(200, "application/json; charset=GBK"), gbk, &error));
    ASSERT_TRUE(object);
    EXPECT_FALSE(error);
    EXPECT_EQ(dv::str(object->objectForKey("city")), "北京");
}

TEST_F(ResponseSerializerTest, BadStatusAndBadTypeChainBothErrors)
{
    auto response = reply(404, "text/html");
    Ref<NSError> error;
    EXPECT_FALSE(PNJSONResponseSerializer::serializer()->responseObjectForResponse(response, bytes("<p>missing</p>"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), -1016);
    EXPECT_TRUE(PNErrorChainHasCode(error));

    // The base serialiser answers the data whatever the outcome.
    auto base = PNHTTPResponseSerializer::serializer();
    base->setAcceptableContentTypes(NSSet::of({"application/json"_ns}));
    error = nil;
    auto data = base->responseObjectForResponse(response, bytes("x"), &error);
    EXPECT_EQ(text(dv::as<NSData>(data)), "x");
    EXPECT_EQ(error->code(), -1011);
}

TEST_F(ResponseSerializerTest, ResponsesWithoutURLOrNotHTTPAreNotChecked)
{
    auto serializer = PNHTTPResponseSerializer::serializer();
    Ref<NSError> error;
    EXPECT_TRUE(serializer->validateResponse(nil, bytes("x"), &error));
    auto noURL = reply(500, "text/html", nullptr);
    EXPECT_TRUE(serializer->validateResponse(noURL, bytes("x"), &error));
    EXPECT_FALSE(error);

    serializer->setAcceptableContentTypes(NSSet::of({"application/json"_ns}));
    error = NSError::errorWithDomain("x"_ns, 1, nil);
    EXPECT_FALSE(serializer->validateResponse(noURL, bytes("x"), &error));
    EXPECT_FALSE(error); // invalid, but no error object is made without a URL
}

TEST_F(ResponseSerializerTest, AttachingUnderlyingErrorsFollowsTheChainRules)
{
    auto a = NSError::errorWithDomain("a"_ns, 1, nil);
    auto b = NSError::errorWithDomain("b"_ns, 2, nil);
    EXPECT_EQ(PNAttachUnderlyingError(nil, b), b);
    EXPECT_EQ(PNAttachUnderlyingError(a, nil), a);
    auto chained = PNAttachUnderlyingError(a, b);
    EXPECT_EQ(chained->domain()->utf8(), "a");
    EXPECT_EQ(chained->underlyingError(), b);
    EXPECT_EQ(PNAttachUnderlyingError(chained, a), chained);
    EXPECT_FALSE(PNErrorChainHasCode(chained));
    EXPECT_FALSE(PNErrorChainHasCode(nil));
}

TEST_F(ResponseSerializerTest, PropertyListAndXMLReplies)
{
    auto plist = bytes(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>a</key><integer>3</integer></dict></plist>)");
    Ref<NSError> error;
    auto object = dv::as<NSDictionary>(PNPropertyListResponseSerializer::serializer()->responseObjectForResponse(reply(200, "application/x-plist"), plist, &error));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->objectForKey("a")->description()->utf8(), "3");
    EXPECT_FALSE(error);

    EXPECT_FALSE(PNPropertyListResponseSerializer::serializer()->responseObjectForResponse(reply(200, "application/x-plist"), bytes("\x01\x02garbage"), &error));
    EXPECT_TRUE(error);

    error = nil;
    auto parser = PNXMLParserResponseSerializer::serializer()->responseObjectForResponse(reply(200, "text/xml"), bytes("<a/>"), &error);
    ASSERT_TRUE(dv::as<NSXMLParser>(parser));
    EXPECT_TRUE(dv::as<NSXMLParser>(parser)->parse());
    EXPECT_FALSE(PNXMLParserResponseSerializer::serializer()->responseObjectForResponse(reply(200, "application/json"), bytes("<a/>"), &error));
    EXPECT_EQ(error->code(), -1016);
}

TEST_F(ResponseSerializerTest, CompoundAnswersTheFirstObjectMade)
{
    auto compound = PNCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        NSArray::of({"not a serializer"_ns, PNJSONResponseSerializer::serializer(), PNImageResponseSerializer::serializer()}));
    Ref<NSError> error;
    auto image = compound->responseObjectForResponse(reply(200, "image/png"), pngOfSize(4, 4), &error);
    EXPECT_TRUE(dv::as<UIImage>(image));
    EXPECT_FALSE(error);

    auto json = compound->responseObjectForResponse(reply(200, "application/json"), bytes("[1,2]"), &error);
    ASSERT_TRUE(dv::as<NSArray>(json));
    EXPECT_EQ(dv::as<NSArray>(json)->count(), 2u);

    // Nobody understands it: the compound's own validation, then the data.
    auto data = compound->responseObjectForResponse(reply(418, "text/plain"), bytes("tea"), &error);
    EXPECT_EQ(text(dv::as<NSData>(data)), "tea");
    EXPECT_EQ(error->code(), -1011);
}

TEST_F(ResponseSerializerTest, ArchivedJSONSerializerComesBackWithItsSettings)
{
    auto serializer = PNJSONResponseSerializer::serializerWithReadingOptions(NSJSONReadingMutableContainers);
    serializer->setRemovesKeysWithNullValues(true);
    serializer->setAcceptableStatusCodes(NSIndexSet::indexSetWithIndexesInRange(NSMakeRange(200, 5)));
    serializer->setAcceptableContentTypes(NSSet::of({"text/x-custom"_ns}));

    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(serializer, true, &error);
    ASSERT_TRUE(data) << dv::str(error);
    auto restored = NSKeyedUnarchiver::unarchivedObjectOfClass<PNJSONResponseSerializer>(data, &error);
    ASSERT_TRUE(restored) << dv::str(error);
    EXPECT_EQ(restored->readingOptions(), NSJSONReadingMutableContainers);
    EXPECT_TRUE(restored->removesKeysWithNullValues());
    EXPECT_TRUE(restored->acceptableStatusCodes()->isEqual(serializer->acceptableStatusCodes()));
    EXPECT_TRUE(restored->acceptableContentTypes()->isEqual(serializer->acceptableContentTypes()));

    // A copy carries the two settings but starts from init's status codes and content types.
    auto copy = std::static_pointer_cast<PNJSONResponseSerializer>(serializer->copy());
    EXPECT_TRUE(copy->removesKeysWithNullValues());
    EXPECT_EQ(copy->readingOptions(), NSJSONReadingMutableContainers);
    EXPECT_TRUE(copy->acceptableContentTypes()->containsObject("application/json"_ns));
    EXPECT_TRUE(copy->acceptableStatusCodes()->containsIndex(299));
}

TEST_F(ResponseSerializerTest, ArchivedImageAndCompoundSerializersRoundTrip)
{
    auto image = PNImageResponseSerializer::serializer();
    image->setImageScale(3);
    image->setAutomaticallyInflatesResponseImage(false);
    auto compound = PNCompoundResponseSerializer::compoundSerializerWithResponseSerializers(NSArray::of({image}));
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(compound, true, &error);
    ASSERT_TRUE(data) << dv::str(error);
    auto restored = NSKeyedUnarchiver::unarchivedObjectOfClass<PNCompoundResponseSerializer>(data, &error);
    ASSERT_TRUE(restored) << dv::str(error);
    ASSERT_EQ(restored->responseSerializers()->count(), 1u);
    auto inner = dv::as<PNImageResponseSerializer>(restored->responseSerializers()->objectAtIndex(0));
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->imageScale(), 3);
    EXPECT_FALSE(inner->automaticallyInflatesResponseImage());
}
