#include "platform/net/internal/DeadlineWatcher.h"

#include "platform/dispatch/Clock.h"

#include <limits>
#include <vector>

namespace dv::internal {

DeadlineWatcher& DeadlineWatcher::shared()
{
    // Never destroyed: its thread may be waiting when static destruction starts.
    static DeadlineWatcher* watcher = new DeadlineWatcher();
    return *watcher;
}

DeadlineWatcher::Token DeadlineWatcher::add(NSTimeInterval deadline, std::function<void()> action)
{
    bool earliest = false;
    Token token = 0;
    {
        std::lock_guard lock(m_mutex);
        token = m_nextToken++;
        auto at = m_pending.emplace(std::make_pair(deadline, token), std::move(action)).first;
        m_deadlines.emplace(token, deadline);
        earliest = at == m_pending.begin();
        if (!m_started) {
            m_started = true;
            std::thread([this] { run(); }).detach();
        }
    }
    // The watcher waits for the earliest deadline only; a new earliest one must wake it.
    if (earliest)
        m_changed.signal();
    return token;
}

void DeadlineWatcher::remove(Token token)
{
    std::lock_guard lock(m_mutex);
    auto found = m_deadlines.find(token);
    if (found == m_deadlines.end())
        return;
    m_pending.erase(std::make_pair(found->second, token));
    m_deadlines.erase(found);
}

std::size_t DeadlineWatcher::pendingCount()
{
    std::lock_guard lock(m_mutex);
    return m_pending.size();
}

void DeadlineWatcher::run()
{
    for (;;) {
        NSTimeInterval next = std::numeric_limits<NSTimeInterval>::infinity();
        {
            std::lock_guard lock(m_mutex);
            if (!m_pending.empty())
                next = m_pending.begin()->first.first;
        }
        // A signal means the earliest deadline changed; either way the list is read again.
        (void)m_changed.wait(next);

        std::vector<std::function<void()>> due;
        {
            std::lock_guard lock(m_mutex);
            NSTimeInterval now = Clock::current().now();
            while (!m_pending.empty() && m_pending.begin()->first.first <= now) {
                m_deadlines.erase(m_pending.begin()->first.second);
                due.push_back(std::move(m_pending.begin()->second));
                m_pending.erase(m_pending.begin());
            }
        }
        for (auto& action : due)
            action();
    }
}

} // namespace dv::internal
