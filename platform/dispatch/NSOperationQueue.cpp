#include "platform/dispatch/NSOperationQueue.h"

#include "platform/base/Check.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSBlockOperation.h"
#include "platform/dispatch/internal/WorkerPool.h"

#include <algorithm>

DV_DEFINE_CLASS(NSOperationQueue)

namespace {

thread_local NSOperationQueue* t_currentQueue = nullptr;

struct CurrentQueueScope {
    explicit CurrentQueueScope(NSOperationQueue* queue) : m_previous(std::exchange(t_currentQueue, queue)) { }
    ~CurrentQueueScope() { t_currentQueue = m_previous; }
    NSOperationQueue* m_previous;
};

// The width of a queue left at the default: as many as the pool would run side by side.
constexpr int defaultWidth = dv::internal::dispatch::WorkerPool::hardLimit;

} // namespace

NSOperationQueue::~NSOperationQueue()
{
    // Operations still waiting are let go without running; they no longer count as work.
    for (auto& entry : m_entries) {
        entry.operation->removeObservation(entry.readyToken);
        entry.operation->removeObservation(entry.finishedToken);
        dv::internal::dispatch::WorkTracker::end();
    }
}

Ref<NSOperationQueue> NSOperationQueue::init() { return self<NSOperationQueue>(); }

Ref<NSOperationQueue> NSOperationQueue::mainQueue()
{
    static auto* main = new Ref<NSOperationQueue>(dv::keepingForever([] {
        auto queue = alloc<NSOperationQueue>();
        queue->m_isMain = true;
        dv::MutexLocker lock(queue->m_lock);
        queue->m_maxConcurrent = 1;
        queue->m_name = NSString::fromUTF8("NSOperationQueue Main Queue");
        return queue;
    }));
    return *main;
}

Ref<NSOperationQueue> NSOperationQueue::currentQueue()
{
    if (t_currentQueue)
        return t_currentQueue->self<NSOperationQueue>();
    if (dv::isMainThread())
        return mainQueue();
    return nil;
}

void NSOperationQueue::addOperation(const Ref<NSOperation>& operation)
{
    if (!operation)
        NSException::raise(NSInvalidArgumentException, "*** -[NSOperationQueue addOperation:]: operation is nil");
    {
        dv::MutexLocker lock(operation->m_lock);
        if (!operation->m_queue.expired() || operation->isExecuting() || operation->isFinished())
            NSException::raise(NSInvalidArgumentException,
                               "*** -[NSOperationQueue addOperation:]: operation is already enqueued on a queue, executing or finished");
        operation->m_queue = self<NSOperationQueue>();
    }
    Weak<NSOperationQueue> weakSelf = self<NSOperationQueue>();
    Entry entry;
    entry.operation = operation;
    entry.readyToken = operation->observe("isReady", 0, [weakSelf](const id&, const dv::KeyValueChange&) {
        if (auto self = weakSelf.lock())
            self->schedule();
    });
    NSOperation* raw = operation.get();
    entry.finishedToken = operation->observe("isFinished", 0, [weakSelf, raw](const id&, const dv::KeyValueChange&) {
        if (auto self = weakSelf.lock())
            self->operationFinished(raw);
    });
    dv::internal::dispatch::WorkTracker::begin();
    willChangeValueForKey("operationCount");
    {
        dv::MutexLocker lock(m_lock);
        entry.order = m_nextOrder++;
        m_entries.push_back(std::move(entry));
    }
    didChangeValueForKey("operationCount");
    // It may have finished (or been cancelled and started) between the checks above.
    if (operation->isFinished())
        operationFinished(raw);
    schedule();
}

void NSOperationQueue::addOperationWithBlock(std::function<void()> block)
{
    addOperation(NSBlockOperation::blockOperationWithBlock(std::move(block)));
}

void NSOperationQueue::addOperations(const std::vector<Ref<NSOperation>>& operations, bool waitUntilFinished)
{
    for (auto& operation : operations)
        addOperation(operation);
    if (waitUntilFinished)
        for (auto& operation : operations)
            operation->waitUntilFinished();
}

