// Mutex, MutexLocker and ConditionVariable: the standard mutex, lock and condition variable with
// clang's thread-safety annotations (ThreadSafety.h), so that the fields a mutex guards are
// checked at compile time. Every lock of our own code is one of these, or one of the two rarer
// kinds below them: a mutex its holder may take again (RecursiveMutex) and one that many readers
// may hold at once (SharedMutex).
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
#include <shared_mutex>

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

// A mutex the thread that holds it may take again, as long as each lock has its unlock. The
// analysis checks it as a plain mutex: it proves the fields are guarded, but does not follow the
// taking again across calls, which is the point of this kind. Prefer Mutex.
class DV_CAPABILITY("mutex") RecursiveMutex {
public:
    RecursiveMutex() = default;
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    void lock() DV_ACQUIRE() { m_mutex.lock(); }
    void unlock() DV_RELEASE() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

class DV_SCOPED_CAPABILITY RecursiveMutexLocker {
public:
    explicit RecursiveMutexLocker(RecursiveMutex& mutex) DV_ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~RecursiveMutexLocker() DV_RELEASE() { m_mutex.unlock(); }
    RecursiveMutexLocker(const RecursiveMutexLocker&) = delete;
    RecursiveMutexLocker& operator=(const RecursiveMutexLocker&) = delete;

private:
    RecursiveMutex& m_mutex;
};

// A mutex that writers hold alone (SharedMutexLocker) and readers together (SharedMutexReadLocker),
// for tables read on every call and written rarely.
class DV_CAPABILITY("mutex") SharedMutex {
public:
    SharedMutex() = default;
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    void lock() DV_ACQUIRE() { m_mutex.lock(); }
    void unlock() DV_RELEASE() { m_mutex.unlock(); }
    void lockShared() DV_ACQUIRE_SHARED() { m_mutex.lock_shared(); }
    void unlockShared() DV_RELEASE_SHARED() { m_mutex.unlock_shared(); }

private:
    std::shared_mutex m_mutex;
};

class DV_SCOPED_CAPABILITY SharedMutexLocker {
public:
    explicit SharedMutexLocker(SharedMutex& mutex) DV_ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~SharedMutexLocker() DV_RELEASE() { m_mutex.unlock(); }
    SharedMutexLocker(const SharedMutexLocker&) = delete;
    SharedMutexLocker& operator=(const SharedMutexLocker&) = delete;

private:
    SharedMutex& m_mutex;
};

class DV_SCOPED_CAPABILITY SharedMutexReadLocker {
public:
    explicit SharedMutexReadLocker(SharedMutex& mutex) DV_ACQUIRE_SHARED(mutex) : m_mutex(mutex) { m_mutex.lockShared(); }
    ~SharedMutexReadLocker() DV_RELEASE() { m_mutex.unlockShared(); }
    SharedMutexReadLocker(const SharedMutexReadLocker&) = delete;
    SharedMutexReadLocker& operator=(const SharedMutexReadLocker&) = delete;

private:
    SharedMutex& m_mutex;
};

} // namespace dv
