// A URL session: makes tasks that load URLs over the shared HTTP transport and reports their
// progress to a delegate on a delegate queue, one callback at a time. The session keeps its
// delegate strongly until it is invalidated (finishTasksAndInvalidate or invalidateAndCancel),
// keeps each task until it completes, and each running task keeps the session. Connections are
// reused between the tasks of one session, never between sessions, at most
// HTTPMaximumConnectionsPerHost at a time per host; a session left idle closes its connections
// after a while. Thread-safe.
//
//   auto session = NSURLSession::sessionWithConfiguration(configuration, delegate, nil);
//   auto task = session->dataTaskWithRequest(request);
//   task->resume();
//   ...
//   session->finishTasksAndInvalidate();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/NSURLSessionDelegate.h"
#include "platform/net/NSURLSessionTask.h"

#include <deque>
#include <map>
#include <string>

class NSOperationQueue;

namespace dv::internal::net {
class ConnectionPool;
}

class NSURLSession : public NSObject {
    DV_CLASS(NSURLSession, NSObject)

    NSURLSession() = default;
    ~NSURLSession() override;

    // A session with the default configuration and no delegate; never invalidated.
    static Ref<NSURLSession> sharedSession();
    static Ref<NSURLSession> sessionWithConfiguration(const Ref<NSURLSessionConfiguration>& configuration);
    // A nil queue makes a serial operation queue for the session.
    static Ref<NSURLSession> sessionWithConfiguration(const Ref<NSURLSessionConfiguration>& configuration, const id& delegate,
        const Ref<NSOperationQueue>& delegateQueue);

    Ref<NSURLSessionConfiguration> configuration() const;
    Ref<NSOperationQueue> delegateQueue() const { return m_queue; }
    // nil once the session has been invalidated.
    id delegate() const;
    Ref<NSString> sessionDescription() const;
    void setSessionDescription(const Ref<NSString>& description);

    using DataCompletion = std::function<void(const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& error)>;
    using DownloadCompletion = std::function<void(const Ref<NSURL>& location, const Ref<NSURLResponse>& response, const Ref<NSError>& error)>;

    // Tasks are returned suspended. A task for a URL the session cannot load is still made and
    // fails with NSURLErrorUnsupportedURL once resumed. Making a task after invalidation raises.
    Ref<NSURLSessionDataTask> dataTaskWithRequest(const Ref<NSURLRequest>& request);
    Ref<NSURLSessionDataTask> dataTaskWithURL(const Ref<NSURL>& url);
    // With a completion handler (on the delegate queue) the delegate gets no response or data
    // callbacks for the task, and no completion callback.
    Ref<NSURLSessionDataTask> dataTaskWithRequest(const Ref<NSURLRequest>& request, DataCompletion completionHandler);
    Ref<NSURLSessionDataTask> dataTaskWithURL(const Ref<NSURL>& url, DataCompletion completionHandler);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL, DataCompletion completionHandler);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request, const Ref<NSData>& bodyData);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request, const Ref<NSData>& bodyData, DataCompletion completionHandler);
    // The body comes from the delegate's new-body-stream callback (the request's own stream when
    // the delegate has none).
    Ref<NSURLSessionUploadTask> uploadTaskWithStreamedRequest(const Ref<NSURLRequest>& request);
    Ref<NSURLSessionDownloadTask> downloadTaskWithRequest(const Ref<NSURLRequest>& request);
    Ref<NSURLSessionDownloadTask> downloadTaskWithURL(const Ref<NSURL>& url);
    Ref<NSURLSessionDownloadTask> downloadTaskWithRequest(const Ref<NSURLRequest>& request, DownloadCompletion completionHandler);
    Ref<NSURLSessionDownloadTask> downloadTaskWithResumeData(const Ref<NSData>& resumeData);
    Ref<NSURLSessionDownloadTask> downloadTaskWithResumeData(const Ref<NSData>& resumeData, DownloadCompletion completionHandler);

    // The session's unfinished tasks, answered on the delegate queue.
    void getTasksWithCompletionHandler(std::function<void(const Ref<NSArray>& dataTasks, const Ref<NSArray>& uploadTasks,
        const Ref<NSArray>& downloadTasks)> completionHandler);
    void getAllTasksWithCompletionHandler(std::function<void(const Ref<NSArray>& tasks)> completionHandler);

    void finishTasksAndInvalidate();
    void invalidateAndCancel();

    Ref<NSString> description() const override;

    // Used by the tasks' machinery: the session's own configuration (not a copy; never changed).
    const Ref<NSURLSessionConfiguration>& sessionConfiguration() const { return m_configuration; }
    std::shared_ptr<dv::internal::net::ConnectionPool> connectionPool() const { return m_pool; }
    void taskStarted(const Ref<NSURLSessionTask>& task);
    // Connection slots per host (scheme, host and port): true when one is free now; otherwise
    // `launch` runs when one is released.
    bool acquireHostSlot(const std::string& host, std::function<void()> launch);
    void releaseHostSlot(const std::string& host);
    void taskCompleted(const Ref<NSURLSessionTask>& task);

private:
    template <class T>
    Ref<T> makeTask(const Ref<NSURLRequest>& request, std::function<void(dv::internal::net::TaskDriver&)> configure);
    // Whether an invalidation waits for no more tasks and is to be announced now (once).
    bool becomeInvalidIfDoneLocked() DV_REQUIRES(m_mutex);
    // Tells the delegate on its queue, then lets it go.
    void announceInvalidation() DV_EXCLUDES(m_mutex);

    // Set while the session is made, read only afterwards.
    Ref<NSURLSessionConfiguration> m_configuration;
    Ref<NSOperationQueue> m_queue;
    std::shared_ptr<dv::internal::net::ConnectionPool> m_pool;
    bool m_shared = false;

    mutable dv::Mutex m_mutex;
    id m_delegate DV_GUARDED_BY(m_mutex);
    Ref<NSString> m_description DV_GUARDED_BY(m_mutex);
    std::map<NSUInteger, Ref<NSURLSessionTask>> m_tasks DV_GUARDED_BY(m_mutex);
    std::map<NSUInteger, bool> m_started DV_GUARDED_BY(m_mutex);
    struct HostSlots {
        NSInteger busy = 0;
        std::deque<std::function<void()>> waiting;
    };
    std::map<std::string, HostSlots> m_hosts DV_GUARDED_BY(m_mutex);
    NSUInteger m_nextIdentifier DV_GUARDED_BY(m_mutex) = 1;
    bool m_invalidating DV_GUARDED_BY(m_mutex) = false;
    bool m_invalidated DV_GUARDED_BY(m_mutex) = false;
};
