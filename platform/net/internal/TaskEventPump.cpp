#include "platform/net/internal/TaskEventPump.h"

#include "platform/dispatch/NSOperationQueue.h"

namespace dv::internal::net {

void TaskEventPump::attach(const Ref<NSOperationQueue>& queue, std::weak_ptr<void> owner, Handler handler)
{
    m_queue = queue;
    m_owner = std::move(owner);
    m_handler = std::move(handler);
}

void TaskEventPump::post(TaskEvent event, Position position)
{
    dv::MutexLocker lock(m_mutex);
    if (m_closed && event.type != TaskEvent::Type::Invoke)
        return;
    if (position == Position::Front)
        m_events.push_front(std::move(event));
    else
        m_events.push_back(std::move(event));
    scheduleLocked();
}

void TaskEventPump::waitForDelegate()
{
    dv::MutexLocker lock(m_mutex);
    m_waiting = true;
}

void TaskEventPump::delegateAnswered()
{
    dv::MutexLocker lock(m_mutex);
    m_waiting = false;
    scheduleLocked();
}

void TaskEventPump::delegateDeclined()
{
    // The run that asked is still going and picks up what came meanwhile.
    dv::MutexLocker lock(m_mutex);
    m_waiting = false;
}

void TaskEventPump::hold()
{
    dv::MutexLocker lock(m_mutex);
    m_held = true;
}

void TaskEventPump::release()
{
    dv::MutexLocker lock(m_mutex);
    m_held = false;
    scheduleLocked();
}

void TaskEventPump::endWith(TaskEvent last)
{
    dv::MutexLocker lock(m_mutex);
    if (m_closed)
        return;
    m_events.clear();
    m_waiting = false;
    m_events.push_back(std::move(last));
}

void TaskEventPump::wake()
{
    dv::MutexLocker lock(m_mutex);
    scheduleLocked();
}

void TaskEventPump::close()
{
    dv::MutexLocker lock(m_mutex);
    m_closed = true;
    m_events.clear();
    m_waiting = false;
}

void TaskEventPump::scheduleLocked()
{
    if (m_waiting || m_held || m_scheduled || m_events.empty())
        return;
    // The run keeps the task's driver alive: the task may be let go while its last events wait.
    auto owner = m_owner.lock();
    if (!owner)
        return;
    m_scheduled = true;
    m_queue->addOperationWithBlock([this, owner] { run(); });
}

void TaskEventPump::run()
{
    for (;;) {
        TaskEvent event;
        {
            dv::MutexLocker lock(m_mutex);
            if (m_waiting || m_held || m_events.empty()) {
                m_scheduled = false;
                return;
            }
            event = std::move(m_events.front());
            m_events.pop_front();
        }
        m_handler(event);
    }
}

} // namespace dv::internal::net
