#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/ExternalEventSource.h"
#include "platform/dispatch/NSPort.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSThread.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/dispatch/internal/Waiting.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A target that records the selectors sent to it.
class RunLoopProbe : public NSObject {
    DV_CLASS(RunLoopProbe, NSObject)

    RunLoopProbe() = default;
    std::vector<std::string> calls;
    std::vector<id> arguments;
};

DV_DEFINE_CLASS_WITH(RunLoopProbe, b)
{
    b.method("tick:", "v24@0:8@16", [](RunLoopProbe& self, std::span<const id> args) -> id {
        self.calls.push_back("tick:");
        self.arguments.push_back(args.empty() ? nil : args[0]);
        return nil;
    });
}

namespace {

using dv::testing::runMainLoopUntil;

// An event source over a pipe: what the loop asked of it and told it.
class PipeSource final : public dv::ExternalEventSource {
public:
    PipeSource() { EXPECT_EQ(::pipe2(m_fds, O_NONBLOCK | O_CLOEXEC), 0); }
    ~PipeSource() override
    {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    void write() { EXPECT_EQ(::write(m_fds[1], "x", 1), 1); }

    double prepare(std::vector<dv::WatchedDescriptor>& watched) override
    {
        ++prepares;
        watched.push_back({ m_fds[0], POLLIN, 0 });
        return wait;
    }
    bool dispatch(std::span<const dv::WatchedDescriptor> watched) override
    {
        ++dispatches;
        if (watched.size() != 1 || !(watched[0].ready & POLLIN))
            return false;
        char c;
        while (::read(m_fds[0], &c, 1) == 1)
            ++bytes;
        if (onReady)
            onReady();
        return true;
    }

    double wait = std::numeric_limits<double>::infinity();
    std::atomic<int> prepares = 0;
    int dispatches = 0;
    int bytes = 0;
    std::function<void()> onReady;

private:
    int m_fds[2] = { -1, -1 };
};

class RunLoopTest : public ::testing::Test {
protected:
    dv::ManualClockScope clock;
    Ref<NSRunLoop> loop = NSRunLoop::mainRunLoop();
};

TEST_F(RunLoopTest, OneShotTimerFiresOnceAtItsDateAndIsInvalidated)
{
    int fired = 0;
    NSTimeInterval firedAt = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, false, [&](const Ref<NSTimer>& t) {
        ++fired;
        firedAt = NSDate::date()->timeIntervalSinceReferenceDate();
        EXPECT_TRUE(t->isValid()); // still valid while its action runs
    });
    NSTimeInterval start = clock->now();
    EXPECT_DOUBLE_EQ(timer->fireDate()->timeIntervalSinceReferenceDate(), start + 1);
    EXPECT_EQ(timer->timeInterval(), 0.0); // a timer that fires once has no interval
    clock->advance(0.5);
    EXPECT_EQ(fired, 0);
    clock->advance(0.75);
    EXPECT_EQ(fired, 1);
    EXPECT_DOUBLE_EQ(firedAt, start + 1);
    EXPECT_FALSE(timer->isValid());
    clock->advance(10);
    EXPECT_EQ(fired, 1);
}

TEST_F(RunLoopTest, RepeatingTimerFiresAtEachIntervalUntilInvalidated)
{
    std::vector<NSTimeInterval> times;
    NSTimeInterval start = clock->now();
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, true, [&](const Ref<NSTimer>& t) {
        times.push_back(NSDate::date()->timeIntervalSinceReferenceDate() - start);
        if (times.size() == 4)
            t->invalidate();
    });
    EXPECT_EQ(timer->timeInterval(), 1.0);
    EXPECT_EQ(NSTimer::timerWithTimeInterval(0, true, [](const Ref<NSTimer>&) { })->timeInterval(), 0.0001);
    EXPECT_EQ(NSTimer::timerWithTimeInterval(-3, false, [](const Ref<NSTimer>&) { })->timeInterval(), 0.0);
    clock->advance(3.5);
    EXPECT_EQ(times, (std::vector<NSTimeInterval> {1, 2, 3}));
    EXPECT_DOUBLE_EQ(timer->fireDate()->timeIntervalSinceReferenceDate(), start + 4);
    clock->advance(10);
    EXPECT_EQ(times.size(), 4u);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(RunLoopTest, LateRepeatingTimerFiresOnceAndKeepsItsRhythm)
{
    int fired = 0;
    NSTimeInterval start = clock->now();
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, true, [&](const Ref<NSTimer>&) { ++fired; });
    clock->setNow(start + 5.5); // time jumped without the loop turning
    loop->runTurn(NSDefaultRunLoopMode, clock->now(), 0);
    EXPECT_EQ(fired, 1);
    EXPECT_DOUBLE_EQ(timer->fireDate()->timeIntervalSinceReferenceDate(), start + 6);
    timer->invalidate();
}

