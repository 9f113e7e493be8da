// A mutex for very short critical sections shared by two busy threads (a queue's producer and
// its drain): it spins a little before sleeping, because sleeping on a contended std::mutex
// costs a system call on each side, far more than the section it guards.
#pragma once

#include <mutex>

namespace dv::internal {

class AdaptiveMutex {
public:
    void lock()
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
    bool try_lock() { return m_mutex.try_lock(); }
    void unlock() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

} // namespace dv::internal
