// Time zones, locales, calendars and date formatters over ICU, as the screens and the model
// mapping use them: deterministic through a fixed default zone and a fixed "now".
#include "platform/base/Base.h"
#include "platform/base/NSCache.h"
#include "platform/base/NSCalendar.h"
#include "platform/base/NSDateFormatter.h"
#include "platform/base/NSKeyedArchiver.h"
#include "platform/base/NSKeyedUnarchiver.h"
#include "platform/base/NSLocale.h"
#include "platform/base/NSTimeZone.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

Ref<NSTimeZone> zone(const char* name) { return NSTimeZone::timeZoneWithName(NSString::fromUTF8(name)); }
Ref<NSLocale> locale(const char* identifier) { return NSLocale::localeWithLocaleIdentifier(NSString::fromUTF8(identifier)); }
Ref<NSDate> at1970(double seconds) { return NSDate::dateWithTimeIntervalSince1970(seconds); }

Ref<NSDateFormatter> formatter(const char* pattern, const char* zoneName = nullptr, const char* localeID = "en_US_POSIX")
{
    auto f = alloc<NSDateFormatter>()->init();
    f->setLocale(locale(localeID));
    if (zoneName)
        f->setTimeZone(zone(zoneName));
    f->setDateFormat(NSString::fromUTF8(pattern));
    return f;
}

// Every test runs in Shanghai time at a fixed moment, whatever the machine says.
class DateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NSTimeZone::setDefaultTimeZone(zone("Asia/Shanghai"));
        NSLocale::setCurrentLocaleIdentifier("zh_CN"_ns);
        // 2016-01-02 11:04:05 in Shanghai.
        NSDate::setNowFunction([this] { return m_now; });
    }
    void TearDown() override
    {
        NSTimeZone::setDefaultTimeZone(nil);
        NSLocale::setCurrentLocaleIdentifier(nil);
        NSLocale::setPreferredLanguages(nil);
        NSDate::setNowFunction(nullptr);
    }

    NSTimeInterval m_now = 1451703845 - NSTimeIntervalSince1970;
};

} // namespace

TEST_F(DateTest, TimeZonesByNameOffsetAndAbbreviation)
{
    auto shanghai = zone("Asia/Shanghai");
    ASSERT_TRUE(shanghai);
    EXPECT_EQ(shanghai->secondsFromGMT(), 28800);
    EXPECT_EQ(dv::str(shanghai->abbreviation()), "GMT+8");
    EXPECT_FALSE(shanghai->isDaylightSavingTime());
    EXPECT_FALSE(zone("Nowhere/Atlantis"));
    EXPECT_FALSE(NSTimeZone::timeZoneWithName(nil));

    auto newYork = zone("America/New_York");
    auto summer = at1970(1467331200); // 2016-07-01
    auto winter = at1970(1451606400); // 2016-01-01
    EXPECT_EQ(newYork->secondsFromGMTForDate(summer), -14400);
    EXPECT_EQ(newYork->secondsFromGMTForDate(winter), -18000);
    EXPECT_TRUE(newYork->isDaylightSavingTimeForDate(summer));
    EXPECT_EQ(newYork->daylightSavingTimeOffsetForDate(summer), 3600);
    EXPECT_EQ(dv::str(newYork->abbreviationForDate(summer)), "EDT");

    auto fixed = NSTimeZone::timeZoneForSecondsFromGMT(-(5 * 3600 + 30 * 60));
    EXPECT_EQ(dv::str(fixed->name()), "GMT-0530");
    EXPECT_EQ(fixed->secondsFromGMT(), -19800);
    EXPECT_EQ(dv::str(NSTimeZone::timeZoneForSecondsFromGMT(0)->name()), "GMT");
    EXPECT_FALSE(NSTimeZone::timeZoneForSecondsFromGMT(19 * 3600));
    EXPECT_EQ(zone("GMT+0800")->secondsFromGMT(), 28800);
    EXPECT_TRUE(dv::equal(NSTimeZone::timeZoneWithAbbreviation("HKT"_ns)->name(), "Asia/Hong_Kong"_ns));

    EXPECT_TRUE(shanghai->isEqual(zone("Asia/Shanghai")));
    EXPECT_FALSE(shanghai->isEqual(newYork));
    EXPECT_EQ(dv::str(shanghai->description()), "Asia/Shanghai (GMT+8) offset 28800");
    EXPECT_GT(NSTimeZone::knownTimeZoneNames()->count(), 300u);
}