TEST_F(RunLoopTest, TimerKeepsItsTargetUntilInvalidated)
{
    auto probe = alloc<RunLoopProbe>();
    Weak<RunLoopProbe> weak = probe;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1.0, probe, SEL("tick:"), nil, true);
    probe = nil;
    ASSERT_FALSE(weak.expired());
    clock->advance(2);
    auto alive = weak.lock();
    ASSERT_TRUE(alive);
    EXPECT_EQ(alive->calls.size(), 2u);
    EXPECT_EQ(alive->arguments.front(), timer); // a timer's target receives the timer
    alive = nil;
    timer->invalidate();
    EXPECT_TRUE(weak.expired());
}

TEST_F(RunLoopTest, TimersFireOnlyInTheirModes)
{
    int defaultFired = 0, trackingFired = 0, commonFired = 0;
    auto inDefault = NSTimer::timerWithTimeInterval(1, false, [&](const Ref<NSTimer>&) { ++defaultFired; });
    auto inTracking = NSTimer::timerWithTimeInterval(1, false, [&](const Ref<NSTimer>&) { ++trackingFired; });
    auto inCommon = NSTimer::timerWithTimeInterval(1, false, [&](const Ref<NSTimer>&) { ++commonFired; });
    loop->addTimer(inDefault, NSDefaultRunLoopMode);
    loop->addTimer(inTracking, UITrackingRunLoopMode);
    loop->addTimer(inCommon, NSRunLoopCommonModes);
    clock->setNow(clock->now() + 1);
    loop->runTurn(UITrackingRunLoopMode, clock->now(), 0);
    EXPECT_EQ(defaultFired, 0);
    EXPECT_EQ(trackingFired, 1);
    EXPECT_EQ(commonFired, 1);
    loop->runTurn(NSDefaultRunLoopMode, clock->now(), 0);
    EXPECT_EQ(defaultFired, 1);
}

TEST_F(RunLoopTest, DelayedPerformRunsOnceAfterItsDelay)
{
    auto probe = alloc<RunLoopProbe>();
    auto argument = NSString::fromUTF8("x");
    performSelectorWithObjectAfterDelay(probe, SEL("tick:"), argument, 2);
    clock->advance(1.9);
    EXPECT_TRUE(probe->calls.empty());
    clock->advance(0.1);
    ASSERT_EQ(probe->calls.size(), 1u);
    EXPECT_EQ(probe->arguments[0], argument);
    clock->advance(5);
    EXPECT_EQ(probe->calls.size(), 1u);
}

TEST_F(RunLoopTest, CancelledDelayedPerformsNeverRunAndReleaseTheirTarget)
{
    auto probe = alloc<RunLoopProbe>();
    Weak<RunLoopProbe> weak = probe;
    auto kept = NSString::fromUTF8("kept");
    auto dropped = NSString::fromUTF8("dropped");
    performSelectorWithObjectAfterDelay(probe, SEL("tick:"), kept, 1);
    performSelectorWithObjectAfterDelay(probe, SEL("tick:"), dropped, 1);
    cancelPreviousPerformRequestsWithTarget(probe, SEL("tick:"), NSString::fromUTF8("dropped"));
    clock->advance(1);
    ASSERT_EQ(probe->calls.size(), 1u);
    EXPECT_EQ(probe->arguments[0], kept);

    int blockRuns = 0;
    performBlockAfterDelay(probe, 1, [&] { ++blockRuns; });
    performSelectorWithObjectAfterDelay(probe, SEL("tick:"), kept, 1);
    cancelPreviousPerformRequestsWithTarget(probe);
    probe = nil;
    EXPECT_TRUE(weak.expired()); // the loop no longer holds it
    clock->advance(2);
    EXPECT_EQ(blockRuns, 0);
}

