#include "platform/dispatch/NSProgress.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"

#include <cmath>

DV_DEFINE_CLASS(NSProgress)

Ref<NSProgress> NSProgress::initWithParent(const Ref<NSProgress>&, const Ref<NSDictionary>& userInfo)
{
    dv::MutexLocker lock(m_lock);
    m_userInfo = userInfo;
    return self<NSProgress>();
}

Ref<NSProgress> NSProgress::progressWithTotalUnitCount(std::int64_t unitCount)
{
    auto progress = alloc<NSProgress>()->initWithParent(nil, nil);
    dv::MutexLocker lock(progress->m_lock);
    progress->m_total = unitCount;
    return progress;
}

Ref<NSProgress> NSProgress::discreteProgressWithTotalUnitCount(std::int64_t unitCount)
{
    return progressWithTotalUnitCount(unitCount);
}

std::int64_t NSProgress::totalUnitCount() const
{
    dv::MutexLocker lock(m_lock);
    return m_total;
}

void NSProgress::setTotalUnitCount(std::int64_t count)
{
    changeValueForKey("totalUnitCount", [&] {
        dv::MutexLocker lock(m_lock);
        m_total = count;
    });
}

std::int64_t NSProgress::completedUnitCount() const
{
    dv::MutexLocker lock(m_lock);
    return m_completed;
}

void NSProgress::setCompletedUnitCount(std::int64_t count)
{
    changeValueForKey("completedUnitCount", [&] {
        dv::MutexLocker lock(m_lock);
        m_completed = count;
    });
}

double NSProgress::fractionCompleted() const
{
    dv::MutexLocker lock(m_lock);
    if (m_total <= 0 || m_completed < 0)
        return 0;
    return static_cast<double>(m_completed) / static_cast<double>(m_total);
}

bool NSProgress::isIndeterminate() const
{
    dv::MutexLocker lock(m_lock);
    return m_total < 0 || m_completed < 0 || (m_total == 0 && m_completed == 0);
}

bool NSProgress::isFinished() const
{
    dv::MutexLocker lock(m_lock);
    return m_total > 0 && m_completed >= m_total;
}

bool NSProgress::isCancellable() const
{
    dv::MutexLocker lock(m_lock);
    return m_cancellable;
}

void NSProgress::setCancellable(bool cancellable)
{
    changeValueForKey("cancellable", [&] {
        dv::MutexLocker lock(m_lock);
        m_cancellable = cancellable;
    });
}

bool NSProgress::isPausable() const
{
    dv::MutexLocker lock(m_lock);
    return m_pausable;
}

void NSProgress::setPausable(bool pausable)
{
    changeValueForKey("pausable", [&] {
        dv::MutexLocker lock(m_lock);
        m_pausable = pausable;
    });
}

bool NSProgress::isCancelled() const
{
    dv::MutexLocker lock(m_lock);
    return m_cancelled;
}

bool NSProgress::isPaused() const
{
    dv::MutexLocker lock(m_lock);
    return m_paused;
}

void NSProgress::setCancellationHandler(std::function<void()> handler)
{
    bool cancelled;
    {
        dv::MutexLocker lock(m_lock);
        cancelled = m_cancelled;
        if (!cancelled)
            m_cancellationHandler = std::move(handler);
    }
    if (cancelled && handler)
        handler();
}

void NSProgress::setPausingHandler(std::function<void()> handler)
{
    dv::MutexLocker lock(m_lock);
    m_pausingHandler = std::move(handler);
}

void NSProgress::setResumingHandler(std::function<void()> handler)
{
    dv::MutexLocker lock(m_lock);
    m_resumingHandler = std::move(handler);
}

void NSProgress::cancel()
{
    std::function<void()> handler;
    {
        dv::MutexLocker lock(m_lock);
        if (m_cancelled)
            return;
    }
    changeValueForKey("cancelled", [&] {
        dv::MutexLocker lock(m_lock);
        m_cancelled = true;
        // Run once: a cancelled progress stays cancelled.
        handler = std::exchange(m_cancellationHandler, {});
    });
    if (handler)
        handler();
}

void NSProgress::pause()
{
    std::function<void()> handler;
    {
        dv::MutexLocker lock(m_lock);
        if (m_paused || !m_pausable)
            return;
    }
    changeValueForKey("paused", [&] {
        dv::MutexLocker lock(m_lock);
        m_paused = true;
        handler = m_pausingHandler;
    });
    if (handler)
        handler();
}

void NSProgress::resume()
{
    std::function<void()> handler;
    {
        dv::MutexLocker lock(m_lock);
        if (!m_paused)
            return;
    }
    changeValueForKey("paused", [&] {
        dv::MutexLocker lock(m_lock);
        m_paused = false;
        handler = m_resumingHandler;
    });
    if (handler)
        handler();
}

Ref<NSDictionary> NSProgress::userInfo() const
{
    dv::MutexLocker lock(m_lock);
    return m_userInfo;
}

Ref<NSString> NSProgress::localizedDescription() const
{
    return NSString::stringWithFormat("%d%% completed", static_cast<int>(std::lround(fractionCompleted() * 100)));
}

std::vector<std::string> NSProgress::keyPathsForValuesAffectingValueForKey(std::string_view key) const
{
    if (key == "fractionCompleted")
        return {"completedUnitCount", "totalUnitCount"};
    return {};
}

id NSProgress::observedValueForKeyPath(std::string_view keyPath) const
{
    if (keyPath == "fractionCompleted")
        return NSNumber::numberWithDouble(fractionCompleted());
    if (keyPath == "completedUnitCount")
        return NSNumber::numberWithLongLong(completedUnitCount());
    if (keyPath == "totalUnitCount")
        return NSNumber::numberWithLongLong(totalUnitCount());
    if (keyPath == "cancelled")
        return NSNumber::numberWithBool(isCancelled());
    if (keyPath == "paused")
        return NSNumber::numberWithBool(isPaused());
    if (keyPath == "cancellable")
        return NSNumber::numberWithBool(isCancellable());
    if (keyPath == "pausable")
        return NSNumber::numberWithBool(isPausable());
    return dv::Observable::observedValueForKeyPath(keyPath);
}
