// NSDate: a point in time, seconds since 2001-01-01 00:00:00 UTC (the reference date). "Now"
// comes from a replaceable clock function, so that tests run on a manual clock.
#pragma once

#include "platform/base/NSObject.h"

#include <functional>

inline constexpr NSTimeInterval NSTimeIntervalSince1970 = 978307200.0;

class NSDate : public NSObject, public NSCopying {
    DV_CLASS(NSDate, NSObject)

    NSDate() = default;

    static Ref<NSDate> date(); // now
    static Ref<NSDate> dateWithTimeIntervalSinceNow(NSTimeInterval seconds);
    static Ref<NSDate> dateWithTimeIntervalSince1970(NSTimeInterval seconds);
    static Ref<NSDate> dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds);
    static Ref<NSDate> distantFuture();
    static Ref<NSDate> distantPast();

    NSTimeInterval timeIntervalSinceReferenceDate() const { return m_interval; }
    NSTimeInterval timeIntervalSince1970() const { return m_interval + NSTimeIntervalSince1970; }
    NSTimeInterval timeIntervalSinceNow() const;
    NSTimeInterval timeIntervalSinceDate(const Ref<NSDate>& other) const;
    Ref<NSDate> dateByAddingTimeInterval(NSTimeInterval seconds) const;
    NSComparisonResult compare(const Ref<NSDate>& other) const;
    Ref<NSDate> earlierDate(const Ref<NSDate>& other) const;
    Ref<NSDate> laterDate(const Ref<NSDate>& other) const;
    bool isEqualToDate(const Ref<NSDate>& other) const;

    // "2001-01-01 00:00:00 +0000"
    Ref<NSString> description() const override;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;

    // Seconds since the reference date, as the process sees "now". The system clock by default;
    // the dispatch layer's Clock replaces it.
    using NowFunction = std::function<NSTimeInterval()>;
    static NSTimeInterval now();
    static void setNowFunction(NowFunction function); // empty restores the system clock
    static NSTimeInterval systemNow();

private:
    NSTimeInterval m_interval = 0;
};
