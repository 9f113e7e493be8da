#include "platform/net/internal/DeadlineWatcher.h"

#include "platform/dispatch/Clock.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace dv::internal::net {

DeadlineWatcher& DeadlineWatcher::shared()
{
    // Never destroyed: its thread may be waiting when static destruction starts.
    static DeadlineWatcher* watcher = new DeadlineWatcher();
    return *watcher;
}

DeadlineWatcher::Token DeadlineWatcher::add(NSTimeInterval deadline, std::function<void()> action)
{
    Token token = 0;
    {
        dv::MutexLocker lock(m_mutex);
        token = m_nextToken++;
        m_pending.emplace(std::make_pair(deadline, token), Entry { &Clock::current(), std::move(action) });
        m_deadlines.emplace(token, deadline);
        if (!m_started) {
            m_started = true;
            std::thread([this] { run(); }).detach();
        }
    }
    // The watcher waits for the earliest deadline it knew of; a new one may come sooner.
    m_changed.signal();
    return token;
}

void DeadlineWatcher::remove(Token token)
{
    dv::MutexLocker lock(m_mutex);
    auto found = m_deadlines.find(token);
    if (found == m_deadlines.end())
        return;
    m_pending.erase(std::make_pair(found->second, token));
    m_deadlines.erase(found);
}

std::size_t DeadlineWatcher::pendingCount()
{
    dv::MutexLocker lock(m_mutex);
    return m_pending.size();
}

void DeadlineWatcher::run()
{
    for (;;) {
        NSTimeInterval next = std::numeric_limits<NSTimeInterval>::infinity();
        {
            dv::MutexLocker lock(m_mutex);
            const Clock* clock = &Clock::current();
            bool otherClocks = false;
            for (auto& [key, entry] : m_pending) {
                if (entry.clock != clock) {
                    otherClocks = true;
                } else {
                    next = key.first;
                    break;
                }
            }
            // Deadlines of another clock are looked at again once that clock is back; a wait
            // that ends within a second of this one (or at once, on a switch back) sees it.
            if (otherClocks)
                next = std::min(next, clock->now() + 1);
        }
        // A signal means a deadline was added; either way the list is read again.
        (void)m_changed.wait(next);

        std::vector<std::function<void()>> due;
        {
            dv::MutexLocker lock(m_mutex);
            const Clock* clock = &Clock::current();
            NSTimeInterval now = clock->now();
            for (auto it = m_pending.begin(); it != m_pending.end() && it->first.first <= now;) {
                if (it->second.clock != clock) {
                    ++it;
                    continue;
                }
                m_deadlines.erase(it->first.second);
                due.push_back(std::move(it->second.action));
                it = m_pending.erase(it);
            }
        }
        for (auto& action : due)
            action();
    }
}

} // namespace dv::internal::net
