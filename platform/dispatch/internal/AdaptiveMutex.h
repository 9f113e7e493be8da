// A mutex for very short critical sections shared by two busy threads (a queue's producer and
// its drain): it spins a little before sleeping, because sleeping on a contended std::mutex
// costs a system call on each side, far more than the section it guards.
#pragma once

#include "platform/base/ThreadSafety.h"

#include <mutex>

namespace dv::internal::dispatch {

class DV_CAPABILITY("mutex") AdaptiveMutex {
public:
    void lock() DV_ACQUIRE()
    {
        for (int spin = 0; spin < 64; ++spin) {
            if (m_mutex.try_lock())
                return;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        m_mutex.lock();
    }
    bool try_lock() DV_TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    void unlock() DV_RELEASE() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

// Holds an AdaptiveMutex for its scope; may let go early and take it again.
class DV_SCOPED_CAPABILITY AdaptiveMutexLocker {
public:
    explicit AdaptiveMutexLocker(AdaptiveMutex& mutex) DV_ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~AdaptiveMutexLocker() DV_RELEASE()
    {
        if (m_held)
            m_mutex.unlock();
    }
    AdaptiveMutexLocker(const AdaptiveMutexLocker&) = delete;
    AdaptiveMutexLocker& operator=(const AdaptiveMutexLocker&) = delete;

    void unlock() DV_RELEASE()
    {
        m_mutex.unlock();
        m_held = false;
    }
    void lock() DV_ACQUIRE()
    {
        m_mutex.lock();
        m_held = true;
    }

private:
    AdaptiveMutex& m_mutex;
    bool m_held = true;
};

} // namespace dv::internal::dispatch
