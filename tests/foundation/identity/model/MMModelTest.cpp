#include "TestModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace {

Ref<TMEverything> fill(const char* key, const id& value)
{
    auto model = alloc<TMEverything>();
    EXPECT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{NSString::stringWithUTF8String(key), value}})));
    return model;
}

id text(const char* value) { return NSString::stringWithUTF8String(value); }

double since1970(const Ref<NSDate>& date) { return date ? date->timeIntervalSince1970() : -1; }

// MARK: - Reply records

TEST(MMModelTest, ReplyRecordTakesStringsNumbersAsTextAndNullAsNil)
{
    auto record = mm_modelWithDictionary<TMReplyRecord>(
        NSDictionary::of({{"title"_ns, "扫码加群"_ns}, {"status"_ns, NSNumber::from(1)}, {"areaId"_ns, NSNull::null()}}));
    ASSERT_TRUE(record);
    EXPECT_EQ(dv::str(record->m_title), "扫码加群");
    EXPECT_EQ(dv::str(record->m_status), "1");
    EXPECT_FALSE(record->m_areaId);
    EXPECT_FALSE(record->m_account);
}

TEST(MMModelTest, DictionaryWithMoreKeysThanPropertiesGivesTheSameResult)
{
    auto record = mm_modelWithDictionary<TMReplyRecord>(NSDictionary::of({
        {"title"_ns, "t"_ns}, {"status"_ns, NSNumber::from(12.5)}, {"areaId"_ns, NSNull::null()},
        {"a"_ns, "1"_ns}, {"b"_ns, "2"_ns}, {"c"_ns, "3"_ns}, {"account"_ns, "acc"_ns}}));
    ASSERT_TRUE(record);
    EXPECT_EQ(dv::str(record->m_title), "t");
    EXPECT_EQ(dv::str(record->m_status), "12.5");
    EXPECT_FALSE(record->m_areaId);
    EXPECT_EQ(dv::str(record->m_account), "acc");
}

TEST(MMModelTest, WrongKindUnderStringPropertyLeavesItUnchanged)
{
    auto record = alloc<TMReplyRecord>();
    record->m_title = "keep"_ns;
    EXPECT_TRUE(mm_modelSetWithDictionary(record, NSDictionary::of({{"title"_ns, NSDictionary::of({{"a"_ns, "b"_ns}})}})));
    EXPECT_EQ(dv::str(record->m_title), "keep");
    EXPECT_TRUE(mm_modelSetWithDictionary(record, NSDictionary::of({{"title"_ns, NSArray::of({"x"_ns})}})));
    EXPECT_EQ(dv::str(record->m_title), "keep");
}

TEST(MMModelTest, ModelWithDictionaryRejectsNonDictionaries)
{
    EXPECT_FALSE(mm_modelWithDictionary<TMReplyRecord>(nil));
    EXPECT_FALSE(mm_modelWithDictionary<TMReplyRecord>(NSNull::null()));
    EXPECT_FALSE(mm_modelWithDictionary<TMReplyRecord>(NSArray::of({"x"_ns})));
    auto empty = mm_modelWithDictionary<TMReplyRecord>(NSDictionary::dictionary());
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->m_title);
    EXPECT_FALSE(mm_modelWithDictionary<TMEmpty>(NSDictionary::of({{"x"_ns, "y"_ns}})));
    EXPECT_FALSE(mm_modelWithDictionary(Nil, NSDictionary::dictionary()));
    EXPECT_FALSE(mm_modelSetWithDictionary(nil, NSDictionary::dictionary()));
}

// MARK: - Numbers

TEST(MMModelTest, IntegerFromWordsTextAndNumbers)
{
    EXPECT_EQ(fill("int32", "true"_ns)->m_int32, 1);
    EXPECT_EQ(fill("int32", "YES"_ns)->m_int32, 1);
    EXPECT_EQ(fill("int32", "yes"_ns)->m_int32, 1);
    EXPECT_EQ(fill("int32", "false"_ns)->m_int32, 0);
    EXPECT_EQ(fill("int32", "12abc"_ns)->m_int32, 12);
    EXPECT_EQ(fill("int32", "1e3"_ns)->m_int32, 1);
    EXPECT_EQ(fill("int32", "  -42"_ns)->m_int32, -42);
    EXPECT_EQ(fill("int32", NSNumber::from(3.7))->m_int32, 3);

    // Values that give no number set zero.
    for (const id& nothing : {id("null"_ns), id("<null>"_ns), id(NSNull::null()), id(NSDictionary::dictionary())}) {
        auto model = alloc<TMEverything>();
        model->m_int32 = 9;
        ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"int32"_ns, nothing}})));
        EXPECT_EQ(model->m_int32, 0) << dv::str(nothing);
    }
    // Number words are matched exactly.
    EXPECT_EQ(fill("flag", "No"_ns)->m_flag, false);
    EXPECT_EQ(fill("flag", "Yes"_ns)->m_flag, true);
    EXPECT_EQ(fill("int32", "tRUE"_ns)->m_int32, 0);
}

