#include "TestModels.h"

#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSTimeZone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

Ref<NSDictionary> jsonOf(const id& model)
{
    return dv::as<NSDictionary>(mm_modelToJSONObject(model));
}

// Makes `zone` the process's default time zone (the device's zone) for a test.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : m_old(NSTimeZone::defaultTimeZone())
    {
        NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName(NSString::fromUTF8(zone)));
    }
    ~ScopedTimeZone() { NSTimeZone::setDefaultTimeZone(m_old); }

private:
    Ref<NSTimeZone> m_old;
};

TEST(MMModelSerializationTest, ReplyRecordWritesOnlyPresentProperties)
{
    auto record = alloc<TMReplyRecord>();
    record->m_title = "abc"_ns;
    auto json = jsonOf(record);
    ASSERT_TRUE(json);
    EXPECT_TRUE(json->isEqual(NSDictionary::of({{"title"_ns, "abc"_ns}}).get()));

    auto empty = jsonOf(alloc<TMReplyRecord>());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count(), 0u);
    EXPECT_FALSE(mm_modelToJSONObject(alloc<TMEmpty>()));
    EXPECT_FALSE(mm_modelToJSONObject("text"_ns));
    EXPECT_FALSE(mm_modelToJSONObject(nil));
    auto array = NSArray::of({"a"_ns});
    EXPECT_EQ(mm_modelToJSONObject(array).get(), static_cast<NSObject*>(array.get()));
}

TEST(MMModelSerializationTest, JSONTextAndRoundTrip)
{
    auto record = alloc<TMReplyRecord>();
    record->m_title = "abc"_ns;
    EXPECT_EQ(dv::str(mm_modelToJSONString(record)), R"({"title":"abc"})");
    auto data = mm_modelToJSONData(record);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->view(), R"({"title":"abc"})");
    EXPECT_FALSE(mm_modelToJSONString(alloc<TMEmpty>()));
    EXPECT_FALSE(mm_modelToJSONData("text"_ns));

    auto model = alloc<TMMapped>();
    model->m_userName = "名字"_ns;
    model->m_userId = 12;
    model->m_identifier = "id-1"_ns;
    model->m_title = "t"_ns;
    model->m_plain = "p/q"_ns;
    auto text = mm_modelToJSONString(model);
    ASSERT_TRUE(text);
    auto back = mm_modelWithJSON<TMMapped>(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(dv::str(back->m_userName), "名字");
    EXPECT_EQ(back->m_userId, 12);
    EXPECT_EQ(dv::str(back->m_identifier), "id-1");
    EXPECT_EQ(dv::str(back->m_title), "t");
    EXPECT_EQ(dv::str(back->m_heading), "t"); // shares the key with title
    EXPECT_EQ(dv::str(back->m_plain), "p/q");

    auto everything = alloc<TMEverything>();
    everything->m_int64 = -5;
    everything->m_uint64 = 18446744073709551615ull;
    everything->m_double = 0.1;
    everything->m_flag = true;
    everything->m_string = "s"_ns;
    everything->m_authors = NSArray::of({alloc<TMAuthor>()});
    auto again = mm_modelWithJSON<TMEverything>(mm_modelToJSONData(everything));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->m_int64, -5);
    EXPECT_EQ(again->m_uint64, 18446744073709551615ull);
    EXPECT_DOUBLE_EQ(again->m_double, 0.1);
    EXPECT_TRUE(again->m_flag);
    EXPECT_EQ(dv::str(again->m_string), "s");
    ASSERT_TRUE(again->m_authors);
    EXPECT_EQ(again->m_authors->count(), 1u);
    EXPECT_TRUE(dv::as<TMAuthor>(again->m_authors->objectAtIndex(0)));
}

