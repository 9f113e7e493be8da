#include "platform/base/Base.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSPropertyListSerialization.h"
#include "platform/base/NSURL.h"

#include <gtest/gtest.h>

namespace {

Ref<NSDictionary> attrs(std::initializer_list<NSDictionary::Entry> entries) { return NSDictionary::of(entries); }

Ref<NSMutableAttributedString> text(const char* utf8, const Ref<NSDictionary>& attributes = nil)
{
    return alloc<NSMutableAttributedString>()->initWithString(NSString::fromUTF8(utf8), attributes);
}

// "[location,length]=value" for each run of one attribute, as the walk reports them.
std::string runsOf(const Ref<NSAttributedString>& string, const Ref<NSString>& name, NSAttributedStringEnumerationOptions options = 0)
{
    std::string out;
    string->enumerateAttribute(name, NSMakeRange(0, string->length()), options, [&](const id& value, NSRange range, bool*) {
        out += "[" + std::to_string(range.location) + "," + std::to_string(range.length) + "]=" + (value ? dv::str(value) : "nil") + " ";
    });
    return out;
}

} // namespace

TEST(AttributedString, RunsCoverTheStringAndReportTheirRanges)
{
    auto red = "red"_ns;
    auto s = text("最后更新：今天 10:30", attrs({{NSKernAttributeName, NSNumber::from(1)}}));
    EXPECT_EQ(s->length(), 13u);
    NSRange range;
    auto all = s->attributesAtIndex(12, &range);
    EXPECT_EQ(range, NSMakeRange(0, 13));
    EXPECT_TRUE(dv::equal(all->objectForKey(NSKernAttributeName), NSNumber::from(1)));

    s->addAttribute(NSForegroundColorAttributeName, red, NSMakeRange(0, 5));
    EXPECT_TRUE(dv::equal(s->attribute(NSForegroundColorAttributeName, 4, &range), red));
    EXPECT_EQ(range, NSMakeRange(0, 5));
    EXPECT_EQ(s->attribute(NSForegroundColorAttributeName, 5, &range), nil);
    EXPECT_EQ(range, NSMakeRange(5, 8));
    s->attributesAtIndex(7, &range);
    EXPECT_EQ(range, NSMakeRange(5, 8));
    // The kern attribute is the same on both runs: its own range spans them.
    s->attribute(NSKernAttributeName, 2, &range);
    EXPECT_EQ(range, NSMakeRange(0, 13));
    s->attributeLongestEffectiveRange(NSKernAttributeName, 2, &range, NSMakeRange(1, 6));
    EXPECT_EQ(range, NSMakeRange(1, 6));
    s->attributesAtIndexLongestEffectiveRange(2, &range, NSMakeRange(3, 10));
    EXPECT_EQ(range, NSMakeRange(3, 2));

    // Giving the rest the same colour joins the runs again.
    s->addAttribute(NSForegroundColorAttributeName, red, NSMakeRange(5, 8));
    s->attributesAtIndex(0, &range);
    EXPECT_EQ(range, NSMakeRange(0, 13));
}

TEST(AttributedString, IndexesAndRangesPastTheEndRaise)
{
    auto s = text("abc");
    EXPECT_THROW(s->attributesAtIndex(3, nullptr), dv::RaisedException);
    EXPECT_THROW(s->attributedSubstringFromRange(NSMakeRange(2, 2)), dv::RaisedException);
    EXPECT_THROW(s->addAttribute(NSKernAttributeName, NSNumber::from(1), NSMakeRange(4, 0)), dv::RaisedException);
    EXPECT_THROW(s->replaceCharactersInRange(NSMakeRange(1, 5), "x"_ns), dv::RaisedException);
    EXPECT_THROW(text("")->attributesAtIndex(0, nullptr), dv::RaisedException);
    EXPECT_NO_THROW(s->addAttribute(NSKernAttributeName, NSNumber::from(1), NSMakeRange(3, 0)));
    EXPECT_EQ(dv::str(s->string()), "abc");
}