TEST(MMModelTest, EveryIntegerWidthAndFloatingPoint)
{
    EXPECT_EQ(fill("int8", "-5"_ns)->m_int8, -5);
    EXPECT_EQ(fill("uint8", "200"_ns)->m_uint8, 200);
    EXPECT_EQ(fill("int16", "-30000"_ns)->m_int16, -30000);
    EXPECT_EQ(fill("uint16", "60000"_ns)->m_uint16, 60000);
    EXPECT_EQ(fill("uint32", "4000000000"_ns)->m_uint32, 4000000000u);
    EXPECT_EQ(fill("int64", "-9000000000000"_ns)->m_int64, -9000000000000LL);
    EXPECT_FLOAT_EQ(fill("float", "2.25"_ns)->m_float, 2.25f);
    EXPECT_DOUBLE_EQ(fill("double", "3.5"_ns)->m_double, 3.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(fill("longDouble", NSNumber::from(1.5))->m_longDouble), 1.5);
    EXPECT_EQ(fill("flag", NSNumber::from(2))->m_flag, true);
}

// Out-of-range text saturates instead of overflowing (as atoll does), and large unsigned values
// survive in unsigned properties.
TEST(MMModelTest, IntegerOverflowIsDefined)
{
    EXPECT_EQ(fill("uint64", "18446744073709551615"_ns)->m_uint64, std::numeric_limits<unsigned long long>::max());
    EXPECT_EQ(fill("uint64", "9223372036854775808"_ns)->m_uint64, 9223372036854775808ull);
    EXPECT_EQ(fill("uint64", NSNumber::numberWithUnsignedLongLong(18446744073709551000ull))->m_uint64, 18446744073709551000ull);
    EXPECT_EQ(fill("int64", "99999999999999999999999"_ns)->m_int64, std::numeric_limits<long long>::max());
    EXPECT_EQ(fill("int64", "-99999999999999999999999"_ns)->m_int64, std::numeric_limits<long long>::min());
    EXPECT_EQ(fill("int64", "-9223372036854775808"_ns)->m_int64, std::numeric_limits<long long>::min());
    EXPECT_EQ(fill("uint64", "99999999999999999999999"_ns)->m_uint64, std::numeric_limits<unsigned long long>::max());
    auto number = dv::as<NSNumber>(fill("number", "9223372036854775808"_ns)->m_number);
    ASSERT_TRUE(number);
    EXPECT_EQ(number->unsignedLongLongValue(), 9223372036854775808ull);
}

TEST(MMModelTest, NonFiniteAndOutOfRangeDoublesToIntegersAreDefined)
{
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(fill("int32", NSNumber::from(nan))->m_int32, 0);
    EXPECT_EQ(fill("int64", NSNumber::from(nan))->m_int64, 0);
    EXPECT_EQ(fill("int32", NSNumber::from(1e20))->m_int32, std::numeric_limits<int>::max());
    EXPECT_EQ(fill("int32", NSNumber::from(-1e20))->m_int32, std::numeric_limits<int>::min());
    EXPECT_EQ(fill("uint64", NSNumber::from(1e30))->m_uint64, std::numeric_limits<unsigned long long>::max());
    EXPECT_EQ(fill("int64", NSNumber::from(inf))->m_int64, std::numeric_limits<long long>::max());
    EXPECT_EQ(fill("uint8", NSNumber::from(-3))->m_uint8, 253); // an integer narrows as C converts it
    EXPECT_EQ(fill("int8", NSNumber::from(300))->m_int8, 44);
    EXPECT_EQ(fill("int64", NSNumber::numberWithUnsignedLongLong(18446744073709551615ull))->m_int64, -1);
    EXPECT_EQ(fill("float", NSNumber::from(nan))->m_float, 0.0f);
    EXPECT_EQ(fill("double", NSNumber::from(inf))->m_double, 0.0);
    EXPECT_EQ(fill("double", "1e999.5"_ns)->m_double, 0.0);
    EXPECT_EQ(fill("double", "nan.0"_ns)->m_double, 0.0);
    EXPECT_EQ(fill("float", NSNumber::from(1e300))->m_float, 0.0f); // infinite as a float
}

