// UIRefreshControl(PNNetworking): a refresh control that shows refreshing while a URL session task
// of a session manager runs (PNRefreshControlNotificationObserver.h). Main thread only.
//
//   setRefreshingWithStateOfTask(refresh, manager->GET(address, nil, success, failure));
#pragma once

#include "platform/base/NSObject.h"

class NSURLSessionTask;
class PNRefreshControlNotificationObserver;
class UIRefreshControl;

// The control's observer, made and attached on first use.
Ref<PNRefreshControlNotificationObserver> pn_notificationObserver(const Ref<UIRefreshControl>& refreshControl);
// Binds the control to the task (nil: to none).
void setRefreshingWithStateOfTask(const Ref<UIRefreshControl>& refreshControl, const Ref<NSURLSessionTask>& task);