// New characters take the attributes of the first replaced character; with nothing replaced, of
// the character before, else of the one after.
TEST(AttributedString, ReplacedCharactersInheritAsThePlatformSays)
{
    auto s = text("aabb");
    s->addAttribute(NSLinkAttributeName, "A"_ns, NSMakeRange(0, 2));
    s->addAttribute(NSLinkAttributeName, "B"_ns, NSMakeRange(2, 2));

    s->replaceCharactersInRange(NSMakeRange(2, 1), "xyz"_ns); // "aaxyzb"
    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,2]=A [2,4]=B ");
    s->replaceCharactersInRange(NSMakeRange(2, 0), "--"_ns); // inserted after an A
    EXPECT_EQ(dv::str(s->string()), "aa--xyzb");
    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,4]=A [4,4]=B ");
    s->replaceCharactersInRange(NSMakeRange(0, 0), ">"_ns); // at the start: the one after
    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,5]=A [5,4]=B ");
    s->replaceCharactersInRange(NSMakeRange(0, 5), ""_ns);
    EXPECT_EQ(dv::str(s->string()), "xyzb");
    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,4]=B ");

    auto empty = text("");
    empty->replaceCharactersInRange(NSMakeRange(0, 0), "new"_ns);
    EXPECT_EQ(empty->attributesAtIndex(0, nullptr)->count(), 0u);
}

TEST(AttributedString, AttributedPiecesKeepTheirOwnAttributes)
{
    auto s = text("hello", attrs({{NSFontAttributeName, "body"_ns}}));
    auto bold = alloc<NSAttributedString>()->initWithString(" 世界😀"_ns, attrs({{NSFontAttributeName, "bold"_ns}}));
    s->appendAttributedString(bold);
    EXPECT_EQ(s->length(), 10u); // the emoji counts two units
    EXPECT_EQ(runsOf(s, NSFontAttributeName), "[0,5]=body [5,5]=bold ");
    s->insertAttributedString(alloc<NSAttributedString>()->initWithString("!"_ns), 0);
    EXPECT_EQ(runsOf(s, NSFontAttributeName), "[0,1]=nil [1,5]=body [6,5]=bold ");
    s->deleteCharactersInRange(NSMakeRange(0, 3));
    EXPECT_EQ(dv::str(s->string()), "llo 世界😀");
    EXPECT_EQ(runsOf(s, NSFontAttributeName), "[0,3]=body [3,5]=bold ");
    // Appending the string to itself doubles it.
    s->appendAttributedString(s);
    EXPECT_EQ(dv::str(s->string()), "llo 世界😀llo 世界😀");
    EXPECT_EQ(runsOf(s, NSFontAttributeName), "[0,3]=body [3,5]=bold [8,3]=body [11,5]=bold ");
    auto piece = s->attributedSubstringFromRange(NSMakeRange(6, 4));
    EXPECT_EQ(dv::str(piece->string()), "😀ll");
    EXPECT_EQ(runsOf(piece, NSFontAttributeName), "[0,2]=bold [2,2]=body ");
    s->setAttributedString(piece);
    EXPECT_TRUE(s->isEqual(piece));
}

TEST(AttributedString, SettingAddingAndRemovingAttributes)
{
    auto s = text("abcdef", attrs({{NSKernAttributeName, NSNumber::from(2)}}));
    s->addAttributes(attrs({{NSLinkAttributeName, "L"_ns}, {NSKernAttributeName, NSNumber::from(3)}}), NSMakeRange(1, 2));
    EXPECT_EQ(runsOf(s, NSKernAttributeName), "[0,1]=2 [1,2]=3 [3,3]=2 ");
    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,1]=nil [1,2]=L [3,3]=nil ");
    s->removeAttribute(NSLinkAttributeName, NSMakeRange(0, 6));
    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,6]=nil ");
    s->setAttributes(nil, NSMakeRange(2, 3));
    EXPECT_EQ(runsOf(s, NSKernAttributeName), "[0,1]=2 [1,1]=3 [2,3]=nil [5,1]=2 ");
    // nil names and values change nothing.
    auto before = dv::copyAs<NSAttributedString>(s);
    s->addAttribute(nil, "x"_ns, NSMakeRange(0, 6));
    s->addAttribute(NSLinkAttributeName, nil, NSMakeRange(0, 6));
    s->removeAttribute(nil, NSMakeRange(0, 6));
    EXPECT_TRUE(s->isEqual(before));
    // A dictionary changed after it was given does not change the string.
    auto mutableAttributes = NSMutableDictionary::of({{NSLinkAttributeName, "first"_ns}});
    s->setAttributes(mutableAttributes, NSMakeRange(0, 6));
    mutableAttributes->setObjectForKey("second"_ns, NSLinkAttributeName);
    EXPECT_TRUE(dv::equal(s->attribute(NSLinkAttributeName, 0, nullptr), "first"_ns));
}

