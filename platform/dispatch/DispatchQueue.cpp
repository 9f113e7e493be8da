#include "platform/dispatch/DispatchQueue.h"

#include "platform/base/Check.h"
#include "platform/base/Mutex.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/internal/MainThread.h"
#include "platform/dispatch/internal/Waiting.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace dv {

namespace {

thread_local std::vector<const DispatchQueue*> t_queueStack;

struct QueueScope {
    explicit QueueScope(const DispatchQueue* queue) { t_queueStack.push_back(queue); }
    ~QueueScope() { t_queueStack.pop_back(); }
};

// A serial queue gives its pool thread back after this many blocks when more are waiting, so
// that one busy queue cannot hold a thread forever.
constexpr int serialDrainBudget = 4096;

} // namespace

struct DispatchQueue::SyncWaiter {
    dv::Mutex lock;
    dv::ConditionVariable turn;
    bool go = false;

    void signal()
    {
        {
            dv::MutexLocker guard(lock);
            go = true;
        }
        turn.notifyOne();
    }
    void wait()
    {
        internal::dispatch::BlockingScope blocking;
        dv::MutexLocker guard(lock);
        turn.wait(guard, [&] { return go; });
    }
};

DispatchQueue::DispatchQueue(std::string label, Kind kind, internal::dispatch::PoolPriority priority)
    : m_label(std::move(label))
    , m_kind(kind)
    , m_priority(priority)
{
}

DispatchQueue::~DispatchQueue()
{
    // Only a suspended queue can die with blocks in it; they are dropped without running.
    if (m_kind != Kind::Serial)
        m_items.forEach([](Item& item) {
            if (!item.waiter)
                internal::dispatch::WorkTracker::end();
        });
}

DispatchQueue* DispatchQueue::current()
{
    return t_queueStack.empty() ? nullptr : const_cast<DispatchQueue*>(t_queueStack.back());
}

bool DispatchQueue::isCurrent() const
{
    return std::find(t_queueStack.begin(), t_queueStack.end(), this) != t_queueStack.end();
}