void NSOperationQueue::schedule()
{
    std::vector<Ref<NSOperation>> toStart;
    {
        dv::MutexLocker lock(m_lock);
        if (m_suspended)
            return;
        int width = m_maxConcurrent < 0 ? defaultWidth : static_cast<int>(m_maxConcurrent);
        while (m_running < width) {
            Entry* best = nullptr;
            for (auto& entry : m_entries) {
                if (entry.started || !entry.operation->isReady())
                    continue;
                if (!best || entry.operation->queuePriority() > best->operation->queuePriority())
                    best = &entry; // ties keep the earlier one
            }
            if (!best)
                break;
            best->started = true;
            ++m_running;
            toStart.push_back(best->operation);
        }
    }
    for (auto& operation : toStart)
        run(operation);
}

void NSOperationQueue::run(const Ref<NSOperation>& operation)
{
    auto job = [queue = self<NSOperationQueue>(), operation] {
        CurrentQueueScope scope(queue.get());
        operation->start();
    };
    if (m_isMain)
        dispatch_async(dispatch_get_main_queue(), std::move(job));
    else
        dv::internal::dispatch::WorkerPool::shared().submit(std::move(job), dv::internal::dispatch::PoolPriority::Default);
}

void NSOperationQueue::operationFinished(NSOperation* operation)
{
    if (!operation->isFinished())
        return;
    Entry finished;
    {
        dv::MutexLocker lock(m_lock);
        auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](auto& e) { return e.operation.get() == operation; });
        if (it == m_entries.end())
            return;
        finished = std::move(*it);
        m_entries.erase(it);
        if (finished.started) {
            DV_CHECK_MSG(m_running > 0, "a started operation not counted as running");
            --m_running;
        }
    }
    {
        dv::MutexLocker lock(operation->m_lock);
        operation->m_queue.reset();
    }
    operation->removeObservation(finished.readyToken);
    operation->removeObservation(finished.finishedToken);
    willChangeValueForKey("operationCount");
    didChangeValueForKey("operationCount");
    dv::internal::dispatch::WorkTracker::end();
    m_emptied.notifyAll();
    schedule();
}

std::vector<Ref<NSOperation>> NSOperationQueue::operations() const
{
    dv::MutexLocker lock(m_lock);
    std::vector<Ref<NSOperation>> result;
    for (auto& entry : m_entries)
        result.push_back(entry.operation);
    return result;
}

NSUInteger NSOperationQueue::operationCount() const
{
    dv::MutexLocker lock(m_lock);
    return m_entries.size();
}

NSInteger NSOperationQueue::maxConcurrentOperationCount() const
{
    dv::MutexLocker lock(m_lock);
    return m_maxConcurrent;
}

void NSOperationQueue::setMaxConcurrentOperationCount(NSInteger count)
{
    if (m_isMain)
        return; // the main queue runs one operation at a time
    {
        dv::MutexLocker lock(m_lock);
        m_maxConcurrent = count < 0 ? NSOperationQueueDefaultMaxConcurrentOperationCount : count;
    }
    schedule();
}

bool NSOperationQueue::isSuspended() const
{
    dv::MutexLocker lock(m_lock);
    return m_suspended;
}

void NSOperationQueue::setSuspended(bool suspended)
{
    willChangeValueForKey("suspended");
    {
        dv::MutexLocker lock(m_lock);
        m_suspended = suspended;
    }
    didChangeValueForKey("suspended");
    if (!suspended)
        schedule();
}

void NSOperationQueue::cancelAllOperations()
{
    for (auto& operation : operations())
        operation->cancel();
}

void NSOperationQueue::waitUntilAllOperationsAreFinished()
{
    dv::internal::dispatch::BlockingScope blocking;
    dv::MutexLocker lock(m_lock);
    m_emptied.wait(lock, [&]() DV_REQUIRES(m_lock) { return m_entries.empty(); });
}

Ref<NSString> NSOperationQueue::name() const
{
    dv::MutexLocker lock(m_lock);
    return m_name;
}

void NSOperationQueue::setName(const Ref<NSString>& name)
{
    dv::MutexLocker lock(m_lock);
    m_name = name;
}