TEST_F(RunLoopTest, BlockPerformsCanBeCancelledByTag)
{
    auto owner = alloc<NSObject>();
    static const int hideTag = 0;
    std::vector<std::string> runs;
    performBlockAfterDelay(owner, 1, [&] { runs.push_back("hide"); }, &hideTag);
    performBlockAfterDelay(owner, 1, [&] { runs.push_back("other"); });
    cancelPreviousPerformBlockRequests(owner, &hideTag);
    clock->advance(1);
    EXPECT_EQ(runs, (std::vector<std::string> {"other"}));
}

TEST_F(RunLoopTest, ClockAdvanceInterleavesTimersAndDelayedDispatchByDate)
{
    std::vector<std::string> order;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1, true, [&](const Ref<NSTimer>&) { order.push_back("timer"); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC * 3 / 2), dispatch_get_main_queue(), [&] { order.push_back("after"); });
    clock->advance(2);
    EXPECT_EQ(order, (std::vector<std::string> {"timer", "after", "timer"}));
    timer->invalidate();
}

TEST_F(RunLoopTest, EndOfTurnObserversRunAfterTheTurnsWork)
{
    std::vector<std::string> order;
    auto token = loop->addEndOfTurnObserver([&] { order.push_back("layout"); });
    dispatch_async(dispatch_get_main_queue(), [&] { order.push_back("block"); });
    ASSERT_TRUE(runMainLoopUntil([&] { return order.size() >= 2; }));
    EXPECT_EQ(order[0], "block");
    EXPECT_EQ(order[1], "layout");
    loop->removeEndOfTurnObserver(token);
    order.clear();
    loop->runTurn(NSDefaultRunLoopMode, clock->now(), 0);
    EXPECT_TRUE(order.empty());
}

TEST_F(RunLoopTest, MainQueueIsDrainedInTrackingModeToo)
{
    bool ran = false;
    dispatch_async(dispatch_get_main_queue(), [&] { ran = true; });
    loop->runTurn(UITrackingRunLoopMode, clock->now(), 0);
    EXPECT_TRUE(ran);
}

TEST_F(RunLoopTest, RunUntilDateReturnsWhenAnotherThreadMovesTheClockPastIt)
{
    auto limit = NSDate::dateWithTimeIntervalSinceNow(30);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [clock = clock.clock()] { clock->advance(31); });
    loop->runUntilDate(limit);
    EXPECT_GE(NSDate::date()->timeIntervalSinceReferenceDate(), limit->timeIntervalSinceReferenceDate());
}

TEST_F(RunLoopTest, ThreadRunLoopRunsPerformedBlocksAndStops)
{
    std::atomic<bool> finished = false;
    auto thread = alloc<NSThread>()->initWithBlock([&] {
        // Kept alive by a long timer, as a networking thread would be.
        auto keepAlive = NSTimer::scheduledTimerWithTimeInterval(1000, true, [](const Ref<NSTimer>&) { });
        NSRunLoop::currentRunLoop()->run();
        keepAlive->invalidate();
        finished = true;
    });
    thread->setName(NSString::fromUTF8("test.network"));
    thread->start();

    std::string seenName;
    bool onThread = false;
    performBlockOnThread(thread, [&] {
        seenName = NSThread::currentThread()->name()->utf8();
        onThread = NSThread::currentThread() == thread && !NSThread::isMainThread();
    }, WaitUntilDone::yes);
    EXPECT_EQ(seenName, "test.network");
    EXPECT_TRUE(onThread);

    std::atomic<bool> asyncRan = false;
    performBlockOnThread(thread, [&] { asyncRan = true; }, WaitUntilDone::no);
    ASSERT_TRUE(runMainLoopUntil([&] { return asyncRan.load(); }));

    thread->runLoop()->stop();
    ASSERT_TRUE(runMainLoopUntil([&] { return finished.load(); }));
    ASSERT_TRUE(runMainLoopUntil([&] { return thread->isFinished(); }));
}