TEST(MMModelSerializationTest, NonFiniteNumberObjectGivesNoJSONText)
{
    auto model = alloc<TMEverything>();
    model->m_number = NSNumber::from(std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(mm_modelToJSONObject(model)); // the object keeps it
    EXPECT_FALSE(mm_modelToJSONData(model));
    EXPECT_FALSE(mm_modelToJSONString(model));
}

TEST(MMModelSerializationTest, ValueKindsAndScalars)
{
    ScopedTimeZone zone("Asia/Shanghai");
    auto model = alloc<TMEverything>();
    model->m_date = NSDate::dateWithTimeIntervalSince1970(1451703845); // 2016-01-02 03:04:05 UTC
    model->m_url = NSURL::URLWithString("http://a.cn/x"_ns);
    model->m_data = NSData::fromString("bytes");
    model->m_float = std::numeric_limits<float>::quiet_NaN();
    model->m_double = 2.5;
    model->m_uint64 = std::numeric_limits<unsigned long long>::max();
    model->m_flag = true;
    model->m_cls = TMAuthor::class_();
    model->m_selector = SEL("run:");
    model->m_rect = {{1, 2}, {3, 4}};
    model->m_string = "s"_ns;
    auto attributed = alloc<NSMutableAttributedString>()->initWithString("富文本"_ns);
    attributed->addAttribute(NSLinkAttributeName, "x"_ns, NSMakeRange(0, 1));
    model->m_attributed = attributed;

    auto json = jsonOf(model);
    ASSERT_TRUE(json);
    EXPECT_EQ(dv::str(json->objectForKey("date")), "2016-01-02T11:04:05+0800");
    EXPECT_EQ(dv::str(json->objectForKey("url")), "http://a.cn/x");
    EXPECT_FALSE(json->objectForKey("data"));
    EXPECT_FALSE(json->objectForKey("float"));
    EXPECT_FALSE(json->objectForKey("rect"));
    EXPECT_FALSE(json->objectForKey("author"));
    auto uint64 = dv::as<NSNumber>(json->objectForKey("uint64"));
    ASSERT_TRUE(uint64);
    EXPECT_EQ(uint64->unsignedLongLongValue(), std::numeric_limits<unsigned long long>::max());
    auto flag = dv::as<NSNumber>(json->objectForKey("flag"));
    ASSERT_TRUE(flag);
    EXPECT_TRUE(flag->isBoolean());
    EXPECT_DOUBLE_EQ(dv::as<NSNumber>(json->objectForKey("double"))->doubleValue(), 2.5);
    EXPECT_EQ(dv::str(json->objectForKey("cls")), "TMAuthor");
    EXPECT_EQ(dv::str(json->objectForKey("selector")), "run:");
    EXPECT_EQ(dv::str(json->objectForKey("string")), "s");
    auto attributedText = dv::as<NSString>(json->objectForKey("attributed")); // its characters only
    ASSERT_TRUE(attributedText);
    EXPECT_EQ(dv::str(attributedText), "富文本");
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(json));
}

TEST(MMModelSerializationTest, DateOffsetFollowsTheCurrentZone)
{
    ScopedTimeZone zone("America/New_York");
    auto model = alloc<TMEverything>();
    model->m_date = NSDate::dateWithTimeIntervalSince1970(1451703845);
    EXPECT_EQ(dv::str(jsonOf(model)->objectForKey("date")), "2016-01-01T22:04:05-0500");
}

