// NSLock: a mutual-exclusion lock that is not recursive. Locking it again on the thread that
// holds it is a deadlock: it is logged and stops on an assertion in debug builds. Unlock on the
// thread that locked. NSLocking is the protocol NSLock, NSRecursiveLock and NSCondition share.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class NSLocking {
public:
    virtual ~NSLocking() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

class NSLock : public NSObject, public NSLocking {
    DV_CLASS(NSLock, NSObject)

    NSLock() = default;

    void lock() override;
    void unlock() override;
    bool tryLock();
    // Waits until the date on the process clock; false when it passed first.
    bool lockBeforeDate(const Ref<NSDate>& limit);

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
class Locker {
public:
    explicit Locker(NSLocking& lock) : m_lock(lock) { m_lock.lock(); }
    ~Locker() { m_lock.unlock(); }
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;

private:
    NSLocking& m_lock;
};

} // namespace dv
