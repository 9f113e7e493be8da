// NSRecursiveLock: a lock its holder may take again; it is released when every lock has been
// matched by an unlock.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/NSLock.h"

class NSRecursiveLock : public NSObject, public NSLocking {
    DV_CLASS(NSRecursiveLock, NSObject)

    NSRecursiveLock() = default;

    // Not annotated as a lock: the compile-time analysis has no notion of one taken again by the
    // thread that holds it.
    void lock() override;
    void unlock() override;
    bool tryLock();
    bool lockBeforeDate(const Ref<NSDate>& limit);

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

private:
    bool lockUntil(NSTimeInterval deadline);

    mutable dv::Mutex m_state;
    dv::ConditionVariable m_released;
    int m_depth DV_GUARDED_BY(m_state) = 0;
    std::thread::id m_owner DV_GUARDED_BY(m_state);
    Ref<NSString> m_name DV_GUARDED_BY(m_state);
};
