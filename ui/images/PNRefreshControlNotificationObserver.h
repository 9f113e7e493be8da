// PNRefreshControlNotificationObserver: what makes a refresh control follow one URL session task
// of a session manager. Bound to a running task the control refreshes, and the task's resume,
// suspend and complete notifications (for that task only) begin and end its refreshing; bound to
// a task in any other state it ends refreshing and listens to nothing. One per control, attached
// to it (UIRefreshControlPNNetworking.h); it holds the control weakly and stops listening when it
// goes. Main thread.
#pragma once

#include "ui/images/internal/TaskNotificationObserver.h"

class UIRefreshControl;

class PNRefreshControlNotificationObserver : public dv::internal::images::TaskNotificationObserver {
    DV_CLASS(PNRefreshControlNotificationObserver, dv::internal::images::TaskNotificationObserver)

public:
    PNRefreshControlNotificationObserver() = default;
    Ref<PNRefreshControlNotificationObserver> initWithActivityRefreshControl(const Ref<UIRefreshControl>& refreshControl);

    // Drops the previous task first; nil leaves the control as it is.
    void setRefreshingWithStateOfTask(const Ref<NSURLSessionTask>& task);
    // Begin or end refreshing later on the main queue, if the control still exists.
    void pn_beginRefreshing(const Ref<NSNotification>& notification);
    void pn_endRefreshing(const Ref<NSNotification>& notification);

    Ref<UIRefreshControl> refreshControl() const { return m_refreshControl.lock(); }

protected:
    void taskDidResume(const Ref<NSNotification>& notification) override;
    void taskDidEnd(const Ref<NSNotification>& notification) override;

private:
    Weak<UIRefreshControl> m_refreshControl;
};
