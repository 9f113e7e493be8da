#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSDecimalNumber.h"
#include "platform/base/NSException.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSPropertyListSerialization.h"

#include <gtest/gtest.h>

// A record of the kind the application archives: strings, scalars and a nested record.
class ArchivedItem : public NSObject, public NSCoding {
    DV_CLASS(ArchivedItem, NSObject)

    ArchivedItem() = default;

    Ref<NSString> title;
    NSInteger count = 0;
    double ratio = 0;
    bool flag = false;
    float weight = 0;
    std::int32_t small = 0;
    Ref<NSArray> tags;
    Ref<ArchivedItem> child;
    Weak<ArchivedItem> parent;
    std::string bytes;

    void encodeWithCoder(NSCoder& coder) const override
    {
        coder.encodeObject(title, "title"_ns);
        coder.encodeInteger(count, "count"_ns);
        coder.encodeDouble(ratio, "ratio"_ns);
        coder.encodeBool(flag, "flag"_ns);
        coder.encodeFloat(weight, "weight"_ns);
        coder.encodeInt32(small, "$small"_ns);
        coder.encodeObject(tags, "tags"_ns);
        coder.encodeObject(child, "child"_ns);
        coder.encodeObject(parent.lock(), "parent"_ns);
        coder.encodeBytes(bytes.data(), bytes.size(), "bytes"_ns);
    }

    id initWithCoder(NSCoder& coder) override
    {
        title = coder.decodeObjectOfClass<NSString>("title"_ns);
        count = coder.decodeIntegerForKey("count"_ns);
        ratio = coder.decodeDoubleForKey("ratio"_ns);
        flag = coder.decodeBoolForKey("flag"_ns);
        weight = coder.decodeFloatForKey("weight"_ns);
        small = coder.decodeInt32ForKey("$small"_ns);
        tags = dv::as<NSArray>(coder.decodeObjectOfClasses({NSArray::class_(), NSString::class_()}, "tags"_ns));
        child = coder.decodeObjectOfClass<ArchivedItem>("child"_ns);
        parent = coder.decodeObjectOfClass<ArchivedItem>("parent"_ns);
        NSUInteger length = 0;
        const std::uint8_t* raw = coder.decodeBytesForKey("bytes"_ns, &length);
        bytes.assign(reinterpret_cast<const char*>(raw), length);
        return self();
    }
};
DV_DEFINE_CLASS(ArchivedItem)

// A class that can be archived but reads its title with a plain decodeObjectForKey.
class LooseItem : public NSObject, public NSCoding {
    DV_CLASS(LooseItem, NSObject)

    LooseItem() = default;
    id value;
    void encodeWithCoder(NSCoder& coder) const override { coder.encodeObject(value, "value"_ns); }
    id initWithCoder(NSCoder& coder) override
    {
        value = coder.decodeObjectForKey("value"_ns);
        return self();
    }
};
DV_DEFINE_CLASS(LooseItem)

// A coding class whose decoding raises when its record says so, as platform code called from an
// initWithCoder may.
class RaisingItem : public NSObject, public NSCoding {
    DV_CLASS(RaisingItem, NSObject)

    RaisingItem() = default;
    void encodeWithCoder(NSCoder& coder) const override { coder.encodeBool(true, "raises"_ns); }
    id initWithCoder(NSCoder& coder) override
    {
        if (coder.decodeBoolForKey("raises"_ns))
            NSException::raise(NSInvalidArgumentException, "Cannot decode this record.");
        return self();
    }
};
DV_DEFINE_CLASS(RaisingItem)

class NotCodable : public NSObject {
    DV_CLASS(NotCodable, NSObject)
public:
    NotCodable() = default;
};
DV_DEFINE_CLASS(NotCodable)

namespace {

Ref<ArchivedItem> makeItem()
{
    auto item = std::make_shared<ArchivedItem>();
    item->title = "二维码 title"_ns;
    item->count = -1234567890123;
    item->ratio = 0.25;
    item->flag = true;
    item->weight = 1.5f;
    item->small = -7;
    item->tags = NSArray::of({"a"_ns, "b"_ns, "a"_ns});
    item->bytes = std::string("\x00\x01\x02", 3);
    auto child = std::make_shared<ArchivedItem>();
    child->title = "child"_ns;
    child->parent = item;
    item->child = child;
    return item;
}

} // namespace