void DispatchQueue::async(std::function<void()>&& block, bool barrier)
{
    if (!block)
        return;
    // Serial queues count as outstanding work while a drain is scheduled; the others per block.
    if (m_kind != Kind::Serial)
        internal::dispatch::WorkTracker::begin();
    if (m_kind == Kind::Main) {
        {
            internal::dispatch::AdaptiveMutexLocker lock(m_lock);
            m_items.emplace_back(Item {std::move(block), barrier, nullptr});
        }
        internal::dispatch::wakeMainRunLoop();
        return;
    }
    internal::dispatch::AdaptiveMutexLocker lock(m_lock);
    m_items.emplace_back(Item {std::move(block), barrier, nullptr});
    // Only written under m_lock, so a plain store is enough; the drain's spin reads it.
    m_enqueued.store(m_enqueued.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    scheduleLocked(lock);
}

void DispatchQueue::scheduleLocked(internal::dispatch::AdaptiveMutexLocker&)
{
    if (m_suspendCount > 0 || m_kind == Kind::Main)
        return;
    if (m_kind == Kind::Serial) {
        if (m_running > 0 || m_items.empty())
            return;
        m_running = 1;
        if (m_items.front().waiter) {
            // The sync caller runs the block on its own thread and hands the queue back.
            auto* waiter = m_items.take_front().waiter;
            --m_waiters;
            waiter->signal();
            return;
        }
        internal::dispatch::WorkTracker::begin();
        internal::dispatch::WorkerPool::shared().submit([self = shared_from_this()] { self->drainSerial(); }, m_priority);
        return;
    }
    while (!m_items.empty() && !m_barrierRunning) {
        if (m_items.front().barrier) {
            if (m_running > 0)
                break;
            m_barrierRunning = true;
        }
        Item item = m_items.take_front();
        ++m_running;
        if (item.waiter) {
            --m_waiters;
            item.waiter->signal();
        }
        else
            internal::dispatch::WorkerPool::shared().submit([self = shared_from_this(), item = std::move(item)]() mutable { self->runConcurrent(std::move(item)); }, m_priority);
    }
}

void DispatchQueue::drainSerial()
{
    QueueScope scope(this);
    for (int ran = 0;;) {
        if (ran > 0 && ran < serialDrainBudget)
            awaitMoreBriefly();
        {
            internal::dispatch::AdaptiveMutexLocker lock(m_lock);
            if (m_suspendCount > 0 || m_items.empty()) {
                m_running = 0;
                internal::dispatch::WorkTracker::end();
                return;
            }
            if (m_items.front().waiter) {
                auto* waiter = m_items.take_front().waiter;
                --m_waiters;
                internal::dispatch::WorkTracker::end();
                waiter->signal(); // the queue stays owned, now by the sync caller
                return;
            }
            if (ran >= serialDrainBudget) {
                internal::dispatch::WorkerPool::shared().submit([self = shared_from_this()] { self->drainSerial(); }, m_priority);
                return;
            }
            // Take what is queued in one go (up to the first sync caller), so that a busy queue
            // costs one lock per batch rather than one per block.
            if (m_waiters == 0) {
                m_batch.swap(m_items);
            } else {
                while (!m_items.empty() && !m_items.front().waiter)
                    m_batch.push_back(m_items.take_front());
            }
        }
        while (!m_batch.empty()) {
            if (m_suspendCount.load(std::memory_order_relaxed) > 0) {
                // Suspended meanwhile: what was not started goes back, ahead of later blocks.
                internal::dispatch::AdaptiveMutexLocker lock(m_lock);
                while (!m_batch.empty())
                    m_items.push_front(m_batch.take_back());
                break;
            }
            auto block = std::move(m_batch.take_front().block);
            block();
            ++ran;
        }
    }
}

void DispatchQueue::awaitMoreBriefly()
{
    // A queue fed in a stream usually gets its next block within microseconds; waiting a moment
    // here is far cheaper than handing the thread back to the pool and being woken again. The
    // counter is looked at sparingly: it shares a cache line with what producers write.
    auto seen = m_enqueued.load(std::memory_order_acquire);
    for (int look = 0; look < 16; ++look) {
        for (int spin = 0; spin < 32; ++spin) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        if (m_enqueued.load(std::memory_order_acquire) != seen)
            return;
    }
}

void DispatchQueue::runConcurrent(Item item)
{
    {
        QueueScope scope(this);
        item.block();
        item.block = nullptr;
    }
    internal::dispatch::WorkTracker::end();
    internal::dispatch::AdaptiveMutexLocker lock(m_lock);
    --m_running;
    if (item.barrier)
        m_barrierRunning = false;
    scheduleLocked(lock);
}

void DispatchQueue::finishSync(bool barrier)
{
    internal::dispatch::AdaptiveMutexLocker lock(m_lock);
    if (m_kind == Kind::Serial) {
        m_running = 0;
    } else {
        --m_running;
        if (barrier)
            m_barrierRunning = false;
    }
    scheduleLocked(lock);
}

void DispatchQueue::sync(const std::function<void()>& block, bool barrier)
{
    if (m_kind == Kind::Main) {
        if (isMainThread()) {
            internal::dispatch::reportSyncDeadlock(m_label);
            // The main thread is already here: waiting for the main queue would never end.
        }
        struct Done {
            dv::Mutex lock;
            dv::ConditionVariable cv;
            bool done = false;
        };
        auto done = std::make_shared<Done>();
        async([&block, done] {
            if (block)
                block();
            {
                dv::MutexLocker guard(done->lock);
                done->done = true;
            }
            done->cv.notifyAll();
        }, barrier);
        internal::dispatch::BlockingScope blocking;
        dv::MutexLocker guard(done->lock);
        done->cv.wait(guard, [&] { return done->done; });
        return;
    }

    if (isCurrent() && (m_kind == Kind::Serial || barrier))
        internal::dispatch::reportSyncDeadlock(m_label);

    SyncWaiter waiter;
    bool queued = false;
    {
        internal::dispatch::AdaptiveMutexLocker lock(m_lock);
        bool free = m_suspendCount == 0 && m_items.empty()
            && (m_kind == Kind::Serial ? m_running == 0 : (!m_barrierRunning && (!barrier || m_running == 0)));
        if (free) {
            m_running = m_kind == Kind::Serial ? 1 : m_running + 1;
            if (barrier && m_kind == Kind::Concurrent)
                m_barrierRunning = true;
        } else {
            m_items.push_back({{}, barrier, &waiter});
            ++m_waiters;
            queued = true;
        }
    }
    if (queued)
        waiter.wait();

    struct Finish {
        DispatchQueue* queue;
        bool barrier;
        ~Finish() { queue->finishSync(barrier); }
    } finish {this, barrier};
    QueueScope scope(this);
    if (block)
        block();
}

void DispatchQueue::suspend()
{
    internal::dispatch::AdaptiveMutexLocker lock(m_lock);
    ++m_suspendCount;
}

void DispatchQueue::resume()
{
    {
        internal::dispatch::AdaptiveMutexLocker lock(m_lock);
        DV_CHECK_MSG(m_suspendCount > 0, "dispatch_resume without a matching dispatch_suspend");
        if (--m_suspendCount > 0)
            return;
        scheduleLocked(lock);
    }
    if (m_kind == Kind::Main)
        internal::dispatch::wakeMainRunLoop();
}

void DispatchQueue::setSpecific(const void* key, void* value)
{
    dv::MutexLocker lock(m_specificLock);
    std::erase_if(m_specific, [&](auto& entry) { return entry.first == key; });
    if (value)
        m_specific.emplace_back(key, value);
}

void* DispatchQueue::specific(const void* key) const
{
    dv::MutexLocker lock(m_specificLock);
    for (auto& [k, v] : m_specific)
        if (k == key)
            return v;
    return nullptr;
}

bool DispatchQueue::hasPendingMain() const
{
    internal::dispatch::AdaptiveMutexLocker lock(m_lock);
    return !m_items.empty() && m_suspendCount == 0;
}

std::size_t DispatchQueue::drainMain()
{
    // The main queue is serial: a block that spins a nested run loop does not let the blocks
    // queued after it overtake it.
    if (isCurrent())
        return 0;
    std::size_t available;
    {
        internal::dispatch::AdaptiveMutexLocker lock(m_lock);
        available = m_suspendCount > 0 ? 0 : m_items.size();
    }
    QueueScope scope(this);
    std::size_t ran = 0;
    for (; ran < available; ++ran) {
        Item item;
        {
            internal::dispatch::AdaptiveMutexLocker lock(m_lock);
            if (m_items.empty() || m_suspendCount > 0)
                break;
            item = m_items.take_front();
        }
        item.block();
        item.block = nullptr;
        internal::dispatch::WorkTracker::end();
    }
    return ran;
}

} // namespace dv
