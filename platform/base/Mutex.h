// Mutex, MutexLocker and ConditionVariable: the standard mutex, lock and condition variable with
// clang's thread-safety annotations (ThreadSafety.h), so that the fields a mutex guards are
// checked at compile time. Every lock of our own code is one of these.
//
//   mutable dv::Mutex m_lock;
//   int m_count DV_GUARDED_BY(m_lock) = 0;
//   ...
//   dv::MutexLocker locker(m_lock);
//   m_ready.wait(locker, [&]() DV_REQUIRES(m_lock) { return m_count > 0; });
//
// A locker may let go early (unlock) to call out of the lock, and take the lock again (lock);
// calls into other objects are made with no lock held, so that they can call back.
#pragma once

#include "platform/base/ThreadSafety.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dv {

class DV_CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() DV_ACQUIRE() { m_mutex.lock(); }
    bool tryLock() DV_TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    void unlock() DV_RELEASE() { m_mutex.unlock(); }

private:
    friend class MutexLocker;
    std::mutex m_mutex;
};

class DV_SCOPED_CAPABILITY MutexLocker {
public:
    explicit MutexLocker(Mutex& mutex) DV_ACQUIRE(mutex) : m_lock(mutex.m_mutex) { }
    ~MutexLocker() DV_RELEASE() { }
    MutexLocker(const MutexLocker&) = delete;
    MutexLocker& operator=(const MutexLocker&) = delete;

    void unlock() DV_RELEASE() { m_lock.unlock(); }
    void lock() DV_ACQUIRE() { m_lock.lock(); }

private:
    friend class ConditionVariable;
    std::unique_lock<std::mutex> m_lock;
};

// Waits release the locker's mutex while they sleep and hold it again when they return, as the
// standard's do; a predicate runs with the mutex held (annotate it DV_REQUIRES).
class ConditionVariable {
public:
    void notifyOne() { m_condition.notify_one(); }
    void notifyAll() { m_condition.notify_all(); }

    void wait(MutexLocker& locker) { m_condition.wait(locker.m_lock); }
    template <class Predicate>
    void wait(MutexLocker& locker, Predicate predicate)
    {
        m_condition.wait(locker.m_lock, predicate);
    }
    template <class Rep, class Period>
    std::cv_status waitFor(MutexLocker& locker, std::chrono::duration<Rep, Period> duration)
    {
        return m_condition.wait_for(locker.m_lock, duration);
    }
    template <class Rep, class Period, class Predicate>
    bool waitFor(MutexLocker& locker, std::chrono::duration<Rep, Period> duration, Predicate predicate)
    {
        return m_condition.wait_for(locker.m_lock, duration, predicate);
    }
    template <class Clock, class Duration>
    std::cv_status waitUntil(MutexLocker& locker, std::chrono::time_point<Clock, Duration> deadline)
    {
        return m_condition.wait_until(locker.m_lock, deadline);
    }

private:
    std::condition_variable m_condition;
};

} // namespace dv
