#include "platform/base/Check.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSCondition.h"
#include "platform/dispatch/NSRecursiveLock.h"
#include "platform/dispatch/internal/Waiting.h"

DV_DEFINE_CLASS(NSLock)
DV_DEFINE_CLASS(NSRecursiveLock)
DV_DEFINE_CLASS(NSCondition)

// The locks' own lock, unlock and try calls are what their annotations describe: they keep the
// lock's state under an inner mutex rather than holding anything the analysis could follow, so the
// analysis is not applied to them (DV_NO_THREAD_SAFETY_ANALYSIS).

namespace {

NSTimeInterval deadlineOf(const Ref<NSDate>& limit)
{
    return limit ? limit->timeIntervalSinceReferenceDate() : dv::Clock::current().now();
}

} // namespace

bool NSLock::lockUntil(NSTimeInterval deadline)
{
    dv::MutexLocker state(m_state);
    const bool heldHere = m_held && m_owner == std::this_thread::get_id();
    if (heldHere)
        NSLog("*** -[NSLock lock]: deadlock (%@)", m_name);
    DV_CHECK_MSG(!heldHere, "NSLock locked twice on one thread");
    if (!dv::internal::dispatch::waitUntilClock(m_released, state, deadline, [&]() DV_REQUIRES(m_state) { return !m_held; }))
        return false;
    m_held = true;
    m_owner = std::this_thread::get_id();
    return true;
}

void NSLock::lock() DV_NO_THREAD_SAFETY_ANALYSIS { (void)lockUntil(dv::internal::dispatch::noDeadline); }

bool NSLock::tryLock() DV_NO_THREAD_SAFETY_ANALYSIS
{
    dv::MutexLocker state(m_state);
    if (m_held)
        return false;
    m_held = true;
    m_owner = std::this_thread::get_id();
    return true;
}

bool NSLock::lockBeforeDate(const Ref<NSDate>& limit) DV_NO_THREAD_SAFETY_ANALYSIS { return lockUntil(deadlineOf(limit)); }

void NSLock::unlock() DV_NO_THREAD_SAFETY_ANALYSIS
{
    {
        dv::MutexLocker state(m_state);
        if (!m_held) {
            NSLog("*** -[NSLock unlock]: lock (%@) unlocked when not locked", m_name);
            return;
        }
        m_held = false;
        m_owner = {};
    }
    m_released.notifyOne();
}

Ref<NSString> NSLock::name() const
{
    dv::MutexLocker state(m_state);
    return m_name;
}

void NSLock::setName(const Ref<NSString>& name)
{
    dv::MutexLocker state(m_state);
    m_name = name;
}

bool NSRecursiveLock::lockUntil(NSTimeInterval deadline)
{
    dv::MutexLocker state(m_state);
    auto me = std::this_thread::get_id();
    if (m_depth > 0 && m_owner == me) {
        ++m_depth;
        return true;
    }
    if (!dv::internal::dispatch::waitUntilClock(m_released, state, deadline, [&]() DV_REQUIRES(m_state) { return m_depth == 0; }))
        return false;
    m_depth = 1;
    m_owner = me;
    return true;
}

void NSRecursiveLock::lock() { (void)lockUntil(dv::internal::dispatch::noDeadline); }

bool NSRecursiveLock::tryLock()
{
    dv::MutexLocker state(m_state);
    auto me = std::this_thread::get_id();
    if (m_depth > 0 && m_owner != me)
        return false;
    ++m_depth;
    m_owner = me;
    return true;
}

bool NSRecursiveLock::lockBeforeDate(const Ref<NSDate>& limit) { return lockUntil(deadlineOf(limit)); }

void NSRecursiveLock::unlock()
{
    {
        dv::MutexLocker state(m_state);
        if (m_depth == 0 || m_owner != std::this_thread::get_id()) {
            NSLog("*** -[NSRecursiveLock unlock]: lock (%@) unlocked from a thread that does not hold it", m_name);
            return;
        }
        if (--m_depth > 0)
            return;
        m_owner = {};
    }
    m_released.notifyOne();
}

Ref<NSString> NSRecursiveLock::name() const
{
    dv::MutexLocker state(m_state);
    return m_name;
}

void NSRecursiveLock::setName(const Ref<NSString>& name)
{
    dv::MutexLocker state(m_state);
    m_name = name;
}

void NSCondition::lock() DV_NO_THREAD_SAFETY_ANALYSIS { m_mutex.lock(); }

void NSCondition::unlock() DV_NO_THREAD_SAFETY_ANALYSIS { m_mutex.unlock(); }

void NSCondition::wait()
{
    // The caller holds m_mutex; adopt it for the wait and hand it back held.
    std::unique_lock held(m_mutex, std::adopt_lock);
    dv::internal::dispatch::BlockingScope blocking;
    m_condition.wait(held);
    held.release();
}

bool NSCondition::waitUntilDate(const Ref<NSDate>& limit)
{
    std::unique_lock held(m_mutex, std::adopt_lock);
    auto seen = m_signals.load();
    bool signalled = dv::internal::dispatch::waitUntilClock(m_condition, held, deadlineOf(limit), [&] { return m_signals.load() != seen; });
    held.release();
    return signalled;
}

void NSCondition::signal()
{
    ++m_signals;
    m_condition.notify_one();
}

void NSCondition::broadcast()
{
    ++m_signals;
    m_condition.notify_all();
}

Ref<NSString> NSCondition::name() const
{
    dv::MutexLocker lock(m_nameLock);
    return m_name;
}

void NSCondition::setName(const Ref<NSString>& name)
{
    dv::MutexLocker lock(m_nameLock);
    m_name = name;
}
