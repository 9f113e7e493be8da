#include "ui/images/PNImageDownloaderMergedTask.h"

#include "platform/base/ClassBuilder.h"
#include "platform/net/NSURLSessionTask.h"
#include "ui/images/PNImageDownloaderResponseHandler.h"

#include <algorithm>

DV_DEFINE_CLASS(PNImageDownloaderMergedTask)

Ref<PNImageDownloaderMergedTask> PNImageDownloaderMergedTask::initWithIdentifier(const Ref<NSString>& identifier,
    const Ref<NSURLSessionDataTask>& task)
{
    init();
    m_identifier = identifier;
    m_task = task;
    return self<PNImageDownloaderMergedTask>();
}

void PNImageDownloaderMergedTask::addResponseHandler(const Ref<PNImageDownloaderResponseHandler>& handler)
{
    if (handler)
        m_responseHandlers.push_back(handler);
}

void PNImageDownloaderMergedTask::removeResponseHandler(const Ref<PNImageDownloaderResponseHandler>& handler)
{
    auto it = std::find(m_responseHandlers.begin(), m_responseHandlers.end(), handler);
    if (it != m_responseHandlers.end())
        m_responseHandlers.erase(it);
}