// Decimal numbers reach integer properties through their exact text; a value above 2^63-1 in an
// unsigned property survives.
TEST(MMModelTest, DecimalNumbers)
{
    auto exact = NSDecimalNumber::decimalNumberWithString("9007199254740993"_ns); // not a double
    EXPECT_EQ(fill("int64", exact)->m_int64, 9007199254740993LL);
    EXPECT_EQ(fill("uint64", NSDecimalNumber::decimalNumberWithString("18446744073709551615"_ns))->m_uint64,
              std::numeric_limits<unsigned long long>::max());
    EXPECT_EQ(fill("uint64", NSDecimalNumber::decimalNumberWithString("12345678901234567890"_ns))->m_uint64, 12345678901234567890ull);
    EXPECT_EQ(fill("int64", NSDecimalNumber::decimalNumberWithString("-42"_ns))->m_int64, -42);

    EXPECT_EQ(fill("decimal", exact)->m_decimal.get(), exact.get());
    auto fromNumber = fill("decimal", NSNumber::from(12))->m_decimal;
    ASSERT_TRUE(fromNumber);
    EXPECT_EQ(dv::str(fromNumber->stringValue()), "12");
    auto fromText = fill("decimal", "1.25"_ns)->m_decimal;
    ASSERT_TRUE(fromText);
    EXPECT_EQ(dv::str(fromText->stringValue()), "1.25");
    auto keeps = alloc<TMEverything>();
    keeps->m_decimal = exact;
    ASSERT_TRUE(mm_modelSetWithDictionary(keeps, NSDictionary::of({{"decimal"_ns, "abc"_ns}})));
    EXPECT_FALSE(keeps->m_decimal);
    keeps->m_decimal = exact;
    ASSERT_TRUE(mm_modelSetWithDictionary(keeps, NSDictionary::of({{"decimal"_ns, NSArray::array()}})));
    EXPECT_EQ(keeps->m_decimal.get(), exact.get());
}

// MARK: - Foundation kinds

TEST(MMModelTest, StringKinds)
{
    EXPECT_EQ(dv::str(fill("string", NSNumber::from(42))->m_string), "42");
    EXPECT_EQ(dv::str(fill("string", NSURL::URLWithString("http://a.cn/x?y=1"_ns))->m_string), "http://a.cn/x?y=1");
    // An attributed string gives its characters; a mutable property gets a mutable copy of them.
    auto attributed = alloc<NSMutableAttributedString>()->initWithString("标题"_ns, NSDictionary::of({{NSLinkAttributeName, "x"_ns}}));
    auto fromAttributed = fill("string", attributed)->m_string;
    ASSERT_TRUE(fromAttributed);
    EXPECT_EQ(dv::str(fromAttributed), "标题");
    EXPECT_FALSE(dv::as<NSMutableString>(std::static_pointer_cast<NSObject>(fromAttributed)));
    auto mutableFromAttributed = fill("mutableString", attributed)->m_mutableString;
    ASSERT_TRUE(mutableFromAttributed);
    EXPECT_EQ(mutableFromAttributed->utf8(), "标题");
    // An attributed-string property takes attributed strings only: text leaves it as it was.
    EXPECT_TRUE(dv::equal(fill("attributed", attributed)->m_attributed, attributed));
    EXPECT_FALSE(fill("attributed", "plain"_ns)->m_attributed);
    // A dictionary builds the property's class as a model: an empty attributed string, safely.
    auto built = fill("attributed", NSDictionary::of({{"string"_ns, "x"_ns}}))->m_attributed;
    ASSERT_TRUE(built);
    EXPECT_EQ(built->length(), 0u);
    EXPECT_EQ(dv::str(built->description()), "");
    auto fromData = fill("string", NSData::fromString("数据"));
    EXPECT_EQ(dv::str(fromData->m_string), "数据");
    auto badData = fill("string", NSData::fromString("\xff\xfe"));
    EXPECT_FALSE(badData->m_string);

    auto source = NSMutableString::stringWithString("mutable"_ns);
    auto copied = fill("string", source);
    EXPECT_NE(static_cast<NSObject*>(copied->m_string.get()), static_cast<NSObject*>(source.get())); // copied on assignment
    EXPECT_FALSE(dv::as<NSMutableString>(std::static_pointer_cast<NSObject>(copied->m_string)));

    auto immutable = "fixed"_ns;
    auto mutableModel = fill("mutableString", immutable);
    ASSERT_TRUE(mutableModel->m_mutableString);
    EXPECT_EQ(mutableModel->m_mutableString->utf8(), "fixed");
    EXPECT_EQ(fill("mutableString", NSNumber::from(7))->m_mutableString->utf8(), "7");

    auto withValue = alloc<TMEverything>();
    withValue->m_string = "x"_ns;
    ASSERT_TRUE(mm_modelSetWithDictionary(withValue, NSDictionary::of({{"string"_ns, NSNull::null()}})));
    EXPECT_FALSE(withValue->m_string);
}

