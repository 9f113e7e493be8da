// The dispatch functions the platform offers, over our own queues, groups and semaphores:
//
//   auto queue = dispatch_queue_create("com.example.io", DISPATCH_QUEUE_SERIAL);
//   dispatch_async(queue, [] { work(); dispatch_async(dispatch_get_main_queue(), [] { show(); }); });
//
// Times (dispatch_time_t) are nanoseconds on the process clock (see Clock.h), so dispatch_after
// and every time-out follow the manual clock in tests. A dispatch_sync onto the queue the caller
// is already running on would wait for itself; debug builds stop on an assertion there, release
// builds log the fault and hang as the platform does.
#pragma once

#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/dispatch/MainThreadCheck.h" // isMainThread

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

using dispatch_block_t = std::function<void()>;
using dispatch_queue_t = std::shared_ptr<dv::DispatchQueue>;
using dispatch_group_t = std::shared_ptr<dv::DispatchGroup>;
using dispatch_semaphore_t = std::shared_ptr<dv::DispatchSemaphore>;
using dispatch_time_t = std::uint64_t;
using dispatch_once_t = std::once_flag;

enum class dispatch_queue_attr_t { serial, concurrent };
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_SERIAL = dispatch_queue_attr_t::serial;
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT = dispatch_queue_attr_t::concurrent;

inline constexpr long DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_BACKGROUND = INT16_MIN;

// dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL) names the queue the caller runs on.
inline constexpr std::nullptr_t DISPATCH_CURRENT_QUEUE_LABEL = nullptr;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr std::uint64_t NSEC_PER_SEC = 1000000000ull;
inline constexpr std::uint64_t NSEC_PER_MSEC = 1000000ull;
inline constexpr std::uint64_t NSEC_PER_USEC = 1000ull;
inline constexpr std::uint64_t USEC_PER_SEC = 1000000ull;

// Queues.
dispatch_queue_t dispatch_get_main_queue();
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr = DISPATCH_QUEUE_SERIAL);
const char* dispatch_queue_get_label(const dispatch_queue_t& queue); // "" for a queue without label
void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block);
void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_barrier_sync(const dispatch_queue_t& queue, const dispatch_block_t& block);
void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_apply(std::size_t iterations, const dispatch_queue_t& queue, const std::function<void(std::size_t)>& block);
// A value stored on a queue under a key (null removes it); dispatch_get_specific reads it from
// the queue the caller is running on, which is how code recognises its own queue.
void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context);
void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key);
void* dispatch_get_specific(const void* key);
void dispatch_suspend(const dispatch_queue_t& queue);
void dispatch_resume(const dispatch_queue_t& queue);

// Times: DISPATCH_TIME_NOW plus `delta` nanoseconds, or another time plus `delta`.
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);

// Groups.
dispatch_group_t dispatch_group_create();
void dispatch_group_enter(const dispatch_group_t& group);
void dispatch_group_leave(const dispatch_group_t& group);
void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block);
// 0 when the group emptied, non-zero when the time-out came first.
long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout);

// Semaphores.
dispatch_semaphore_t dispatch_semaphore_create(long value);
// 0 when signalled, non-zero on time-out.
long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout);
// Non-zero when a waiting thread was woken.
long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore);

void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block);

namespace dv {

// The clock time (seconds since the reference date) a dispatch time stands for; infinity for
// DISPATCH_TIME_FOREVER.
NSTimeInterval clockTimeOf(dispatch_time_t when);

} // namespace dv
