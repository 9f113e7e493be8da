#include "ui/images/PNActivityIndicatorViewNotificationObserver.h"

#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/NSNotificationCenter.h"
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

PNActivityIndicatorViewNotificationObserver::~PNActivityIndicatorViewNotificationObserver() { stopListening(); }

void PNActivityIndicatorViewNotificationObserver::stopListening()
{
    auto center = NSNotificationCenter::defaultCenter();
    center->removeObserver(this, PNTaskResumeNotificationName, nullptr);
    center->removeObserver(this, PNTaskSuspendNotificationName, nullptr);
    center->removeObserver(this, PNTaskCompleteNotificationName, nullptr);
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
    auto center = NSNotificationCenter::defaultCenter();
    auto self = this->self<PNActivityIndicatorViewNotificationObserver>();
    center->addObserver(self, &PNActivityIndicatorViewNotificationObserver::pn_startAnimating, PNTaskResumeNotificationName, task);
    center->addObserver(self, &PNActivityIndicatorViewNotificationObserver::pn_stopAnimating, PNTaskCompleteNotificationName, task);
    center->addObserver(self, &PNActivityIndicatorViewNotificationObserver::pn_stopAnimating, PNTaskSuspendNotificationName, task);
}

void PNActivityIndicatorViewNotificationObserver::pn_startAnimating(const Ref<NSNotification>&)
{
    Weak<UIActivityIndicatorView> weak = m_activityIndicatorView;
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto indicator = weak.lock())
            indicator->startAnimating();
    });
}

void PNActivityIndicatorViewNotificationObserver::pn_stopAnimating(const Ref<NSNotification>&)
{
    Weak<UIActivityIndicatorView> weak = m_activityIndicatorView;
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto indicator = weak.lock())
            indicator->stopAnimating();
    });
}
