#include "platform/base/Base.h"
#include "platform/base/NSPropertyListSerialization.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

Ref<NSDictionary> sample()
{
    return NSDictionary::of({
        {"string"_ns, "值 & <tag>"_ns},
        {"ascii"_ns, "plain text that is longer than fifteen characters"_ns},
        {"int"_ns, NSNumber::numberWithLongLong(-42)},
        {"big"_ns, NSNumber::numberWithUnsignedLongLong(UINT64_MAX)},
        {"max"_ns, NSNumber::numberWithLongLong(INT64_MAX)},
        {"small"_ns, NSNumber::numberWithLongLong(200)},
        {"real"_ns, NSNumber::numberWithDouble(0.1)},
        {"yes"_ns, NSNumber::numberWithBool(true)},
        {"no"_ns, NSNumber::numberWithBool(false)},
        {"date"_ns, NSDate::dateWithTimeIntervalSinceReferenceDate(86400.0 * 365 + 3661)},
        {"data"_ns, NSData::fromString(std::string("\x00\x01\xFF bytes", 9))},
        {"array"_ns, NSArray::of({"a"_ns, NSNumber::from(1), NSArray::array(), NSDictionary::dictionary()})},
        {"nested"_ns, NSDictionary::of({{"k"_ns, "v"_ns}})},
    });
}

Ref<NSData> write(const id& plist, NSPropertyListFormat format)
{
    Ref<NSError> error;
    auto data = NSPropertyListSerialization::dataWithPropertyList(plist, format, 0, &error);
    EXPECT_TRUE(data) << (error ? dv::str(error) : "");
    return data;
}

id read(const Ref<NSData>& data, NSPropertyListFormat* format = nullptr, NSUInteger options = 0, Ref<NSError>* error = nullptr)
{
    return NSPropertyListSerialization::propertyListWithData(data, options, format, error);
}

id readText(std::string_view text, NSPropertyListFormat* format = nullptr)
{
    Ref<NSError> error;
    id object = read(NSData::fromString(text), format, 0, &error);
    EXPECT_TRUE(object) << text << " " << (error ? dv::str(error) : "");
    return object;
}

Ref<NSError> readError(const std::string& bytes)
{
    Ref<NSError> error;
    EXPECT_FALSE(read(NSData::fromString(bytes), nullptr, 0, &error));
    return error;
}

} // namespace

TEST(PropertyList, BinaryWrittenHereReadsBackIdentically)
{
    auto plist = sample();
    auto data = write(plist, NSPropertyListBinaryFormat_v1_0);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->view().substr(0, 8)), "bplist00");
    NSPropertyListFormat format = 0;
    id back = read(data, &format);
    ASSERT_TRUE(back);
    EXPECT_EQ(format, NSPropertyListBinaryFormat_v1_0);
    EXPECT_TRUE(dv::equal(back, plist));
    auto dictionary = dv::as<NSDictionary>(back);
    auto big = dv::as<NSNumber>(dictionary->objectForKey("big"));
    EXPECT_TRUE(big->isUnsigned());
    EXPECT_EQ(big->unsignedLongLongValue(), UINT64_MAX);
    EXPECT_TRUE(dv::as<NSNumber>(dictionary->objectForKey("yes"))->isBoolean());
    EXPECT_EQ(dv::as<NSNumber>(dictionary->objectForKey("int"))->longLongValue(), -42);
    // The same tree writes the same bytes again.
    EXPECT_TRUE(write(back, NSPropertyListBinaryFormat_v1_0)->isEqualToData(data));
}