TEST(MMModelTest, ValueNumberAndDataKinds)
{
    auto point = NSValue::valueWithCGPoint({1, 2});
    EXPECT_EQ(fill("value", point)->m_value.get(), point.get());
    EXPECT_TRUE(fill("value", NSNumber::from(3))->m_value);
    EXPECT_FALSE(fill("value", "x"_ns)->m_value);

    auto number = fill("number", "12"_ns)->m_number;
    ASSERT_TRUE(number);
    EXPECT_EQ(number->intValue(), 12);
    EXPECT_DOUBLE_EQ(fill("number", "2.5"_ns)->m_number->doubleValue(), 2.5);
    EXPECT_TRUE(fill("number", "true"_ns)->m_number->boolValue());
    EXPECT_FALSE(fill("number", "null"_ns)->m_number);
    EXPECT_FALSE(fill("number", NSArray::array())->m_number);

    auto data = fill("data", "bytes"_ns)->m_data;
    ASSERT_TRUE(data);
    EXPECT_EQ(data->view(), "bytes");
    auto mutableData = fill("mutableData", NSData::fromString("abc"))->m_mutableData;
    ASSERT_TRUE(mutableData);
    mutableData->appendBytes("d", 1);
    EXPECT_EQ(mutableData->view(), "abcd");
    EXPECT_FALSE(fill("data", NSNumber::from(1))->m_data);
}

TEST(MMModelTest, DatesInEveryReplyForm)
{
    // 2016-01-02 03:04:05 UTC
    const double moment = 1451703845;
    EXPECT_EQ(since1970(fill("date", "2016-01-02"_ns)->m_date), 1451692800);
    EXPECT_EQ(since1970(fill("date", "2016-01-02T03:04:05"_ns)->m_date), moment);
    EXPECT_EQ(since1970(fill("date", "2016-01-02 03:04:05"_ns)->m_date), moment);
    EXPECT_EQ(since1970(fill("date", "2016-01-02T03:04:05Z"_ns)->m_date), moment);
    EXPECT_EQ(since1970(fill("date", "2016-01-02T11:04:05+0800"_ns)->m_date), moment);
    EXPECT_EQ(since1970(fill("date", "2016-01-01T22:34:05-04:30"_ns)->m_date), moment);
    EXPECT_EQ(since1970(fill("date", "Sat Jan 02 11:04:05 +0800 2016"_ns)->m_date), moment);
    EXPECT_EQ(since1970(fill("date", "2000-02-29"_ns)->m_date), 951782400);

    for (const char* bad : {"2016-01-02T03:04:05.123", "2016-01-02T03:04:05.123Z+08:00:00:00:00", "2016-13-02",
                            "2015-02-29", "2016-01-02X03:04:05", "2016-01-02T24:00:00", "2016-01-02T03:04:05+2500",
                            "Sat Foo 02 11:04:05 +0800 2016", "", "2016/01/02"}) {
        auto model = alloc<TMEverything>();
        model->m_date = NSDate::dateWithTimeIntervalSince1970(1);
        ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"date"_ns, text(bad)}})));
        EXPECT_FALSE(model->m_date) << bad;
    }
    auto date = NSDate::dateWithTimeIntervalSince1970(5);
    EXPECT_EQ(fill("date", date)->m_date.get(), date.get());
    EXPECT_FALSE(fill("date", NSNumber::from(5))->m_date);
}

TEST(MMModelTest, URLs)
{
    EXPECT_FALSE(fill("url", "  "_ns)->m_url);
    auto url = NSURL::URLWithString("http://a.cn/"_ns);
    EXPECT_EQ(fill("url", url)->m_url.get(), url.get());
    auto trimmed = fill("url", " http://a.cn/p?q=1\n"_ns)->m_url;
    ASSERT_TRUE(trimmed);
    EXPECT_EQ(dv::str(trimmed->absoluteString()), "http://a.cn/p?q=1");
    EXPECT_FALSE(fill("url", "http://a b"_ns)->m_url);
}

