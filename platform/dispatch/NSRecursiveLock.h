// NSRecursiveLock: a lock its holder may take again; it is released when every lock has been
// matched by an unlock.
#pragma once

#include "platform/dispatch/NSLock.h"

class NSRecursiveLock : public NSObject, public NSLocking {
    DV_CLASS(NSRecursiveLock, NSObject)

    NSRecursiveLock() = default;

    void lock() override;
    void unlock() override;
    bool tryLock();
    bool lockBeforeDate(const Ref<NSDate>& limit);

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

private:
    bool lockUntil(NSTimeInterval deadline);

    mutable std::mutex m_state;
    std::condition_variable m_released;
    int m_depth = 0;
    std::thread::id m_owner;
    Ref<NSString> m_name;
};