TEST(PropertyList, XMLHasTheStandardPrologAndRoundTrips)
{
    auto plist = sample();
    auto data = write(plist, NSPropertyListXMLFormat_v1_0);
    ASSERT_TRUE(data);
    std::string text(data->view());
    EXPECT_TRUE(text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n"));
    EXPECT_TRUE(text.ends_with("</dict>\n</plist>\n"));
    EXPECT_NE(text.find("\t<key>string</key>\n\t<string>值 &amp; &lt;tag&gt;</string>\n"), std::string::npos);
    EXPECT_NE(text.find("<integer>18446744073709551615</integer>"), std::string::npos);
    EXPECT_NE(text.find("<real>0.1</real>"), std::string::npos);
    EXPECT_NE(text.find("<true/>"), std::string::npos);
    EXPECT_NE(text.find("<date>2002-01-01T01:01:01Z</date>"), std::string::npos);
    EXPECT_NE(text.find("<array/>"), std::string::npos);
    EXPECT_NE(text.find("<dict/>"), std::string::npos);
    NSPropertyListFormat format = 0;
    id back = read(data, &format);
    EXPECT_EQ(format, NSPropertyListXMLFormat_v1_0);
    EXPECT_TRUE(dv::equal(back, plist));
}

TEST(PropertyList, ReadsHandWrittenXML)
{
    id object = readText(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>n</key><integer> -7 </integer>
  <key>hex</key><integer>0x1F</integer>
  <key>r</key><real>2.5</real>
  <key>d</key><data>
    aGVs
    bG8=
  </data>
  <key>e</key><string/>
  <key>a</key><array><string>x&amp;y</string><false/></array>
</dict></plist>)");
    auto dictionary = dv::as<NSDictionary>(object);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dv::as<NSNumber>(dictionary->objectForKey("n"))->longLongValue(), -7);
    EXPECT_EQ(dv::as<NSNumber>(dictionary->objectForKey("hex"))->longLongValue(), 31);
    EXPECT_DOUBLE_EQ(dv::as<NSNumber>(dictionary->objectForKey("r"))->doubleValue(), 2.5);
    EXPECT_EQ(std::string(dv::as<NSData>(dictionary->objectForKey("d"))->view()), "hello");
    EXPECT_EQ(dv::str(dictionary->objectForKey("e")), "");
    auto array = dv::as<NSArray>(dictionary->objectForKey("a"));
    EXPECT_EQ(dv::str(array->objectAtIndex(0)), "x&y");
    EXPECT_FALSE(dv::as<NSNumber>(array->objectAtIndex(1))->boolValue());
}

TEST(PropertyList, ReadsTheOldTextForm)
{
    NSPropertyListFormat format = 0;
    id object = readText(R"(// settings
{
    name = "张三 \"quoted\"\n";
    bare = some.value-1;
    list = (a, "b", <48656c6c 6f>, );
    /* nested */ inner = { k = v; };
})", &format);
    EXPECT_EQ(format, NSPropertyListOpenStepFormat);
    auto dictionary = dv::as<NSDictionary>(object);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dv::str(dictionary->objectForKey("name")), "张三 \"quoted\"\n");
    EXPECT_EQ(dv::str(dictionary->objectForKey("bare")), "some.value-1");
    auto list = dv::as<NSArray>(dictionary->objectForKey("list"));
    ASSERT_EQ(list->count(), 3u);
    EXPECT_EQ(std::string(dv::as<NSData>(list->objectAtIndex(2))->view()), "Hello");
    EXPECT_EQ(dv::str(dv::as<NSDictionary>(dictionary->objectForKey("inner"))->objectForKey("k")), "v");

    auto strings = dv::as<NSDictionary>(readText("\"greeting\" = \"你好\";\n\"bye\" = \"再见\";\n"));
    ASSERT_TRUE(strings);
    EXPECT_EQ(dv::str(strings->objectForKey("greeting")), "你好");
    EXPECT_EQ(strings->count(), 2u);
    EXPECT_EQ(dv::str(readText("\"\\U4e2d\"")), "中");
}

