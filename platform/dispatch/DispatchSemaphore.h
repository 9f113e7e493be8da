// DispatchSemaphore: a counting semaphore whose waits may time out on the process clock.
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"

namespace dv {

class DispatchSemaphore {
public:
    explicit DispatchSemaphore(long value) : m_value(value) { }

    // Clock-time deadline (infinity for none); answers whether the semaphore was taken.
    bool wait(NSTimeInterval deadline);
    // Answers whether a waiter was woken.
    bool signal();

private:
    dv::Mutex m_lock;
    dv::ConditionVariable m_signalled;
    long m_value DV_GUARDED_BY(m_lock);
    long m_waiters DV_GUARDED_BY(m_lock) = 0;
};

} // namespace dv