TEST(MMModelTest, ContainersWithGenericClasses)
{
    auto built = alloc<TMAuthor>();
    built->m_name = "built"_ns;
    auto authors = fill("authors", NSArray::of({NSDictionary::of({{"name"_ns, "a"_ns}, {"age"_ns, "30"_ns}}), built, "skip"_ns,
                                                NSDictionary::of({{"name"_ns, "b"_ns}})}))
                       ->m_authors;
    ASSERT_TRUE(authors);
    ASSERT_EQ(authors->count(), 3u);
    auto first = dv::as<TMAuthor>(authors->objectAtIndex(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(dv::str(first->m_name), "a");
    EXPECT_EQ(first->m_age, 30);
    EXPECT_EQ(authors->objectAtIndex(1).get(), built.get());
    EXPECT_EQ(dv::str(dv::as<TMAuthor>(authors->objectAtIndex(2))->m_name), "b");
    EXPECT_TRUE(dv::as<NSMutableArray>(std::static_pointer_cast<NSObject>(authors)));

    auto fromSet = fill("authors", NSSet::of({NSDictionary::of({{"name"_ns, "s"_ns}})}))->m_authors;
    ASSERT_TRUE(fromSet);
    EXPECT_EQ(fromSet->count(), 1u);

    auto unchanged = alloc<TMEverything>();
    ASSERT_TRUE(mm_modelSetWithDictionary(unchanged, NSDictionary::of({{"authors"_ns, "text"_ns}})));
    EXPECT_FALSE(unchanged->m_authors);

    auto byKey = fill("authorsByKey", NSDictionary::of({{"x"_ns, NSDictionary::of({{"name"_ns, "x"_ns}})}, {"y"_ns, "no"_ns}}))->m_authorsByKey;
    ASSERT_TRUE(byKey);
    EXPECT_EQ(byKey->count(), 1u);
    EXPECT_EQ(dv::str(dv::as<TMAuthor>(byKey->objectForKey("x"))->m_name), "x");

    auto emptySet = fill("authorSet", "text"_ns)->m_authorSet;
    ASSERT_TRUE(emptySet);
    EXPECT_EQ(emptySet->count(), 0u);
    auto authorSet = fill("authorSet", NSArray::of({NSDictionary::of({{"name"_ns, "q"_ns}})}))->m_authorSet;
    ASSERT_TRUE(authorSet);
    EXPECT_EQ(authorSet->count(), 1u);
}

TEST(MMModelTest, ContainersWithoutGenericClasses)
{
    auto array = NSArray::of({"a"_ns, NSNumber::from(1)});
    EXPECT_EQ(fill("array", array)->m_array.get(), array.get());
    auto mutableArray = fill("mutableArray", array)->m_mutableArray;
    ASSERT_TRUE(mutableArray);
    EXPECT_NE(static_cast<NSObject*>(mutableArray.get()), static_cast<NSObject*>(array.get()));
    mutableArray->addObject("b"_ns);
    EXPECT_EQ(mutableArray->count(), 3u);
    EXPECT_EQ(fill("array", NSSet::of({"only"_ns}))->m_array->count(), 1u);
    EXPECT_FALSE(fill("array", "x"_ns)->m_array);

    auto dictionary = NSDictionary::of({{"k"_ns, "v"_ns}});
    EXPECT_EQ(fill("dictionary", dictionary)->m_dictionary.get(), dictionary.get());
    auto mutableDictionary = fill("mutableDictionary", dictionary)->m_mutableDictionary;
    ASSERT_TRUE(mutableDictionary);
    mutableDictionary->setObjectForKey("w"_ns, "k2"_ns);
    EXPECT_EQ(dictionary->count(), 1u);

    auto set = fill("set", NSArray::of({"a"_ns, "a"_ns, "b"_ns}))->m_set;
    ASSERT_TRUE(set);
    EXPECT_EQ(set->count(), 2u);
    auto withSet = alloc<TMEverything>();
    withSet->m_set = NSSet::of({"z"_ns});
    ASSERT_TRUE(mm_modelSetWithDictionary(withSet, NSDictionary::of({{"set"_ns, "x"_ns}})));
    EXPECT_FALSE(withSet->m_set);
    EXPECT_TRUE(dv::as<NSMutableSet>(std::static_pointer_cast<NSObject>(fill("mutableSet", NSSet::of({"a"_ns}))->m_mutableSet)));
}

TEST(MMModelTest, NestedModels)
{
    auto model = alloc<TMEverything>();
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"author"_ns, NSDictionary::of({{"name"_ns, "new"_ns}})}})));
    ASSERT_TRUE(model->m_author);
    EXPECT_EQ(dv::str(model->m_author->m_name), "new");

    // An existing object is filled in place.
    TMAuthor* existing = model->m_author.get();
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"author"_ns, NSDictionary::of({{"age"_ns, NSNumber::from(5)}})}})));
    EXPECT_EQ(model->m_author.get(), existing);
    EXPECT_EQ(dv::str(model->m_author->m_name), "new");
    EXPECT_EQ(model->m_author->m_age, 5);

    auto other = alloc<TMAuthor>();
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"author"_ns, other}})));
    EXPECT_EQ(model->m_author.get(), other.get());
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"author"_ns, "text"_ns}})));
    EXPECT_EQ(model->m_author.get(), other.get());
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"author"_ns, NSNull::null()}})));
    EXPECT_FALSE(model->m_author);
}

