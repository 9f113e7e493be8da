// UIProgressView(PNNetworking): a progress bar that follows the bytes a URL session task sends or
// receives. Binding observes the task's counters and state; each change of the counter, while the
// expected total is known (above 0), sets the bar to sent / expected (or received / expected) on
// the main queue, animated as the view's flag for that direction says. When the task completes,
// the observation ends. The binding holds the view weakly and lives with it: a view that goes
// first ends its observations, so the task never reaches a view that is gone.
//
// Binding is done on the main thread; the task's changes may come on any thread.
//
//   setProgressWithDownloadProgressOfTask(bar, task, true);
#pragma once

#include "platform/base/NSObject.h"

class NSURLSessionTask;
class UIProgressView;

bool pn_uploadProgressAnimated(const Ref<UIProgressView>& view);
void pn_setUploadProgressAnimated(const Ref<UIProgressView>& view, bool animated);
bool pn_downloadProgressAnimated(const Ref<UIProgressView>& view);
void pn_setDownloadProgressAnimated(const Ref<UIProgressView>& view, bool animated);

// Follow "countOfBytesSent" (upload) or "countOfBytesReceived" (download) of the task until it
// completes; the flag becomes the view's animation flag for that direction.
void setProgressWithUploadProgressOfTask(const Ref<UIProgressView>& view, const Ref<NSURLSessionTask>& task, bool animated);
void setProgressWithDownloadProgressOfTask(const Ref<UIProgressView>& view, const Ref<NSURLSessionTask>& task, bool animated);
