#include "platform/base/Base.h"
#include "platform/base/NSJSONSerialization.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

Ref<NSData> bytes(std::string_view text) { return NSData::fromString(text); }

id parse(std::string_view text, NSJSONReadingOptions options = 0, Ref<NSError>* error = nullptr)
{
    return NSJSONSerialization::JSONObjectWithData(bytes(text), options, error);
}

std::string write(const id& object, NSJSONWritingOptions options = 0)
{
    Ref<NSError> error;
    auto data = NSJSONSerialization::dataWithJSONObject(object, options, &error);
    EXPECT_TRUE(data) << (error ? dv::str(error) : "");
    return data ? std::string(data->view()) : std::string();
}

Ref<NSError> parseError(std::string_view text, NSJSONReadingOptions options = 0)
{
    Ref<NSError> error;
    id object = parse(text, options, &error);
    EXPECT_FALSE(object) << text;
    return error;
}

} // namespace

TEST(JSONSerialization, ReadsNestedObjectIntoOurTree)
{
    Ref<NSError> error;
    id object = parse(R"({"name":"张三","tags":["a",1,2.5,true,false,null],"nested":{"k":-7}})", 0, &error);
    ASSERT_TRUE(object) << dv::str(error);
    auto dictionary = dv::as<NSDictionary>(object);
    ASSERT_TRUE(dictionary);
    EXPECT_FALSE(dv::as<NSMutableDictionary>(object));
    EXPECT_EQ(dv::str(dictionary->objectForKey("name")), "张三");
    auto tags = dv::as<NSArray>(dictionary->objectForKey("tags"));
    ASSERT_TRUE(tags);
    ASSERT_EQ(tags->count(), 6u);
    EXPECT_EQ(dv::str(tags->objectAtIndex(0)), "a");
    EXPECT_EQ(dv::as<NSNumber>(tags->objectAtIndex(1))->longLongValue(), 1);
    EXPECT_DOUBLE_EQ(dv::as<NSNumber>(tags->objectAtIndex(2))->doubleValue(), 2.5);
    EXPECT_TRUE(dv::as<NSNumber>(tags->objectAtIndex(3))->isBoolean());
    EXPECT_TRUE(dv::as<NSNumber>(tags->objectAtIndex(3))->boolValue());
    EXPECT_FALSE(dv::as<NSNumber>(tags->objectAtIndex(4))->boolValue());
    EXPECT_TRUE(dv::as<NSNull>(tags->objectAtIndex(5)));
    auto nested = dv::as<NSDictionary>(dictionary->objectForKey("nested"));
    EXPECT_EQ(dv::as<NSNumber>(nested->objectForKey("k"))->longLongValue(), -7);
}

TEST(JSONSerialization, MutableOptionsGiveMutableContainersAndLeaves)
{
    id object = parse(R"({"a":["x"]})", NSJSONReadingMutableContainers);
    auto dictionary = dv::as<NSMutableDictionary>(object);
    ASSERT_TRUE(dictionary);
    EXPECT_TRUE(dv::as<NSMutableArray>(dictionary->objectForKey("a")));
    EXPECT_FALSE(dv::as<NSMutableString>(dv::as<NSArray>(dictionary->objectForKey("a"))->objectAtIndex(0)));

    id leaves = parse(R"(["x"])", NSJSONReadingMutableLeaves);
    EXPECT_FALSE(dv::as<NSMutableArray>(leaves));
    auto leaf = dv::as<NSMutableString>(dv::as<NSArray>(leaves)->objectAtIndex(0));
    ASSERT_TRUE(leaf);
    leaf->appendUTF8("y");
    EXPECT_EQ(leaf->utf8(), "xy");
}