TEST(KeyedArchiver, RoundTripsACodingClassWithScalarsAndBackReference)
{
    auto item = makeItem();
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(item, true, &error);
    ASSERT_TRUE(data) << dv::str(error);
    EXPECT_EQ(std::string(data->view().substr(0, 8)), "bplist00");

    auto back = NSKeyedUnarchiver::unarchivedObjectOfClass<ArchivedItem>(data, &error);
    ASSERT_TRUE(back) << dv::str(error);
    EXPECT_EQ(dv::str(back->title), "二维码 title");
    EXPECT_EQ(back->count, -1234567890123);
    EXPECT_DOUBLE_EQ(back->ratio, 0.25);
    EXPECT_TRUE(back->flag);
    EXPECT_FLOAT_EQ(back->weight, 1.5f);
    EXPECT_EQ(back->small, -7);
    EXPECT_TRUE(dv::equal(back->tags, item->tags));
    EXPECT_EQ(back->bytes, item->bytes);
    ASSERT_TRUE(back->child);
    EXPECT_EQ(dv::str(back->child->title), "child");
    // The child's link to its parent comes back as the same object.
    EXPECT_EQ(back->child->parent.lock(), back);
    item->child->parent.reset();
}

TEST(KeyedArchiver, ArchiveHasThePlatformLayout)
{
    auto item = makeItem();
    auto data = NSKeyedArchiver::archivedDataWithRootObject(item, false, nullptr);
    // The unarchiver sees UIDs; the public reader refuses them, so read the XML form instead.
    auto archiver = alloc<NSKeyedArchiver>()->initRequiringSecureCoding(false);
    archiver->setOutputFormat(NSPropertyListXMLFormat_v1_0);
    archiver->encodeObject(item, NSKeyedArchiveRootObjectKey);
    auto xml = archiver->encodedData();
    ASSERT_TRUE(xml);
    std::string text(xml->view());
    for (const char* needle : {"<key>$archiver</key>", "<string>NSKeyedArchiver</string>", "<key>$version</key>", "<integer>100000</integer>",
                               "<key>$top</key>", "<key>root</key>", "<key>CF$UID</key>", "<string>$null</string>",
                               "<key>$classname</key>", "<string>ArchivedItem</string>", "<key>$classes</key>", "<key>$$small</key>",
                               "<key>NS.objects</key>"})
        EXPECT_NE(text.find(needle), std::string::npos) << needle;
    item->child->parent.reset();
    // The XML archive reads back as well.
    auto back = NSKeyedUnarchiver::unarchivedObjectOfClass<ArchivedItem>(xml, nullptr);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->count, item->count);
    EXPECT_TRUE(data);
}

TEST(KeyedArchiver, BuiltInValuesRoundTrip)
{
    auto graph = NSDictionary::of({
        {"s"_ns, "text"_ns},
        {"m"_ns, NSMutableString::stringWithString("mutable"_ns)},
        {"n"_ns, NSNumber::numberWithDouble(2.5)},
        {"d"_ns, NSDate::dateWithTimeIntervalSinceReferenceDate(12345.5)},
        {"data"_ns, NSData::fromString("bytes")},
        {"list"_ns, NSMutableArray::of({NSNull::null(), NSNumber::numberWithBool(true)})},
        {"set"_ns, NSSet::of({"x"_ns, "y"_ns})},
    });
    auto data = NSKeyedArchiver::archivedDataWithRootObject(graph, true, nullptr);
    Ref<NSError> error;
    id back = NSKeyedUnarchiver::unarchivedObjectOfClasses({NSDictionary::class_(), NSArray::class_(), NSSet::class_()}, data, &error);
    ASSERT_TRUE(back) << dv::str(error);
    EXPECT_TRUE(dv::equal(back, graph));
    auto dictionary = dv::as<NSDictionary>(back);
    EXPECT_TRUE(dv::as<NSMutableString>(dictionary->objectForKey("m")));
    EXPECT_TRUE(dv::as<NSMutableArray>(dictionary->objectForKey("list")));
    EXPECT_FALSE(dv::as<NSMutableDictionary>(back));
    EXPECT_EQ(dv::as<NSDate>(dictionary->objectForKey("d"))->timeIntervalSinceReferenceDate(), 12345.5);
    // A plain string at the top.
    EXPECT_EQ(dv::str(NSKeyedUnarchiver::unarchivedObjectOfClass(NSString::class_(), NSKeyedArchiver::archivedDataWithRootObject("top"_ns), nullptr)), "top");
}

