#include "ui/images/internal/TaskNotificationObserver.h"

#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/net/NSURLSessionTask.h"

namespace dv::internal::images {

DV_DEFINE_CLASS(TaskNotificationObserver)

TaskNotificationObserver::~TaskNotificationObserver() { stopListening(); }

void TaskNotificationObserver::stopListening()
{
    auto center = NSNotificationCenter::defaultCenter();
    center->removeObserver(this, PNTaskResumeNotificationName, nullptr);
    center->removeObserver(this, PNTaskSuspendNotificationName, nullptr);
    center->removeObserver(this, PNTaskCompleteNotificationName, nullptr);
}

void TaskNotificationObserver::listen(const Ref<NSURLSessionTask>& task)
{
    auto center = NSNotificationCenter::defaultCenter();
    auto self = this->self<TaskNotificationObserver>();
    center->addObserver(self, &TaskNotificationObserver::handleResume, PNTaskResumeNotificationName, task);
    center->addObserver(self, &TaskNotificationObserver::handleEnd, PNTaskCompleteNotificationName, task);
    center->addObserver(self, &TaskNotificationObserver::handleEnd, PNTaskSuspendNotificationName, task);
}

} // namespace dv::internal::images
