// ExternalEventSource: the events of another library's own loop (the web engine's main context)
// served by a run loop in its turns, on the loop's thread. Before a turn waits, the loop asks each
// source what to watch and how long it may wait at most; it then waits for those descriptors
// together with its own work (queued blocks, timers, wake-ups), and hands the descriptors back
// with what came on them, so that the source handles what is ready. prepare and dispatch always
// come in pairs, one pair per turn; a dispatch may run a nested turn of the same loop (a delegate
// that waits for a page's answer), which makes a pair of its own inside.
//
//   NSRunLoop::mainRunLoop()->addExternalSource(std::make_shared<ToolkitEvents>());
#pragma once

#include <span>
#include <vector>

namespace dv {

// A file descriptor to wait on: `events` as poll(2) takes them (POLLIN, POLLOUT, ...); `ready`
// holds the events that came once the wait is over.
struct WatchedDescriptor {
    int fd = -1;
    short events = 0;
    short ready = 0;
};

class ExternalEventSource {
public:
    virtual ~ExternalEventSource() = default;
    // Appends the descriptors to watch; answers the longest wait in seconds (0 when something is
    // ready now, infinity when only the descriptors can end the wait).
    virtual double prepare(std::vector<WatchedDescriptor>& watched) = 0;
    // Handles what is ready; `watched` holds the descriptors this source appended, with their
    // `ready` events. Answers whether it handled something.
    virtual bool dispatch(std::span<const WatchedDescriptor> watched) = 0;
};

} // namespace dv