TEST(AttributedString, WalksRunsInEitherDirectionAndStops)
{
    auto s = text("aabbbcc");
    s->addAttribute(NSLinkAttributeName, "b"_ns, NSMakeRange(2, 3));
    s->addAttribute(NSKernAttributeName, NSNumber::from(1), NSMakeRange(3, 1));
    std::vector<NSRange> ranges;
    s->enumerateAttributesInRange(NSMakeRange(1, 5), 0, [&](const Ref<NSDictionary>&, NSRange range, bool*) { ranges.push_back(range); });
    EXPECT_EQ(ranges, (std::vector<NSRange> {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}));
    ranges.clear();
    s->enumerateAttributesInRange(NSMakeRange(0, 7), NSAttributedStringEnumerationReverse, [&](const Ref<NSDictionary>&, NSRange range, bool* stop) {
        ranges.push_back(range);
        *stop = ranges.size() == 2;
    });
    EXPECT_EQ(ranges, (std::vector<NSRange> {{5, 2}, {4, 1}}));

    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,2]=nil [2,3]=b [5,2]=nil ");
    EXPECT_EQ(runsOf(s, NSLinkAttributeName, NSAttributedStringEnumerationLongestEffectiveRangeNotRequired),
              "[0,2]=nil [2,1]=b [3,1]=b [4,1]=b [5,2]=nil ");
    EXPECT_EQ(runsOf(s, NSLinkAttributeName, NSAttributedStringEnumerationReverse), "[5,2]=nil [2,3]=b [0,2]=nil ");

    // The block may change attributes of the string it walks.
    s->enumerateAttribute(NSLinkAttributeName, NSMakeRange(0, 7), 0, [&](const id& value, NSRange range, bool*) {
        if (value)
            s->removeAttribute(NSLinkAttributeName, range);
        else
            s->addAttribute(NSLinkAttributeName, "was nil"_ns, range);
    });
    EXPECT_EQ(runsOf(s, NSLinkAttributeName), "[0,2]=was nil [2,3]=nil [5,2]=was nil ");
}

