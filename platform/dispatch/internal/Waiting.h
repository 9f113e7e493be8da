// Waiting on a condition variable until a predicate holds or the clock reaches a deadline.
// On the system clock the wait sleeps for the remaining time; on a manual clock it wakes every
// few milliseconds to see whether a test advanced time. Deadlines are in clock seconds (the
// reference-date scale of Clock::now); infinity means no deadline.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/internal/WorkerPool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace dv::internal::dispatch {

inline constexpr NSTimeInterval noDeadline = std::numeric_limits<NSTimeInterval>::infinity();

// Real time a waiter on a manual clock sleeps between looks at the clock.
inline constexpr auto manualClockPoll = std::chrono::milliseconds(2);
// Longest single sleep on the system clock, so that installing another clock is noticed.
inline constexpr auto systemClockSlice = std::chrono::milliseconds(100);

// One sleep of a wait, on our annotated condition (the usual case) or on the standard one (the
// platform's NSCondition, whose mutex its caller holds across calls).
inline void waitSlice(ConditionVariable& cv, MutexLocker& lock, std::chrono::steady_clock::duration slice)
{
    if (slice == std::chrono::steady_clock::duration::max())
        cv.wait(lock);
    else
        cv.waitFor(lock, slice);
}
inline void waitSlice(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::duration slice)
{
    if (slice == std::chrono::steady_clock::duration::max())
        cv.wait(lock);
    else
        cv.wait_for(lock, slice);
}

// Answers pred() at the end: false means the deadline (or the real-time limit) passed first.
// The predicate runs with the lock held (annotate it DV_REQUIRES); the analysis cannot tell that
// the locker passed in holds it, so it is not applied to this template itself.
template <class Condition, class Lock, class Predicate>
DV_NO_THREAD_SAFETY_ANALYSIS bool waitUntilClock(Condition& cv, Lock& lock, NSTimeInterval deadline, Predicate pred,
                    std::chrono::steady_clock::time_point realLimit = std::chrono::steady_clock::time_point::max())
{
    using std::chrono::steady_clock;
    BlockingScope blocking;
    const bool realBound = realLimit != steady_clock::time_point::max();
    for (;;) {
        if (pred())
            return true;
        Clock& clock = Clock::current();
        NSTimeInterval now = clock.now();
        if (now >= deadline)
            return false;
        auto realNow = steady_clock::now();
        if (realBound && realNow >= realLimit)
            return false;
        steady_clock::duration slice = steady_clock::duration::max();
        if (clock.isManual()) {
            if (deadline != noDeadline)
                slice = manualClockPoll;
        } else if (deadline != noDeadline) {
            auto remaining = std::chrono::duration_cast<steady_clock::duration>(std::chrono::duration<double>(deadline - now));
            slice = std::min<steady_clock::duration>(remaining + std::chrono::microseconds(1), systemClockSlice);
        }
        if (realBound)
            slice = std::min(slice, realLimit - realNow);
        waitSlice(cv, lock, slice);
    }
}

} // namespace dv::internal::dispatch