TEST_F(DateTest, DefaultZoneIsSetByTheTestAndFallsBackToTheSystem)
{
    EXPECT_TRUE(dv::equal(NSTimeZone::defaultTimeZone()->name(), "Asia/Shanghai"_ns));
    EXPECT_TRUE(dv::equal(NSTimeZone::localTimeZone()->name(), "Asia/Shanghai"_ns));
    NSTimeZone::setDefaultTimeZone(nil);
    EXPECT_TRUE(dv::equal(NSTimeZone::defaultTimeZone(), NSTimeZone::systemTimeZone()));
    ASSERT_TRUE(NSTimeZone::systemTimeZone());
}

TEST_F(DateTest, ZonesAndLocalesArchiveByName)
{
    for (const id& object : {id(zone("America/New_York")), id(locale("zh_Hans_CN"))}) {
        Ref<NSError> error;
        auto data = NSKeyedArchiver::archivedDataWithRootObject(object, true, &error);
        ASSERT_TRUE(data) << dv::str(error);
        auto back = NSKeyedUnarchiver::unarchivedObjectOfClass(object->getClass(), data, &error);
        EXPECT_TRUE(dv::equal(back, object)) << dv::str(error);
    }
}

TEST_F(DateTest, LocalesAndPreferredLanguages)
{
    auto china = locale("zh_CN");
    EXPECT_EQ(dv::str(china->languageCode()), "zh");
    EXPECT_EQ(dv::str(china->countryCode()), "CN");
    EXPECT_FALSE(locale("en")->countryCode());
    EXPECT_EQ(dv::str(china->objectForKey(NSLocaleCountryCode)), "CN");
    EXPECT_EQ(dv::str(china->displayNameForKey(NSLocaleIdentifier, "zh_CN"_ns)), "中文（中国）");
    EXPECT_EQ(dv::str(locale("en_US")->displayNameForKey(NSLocaleLanguageCode, "zh"_ns)), "Chinese");
    EXPECT_EQ(dv::str(NSLocale::canonicalLocaleIdentifierFromString("en-us"_ns)), "en_US");
    EXPECT_EQ(dv::str(NSLocale::currentLocale()->localeIdentifier()), "zh_CN");
    EXPECT_TRUE(dv::as<NSCalendar>(china->objectForKey(NSLocaleCalendar)));

    NSLocale::setPreferredLanguages(NSArray::of({"zh-Hans"_ns, "en"_ns}));
    EXPECT_TRUE(dv::equal(NSLocale::preferredLanguages(), NSArray::of({"zh-Hans"_ns, "en"_ns})));
    NSLocale::setPreferredLanguages(nil);
    EXPECT_GE(NSLocale::preferredLanguages()->count(), 1u);
}

TEST_F(DateTest, CalendarSplitsDatesInItsZone)
{
    auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    ASSERT_TRUE(calendar);
    EXPECT_FALSE(NSCalendar::calendarWithIdentifier("martian"_ns));
    NSCalendarUnit units = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute
        | NSCalendarUnitSecond | NSCalendarUnitWeekday | NSCalendarUnitQuarter | NSCalendarUnitNanosecond;
    auto date = NSDate::dateWithTimeIntervalSinceReferenceDate(m_now + 0.25);
    auto parts = calendar->components(units, date);
    EXPECT_EQ(parts->year(), 2016);
    EXPECT_EQ(parts->month(), 1);
    EXPECT_EQ(parts->day(), 2);
    EXPECT_EQ(parts->hour(), 11); // the default zone: Shanghai
    EXPECT_EQ(parts->minute(), 4);
    EXPECT_EQ(parts->second(), 5);
    EXPECT_EQ(parts->weekday(), 7); // a Saturday; Sunday is 1
    EXPECT_EQ(parts->quarter(), 1);
    EXPECT_EQ(parts->nanosecond(), 250000000);
    EXPECT_EQ(parts->era(), NSDateComponentUndefined); // not asked for

    calendar->setTimeZone(zone("America/New_York"));
    EXPECT_EQ(calendar->component(NSCalendarUnitDay, date), 1);
    EXPECT_EQ(calendar->component(NSCalendarUnitHour, date), 22);

    // A calendar without a zone of its own follows the default zone at each use.
    auto current = NSCalendar::currentCalendar();
    EXPECT_EQ(current->component(NSCalendarUnitHour, date), 11);
    NSTimeZone::setDefaultTimeZone(zone("GMT"));
    EXPECT_EQ(current->component(NSCalendarUnitHour, date), 3);
}

