// NSTimer: fires on the run loop it is added to, in the modes it was added for, at its fire date
// on the process clock. As on the platform, a scheduled timer is kept by its run loop and keeps
// its target (and user info) until it is invalidated; a one-shot timer invalidates itself after
// firing. Create, schedule and invalidate a timer on the thread whose run loop fires it.
//
//   m_timer = NSTimer::scheduledTimerWithTimeInterval(290, true, [weak](const Ref<NSTimer>&) { ... });
//   m_timer->invalidate();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <atomic>
#include <functional>
#include <vector>

class NSRunLoop;

class NSTimer : public NSObject {
    DV_CLASS(NSTimer, NSObject)

    using Block = std::function<void(const Ref<NSTimer>& timer)>;

    NSTimer() = default;
    ~NSTimer() override;

    // The target receives `selector` with the timer as its argument.
    static Ref<NSTimer> timerWithTimeInterval(NSTimeInterval interval, const id& target, SEL selector, const id& userInfo, bool repeats);
    static Ref<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval, const id& target, SEL selector, const id& userInfo, bool repeats);
    static Ref<NSTimer> timerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block);
    // Added to the current run loop in the default mode.
    static Ref<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block);
    Ref<NSTimer> initWithFireDate(const Ref<NSDate>& date, NSTimeInterval interval, const id& target, SEL selector, const id& userInfo, bool repeats);
    Ref<NSTimer> initWithFireDate(const Ref<NSDate>& date, NSTimeInterval interval, bool repeats, Block block);

    // Calls the action now; a one-shot timer is invalidated by it, a repeating one keeps its date.
    void fire();
    // Stops the timer for good and lets go of its target, user info and block.
    void invalidate();
    bool isValid() const;
    Ref<NSDate> fireDate() const;
    void setFireDate(const Ref<NSDate>& date);
    NSTimeInterval timeInterval() const { return m_interval; }
    bool repeats() const { return m_repeats; }
    id userInfo() const;
    NSTimeInterval tolerance() const { return m_tolerance; }
    void setTolerance(NSTimeInterval tolerance) { m_tolerance = tolerance; }

    // Run-loop side: the fire date in clock seconds, and firing when due.
    NSTimeInterval fireTime() const;
    void fireIfDue(NSTimeInterval now);

    // Delayed performs (performSelector…afterDelay) are timers whose action belongs to `target`;
    // cancelPreviousPerformRequestsWithTarget finds them through these.
    struct PerformRequest {
        id target;
        SEL selector;
        id argument;
        const void* tag = nullptr; // block performs: a caller-chosen identity, or null
    };
    static Ref<NSTimer> performTimer(NSTimeInterval delay, PerformRequest request, std::function<void()> block);
    bool matchesPerform(const NSObject* target, SEL selector, const NSObject* argument, bool anySelector) const;
    // The loops holding the timer, woken when its date changes or it is invalidated.
    void attachTo(const Ref<NSRunLoop>& loop);

private:
    void invoke(bool fromRunLoop, NSTimeInterval now);
    void wakeLoops();

    mutable dv::Mutex m_lock;
    // Changed under m_lock; read without it by the loops, which look at every timer each turn.
    std::atomic<NSTimeInterval> m_fireTime { 0 };
    NSTimeInterval m_interval = 0;
    NSTimeInterval m_tolerance = 0;
    bool m_repeats = false;
    std::atomic<bool> m_valid { true }; // as m_fireTime
    bool m_isPerform = false;
    id m_target;
    SEL m_selector;
    id m_userInfo;
    Block m_block;
    std::function<void()> m_performBlock;
    const void* m_performTag = nullptr;
    std::vector<Weak<NSRunLoop>> m_loops DV_GUARDED_BY(m_lock);
};