TEST(AttributedString, EqualityCopiesAndDescription)
{
    auto a = text("ab", attrs({{NSLinkAttributeName, "x"_ns}}));
    auto b = text("a");
    b->appendAttributedString(alloc<NSAttributedString>()->initWithString("b"_ns));
    EXPECT_FALSE(a->isEqual(b));
    b->setAttributes(attrs({{NSLinkAttributeName, NSMutableString::fromUTF8("x")}}), NSMakeRange(0, 2));
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_TRUE(a->isEqualToAttributedString(b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual("ab"_ns));
    // Same text, attributes differ.
    EXPECT_FALSE(text("ab")->isEqual(text("ab", attrs({{NSKernAttributeName, NSNumber::from(0)}}))));

    auto frozen = dv::copyAs<NSAttributedString>(a);
    EXPECT_FALSE(frozen->isKindOfClass(NSMutableAttributedString::class_()));
    a->replaceCharactersInRange(NSMakeRange(0, 1), "z"_ns);
    EXPECT_EQ(dv::str(frozen->string()), "ab");
    EXPECT_EQ(frozen->copy(), frozen); // immutable copies are the object itself
    auto again = dv::as<NSMutableAttributedString>(frozen->mutableCopy());
    ASSERT_TRUE(again);
    again->deleteCharactersInRange(NSMakeRange(0, 2));
    EXPECT_EQ(frozen->length(), 2u);

    auto described = text("ab");
    described->addAttribute(NSLinkAttributeName, "x"_ns, NSMakeRange(1, 1));
    EXPECT_EQ(dv::str(described->description()), "a{\n}b{\n    NSLink = x;\n}");
}

TEST(AttributedString, SecureArchiveKeepsEveryRun)
{
    auto s = text("二维码 link plain");
    s->addAttribute(NSLinkAttributeName, NSURL::URLWithString("http://127.0.0.1/DV/"_ns), NSMakeRange(4, 4));
    s->addAttribute(NSKernAttributeName, NSNumber::from(1.5), NSMakeRange(0, 8));
    s->addAttribute(NSUnderlineStyleAttributeName, NSNumber::from(NSUnderlineStyleSingle), NSMakeRange(9, 5));
    for (Ref<NSAttributedString> original : {Ref<NSAttributedString>(s), dv::copyAs<NSAttributedString>(s),
                                              alloc<NSAttributedString>()->initWithString("one run"_ns, attrs({{NSKernAttributeName, NSNumber::from(1)}})),
                                              alloc<NSAttributedString>()->initWithString(""_ns)}) {
        Ref<NSError> error;
        auto data = NSKeyedArchiver::archivedDataWithRootObject(original, true, &error);
        ASSERT_TRUE(data) << dv::str(error);
        auto back = NSKeyedUnarchiver::unarchivedObjectOfClass<NSAttributedString>(data, &error);
        ASSERT_TRUE(back) << dv::str(error);
        EXPECT_TRUE(back->isEqual(original)) << dv::str(back) << " / " << dv::str(original);
        EXPECT_EQ(back->isKindOfClass(NSMutableAttributedString::class_()), original->isKindOfClass(NSMutableAttributedString::class_()));
    }
}

TEST(AttributedString, ArchivedRunsThatDoNotFitTheTextAreAnError)
{
    auto s = text("abcd");
    s->addAttribute(NSKernAttributeName, NSNumber::from(1), NSMakeRange(0, 2));
    auto archiver = alloc<NSKeyedArchiver>()->initRequiringSecureCoding(false);
    archiver->setOutputFormat(NSPropertyListXMLFormat_v1_0); // references read back as plain dictionaries
    archiver->encodeObject(s, NSKeyedArchiveRootObjectKey);
    auto data = archiver->encodedData();
    ASSERT_TRUE(data);
    // Lengthen the first run in the archive: 2 becomes 9.
    auto plist = dv::as<NSMutableDictionary>(NSPropertyListSerialization::propertyListWithData(data, NSPropertyListMutableContainersAndLeaves, nullptr, nullptr));
    ASSERT_TRUE(plist);
    auto objects = dv::as<NSMutableArray>(plist->objectForKey("$objects"_ns));
    ASSERT_TRUE(objects);
    bool changed = false;
    for (NSUInteger i = 0; i < objects->count(); ++i) {
        auto bytes = dv::as<NSData>(objects->objectAtIndex(i));
        if (bytes && bytes->length() == 4 && bytes->bytes()[0] == 2) {
            objects->replaceObjectAtIndex(i, NSData::fromString(std::string("\x09\x00\x02\x01", 4)));
            changed = true;
        }
    }
    ASSERT_TRUE(changed);
    auto broken = NSPropertyListSerialization::dataWithPropertyList(plist, NSPropertyListXMLFormat_v1_0, 0, nullptr);
    Ref<NSError> error;
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass<NSAttributedString>(broken, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4864);
}

// Objects made bare (as the model mapping makes an object property's class with new) are still
// usable values.
TEST(AttributedString, BareInstancesOfTheValueClassesAreUsable)
{
    for (Class cls : {NSAttributedString::class_(), NSMutableAttributedString::class_()}) {
        auto bare = dv::as<NSAttributedString>(cls->createInstance()->init());
        ASSERT_TRUE(bare);
        EXPECT_EQ(bare->length(), 0u);
        EXPECT_EQ(dv::str(bare->description()), "");
        EXPECT_TRUE(bare->isEqual(alloc<NSAttributedString>()->initWithString(""_ns)));
    }
}