TEST_F(DateTest, CalendarAssemblesAndAddsDates)
{
    auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    auto parts = alloc<NSDateComponents>()->init();
    parts->setYear(2016);
    parts->setMonth(1);
    parts->setDay(31);
    parts->setHour(23);
    auto endOfJanuary = calendar->dateFromComponents(parts);
    ASSERT_TRUE(endOfJanuary);
    EXPECT_EQ(endOfJanuary->timeIntervalSince1970(), 1454252400); // 2016-01-31 23:00 in Shanghai
    EXPECT_EQ(dv::str(endOfJanuary), "2016-01-31 15:00:00 +0000");

    // One month on is the last day of February (a leap year); wrapping keeps the year's month.
    auto later = calendar->dateByAddingUnit(NSCalendarUnitMonth, 1, endOfJanuary, 0);
    EXPECT_EQ(calendar->component(NSCalendarUnitDay, later), 29);
    auto wrapped = calendar->dateByAddingUnit(NSCalendarUnitHour, 2, endOfJanuary, NSCalendarWrapComponents);
    EXPECT_EQ(calendar->component(NSCalendarUnitDay, wrapped), 31);
    EXPECT_EQ(calendar->component(NSCalendarUnitHour, wrapped), 1);
    auto carried = calendar->dateByAddingUnit(NSCalendarUnitHour, 2, endOfJanuary, 0);
    EXPECT_EQ(calendar->component(NSCalendarUnitMonth, carried), 2);

    // Fields past their range carry; fields not given take their smallest value.
    parts->setMonth(13);
    parts->setDay(1);
    parts->setHour(NSDateComponentUndefined);
    EXPECT_EQ(calendar->component(NSCalendarUnitYear, calendar->dateFromComponents(parts)), 2017);
    auto onlyTime = alloc<NSDateComponents>()->init();
    onlyTime->setHour(10);
    auto early = calendar->dateFromComponents(onlyTime);
    EXPECT_EQ(calendar->component(NSCalendarUnitYear, early), 1);
    EXPECT_EQ(calendar->component(NSCalendarUnitHour, early), 10);

    // The components' own zone wins.
    auto utc = alloc<NSDateComponents>()->init();
    utc->setYear(2016);
    utc->setMonth(1);
    utc->setDay(2);
    utc->setTimeZone(zone("GMT"));
    EXPECT_EQ(calendar->dateFromComponents(utc)->timeIntervalSince1970(), 1451692800);
    utc->setCalendar(calendar);
    EXPECT_EQ(utc->date()->timeIntervalSince1970(), 1451692800);
    EXPECT_TRUE(utc->isValidDate());
    utc->setDay(30);
    utc->setMonth(2);
    EXPECT_FALSE(utc->isValidDate());

    // The difference between two dates, largest units first.
    auto difference = calendar->components(NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute, endOfJanuary,
                                           endOfJanuary->dateByAddingTimeInterval(2 * 86400 + 3 * 3600 + 120), 0);
    EXPECT_EQ(difference->day(), 2);
    EXPECT_EQ(difference->hour(), 3);
    EXPECT_EQ(difference->minute(), 2);
    auto months = calendar->components(NSCalendarUnitMonth, endOfJanuary, later, 0);
    EXPECT_EQ(months->month(), 1); // Jan 31 plus one month is Feb 29
}

