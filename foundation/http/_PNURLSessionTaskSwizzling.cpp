#include "foundation/http/_PNURLSessionTaskSwizzling.h"

#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/NSNotificationCenter.h"

#include <atomic>
#include <mutex>

DV_DEFINE_CLASS(_PNURLSessionTaskSwizzling)

namespace {

std::once_flag s_loadOnce;
std::atomic<bool> s_loaded { false };

} // namespace

void _PNURLSessionTaskSwizzling::load()
{
    std::call_once(s_loadOnce, [] {
        NSURLSessionTask::addStateHook([](const Ref<NSURLSessionTask>& task, NSURLSessionTask::StateCall call, NSURLSessionTaskState before) {
            if (call == NSURLSessionTask::StateCall::Resume)
                pn_resume(task, before);
            else
                pn_suspend(task, before);
        });
        s_loaded = true;
    });
}

bool _PNURLSessionTaskSwizzling::isLoaded()
{
    return s_loaded.load();
}

void _PNURLSessionTaskSwizzling::pn_resume(const Ref<NSURLSessionTask>& task, NSURLSessionTaskState stateBefore)
{
    if (task && stateBefore != NSURLSessionTaskStateRunning)
        NSNotificationCenter::defaultCenter()->postNotificationName(PNTaskStateResumeNotificationName, task);
}

void _PNURLSessionTaskSwizzling::pn_suspend(const Ref<NSURLSessionTask>& task, NSURLSessionTaskState stateBefore)
{
    if (task && stateBefore != NSURLSessionTaskStateSuspended)
        NSNotificationCenter::defaultCenter()->postNotificationName(PNTaskStateSuspendNotificationName, task);
}
