#include "platform/dispatch/NSTimer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDate.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS(NSTimer)

namespace {
// The platform's floor for a repeating interval; it also keeps a zero interval from spinning.
constexpr NSTimeInterval minimumInterval = 0.0001;
} // namespace

NSTimer::~NSTimer() = default;

Ref<NSTimer> NSTimer::initWithFireDate(const Ref<NSDate>& date, NSTimeInterval interval, const id& target, SEL selector, const id& userInfo, bool repeats)
{
    {
        dv::MutexLocker lock(m_lock);
        m_fireTime = date ? date->timeIntervalSinceReferenceDate() : dv::Clock::current().now();
    }
    // A timer that fires once has no interval (it reads 0); a repeating one runs at least every
    // tenth of a millisecond.
    m_interval = !repeats ? 0 : interval <= 0 ? minimumInterval : interval;
    m_repeats = repeats;
    m_target = target;
    m_selector = selector;
    m_userInfo = userInfo;
    return self<NSTimer>();
}

Ref<NSTimer> NSTimer::initWithFireDate(const Ref<NSDate>& date, NSTimeInterval interval, bool repeats, Block block)
{
    initWithFireDate(date, interval, nil, SEL(), nil, repeats);
    m_block = std::move(block);
    return self<NSTimer>();
}

Ref<NSTimer> NSTimer::timerWithTimeInterval(NSTimeInterval interval, const id& target, SEL selector, const id& userInfo, bool repeats)
{
    return alloc<NSTimer>()->initWithFireDate(NSDate::dateWithTimeIntervalSinceNow(std::max(interval, 0.0)), interval, target, selector, userInfo, repeats);
}

Ref<NSTimer> NSTimer::scheduledTimerWithTimeInterval(NSTimeInterval interval, const id& target, SEL selector, const id& userInfo, bool repeats)
{
    auto timer = timerWithTimeInterval(interval, target, selector, userInfo, repeats);
    NSRunLoop::currentRunLoop()->addTimer(timer, NSDefaultRunLoopMode);
    return timer;
}

Ref<NSTimer> NSTimer::timerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block)
{
    return alloc<NSTimer>()->initWithFireDate(NSDate::dateWithTimeIntervalSinceNow(std::max(interval, 0.0)), interval, repeats, std::move(block));
}

Ref<NSTimer> NSTimer::scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block)
{
    auto timer = timerWithTimeInterval(interval, repeats, std::move(block));
    NSRunLoop::currentRunLoop()->addTimer(timer, NSDefaultRunLoopMode);
    return timer;
}

Ref<NSTimer> NSTimer::performTimer(NSTimeInterval delay, PerformRequest request, std::function<void()> block)
{
    auto timer = alloc<NSTimer>()->initWithFireDate(NSDate::dateWithTimeIntervalSinceNow(std::max(delay, 0.0)), 0, request.target, request.selector, nil, false);
    timer->m_isPerform = true;
    timer->m_userInfo = request.argument;
    timer->m_performBlock = std::move(block);
    timer->m_performTag = request.tag;
    return timer;
}

bool NSTimer::matchesPerform(const NSObject* target, SEL selector, const NSObject* argument, bool anySelector) const
{
    dv::MutexLocker lock(m_lock);
    if (!m_isPerform || !m_valid || m_target.get() != target)
        return false;
    if (anySelector)
        return true;
    if (m_performBlock)
        return !selector && argument == m_performTag && m_performTag;
    return selector == m_selector && dv::equal(m_userInfo.get(), argument);
}

void NSTimer::fire() { invoke(false, dv::Clock::current().now()); }

void NSTimer::fireIfDue(NSTimeInterval now)
{
    {
        dv::MutexLocker lock(m_lock);
        if (!m_valid || m_fireTime > now)
            return;
        if (m_repeats) {
            // A late repeating timer fires once and resumes its rhythm; missed beats are dropped.
            const NSTimeInterval fireTime = m_fireTime;
            NSTimeInterval missed = std::floor((now - fireTime) / m_interval);
            m_fireTime = fireTime + (missed + 1) * m_interval;
        }
    }
    invoke(true, now);
}

void NSTimer::invoke(bool fromRunLoop, NSTimeInterval)
{
    // Keep the timer and its action alive through the call even if the action invalidates it.
    auto keep = self<NSTimer>();
    id target;
    SEL selector;
    id argument;
    Block block;
    std::function<void()> performBlock;
    bool repeats;
    {
        dv::MutexLocker lock(m_lock);
        if (!m_valid)
            return;
        target = m_target;
        selector = m_selector;
        argument = m_isPerform ? m_userInfo : id(keep);
        block = m_block;
        performBlock = m_performBlock;
        repeats = m_repeats;
    }
    if (performBlock)
        performBlock();
    else if (block)
        block(keep);
    else if (target && selector) {
        id args[] = {argument};
        target->performSelector(selector, args);
    }
    if (!repeats || (!fromRunLoop && m_isPerform))
        invalidate();
}

void NSTimer::invalidate()
{
    id target, userInfo;
    Block block;
    std::function<void()> performBlock;
    {
        dv::MutexLocker lock(m_lock);
        if (!m_valid)
            return;
        m_valid = false;
        // Released outside the lock: their destructors may come back to this timer.
        target = std::move(m_target);
        userInfo = std::move(m_userInfo);
        block = std::move(m_block);
        performBlock = std::move(m_performBlock);
    }
    wakeLoops();
}

bool NSTimer::isValid() const { return m_valid; }

Ref<NSDate> NSTimer::fireDate() const
{
    return NSDate::dateWithTimeIntervalSinceReferenceDate(fireTime());
}

NSTimeInterval NSTimer::fireTime() const { return m_fireTime; }

void NSTimer::setFireDate(const Ref<NSDate>& date)
{
    {
        dv::MutexLocker lock(m_lock);
        if (date)
            m_fireTime = date->timeIntervalSinceReferenceDate();
    }
    wakeLoops();
}

void NSTimer::attachTo(const Ref<NSRunLoop>& loop)
{
    dv::MutexLocker lock(m_lock);
    m_loops.push_back(loop);
}

void NSTimer::wakeLoops()
{
    // The loops recompute their wait (and drop an invalid timer) on their next turn.
    std::vector<Weak<NSRunLoop>> loops;
    {
        dv::MutexLocker lock(m_lock);
        loops = m_loops;
    }
    for (auto& weak : loops)
        if (auto loop = weak.lock())
            loop->wakeUp();
}

id NSTimer::userInfo() const
{
    dv::MutexLocker lock(m_lock);
    return m_isPerform ? nil : m_userInfo;
}