TEST_F(RunLoopTest, PortKeepsAThreadLoopRunningUntilStopped)
{
    std::atomic<int> turns = 0;
    std::atomic<bool> finished = false;
    auto port = NSMachPort::port();
    auto thread = alloc<NSThread>()->initWithBlock([&, port] {
        auto loop = NSRunLoop::currentRunLoop();
        loop->addPort(port, NSDefaultRunLoopMode);
        loop->run();
        loop->removePort(port, NSDefaultRunLoopMode);
        finished = true;
    });
    thread->start();
    for (int i = 0; i < 3; ++i)
        performBlockOnThread(thread, [&] { ++turns; }, WaitUntilDone::yes);
    EXPECT_EQ(turns, 3);
    EXPECT_FALSE(finished);
    thread->runLoop()->stop();
    ASSERT_TRUE(runMainLoopUntil([&] { return finished.load(); }));
}

TEST_F(RunLoopTest, WaitingPerformOnTheCurrentThreadRunsAtOnce)
{
    bool ran = false;
    performBlockOnMainThread([&] { ran = true; }, WaitUntilDone::yes);
    EXPECT_TRUE(ran);
}

TEST_F(RunLoopTest, PerformSelectorOnMainThreadFromAWorker)
{
    auto probe = alloc<RunLoopProbe>();
    std::atomic<bool> returned = false;
    NSThread::detachNewThreadWithBlock([probe, &returned] {
        performSelectorOnMainThread(probe, SEL("tick:"), nil, WaitUntilDone::yes);
        returned = true;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return returned.load(); }));
    EXPECT_EQ(probe->calls.size(), 1u);
}

TEST_F(RunLoopTest, RunWithoutSourcesReturnsAtOnce)
{
    std::atomic<bool> returned = false;
    NSThread::detachNewThreadWithBlock([&] {
        NSRunLoop::currentRunLoop()->run();
        returned = true;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return returned.load(); }));
}

TEST_F(RunLoopTest, ManualClockRunUntilIdleWaitsForWorkThatPostsBack)
{
    int result = 0;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0), [&result] {
        dispatch_async(dispatch_get_main_queue(), [&result] { result = 42; });
    });
    EXPECT_TRUE(clock->runUntilIdle());
    EXPECT_EQ(result, 42);
}

// The runner's clock: real time from a chosen date; a skip ahead runs what falls due on the way,
// in order and each at its own date; it may also be set back.
TEST(ShiftedClockTest, ReadsTheDateItWasSetToAndSkipsAheadThroughTimersInOrder)
{
    auto previous = dv::Clock::currentShared();
    auto clock = std::make_shared<dv::ShiftedClock>();
    dv::Clock::setCurrent(clock);
    const NSTimeInterval start = 1e9;
    clock->setNow(start);
    EXPECT_NEAR(NSDate::date()->timeIntervalSinceReferenceDate(), start, 5);

    std::vector<std::string> order;
    NSTimeInterval timerAt = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(3600, false, [&](const Ref<NSTimer>&) {
        order.push_back("timer");
        timerAt = NSDate::date()->timeIntervalSinceReferenceDate();
    });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC * 1800), dispatch_get_main_queue(), [&] { order.push_back("after"); });
    clock->advance(7200);
    EXPECT_EQ(order, (std::vector<std::string> { "after", "timer" }));
    EXPECT_NEAR(timerAt, start + 3600, 5) << "the timer fired at its own date, not at the end of the skip";
    EXPECT_GE(clock->now(), start + 7200);
    EXPECT_FALSE(timer->isValid());

    clock->setNow(start - 86400);
    EXPECT_NEAR(NSDate::date()->timeIntervalSinceReferenceDate(), start - 86400, 5);
    dv::Clock::setCurrent(previous);
}

} // namespace

