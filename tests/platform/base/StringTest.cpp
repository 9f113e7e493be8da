#include "platform/base/Base.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(StringFormat, IntegerConversionsAndWidths)
{
    EXPECT_EQ(NSString::stringWithFormat("%d|%i|%ld|%lld", -5, 7, 123456789012L, -9223372036854775807LL - 1)->utf8(),
              "-5|7|123456789012|-9223372036854775808");
    EXPECT_EQ(NSString::stringWithFormat("%lu|%llu|%u", 42UL, 18446744073709551615ULL, 3u)->utf8(), "42|18446744073709551615|3");
    EXPECT_EQ(NSString::stringWithFormat("%x|%X|%08X|%o", 255, 255, 0xBEEF, 8)->utf8(), "ff|FF|0000BEEF|10");
    EXPECT_EQ(NSString::stringWithFormat("[%5d][%-5d][%05d]", 42, 42, 42)->utf8(), "[   42][42   ][00042]");
    // Without a long modifier a wider argument is read as an int, as on the platform.
    EXPECT_EQ(NSString::stringWithFormat("%d", 4294967297LL)->utf8(), "1");
}

TEST(StringFormat, FloatingConversions)
{
    EXPECT_EQ(NSString::stringWithFormat("%f", 1.5)->utf8(), "1.500000");
    EXPECT_EQ(NSString::stringWithFormat("%.2f|%.0f", 3.14159, 2.5)->utf8(), "3.14|2");
    EXPECT_EQ(NSString::stringWithFormat("%g|%0.1g", 0.0001, 0.25)->utf8(), "0.0001|0.2");
    EXPECT_EQ(NSString::stringWithFormat("%.1f", 7)->utf8(), "7.0"); // an integer argument is converted
    EXPECT_EQ(NSString::stringWithFormat("%e", 12345.678)->utf8(), "1.234568e+04");
}

TEST(StringFormat, ObjectsStringsCharactersAndPointers)
{
    EXPECT_EQ(NSString::stringWithFormat("%@ and %@", "正在加载"_ns, NSNumber::from(12))->utf8(), "正在加载 and 12");
    EXPECT_EQ(NSString::stringWithFormat("%@", nullptr)->utf8(), "(null)");
    Ref<NSString> none;
    EXPECT_EQ(NSString::stringWithFormat("param:%@", none)->utf8(), "param:(null)");
    EXPECT_EQ(NSString::stringWithFormat("%s|%.3s|%6s", "abc", "abcdef", "ab")->utf8(), "abc|abc|    ab");
    EXPECT_EQ(NSString::stringWithFormat("%c%c", 'o', 'k')->utf8(), "ok");
    EXPECT_EQ(NSString::stringWithFormat("%C", u'中')->utf8(), "中");
    EXPECT_EQ(NSString::stringWithFormat("100%%")->utf8(), "100%");
    EXPECT_EQ(NSString::stringWithFormat("%p", static_cast<const void*>(nullptr))->utf8(), "0x0");
    EXPECT_EQ(NSString::stringWithFormat("%p", reinterpret_cast<const void*>(0x1234))->utf8(), "0x1234");
    EXPECT_EQ(NSString::stringWithFormat("%@", NSArray::of({"a"_ns}))->utf8(), "(\n    a\n)");
}

TEST(StringFormat, MissingArgumentsAndOddSpecifiersAreSafe)
{
    EXPECT_EQ(NSString::stringWithFormat("%d %@ %s")->utf8(), "0 (null) (null)");
    EXPECT_EQ(NSString::stringWithFormat("%k|%")->utf8(), "%k|%");
    EXPECT_EQ(NSString::stringWithFormat("%*d|%.*f", 4, 7, 1, 2.25)->utf8(), "   7|2.2");
    EXPECT_EQ(NSString::stringWithFormat("%99999999d", 1)->length(), 4096u); // widths are bounded
}

