#include "platform/dispatch/internal/WorkerPool.h"

#include "platform/base/Mutex.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <thread>

namespace dv::internal::dispatch {

namespace {
thread_local bool t_isPoolThread = false;
thread_local int t_blockDepth = 0;
constexpr int levelCount = 4;
// An idle thread above the soft limit leaves after this long without work.
constexpr auto idleExit = std::chrono::seconds(5);
constexpr auto spinBeforeSleep = std::chrono::microseconds(50);
} // namespace

struct WorkerPool::State {
    dv::Mutex lock;
    dv::ConditionVariable wake;
    std::deque<std::function<void()>> jobs[levelCount] DV_GUARDED_BY(lock);
    std::size_t queued DV_GUARDED_BY(lock) = 0;
    // Mirrors `queued` for threads that look without the lock.
    std::atomic<std::size_t> queuedHint { 0 };
    int threads DV_GUARDED_BY(lock) = 0;
    int idle DV_GUARDED_BY(lock) = 0;
    int blocked DV_GUARDED_BY(lock) = 0;
    int softLimit DV_GUARDED_BY(lock) = 4;
};

WorkerPool& WorkerPool::shared()
{
    // Never destroyed: detached pool threads may still run while the process exits.
    static WorkerPool* pool = new WorkerPool;
    return *pool;
}

WorkerPool::WorkerPool() : m_state(new State)
{
    m_state->softLimit = std::max(4, static_cast<int>(std::thread::hardware_concurrency()));
}

bool WorkerPool::isPoolThread() { return t_isPoolThread; }

int WorkerPool::threadCount() const
{
    dv::MutexLocker lock(m_state->lock);
    return m_state->threads;
}

void WorkerPool::submit(std::function<void()> job, PoolPriority priority)
{
    auto& s = *m_state;
    dv::MutexLocker lock(s.lock);
    s.jobs[static_cast<int>(priority)].push_back(std::move(job));
    ++s.queued;
    s.queuedHint.store(s.queued, std::memory_order_release);
    if (s.idle > 0 && static_cast<int>(s.queued) <= s.idle) {
        lock.unlock();
        s.wake.notifyOne();
        return;
    }
    if (s.threads - s.blocked < s.softLimit && s.threads < hardLimit) {
        ++s.threads;
        spawn();
    } else if (s.idle > 0) {
        lock.unlock();
        s.wake.notifyOne();
    }
}

void WorkerPool::spawn()
{
    std::thread([this] { workerMain(); }).detach();
}

void WorkerPool::workerMain()
{
    t_isPoolThread = true;
    auto& s = *m_state;
    dv::MutexLocker lock(s.lock);
    for (;;) {
        if (s.queued == 0) {
            ++s.idle;
            // Work often follows work within microseconds (a reply hopping from the transport to a
            // delegate queue): look for it briefly before paying for a sleep and a wake-up.
            lock.unlock();
            auto spinUntil = std::chrono::steady_clock::now() + spinBeforeSleep;
            while (s.queuedHint.load(std::memory_order_acquire) == 0 && std::chrono::steady_clock::now() < spinUntil)
                std::this_thread::yield();
            lock.lock();
            bool woke = s.wake.waitFor(lock, idleExit, [&]() DV_REQUIRES(s.lock) { return s.queued > 0; });
            --s.idle;
            if (!woke && s.threads > s.softLimit) {
                --s.threads;
                return;
            }
            if (!woke)
                continue;
        }
        std::function<void()> job;
        for (int level = levelCount - 1; level >= 0; --level) {
            if (!s.jobs[level].empty()) {
                job = std::move(s.jobs[level].front());
                s.jobs[level].pop_front();
                break;
            }
        }
        --s.queued;
        s.queuedHint.store(s.queued, std::memory_order_release);
        lock.unlock();
        job();
        job = nullptr; // captured state dies outside the pool lock
        lock.lock();
    }
}

void WorkerPool::willBlock()
{
    auto& s = *m_state;
    dv::MutexLocker lock(s.lock);
    ++s.blocked;
    // Work waiting behind a blocked thread gets a thread of its own.
    if (s.queued > static_cast<std::size_t>(s.idle) && s.threads - s.blocked < s.softLimit && s.threads < hardLimit) {
        ++s.threads;
        spawn();
    }
}

void WorkerPool::didUnblock()
{
    dv::MutexLocker lock(m_state->lock);
    --m_state->blocked;
}

BlockingScope::BlockingScope() : m_active(t_isPoolThread && t_blockDepth++ == 0)
{
    if (m_active)
        WorkerPool::shared().willBlock();
}

BlockingScope::~BlockingScope()
{
    if (t_isPoolThread)
        --t_blockDepth;
    if (m_active)
        WorkerPool::shared().didUnblock();
}

} // namespace dv::internal::dispatch
