#include "ui/images/UIActivityIndicatorViewPNNetworking.h"

#include "platform/base/Associations.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "ui/images/PNActivityIndicatorViewNotificationObserver.h"

namespace {
const char kObserverKey = 0;
}

Ref<PNActivityIndicatorViewNotificationObserver> pn_notificationObserver(const Ref<UIActivityIndicatorView>& activityIndicatorView)
{
    if (!activityIndicatorView)
        return nil;
    if (auto observer = dv::as<PNActivityIndicatorViewNotificationObserver>(objc_getAssociatedObject(activityIndicatorView, &kObserverKey)))
        return observer;
    auto observer = alloc<PNActivityIndicatorViewNotificationObserver>()->initWithActivityIndicatorView(activityIndicatorView);
    objc_setAssociatedObject(activityIndicatorView, &kObserverKey, observer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return observer;
}

void setAnimatingWithStateOfTask(const Ref<UIActivityIndicatorView>& activityIndicatorView, const Ref<NSURLSessionTask>& task)
{
    if (auto observer = pn_notificationObserver(activityIndicatorView))
        observer->setAnimatingWithStateOfTask(task);
}
