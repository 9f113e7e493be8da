#include "platform/base/Mutex.h"
#include "platform/base/NSDate.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using dv::testing::runMainLoopUntil;

class DispatchTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(dv::testing::runUntilIdle()); }
};

TEST_F(DispatchTest, SerialQueueRunsBlocksOneAtATimeInOrder)
{
    auto queue = dispatch_queue_create("test.serial", DISPATCH_QUEUE_SERIAL);
    auto order = std::make_shared<std::vector<int>>();
    auto active = std::make_shared<std::atomic<int>>(0);
    auto overlapped = std::make_shared<std::atomic<bool>>(false);
    constexpr int count = 2000;
    for (int i = 0; i < count; ++i) {
        dispatch_async(queue, [=] {
            if (active->fetch_add(1) != 0)
                *overlapped = true;
            order->push_back(i);
            active->fetch_sub(1);
        });
    }
    std::atomic<bool> done = false;
    dispatch_async(queue, [&] { done = true; });
    ASSERT_TRUE(runMainLoopUntil([&] { return done.load(); }));
    EXPECT_FALSE(*overlapped);
    ASSERT_EQ(order->size(), std::size_t(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ((*order)[i], i);
}

TEST_F(DispatchTest, MainQueueRunsBlocksInOrderOnTheMainThread)
{
    std::vector<int> order;
    bool allOnMain = true;
    auto worker = dispatch_queue_create("test.poster", DISPATCH_QUEUE_SERIAL);
    dispatch_async(worker, [&] {
        for (int i = 0; i < 100; ++i)
            dispatch_async(dispatch_get_main_queue(), [&, i] {
                allOnMain = allOnMain && dv::isMainThread();
                order.push_back(i);
            });
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return order.size() == 100; }));
    EXPECT_TRUE(allOnMain);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
}

TEST_F(DispatchTest, MainQueueBlocksQueuedFromAMainQueueBlockRunAfterIt)
{
    std::vector<int> order;
    dispatch_async(dispatch_get_main_queue(), [&] {
        order.push_back(1);
        dispatch_async(dispatch_get_main_queue(), [&] { order.push_back(3); });
        order.push_back(2);
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int> {1, 2, 3}));
}

TEST_F(DispatchTest, ConcurrentQueueRunsBlocksSideBySide)
{
    auto queue = dispatch_queue_create("test.concurrent", DISPATCH_QUEUE_CONCURRENT);
    // Each block waits for the other: only side by side can both finish.
    auto first = dispatch_semaphore_create(0);
    auto second = dispatch_semaphore_create(0);
    std::atomic<int> finished = 0;
    dispatch_async(queue, [&] {
        dispatch_semaphore_signal(first);
        if (dispatch_semaphore_wait(second, DISPATCH_TIME_FOREVER) == 0)
            ++finished;
    });
    dispatch_async(queue, [&] {
        dispatch_semaphore_signal(second);
        if (dispatch_semaphore_wait(first, DISPATCH_TIME_FOREVER) == 0)
            ++finished;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return finished == 2; }));
}

TEST_F(DispatchTest, BarrierWaitsForEarlierBlocksAndRunsAlone)
{
    auto queue = dispatch_queue_create("test.barrier", DISPATCH_QUEUE_CONCURRENT);
    std::atomic<int> readers = 0;
    std::atomic<int> maxReadersDuringBarrier = -1;
    std::atomic<bool> barrierRunning = false;
    std::atomic<bool> readerOverlappedBarrier = false;
    std::atomic<int> readsBefore = 0;
    std::atomic<int> readsSeenByBarrier = -1;
    std::atomic<int> done = 0;
    auto reader = [&](bool before) {
        return [&, before] {
            ++readers;
            if (barrierRunning)
                readerOverlappedBarrier = true;
            if (before)
                ++readsBefore;
            --readers;
            ++done;
        };
    };
    for (int i = 0; i < 50; ++i)
        dispatch_async(queue, reader(true));
    dispatch_barrier_async(queue, [&] {
        barrierRunning = true;
        maxReadersDuringBarrier = readers.load();
        readsSeenByBarrier = readsBefore.load();
        barrierRunning = false;
        ++done;
    });
    for (int i = 0; i < 50; ++i)
        dispatch_async(queue, reader(false));
    ASSERT_TRUE(runMainLoopUntil([&] { return done == 101; }));
    EXPECT_EQ(maxReadersDuringBarrier, 0);
    EXPECT_EQ(readsSeenByBarrier, 50);
    EXPECT_FALSE(readerOverlappedBarrier);
}

