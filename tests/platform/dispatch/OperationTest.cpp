#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSException.h"
#include "platform/dispatch/NSBlockOperation.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

using dv::testing::runMainLoopUntil;
std::atomic<int> benchmarkSink = 0;

// Finishes only when told to, as a download operation does when its connection ends.
class ManualOperation : public NSOperation {
    DV_CLASS(ManualOperation, NSOperation)

    ManualOperation() = default;
    bool isAsynchronous() const override { return true; }
    void start() override
    {
        if (isCancelled()) {
            setFinished(true);
            return;
        }
        setExecuting(true);
        started = true;
    }
    void finish()
    {
        setExecuting(false);
        setFinished(true);
    }
    std::atomic<bool> started = false;
};

class OperationTest : public ::testing::Test {
protected:
    Ref<NSOperationQueue> queue = alloc<NSOperationQueue>()->init();
    dv::Mutex lock;
    std::vector<std::string> order DV_GUARDED_BY(lock);

    std::function<void()> record(std::string name)
    {
        return [this, name] {
            dv::MutexLocker guard(lock);
            order.push_back(name);
        };
    }
    std::size_t recorded()
    {
        dv::MutexLocker guard(lock);
        return order.size();
    }
    std::vector<std::string> recordedOrder()
    {
        dv::MutexLocker guard(lock);
        return order;
    }
};

} // namespace

DV_DEFINE_CLASS(ManualOperation)

namespace {

TEST_F(OperationTest, ReadyOperationsRunByPriorityThenInOrder)
{
    queue->setMaxConcurrentOperationCount(1);
    queue->setSuspended(true);
    std::pair<const char*, NSOperationQueuePriority> cases[] = {
        {"normal-1", NSOperationQueuePriorityNormal}, {"low", NSOperationQueuePriorityLow},
        {"very-high", NSOperationQueuePriorityVeryHigh}, {"normal-2", NSOperationQueuePriorityNormal},
        {"very-low", NSOperationQueuePriorityVeryLow}, {"high", NSOperationQueuePriorityHigh},
    };
    for (auto& [name, priority] : cases) {
        auto operation = NSBlockOperation::blockOperationWithBlock(record(name));
        operation->setQueuePriority(priority);
        queue->addOperation(operation);
    }
    EXPECT_EQ(queue->operationCount(), 6u);
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(recordedOrder(), (std::vector<std::string> {"very-high", "high", "normal-1", "normal-2", "low", "very-low"}));
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST_F(OperationTest, PrioritiesBetweenLevelsSnapDown)
{
    auto operation = alloc<NSBlockOperation>();
    operation->setQueuePriority(3);
    EXPECT_EQ(operation->queuePriority(), NSOperationQueuePriorityNormal);
    operation->setQueuePriority(100);
    EXPECT_EQ(operation->queuePriority(), NSOperationQueuePriorityVeryHigh);
    operation->setQueuePriority(-5);
    EXPECT_EQ(operation->queuePriority(), NSOperationQueuePriorityVeryLow);
}

TEST_F(OperationTest, DependentOperationWaitsForItsDependencyOnAnotherQueue)
{
    auto other = alloc<NSOperationQueue>()->init();
    other->setSuspended(true);
    auto first = NSBlockOperation::blockOperationWithBlock(record("first"));
    auto second = NSBlockOperation::blockOperationWithBlock(record("second"));
    second->setQueuePriority(NSOperationQueuePriorityVeryHigh);
    second->addDependency(first);
    EXPECT_FALSE(second->isReady());
    queue->addOperation(second);
    other->addOperation(first);
    EXPECT_FALSE(runMainLoopUntil([&] { return recorded() > 0; }, 0.05));
    other->setSuspended(false);
    second->waitUntilFinished();
    EXPECT_EQ(recordedOrder(), (std::vector<std::string> {"first", "second"}));
    EXPECT_TRUE(second->isReady());
}

TEST_F(OperationTest, CancelledQueuedOperationStartsAndFinishesAtOnce)
{
    queue->setSuspended(true);
    bool mainRan = false;
    auto operation = NSBlockOperation::blockOperationWithBlock([&] { mainRan = true; });
    std::atomic<bool> completed = false;
    operation->setCompletionBlock([&] { completed = true; });
    queue->addOperation(operation);
    operation->cancel();
    EXPECT_TRUE(operation->isCancelled());
    queue->setSuspended(false);
    operation->waitUntilFinished();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(mainRan);
    ASSERT_TRUE(runMainLoopUntil([&] { return completed.load(); }));
}

TEST_F(OperationTest, CancellingStopsWaitingForDependencies)
{
    auto never = alloc<NSBlockOperation>();
    auto dependent = NSBlockOperation::blockOperationWithBlock(record("dependent"));
    dependent->addDependency(never);
    queue->addOperation(dependent);
    dependent->cancel();
    dependent->waitUntilFinished();
    EXPECT_TRUE(dependent->isFinished());
    EXPECT_TRUE(recordedOrder().empty());
}

TEST_F(OperationTest, CancelAllCancelsQueuedOperations)
{
    queue->setSuspended(true);
    std::vector<Ref<NSOperation>> operations;
    for (int i = 0; i < 5; ++i) {
        auto operation = NSBlockOperation::blockOperationWithBlock(record("ran"));
        operations.push_back(operation);
        queue->addOperation(operation);
    }
    queue->cancelAllOperations();
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(recordedOrder().empty());
    for (auto& operation : operations)
        EXPECT_TRUE(operation->isCancelled() && operation->isFinished());
}

TEST_F(OperationTest, MaxConcurrentCountBoundsTheOperationsRunningAtOnce)
{
    queue->setMaxConcurrentOperationCount(2);
    std::atomic<int> running = 0, peak = 0;
    for (int i = 0; i < 12; ++i)
        queue->addOperationWithBlock([&] {
            int now = ++running;
            int seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) { }
            for (int spin = 0; spin < 20000; ++spin)
                benchmarkSink += spin;
            --running;
        });
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_LE(peak.load(), 2);
    EXPECT_GE(peak.load(), 1);
}

TEST_F(OperationTest, AsynchronousOperationHoldsItsSlotUntilItFinishesItself)
{
    queue->setMaxConcurrentOperationCount(1);
    auto download = alloc<ManualOperation>();
    std::atomic<bool> completed = false;
    download->setCompletionBlock([&] { completed = true; });
    queue->addOperation(download);
    queue->addOperationWithBlock(record("next"));
    ASSERT_TRUE(runMainLoopUntil([&] { return download->started.load(); }));
    EXPECT_TRUE(download->isExecuting());
    EXPECT_FALSE(runMainLoopUntil([&] { return recorded() > 0; }, 0.05));
    EXPECT_EQ(queue->operationCount(), 2u);
    download->finish();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(recordedOrder(), (std::vector<std::string> {"next"}));
    EXPECT_TRUE(completed);
}

TEST_F(OperationTest, StateChangesAreObservable)
{
    auto operation = alloc<ManualOperation>();
    std::vector<std::string> changes;
    dv::Mutex changesLock;
    auto watch = [&](const char* key) {
        return operation->observe(key, NSKeyValueObservingOptionNew, [&, key](const id&, const dv::KeyValueChange& change) {
            dv::MutexLocker guard(changesLock);
            changes.push_back(std::string(key) + "=" + (dv::unbox<bool>(change.newValue) ? "1" : "0"));
        });
    };
    auto executing = watch("isExecuting");
    auto finished = watch("isFinished");
    queue->addOperation(operation);
    ASSERT_TRUE(runMainLoopUntil([&] { return operation->started.load(); }));
    operation->finish();
    operation->waitUntilFinished();
    dv::MutexLocker guard(changesLock);
    EXPECT_EQ(changes, (std::vector<std::string> {"isExecuting=1", "isExecuting=0", "isFinished=1"}));
    operation->removeObservation(executing);
    operation->removeObservation(finished);
}

TEST_F(OperationTest, MainQueueRunsOperationsOnTheMainThread)
{
    std::atomic<bool> onMain = false;
    std::atomic<bool> currentIsMain = false;
    auto main = NSOperationQueue::mainQueue();
    EXPECT_EQ(main->maxConcurrentOperationCount(), 1);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&, main] {
        main->addOperationWithBlock([&, main] {
            currentIsMain = NSOperationQueue::currentQueue() == main;
            onMain = dv::isMainThread();
        });
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return onMain.load(); }));
    EXPECT_TRUE(currentIsMain);
}