TEST(MMModelTest, ModelsOfTheirOwnClass)
{
    auto root = mm_modelWithDictionary<TMTreeNode>(NSDictionary::of({
        {"name"_ns, "root"_ns},
        {"parent"_ns, NSDictionary::of({{"name"_ns, "above"_ns}})},
        {"children"_ns, NSArray::of({NSDictionary::of({{"name"_ns, "a"_ns}, {"children"_ns, NSArray::of({NSDictionary::of({{"name"_ns, "a1"_ns}})})}})})},
    }));
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->m_parent);
    EXPECT_EQ(dv::str(root->m_parent->m_name), "above");
    ASSERT_TRUE(root->m_children);
    auto child = dv::as<TMTreeNode>(root->m_children->objectAtIndex(0));
    ASSERT_TRUE(child && child->m_children);
    EXPECT_EQ(dv::str(dv::as<TMTreeNode>(child->m_children->objectAtIndex(0))->m_name), "a1");
    auto ivar = TMTreeNode::class_()->ivars();
    ASSERT_EQ(ivar.size(), 3u);
    EXPECT_EQ(ivar[1].typeEncoding, "@\"TMTreeNode\"");
}

TEST(MMModelTest, PlainIdProperty)
{
    auto model = alloc<TMEverything>();
    model->m_anything = "kept"_ns;
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"anything"_ns, "text"_ns}})));
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"anything"_ns, NSNumber::from(1)}})));
    EXPECT_EQ(dv::str(model->m_anything), "kept");
    // A dictionary fills the object held in place (a string takes nothing from it)...
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"anything"_ns, NSDictionary::of({{"a"_ns, "b"_ns}})}})));
    EXPECT_EQ(dv::str(model->m_anything), "kept");
    // ...and with nothing held there is no class to build, so the property is set to nil.
    auto empty = alloc<TMEverything>();
    ASSERT_TRUE(mm_modelSetWithDictionary(empty, NSDictionary::of({{"anything"_ns, NSDictionary::of({{"a"_ns, "b"_ns}})}})));
    EXPECT_FALSE(empty->m_anything);
}

// MARK: - Runtime types

TEST(MMModelTest, ClassesSelectorsBlocksAndPointers)
{
    EXPECT_EQ(fill("cls", "TMAuthor"_ns)->m_cls, TMAuthor::class_());
    EXPECT_EQ(fill("cls", dv::classObject(NSString::class_()))->m_cls, NSString::class_());
    auto keeps = alloc<TMEverything>();
    keeps->m_cls = NSArray::class_();
    ASSERT_TRUE(mm_modelSetWithDictionary(keeps, NSDictionary::of({{"cls"_ns, "NoSuchClassAnywhere"_ns}})));
    EXPECT_EQ(keeps->m_cls, NSArray::class_());
    ASSERT_TRUE(mm_modelSetWithDictionary(keeps, NSDictionary::of({{"cls"_ns, NSNull::null()}})));
    EXPECT_EQ(keeps->m_cls, Nil);

    EXPECT_EQ(fill("selector", "doThing:with:"_ns)->m_selector, SEL("doThing:with:"));
    auto selector = alloc<TMEverything>();
    selector->m_selector = SEL("x");
    ASSERT_TRUE(mm_modelSetWithDictionary(selector, NSDictionary::of({{"selector"_ns, NSNull::null()}})));
    EXPECT_TRUE(selector->m_selector.isNull());

    auto block = NSBlock::withFunction(std::function<int(int)>([](int x) { return x * 2; }));
    auto withBlock = fill("block", block);
    ASSERT_TRUE(withBlock->m_block);
    EXPECT_EQ(withBlock->m_block(21), 42);
    ASSERT_TRUE(mm_modelSetWithDictionary(withBlock, NSDictionary::of({{"block"_ns, "text"_ns}})));
    EXPECT_TRUE(withBlock->m_block);
    ASSERT_TRUE(mm_modelSetWithDictionary(withBlock, NSDictionary::of({{"block"_ns, NSNull::null()}})));
    EXPECT_FALSE(withBlock->m_block);

    int target = 0;
    auto withPointer = fill("pointer", NSValue::valueWithPointer(&target));
    EXPECT_EQ(withPointer->m_pointer, &target);
    ASSERT_TRUE(mm_modelSetWithDictionary(withPointer, NSDictionary::of({{"pointer"_ns, NSValue::valueWithCGPoint({1, 1})}})));
    EXPECT_EQ(withPointer->m_pointer, &target);
    ASSERT_TRUE(mm_modelSetWithDictionary(withPointer, NSDictionary::of({{"pointer"_ns, NSNull::null()}})));
    EXPECT_EQ(withPointer->m_pointer, nullptr);
}

TEST(MMModelTest, StructsOnlyFromValuesOfTheSameType)
{
    CGRect rect {{1, 2}, {3, 4}};
    auto model = fill("rect", NSValue::valueWithCGRect(rect));
    EXPECT_EQ(model->m_rect, rect);
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"rect"_ns, NSValue::valueWithCGPoint({9, 9})}})));
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"rect"_ns, NSNull::null()}})));
    EXPECT_EQ(model->m_rect, rect);
    EXPECT_EQ(fill("range", NSValue::valueWithRange({3, 4}))->m_range, NSMakeRange(3, 4));
}

// MARK: - Keys

