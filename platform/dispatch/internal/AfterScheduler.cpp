#include "platform/dispatch/internal/AfterScheduler.h"

#include "platform/base/Mutex.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/internal/Waiting.h"

#include <map>
#include <thread>
#include <utility>
#include <vector>

namespace dv::internal::dispatch {

struct AfterScheduler::State {
    struct Entry {
        std::shared_ptr<DispatchQueue> queue;
        std::function<void()> block;
    };
    mutable dv::Mutex lock;
    dv::ConditionVariable changed;
    // Ordered by deadline, then by the order of scheduling.
    std::multimap<NSTimeInterval, Entry> entries DV_GUARDED_BY(lock);
    bool threadStarted DV_GUARDED_BY(lock) = false;
};

AfterScheduler& AfterScheduler::shared()
{
    static AfterScheduler* scheduler = new AfterScheduler; // outlives detached threads
    return *scheduler;
}

AfterScheduler::AfterScheduler() : m_state(new State) { }

void AfterScheduler::schedule(NSTimeInterval deadline, std::shared_ptr<DispatchQueue> queue, std::function<void()> block)
{
    {
        dv::MutexLocker lock(m_state->lock);
        m_state->entries.emplace(deadline, State::Entry {std::move(queue), std::move(block)});
        if (!m_state->threadStarted) {
            m_state->threadStarted = true;
            std::thread([this] { threadMain(); }).detach();
        }
    }
    m_state->changed.notifyAll();
}

void AfterScheduler::fireDue(NSTimeInterval now)
{
    std::vector<State::Entry> due;
    {
        dv::MutexLocker lock(m_state->lock);
        auto end = m_state->entries.upper_bound(now);
        for (auto it = m_state->entries.begin(); it != end; ++it)
            due.push_back(std::move(it->second));
        m_state->entries.erase(m_state->entries.begin(), end);
    }
    for (auto& entry : due)
        dispatch_async(entry.queue, std::move(entry.block));
}

NSTimeInterval AfterScheduler::nextDeadline() const
{
    dv::MutexLocker lock(m_state->lock);
    return m_state->entries.empty() ? noDeadline : m_state->entries.begin()->first;
}

void AfterScheduler::discardAll()
{
    std::multimap<NSTimeInterval, State::Entry> dropped;
    {
        dv::MutexLocker lock(m_state->lock);
        dropped.swap(m_state->entries);
    }
    m_state->changed.notifyAll();
}

void AfterScheduler::threadMain()
{
    for (;;) {
        {
            dv::MutexLocker lock(m_state->lock);
            std::size_t seen = m_state->entries.size();
            NSTimeInterval next = m_state->entries.empty() ? noDeadline : m_state->entries.begin()->first;
            // Wake for the next deadline, or when an entry is added or taken by advance().
            waitUntilClock(m_state->changed, lock, next, [&]() DV_REQUIRES(m_state->lock) {
                return m_state->entries.size() != seen;
            });
        }
        fireDue(Clock::current().now());
    }
}

} // namespace dv::internal::dispatch
