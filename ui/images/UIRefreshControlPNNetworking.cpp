#include "ui/images/UIRefreshControlPNNetworking.h"

#include "platform/ui/UIRefreshControl.h"
#include "ui/images/PNRefreshControlNotificationObserver.h"

namespace {
const char kObserverKey = 0;
}

Ref<PNRefreshControlNotificationObserver> pn_notificationObserver(const Ref<UIRefreshControl>& refreshControl)
{
    return dv::internal::images::attachedObserver<PNRefreshControlNotificationObserver>(refreshControl, &kObserverKey,
        [](const Ref<UIRefreshControl>& control) { return alloc<PNRefreshControlNotificationObserver>()->initWithActivityRefreshControl(control); });
}

void setRefreshingWithStateOfTask(const Ref<UIRefreshControl>& refreshControl, const Ref<NSURLSessionTask>& task)
{
    if (auto observer = pn_notificationObserver(refreshControl))
        observer->setRefreshingWithStateOfTask(task);
}
