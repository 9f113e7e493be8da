#include "platform/dispatch/NSRunLoop.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSDate.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/ExternalEventSource.h"
#include "platform/dispatch/NSPort.h"
#include "platform/dispatch/NSThread.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/dispatch/internal/MainThread.h"
#include "platform/dispatch/internal/Waiting.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

DV_DEFINE_CLASS(NSRunLoop)
DV_DEFINE_CLASS(NSPort)
DV_DEFINE_CLASS(NSMachPort)

Ref<NSPort> NSPort::port() { return alloc<NSMachPort>(); }
Ref<NSPort> NSMachPort::port() { return alloc<NSMachPort>(); }

const char* const NSDefaultRunLoopMode = "kCFRunLoopDefaultMode";
const char* const NSRunLoopCommonModes = "kCFRunLoopCommonModes";
const char* const UITrackingRunLoopMode = "UITrackingRunLoopMode";

namespace dv::internal::dispatch {

void wakeMainRunLoop() { NSRunLoop::mainRunLoop()->wakeUp(); }

} // namespace dv::internal::dispatch

NSRunLoop::~NSRunLoop()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

Ref<NSRunLoop> NSRunLoop::currentRunLoop() { return NSThread::currentThread()->runLoop(); }

Ref<NSRunLoop> NSRunLoop::mainRunLoop() { return NSThread::mainThread()->runLoop(); }

Ref<NSString> NSRunLoop::currentMode() const
{
    dv::MutexLocker lock(m_lock);
    return m_modeStack.empty() ? nil : NSString::fromUTF8(m_modeStack.back());
}

bool NSRunLoop::modeMatches(const std::vector<std::string>& modes, std::string_view mode)
{
    if (modes.empty())
        return mode == NSDefaultRunLoopMode || mode == UITrackingRunLoopMode;
    for (auto& m : modes) {
        if (m == mode)
            return true;
        if (m == NSRunLoopCommonModes && (mode == NSDefaultRunLoopMode || mode == UITrackingRunLoopMode))
            return true;
    }
    return false;
}

void NSRunLoop::addTimer(const Ref<NSTimer>& timer, std::string_view mode)
{
    if (!timer || !timer->isValid())
        return;
    {
        dv::MutexLocker lock(m_lock);
        auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](auto& e) { return e.timer == timer; });
        if (it == m_timers.end()) {
            m_timers.push_back({timer, {std::string(mode)}});
            timer->attachTo(self<NSRunLoop>());
        }
        else if (std::find(it->modes.begin(), it->modes.end(), mode) == it->modes.end())
            it->modes.emplace_back(mode);
    }
    wakeUp();
}

void NSRunLoop::addPort(const Ref<NSPort>& port, std::string_view mode)
{
    if (!port)
        return;
    {
        dv::MutexLocker lock(m_lock);
        m_ports.emplace_back(port, std::string(mode));
    }
    wakeUp();
}

void NSRunLoop::removePort(const Ref<NSPort>& port, std::string_view mode)
{
    {
        dv::MutexLocker lock(m_lock);
        std::erase_if(m_ports, [&](auto& entry) { return entry.first == port && entry.second == mode; });
    }
    wakeUp();
}

void NSRunLoop::performBlock(std::function<void()> block) { performInModes({}, std::move(block)); }

void NSRunLoop::performInModes(const std::vector<std::string>& modes, std::function<void()> block)
{
    if (!block)
        return;
    {
        dv::MutexLocker lock(m_lock);
        m_performs.push_back({modes, std::move(block)});
    }
    wakeUp();
}

void NSRunLoop::wakeUp()
{
    int fd;
    {
        dv::MutexLocker lock(m_lock);
        m_wakeRequested = true;
        fd = m_wakeFd;
    }
    m_wake.notifyAll();
    if (fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(fd, &one, sizeof one); // full only when already signalled
    }
}

void NSRunLoop::stop()
{
    {
        dv::MutexLocker lock(m_lock);
        m_stopRequested = true;
    }
    wakeUp();
}