TEST_F(DateTest, CalendarComparesDaysAndKnowsTheirRanges)
{
    auto calendar = NSCalendar::currentCalendar();
    auto now = NSDate::date();
    EXPECT_TRUE(calendar->isDateInToday(now));
    // 2016-01-02 00:30 in Shanghai is still "today", although it is the 1st in GMT.
    auto earlyToday = at1970(1451665800);
    EXPECT_TRUE(calendar->isDateInToday(earlyToday));
    EXPECT_TRUE(calendar->isDateInYesterday(now->dateByAddingTimeInterval(-86400)));
    EXPECT_TRUE(calendar->isDateInTomorrow(now->dateByAddingTimeInterval(86400)));
    EXPECT_FALSE(calendar->isDateInToday(now->dateByAddingTimeInterval(13 * 3600)));
    EXPECT_TRUE(calendar->isDateInWeekend(now)); // a Saturday
    EXPECT_EQ(calendar->compareDate(now, earlyToday, NSCalendarUnitDay), NSOrderedSame);
    EXPECT_EQ(calendar->compareDate(now, earlyToday, NSCalendarUnitHour), NSOrderedDescending);
    EXPECT_EQ(calendar->compareDate(earlyToday, now->dateByAddingTimeInterval(40 * 86400), NSCalendarUnitYear), NSOrderedSame);
    EXPECT_EQ(calendar->startOfDayForDate(now)->timeIntervalSince1970(), 1451664000);

    auto february = at1970(1455000000); // 2016-02-09
    EXPECT_EQ(calendar->rangeOfUnit(NSCalendarUnitDay, NSCalendarUnitMonth, february), NSMakeRange(1, 29));
    EXPECT_EQ(calendar->rangeOfUnit(NSCalendarUnitDay, NSCalendarUnitYear, february), NSMakeRange(1, 366));
    EXPECT_EQ(calendar->rangeOfUnit(NSCalendarUnitMonth, NSCalendarUnitYear, february), NSMakeRange(1, 12));
    EXPECT_EQ(calendar->rangeOfUnit(NSCalendarUnitHour, NSCalendarUnitDay, february), NSMakeRange(0, 24));
    EXPECT_EQ(calendar->rangeOfUnit(NSCalendarUnitYear, NSCalendarUnitDay, february).location, static_cast<NSUInteger>(NSNotFound));

    // The Gregorian calendar follows the Julian one before its reform, as the platform's does.
    auto gmt = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    gmt->setTimeZone(zone("GMT"));
    auto reform = gmt->dateWithEra(1, 1582, 10, 4, 12, 0, 0, 0);
    auto next = gmt->dateByAddingUnit(NSCalendarUnitDay, 1, reform, 0);
    EXPECT_EQ(gmt->component(NSCalendarUnitDay, next), 15);
}

// The refresh header's last-updated text: "今天 HH:mm" on the same day, "MM-dd HH:mm" in the
// same year, "yyyy-MM-dd HH:mm" before.
TEST_F(DateTest, LastUpdatedTextsOfTheRefreshHeader)
{
    auto text = [&](const Ref<NSDate>& stored) {
        auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
        NSCalendarUnit units = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute;
        auto then = calendar->components(units, stored);
        auto now = calendar->components(units, NSDate::date());
        auto f = alloc<NSDateFormatter>()->init();
        if (then->day() == now->day() && then->month() == now->month() && then->year() == now->year())
            f->setDateFormat("今天 HH:mm"_ns);
        else if (then->year() == now->year())
            f->setDateFormat("MM-dd HH:mm"_ns);
        else
            f->setDateFormat("yyyy-MM-dd HH:mm"_ns);
        return dv::str(NSString::stringWithFormat("最后更新：%@", f->stringFromDate(stored)));
    };
    EXPECT_EQ(text(NSDate::date()->dateByAddingTimeInterval(-3600)), "最后更新：今天 10:04");
    EXPECT_EQ(text(at1970(1451665800)), "最后更新：今天 00:30");
    m_now += 40 * 86400; // 2016-02-11
    EXPECT_EQ(text(at1970(1451703845)), "最后更新：01-02 11:04");
    m_now += 366 * 86400; // 2017
    EXPECT_EQ(text(at1970(1451703845)), "最后更新：2016-01-02 11:04");
}

