// What the refresh-control and activity-indicator observers share: listening, for one task at a
// time, to the resume, suspend and complete notices a session manager posts for its tasks;
// stopping when the observer goes; acting on the control later on the main queue while it still
// exists; and the observer being attached to its control on first use. Main thread.
#pragma once

#include "platform/base/Associations.h"
#include "platform/dispatch/Dispatch.h"

class NSNotification;
class NSURLSessionTask;

namespace dv::internal::images {

class TaskNotificationObserver : public NSObject {
    DV_CLASS(TaskNotificationObserver, NSObject)

public:
    TaskNotificationObserver() = default;
    // Stops listening.
    ~TaskNotificationObserver() override;

protected:
    // Stops listening to the three notices, for any task.
    void stopListening();
    // Listens to the task's notices: resume with taskDidResume, suspend and complete with
    // taskDidEnd.
    void listen(const Ref<NSURLSessionTask>& task);
    virtual void taskDidResume(const Ref<NSNotification>& notification) = 0;
    virtual void taskDidEnd(const Ref<NSNotification>& notification) = 0;
    // Calls `action` on the control on the main queue, after the notice has been delivered, if
    // the control still exists then.
    template <class Control>
    static void laterOnMain(const Weak<Control>& control, void (Control::*action)())
    {
        dispatch_async(dispatch_get_main_queue(), [control, action] {
            if (auto strong = control.lock())
                (strong.get()->*action)();
        });
    }

private:
    void handleResume(const Ref<NSNotification>& notification) { taskDidResume(notification); }
    void handleEnd(const Ref<NSNotification>& notification) { taskDidEnd(notification); }
};

// The observer attached to `control` under `key`, made with `make` and attached on first use
// (nil for a nil control). It lives as long as the control.
template <class Observer, class Control, class Make>
Ref<Observer> attachedObserver(const Ref<Control>& control, const void* key, Make make)
{
    if (!control)
        return nil;
    if (auto observer = dv::as<Observer>(objc_getAssociatedObject(control, key)))
        return observer;
    Ref<Observer> observer = make(control);
    objc_setAssociatedObject(control, key, observer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return observer;
}

} // namespace dv::internal::images
