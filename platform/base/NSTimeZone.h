// NSTimeZone: a geopolitical time zone ("Asia/Shanghai") or a fixed offset from GMT, with its
// offsets and abbreviations at any date, from ICU's zone data. Immutable; shared freely between
// threads.
//
// The system zone is the host's (TZ, else /etc/localtime), read once until
// resetSystemTimeZone. The default zone, which calendars and date formatters use unless given
// another, is the system zone until setDefaultTimeZone; tests set it to keep dates deterministic.
//
//   NSTimeZone::setDefaultTimeZone(NSTimeZone::timeZoneWithName("Asia/Shanghai"_ns));
//   NSTimeZone::defaultTimeZone()->secondsFromGMT(); // 28800
#pragma once

#include "platform/base/NSObject.h"
#include "platform/base/NSString.h"

#include <string>

class NSCoder;

class NSTimeZone : public NSObject, public NSCopying, public NSCoding {
    DV_CLASS(NSTimeZone, NSObject)

    NSTimeZone() = default;

    // nil for a name ICU does not know. Names of fixed offsets ("GMT+0800", "GMT-05:30") are
    // accepted as well.
    Ref<NSTimeZone> initWithName(const Ref<NSString>& name);
    static Ref<NSTimeZone> timeZoneWithName(const Ref<NSString>& name);
    // "GMT", "UTC", "EST" (New York), "HKT", "JST", ... as the platform's abbreviation table maps them.
    static Ref<NSTimeZone> timeZoneWithAbbreviation(const Ref<NSString>& abbreviation);
    // A fixed offset, named "GMT+0800" ("GMT" for 0); nil beyond 18 hours either way.
    static Ref<NSTimeZone> timeZoneForSecondsFromGMT(NSInteger seconds);

    static Ref<NSTimeZone> systemTimeZone();
    static void resetSystemTimeZone();
    static Ref<NSTimeZone> defaultTimeZone();
    static void setDefaultTimeZone(const Ref<NSTimeZone>& zone); // nil goes back to the system zone
    // The default zone as it is when asked (the platform's proxy follows later changes too).
    static Ref<NSTimeZone> localTimeZone();
    static Ref<NSArray> knownTimeZoneNames();

    Ref<NSString> name() const { return m_name; }
    NSInteger secondsFromGMT() const;
    NSInteger secondsFromGMTForDate(const Ref<NSDate>& date) const;
    // The short name in English ("GMT+8", "EST", "GMT").
    Ref<NSString> abbreviation() const;
    Ref<NSString> abbreviationForDate(const Ref<NSDate>& date) const;
    bool isDaylightSavingTime() const;
    bool isDaylightSavingTimeForDate(const Ref<NSDate>& date) const;
    NSTimeInterval daylightSavingTimeOffset() const;
    NSTimeInterval daylightSavingTimeOffsetForDate(const Ref<NSDate>& date) const;
    bool isEqualToTimeZone(const Ref<NSTimeZone>& other) const;

    // "Asia/Shanghai (GMT+8) offset 28800"
    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

    // Archived by name ("NS.name").
    static bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;

    // The zone as ICU names it, for the calendar and formatter classes.
    const std::u16string& icuID() const { return m_icuID; }

private:
    bool setUp(const Ref<NSString>& name);
    // Zone and daylight-saving offsets in milliseconds at a time.
    std::pair<double, double> offsetsAt(NSTimeInterval sinceReferenceDate) const;

    // GMT until an init… names another zone, so that a bare instance is still a zone.
    Ref<NSString> m_name = std::make_shared<NSString>("GMT");
    std::u16string m_icuID = u"GMT";
};