TEST_F(DateTest, FormatterWritesPatternsInItsZoneAndLocale)
{
    auto date = at1970(1451703845); // 2016-01-02 03:04:05 GMT
    EXPECT_EQ(dv::str(formatter("yyyy-MM-dd'T'HH:mm:ssZ")->stringFromDate(date)), "2016-01-02T11:04:05+0800");
    EXPECT_EQ(dv::str(formatter("yyyy-MM-dd'T'HH:mm:ssZ", "America/New_York")->stringFromDate(date)), "2016-01-01T22:04:05-0500");
    EXPECT_EQ(dv::str(formatter("EEE MMM dd HH:mm:ss Z yyyy", "GMT")->stringFromDate(date)), "Sat Jan 02 03:04:05 +0000 2016");
    EXPECT_EQ(dv::str(formatter("yyyy年M月d日 EEEE", nullptr, "zh_CN")->stringFromDate(date)), "2016年1月2日 星期六");
    EXPECT_EQ(dv::str(formatter("HH:mm:ss.SSS", "GMT")->stringFromDate(NSDate::dateWithTimeIntervalSince1970(0.125))), "00:00:00.125");
    EXPECT_FALSE(formatter("yyyy")->stringFromDate(nil));

    auto styled = alloc<NSDateFormatter>()->init();
    styled->setLocale(locale("en_US"));
    styled->setDateStyle(NSDateFormatterMediumStyle);
    EXPECT_EQ(dv::str(styled->stringFromDate(date)), "Jan 2, 2016");
    EXPECT_EQ(dv::str(styled->dateFormat()), "MMM d, y");
    styled->setDateFormat("yy/MM"_ns); // a pattern replaces the style ...
    EXPECT_EQ(dv::str(styled->stringFromDate(date)), "16/01");
    styled->setTimeStyle(NSDateFormatterShortStyle); // ... until a style is set again
    EXPECT_NE(dv::str(styled->stringFromDate(date)).find("2016"), std::string::npos);
    EXPECT_EQ(dv::str(NSDateFormatter::dateFormatFromTemplate("yMMMd"_ns, 0, locale("en_US"))), "MMM d, y");
    auto none = alloc<NSDateFormatter>()->init();
    EXPECT_EQ(dv::str(none->stringFromDate(date)), "");

    // A formatter without a zone follows the default zone as it changes.
    auto following = formatter("HH:mm");
    EXPECT_EQ(dv::str(following->stringFromDate(date)), "11:04");
    NSTimeZone::setDefaultTimeZone(zone("GMT"));
    EXPECT_EQ(dv::str(following->stringFromDate(date)), "03:04");
}

// The reply date forms the model mapping reads, with the strictness of a formatter that is not
// lenient.
TEST_F(DateTest, FormatterReadsStrictlyUnlessLenient)
{
    auto gmtDay = formatter("yyyy-MM-dd", "GMT");
    EXPECT_EQ(gmtDay->dateFromString("2016-01-02"_ns)->timeIntervalSince1970(), 1451692800);
    for (const char* bad : {"2016-13-02", "2016-02-30", "2016-2-3", "2016-01-02x", "", "tomorrow"})
        EXPECT_FALSE(gmtDay->dateFromString(NSString::fromUTF8(bad))) << bad;
    EXPECT_FALSE(gmtDay->dateFromString(nil));

    auto zoned = formatter("yyyy-MM-dd'T'HH:mm:ssZ");
    EXPECT_EQ(zoned->dateFromString("2016-01-02T03:04:05Z"_ns)->timeIntervalSince1970(), 1451703845);
    EXPECT_EQ(zoned->dateFromString("2016-01-02T11:04:05+0800"_ns)->timeIntervalSince1970(), 1451703845);
    EXPECT_EQ(zoned->dateFromString("2016-01-02T11:04:05+08:00"_ns)->timeIntervalSince1970(), 1451703845);
    EXPECT_EQ(formatter("EEE MMM dd HH:mm:ss Z yyyy")->dateFromString("Sat Jan 02 11:04:05 +0800 2016"_ns)->timeIntervalSince1970(), 1451703845);
    EXPECT_FALSE(formatter("yyyy-MM-dd HH:mm:ss", "GMT")->dateFromString("2016-01-02 24:00:00"_ns));

    auto lenient = formatter("yyyy-MM-dd", "GMT");
    lenient->setLenient(true);
    EXPECT_EQ(lenient->dateFromString("2016-02-30"_ns)->timeIntervalSince1970(), 1456790400); // March 1st

    // Fields the pattern leaves out come from 2000-01-01 in the formatter's zone.
    auto timeOnly = formatter("HH:mm", "GMT")->dateFromString("10:30"_ns);
    EXPECT_EQ(dv::str(timeOnly), "2000-01-01 10:30:00 +0000");
    // Two-digit years belong to the century from 1950.
    EXPECT_EQ(dv::str(formatter("yy-MM-dd", "GMT")->dateFromString("49-01-01"_ns)), "2049-01-01 00:00:00 +0000");
    EXPECT_EQ(dv::str(formatter("yy-MM-dd", "GMT")->dateFromString("50-01-01"_ns)), "1950-01-01 00:00:00 +0000");
}