TEST(StringFormat, PositionalArgumentsPickTheirArgument)
{
    EXPECT_EQ(NSString::stringWithFormat("%2$@ %1$@", "world"_ns, "hello"_ns)->utf8(), "hello world");
    EXPECT_EQ(NSString::stringWithFormat("%1$@-%1$@", "a"_ns)->utf8(), "a-a");
    EXPECT_EQ(NSString::stringWithFormat("%2$d/%1$.1f", 2.25, 7)->utf8(), "7/2.2");
    EXPECT_EQ(NSString::stringWithFormat("[%2$*1$d]", 4, 7)->utf8(), "[   7]");
    EXPECT_EQ(NSString::stringWithFormat("%3$@|%1$s", "x", 1, "z"_ns)->utf8(), "z|x");
    // A number past the arguments prints nothing, as a missing argument does.
    EXPECT_EQ(NSString::stringWithFormat("<%5$@>", "a"_ns)->utf8(), "<(null)>");
    // A count without "$" stays a width.
    EXPECT_EQ(NSString::stringWithFormat("%3d", 7)->utf8(), "  7");
}

TEST(String, CountsInUtf16Units)
{
    auto text = "a中😀b"_ns;
    EXPECT_EQ(text->length(), 5u);
    EXPECT_EQ(text->characterAtIndex(0), u'a');
    EXPECT_EQ(text->characterAtIndex(1), u'中');
    EXPECT_EQ(text->characterAtIndex(2), 0xD83D);
    EXPECT_EQ(text->characterAtIndex(3), 0xDE00);
    EXPECT_EQ(text->characterAtIndex(4), u'b');
    EXPECT_THROW(text->characterAtIndex(5), dv::RaisedException);
    EXPECT_EQ(text->substringWithRange(NSMakeRange(1, 3))->utf8(), "中😀");
    EXPECT_EQ(text->substringFromIndex(4)->utf8(), "b");
    EXPECT_EQ(text->rangeOfString("b"_ns), NSMakeRange(4, 1));
    EXPECT_EQ(text->rangeOfString("x"_ns).location, static_cast<NSUInteger>(NSNotFound));
    EXPECT_THROW(text->substringToIndex(6), dv::RaisedException);
    EXPECT_EQ(NSString::stringWithCharacters(text->utf16().data(), 5)->utf8(), text->utf8());
}

TEST(String, InvalidUtf8IsReplacedNotKept)
{
    auto broken = NSString::fromUTF8(std::string("ok\xC3(\xFF", 5));
    EXPECT_EQ(broken->utf8(), "ok\xEF\xBF\xBD(\xEF\xBF\xBD");
    EXPECT_EQ(broken->length(), 5u);
    EXPECT_EQ(alloc<NSString>()->initWithBytes("\xC3(", 2, NSUTF8StringEncoding), nullptr);
    EXPECT_EQ(alloc<NSString>()->initWithBytes("\xE4\xB8\xAD", 3, NSUTF8StringEncoding)->utf8(), "中");
}

TEST(String, EncodingsRoundTrip)
{
    auto text = "中文 text"_ns;
    for (NSStringEncoding encoding : std::initializer_list<NSStringEncoding>{NSUTF8StringEncoding, NSUTF16StringEncoding, NSUTF16BigEndianStringEncoding,
                                      NSUTF16LittleEndianStringEncoding, NSUTF32StringEncoding, static_cast<NSStringEncoding>(0x80000632),
                                      static_cast<NSStringEncoding>(0x80000631), static_cast<NSStringEncoding>(0x80000A03)}) {
        auto data = text->dataUsingEncoding(encoding);
        ASSERT_TRUE(data) << encoding;
        EXPECT_EQ(alloc<NSString>()->initWithData(data, encoding)->utf8(), text->utf8()) << encoding;
    }
    // GBK bytes of 中文.
    EXPECT_EQ(text->dataUsingEncoding(0x80000631)->subdataWithRange(NSMakeRange(0, 4))->description()->utf8(), "<d6d0cec4>");
    EXPECT_EQ(text->dataUsingEncoding(NSASCIIStringEncoding), nullptr);
    EXPECT_EQ(text->dataUsingEncoding(NSASCIIStringEncoding, true)->view(), "?? text");
    EXPECT_EQ(alloc<NSString>()->initWithBytes("caf\xE9", 4, NSISOLatin1StringEncoding)->utf8(), "café");
    EXPECT_EQ(alloc<NSString>()->initWithBytes("\xD8\x00", 2, NSUTF16BigEndianStringEncoding), nullptr); // lone surrogate
    EXPECT_EQ(alloc<NSString>()->initWithBytes("x", 1, 0x7777), nullptr);
}