TEST(JSONSerialization, ScalarsAtTopLevelNeedFragmentsOption)
{
    auto error = parseError("\"text\"");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);
    EXPECT_EQ(dv::str(error->domain()), "NSCocoaErrorDomain");
    EXPECT_EQ(dv::str(parse("\"text\"", NSJSONReadingFragmentsAllowed)), "text");
    EXPECT_EQ(dv::as<NSNumber>(parse(" 42 ", NSJSONReadingFragmentsAllowed))->longLongValue(), 42);
    EXPECT_TRUE(dv::as<NSNull>(parse("null", NSJSONReadingFragmentsAllowed)));
}

TEST(JSONSerialization, IntegersKeepSixtyFourBitsThenBecomeUnsignedOrDouble)
{
    auto number = [](std::string_view text) { return dv::as<NSNumber>(parse(text, NSJSONReadingFragmentsAllowed)); };
    auto max = number("9223372036854775807");
    EXPECT_FALSE(max->isFloatingPoint());
    EXPECT_EQ(max->longLongValue(), INT64_MAX);
    EXPECT_EQ(number("-9223372036854775808")->longLongValue(), INT64_MIN);
    auto unsignedMax = number("18446744073709551615");
    EXPECT_TRUE(unsignedMax->isUnsigned());
    EXPECT_EQ(unsignedMax->unsignedLongLongValue(), UINT64_MAX);
    auto huge = number("18446744073709551616");
    EXPECT_TRUE(huge->isFloatingPoint());
    EXPECT_DOUBLE_EQ(huge->doubleValue(), 18446744073709551616.0);
    EXPECT_TRUE(number("-9223372036854775809")->isFloatingPoint());
    EXPECT_TRUE(number("1.0")->isFloatingPoint());
    EXPECT_DOUBLE_EQ(number("-1.5e3")->doubleValue(), -1500.0);
    EXPECT_DOUBLE_EQ(number("1e-400")->doubleValue(), 0.0);
    EXPECT_EQ(parseError("1e400", NSJSONReadingFragmentsAllowed)->code(), 3840);
}

TEST(JSONSerialization, StrictGrammarErrorsCarryCodeAndPlace)
{
    for (std::string_view bad : {"", "   ", "[1,]", "[1 2]", "{\"a\" 1}", "{\"a\":1,}", "{1:2}", "[01]", "[1.]", "[.5]",
                                 "[+1]", "[-]", "[tru]", "[nul]", "[\"a\\x\"]", "[\"a", "[\"\t\"]", "['a']", "[1]x",
                                 "[1] [2]", "{\"a\":1}}", "[NaN]", "[Infinity]", "[\"\\u12\"]"}) {
        Ref<NSError> error = parseError(bad);
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->code(), 3840) << bad;
        EXPECT_FALSE(dv::str(error->localizedDescription()).empty());
    }
    auto error = parseError("[1,\n  x]");
    auto debug = dv::str(error->userInfo()->objectForKey("NSDebugDescription"));
    EXPECT_NE(debug.find("line 2, column 2"), std::string::npos) << debug;
    EXPECT_EQ(dv::as<NSNumber>(error->userInfo()->objectForKey("NSJSONSerializationErrorIndex"))->longLongValue(), 6);
    EXPECT_NE(dv::str(parseError("[1] x")->userInfo()->objectForKey("NSDebugDescription")).find("Garbage at end"), std::string::npos);
}

TEST(JSONSerialization, SurrogatesMustPair)
{
    EXPECT_EQ(dv::str(parse(R"("\ud83d\ude00")", NSJSONReadingFragmentsAllowed)), "\xF0\x9F\x98\x80");
    EXPECT_EQ(dv::str(parse(R"("\u00e9\u4e2d")", NSJSONReadingFragmentsAllowed)), "é中");
    for (std::string_view bad : {R"(["\ud83d"])", R"(["\ude00"])", R"(["\ud83d\u0041"])", R"(["\ud83dx"])"})
        EXPECT_EQ(parseError(bad)->code(), 3840) << bad;
    // Raw bytes must be UTF-8 too.
    EXPECT_TRUE(parseError("[\"\xC3\x28\"]"));
    EXPECT_TRUE(parseError("[\"\xED\xA0\x80\"]"));
}