TEST_F(DateTest, OneFormatterServesSeveralThreads)
{
    auto shared = formatter("yyyy-MM-dd'T'HH:mm:ssZ", "GMT");
    std::atomic<int> wrong {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                double seconds = 1451703845 + t * 86400 + i * 61;
                auto text = shared->stringFromDate(at1970(seconds));
                auto back = shared->dateFromString(text);
                if (!back || back->timeIntervalSince1970() != seconds)
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(DateTest, DateDescriptionPadsTheYearAndUsesThePlatformCalendar)
{
    EXPECT_EQ(dv::str(NSDate::dateWithTimeIntervalSince1970(0)), "1970-01-01 00:00:00 +0000");
    EXPECT_EQ(dv::str(NSDate::distantPast()), "0001-01-01 00:00:00 +0000");
    EXPECT_EQ(dv::str(NSDate::distantFuture()), "4001-01-01 00:00:00 +0000");
    auto gmt = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    gmt->setTimeZone(zone("GMT"));
    EXPECT_EQ(dv::str(gmt->dateWithEra(1, 999, 3, 4, 5, 6, 7, 0)), "0999-03-04 05:06:07 +0000");
    EXPECT_EQ(dv::str(gmt->dateWithEra(1, 42, 1, 1, 0, 0, 0, 0)), "0042-01-01 00:00:00 +0000");
    // Fractions of a second are not printed; the second is not rounded up.
    EXPECT_EQ(dv::str(NSDate::dateWithTimeIntervalSince1970(59.999)), "1970-01-01 00:00:59 +0000");
}

TEST_F(DateTest, BareInstancesAreUsableValues)
{
    auto zoneObject = dv::as<NSTimeZone>(NSTimeZone::class_()->createInstance()->init());
    EXPECT_EQ(dv::str(zoneObject->name()), "GMT");
    EXPECT_EQ(zoneObject->secondsFromGMT(), 0);
    auto localeObject = dv::as<NSLocale>(NSLocale::class_()->createInstance()->init());
    EXPECT_EQ(dv::str(localeObject->localeIdentifier()), "");
    EXPECT_TRUE(localeObject->isEqual(NSLocale::systemLocale()));
    auto calendarObject = dv::as<NSCalendar>(NSCalendar::class_()->createInstance()->init());
    EXPECT_EQ(dv::str(calendarObject->calendarIdentifier()), "gregorian");
    EXPECT_EQ(calendarObject->component(NSCalendarUnitYear, NSDate::date()), 2016);
    auto formatterObject = dv::as<NSDateFormatter>(NSDateFormatter::class_()->createInstance()->init());
    EXPECT_TRUE(formatterObject->stringFromDate(NSDate::date()));
    auto cacheObject = dv::as<NSCache>(NSCache::class_()->createInstance()->init());
    cacheObject->setObjectForKey("v"_ns, "k"_ns);
    EXPECT_TRUE(cacheObject->objectForKey("k"_ns));
}
