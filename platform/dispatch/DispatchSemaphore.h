// DispatchSemaphore: a counting semaphore whose waits may time out on the process clock.
#pragma once

#include "platform/base/Forward.h"

#include <condition_variable>
#include <mutex>

namespace dv {

class DispatchSemaphore {
public:
    explicit DispatchSemaphore(long value) : m_value(value) { }

    // Clock-time deadline (infinity for none); answers whether the semaphore was taken.
    bool wait(NSTimeInterval deadline);
    // Answers whether a waiter was woken.
    bool signal();

private:
    std::mutex m_lock;
    std::condition_variable m_signalled;
    long m_value;
    long m_waiters = 0;
};

} // namespace dv
