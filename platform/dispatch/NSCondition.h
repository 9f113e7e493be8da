// NSCondition: a lock with a condition to wait on. Hold the lock, test the predicate in a loop,
// wait; another thread changes the state under the lock and signals or broadcasts. As on the
// platform a wait may return without a signal, so always re-test the predicate.
//
//   condition->lock();
//   while (!ready) condition->wait();
//   condition->unlock();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/NSLock.h"

#include <atomic>
#include <cstdint>

class NSCondition : public NSObject, public NSLocking {
    DV_CLASS(NSCondition, NSObject)

    NSCondition() = default;

    void lock() DV_ACQUIRE() override;
    void unlock() DV_RELEASE() override;
    void wait();
    // False when the date (process clock) passed without a signal.
    bool waitUntilDate(const Ref<NSDate>& limit);
    void signal();
    void broadcast();

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

private:
    // Held across the caller's lock() and unlock(), which the compile-time analysis cannot follow.
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::atomic<std::uint64_t> m_signals { 0 };
    mutable dv::Mutex m_nameLock;
    Ref<NSString> m_name DV_GUARDED_BY(m_nameLock);
};
