#include "ui/images/PNRefreshControlNotificationObserver.h"

#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIRefreshControl.h"

DV_DEFINE_CLASS(PNRefreshControlNotificationObserver)

Ref<PNRefreshControlNotificationObserver> PNRefreshControlNotificationObserver::initWithActivityRefreshControl(
    const Ref<UIRefreshControl>& refreshControl)
{
    init();
    m_refreshControl = refreshControl;
    return self<PNRefreshControlNotificationObserver>();
}

PNRefreshControlNotificationObserver::~PNRefreshControlNotificationObserver() { stopListening(); }

void PNRefreshControlNotificationObserver::stopListening()
{
    auto center = NSNotificationCenter::defaultCenter();
    center->removeObserver(this, PNTaskResumeNotificationName, nullptr);
    center->removeObserver(this, PNTaskSuspendNotificationName, nullptr);
    center->removeObserver(this, PNTaskCompleteNotificationName, nullptr);
}

void PNRefreshControlNotificationObserver::setRefreshingWithStateOfTask(const Ref<NSURLSessionTask>& task)
{
    stopListening();
    if (!task)
        return;
    auto control = refreshControl();
    if (task->state() != NSURLSessionTaskStateRunning) {
        if (control)
            control->endRefreshing();
        return;
    }
    if (control)
        control->beginRefreshing();
    auto center = NSNotificationCenter::defaultCenter();
    auto self = this->self<PNRefreshControlNotificationObserver>();
    center->addObserver(self, &PNRefreshControlNotificationObserver::pn_beginRefreshing, PNTaskResumeNotificationName, task);
    center->addObserver(self, &PNRefreshControlNotificationObserver::pn_endRefreshing, PNTaskCompleteNotificationName, task);
    center->addObserver(self, &PNRefreshControlNotificationObserver::pn_endRefreshing, PNTaskSuspendNotificationName, task);
}

void PNRefreshControlNotificationObserver::pn_beginRefreshing(const Ref<NSNotification>&)
{
    Weak<UIRefreshControl> weak = m_refreshControl;
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto control = weak.lock())
            control->beginRefreshing();
    });
}

void PNRefreshControlNotificationObserver::pn_endRefreshing(const Ref<NSNotification>&)
{
    Weak<UIRefreshControl> weak = m_refreshControl;
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto control = weak.lock())
            control->endRefreshing();
    });
}