TEST(MMModelSerializationTest, ContainersAreMadeWritable)
{
    auto model = alloc<TMEverything>();
    auto numberKeys = NSMutableDictionary::dictionary();
    numberKeys->setObjectForKey("one"_ns, NSNumber::from(1));
    model->m_dictionary = numberKeys;
    model->m_array = NSArray::of({NSNull::null(), "kept"_ns, NSData::fromString("x"), NSDate::dateWithTimeIntervalSince1970(0)});
    model->m_mutableDictionary = NSMutableDictionary::of({{"null"_ns, NSNull::null()}, {"data"_ns, NSData::fromString("x")}});
    auto author = alloc<TMAuthor>();
    author->m_name = "a"_ns;
    model->m_author = author;
    model->m_set = NSSet::of({author});

    auto json = jsonOf(model);
    ASSERT_TRUE(json);
    auto dictionary = dv::as<NSDictionary>(json->objectForKey("dictionary"));
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dv::str(dictionary->objectForKey("1")), "one");

    auto array = dv::as<NSArray>(json->objectForKey("array"));
    ASSERT_TRUE(array);
    ASSERT_EQ(array->count(), 2u); // NSNull and data dropped, the date written as text
    EXPECT_EQ(dv::str(array->objectAtIndex(0)), "kept");
    EXPECT_TRUE(dv::as<NSString>(array->objectAtIndex(1)));

    auto kept = dv::as<NSDictionary>(json->objectForKey("mutableDictionary"));
    ASSERT_TRUE(kept);
    EXPECT_TRUE(dv::as<NSNull>(kept->objectForKey("null")));
    EXPECT_TRUE(dv::as<NSNull>(kept->objectForKey("data")));

    auto nested = dv::as<NSDictionary>(json->objectForKey("author"));
    ASSERT_TRUE(nested);
    EXPECT_EQ(dv::str(nested->objectForKey("name")), "a");
    auto set = dv::as<NSArray>(json->objectForKey("set"));
    ASSERT_TRUE(set);
    ASSERT_EQ(set->count(), 1u);
    EXPECT_TRUE(dv::as<NSDictionary>(set->objectAtIndex(0)));
}

TEST(MMModelSerializationTest, KeyPathsBuildNestedDictionaries)
{
    auto model = alloc<TMMapped>();
    model->m_userName = "n"_ns;
    model->m_userId = 7;
    model->m_identifier = "i"_ns;
    model->m_unmappedEmpty = "never"_ns;
    model->m_title = "title"_ns;
    auto json = jsonOf(model);
    ASSERT_TRUE(json);
    auto user = dv::as<NSDictionary>(json->objectForKey("user"));
    ASSERT_TRUE(user);
    EXPECT_EQ(dv::str(user->objectForKey("name")), "n");
    EXPECT_EQ(dv::as<NSNumber>(user->objectForKey("id"))->intValue(), 7);
    EXPECT_EQ(dv::str(json->objectForKey("id")), "i"); // the first of several keys
    EXPECT_FALSE(json->objectForKey("unmappedEmpty"));
    EXPECT_FALSE(json->objectForKey("ID"));
    // `heading` shares the key "t" and is nil: the filled `title` is still written.
    EXPECT_EQ(dv::str(json->objectForKey("t")), "title");
}

TEST(MMModelSerializationTest, KeyPathMeetingAStringKeepsTheFirstWritten)
{
    auto model = alloc<TMConflict>();
    model->m_user = "plain"_ns;
    model->m_userName = "nested"_ns;
    auto json = jsonOf(model);
    ASSERT_TRUE(json);
    ASSERT_EQ(json->count(), 1u);
    id user = json->objectForKey("user");
    if (auto nested = dv::as<NSDictionary>(user))
        EXPECT_EQ(dv::str(nested->objectForKey("name")), "nested");
    else
        EXPECT_EQ(dv::str(user), "plain");

    model->m_user = nil; // the path alone builds the nested dictionary
    auto pathOnly = jsonOf(model);
    auto nested = dv::as<NSDictionary>(pathOnly->objectForKey("user"));
    ASSERT_TRUE(nested);
    EXPECT_EQ(dv::str(nested->objectForKey("name")), "nested");
}

TEST(MMModelSerializationTest, TransformToDictionaryHook)
{
    auto model = alloc<TMHooked>();
    model->m_name = "n"_ns;
    model->m_secret = "s"_ns;
    auto json = jsonOf(model);
    ASSERT_TRUE(json);
    EXPECT_EQ(dv::str(json->objectForKey("written")), "yes");
    EXPECT_FALSE(json->objectForKey("secret"));
    model->m_refuse = true;
    EXPECT_FALSE(mm_modelToJSONObject(model));
}