TEST(PropertyList, MutabilityOptions)
{
    auto data = write(NSDictionary::of({{"a"_ns, NSArray::of({"x"_ns})}}), NSPropertyListBinaryFormat_v1_0);
    auto immutable = read(data);
    EXPECT_FALSE(dv::as<NSMutableDictionary>(immutable));
    auto containers = dv::as<NSMutableDictionary>(read(data, nullptr, NSPropertyListMutableContainers));
    ASSERT_TRUE(containers);
    auto array = dv::as<NSMutableArray>(containers->objectForKey("a"));
    ASSERT_TRUE(array);
    EXPECT_FALSE(dv::as<NSMutableString>(array->objectAtIndex(0)));
    auto leaves = dv::as<NSMutableDictionary>(read(data, nullptr, NSPropertyListMutableContainersAndLeaves));
    EXPECT_TRUE(dv::as<NSMutableString>(dv::as<NSArray>(leaves->objectForKey("a"))->objectAtIndex(0)));
}

TEST(PropertyList, UnwritableValuesGiveWriteInvalidError)
{
    for (id bad : {id(NSArray::of({NSNull::null()})), id(NSDictionary::of({{NSNumber::from(1), "v"_ns}})), id(NSSet::set()), id(nil)}) {
        for (NSPropertyListFormat format : {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0}) {
            Ref<NSError> error;
            EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(bad, format, 0, &error));
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError);
            EXPECT_EQ(dv::str(error->domain()), "NSCocoaErrorDomain");
        }
    }
    Ref<NSError> error;
    EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList("a"_ns, NSPropertyListOpenStepFormat, 0, &error));
    EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError);
    // XML cannot carry most control characters; the binary form can.
    auto control = NSArray::of({NSString::fromUTF8("bell\x07")});
    EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(control, NSPropertyListXMLFormat_v1_0, 0, nullptr));
    EXPECT_TRUE(dv::equal(read(write(control, NSPropertyListBinaryFormat_v1_0)), control));

    EXPECT_TRUE(NSPropertyListSerialization::propertyListIsValidForFormat(sample(), NSPropertyListBinaryFormat_v1_0));
    EXPECT_FALSE(NSPropertyListSerialization::propertyListIsValidForFormat(sample(), NSPropertyListOpenStepFormat));
    EXPECT_FALSE(NSPropertyListSerialization::propertyListIsValidForFormat(NSNull::null(), NSPropertyListXMLFormat_v1_0));
}

TEST(PropertyList, CorruptInputIsReadCorruptError)
{
    std::string valid(write(NSArray::of({"abc"_ns, NSNumber::from(1)}), NSPropertyListBinaryFormat_v1_0)->view());
    std::vector<std::string> bad = {
        "",
        "bplist00",
        valid.substr(0, valid.size() - 1),
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><string>a</string></dict></plist>",
        "<plist><array><key>a</key></array></plist>",
        "<plist><integer>12x</integer></plist>",
        "<plist><date>yesterday</date></plist>",
        "<plist><data>!!!</data></plist>",
        "<plist><unknown/></plist>",
        "<plist><string>a</string><string>b</string></plist>",
        "<plist><string>a</plist>",
        "{ a = b; ",
        "( a, b",
        "{ a = b }",
        "<0g>",
        "\"unterminated",
    };
    // Offsets pointing past the table, a reference out of range and a bad trailer.
    std::string badOffset = valid;
    badOffset[valid.size() - 32 - 3] = static_cast<char>(0xF0);
    bad.push_back(badOffset);
    std::string badTop = valid;
    badTop[valid.size() - 9] = 99;
    bad.push_back(badTop);
    std::string badWidth = valid;
    badWidth[valid.size() - 26] = 0;
    bad.push_back(badWidth);
    for (const auto& bytes : bad) {
        auto error = readError(bytes);
        ASSERT_TRUE(error) << bytes;
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError) << bytes;
    }
    auto version = readError("bplist15xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->code(), NSPropertyListReadUnknownVersionError);
}

