// Waits for tests of every folder (and the programs that drive the application) on asynchronous
// work: they pump the main run loop (and so the main queue) until a condition holds, with a
// real-time bound so that a broken test fails instead of hanging. Call them on the main thread.
//
//   dv::ManualClockScope clock;
//   ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return done; }));
#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"

#include <atomic>
#include <functional>

namespace dv::testing {

// Real seconds a test waits at most for asynchronous work.
inline constexpr double defaultWaitLimit = 20.0;

// Answers whether the condition came to hold within the bound.
inline bool runMainLoopUntil(const std::function<bool()>& condition, double realTimeout = defaultWaitLimit)
{
    return NSRunLoop::mainRunLoop()->runUntil(condition, realTimeout);
}

// Runs the main loop until every block queued so far on `queue` has run (a barrier for a
// concurrent queue).
inline bool drainQueue(const dispatch_queue_t& queue, double realTimeout = defaultWaitLimit)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    dispatch_barrier_async(queue, [done] { *done = true; });
    return runMainLoopUntil([done] { return done->load(); }, realTimeout);
}

// Turns the main loop (without advancing any clock) until the dispatch layer has no work left.
inline bool runUntilIdle(double realTimeout = defaultWaitLimit)
{
    return runMainLoopUntil([] {
        return !dispatch_get_main_queue()->hasPendingMain() && internal::dispatch::WorkTracker::outstanding() == 0;
    }, realTimeout);
}

} // namespace dv::testing