TEST(KeyedArchiver, DecodeObjectOfClassChecksTheClass)
{
    auto data = NSKeyedArchiver::archivedDataWithRootObject("just a string"_ns, true, nullptr);
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass(NSArray::class_(), data, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4864);
    EXPECT_EQ(dv::str(error->domain()), "NSCocoaErrorDomain");

    // A class that was not asked for is refused before it is made.
    auto item = std::make_shared<ArchivedItem>();
    item->title = "x"_ns;
    data = NSKeyedArchiver::archivedDataWithRootObject(NSArray::of({item}), true, nullptr);
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass(NSArray::class_(), data, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4864);
    auto list = dv::as<NSArray>(NSKeyedUnarchiver::unarchivedObjectOfClasses({NSArray::class_(), ArchivedItem::class_()}, data, nullptr));
    ASSERT_TRUE(list);
    EXPECT_EQ(dv::str(dv::as<ArchivedItem>(list->objectAtIndex(0))->title), "x");
}

TEST(KeyedArchiver, ARecordThatRaisesWhileDecodedLeavesTheUnarchiverAtItsLevel)
{
    auto archiver = alloc<NSKeyedArchiver>()->initRequiringSecureCoding(true);
    archiver->encodeObject(std::make_shared<RaisingItem>(), "raising"_ns);
    archiver->encodeObject("after"_ns, "next"_ns);
    auto data = archiver->encodedData();
    ASSERT_TRUE(data);

    auto unarchiver = alloc<NSKeyedUnarchiver>()->initForReadingFromData(data, nullptr);
    ASSERT_TRUE(unarchiver);
    EXPECT_THROW((void)unarchiver->decodeObjectOfClass<RaisingItem>("raising"_ns), dv::RaisedException);
    // The next key is read from the top level again, with the classes asked for there.
    EXPECT_EQ(dv::str(unarchiver->decodeObjectOfClass<NSString>("next"_ns)), "after");
}

TEST(KeyedArchiver, SecureDecodingRefusesPlainDecodeObject)
{
    auto loose = std::make_shared<LooseItem>();
    loose->value = "v"_ns;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(loose, false, nullptr);
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass(LooseItem::class_(), data, &error));
    ASSERT_TRUE(error);
    auto back = dv::as<LooseItem>(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(data, &error));
    ASSERT_TRUE(back);
    EXPECT_EQ(dv::str(back->value), "v");
    EXPECT_TRUE(dv::as<LooseItem>(NSKeyedUnarchiver::unarchiveObjectWithData(data)));
}