TEST(MMModelTest, KeyPathsAndSeveralKeys)
{
    auto model = mm_modelWithDictionary<TMMapped>(NSDictionary::of({
        {"user"_ns, NSDictionary::of({{"name"_ns, "张三"_ns}, {"id"_ns, "77"_ns}})},
        {"ID"_ns, "second"_ns},
        {"t"_ns, "shared"_ns},
        {"plain"_ns, "p"_ns},
        {"unmappedEmpty"_ns, "no"_ns},
    }));
    ASSERT_TRUE(model);
    EXPECT_EQ(dv::str(model->m_userName), "张三");
    EXPECT_EQ(model->m_userId, 77);
    EXPECT_EQ(dv::str(model->m_identifier), "second");
    EXPECT_EQ(dv::str(model->m_title), "shared");
    EXPECT_EQ(dv::str(model->m_heading), "shared");
    EXPECT_EQ(dv::str(model->m_plain), "p");
    EXPECT_FALSE(model->m_unmappedEmpty);

    auto first = mm_modelWithDictionary<TMMapped>(NSDictionary::of({{"id"_ns, "first"_ns}, {"ID"_ns, "second"_ns}}));
    EXPECT_EQ(dv::str(first->m_identifier), "first");
    auto nested = mm_modelWithDictionary<TMMapped>(NSDictionary::of({{"book"_ns, NSDictionary::of({{"id"_ns, NSNumber::from(9)}})}}));
    EXPECT_EQ(dv::str(nested->m_identifier), "9");
}

TEST(MMModelTest, KeyPathThroughNonDictionaryLeavesPropertyAlone)
{
    auto model = alloc<TMMapped>();
    model->m_userName = "before"_ns;
    ASSERT_TRUE(mm_modelSetWithDictionary(model, NSDictionary::of({{"user"_ns, "flat"_ns}})));
    EXPECT_EQ(dv::str(model->m_userName), "before");
}

TEST(MMModelTest, DottedKeyAlsoMatchesLiteralTopLevelKey)
{
    // Walking the dictionary: the literal key first, then the path replaces it.
    auto both = mm_modelWithDictionary<TMMapped>(NSDictionary::of({
        {"user.name"_ns, "literal"_ns}, {"user"_ns, NSDictionary::of({{"name"_ns, "path"_ns}})}}));
    EXPECT_EQ(dv::str(both->m_userName), "path");
    auto literalOnly = mm_modelWithDictionary<TMMapped>(NSDictionary::of({{"user.name"_ns, "literal"_ns}}));
    EXPECT_EQ(dv::str(literalOnly->m_userName), "literal");

    // Walking the properties (more keys than properties): only the path is read.
    std::vector<NSDictionary::Entry> entries {{"user.name"_ns, "literal"_ns}};
    for (int i = 0; i < 10; ++i)
        entries.emplace_back(NSString::stringWithFormat("k%d", i), "v"_ns);
    auto dictionary = NSMutableDictionary::dictionary();
    for (auto& [key, value] : entries)
        dictionary->setObjectForKey(value, key);
    auto propertyWalk = mm_modelWithDictionary<TMMapped>(dictionary);
    ASSERT_TRUE(propertyWalk);
    EXPECT_FALSE(propertyWalk->m_userName);
}

// MARK: - Hooks

TEST(MMModelTest, CustomHooks)
{
    auto model = mm_modelWithDictionary<TMHooked>(NSDictionary::of({{"name"_ns, "n"_ns}, {"secret"_ns, "s"_ns}}));
    ASSERT_TRUE(model);
    EXPECT_EQ(dv::str(model->m_name), "n");
    EXPECT_FALSE(model->m_secret);
    EXPECT_EQ(dv::str(model->m_derived), "<n>");
    EXPECT_FALSE(dv::as<TMHookedSpecial>(std::static_pointer_cast<NSObject>(model)));

    EXPECT_FALSE(mm_modelWithDictionary<TMHooked>(NSDictionary::of({{"name"_ns, "n"_ns}, {"invalid"_ns, "1"_ns}})));
    int calls = TMHooked::s_willTransformCalls;
    EXPECT_FALSE(mm_modelWithDictionary<TMHooked>(NSDictionary::of({{"name"_ns, "n"_ns}, {"reject"_ns, "1"_ns}})));
    EXPECT_EQ(TMHooked::s_willTransformCalls, calls + 1);

    auto special = mm_modelWithDictionary(TMHooked::class_(), NSDictionary::of({{"name"_ns, "n"_ns}, {"special"_ns, "yes"_ns}}));
    auto typed = dv::as<TMHookedSpecial>(special);
    ASSERT_TRUE(typed);
    EXPECT_EQ(dv::str(typed->m_special), "yes");
    EXPECT_EQ(dv::str(typed->m_derived), "<n>");

    auto listed = mm_modelWithDictionary<TMWhitelisted>(NSDictionary::of({{"kept"_ns, "k"_ns}, {"dropped"_ns, "d"_ns}}));
    ASSERT_TRUE(listed);
    EXPECT_EQ(dv::str(listed->m_kept), "k");
    EXPECT_FALSE(listed->m_dropped);
}