TEST_F(OperationTest, CurrentQueueInsideAnOperationIsItsQueue)
{
    Ref<NSOperationQueue> seen;
    queue->addOperationWithBlock([&] { seen = NSOperationQueue::currentQueue(); });
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(seen, queue);
}

TEST_F(OperationTest, AddingAnOperationTwiceRaises)
{
    queue->setSuspended(true);
    auto operation = alloc<NSBlockOperation>();
    queue->addOperation(operation);
    EXPECT_THROW(queue->addOperation(operation), dv::RaisedException);
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_THROW(queue->addOperation(operation), dv::RaisedException); // finished
}

TEST_F(OperationTest, AddOperationsCanWaitForThem)
{
    std::vector<Ref<NSOperation>> operations;
    std::atomic<int> ran = 0;
    for (int i = 0; i < 4; ++i)
        operations.push_back(NSBlockOperation::blockOperationWithBlock([&] { ++ran; }));
    queue->addOperations(operations, true);
    EXPECT_EQ(ran, 4);
}

TEST_F(OperationTest, BlockOperationRunsEveryExecutionBlock)
{
    std::atomic<int> ran = 0;
    auto operation = NSBlockOperation::blockOperationWithBlock([&] { ++ran; });
    operation->addExecutionBlock([&] { ++ran; });
    EXPECT_EQ(operation->executionBlocks().size(), 2u);
    operation->start();
    EXPECT_EQ(ran, 2);
    EXPECT_TRUE(operation->isFinished());
    EXPECT_THROW(operation->addExecutionBlock([] { }), dv::RaisedException);
}

TEST(OperationLifetimeTest, QueueOperationsAndDependenciesAreAllReleasedOnceFinished)
{
    NSRunLoop::mainRunLoop(); // made once per process; not part of the count
    auto before = dv::liveObjectCount();
    {
        auto queue = alloc<NSOperationQueue>()->init();
        auto first = alloc<ManualOperation>();
        auto second = NSBlockOperation::blockOperationWithBlock([] { });
        second->addDependency(first);
        second->setCompletionBlock([second] { }); // a completion that holds its operation
        queue->addOperation(second);
        queue->addOperation(first);
        ASSERT_TRUE(runMainLoopUntil([&] { return first->started.load(); }));
        first->finish();
        queue->waitUntilAllOperationsAreFinished();
    }
    // Pool threads let go of their last references just after the work ends.
    EXPECT_TRUE(runMainLoopUntil([&] { return dv::liveObjectCount() == before; }));
}

TEST_F(OperationTest, QueueReleasedWithPendingOperationsDoesNotCrash)
{
    auto doomed = alloc<NSOperationQueue>()->init();
    doomed->setSuspended(true);
    auto operation = NSBlockOperation::blockOperationWithBlock(record("never"));
    doomed->addOperation(operation);
    doomed = nil;
    EXPECT_FALSE(operation->isFinished());
}

} // namespace