TEST(JSONSerialization, DetectsUTF16AndUTF32)
{
    auto encode = [](std::u32string text, int width, bool big, bool bom) {
        std::string out;
        if (bom)
            text.insert(text.begin(), U'\uFEFF');
        for (char32_t c : text) {
            std::u16string units;
            if (width == 2 && c >= 0x10000) {
                units += char16_t(0xD800 + ((c - 0x10000) >> 10));
                units += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            auto put = [&](std::uint32_t v) {
                for (int i = 0; i < width; ++i) {
                    int shift = big ? (width - 1 - i) * 8 : i * 8;
                    out.push_back(static_cast<char>((v >> shift) & 0xFF));
                }
            };
            if (!units.empty())
                for (char16_t u : units) put(u);
            else
                put(c);
        }
        return out;
    };
    std::u32string text = U"{\"k\":\"中😀\"}";
    for (int width : {2, 4})
        for (bool big : {true, false})
            for (bool bom : {true, false}) {
                Ref<NSError> error;
                auto dictionary = dv::as<NSDictionary>(parse(encode(text, width, big, bom), 0, &error));
                ASSERT_TRUE(dictionary) << width << big << bom << dv::str(error);
                EXPECT_EQ(dv::str(dictionary->objectForKey("k")), "中😀");
            }
    EXPECT_TRUE(dv::as<NSArray>(parse("\xEF\xBB\xBF[1]")));
}

TEST(JSONSerialization, DeepNestingIsAnErrorNotACrash)
{
    std::string deep(100000, '[');
    auto error = parseError(deep);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);
    std::string ok(NSJSONSerialization::kMaxDepth, '[');
    ok += std::string(NSJSONSerialization::kMaxDepth, ']');
    EXPECT_TRUE(parse(ok));
}

// What isValidJSONObject accepts, the writer writes: 512 nested containers, not one more.
TEST(JSONSerialization, ValidityAndTheWriterAgreeOnDepth)
{
    auto nest = [](int levels) {
        id object = NSArray::array();
        for (int i = 1; i < levels; ++i)
            object = (i % 2) ? id(NSArray::of({object})) : id(NSDictionary::of({{"k"_ns, object}}));
        return object;
    };
    for (int levels : {NSJSONSerialization::kMaxDepth - 1, NSJSONSerialization::kMaxDepth, NSJSONSerialization::kMaxDepth + 1}) {
        id object = nest(levels);
        bool valid = NSJSONSerialization::isValidJSONObject(object);
        Ref<NSError> error;
        bool written = NSJSONSerialization::dataWithJSONObject(object, 0, &error) != nil;
        EXPECT_EQ(valid, written) << levels << " levels";
        EXPECT_EQ(valid, levels <= NSJSONSerialization::kMaxDepth) << levels << " levels";
    }
    // Scalars at the deepest level do not count as a level.
    id deepest = NSArray::of({NSNumber::from(1), "s"_ns, NSNull::null()});
    for (int i = 1; i < NSJSONSerialization::kMaxDepth; ++i)
        deepest = NSArray::of({deepest});
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(deepest));
    EXPECT_TRUE(NSJSONSerialization::dataWithJSONObject(deepest, 0, nullptr));
}

namespace {

std::pair<long long, std::string> placeOf(const std::string& bytes)
{
    Ref<NSError> error;
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData(NSData::dataWithBytes(bytes.data(), bytes.size()), 0, &error));
    if (!error)
        return {-1, ""};
    auto index = dv::as<NSNumber>(error->userInfo()->objectForKey("NSJSONSerializationErrorIndex"));
    return {index ? index->longLongValue() : -1, dv::str(error->userInfo()->objectForKey("NSDebugDescription"))};
}

std::string utf16LE(std::u16string_view text, bool bom)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::string utf32BE(std::u32string_view text)
{
    std::string out;
    for (char32_t c : text)
        for (int shift : {24, 16, 8, 0})
            out.push_back(static_cast<char>((c >> shift) & 0xFF));
    return out;
}

} // namespace