// MARK: - JSON text

TEST(MMModelTest, ModelsFromJSONTextAndData)
{
    auto record = mm_modelWithJSON<TMReplyRecord>(R"({"title":"标题","status":2,"areaId":null,"extra":[1]})"_ns);
    ASSERT_TRUE(record);
    EXPECT_EQ(dv::str(record->m_title), "标题");
    EXPECT_EQ(dv::str(record->m_status), "2");
    EXPECT_FALSE(record->m_areaId);

    auto fromData = mm_modelWithJSON<TMReplyRecord>(NSData::fromString(R"({"account":"a1"})"));
    ASSERT_TRUE(fromData);
    EXPECT_EQ(dv::str(fromData->m_account), "a1");

    EXPECT_FALSE(mm_modelWithJSON<TMReplyRecord>("[1,2]"_ns));
    EXPECT_FALSE(mm_modelWithJSON<TMReplyRecord>(R"({"title":)"_ns));
    EXPECT_FALSE(mm_modelWithJSON<TMReplyRecord>(NSNumber::from(1)));
    EXPECT_FALSE(mm_modelWithJSON<TMReplyRecord>(NSNull::null()));
    EXPECT_FALSE(dv::_mm_dictionaryWithJSON("\"text\""_ns));

    auto existing = alloc<TMReplyRecord>();
    EXPECT_TRUE(mm_modelSetWithJSON(existing, R"({"title":"t"})"_ns));
    EXPECT_EQ(dv::str(existing->m_title), "t");
    EXPECT_FALSE(mm_modelSetWithJSON(existing, "not json"_ns));

    auto list = mm_modelArrayWithClassJSON(TMReplyRecord::class_(), R"([{"title":"a"},{"title":"b"},3])"_ns);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(), 2u);
    EXPECT_FALSE(mm_modelArrayWithClassJSON(TMReplyRecord::class_(), R"({"title":"a"})"_ns));
    auto byKey = mm_modelDictionaryWithClassJSON(TMReplyRecord::class_(), NSData::fromString(R"({"x":{"title":"a"},"y":1})"));
    ASSERT_TRUE(byKey);
    EXPECT_EQ(byKey->count(), 1u);
}

// MARK: - Threads

TEST(MMModelTest, ThreadsConvertAtOnce)
{
    std::vector<Ref<NSDictionary>> records;
    for (int i = 0; i < 200; ++i)
        records.push_back(NSDictionary::of({{"id"_ns, NSNumber::from(i)}, {"name"_ns, NSString::stringWithFormat("城市%d", i)}}));
    constexpr int kThreads = 4;
    std::vector<int> correct(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                auto city = mm_modelWithDictionary<TMCity>(records[static_cast<std::size_t>(i)]);
                if (city && city->m_id && city->m_id->intValue() == i && city->m_name)
                    ++correct[static_cast<std::size_t>(t)];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int count : correct)
        EXPECT_EQ(count, 200);
}

// MARK: - Collections

TEST(MMModelTest, ArraysAndDictionariesOfModels)
{
    auto models = mm_modelArrayWithClass(TMReplyRecord::class_(), NSArray::of({NSDictionary::of({{"title"_ns, "a"_ns}}),
                                                                               NSNumber::from(3),
                                                                               NSDictionary::of({{"title"_ns, "b"_ns}})}));
    ASSERT_TRUE(models);
    ASSERT_EQ(models->count(), 2u);
    EXPECT_EQ(dv::str(dv::as<TMReplyRecord>(models->objectAtIndex(1))->m_title), "b");
    EXPECT_FALSE(mm_modelArrayWithClass(Nil, NSArray::array()));
    EXPECT_FALSE(mm_modelArrayWithClassJSON(TMReplyRecord::class_(), NSNumber::from(1)));

    auto dictionary = NSMutableDictionary::dictionary();
    dictionary->setObjectForKey(NSDictionary::of({{"title"_ns, "x"_ns}}), "x"_ns);
    dictionary->setObjectForKey(NSDictionary::of({{"title"_ns, "y"_ns}}), NSNumber::from(1));
    dictionary->setObjectForKey("not a record"_ns, "z"_ns);
    auto byKey = mm_modelDictionaryWithClass(TMReplyRecord::class_(), dictionary);
    ASSERT_TRUE(byKey);
    EXPECT_EQ(byKey->count(), 1u);
    EXPECT_EQ(dv::str(dv::as<TMReplyRecord>(byKey->objectForKey("x"))->m_title), "x");
}

} // namespace
