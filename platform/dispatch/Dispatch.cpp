#include "platform/dispatch/Dispatch.h"

#include "platform/base/Check.h"
#include "platform/base/Mutex.h"
#include "platform/dispatch/internal/AfterScheduler.h"
#include "platform/dispatch/internal/MainThread.h"
#include "platform/dispatch/internal/Waiting.h"

#include <cmath>
#include <cstdio>

namespace dv::internal::dispatch {

thread_local constinit bool t_isMainThread = false;

} // namespace dv::internal::dispatch

namespace {

// Initialised before main() runs, hence on the thread that runs the process entry.
[[maybe_unused]] const bool s_mainThreadMarked = (dv::internal::dispatch::t_isMainThread = true);

dispatch_queue_t makeGlobal(const char* label, dv::internal::dispatch::PoolPriority priority)
{
    return std::make_shared<dv::DispatchQueue>(label, dv::DispatchQueue::Kind::Concurrent, priority);
}

} // namespace

namespace dv {

NSTimeInterval clockTimeOf(dispatch_time_t when)
{
    if (when == DISPATCH_TIME_FOREVER)
        return internal::dispatch::noDeadline;
    if (when == DISPATCH_TIME_NOW)
        return Clock::current().now();
    return static_cast<NSTimeInterval>(when) / static_cast<NSTimeInterval>(NSEC_PER_SEC);
}

namespace internal::dispatch {

void reportSyncDeadlock(std::string_view label)
{
    const std::string message = "dispatch_sync onto the queue \"" + std::string(label) + "\" from a block already running on it: it would wait for itself";
    dv::internal::base::checkFailed(__FILE__, __LINE__, "the queue waited for is not the caller's own", message.c_str());
}

void reportOffMainThread(const char* file, int line, const char* function)
{
    const std::string message = std::string("called off the main thread: ") + function;
    dv::internal::base::checkFailed(file, line, "isMainThread()", message.c_str());
}

} // namespace internal::dispatch

void DispatchGroup::enter()
{
    dv::MutexLocker lock(m_lock);
    ++m_count;
}

void DispatchGroup::leave()
{
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, std::function<void()>>> ready;
    {
        dv::MutexLocker lock(m_lock);
        DV_CHECK_MSG(m_count > 0, "dispatch_group_leave without a matching enter");
        if (--m_count > 0)
            return;
        ready.swap(m_notify);
    }
    m_emptied.notifyAll();
    for (auto& [queue, block] : ready)
        queue->async(std::move(block), false);
}

void DispatchGroup::notify(std::shared_ptr<DispatchQueue> queue, std::function<void()> block)
{
    {
        dv::MutexLocker lock(m_lock);
        if (m_count > 0) {
            m_notify.emplace_back(std::move(queue), std::move(block));
            return;
        }
    }
    queue->async(std::move(block), false);
}

bool DispatchGroup::wait(NSTimeInterval deadline)
{
    dv::MutexLocker lock(m_lock);
    return internal::dispatch::waitUntilClock(m_emptied, lock, deadline, [&]() DV_REQUIRES(m_lock) { return m_count == 0; });
}

bool DispatchSemaphore::wait(NSTimeInterval deadline)
{
    dv::MutexLocker lock(m_lock);
    ++m_waiters;
    bool taken = internal::dispatch::waitUntilClock(m_signalled, lock, deadline, [&]() DV_REQUIRES(m_lock) { return m_value > 0; });
    --m_waiters;
    if (taken)
        --m_value;
    return taken;
}

bool DispatchSemaphore::signal()
{
    bool woke;
    {
        dv::MutexLocker lock(m_lock);
        ++m_value;
        woke = m_waiters > 0;
    }
    m_signalled.notifyOne();
    return woke;
}

} // namespace dv

dispatch_queue_t dispatch_get_main_queue()
{
    static auto* queue = new dispatch_queue_t(std::make_shared<dv::DispatchQueue>(
        "dovrelta.main-thread", dv::DispatchQueue::Kind::Main, dv::internal::dispatch::PoolPriority::High));
    return *queue;
}

dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long)
{
    using dv::internal::dispatch::PoolPriority;
    // Never destroyed: pool threads may still use them while the process exits.
    static auto* high = new dispatch_queue_t(makeGlobal("dovrelta.root.high-priority", PoolPriority::High));
    static auto* normal = new dispatch_queue_t(makeGlobal("dovrelta.root.default-priority", PoolPriority::Default));
    static auto* low = new dispatch_queue_t(makeGlobal("dovrelta.root.low-priority", PoolPriority::Low));
    static auto* background = new dispatch_queue_t(makeGlobal("dovrelta.root.background-priority", PoolPriority::Background));
    switch (priority) {
    case DISPATCH_QUEUE_PRIORITY_HIGH:
        return *high;
    case DISPATCH_QUEUE_PRIORITY_LOW:
        return *low;
    case DISPATCH_QUEUE_PRIORITY_BACKGROUND:
        return *background;
    default:
        return *normal;
    }
}

dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr)
{
    auto kind = attr == DISPATCH_QUEUE_CONCURRENT ? dv::DispatchQueue::Kind::Concurrent : dv::DispatchQueue::Kind::Serial;
    return std::make_shared<dv::DispatchQueue>(label ? label : "", kind, dv::internal::dispatch::PoolPriority::Default);
}

const char* dispatch_queue_get_label(const dispatch_queue_t& queue)
{
    if (!queue) {
        auto* current = dv::DispatchQueue::current();
        return current ? current->label().c_str() : "";
    }
    return queue->label().c_str();
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (queue)
        queue->async(std::move(block), false);
}

void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block)
{
    if (queue)
        queue->sync(block, false);
}

void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (queue)
        queue->async(std::move(block), true);
}

void dispatch_barrier_sync(const dispatch_queue_t& queue, const dispatch_block_t& block)
{
    if (queue)
        queue->sync(block, true);
}

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!queue || !block || when == DISPATCH_TIME_FOREVER)
        return;
    NSTimeInterval deadline = dv::clockTimeOf(when);
    if (deadline <= dv::Clock::current().now()) {
        queue->async(std::move(block), false);
        return;
    }
    dv::internal::dispatch::AfterScheduler::shared().schedule(deadline, queue, std::move(block));
}

void dispatch_apply(std::size_t iterations, const dispatch_queue_t& queue, const std::function<void(std::size_t)>& block)
{
    if (!queue || !block)
        return;
    auto group = dispatch_group_create();
    for (std::size_t i = 0; i < iterations; ++i)
        dispatch_group_async(group, queue, [&block, i] { block(i); });
    group->wait(dv::internal::dispatch::noDeadline);
}

void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context)
{
    if (queue && key)
        queue->setSpecific(key, context);
}

void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key)
{
    return queue && key ? queue->specific(key) : nullptr;
}

void* dispatch_get_specific(const void* key)
{
    auto* current = dv::DispatchQueue::current();
    if (!current && dv::isMainThread())
        current = dispatch_get_main_queue().get(); // the main thread outside any block
    return current && key ? current->specific(key) : nullptr;
}

void dispatch_suspend(const dispatch_queue_t& queue)
{
    if (queue)
        queue->suspend();
}

void dispatch_resume(const dispatch_queue_t& queue)
{
    if (queue)
        queue->resume();
}

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta)
{
    if (when == DISPATCH_TIME_FOREVER)
        return DISPATCH_TIME_FOREVER;
    double base = when == DISPATCH_TIME_NOW ? dv::Clock::current().now() * static_cast<double>(NSEC_PER_SEC)
                                            : static_cast<double>(when);
    double result = base + static_cast<double>(delta);
    if (result < 1)
        return 1; // 0 would read as "now" again
    if (result >= static_cast<double>(DISPATCH_TIME_FOREVER))
        return DISPATCH_TIME_FOREVER - 1;
    return static_cast<dispatch_time_t>(std::llround(result));
}

dispatch_group_t dispatch_group_create() { return std::make_shared<dv::DispatchGroup>(); }

void dispatch_group_enter(const dispatch_group_t& group)
{
    if (group)
        group->enter();
}

void dispatch_group_leave(const dispatch_group_t& group)
{
    if (group)
        group->leave();
}

void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!group || !queue)
        return;
    group->enter();
    queue->async([group, block = std::move(block)] {
        if (block)
            block();
        group->leave();
    }, false);
}

void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (group && queue && block)
        group->notify(queue, std::move(block));
}

long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout)
{
    if (!group)
        return 0;
    return group->wait(dv::clockTimeOf(timeout)) ? 0 : 1;
}

dispatch_semaphore_t dispatch_semaphore_create(long value)
{
    if (value < 0)
        return nullptr; // as the platform answers for a negative count
    return std::make_shared<dv::DispatchSemaphore>(value);
}

long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout)
{
    if (!semaphore)
        return 0;
    return semaphore->wait(dv::clockTimeOf(timeout)) ? 0 : 1;
}

long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore)
{
    if (!semaphore)
        return 0;
    return semaphore->signal() ? 1 : 0;
}

void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block)
{
    if (predicate && block)
        std::call_once(*predicate, block);
}
