#include "platform/base/NSDate.h"
#include "platform/dispatch/NSCondition.h"
#include "platform/dispatch/NSRecursiveLock.h"
#include "platform/dispatch/NSThread.h"
#include "platform/dispatch/Synchronized.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>

// The tests take and give back locks in the patterns under test (a try inside an expectation, a
// lock taken on one thread and probed from another), which the compile-time analysis cannot follow.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wthread-safety-analysis"
#endif

namespace {

using dv::testing::runMainLoopUntil;

TEST(LockTest, LockExcludesOtherThreads)
{
    auto lock = alloc<NSLock>();
    int counter = 0; // guarded by lock only
    auto group = dispatch_group_create();
    for (int t = 0; t < 8; ++t)
        dispatch_group_async(group, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            for (int i = 0; i < 1000; ++i) {
                dv::Locker guard(*lock);
                ++counter;
            }
        });
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_EQ(counter, 8000);
}

TEST(LockTest, TryLockAndLockBeforeDateFailWhileHeldElsewhere)
{
    dv::ManualClockScope clock;
    auto lock = alloc<NSLock>();
    lock->lock();
    std::atomic<int> tried = -1;
    std::atomic<int> timed = -1;
    auto limit = NSDate::dateWithTimeIntervalSinceNow(2);
    NSThread::detachNewThreadWithBlock([&, lock, limit] {
        tried = lock->tryLock() ? 1 : 0;
        timed = lock->lockBeforeDate(limit) ? 1 : 0;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return tried != -1; }));
    EXPECT_EQ(tried, 0);
    EXPECT_FALSE(runMainLoopUntil([&] { return timed != -1; }, 0.05));
    clock->advance(2);
    ASSERT_TRUE(runMainLoopUntil([&] { return timed != -1; }));
    EXPECT_EQ(timed, 0);
    lock->unlock();
    EXPECT_TRUE(lock->tryLock());
    lock->unlock();
}

TEST(LockTest, RecursiveLockIsReleasedAfterTheLastUnlock)
{
    auto lock = alloc<NSRecursiveLock>();
    lock->lock();
    lock->lock();
    std::atomic<int> other = -1;
    auto probe = [&] {
        other = -1;
        NSThread::detachNewThreadWithBlock([&, lock] {
            bool took = lock->tryLock();
            if (took)
                lock->unlock();
            other = took ? 1 : 0;
        });
        EXPECT_TRUE(runMainLoopUntil([&] { return other != -1; }));
        return other.load();
    };
    lock->unlock();
    EXPECT_EQ(probe(), 0);
    lock->unlock();
    EXPECT_EQ(probe(), 1);
}

TEST(LockTest, ConditionHandsItemsFromProducerToConsumer)
{
    auto condition = alloc<NSCondition>();
    std::deque<int> items; // guarded by condition
    std::vector<int> consumed;
    std::atomic<bool> done = false;
    NSThread::detachNewThreadWithBlock([&, condition] {
        for (int n = 0; n < 100; ++n) {
            condition->lock();
            while (items.empty())
                condition->wait();
            consumed.push_back(items.front());
            items.pop_front();
            condition->unlock();
        }
        done = true;
    });
    for (int n = 0; n < 100; ++n) {
        condition->lock();
        items.push_back(n);
        condition->signal();
        condition->unlock();
    }
    ASSERT_TRUE(runMainLoopUntil([&] { return done.load(); }));
    ASSERT_EQ(consumed.size(), 100u);
    for (int n = 0; n < 100; ++n)
        EXPECT_EQ(consumed[n], n);
}

TEST(LockTest, ConditionWaitUntilDateTimesOutOnTheClock)
{
    dv::ManualClockScope clock;
    auto condition = alloc<NSCondition>();
    std::atomic<int> result = -1;
    auto limit = NSDate::dateWithTimeIntervalSinceNow(1);
    NSThread::detachNewThreadWithBlock([&, condition, limit] {
        condition->lock();
        result = condition->waitUntilDate(limit) ? 1 : 0;
        condition->unlock();
    });
    EXPECT_FALSE(runMainLoopUntil([&] { return result != -1; }, 0.05));
    clock->advance(1);
    ASSERT_TRUE(runMainLoopUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 0);
}

TEST(LockTest, ThreadSleepFollowsTheClock)
{
    dv::ManualClockScope clock;
    std::atomic<bool> woke = false;
    auto until = NSDate::dateWithTimeIntervalSinceNow(5);
    NSThread::detachNewThreadWithBlock([&, until] {
        NSThread::sleepUntilDate(until);
        woke = true;
    });
    EXPECT_FALSE(runMainLoopUntil([&] { return woke.load(); }, 0.05));
    clock->advance(4.9);
    EXPECT_FALSE(runMainLoopUntil([&] { return woke.load(); }, 0.05));
    clock->advance(0.1);
    EXPECT_TRUE(runMainLoopUntil([&] { return woke.load(); }));
}

TEST(LockTest, SynchronizedIsRecursiveAndPerObject)
{
    auto a = alloc<NSObject>();
    auto b = alloc<NSObject>();
    int counter = 0;
    auto group = dispatch_group_create();
    for (int t = 0; t < 4; ++t)
        dispatch_group_async(group, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            for (int i = 0; i < 500; ++i) {
                dv::Synchronized outer(a.get());
                dv::Synchronized inner(a.get()); // the same thread may take it again
                dv::Synchronized other(b.get());
                ++counter;
            }
        });
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_EQ(counter, 2000);
}

} // namespace
