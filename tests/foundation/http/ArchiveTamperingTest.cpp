// Archives of the serialisers that were altered on the way (a file or a pasteboard anyone can
// write): a value of the wrong kind where a collection belongs reads as the defaults, never as an
// object taken for a class it is not.
#include "foundation/http/PNCompoundResponseSerializer.h"
#include "foundation/http/PNHTTPRequestSerializer.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "platform/base/Base.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The archive of `root` with the object record that has `key` replaced by `replacement` (a
// plain value, or a copy of another record of the archive).
Ref<NSData> tampered(const id& root, const char* key, const std::function<id(const Ref<NSArray>& objects)>& replacement)
{
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(root, true, &error);
    auto plist = dv::as<NSMutableDictionary>(NSPropertyListSerialization::propertyListWithData(data, NSPropertyListMutableContainers, nullptr, &error));
    EXPECT_TRUE(plist) << dv::str(error);
    auto objects = dv::as<NSMutableArray>(plist->objectForKey("$objects"_ns));
    int replaced = 0;
    for (NSUInteger i = 0; objects && i < objects->count(); ++i) {
        auto record = dv::as<NSDictionary>(objects->objectAtIndex(i));
        if (record && record->objectForKey(NSString::fromUTF8(key))) {
            objects->replaceObjectAtIndex(i, replacement(objects));
            ++replaced;
        }
    }
    EXPECT_EQ(replaced, 1) << key;
    return NSPropertyListSerialization::dataWithPropertyList(plist, NSPropertyListBinaryFormat_v1_0, 0, &error);
}

TEST(ArchiveTamperingTest, ValuesOfTheWrongKindInPlaceOfCollectionsLeaveTheDefaults)
{
    Ref<NSError> error;
    // The content types: a string where the set was.
    auto json = NSKeyedUnarchiver::unarchivedObjectOfClass<PNJSONResponseSerializer>(
        tampered(PNJSONResponseSerializer::serializer(), "NS.objects", [](auto&) { return "application/json"_ns; }), &error);
    ASSERT_TRUE(json) << dv::str(error);
    EXPECT_FALSE(json->acceptableContentTypes());
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(NSURL::URLWithString("http://127.0.0.1/r"_ns), 200,
        std::vector<std::pair<std::string, std::string>> { { "Content-Type", "application/json" } });
    EXPECT_TRUE(dv::as<NSDictionary>(json->responseObjectForResponse(response, NSData::fromString("{\"a\":1}"), &error)));

    // The request headers: a string where the dictionary was.
    auto request = NSKeyedUnarchiver::unarchivedObjectOfClass<PNHTTPRequestSerializer>(
        tampered(PNHTTPRequestSerializer::serializer(), "NS.keys", [](auto&) { return "User-Agent"_ns; }), &error);
    ASSERT_TRUE(request) << dv::str(error);
    ASSERT_TRUE(request->HTTPRequestHeaders());
    EXPECT_EQ(request->HTTPRequestHeaders()->count(), 0u);
    auto built = request->requestWithMethod("GET"_ns, "http://127.0.0.1/x"_ns, nil, &error);
    EXPECT_TRUE(built) << dv::str(error);

    // The serialisers of a compound one: one serialiser where the array of them was.
    auto inner = [](const Ref<NSArray>& objects) -> id {
        for (const id& object : *objects) {
            auto record = dv::as<NSDictionary>(object);
            if (record && record->objectForKey("acceptableStatusCodes"_ns) && !record->objectForKey("responseSerializers"_ns))
                return record;
        }
        return nil;
    };
    auto compound = NSKeyedUnarchiver::unarchivedObjectOfClass<PNCompoundResponseSerializer>(
        tampered(PNCompoundResponseSerializer::compoundSerializerWithResponseSerializers(NSArray::of({ PNHTTPResponseSerializer::serializer() })),
            "NS.objects", inner),
        &error);
    ASSERT_TRUE(compound) << dv::str(error);
    EXPECT_FALSE(compound->responseSerializers());
    // With no serialisers of its own it validates as a plain HTTP serialiser.
    EXPECT_TRUE(dv::as<NSData>(compound->responseObjectForResponse(response, NSData::fromString("{}"), &error)));
}

} // namespace