TEST(String, NumericValuesFollowThePlatformRules)
{
    EXPECT_EQ("  42abc"_ns->intValue(), 42);
    EXPECT_EQ("\t-17"_ns->integerValue(), -17);
    EXPECT_EQ("+8"_ns->longLongValue(), 8);
    EXPECT_EQ("abc"_ns->intValue(), 0);
    EXPECT_EQ("- 5"_ns->intValue(), 0);
    EXPECT_EQ("99999999999"_ns->intValue(), INT_MAX);
    EXPECT_EQ("-99999999999"_ns->intValue(), INT_MIN);
    EXPECT_EQ("-2147483648"_ns->intValue(), INT_MIN);
    EXPECT_EQ("99999999999999999999999"_ns->longLongValue(), LLONG_MAX);
    EXPECT_EQ("-9223372036854775808"_ns->longLongValue(), LLONG_MIN);
    EXPECT_EQ("18446744073709551615"_ns->unsignedLongLongValue(), ULLONG_MAX);
    EXPECT_DOUBLE_EQ(" 3.25e2xyz"_ns->doubleValue(), 325.0);
    EXPECT_DOUBLE_EQ("-.5"_ns->doubleValue(), -0.5);
    EXPECT_DOUBLE_EQ("1e"_ns->doubleValue(), 1.0);
    EXPECT_DOUBLE_EQ("inf"_ns->doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ("0x10"_ns->doubleValue(), 0.0);
    EXPECT_TRUE(std::isinf("1e999"_ns->doubleValue()));
    EXPECT_FLOAT_EQ("2.5"_ns->floatValue(), 2.5f);

    EXPECT_TRUE("YES"_ns->boolValue());
    EXPECT_TRUE("  true"_ns->boolValue());
    EXPECT_TRUE("007"_ns->boolValue());
    EXPECT_TRUE("-1"_ns->boolValue());
    EXPECT_FALSE("0"_ns->boolValue());
    EXPECT_FALSE("NO"_ns->boolValue());
    EXPECT_FALSE(""_ns->boolValue());
}

TEST(String, ComparisonsAndSearching)
{
    EXPECT_EQ("apple"_ns->compare("banana"_ns), NSOrderedAscending);
    EXPECT_EQ("b"_ns->compare("a"_ns), NSOrderedDescending);
    EXPECT_EQ("ABC"_ns->caseInsensitiveCompare("abc"_ns), NSOrderedSame);
    EXPECT_EQ("file10"_ns->compare("file9"_ns, NSNumericSearch), NSOrderedDescending);
    EXPECT_EQ("file10"_ns->compare("file9"_ns), NSOrderedAscending);
    // UTF-16 order: a character above U+FFFF (surrogates) sorts before U+FFFD.
    EXPECT_EQ("😀"_ns->compare("\uFFFD"_ns), NSOrderedAscending);
    EXPECT_TRUE("http://x"_ns->hasPrefix("http"_ns));
    EXPECT_FALSE("abc"_ns->hasPrefix(""_ns));
    EXPECT_FALSE("abc"_ns->hasPrefix(std::string_view()));
    EXPECT_FALSE("abc"_ns->hasSuffix(std::string_view("")));
    EXPECT_FALSE(""_ns->hasPrefix(std::string_view("")));
    EXPECT_TRUE("abc"_ns->hasSuffix(std::string_view("bc")));
    EXPECT_TRUE("image.PNG"_ns->hasSuffix(".PNG"_ns));
    EXPECT_EQ("Hello World"_ns->rangeOfString("WORLD"_ns, NSCaseInsensitiveSearch), NSMakeRange(6, 5));
    EXPECT_EQ("abcabc"_ns->rangeOfString("bc"_ns, NSBackwardsSearch), NSMakeRange(4, 2));
    EXPECT_EQ("abcabc"_ns->rangeOfString("bc"_ns, NSAnchoredSearch).location, static_cast<NSUInteger>(NSNotFound));
    EXPECT_TRUE("正在加载"_ns->containsString("加载"_ns));
    EXPECT_TRUE("abc"_ns->isEqual("abc"_ns));
    EXPECT_TRUE("abc"_ns->isEqual(NSMutableString::fromUTF8("abc")));
    EXPECT_EQ("abc"_ns->hash(), NSMutableString::fromUTF8("abc")->hash());
    EXPECT_FALSE("1"_ns->isEqual(NSNumber::from(1)));
}

TEST(String, NonLiteralCompareTreatsCanonicalEquivalentsAsEqual)
{
    auto precomposed = "caf\u00e9"_ns;   // é as one character
    auto decomposed = "cafe\u0301"_ns;   // e and a combining acute accent
    EXPECT_EQ(precomposed->compare(decomposed), NSOrderedSame);
    EXPECT_EQ(decomposed->compare(precomposed), NSOrderedSame);
    EXPECT_NE(precomposed->compare(decomposed, NSLiteralSearch), NSOrderedSame);
    EXPECT_EQ("CAF\u00c9"_ns->compare(decomposed, NSCaseInsensitiveSearch), NSOrderedSame);
    EXPECT_FALSE(precomposed->isEqualToString(decomposed));
    EXPECT_FALSE(precomposed->isEqual(decomposed));
    // Order still follows the decomposed text.
    EXPECT_EQ(precomposed->compare("cafe"_ns), NSOrderedDescending);
    EXPECT_EQ(precomposed->compare("caff"_ns), NSOrderedAscending);
    EXPECT_EQ("\u00c5ngstr\u00f6m"_ns->compare("A\u030angstro\u0308m"_ns), NSOrderedSame);
}

TEST(String, SplittingTrimmingAndReplacing)
{
    auto parts = "a,b,,c"_ns->componentsSeparatedByString(","_ns);
    ASSERT_EQ(parts->count(), 4u);
    EXPECT_EQ(dv::str(parts->objectAtIndex(2)), "");
    EXPECT_EQ("\u3000 中 \n\t"_ns->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceAndNewlineCharacterSet())->utf8(), "中");
    EXPECT_EQ(" x\n"_ns->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceCharacterSet())->utf8(), "x\n");
    EXPECT_EQ("   "_ns->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceCharacterSet())->utf8(), "");
    EXPECT_EQ("a-b-c"_ns->stringByReplacingOccurrencesOfString("-"_ns, "+"_ns)->utf8(), "a+b+c");
    EXPECT_EQ("aaa"_ns->stringByReplacingOccurrencesOfString("a"_ns, "aa"_ns)->utf8(), "aaaaaa");
    EXPECT_EQ("a b\tc"_ns->componentsSeparatedByCharactersInSet(NSCharacterSet::whitespaceCharacterSet())->count(), 3u);
    EXPECT_EQ("Straße"_ns->uppercaseString()->utf8(), "STRASSE");
    EXPECT_EQ("ÀB"_ns->lowercaseString()->utf8(), "àb");
    EXPECT_EQ("hello world"_ns->capitalizedString()->utf8(), "Hello World");

    auto text = NSMutableString::fromUTF8("中文abc");
    text->replaceOccurrencesOfString("B"_ns, "X"_ns, NSCaseInsensitiveSearch, NSMakeRange(0, text->length()));
    EXPECT_EQ(text->utf8(), "中文aXc");
    text->insertStringAtIndex("!"_ns, 2);
    text->deleteCharactersInRange(NSMakeRange(0, 1));
    EXPECT_EQ(text->utf8(), "文!aXc");
    EXPECT_EQ(text->length(), 5u);
    text->appendFormat("%d", 9);
    EXPECT_EQ(text->utf8(), "文!aXc9");
    EXPECT_THROW(text->deleteCharactersInRange(NSMakeRange(3, 10)), dv::RaisedException);
}

