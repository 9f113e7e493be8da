// Clock: where "now" comes from for the whole process. The application runs on the system
// clock; tests install a ManualClock, on which time moves only when the test says so, so that
// timers, delayed calls, time-outs and NSDate all agree without sleeping.
//
//   dv::ManualClockScope clock;         // installs a manual clock for this test
//   dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC), q, block);
//   clock->advance(2);                  // fires what fell due, on the loops it belongs to
//
// The current clock is process-wide and may be read from any thread. Installing a clock is done
// by the main thread while no other thread is waiting on time.
#pragma once

#include "platform/base/Forward.h"

#include <atomic>
#include <memory>

namespace dv {

class Clock {
public:
    virtual ~Clock() = default;

    // Seconds since the reference date (2001-01-01 UTC), as NSDate counts.
    virtual NSTimeInterval now() const = 0;
    virtual bool isManual() const { return false; }

    // The clock of the process; the system clock unless a test installed another.
    static Clock& current();
    static std::shared_ptr<Clock> currentShared();
    // Installs `clock` (nil restores the system clock) and makes NSDate read it.
    static void setCurrent(std::shared_ptr<Clock> clock);
};

class SystemClock final : public Clock {
public:
    NSTimeInterval now() const override;
};

// A clock that stands still until advanced. Threads waiting with a time-out notice an advance
// within a few milliseconds of real time.
class ManualClock final : public Clock {
public:
    explicit ManualClock(NSTimeInterval start = 800000000.0) : m_now(start) { }

    NSTimeInterval now() const override { return m_now.load(std::memory_order_acquire); }
    bool isManual() const override { return true; }

    // Moves time forward by `seconds`, stopping at every deadline on the way: delayed dispatch
    // blocks are handed to their queues, and when called on a thread with a run loop (the main
    // thread in tests), that loop runs once at each stop so its due timers fire in order and at
    // their own fire dates.
    void advance(NSTimeInterval seconds);
    // Jumps to an absolute time without running anything (never moves backwards).
    void setNow(NSTimeInterval now);

    // Runs the calling thread's run loop (and so the main queue on the main thread) until no
    // work is left anywhere in the dispatch layer, or `realTimeLimit` seconds of real time
    // pass. Answers whether it became idle.
    bool runUntilIdle(double realTimeLimit = 10.0);

private:
    std::atomic<NSTimeInterval> m_now;
};

// The system clock moved by an offset: time runs at its real pace from whatever moment it was set
// to, and can be moved ahead at once. The runner installs one so that a script can set the
// application's date and skip hours without waiting for them.
class ShiftedClock final : public Clock {
public:
    NSTimeInterval now() const override;

    // From now on the clock reads `now` (earlier or later than before); nothing runs.
    void setNow(NSTimeInterval now);
    // Moves the clock ahead by `seconds` as ManualClock::advance does: what falls due on the way
    // runs in order, each at its own date, on the calling thread's loop when it is the main one.
    void advance(NSTimeInterval seconds);
    // How far the clock is from the system's.
    NSTimeInterval offset() const { return m_offset.load(std::memory_order_acquire); }

private:
    std::atomic<NSTimeInterval> m_offset { 0 };
};

// Installs a fresh ManualClock for its lifetime and restores the previous clock afterwards.
class ManualClockScope {
public:
    explicit ManualClockScope(NSTimeInterval start = 800000000.0);
    ~ManualClockScope();
    ManualClockScope(const ManualClockScope&) = delete;
    ManualClockScope& operator=(const ManualClockScope&) = delete;

    ManualClock* operator->() const { return m_clock.get(); }
    ManualClock& operator*() const { return *m_clock; }
    const std::shared_ptr<ManualClock>& clock() const { return m_clock; }

private:
    std::shared_ptr<ManualClock> m_clock;
    std::shared_ptr<Clock> m_previous;
};

} // namespace dv
