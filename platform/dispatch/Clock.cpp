#include "platform/dispatch/Clock.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSDate.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/internal/AfterScheduler.h"
#include "platform/dispatch/internal/Waiting.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace dv {

namespace {

dv::Mutex s_installLock;
std::shared_ptr<Clock> s_currentShared DV_GUARDED_BY(s_installLock);
std::atomic<Clock*> s_current { nullptr };
// Clocks that were replaced stay alive: another thread may still be reading one.
std::vector<std::shared_ptr<Clock>>* s_retired = new std::vector<std::shared_ptr<Clock>>;

Clock& systemClock()
{
    static auto* clock = new std::shared_ptr<Clock>(std::make_shared<SystemClock>());
    return **clock;
}

} // namespace

NSTimeInterval SystemClock::now() const { return NSDate::systemNow(); }

Clock& Clock::current()
{
    Clock* clock = s_current.load(std::memory_order_acquire);
    return clock ? *clock : systemClock();
}

std::shared_ptr<Clock> Clock::currentShared()
{
    dv::MutexLocker lock(s_installLock);
    return s_currentShared;
}

void Clock::setCurrent(std::shared_ptr<Clock> clock)
{
    dv::MutexLocker lock(s_installLock);
    if (s_currentShared)
        s_retired->push_back(s_currentShared);
    s_currentShared = clock;
    s_current.store(clock.get(), std::memory_order_release);
    if (clock)
        NSDate::setNowFunction([] { return Clock::current().now(); });
    else
        NSDate::setNowFunction({});
}

void ManualClock::setNow(NSTimeInterval now)
{
    NSTimeInterval current = m_now.load();
    while (now > current && !m_now.compare_exchange_weak(current, now)) { }
}

namespace {

// Moves a clock to `target` through every deadline on the way: delayed dispatch blocks are handed
// to their queues, and on the main thread its loop runs once at each stop so that due timers fire
// in order and at their own dates. `moveTo` sets the clock (never backwards).
void advanceThroughDeadlines(const Clock& clock, NSTimeInterval target, const std::function<void(NSTimeInterval)>& moveTo)
{
    auto& scheduler = internal::dispatch::AfterScheduler::shared();
    Ref<NSRunLoop> loop = isMainThread() ? NSRunLoop::mainRunLoop() : nil;
    for (int steps = 0; steps < 1000000; ++steps) {
        NSTimeInterval next = scheduler.nextDeadline();
        if (loop)
            next = std::min(next, loop->nextTimerTime(NSDefaultRunLoopMode));
        if (next > target)
            break;
        moveTo(next);
        scheduler.fireDue(clock.now());
        if (loop)
            loop->runTurn(NSDefaultRunLoopMode, clock.now(), 0);
    }
    moveTo(target);
    scheduler.fireDue(clock.now());
    if (loop)
        loop->runTurn(NSDefaultRunLoopMode, clock.now(), 0);
}

} // namespace

void ManualClock::advance(NSTimeInterval seconds)
{
    advanceThroughDeadlines(*this, now() + std::max(seconds, 0.0), [this](NSTimeInterval time) { setNow(time); });
}

NSTimeInterval ShiftedClock::now() const { return NSDate::systemNow() + offset(); }

void ShiftedClock::setNow(NSTimeInterval now) { m_offset.store(now - NSDate::systemNow(), std::memory_order_release); }

void ShiftedClock::advance(NSTimeInterval seconds)
{
    advanceThroughDeadlines(*this, now() + std::max(seconds, 0.0), [this](NSTimeInterval time) {
        // Real time went on meanwhile: a stop already behind is not gone back to.
        if (time > now())
            setNow(time);
    });
}

bool ManualClock::runUntilIdle(double realTimeLimit)
{
    using std::chrono::steady_clock;
    auto limit = steady_clock::now() + std::chrono::duration_cast<steady_clock::duration>(std::chrono::duration<double>(realTimeLimit));
    Ref<NSRunLoop> loop = isMainThread() ? NSRunLoop::mainRunLoop() : NSRunLoop::currentRunLoop();
    for (;;) {
        internal::dispatch::AfterScheduler::shared().fireDue(now());
        bool handled = loop->runTurn(NSDefaultRunLoopMode, now(), 0);
        if (!handled && internal::dispatch::WorkTracker::outstanding() == 0) {
            // Work may have finished and posted to this loop between the two looks.
            if (!loop->runTurn(NSDefaultRunLoopMode, now(), 0) && internal::dispatch::WorkTracker::outstanding() == 0)
                return true;
            continue;
        }
        if (steady_clock::now() >= limit)
            return false;
        if (!handled)
            loop->runTurn(NSDefaultRunLoopMode, internal::dispatch::noDeadline, 0.001);
    }
}

ManualClockScope::ManualClockScope(NSTimeInterval start)
    : m_clock(std::make_shared<ManualClock>(start))
    , m_previous(Clock::currentShared())
{
    Clock::setCurrent(m_clock);
}

ManualClockScope::~ManualClockScope()
{
    // Delayed blocks and timers of the finished test would otherwise fire into the next one.
    internal::dispatch::AfterScheduler::shared().discardAll();
    NSRunLoop::mainRunLoop()->discardWaitingTimers();
    Clock::setCurrent(m_previous);
}

} // namespace dv
