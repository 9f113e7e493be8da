// DispatchGroup: counts blocks in flight (enter/leave, or dispatch_group_async) and runs its
// notify blocks on their queues once the count falls to zero. Safe from any thread; a leave
// without a matching enter is a programming error and stops on an assertion.
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace dv {

class DispatchQueue;

class DispatchGroup {
public:
    void enter();
    void leave();
    void notify(std::shared_ptr<DispatchQueue> queue, std::function<void()> block);
    // Clock-time deadline (infinity for none); answers whether the group emptied.
    bool wait(NSTimeInterval deadline);

private:
    dv::Mutex m_lock;
    dv::ConditionVariable m_emptied;
    long m_count DV_GUARDED_BY(m_lock) = 0;
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, std::function<void()>>> m_notify DV_GUARDED_BY(m_lock);
};

} // namespace dv
