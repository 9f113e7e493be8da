// DispatchQueue: a FIFO of blocks. Serial queues run one block at a time, in order, on a
// borrowed pool thread; concurrent queues run blocks side by side, except barrier blocks, which
// wait for everything before them and run alone. The main queue is serial and is drained by the
// main thread's run loop. Queues are shared by reference (dispatch_queue_t) and a queue with
// pending blocks stays alive until they have run. Use through the functions of Dispatch.h.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/internal/AdaptiveMutex.h"
#include "platform/dispatch/internal/ChunkQueue.h"
#include "platform/dispatch/internal/WorkerPool.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dv {

class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    enum class Kind { Serial, Concurrent, Main };

    DispatchQueue(std::string label, Kind kind, internal::dispatch::PoolPriority priority);
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    const std::string& label() const { return m_label; }
    Kind kind() const { return m_kind; }
    bool isSerial() const { return m_kind != Kind::Concurrent; }

    void async(std::function<void()>&& block, bool barrier);
    // Waits for the block's turn and runs it. On serial and concurrent queues the block runs on
    // the calling thread; on the main queue it runs on the main thread.
    void sync(const std::function<void()>& block, bool barrier);
    void suspend();
    void resume();

    // The queue whose block the calling thread is running (innermost), or null.
    static DispatchQueue* current();
    // Whether the calling thread is running a block of this queue, directly or through a sync
    // call made from one.
    bool isCurrent() const;

    // Values attached to the queue under a key (dispatch_queue_set_specific).
    void setSpecific(const void* key, void* value);
    void* specific(const void* key) const;

    // Main queue only: runs the blocks queued when the call began; answers how many ran.
    std::size_t drainMain();
    bool hasPendingMain() const;

private:
    struct SyncWaiter;
    struct Item {
        std::function<void()> block;
        bool barrier = false;
        SyncWaiter* waiter = nullptr;
    };

    void scheduleLocked(internal::dispatch::AdaptiveMutexLocker& lock) DV_REQUIRES(m_lock);
    void drainSerial();
    void runConcurrent(Item item);
    void awaitMoreBriefly();
    void finishSync(bool barrier);

    const std::string m_label;
    const Kind m_kind;
    const internal::dispatch::PoolPriority m_priority;

    mutable dv::Mutex m_specificLock;
    std::vector<std::pair<const void*, void*>> m_specific DV_GUARDED_BY(m_specificLock);

    // Fields the queueing threads touch, under m_lock.
    mutable internal::dispatch::AdaptiveMutex m_lock;
    internal::dispatch::ChunkQueue<Item> m_items DV_GUARDED_BY(m_lock);
    int m_running DV_GUARDED_BY(m_lock) = 0; // serial: 1 while a drain or a sync caller owns the queue
    bool m_barrierRunning DV_GUARDED_BY(m_lock) = false;
    int m_waiters DV_GUARDED_BY(m_lock) = 0; // sync callers waiting in m_items
    std::atomic<std::uint64_t> m_enqueued = 0;

    // Serial: the blocks a drain took, touched only by the drain. On cache lines of their own,
    // so that a drain working through its batch does not slow down the threads queueing blocks.
    alignas(64) internal::dispatch::ChunkQueue<Item> m_batch;
    // Changed under m_lock; a running drain reads it between blocks.
    alignas(64) std::atomic<int> m_suspendCount = 0;
};

} // namespace dv