TEST_F(DispatchTest, BarrierSyncSeesEveryEarlierWrite)
{
    auto queue = dispatch_queue_create("test.barrier-sync", DISPATCH_QUEUE_CONCURRENT);
    dv::Mutex lock;
    int writes = 0;
    for (int i = 0; i < 20; ++i)
        dispatch_async(queue, [&] {
            dv::MutexLocker guard(lock);
            ++writes;
        });
    int seen = -1;
    dispatch_barrier_sync(queue, [&] { seen = writes; });
    EXPECT_EQ(seen, 20);
}

TEST_F(DispatchTest, SyncRunsAfterQueuedBlocksAndOnTheQueue)
{
    auto queue = dispatch_queue_create("test.sync", DISPATCH_QUEUE_SERIAL);
    std::vector<int> order;
    dispatch_async(queue, [&] { order.push_back(1); });
    dispatch_async(queue, [&] { order.push_back(2); });
    std::string label;
    dispatch_sync(queue, [&] {
        order.push_back(3);
        label = dispatch_queue_get_label(nullptr);
    });
    EXPECT_EQ(order, (std::vector<int> {1, 2, 3}));
    EXPECT_EQ(label, "test.sync");
    EXPECT_STREQ(dispatch_queue_get_label(queue), "test.sync");
}

TEST_F(DispatchTest, SyncToTheMainQueueFromAWorkerRunsOnTheMainThread)
{
    std::atomic<bool> ranOnMain = false;
    std::atomic<bool> returned = false;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        dispatch_sync(dispatch_get_main_queue(), [&] { ranOnMain = dv::isMainThread(); });
        returned = true;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return returned.load(); }));
    EXPECT_TRUE(ranOnMain);
}

using DispatchDeathTest = DispatchTest;

TEST_F(DispatchDeathTest, SyncOntoTheCurrentSerialQueueStopsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH({
        auto queue = dispatch_queue_create("test.self-sync", DISPATCH_QUEUE_SERIAL);
        dispatch_sync(queue, [&] { dispatch_sync(queue, [] { }); });
    }, "would wait for itself");
}

TEST_F(DispatchDeathTest, SyncOntoTheMainQueueFromTheMainThreadStopsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(dispatch_sync(dispatch_get_main_queue(), [] { }), "would wait for itself");
}

void mainThreadOnly() { DV_CHECK_MAIN_THREAD(); }

TEST_F(DispatchDeathTest, MainThreadCheckPassesOnTheMainQueueAndStopsElsewhereNamingItsPlace)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::atomic<bool> ranOnMain = false;
    dispatch_async(dispatch_get_main_queue(), [&] {
        mainThreadOnly();
        ranOnMain = true;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return ranOnMain.load(); }));

    EXPECT_DEATH(std::thread(mainThreadOnly).join(),
        "DispatchTest\\.cpp:[0-9]+: invariant broken: isMainThread\\(\\) \\(called off the main thread: void .*::mainThreadOnly\\(\\)\\)");
    EXPECT_DEATH({
        auto group = dispatch_group_create();
        dispatch_group_async(group, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), mainThreadOnly);
        dispatch_group_wait(group, DISPATCH_TIME_FOREVER);
    }, "called off the main thread");
}

TEST_F(DispatchDeathTest, UnbalancedLeaveAndResumeStopTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(dispatch_group_leave(dispatch_group_create()), "dispatch_group_leave without a matching enter");
    EXPECT_DEATH(dispatch_resume(dispatch_queue_create("test.unbalanced-resume", DISPATCH_QUEUE_SERIAL)),
                 "dispatch_resume without a matching dispatch_suspend");
}

