// _PNURLSessionTaskSwizzling: makes every resume and suspend of every URL session task
// observable. Once installed, a resume of a task that was not running posts
// PNTaskStateResumeNotificationName, and a suspend of a task that was not suspended posts
// PNTaskStateSuspendNotificationName, each on the thread that made the call, with the task as
// object. Session managers turn these into their public notifications for their own tasks.
//
// load() is the class's install step: the application entry calls it, and every session manager
// calls it when it is made, so it is safe to call any number of times from any thread.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/net/NSURLSessionTask.h"

class _PNURLSessionTaskSwizzling : public NSObject {
    DV_CLASS(_PNURLSessionTaskSwizzling, NSObject)

    _PNURLSessionTaskSwizzling() = default;

    static void load();
    static bool isLoaded();

    // What runs after a task's own resume or suspend, given the state the task had before it.
    static void pn_resume(const Ref<NSURLSessionTask>& task, NSURLSessionTaskState stateBefore);
    static void pn_suspend(const Ref<NSURLSessionTask>& task, NSURLSessionTaskState stateBefore);
};
