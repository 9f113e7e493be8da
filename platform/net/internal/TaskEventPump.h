// The event queue of one URL task: whatever happens to the task (TaskEvent) is posted here from
// any thread and run on the session's delegate queue, one event at a time and in order, by a
// pump that is scheduled on the queue only while there is something to run. While the delegate
// holds a completion handler the pump waits for its answer; while the task's first transfer is
// being started (on the thread that resumed it) the pump is held, so that the task's state has
// one owner at a time.
//
// Owned by its TaskDriver, which it keeps alive (through `owner`) from the moment a run of the
// pump is scheduled until the run ends. Thread-safe.
//
//   pump.attach(queue, weak_from_this(), [this](TaskEvent& event) { handle(event); });
//   pump.post({ .type = TaskEvent::Type::Data, .data = bytes });
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"
#include "platform/net/internal/TaskEvent.h"

#include <deque>
#include <functional>
#include <memory>

class NSOperationQueue;

namespace dv::internal::net {

class TaskEventPump {
public:
    using Handler = std::function<void(TaskEvent&)>;
    // Front: an answer that must run before whatever the transport reported meanwhile.
    enum class Position { Back, Front };

    // Called once, before the first post; what it sets is read only afterwards.
    void attach(const Ref<NSOperationQueue>& queue, std::weak_ptr<void> owner, Handler handler);

    // Events but Invoke are dropped once the pump is closed.
    void post(TaskEvent event, Position position = Position::Back) DV_EXCLUDES(m_mutex);

    // A delegate was handed a completion handler: nothing more runs until delegateAnswered.
    void waitForDelegate() DV_EXCLUDES(m_mutex);
    // The answer came (on any thread): the pump goes on on the delegate queue.
    void delegateAnswered() DV_EXCLUDES(m_mutex);
    // The delegate did not implement the call after all: the running event goes on at once.
    void delegateDeclined() DV_EXCLUDES(m_mutex);

    // Keeps every event queued until release (the first start runs off the delegate queue).
    void hold() DV_EXCLUDES(m_mutex);
    void release() DV_EXCLUDES(m_mutex);

    // The task ends with `last`: whatever was queued, a delegate's pending answer included, gives
    // way to it. It runs once wake is called (the caller tells of the end first).
    void endWith(TaskEvent last) DV_EXCLUDES(m_mutex);
    void wake() DV_EXCLUDES(m_mutex);
    // The task has ended: queued events are dropped.
    void close() DV_EXCLUDES(m_mutex);

private:
    void scheduleLocked() DV_REQUIRES(m_mutex);
    void run() DV_EXCLUDES(m_mutex);

    // Set by attach before the task is handed out.
    Ref<NSOperationQueue> m_queue;
    std::weak_ptr<void> m_owner;
    Handler m_handler;

    dv::Mutex m_mutex;
    std::deque<TaskEvent> m_events DV_GUARDED_BY(m_mutex);
    bool m_scheduled DV_GUARDED_BY(m_mutex) = false; // a run is on the queue or running
    bool m_waiting DV_GUARDED_BY(m_mutex) = false;
    bool m_held DV_GUARDED_BY(m_mutex) = false;
    bool m_closed DV_GUARDED_BY(m_mutex) = false;
};

} // namespace dv::internal::net
