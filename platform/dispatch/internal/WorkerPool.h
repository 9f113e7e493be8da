// The threads under every dispatch queue and operation queue: a bounded pool of std::threads
// shared by the whole process. Serial queues borrow one pool thread while they have work; they
// never own a thread. A pool thread that blocks (a sync call, a semaphore or group wait, a run
// loop waiting for its sources) says so through BlockingScope, so the pool may start a
// replacement up to a hard cap instead of starving the queues behind it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace dv::internal::dispatch {

// Pool priorities, highest first when a thread picks its next job.
enum class PoolPriority : int { Background = 0, Low = 1, Default = 2, High = 3 };

class WorkerPool {
public:
    static WorkerPool& shared();

    void submit(std::function<void()> job, PoolPriority priority);

    // Whether the calling thread is one of the pool's.
    static bool isPoolThread();
    // How many threads exist now (tests check the pool stays bounded).
    int threadCount() const;
    static constexpr int hardLimit = 64;

    void willBlock();
    void didUnblock();

private:
    WorkerPool();
    void workerMain();
    // Starts one more thread; its caller has counted it in, under the pool lock.
    void spawn();

    struct State;
    State* m_state;
};

// Marks the calling pool thread as blocked for the scope's lifetime; no effect on other threads.
class BlockingScope {
public:
    BlockingScope();
    ~BlockingScope();
    BlockingScope(const BlockingScope&) = delete;
    BlockingScope& operator=(const BlockingScope&) = delete;

private:
    bool m_active;
};

// Work handed to queues (dispatch items, queued operations) that has not finished yet, across
// the process. The manual clock's runUntilIdle waits for it to reach zero.
class WorkTracker {
public:
    static void begin() { s_outstanding.fetch_add(1, std::memory_order_relaxed); }
    static void end() { s_outstanding.fetch_sub(1, std::memory_order_release); }
    static std::int64_t outstanding() { return s_outstanding.load(std::memory_order_acquire); }

private:
    static inline std::atomic<std::int64_t> s_outstanding { 0 };
};

} // namespace dv::internal::dispatch
