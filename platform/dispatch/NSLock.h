// NSLock: a mutual-exclusion lock that is not recursive. Locking it again on the thread that
// holds it is a deadlock: it is logged and stops the process as a broken invariant. Unlock on the
// thread that locked. NSLocking is the protocol NSLock, NSRecursiveLock and NSCondition share; it
// is a lock to the compile-time analysis, so fields can say they are guarded by one.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <thread>

class DV_CAPABILITY("mutex") NSLocking {
public:
    virtual ~NSLocking() = default;
    virtual void lock() DV_ACQUIRE() = 0;
    virtual void unlock() DV_RELEASE() = 0;
};

class NSLock : public NSObject, public NSLocking {
    DV_CLASS(NSLock, NSObject)

    NSLock() = default;

    void lock() DV_ACQUIRE() override;
    void unlock() DV_RELEASE() override;
    bool tryLock() DV_TRY_ACQUIRE(true);
    // Waits until the date on the process clock; false when it passed first.
    bool lockBeforeDate(const Ref<NSDate>& limit) DV_TRY_ACQUIRE(true);

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

private:
    bool lockUntil(NSTimeInterval deadline);

    mutable dv::Mutex m_state;
    dv::ConditionVariable m_released;
    bool m_held DV_GUARDED_BY(m_state) = false;
    std::thread::id m_owner DV_GUARDED_BY(m_state);
    Ref<NSString> m_name DV_GUARDED_BY(m_state);
};

namespace dv {

// RAII holder for any NSLocking: `dv::Locker guard(*m_lock);`.
// (The analysis cannot see that m_lock is the lock it was given; it trusts the annotations.)
class DV_SCOPED_CAPABILITY Locker {
public:
    explicit Locker(NSLocking& lock) DV_ACQUIRE(lock) DV_NO_THREAD_SAFETY_ANALYSIS : m_lock(lock) { m_lock.lock(); }
    ~Locker() DV_RELEASE() DV_NO_THREAD_SAFETY_ANALYSIS { m_lock.unlock(); }
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;

private:
    NSLocking& m_lock;
};

} // namespace dv
