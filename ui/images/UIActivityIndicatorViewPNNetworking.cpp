#include "ui/images/UIActivityIndicatorViewPNNetworking.h"

#include "platform/ui/UIActivityIndicatorView.h"
#include "ui/images/PNActivityIndicatorViewNotificationObserver.h"

namespace {
const char kObserverKey = 0;
}

Ref<PNActivityIndicatorViewNotificationObserver> pn_notificationObserver(const Ref<UIActivityIndicatorView>& activityIndicatorView)
{
    return dv::internal::images::attachedObserver<PNActivityIndicatorViewNotificationObserver>(activityIndicatorView, &kObserverKey,
        [](const Ref<UIActivityIndicatorView>& indicator) {
            return alloc<PNActivityIndicatorViewNotificationObserver>()->initWithActivityIndicatorView(indicator);
        });
}

void setAnimatingWithStateOfTask(const Ref<UIActivityIndicatorView>& activityIndicatorView, const Ref<NSURLSessionTask>& task)
{
    if (auto observer = pn_notificationObserver(activityIndicatorView))
        observer->setAnimatingWithStateOfTask(task);
}