namespace {

TEST_F(RunLoopTest, TurnTimesCountTheWorkOfEachTurnAndNotItsWait)
{
    loop->takeTurnTimes();
    // A block that keeps the loop busy for a while, in a turn of its own.
    loop->performBlock([] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
        while (std::chrono::steady_clock::now() < until) { }
    });
    loop->runTurn(NSDefaultRunLoopMode, dv::internal::dispatch::noDeadline, 0);
    // Then a turn that waits a fifth of a second for work that never comes.
    const auto waitStarted = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - waitStarted < std::chrono::milliseconds(200))
        loop->runTurn(NSDefaultRunLoopMode, dv::internal::dispatch::noDeadline, 0.2);
    const auto times = loop->takeTurnTimes();
    EXPECT_GE(times.turns, 2u);
    EXPECT_GE(times.longest, 0.030) << "the busy turn";
    EXPECT_LT(times.total, times.longest + 0.2) << "the waiting turn counts its work only";
    EXPECT_EQ(loop->takeTurnTimes().turns, 0u) << "a take starts again";
}

TEST_F(RunLoopTest, AnExternalSourceIsWaitedForInOnePollAndServedWhenReady)
{
    // On a thread of its own, whose loop has nothing else: each turn is one wait.
    auto source = std::make_shared<PipeSource>();
    std::atomic<int> phase = 0;
    std::atomic<bool> slept = false, woken = false, ran = false;
    Ref<NSRunLoop> threadLoop;
    auto thread = alloc<NSThread>()->initWithBlock([&] {
        auto loop = NSRunLoop::currentRunLoop();
        loop->addExternalSource(source);
        threadLoop = loop;
        // Nothing due: the turn sleeps until the source's own limit.
        source->wait = 0.05;
        const auto start = std::chrono::steady_clock::now();
        loop->runModeBeforeDate(NSDefaultRunLoopMode, nil);
        slept = std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(45) && source->prepares == 1 && source->bytes == 0;
        // The descriptor ends a wait without limit; so does a block queued from another thread.
        source->wait = std::numeric_limits<double>::infinity();
        phase = 1;
        loop->runModeBeforeDate(NSDefaultRunLoopMode, nil);
        woken = source->bytes == 1 && source->prepares == 2;
        phase = 2;
        loop->runModeBeforeDate(NSDefaultRunLoopMode, nil);
        loop->removeExternalSource(source);
        phase = 3;
    });
    thread->start();
    ASSERT_TRUE(runMainLoopUntil([&] { return phase == 1 && source->prepares == 2; }));
    source->write();
    ASSERT_TRUE(runMainLoopUntil([&] { return phase == 2 && source->prepares == 3; }));
    threadLoop->performBlock([&] { ran = true; });
    ASSERT_TRUE(runMainLoopUntil([&] { return phase == 3; }));
    EXPECT_TRUE(slept);
    EXPECT_TRUE(woken);
    EXPECT_TRUE(ran);
    EXPECT_EQ(source->prepares, 3);
    EXPECT_EQ(source->dispatches, 3);
    ASSERT_TRUE(runMainLoopUntil([&] { return thread->isFinished(); }));
}

TEST_F(RunLoopTest, ExternalSourcesComeInPairsPerTurnAlsoInANestedTurnAndTimersStillFire)
{
    auto source = std::make_shared<PipeSource>();
    loop->addExternalSource(source);
    std::vector<std::string> order;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1, false, [&](const Ref<NSTimer>&) { order.push_back("timer"); });
    // A handler that turns the loop itself (as one waiting for a page's answer does).
    source->onReady = [&] {
        order.push_back("ready");
        dispatch_async(dispatch_get_main_queue(), [&] { order.push_back("queued"); });
        loop->runTurn(NSDefaultRunLoopMode, clock->now(), 0);
        order.push_back("nested turn done");
    };
    source->write();
    loop->runTurn(NSDefaultRunLoopMode, clock->now(), 0);
    EXPECT_EQ(order, (std::vector<std::string> { "ready", "queued", "nested turn done" }));
    EXPECT_EQ(source->prepares, 2);
    EXPECT_EQ(source->dispatches, 2);
    clock->advance(1);
    EXPECT_EQ(order.back(), "timer");
    EXPECT_EQ(source->prepares.load(), source->dispatches);
    EXPECT_FALSE(timer->isValid());
    loop->removeExternalSource(source);
}

} // namespace