TEST(String, MutableCopiesAreIndependent)
{
    auto original = NSMutableString::fromUTF8("draft");
    auto frozen = dv::copyAs<NSString>(original);
    original->appendUTF8("2");
    EXPECT_EQ(frozen->utf8(), "draft");
    EXPECT_FALSE(frozen->isKindOfClass(NSMutableString::class_()));
    auto immutable = "x"_ns;
    EXPECT_EQ(immutable->copy(), immutable); // immutable strings copy to themselves
    EXPECT_TRUE(immutable->mutableCopy()->isKindOfClass(NSMutableString::class_()));
}

TEST(String, PathOperations)
{
    EXPECT_EQ("/tmp/a/b.png"_ns->lastPathComponent()->utf8(), "b.png");
    EXPECT_EQ("/tmp/a/"_ns->lastPathComponent()->utf8(), "a");
    EXPECT_EQ("/"_ns->lastPathComponent()->utf8(), "/");
    EXPECT_EQ("/tmp/a/b.tar.gz"_ns->pathExtension()->utf8(), "gz");
    EXPECT_EQ(".hidden"_ns->pathExtension()->utf8(), "");
    EXPECT_EQ("/tmp/a/b.png"_ns->stringByDeletingPathExtension()->utf8(), "/tmp/a/b");
    EXPECT_EQ("/tmp/a/b.png"_ns->stringByDeletingLastPathComponent()->utf8(), "/tmp/a");
    EXPECT_EQ("/tmp"_ns->stringByDeletingLastPathComponent()->utf8(), "/");
    EXPECT_EQ("/tmp/"_ns->stringByAppendingPathComponent("/x/"_ns)->utf8(), "/tmp/x");
    EXPECT_EQ("/"_ns->stringByAppendingPathComponent("x"_ns)->utf8(), "/x");
    EXPECT_EQ("a"_ns->stringByAppendingPathExtension("txt"_ns)->utf8(), "a.txt");
    auto components = "/usr/lib/"_ns->pathComponents();
    ASSERT_EQ(components->count(), 4u);
    EXPECT_EQ(dv::str(components->objectAtIndex(0)), "/");
    EXPECT_EQ(dv::str(components->objectAtIndex(3)), "/");
}

