// UIActivityIndicatorView(PNNetworking): an activity indicator that spins while a URL session task
// of a session manager runs (PNActivityIndicatorViewNotificationObserver.h). Main thread only.
//
//   setAnimatingWithStateOfTask(spinner, manager->GET(address, nil, success, failure));
#pragma once

#include "platform/base/NSObject.h"

class NSURLSessionTask;
class PNActivityIndicatorViewNotificationObserver;
class UIActivityIndicatorView;

// The indicator's observer, made and attached on first use.
Ref<PNActivityIndicatorViewNotificationObserver> pn_notificationObserver(const Ref<UIActivityIndicatorView>& activityIndicatorView);
// Binds the indicator to the task (nil: to none).
void setAnimatingWithStateOfTask(const Ref<UIActivityIndicatorView>& activityIndicatorView, const Ref<NSURLSessionTask>& task);