// The place of a fault is given in the caller's bytes, not in the text converted for parsing.
TEST(JSONSerialization, ErrorPlaceIsInTheCallersText)
{
    auto [plain, plainText] = placeOf("[1,\n  x]");
    EXPECT_EQ(plain, 6);
    auto [bom, bomText] = placeOf("\xEF\xBB\xBF[1,\n  x]");
    EXPECT_EQ(bom, 9);
    EXPECT_NE(bomText.find("line 2, column 2"), std::string::npos) << bomText;

    auto [le, leText] = placeOf(utf16LE(u"[\"中\", x]", false));
    EXPECT_EQ(le, 2 * 6);
    EXPECT_NE(leText.find("line 1, column 6"), std::string::npos) << leText;
    auto [leBom, leBomText] = placeOf(utf16LE(u"[\"\U0001F600\",\n x]", true));
    EXPECT_EQ(leBom, 2 + 2 * 8); // the emoji takes two units
    EXPECT_NE(leBomText.find("line 2, column 1"), std::string::npos) << leBomText;

    auto [be32, be32Text] = placeOf(utf32BE(U"[1, \U0001F600]"));
    EXPECT_EQ(be32, 4 * 4);
    EXPECT_NE(be32Text.find("line 1, column 4"), std::string::npos) << be32Text;
}

TEST(JSONSerialization, DuplicateKeysKeepTheLastValue)
{
    auto dictionary = dv::as<NSDictionary>(parse(R"({"a":1,"a":2})"));
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dictionary->count(), 1u);
    EXPECT_EQ(dv::as<NSNumber>(dictionary->objectForKey("a"))->intValue(), 2);
}

TEST(JSONSerialization, WritesCompactTextWithEscapedSlash)
{
    auto object = NSDictionary::of({{"url"_ns, "http://a/b"_ns}});
    EXPECT_EQ(write(object), R"({"url":"http:\/\/a\/b"})");
    EXPECT_EQ(write(object, NSJSONWritingWithoutEscapingSlashes), R"({"url":"http://a/b"})");
    auto escapes = NSArray::of({NSString::fromUTF8("q\"b\\n\nt\tc\x01 中")});
    EXPECT_EQ(write(escapes), "[\"q\\\"b\\\\n\\nt\\tc\\u0001 中\"]");
}

TEST(JSONSerialization, WritesNumbersAsThePlatformPrintsThem)
{
    auto list = NSArray::of({NSNumber::numberWithInt(12), NSNumber::numberWithDouble(0.1), NSNumber::numberWithDouble(2.0),
                             NSNumber::numberWithBool(true), NSNumber::numberWithBool(false), NSNumber::numberWithDouble(-1.5),
                             NSNumber::numberWithUnsignedLongLong(UINT64_MAX), NSNumber::numberWithLongLong(INT64_MIN),
                             NSNumber::numberWithFloat(0.1f), NSNumber::numberWithDouble(1e20), NSNull::null()});
    EXPECT_EQ(write(list), "[12,0.1,2,true,false,-1.5,18446744073709551615,-9223372036854775808,0.1,1e+20,null]");
}

TEST(JSONSerialization, PrettyPrintsWithTwoSpacesAndSpacedColons)
{
    auto object = NSDictionary::of({{"a"_ns, NSArray::of({NSNumber::from(1), NSNumber::from(2)})},
                                    {"b"_ns, NSDictionary::of({{"c"_ns, "d"_ns}})},
                                    {"e"_ns, NSArray::array()}});
    EXPECT_EQ(write(object, NSJSONWritingPrettyPrinted),
              "{\n  \"a\" : [\n    1,\n    2\n  ],\n  \"b\" : {\n    \"c\" : \"d\"\n  },\n  \"e\" : [\n\n  ]\n}");
}

TEST(JSONSerialization, SortedKeysOrderByCodeUnits)
{
    auto object = NSDictionary::of({{"b"_ns, NSNumber::from(1)}, {"B"_ns, NSNumber::from(2)}, {"a"_ns, NSNumber::from(3)}});
    EXPECT_EQ(write(object, NSJSONWritingSortedKeys), R"({"B":2,"a":3,"b":1})");
}

TEST(JSONSerialization, InvalidObjectsAreErrorsNotCrashes)
{
    Ref<NSError> error;
    EXPECT_FALSE(NSJSONSerialization::dataWithJSONObject("text"_ns, 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3852);
    EXPECT_EQ(write("text"_ns, NSJSONWritingFragmentsAllowed), "\"text\"");

    for (id bad : {id(NSArray::of({NSNumber::numberWithDouble(NAN)})), id(NSArray::of({NSNumber::numberWithDouble(INFINITY)})),
                   id(NSDictionary::of({{NSNumber::from(1), "v"_ns}})), id(NSArray::of({NSDate::dateWithTimeIntervalSince1970(0)})),
                   id(NSArray::of({NSData::fromString("x")}))}) {
        error = nullptr;
        EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(bad));
        EXPECT_FALSE(NSJSONSerialization::dataWithJSONObject(bad, 0, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), 3852);
    }
    EXPECT_FALSE(NSJSONSerialization::dataWithJSONObject(nil, 0, nullptr));

    // A container that holds itself would recurse forever.
    auto loop = NSMutableArray::array();
    loop->addObject(loop);
    EXPECT_FALSE(NSJSONSerialization::dataWithJSONObject(loop, 0, &error));
    loop->removeAllObjects();
}

TEST(JSONSerialization, ValidityCheck)
{
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(NSArray::array()));
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(NSDictionary::of({{"a"_ns, NSArray::of({NSNull::null(), NSNumber::from(1.5)})}})));
    EXPECT_FALSE(NSJSONSerialization::isValidJSONObject("a"_ns));
    EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(NSNumber::from(1)));
    EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(nil));
}

