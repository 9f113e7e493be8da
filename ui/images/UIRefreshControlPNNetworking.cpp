#include "ui/images/UIRefreshControlPNNetworking.h"

#include "platform/base/Associations.h"
#include "platform/ui/UIRefreshControl.h"
#include "ui/images/PNRefreshControlNotificationObserver.h"

namespace {
const char kObserverKey = 0;
}

Ref<PNRefreshControlNotificationObserver> pn_notificationObserver(const Ref<UIRefreshControl>& refreshControl)
{
    if (!refreshControl)
        return nil;
    if (auto observer = dv::as<PNRefreshControlNotificationObserver>(objc_getAssociatedObject(refreshControl, &kObserverKey)))
        return observer;
    auto observer = alloc<PNRefreshControlNotificationObserver>()->initWithActivityRefreshControl(refreshControl);
    objc_setAssociatedObject(refreshControl, &kObserverKey, observer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return observer;
}

void setRefreshingWithStateOfTask(const Ref<UIRefreshControl>& refreshControl, const Ref<NSURLSessionTask>& task)
{
    if (auto observer = pn_notificationObserver(refreshControl))
        observer->setRefreshingWithStateOfTask(task);
}