TEST(KeyedArchiver, UncodableObjectsAndCorruptArchivesAreErrors)
{
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedArchiver::archivedDataWithRootObject(NSArray::of({std::make_shared<NotCodable>()}), true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4866);

    for (std::string bytes : {std::string(), std::string("garbage"), std::string("<plist><dict/></plist>"),
                              std::string("<plist><dict><key>$archiver</key><string>Other</string></dict></plist>")}) {
        error = nullptr;
        EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass(NSString::class_(), NSData::fromString(bytes), &error)) << bytes;
        ASSERT_TRUE(error) << bytes;
        EXPECT_EQ(error->code(), 4864);
    }

    // A reference out of range and a record whose class is unknown.
    auto archive = [](id objects, id root) {
        auto plist = NSDictionary::of({{"$archiver"_ns, "NSKeyedArchiver"_ns},
                                       {"$version"_ns, NSNumber::from(100000)},
                                       {"$top"_ns, NSDictionary::of({{"root"_ns, root}})},
                                       {"$objects"_ns, objects}});
        // UIDs are written as the XML form spells them: {"CF$UID": n}.
        auto xml = NSPropertyListSerialization::dataWithPropertyList(plist, NSPropertyListXMLFormat_v1_0, 0, nullptr);
        return xml;
    };
    auto uid = [](int n) { return NSDictionary::of({{"CF$UID"_ns, NSNumber::from(n)}}); };
    auto outOfRange = archive(NSArray::of({"$null"_ns}), uid(5));
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(outOfRange, &error));
    EXPECT_EQ(error->code(), 4864);
    auto unknown = archive(NSArray::of({"$null"_ns, NSDictionary::of({{"$class"_ns, uid(2)}}),
                                        NSDictionary::of({{"$classname"_ns, "NoSuchClass"_ns}, {"$classes"_ns, NSArray::of({"NoSuchClass"_ns})}})}),
                           uid(1));
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(unknown, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4864);
    // An array that contains itself cannot be built.
    auto cycle = archive(NSArray::of({"$null"_ns, NSDictionary::of({{"$class"_ns, uid(2)}, {"NS.objects"_ns, NSArray::of({uid(1)})}}),
                                      NSDictionary::of({{"$classname"_ns, "NSArray"_ns}, {"$classes"_ns, NSArray::of({"NSArray"_ns})}})}),
                         uid(1));
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(cycle, &error));
    ASSERT_TRUE(error);
}

namespace {

// Archives with secure coding and reads back as `cls`, asserting that both steps succeed.
id secureRoundTrip(const id& object, std::vector<Class> classes)
{
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(object, true, &error);
    EXPECT_TRUE(data) << dv::str(error);
    EXPECT_FALSE(error);
    if (!data)
        return nil;
    id back = NSKeyedUnarchiver::unarchivedObjectOfClasses(classes, data, &error);
    EXPECT_FALSE(error) << dv::str(error);
    return back;
}

} // namespace

TEST(KeyedArchiver, URLsKeepTheirTextAndBase)
{
    auto base = NSURL::URLWithString("http://example.com:8092/DV/"_ns);
    auto relative = NSURL::URLWithString("home/index.do?x=1"_ns, base);
    auto back = dv::as<NSURL>(secureRoundTrip(relative, {NSURL::class_()}));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(relative));
    EXPECT_EQ(dv::str(back->relativeString()), "home/index.do?x=1");
    EXPECT_EQ(dv::str(back->baseURL()->absoluteString()), "http://example.com:8092/DV/");
    EXPECT_EQ(dv::str(back->absoluteString()), "http://example.com:8092/DV/home/index.do?x=1");

    auto file = NSURL::fileURLWithPath("/tmp/a b.txt"_ns, false);
    EXPECT_TRUE(dv::equal(secureRoundTrip(file, {NSURL::class_()}), file));

    // Inside a collection the URL class must be named, as on the platform.
    auto list = NSArray::of({base});
    EXPECT_TRUE(dv::equal(secureRoundTrip(list, {NSArray::class_(), NSURL::class_()}), list));
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObject(list, true, nullptr);
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass(NSArray::class_(), data, &error));
    EXPECT_TRUE(error);
}

TEST(KeyedArchiver, GeometryValuesRoundTripByKind)
{
    std::vector<Ref<NSValue>> values {
        NSValue::valueWithCGRect(CGRectMake(1.5, -2, 320, 480.25)),
        NSValue::valueWithCGPoint(CGPointMake(0.1, 1e-7)),
        NSValue::valueWithCGSize(CGSizeMake(375, 667)),
        NSValue::valueWithUIEdgeInsets(UIEdgeInsets {64, 0, 49.5, 0}),
        NSValue::valueWithCGAffineTransform(CGAffineTransform {0.5, 1, -1, 0.5, 10, 20}),
        NSValue::valueWithRange(NSMakeRange(3, 18446744073709551615ULL - 3)),
        NSValue::valueWithCGVector(CGVectorMake(-3, 4)),
    };
    for (const auto& value : values) {
        auto back = dv::as<NSValue>(secureRoundTrip(value, {NSValue::class_()}));
        ASSERT_TRUE(back) << dv::str(value);
        EXPECT_TRUE(back->isEqual(value)) << dv::str(value) << " came back as " << dv::str(back);
        EXPECT_STREQ(back->objCType(), value->objCType());
    }
    // Numbers stay plain numbers beside them.
    auto mixed = NSArray::of({NSValue::valueWithCGPoint(CGPointMake(1, 2)), NSNumber::from(7)});
    EXPECT_TRUE(dv::equal(secureRoundTrip(mixed, {NSArray::class_(), NSValue::class_()}), mixed));
}

