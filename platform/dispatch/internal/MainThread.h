// Links between the dispatch layer and the main run loop, which live in different files.
#pragma once

#include <string_view>

namespace dv::internal::dispatch {

// Wakes the main thread's run loop so that it drains the main queue.
void wakeMainRunLoop();
// A dispatch_sync that would wait for itself: a broken invariant, which stops the process.
[[noreturn]] void reportSyncDeadlock(std::string_view label);

} // namespace dv::internal::dispatch