TEST_F(DispatchTest, AfterRunsOnlyOnceTheClockReachesItsTime)
{
    dv::ManualClockScope clock;
    std::vector<int> fired;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC), dispatch_get_main_queue(), [&] { fired.push_back(2); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 1 * NSEC_PER_SEC), dispatch_get_main_queue(), [&] { fired.push_back(1); });
    clock->advance(0.999);
    EXPECT_TRUE(clock->runUntilIdle());
    EXPECT_TRUE(fired.empty());
    clock->advance(0.001);
    EXPECT_EQ(fired, (std::vector<int> {1}));
    clock->advance(5);
    EXPECT_EQ(fired, (std::vector<int> {1, 2}));
}

TEST_F(DispatchTest, AfterOnABackgroundQueueRunsThere)
{
    dv::ManualClockScope clock;
    auto queue = dispatch_queue_create("test.after", DISPATCH_QUEUE_SERIAL);
    std::atomic<bool> onQueue = false;
    std::atomic<bool> fired = false;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 3 * NSEC_PER_SEC), queue, [&] {
        onQueue = std::string(dispatch_queue_get_label(nullptr)) == "test.after";
        fired = true;
    });
    clock->advance(2);
    EXPECT_TRUE(clock->runUntilIdle());
    EXPECT_FALSE(fired);
    clock->advance(1);
    ASSERT_TRUE(runMainLoopUntil([&] { return fired.load(); }));
    EXPECT_TRUE(onQueue);
}

TEST_F(DispatchTest, GroupNotifiesOnceEveryMemberLeft)
{
    auto group = dispatch_group_create();
    auto queue = dispatch_queue_create("test.group", DISPATCH_QUEUE_CONCURRENT);
    std::atomic<int> ran = 0;
    int seenByNotify = -1;
    for (int i = 0; i < 10; ++i)
        dispatch_group_async(group, queue, [&] { ++ran; });
    dispatch_group_enter(group);
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] { seenByNotify = ran.load(); });
    ASSERT_TRUE(runMainLoopUntil([&] { return ran == 10; }));
    EXPECT_EQ(seenByNotify, -1); // one member still inside
    dispatch_group_leave(group);
    ASSERT_TRUE(runMainLoopUntil([&] { return seenByNotify != -1; }));
    EXPECT_EQ(seenByNotify, 10);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
}

TEST_F(DispatchTest, GroupWaitTimesOutOnTheClock)
{
    dv::ManualClockScope clock;
    auto group = dispatch_group_create();
    dispatch_group_enter(group);
    EXPECT_NE(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);

    std::atomic<long> result = -1;
    auto deadline = dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&, group, deadline] {
        result = dispatch_group_wait(group, deadline);
    });
    clock->advance(4);
    EXPECT_FALSE(runMainLoopUntil([&] { return result != -1; }, 0.05));
    clock->advance(1);
    ASSERT_TRUE(runMainLoopUntil([&] { return result != -1; }));
    EXPECT_NE(result, 0);
    dispatch_group_leave(group);
}

TEST_F(DispatchTest, SemaphoreWaitTimesOutOrTakesASignal)
{
    dv::ManualClockScope clock;
    auto semaphore = dispatch_semaphore_create(0);
    EXPECT_NE(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);

    std::atomic<long> timedOut = -1;
    std::atomic<long> signalled = -1;
    auto waiter = dispatch_queue_create("test.waiter", DISPATCH_QUEUE_SERIAL);
    auto deadline = dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC);
    dispatch_async(waiter, [&, semaphore, deadline] { timedOut = dispatch_semaphore_wait(semaphore, deadline); });
    clock->advance(1);
    ASSERT_TRUE(runMainLoopUntil([&] { return timedOut != -1; }));
    EXPECT_NE(timedOut, 0);

    dispatch_async(waiter, [&, semaphore] { signalled = dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_SEC)); });
    dispatch_semaphore_signal(semaphore);
    ASSERT_TRUE(runMainLoopUntil([&] { return signalled != -1; }));
    EXPECT_EQ(signalled, 0);
    EXPECT_EQ(dispatch_semaphore_create(-1), nullptr);
}

