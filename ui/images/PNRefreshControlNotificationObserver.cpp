#include "ui/images/PNRefreshControlNotificationObserver.h"

#include "platform/base/ClassBuilder.h"
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
    listen(task);
}

void PNRefreshControlNotificationObserver::taskDidResume(const Ref<NSNotification>& notification) { pn_beginRefreshing(notification); }

void PNRefreshControlNotificationObserver::taskDidEnd(const Ref<NSNotification>& notification) { pn_endRefreshing(notification); }

void PNRefreshControlNotificationObserver::pn_beginRefreshing(const Ref<NSNotification>&)
{
    laterOnMain(m_refreshControl, &UIRefreshControl::beginRefreshing);
}

void PNRefreshControlNotificationObserver::pn_endRefreshing(const Ref<NSNotification>&)
{
    laterOnMain(m_refreshControl, &UIRefreshControl::endRefreshing);
}