TEST(KeyedArchiver, PointersAndUnretainedObjectsCannotBeArchived)
{
    int target = 0;
    for (const auto& value : {NSValue::valueWithPointer(&target), NSValue::valueWithNonretainedObject(NSObject::new_())}) {
        Ref<NSError> error;
        EXPECT_FALSE(NSKeyedArchiver::archivedDataWithRootObject(NSArray::of({value}), false, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 4866);
    }
}

TEST(KeyedArchiver, DecimalNumbersComeBackAsDecimalNumbers)
{
    for (const char* text : {"12.50", "-0.000123456789012345678901234567890123", "99999999999999999999999999999999999999",
                             "0", "1e100", "NaN"}) {
        auto decimal = NSDecimalNumber::decimalNumberWithString(NSString::fromUTF8(text));
        auto back = dv::as<NSDecimalNumber>(secureRoundTrip(decimal, {NSDecimalNumber::class_()}));
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(dv::str(back->stringValue()), dv::str(decimal->stringValue())) << text;
        EXPECT_EQ(back->isNotANumber(), decimal->isNotANumber());
    }
    // Asked for as a number, in a dictionary beside plain numbers.
    auto prices = NSDictionary::of({{"price"_ns, NSDecimalNumber::decimalNumberWithString("0.1"_ns)}, {"count"_ns, NSNumber::from(3)}});
    auto back = dv::as<NSDictionary>(secureRoundTrip(prices, {NSDictionary::class_()}));
    ASSERT_TRUE(back);
    auto price = dv::as<NSDecimalNumber>(back->objectForKey("price"_ns));
    ASSERT_TRUE(price);
    EXPECT_EQ(dv::str(price->stringValue()), "0.1");
    EXPECT_FALSE(dv::as<NSDecimalNumber>(back->objectForKey("count"_ns)));
}

TEST(KeyedArchiver, MalformedValueAndDecimalRecordsAreErrors)
{
    auto archive = [](id record, const char* className) {
        auto uid = [](int n) { return NSDictionary::of({{"CF$UID"_ns, NSNumber::from(n)}}); };
        auto full = dv::as<NSMutableDictionary>(record->mutableCopy());
        full->setObjectForKey(uid(2), "$class"_ns);
        auto plist = NSDictionary::of({{"$archiver"_ns, "NSKeyedArchiver"_ns},
                                       {"$version"_ns, NSNumber::from(100000)},
                                       {"$top"_ns, NSDictionary::of({{"root"_ns, uid(1)}})},
                                       {"$objects"_ns, NSArray::of({"$null"_ns, full,
                                           NSDictionary::of({{"$classname"_ns, NSString::fromUTF8(className)},
                                                             {"$classes"_ns, NSArray::of({NSString::fromUTF8(className)})}})})}});
        return NSPropertyListSerialization::dataWithPropertyList(plist, NSPropertyListXMLFormat_v1_0, 0, nullptr);
    };
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(archive(NSDictionary::of({{"NS.special"_ns, NSNumber::from(42)}}), "NSValue"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4864);
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(archive(NSDictionary::of({{"NS.special"_ns, NSNumber::from(3)}}), "NSValue"), &error));
    ASSERT_TRUE(error);
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(
        archive(NSDictionary::of({{"NS.length"_ns, NSNumber::from(9)}, {"NS.mantissa"_ns, NSData::fromString("ab")}}), "NSDecimalNumber"), &error));
    ASSERT_TRUE(error);
    error = nullptr;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveTopLevelObjectWithData(archive(NSDictionary::of({{"NS.relative"_ns, "a b"_ns}}), "NSURL"), &error));
    ASSERT_TRUE(error);
}