TEST_F(DispatchTest, OnceRunsOneTimeAcrossThreads)
{
    dispatch_once_t token;
    std::atomic<int> runs = 0;
    auto group = dispatch_group_create();
    for (int i = 0; i < 16; ++i)
        dispatch_group_async(group, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            dispatch_once(&token, [&] { ++runs; });
        });
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_EQ(runs, 1);
}

TEST_F(DispatchTest, IsMainThreadOnlyOnTheTestThread)
{
    EXPECT_TRUE(dv::isMainThread());
    std::atomic<int> answer = -1;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), [&] { answer = dv::isMainThread() ? 1 : 0; });
    ASSERT_TRUE(runMainLoopUntil([&] { return answer != -1; }));
    EXPECT_EQ(answer, 0);
}

TEST_F(DispatchTest, AQueueLetGoOfStillRunsItsBlocks)
{
    std::atomic<int> ran = 0;
    {
        auto queue = dispatch_queue_create("test.dropped", DISPATCH_QUEUE_SERIAL);
        for (int i = 0; i < 10; ++i)
            dispatch_async(queue, [&] { ++ran; });
    }
    ASSERT_TRUE(runMainLoopUntil([&] { return ran == 10; }));
}

TEST_F(DispatchTest, SuspendedQueueHoldsItsBlocksUntilResumed)
{
    auto queue = dispatch_queue_create("test.suspend", DISPATCH_QUEUE_SERIAL);
    std::atomic<bool> ran = false;
    dispatch_suspend(queue);
    dispatch_async(queue, [&] { ran = true; });
    EXPECT_FALSE(runMainLoopUntil([&] { return ran.load(); }, 0.05));
    dispatch_resume(queue);
    ASSERT_TRUE(runMainLoopUntil([&] { return ran.load(); }));
}

TEST_F(DispatchTest, BlockingWorkersDoNotStarveTheQueuesBehindThem)
{
    // More blocked blocks than the pool's usual width: the block that releases them must still
    // get a thread.
    auto gate = dispatch_semaphore_create(0);
    int blockers = static_cast<int>(std::thread::hardware_concurrency()) + 4;
    std::atomic<int> released = 0;
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    for (int i = 0; i < blockers; ++i)
        dispatch_async(global, [&, gate] {
            dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER);
            ++released;
        });
    dispatch_async(dispatch_queue_create("test.releaser", DISPATCH_QUEUE_SERIAL), [gate, blockers] {
        for (int i = 0; i < blockers; ++i)
            dispatch_semaphore_signal(gate);
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return released == blockers; }));
    EXPECT_LE(dv::internal::dispatch::WorkerPool::shared().threadCount(), dv::internal::dispatch::WorkerPool::hardLimit);
}

TEST_F(DispatchTest, QueueSpecificValuesIdentifyTheCurrentQueue)
{
    static const char key = 0;
    int marker = 0;
    auto queue = dispatch_queue_create("test.specific", DISPATCH_QUEUE_SERIAL);
    dispatch_queue_set_specific(queue, &key, &marker);
    EXPECT_EQ(dispatch_queue_get_specific(queue, &key), &marker);
    EXPECT_EQ(dispatch_get_specific(&key), nullptr);
    void* seen = nullptr;
    dispatch_sync(queue, [&] { seen = dispatch_get_specific(&key); });
    EXPECT_EQ(seen, &marker);
    dispatch_queue_set_specific(queue, &key, nullptr);
    EXPECT_EQ(dispatch_queue_get_specific(queue, &key), nullptr);
}

TEST_F(DispatchTest, DatesReadTheInstalledClock)
{
    dv::ManualClockScope clock(1000);
    EXPECT_DOUBLE_EQ(NSDate::date()->timeIntervalSinceReferenceDate(), 1000);
    clock->advance(2.5);
    EXPECT_DOUBLE_EQ(NSDate::date()->timeIntervalSinceReferenceDate(), 1002.5);
    EXPECT_EQ(dv::clockTimeOf(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC / 2)), 1003);
}

} // namespace
