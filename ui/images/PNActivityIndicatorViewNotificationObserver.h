// PNActivityIndicatorViewNotificationObserver: what makes an activity indicator follow one URL
// session task of a session manager. Bound to a running task the indicator spins, to a suspended
// or canceling one it stops; either way the task's resume notification (for that task only)
// starts it and the suspend and complete notifications stop it. A completed task, or none, leaves
// the indicator as it is. One per indicator, attached to it
// (UIActivityIndicatorViewPNNetworking.h); it holds the indicator weakly and stops listening when
// it goes. Main thread.
#pragma once

#include "ui/images/internal/TaskNotificationObserver.h"

class UIActivityIndicatorView;

class PNActivityIndicatorViewNotificationObserver : public dv::internal::images::TaskNotificationObserver {
    DV_CLASS(PNActivityIndicatorViewNotificationObserver, dv::internal::images::TaskNotificationObserver)

public:
    PNActivityIndicatorViewNotificationObserver() = default;
    Ref<PNActivityIndicatorViewNotificationObserver> initWithActivityIndicatorView(const Ref<UIActivityIndicatorView>& activityIndicatorView);

    // Drops the previous task first.
    void setAnimatingWithStateOfTask(const Ref<NSURLSessionTask>& task);
    // Start or stop animating later on the main queue, if the indicator still exists.
    void pn_startAnimating(const Ref<NSNotification>& notification);
    void pn_stopAnimating(const Ref<NSNotification>& notification);

    Ref<UIActivityIndicatorView> activityIndicatorView() const { return m_activityIndicatorView.lock(); }

protected:
    void taskDidResume(const Ref<NSNotification>& notification) override;
    void taskDidEnd(const Ref<NSNotification>& notification) override;

private:
    Weak<UIActivityIndicatorView> m_activityIndicatorView;
};
