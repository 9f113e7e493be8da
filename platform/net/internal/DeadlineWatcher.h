// Deadlines on the process clock (the manual clock in tests) for work that lives on threads
// of its own, such as a URL task's limit on its whole duration. Each deadline fires its action
// once, on the watcher's thread, unless it is removed first; removal is cheap and leaves nothing
// behind, so a limit of days costs nothing once its task has ended. A deadline belongs to the
// clock that was current when it was added: while a test's manual clock stands in for the system
// clock (or the other way round), deadlines of the other clock wait.
//
//   auto token = DeadlineWatcher::shared().add(Clock::current().now() + 30, [weak] { ... });
//   DeadlineWatcher::shared().remove(token);
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"
#include "platform/dispatch/DispatchSemaphore.h"

#include <cstdint>
#include <functional>
#include <map>
#include <thread>
#include <unordered_map>

namespace dv {
class Clock;
}

namespace dv::internal::net {

class DeadlineWatcher {
public:
    using Token = std::uint64_t;

    static DeadlineWatcher& shared();

    // `deadline` in clock seconds. The action runs without any lock held and must not block.
    Token add(NSTimeInterval deadline, std::function<void()> action);
    // Nothing happens for a deadline that already fired or was removed.
    void remove(Token token);
    // Deadlines still waiting.
    std::size_t pendingCount();

private:
    DeadlineWatcher() = default;
    void run();

    dv::Mutex m_mutex;
    struct Entry {
        const Clock* clock;
        std::function<void()> action;
    };
    std::map<std::pair<NSTimeInterval, Token>, Entry> m_pending DV_GUARDED_BY(m_mutex);
    std::unordered_map<Token, NSTimeInterval> m_deadlines DV_GUARDED_BY(m_mutex);
    Token m_nextToken DV_GUARDED_BY(m_mutex) = 1;
    bool m_started DV_GUARDED_BY(m_mutex) = false;
    DispatchSemaphore m_changed { 0 };
};

} // namespace dv::internal::net
