#include "platform/base/Base.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(Number, StringValuesAsThePlatformPrints)
{
    EXPECT_EQ(NSNumber::from(12)->stringValue()->utf8(), "12");
    EXPECT_EQ(NSNumber::from(12.5)->stringValue()->utf8(), "12.5");
    EXPECT_EQ(NSNumber::from(0.1)->stringValue()->utf8(), "0.1");
    EXPECT_EQ(NSNumber::from(true)->stringValue()->utf8(), "1");
    EXPECT_EQ(NSNumber::from(-3LL)->description()->utf8(), "-3");
    EXPECT_EQ(NSNumber::from(18446744073709551615ULL)->stringValue()->utf8(), "18446744073709551615");
    EXPECT_EQ(NSNumber::from(2.5f)->stringValue()->utf8(), "2.5");
}

TEST(Number, BooleansAreDistinctKinds)
{
    auto yes = NSNumber::from(true);
    EXPECT_TRUE(yes->isBoolean());
    EXPECT_FALSE(NSNumber::from(1)->isBoolean());
    EXPECT_EQ(yes, NSNumber::numberWithBool(true)); // shared instances
    EXPECT_STREQ(yes->objCType(), "c");
    EXPECT_STREQ(NSNumber::from(1LL)->objCType(), "q");
    EXPECT_STREQ(NSNumber::from(1.0)->objCType(), "d");
    EXPECT_TRUE(yes->isEqual(NSNumber::from(1))); // equal by value, as on the platform
}

TEST(Number, FloatingPointConversionsAreDefinedForNaNAndOutOfRange)
{
    auto nan = NSNumber::from(std::nan(""));
    EXPECT_EQ(nan->intValue(), 0);
    EXPECT_EQ(nan->longLongValue(), 0);
    EXPECT_EQ(nan->unsignedLongLongValue(), 0u);
    EXPECT_FALSE(nan->boolValue());
    EXPECT_EQ(NSNumber::from(1e300)->intValue(), INT_MAX);
    EXPECT_EQ(NSNumber::from(-1e300)->longLongValue(), LLONG_MIN);
    EXPECT_EQ(NSNumber::from(-1.0)->unsignedIntValue(), 0u);
    EXPECT_EQ(NSNumber::from(3.9)->intValue(), 3);
    EXPECT_EQ(NSNumber::from(-3.9)->intValue(), -3);
    EXPECT_EQ(NSNumber::from(300.5)->charValue(), 44); // truncated to 300, then cut to 8 bits
    EXPECT_EQ(NSNumber::from(-1.0)->unsignedCharValue(), 255);
    EXPECT_EQ(dv::saturatingCast<int>(INFINITY), INT_MAX);
}

// Integer kinds narrow as C converts them: modulo the target width, never held at its ends.
TEST(Number, IntegerNarrowingWrapsAsC)
{
    EXPECT_EQ(NSNumber::from(-1)->unsignedIntValue(), 4294967295u);
    EXPECT_EQ(NSNumber::from(-1)->unsignedLongLongValue(), 18446744073709551615ULL);
    EXPECT_EQ(NSNumber::from(300)->charValue(), 44);
    EXPECT_EQ(NSNumber::from(300)->unsignedCharValue(), 44);
    EXPECT_EQ(NSNumber::from(-129)->charValue(), 127);
    EXPECT_EQ(NSNumber::from(70000)->shortValue(), 4464);
    EXPECT_EQ(NSNumber::from(65535)->shortValue(), -1);
    EXPECT_EQ(NSNumber::from(5000000000LL)->intValue(), 705032704);
    EXPECT_EQ(NSNumber::from(18446744073709551615ULL)->longLongValue(), -1);
    EXPECT_EQ(NSNumber::from(18446744073709551615ULL)->intValue(), -1);
    EXPECT_EQ(NSNumber::from(4294967295u)->intValue(), -1);
    EXPECT_EQ(NSNumber::numberWithBool(true)->charValue(), 1);
    EXPECT_EQ(NSNumber::from(-5)->integerValue(), -5);
}

TEST(Number, EqualityHashAndOrderAcrossKinds)
{
    EXPECT_TRUE(NSNumber::from(1)->isEqual(NSNumber::from(1.0)));
    EXPECT_EQ(NSNumber::from(1)->hash(), NSNumber::from(1.0)->hash());
    EXPECT_EQ(NSNumber::from(7u)->hash(), NSNumber::from(7LL)->hash());
    EXPECT_FALSE(NSNumber::from(1)->isEqual(NSNumber::from(1.5)));
    EXPECT_FALSE(NSNumber::from(1)->isEqual("1"_ns));
    EXPECT_EQ(NSNumber::from(-1)->compare(NSNumber::from(18446744073709551615ULL)), NSOrderedAscending);
    EXPECT_EQ(NSNumber::from(9007199254740993LL)->compare(NSNumber::from(9007199254740992.0)), NSOrderedDescending);
    EXPECT_EQ(NSNumber::from(2.5)->compare(NSNumber::from(2)), NSOrderedDescending);
    EXPECT_EQ(NSNumber::from(std::nan(""))->compare(NSNumber::from(0)), NSOrderedAscending);
}

TEST(Null, IsOneObject)
{
    EXPECT_EQ(NSNull::null(), NSNull::null());
    EXPECT_EQ(NSNull::null()->description()->utf8(), "<null>");
    EXPECT_EQ(NSNull::null()->copy(), NSNull::null());
    EXPECT_TRUE(dv::isNullish(NSNull::null()));
    EXPECT_TRUE(dv::isNullish(nullptr));
    EXPECT_FALSE(dv::isNullish(""_ns));
}