TEST(CharacterSet, MembershipAndInversion)
{
    auto digits = NSCharacterSet::decimalDigitCharacterSet();
    EXPECT_TRUE(digits->characterIsMember('7'));
    EXPECT_FALSE(digits->characterIsMember('x'));
    EXPECT_TRUE(digits->invertedSet()->characterIsMember('x'));
    auto custom = NSCharacterSet::characterSetWithCharactersInString("中,"_ns);
    EXPECT_TRUE(custom->characterIsMember(U'中'));
    EXPECT_TRUE(custom->characterIsMember(','));
    EXPECT_FALSE(custom->characterIsMember('a'));
    auto mutableSet = dv::as<NSMutableCharacterSet>(NSCharacterSet::URLQueryAllowedCharacterSet()->mutableCopy());
    ASSERT_TRUE(mutableSet);
    EXPECT_TRUE(mutableSet->characterIsMember('&'));
    mutableSet->removeCharactersInString("&="_ns);
    EXPECT_FALSE(mutableSet->characterIsMember('&'));
    EXPECT_TRUE(mutableSet->characterIsMember('a'));
    EXPECT_FALSE(NSCharacterSet::URLQueryAllowedCharacterSet()->characterIsMember(' '));
}

TEST(Log, LinesAreCapturable)
{
    dv::LogCapture capture;
    NSLog("param:%@", NSDictionary::of({{"a"_ns, "1"_ns}}));
    NSLog("error=====%@", nullptr);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "param:{\n    a = 1;\n}");
    EXPECT_TRUE(capture.contains("error=====(null)"));
}