TEST(PropertyList, BinaryCyclesAndDeepNestingAreRefused)
{
    // Array object 0 containing a reference to itself.
    std::string cycle = "bplist00";
    cycle += '\xA1';
    cycle += '\x00';
    std::size_t table = cycle.size();
    cycle += '\x08';
    cycle += std::string(6, '\0');
    cycle += '\x01'; // offset size
    cycle += '\x01'; // ref size
    auto be64 = [](std::uint64_t v) {
        std::string s;
        for (int i = 7; i >= 0; --i)
            s.push_back(static_cast<char>(v >> (8 * i)));
        return s;
    };
    cycle += be64(1) + be64(0) + be64(table);
    auto error = readError(cycle);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);

    // A chain of 2000 nested arrays.
    std::string deep = "bplist00";
    const int n = 2000;
    std::vector<std::uint64_t> offsets;
    for (int i = 0; i < n; ++i) {
        offsets.push_back(deep.size());
        if (i + 1 < n) {
            deep += '\xA1';
            deep += static_cast<char>((i + 1) >> 8);
            deep += static_cast<char>((i + 1) & 0xFF);
        } else {
            deep += '\xA0';
        }
    }
    std::size_t tableOffset = deep.size();
    for (auto offset : offsets) {
        deep += static_cast<char>(offset >> 8);
        deep += static_cast<char>(offset & 0xFF);
    }
    deep += std::string(6, '\0');
    deep += '\x02';
    deep += '\x02';
    deep += be64(n) + be64(0) + be64(tableOffset);
    error = readError(deep);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);

    // XML nesting too.
    std::string xml = "<plist>";
    for (int i = 0; i < 2000; ++i)
        xml += "<array>";
    EXPECT_TRUE(readError(xml));
    EXPECT_TRUE(readError(std::string(5000, '(')));
}

TEST(PropertyList, XMLEntityDeclarationsAreRefused)
{
    auto error = readError(R"(<?xml version="1.0"?>
<!DOCTYPE plist [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]>
<plist><string>&b;</string></plist>)");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);
}

TEST(PropertyList, LargeCountsAndSharedStringsInBinary)
{
    auto list = NSMutableArray::array();
    for (int i = 0; i < 300; ++i)
        list->addObject(NSString::stringWithFormat("item %d", i % 10));
    list->addObject(NSData::fromString(std::string(70000, 'z')));
    auto data = write(list, NSPropertyListBinaryFormat_v1_0);
    EXPECT_LT(data->length(), 72000u); // ten distinct strings stored once each
    EXPECT_TRUE(dv::equal(read(data), list));
}

TEST(PropertyList, DatesKeepFullPrecisionInBinaryAndWholeSecondsInXML)
{
    for (double seconds : {-86400.5, 0.0, 1.25, 978307200.75, -978307200.0}) {
        auto date = NSDate::dateWithTimeIntervalSinceReferenceDate(seconds);
        auto list = NSArray::of({date});
        auto binary = dv::as<NSArray>(read(write(list, NSPropertyListBinaryFormat_v1_0)));
        EXPECT_EQ(dv::as<NSDate>(binary->objectAtIndex(0))->timeIntervalSinceReferenceDate(), seconds);
        auto xml = dv::as<NSArray>(read(write(list, NSPropertyListXMLFormat_v1_0)));
        EXPECT_EQ(dv::as<NSDate>(xml->objectAtIndex(0))->timeIntervalSinceReferenceDate(), std::floor(seconds));
    }
    std::string text(write(NSArray::of({NSDate::dateWithTimeIntervalSince1970(0)}), NSPropertyListXMLFormat_v1_0)->view());
    EXPECT_NE(text.find("<date>1970-01-01T00:00:00Z</date>"), std::string::npos);
    auto parsed = dv::as<NSDate>(readText("<plist><date>2001-01-01T00:00:01.5Z</date></plist>"));
    ASSERT_TRUE(parsed);
    EXPECT_DOUBLE_EQ(parsed->timeIntervalSinceReferenceDate(), 1.5);
}