void NSRunLoop::addExternalSource(const std::shared_ptr<dv::ExternalEventSource>& source)
{
    if (!source)
        return;
    {
        dv::MutexLocker lock(m_lock);
        if (m_wakeFd < 0)
            m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    if (std::find(m_externalSources.begin(), m_externalSources.end(), source) == m_externalSources.end())
        m_externalSources.push_back(source);
}

void NSRunLoop::removeExternalSource(const std::shared_ptr<dv::ExternalEventSource>& source)
{
    std::erase(m_externalSources, source);
}

std::uint64_t NSRunLoop::addEndOfTurnObserver(std::function<void()> observer)
{
    dv::MutexLocker lock(m_lock);
    auto token = m_nextToken++;
    m_endOfTurn.emplace_back(token, std::move(observer));
    return token;
}

void NSRunLoop::removeEndOfTurnObserver(std::uint64_t token)
{
    dv::MutexLocker lock(m_lock);
    std::erase_if(m_endOfTurn, [&](auto& e) { return e.first == token; });
}

void NSRunLoop::cancelPerforms(const NSObject* target, SEL selector, const NSObject* argument, bool anySelector)
{
    std::vector<Ref<NSTimer>> cancelled;
    {
        dv::MutexLocker lock(m_lock);
        for (auto& entry : m_timers)
            if (entry.timer->matchesPerform(target, selector, argument, anySelector))
                cancelled.push_back(entry.timer);
        std::erase_if(m_timers, [&](auto& e) { return std::find(cancelled.begin(), cancelled.end(), e.timer) != cancelled.end(); });
    }
    for (auto& timer : cancelled)
        timer->invalidate();
}

void NSRunLoop::discardWaitingTimers()
{
    std::vector<Ref<NSTimer>> dropped;
    {
        dv::MutexLocker lock(m_lock);
        std::erase_if(m_timers, [&](auto& e) {
            if (e.timer->isValid() && e.timer->repeats())
                return false;
            dropped.push_back(e.timer);
            return true;
        });
    }
    // Outside the lock: a timer's block may hold the last reference to an object whose
    // destructor invalidates other timers of this loop.
    for (auto& timer : dropped)
        timer->invalidate();
}

bool NSRunLoop::hasSourcesLocked() const
{
    if (m_isMain || !m_performs.empty() || !m_ports.empty() || !m_externalSources.empty())
        return true;
    return std::any_of(m_timers.begin(), m_timers.end(), [](auto& e) { return e.timer->isValid(); });
}

bool NSRunLoop::readyLocked(std::string_view mode) const
{
    if (m_wakeRequested || m_stopRequested)
        return true;
    for (auto& perform : m_performs)
        if (modeMatches(perform.modes, mode))
            return true;
    return m_isMain && dispatch_get_main_queue()->hasPendingMain();
}

NSTimeInterval NSRunLoop::nextTimerTime(std::string_view mode)
{
    dv::MutexLocker lock(m_lock);
    NSTimeInterval next = dv::internal::dispatch::noDeadline;
    for (auto& entry : m_timers)
        if (modeMatches(entry.modes, mode) && entry.timer->isValid())
            next = std::min(next, entry.timer->fireTime());
    return next;
}

Ref<NSDate> NSRunLoop::limitDateForMode(std::string_view mode)
{
    NSTimeInterval next = nextTimerTime(mode);
    return next == dv::internal::dispatch::noDeadline ? nil : NSDate::dateWithTimeIntervalSinceReferenceDate(next);
}

bool NSRunLoop::doWork(std::string_view mode)
{
    bool handled = false;

    // Blocks queued before this turn began, in order; later ones wait for the next turn.
    std::vector<std::function<void()>> blocks;
    {
        dv::MutexLocker lock(m_lock);
        for (auto it = m_performs.begin(); it != m_performs.end();) {
            if (modeMatches(it->modes, mode)) {
                blocks.push_back(std::move(it->block));
                it = m_performs.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& block : blocks) {
        block();
        block = nullptr;
        handled = true;
    }

    if (m_isMain && dispatch_get_main_queue()->drainMain() > 0)
        handled = true;

    // Due timers, earliest first. Invalid ones leave the loop (and with them their targets).
    NSTimeInterval now = dv::Clock::current().now();
    std::vector<Ref<NSTimer>> due;
    {
        dv::MutexLocker lock(m_lock);
        std::erase_if(m_timers, [&](auto& e) {
            if (!e.timer->isValid())
                return true;
            if (e.timer->fireTime() <= now && modeMatches(e.modes, mode))
                due.push_back(e.timer);
            return false;
        });
    }
    std::stable_sort(due.begin(), due.end(), [](auto& a, auto& b) { return a->fireTime() < b->fireTime(); });
    for (auto& timer : due) {
        timer->fireIfDue(now);
        handled = true;
    }
    if (!due.empty()) {
        dv::MutexLocker lock(m_lock);
        std::erase_if(m_timers, [](auto& e) { return !e.timer->isValid(); });
    }
    return handled;
}

void NSRunLoop::endTurn()
{
    std::vector<std::function<void()>> observers;
    {
        dv::MutexLocker lock(m_lock);
        for (auto& [token, observer] : m_endOfTurn)
            observers.push_back(observer);
    }
    for (auto& observer : observers)
        observer();
}

bool NSRunLoop::runTurn(std::string_view mode, NSTimeInterval clockDeadline, double realMaxWait)
{
    using std::chrono::steady_clock;
    {
        dv::MutexLocker lock(m_lock);
        m_modeStack.emplace_back(mode);
    }
    auto started = steady_clock::now();
    bool handled = doWork(mode);
    steady_clock::duration busy {};
    if (!m_externalSources.empty()) {
        // The wait for the sources' descriptors is not the turn's work.
        const bool wait = !handled && realMaxWait > 0;
        double waited = 0;
        if (serviceExternalSources(mode, clockDeadline, wait ? realMaxWait : 0, waited))
            handled = true;
        if (wait && doWork(mode))
            handled = true;
        busy = -std::chrono::duration_cast<steady_clock::duration>(std::chrono::duration<double>(waited));
    } else if (!handled && realMaxWait > 0) {
        busy = steady_clock::now() - started;
        {
            dv::MutexLocker lock(m_lock);
            NSTimeInterval wakeAt = clockDeadline;
            for (auto& entry : m_timers)
                if (modeMatches(entry.modes, mode) && entry.timer->isValid())
                    wakeAt = std::min(wakeAt, entry.timer->fireTime());
            auto realLimit = steady_clock::time_point::max();
            if (realMaxWait < 1e9)
                realLimit = steady_clock::now()
                    + std::chrono::duration_cast<steady_clock::duration>(std::chrono::duration<double>(realMaxWait));
            dv::internal::dispatch::waitUntilClock(m_wake, lock, wakeAt, [&]() DV_REQUIRES(m_lock) { return readyLocked(mode); }, realLimit);
            m_wakeRequested = false;
        }
        started = steady_clock::now();
        handled = doWork(mode);
    }
    endTurn();
    busy += steady_clock::now() - started;
    {
        dv::MutexLocker lock(m_lock);
        m_modeStack.pop_back();
        const double seconds = std::chrono::duration<double>(busy).count();
        m_turnTimes.longest = std::max(m_turnTimes.longest, seconds);
        m_turnTimes.total += seconds;
        ++m_turnTimes.turns;
    }
    return handled;
}

NSRunLoop::TurnTimes NSRunLoop::takeTurnTimes()
{
    dv::MutexLocker lock(m_lock);
    return std::exchange(m_turnTimes, {});
}

bool NSRunLoop::serviceExternalSources(std::string_view mode, NSTimeInterval clockDeadline, double realMaxWait, double& waited)
{
    using std::chrono::steady_clock;
    // A dispatch may add or remove sources; this round serves the ones it prepared.
    const auto sources = m_externalSources;
    std::vector<dv::WatchedDescriptor> watched { { m_wakeFd, POLLIN, 0 } };
    std::vector<std::size_t> starts;
    double sourceWait = std::numeric_limits<double>::infinity();
    for (const auto& source : sources) {
        starts.push_back(watched.size());
        sourceWait = std::min(sourceWait, source->prepare(watched));
    }
    starts.push_back(watched.size());

    std::vector<pollfd> polled;
    polled.reserve(watched.size());
    for (const auto& entry : watched)
        polled.push_back({ entry.fd, entry.events, 0 });
    auto pollFor = [&](int milliseconds) {
        int count;
        do
            count = ::poll(polled.data(), polled.size(), milliseconds);
        while (count < 0 && errno == EINTR);
        return count;
    };

    const double waitLimit = std::min(realMaxWait, sourceWait);
    const auto waitStarted = steady_clock::now();
    if (waitLimit <= 0) {
        pollFor(0);
    } else {
        // As waitUntilClock does on a condition variable: until the loop has work, a timer of the
        // mode or the clock deadline falls due, a descriptor is ready or the real-time limit passes;
        // on the manual clock in slices short enough to notice a test moving time.
        dv::internal::dispatch::BlockingScope blocking;
        NSTimeInterval wakeAt = std::min(clockDeadline, nextTimerTime(mode));
        const auto realLimit = waitLimit >= 1e9
            ? steady_clock::time_point::max()
            : steady_clock::now() + std::chrono::duration_cast<steady_clock::duration>(std::chrono::duration<double>(waitLimit));
        for (;;) {
            {
                dv::MutexLocker lock(m_lock);
                if (readyLocked(mode))
                    break;
            }
            dv::Clock& clock = dv::Clock::current();
            const NSTimeInterval now = clock.now();
            if (now >= wakeAt)
                break;
            const auto realNow = steady_clock::now();
            if (realNow >= realLimit)
                break;
            double slice = std::numeric_limits<double>::infinity();
            if (clock.isManual()) {
                if (wakeAt != dv::internal::dispatch::noDeadline)
                    slice = std::chrono::duration<double>(dv::internal::dispatch::manualClockPoll).count();
            } else if (wakeAt != dv::internal::dispatch::noDeadline) {
                slice = std::min(wakeAt - now, std::chrono::duration<double>(dv::internal::dispatch::systemClockSlice).count());
            }
            if (realLimit != steady_clock::time_point::max())
                slice = std::min(slice, std::chrono::duration<double>(realLimit - realNow).count());
            const int milliseconds = std::isinf(slice) ? -1 : static_cast<int>(std::ceil(std::max(slice, 0.0) * 1000));
            if (pollFor(milliseconds) != 0)
                break;
        }
    }
    waited = std::chrono::duration<double>(steady_clock::now() - waitStarted).count();
    if (polled[0].revents & POLLIN) {
        std::uint64_t count;
        [[maybe_unused]] auto read = ::read(m_wakeFd, &count, sizeof count);
    }
    {
        dv::MutexLocker lock(m_lock);
        m_wakeRequested = false;
    }
    for (std::size_t i = 0; i < watched.size(); ++i)
        watched[i].ready = polled[i].revents;
    bool handled = false;
    for (std::size_t i = 0; i < sources.size(); ++i)
        if (sources[i]->dispatch(std::span(watched).subspan(starts[i], starts[i + 1] - starts[i])))
            handled = true;
    return handled;
}

bool NSRunLoop::runModeBeforeDate(std::string_view mode, const Ref<NSDate>& limitDate)
{
    {
        dv::MutexLocker lock(m_lock);
        if (!hasSourcesLocked())
            return false;
    }
    NSTimeInterval deadline = limitDate ? limitDate->timeIntervalSinceReferenceDate() : dv::internal::dispatch::noDeadline;
    runTurn(mode, deadline, 1e18);
    return true;
}

void NSRunLoop::runUntilDate(const Ref<NSDate>& limitDate)
{
    NSTimeInterval deadline = limitDate ? limitDate->timeIntervalSinceReferenceDate() : dv::internal::dispatch::noDeadline;
    while (dv::Clock::current().now() < deadline) {
        if (!runModeBeforeDate(NSDefaultRunLoopMode, limitDate))
            return;
        dv::MutexLocker lock(m_lock);
        if (std::exchange(m_stopRequested, false))
            return;
    }
}

void NSRunLoop::run()
{
    for (;;) {
        if (!runModeBeforeDate(NSDefaultRunLoopMode, nil))
            return;
        dv::MutexLocker lock(m_lock);
        if (std::exchange(m_stopRequested, false))
            return;
    }
}

bool NSRunLoop::runUntil(const std::function<bool()>& condition, double realTimeout)
{
    using std::chrono::steady_clock;
    auto limit = steady_clock::now() + std::chrono::duration_cast<steady_clock::duration>(std::chrono::duration<double>(realTimeout));
    for (;;) {
        if (condition())
            return true;
        auto now = steady_clock::now();
        if (now >= limit)
            return condition();
        // Short waits, so that a condition changed by another thread without waking the loop is
        // seen promptly.
        double remaining = std::chrono::duration<double>(limit - now).count();
        runTurn(NSDefaultRunLoopMode, dv::internal::dispatch::noDeadline, std::min(remaining, 0.002));
        dv::MutexLocker lock(m_lock);
        m_stopRequested = false;
    }
}

void performSelectorWithObjectAfterDelay(const id& target, SEL selector, const id& argument, NSTimeInterval delay)
{
    performSelectorWithObjectAfterDelayInModes(target, selector, argument, delay, {NSDefaultRunLoopMode});
}

void performSelectorWithObjectAfterDelayInModes(const id& target, SEL selector, const id& argument, NSTimeInterval delay,
                                                const std::vector<std::string>& modes)
{
    if (!target || !selector)
        return;
    auto timer = NSTimer::performTimer(delay, {target, selector, argument, nullptr}, {});
    auto loop = NSRunLoop::currentRunLoop();
    for (auto& mode : modes)
        loop->addTimer(timer, mode);
}

void performBlockAfterDelay(const id& target, NSTimeInterval delay, std::function<void()> block, const void* tag)
{
    if (!block)
        return;
    auto timer = NSTimer::performTimer(delay, {target, SEL(), nil, tag}, std::move(block));
    NSRunLoop::currentRunLoop()->addTimer(timer, NSDefaultRunLoopMode);
}

void cancelPreviousPerformRequestsWithTarget(const id& target)
{
    if (target)
        NSRunLoop::currentRunLoop()->cancelPerforms(target.get(), SEL(), nullptr, true);
}

void cancelPreviousPerformRequestsWithTarget(const id& target, SEL selector, const id& argument)
{
    if (target)
        NSRunLoop::currentRunLoop()->cancelPerforms(target.get(), selector, argument.get(), false);
}

void cancelPreviousPerformBlockRequests(const id& target, const void* tag)
{
    if (target && tag)
        NSRunLoop::currentRunLoop()->cancelPerforms(target.get(), SEL(), static_cast<const NSObject*>(tag), false);
}
