// PNImageDownloaderMergedTask: one data task of the network image downloader and every requester
// waiting on it, in order of arrival, under the URL text that identifies it. Used only on the
// downloader's synchronization queue; not locked.
#pragma once

#include "platform/base/NSObject.h"

#include <vector>

class NSURLSessionDataTask;
class PNImageDownloaderResponseHandler;

class PNImageDownloaderMergedTask : public NSObject {
    DV_CLASS(PNImageDownloaderMergedTask, NSObject)

    PNImageDownloaderMergedTask() = default;
    // No handlers yet.
    Ref<PNImageDownloaderMergedTask> initWithIdentifier(const Ref<NSString>& identifier, const Ref<NSURLSessionDataTask>& task);

    Ref<NSString> identifier() const { return m_identifier; }
    Ref<NSURLSessionDataTask> task() const { return m_task; }
    const std::vector<Ref<PNImageDownloaderResponseHandler>>& responseHandlers() const { return m_responseHandlers; }

    void addResponseHandler(const Ref<PNImageDownloaderResponseHandler>& handler);
    // Removes that handler (the same object), when it is there.
    void removeResponseHandler(const Ref<PNImageDownloaderResponseHandler>& handler);

    // Whether the downloader resumed the task and counts it as active.
    bool isStarted() const { return m_started; }
    void markStarted() { m_started = true; }

private:
    Ref<NSString> m_identifier;
    Ref<NSURLSessionDataTask> m_task;
    std::vector<Ref<PNImageDownloaderResponseHandler>> m_responseHandlers;
    bool m_started = false;
};