TEST(MMModelSerializationTest, ReadOnlyPropertyIsWritten)
{
    auto json = jsonOf(alloc<TMReadOnly>());
    ASSERT_TRUE(json);
    EXPECT_EQ(dv::str(json->objectForKey("fixed")), "fixed");
}

TEST(MMModelSerializationTest, SelfReferenceDoesNotRecurseForever)
{
    auto model = alloc<TMEverything>();
    model->m_anything = model;
    auto json = jsonOf(model);
    EXPECT_TRUE(json);
    model->m_anything = nil; // break the cycle
}

TEST(MMModelSerializationTest, CopySharesObjectsAndCopiesValues)
{
    auto model = alloc<TMEverything>();
    model->m_array = NSMutableArray::of({"a"_ns});
    model->m_int16 = -7;
    model->m_longDouble = 1.25L;
    model->m_rect = {{1, 2}, {3, 4}};
    model->m_selector = SEL("go");
    model->m_cls = TMAuthor::class_();
    model->m_block = [](int x) { return x + 1; };
    model->m_string = "s"_ns;

    auto copy = dv::as<TMEverything>(mm_modelCopy(model));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), model.get());
    EXPECT_EQ(copy->m_array.get(), model->m_array.get());
    EXPECT_EQ(copy->m_int16, -7);
    EXPECT_EQ(copy->m_longDouble, 1.25L);
    EXPECT_EQ(copy->m_rect, model->m_rect);
    EXPECT_EQ(copy->m_selector, SEL("go"));
    EXPECT_EQ(copy->m_cls, TMAuthor::class_());
    ASSERT_TRUE(copy->m_block);
    EXPECT_EQ(copy->m_block(1), 2);
    EXPECT_EQ(dv::str(copy->m_string), "s");

    auto string = "value"_ns;
    EXPECT_TRUE(dv::equal(mm_modelCopy(string), string));
    EXPECT_EQ(mm_modelCopy(NSNull::null()).get(), static_cast<NSObject*>(NSNull::null().get()));
}

TEST(MMModelSerializationTest, HashAndEqualityByProperties)
{
    auto a = alloc<TMHashed>();
    auto b = alloc<TMHashed>();
    a->m_name = b->m_name = "n"_ns;
    a->m_count = b->m_count = 3;
    a->m_items = NSArray::of({"x"_ns});
    b->m_items = NSArray::of({"x"_ns});
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_TRUE(a->isEqual(b.get()));
    EXPECT_TRUE(dv::equal(a, mm_modelCopy(a)));

    b->m_count = 4;
    EXPECT_FALSE(a->isEqual(b.get()));
    b->m_count = 3;
    b->m_name = nil;
    EXPECT_FALSE(a->isEqual(b.get()));
    EXPECT_FALSE(b->isEqual(a.get()));

    auto child = alloc<TMHashedChild>();
    child->m_name = "n"_ns;
    child->m_count = 3;
    child->m_items = a->m_items;
    EXPECT_FALSE(a->isEqual(child.get()));
    EXPECT_FALSE(mm_modelIsEqual(a.get(), nullptr));

    // Without an overridden hash, only the same object is equal.
    auto r1 = alloc<TMReplyRecord>();
    auto r2 = alloc<TMReplyRecord>();
    r1->m_title = r2->m_title = "t"_ns;
    EXPECT_TRUE(mm_modelIsEqual(r1.get(), r1.get()));
    EXPECT_FALSE(mm_modelIsEqual(r1.get(), r2.get()));
    EXPECT_EQ(mm_modelHash(r1), mm_modelHash(r2));

    // No comparable property: the hash is the object's address.
    auto empty = alloc<TMEmpty>();
    EXPECT_EQ(mm_modelHash(empty), reinterpret_cast<NSUInteger>(empty.get()));
    EXPECT_EQ(mm_modelHash("s"_ns), "s"_ns->hash());
}

} // namespace
