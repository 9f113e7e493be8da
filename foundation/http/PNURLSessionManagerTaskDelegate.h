// PNURLSessionManagerTaskDelegate: the companion a session manager keeps for each of its tasks.
// It gathers the reply bytes, mirrors the task's byte counters into an upload and a download
// progress object (calling the caller's progress blocks on the thread that changed them), moves a
// finished download to the caller's destination and, when the task ends, has the reply parsed on
// the shared processing queue and calls the completion handler on the completion queue inside the
// completion group, then posts the complete notification on the main queue.
//
// Owned by the manager's delegate table only; the manager is held weakly, and kept by the
// completion's blocks until the completion handler has run.
#pragma once

#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/Mutex.h"
#include "platform/dispatch/Observable.h"

class NSMutableData;
class NSProgress;

// The queue replies are parsed on and the group completions run in, shared by every manager.
dispatch_queue_t PNSessionManagerProcessingQueue();
dispatch_group_t PNSessionManagerCompletionGroup();

class PNURLSessionManagerTaskDelegate : public NSObject, public NSKeyValueObserving {
    DV_CLASS(PNURLSessionManagerTaskDelegate, NSObject)

public:
    using DownloadTaskDidFinishDownloadingBlock = std::function<Ref<NSURL>(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&,
        const Ref<NSURL>& location)>;

    PNURLSessionManagerTaskDelegate() = default;
    Ref<PNURLSessionManagerTaskDelegate> init();

    Ref<PNURLSessionManager> manager() const { return m_manager.lock(); }
    void setManager(const Ref<PNURLSessionManager>& manager) { m_manager = manager; }
    Ref<NSMutableData> mutableData() const;
    Ref<NSProgress> uploadProgress() const { return m_uploadProgress; }
    Ref<NSProgress> downloadProgress() const { return m_downloadProgress; }
    Ref<NSURL> downloadFileURL() const;
    void setDownloadFileURL(const Ref<NSURL>& url);
    // Set when moving a finished download to its destination failed; the completion reports it.
    Ref<NSError> downloadMoveError() const;
    void setDownloadMoveError(const Ref<NSError>& error);

    const DownloadTaskDidFinishDownloadingBlock& downloadTaskDidFinishDownloading() const { return m_downloadTaskDidFinishDownloading; }
    void setDownloadTaskDidFinishDownloading(DownloadTaskDidFinishDownloadingBlock block) { m_downloadTaskDidFinishDownloading = std::move(block); }
    void setUploadProgressBlock(PNURLSessionManager::ProgressBlock block);
    void setDownloadProgressBlock(PNURLSessionManager::ProgressBlock block);
    void setCompletionHandler(PNURLSessionManager::CompletionHandler handler) { m_completionHandler = std::move(handler); }

    // Under the manager's lock, at registration and removal.
    void setupProgressForTask(const Ref<NSURLSessionTask>& task);
    void cleanUpProgressForTask(const Ref<NSURLSessionTask>& task);

    void observeValueForKeyPath(const Ref<NSString>& keyPath, const id& object, const Ref<NSDictionary>& change, void* context) override;

    // Forwarded by the manager on the delegate queue.
    void URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSError>& error);
    void URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSData>& data);
    void URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask, const Ref<NSURL>& location);

private:
    Weak<PNURLSessionManager> m_manager;
    mutable dv::Mutex m_mutex;
    Ref<NSMutableData> m_mutableData DV_GUARDED_BY(m_mutex);
    Ref<NSProgress> m_uploadProgress;
    Ref<NSProgress> m_downloadProgress;
    Ref<NSURL> m_downloadFileURL DV_GUARDED_BY(m_mutex);
    Ref<NSError> m_downloadMoveError DV_GUARDED_BY(m_mutex);
    DownloadTaskDidFinishDownloadingBlock m_downloadTaskDidFinishDownloading;
    PNURLSessionManager::ProgressBlock m_uploadProgressBlock DV_GUARDED_BY(m_mutex);
    PNURLSessionManager::ProgressBlock m_downloadProgressBlock DV_GUARDED_BY(m_mutex);
    PNURLSessionManager::CompletionHandler m_completionHandler;
};
