#include "ui/images/PNActivityIndicatorViewNotificationObserver.h"

#include "platform/base/ClassBuilder.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIActivityIndicatorView.h"

DV_DEFINE_CLASS(PNActivityIndicatorViewNotificationObserver)

Ref<PNActivityIndicatorViewNotificationObserver> PNActivityIndicatorViewNotificationObserver::initWithActivityIndicatorView(
    const Ref<UIActivityIndicatorView>& activityIndicatorView)
{
    init();
    m_activityIndicatorView = activityIndicatorView;
    return self<PNActivityIndicatorViewNotificationObserver>();
}

void PNActivityIndicatorViewNotificationObserver::setAnimatingWithStateOfTask(const Ref<NSURLSessionTask>& task)
{
    stopListening();
    if (!task || task->state() == NSURLSessionTaskStateCompleted)
        return;
    if (auto indicator = activityIndicatorView()) {
        if (task->state() == NSURLSessionTaskStateRunning)
            indicator->startAnimating();
        else
            indicator->stopAnimating();
    }
    listen(task);
}

void PNActivityIndicatorViewNotificationObserver::taskDidResume(const Ref<NSNotification>& notification) { pn_startAnimating(notification); }

void PNActivityIndicatorViewNotificationObserver::taskDidEnd(const Ref<NSNotification>& notification) { pn_stopAnimating(notification); }

void PNActivityIndicatorViewNotificationObserver::pn_startAnimating(const Ref<NSNotification>&)
{
    laterOnMain(m_activityIndicatorView, &UIActivityIndicatorView::startAnimating);
}

void PNActivityIndicatorViewNotificationObserver::pn_stopAnimating(const Ref<NSNotification>&)
{
    laterOnMain(m_activityIndicatorView, &UIActivityIndicatorView::stopAnimating);
}