TEST(Data, BytesRangesAndDescription)
{
    auto data = NSData::fromString("Hello");
    EXPECT_EQ(data->description()->utf8(), "<48656c6c 6f>");
    EXPECT_EQ(NSData::data()->description()->utf8(), "<>");
    EXPECT_EQ(data->subdataWithRange(NSMakeRange(1, 3))->view(), "ell");
    EXPECT_THROW(data->subdataWithRange(NSMakeRange(3, 3)), dv::RaisedException);
    EXPECT_THROW(data->subdataWithRange(NSMakeRange(NSUIntegerMax, 2)), dv::RaisedException);
    EXPECT_EQ(data->rangeOfData(NSData::fromString("lo"), NSMakeRange(0, 5)), NSMakeRange(3, 2));
    EXPECT_TRUE(data->isEqual(NSMutableData::dataWithData(data)));
    EXPECT_EQ(data->hash(), NSMutableData::dataWithData(data)->hash());

    auto buffer = NSMutableData::data();
    buffer->appendBytes("abc", 3);
    buffer->replaceBytesInRange(NSMakeRange(1, 1), "XYZ", 3);
    EXPECT_EQ(buffer->view(), "aXYZc");
    auto frozen = dv::copyAs<NSData>(buffer);
    buffer->setLength(1);
    EXPECT_EQ(frozen->view(), "aXYZc");
    EXPECT_FALSE(frozen->isKindOfClass(NSMutableData::class_()));
}

TEST(Data, WritesFilesAtomically)
{
    char folder[] = "/tmp/dv-data-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    auto path = NSString::stringWithFormat("%s/file.bin", folder);
    EXPECT_TRUE(NSData::fromString("first")->writeToFile(path, true));
    EXPECT_TRUE(NSData::fromString("second")->writeToFile(path, true));
    EXPECT_EQ(NSData::dataWithContentsOfFile(path)->view(), "second");
    EXPECT_FALSE(NSData::fromString("x")->writeToFile(NSString::stringWithFormat("%s/missing/dir/f", folder), true));
    EXPECT_EQ(NSData::dataWithContentsOfFile(NSString::stringWithFormat("%s/none", folder)), nullptr);
    // A folder is no file to read.
    EXPECT_EQ(NSData::dataWithContentsOfFile(NSString::fromUTF8(folder)), nullptr);
    std::system((std::string("rm -rf ") + folder).c_str());
}

TEST(Date, ReadsTheReplaceableClock)
{
    NSDate::setNowFunction([] { return 1000.0; });
    EXPECT_EQ(NSDate::date()->timeIntervalSinceReferenceDate(), 1000.0);
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceNow(5)->timeIntervalSinceReferenceDate(), 1005.0);
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceReferenceDate(1010)->timeIntervalSinceNow(), 10.0);
    NSDate::setNowFunction({});
    EXPECT_GT(NSDate::date()->timeIntervalSince1970(), 1.7e9);

    auto epoch = NSDate::dateWithTimeIntervalSince1970(0);
    EXPECT_EQ(epoch->description()->utf8(), "1970-01-01 00:00:00 +0000");
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceReferenceDate(0)->description()->utf8(), "2001-01-01 00:00:00 +0000");
    EXPECT_EQ(epoch->compare(NSDate::dateWithTimeIntervalSince1970(1)), NSOrderedAscending);
    EXPECT_TRUE(epoch->isEqual(NSDate::dateWithTimeIntervalSinceReferenceDate(-NSTimeIntervalSince1970)));
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceReferenceDate(1e300)->description()->utf8(), "(invalid date)");
}

TEST(Error, DescriptionsAndStandardKeys)
{
    auto underlying = NSError::errorWithDomain(NSPOSIXErrorDomain, 2, nullptr);
    auto error = NSError::errorWithDomain("NSURLErrorDomain"_ns, -1001,
                                          NSDictionary::of({{NSLocalizedDescriptionKey, "The request timed out."_ns},
                                                            {NSUnderlyingErrorKey, underlying}}));
    EXPECT_EQ(error->code(), -1001);
    EXPECT_EQ(error->localizedDescription()->utf8(), "The request timed out.");
    EXPECT_EQ(error->underlyingError(), underlying);
    EXPECT_EQ(underlying->localizedDescription()->utf8(), "The operation couldn\u2019t be completed. (NSPOSIXErrorDomain error 2.)");
    EXPECT_TRUE(error->description()->hasPrefix("Error Domain=NSURLErrorDomain Code=-1001 \"The request timed out.\" UserInfo={"));
    EXPECT_EQ(NSError::errorWithDomain("d"_ns, 1, nullptr)->userInfo()->count(), 0u);
    EXPECT_TRUE(error->isEqual(NSError::errorWithDomain("NSURLErrorDomain"_ns, -1001, error->userInfo())));
}

TEST(Exception, CarriesNameAndReason)
{
    try {
        NSArray::array()->objectAtIndex(0);
        FAIL() << "expected a range exception";
    } catch (const dv::RaisedException& raised) {
        EXPECT_EQ(raised.exception()->name()->utf8(), NSRangeException);
        EXPECT_NE(std::string(raised.what()).find("beyond bounds for empty array"), std::string::npos);
    }
}