TEST(JSONSerialization, RoundTripsThroughBothForms)
{
    std::string text = R"({"a":[1,-2,3.25,"x\/y","中文",{"b":null,"c":[true,false]}],"d":{}})";
    id object = parse(text);
    ASSERT_TRUE(object);
    EXPECT_EQ(write(object), text);
    for (NSJSONWritingOptions options : {NSJSONWritingPrettyPrinted, NSJSONWritingSortedKeys}) {
        id again = NSJSONSerialization::JSONObjectWithData(NSJSONSerialization::dataWithJSONObject(object, options, nullptr), 0, nullptr);
        EXPECT_TRUE(dv::equal(object, again)) << options;
    }
    for (double value : {0.1, 1.0 / 3.0, 5e-324, 1.7976931348623157e308, 123456.789}) {
        auto list = NSArray::of({NSNumber::numberWithDouble(value)});
        auto back = dv::as<NSArray>(parse(write(list)));
        EXPECT_EQ(dv::as<NSNumber>(back->objectAtIndex(0))->doubleValue(), value);
    }
}

TEST(JSONSerialization, TreesAndFailedParsesLeaveNoObjectsBehind)
{
    std::string text = R"({"a":[1,2.5,"x",{"b":null,"c":true}],"d":"中文"})";
    parse(text); // singletons and caches made once
    parse("[1,{\"a\":[2,");
    auto before = dv::liveObjectCount();
    {
        id tree = parse(text, NSJSONReadingMutableContainers | NSJSONReadingMutableLeaves);
        ASSERT_TRUE(tree);
        auto out = NSJSONSerialization::dataWithJSONObject(tree, NSJSONWritingPrettyPrinted, nullptr);
        EXPECT_TRUE(out);
        // A failure deep inside a tree drops everything built so far.
        Ref<NSError> error;
        EXPECT_FALSE(parse(R"({"a":[1,{"b":[2,3,{"c":x}]}]})", 0, &error));
    }
    EXPECT_EQ(dv::liveObjectCount(), before);
}
