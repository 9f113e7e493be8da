// Delayed dispatch: blocks waiting for a clock time before they are handed to their queue.
// A thread of its own watches the system clock; on a manual clock, ManualClock::advance hands
// over what fell due synchronously, stopping at each deadline in order.
#pragma once

#include "platform/base/Forward.h"

#include <functional>
#include <memory>

namespace dv {
class DispatchQueue;
}

namespace dv::internal::dispatch {

class AfterScheduler {
public:
    static AfterScheduler& shared();

    void schedule(NSTimeInterval deadline, std::shared_ptr<DispatchQueue> queue, std::function<void()> block);
    // Hands every block due at `now` to its queue, earliest first.
    void fireDue(NSTimeInterval now);
    // The earliest pending deadline, or infinity.
    NSTimeInterval nextDeadline() const;
    // Drops every pending block without running it (a test's clock is going away).
    void discardAll();

private:
    AfterScheduler();
    void threadMain();

    struct State;
    State* m_state;
};

} // namespace dv::internal::dispatch
