// PNURLSessionManager: owns one URL session, answers its delegate callbacks on a delegate queue
// of width 1, and is the one place where tasks are made. For every task it keeps a
// PNURLSessionManagerTaskDelegate (in a table guarded by a non-recursive lock) that gathers the
// reply, mirrors the byte counters into two progress objects and, at the end, runs the response
// serialiser on the shared processing queue and calls the caller's completion handler on the
// completion queue (the main queue unless one is set), inside the completion group. Task life is
// published on the main queue as the resume, suspend and complete notifications below.
//
// Ownership: the session holds a small forwarding delegate, which holds the manager strongly only
// while the manager has tasks in flight. So a manager nobody keeps lives until its last task has
// delivered its completion, and is then freed; freeing it invalidates its session, which lets go
// of the delegate queue and the session's connections. invalidateSessionCancelingTasks: ends a
// session at once, as before.
//
//   auto manager = alloc<PNURLSessionManager>()->initWithSessionConfiguration(nil);
//   auto task = manager->dataTaskWithRequest(request, [](auto response, auto object, auto error) { ... });
//   task->resume();
#pragma once

#include "foundation/http/PNURLResponseSerialization.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLSessionDelegate.h"

#include <functional>

class NSCachedURLResponse;
class NSInputStream;
class NSLock;
class NSMutableDictionary;
class NSNotification;
class NSOperationQueue;
class NSProgress;
class NSURLCredential;
class NSURLSession;
class NSURLSessionConfiguration;
class NSURLSessionDataTask;
class NSURLSessionDownloadTask;
class NSURLSessionTask;
class NSURLSessionUploadTask;
class PNNetworkReachabilityManager;
class PNSecurityPolicy;
class PNURLSessionManagerTaskDelegate;

namespace dv::internal::http {
class SessionManagerDelegateForwarder;
}

// Posted on the main queue with the task as object (no user info).
extern const Ref<NSString> PNTaskResumeNotificationName;  // "com.pellucor.networking.task.resume"
extern const Ref<NSString> PNTaskSuspendNotificationName; // "com.pellucor.networking.task.suspend"
// Posted on the main queue after the completion handler, with the task and the keys below.
extern const Ref<NSString> PNTaskCompleteNotificationName; // "com.pellucor.networking.task.complete"
extern const Ref<NSString> PNTaskCompleteResponseSerializerKey;
extern const Ref<NSString> PNTaskCompleteSerializedResponseKey;
extern const Ref<NSString> PNTaskCompleteResponseDataKey;
extern const Ref<NSString> PNTaskCompleteErrorKey;
extern const Ref<NSString> PNTaskCompleteAssetPathKey;
// Posted on the delegate queue.
extern const Ref<NSString> PNSessionInvalidateNotificationName;
extern const Ref<NSString> PNDownloadFileManagerErrorNotificationName;
// Posted on the thread that resumed or suspended a task (see _PNURLSessionTaskSwizzling).
extern const Ref<NSString> PNTaskStateResumeNotificationName;
extern const Ref<NSString> PNTaskStateSuspendNotificationName;

// The process-wide serial queue on which tasks are made on old platform versions.
dispatch_queue_t PNSessionManagerCreationQueue();

class PNURLSessionManager : public NSObject,
                            public NSURLSessionDataDelegate,
                            public NSURLSessionDownloadDelegate,
                            public NSCoding,
                            public NSCopying {
    DV_CLASS(PNURLSessionManager, NSObject)

public:
    using ProgressBlock = std::function<void(const Ref<NSProgress>& progress)>;
    using CompletionHandler = std::function<void(const Ref<NSURLResponse>& response, const id& responseObject, const Ref<NSError>& error)>;
    using DestinationBlock = std::function<Ref<NSURL>(const Ref<NSURL>& targetPath, const Ref<NSURLResponse>& response)>;

    using SessionDidBecomeInvalidBlock = std::function<void(const Ref<NSURLSession>&, const Ref<NSError>&)>;
    using SessionDidReceiveAuthenticationChallengeBlock = std::function<NSURLSessionAuthChallengeDisposition(
        const Ref<NSURLSession>&, const Ref<NSURLAuthenticationChallenge>&, Ref<NSURLCredential>* credential)>;
    using DidFinishEventsForBackgroundURLSessionBlock = std::function<void(const Ref<NSURLSession>&)>;
    using TaskNeedNewBodyStreamBlock = std::function<Ref<NSInputStream>(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&)>;
    using TaskWillPerformHTTPRedirectionBlock = std::function<Ref<NSURLRequest>(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&,
        const Ref<NSURLResponse>&, const Ref<NSURLRequest>&)>;
    using TaskDidReceiveAuthenticationChallengeBlock = std::function<NSURLSessionAuthChallengeDisposition(const Ref<NSURLSession>&,
        const Ref<NSURLSessionTask>&, const Ref<NSURLAuthenticationChallenge>&, Ref<NSURLCredential>* credential)>;
    using TaskDidSendBodyDataBlock = std::function<void(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, std::int64_t bytesSent,
        std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend)>;
    using TaskDidCompleteBlock = std::function<void(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, const Ref<NSError>&)>;
    using DataTaskDidReceiveResponseBlock = std::function<NSURLSessionResponseDisposition(const Ref<NSURLSession>&,
        const Ref<NSURLSessionDataTask>&, const Ref<NSURLResponse>&)>;
    using DataTaskDidBecomeDownloadTaskBlock = std::function<void(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&,
        const Ref<NSURLSessionDownloadTask>&)>;
    using DataTaskDidReceiveDataBlock = std::function<void(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSData>&)>;
    using DataTaskWillCacheResponseBlock = std::function<Ref<NSCachedURLResponse>(const Ref<NSURLSession>&,
        const Ref<NSURLSessionDataTask>&, const Ref<NSCachedURLResponse>&)>;
    using DownloadTaskDidFinishDownloadingBlock = std::function<Ref<NSURL>(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&,
        const Ref<NSURL>& location)>;
    using DownloadTaskDidWriteDataBlock = std::function<void(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&,
        std::int64_t bytesWritten, std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)>;
    using DownloadTaskDidResumeBlock = std::function<void(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&,
        std::int64_t fileOffset, std::int64_t expectedTotalBytes)>;

    PNURLSessionManager() = default;
    ~PNURLSessionManager() override;
    Ref<PNURLSessionManager> init();
    // nil: the default session configuration.
    virtual Ref<PNURLSessionManager> initWithSessionConfiguration(const Ref<NSURLSessionConfiguration>& configuration);

    Ref<NSURLSessionConfiguration> sessionConfiguration() const { return m_sessionConfiguration; }
    Ref<NSOperationQueue> operationQueue() const { return m_operationQueue; }
    Ref<NSURLSession> session() const { return m_session; }
    Ref<NSMutableDictionary> mutableTaskDelegatesKeyedByTaskIdentifier() const;
    Ref<NSString> taskDescriptionForSessionTasks() const { return m_taskDescription; }
    Ref<NSLock> lock() const { return m_lock; }

    Ref<NSObject> responseSerializer() const;
    // Any object adopting PNURLResponseSerialization.
    void setResponseSerializer(const Ref<NSObject>& serializer);
    Ref<PNSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(const Ref<PNSecurityPolicy>& policy);
    Ref<PNNetworkReachabilityManager> reachabilityManager() const { return m_reachabilityManager; }
    void setReachabilityManager(const Ref<PNNetworkReachabilityManager>& manager) { m_reachabilityManager = manager; }
    // nil: the main queue.
    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(const dispatch_queue_t& queue);
    // nil: the process-wide completion group.
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(const dispatch_group_t& group);
    bool attemptsToRecreateUploadTasksForBackgroundSessions() const { return m_attemptsToRecreateUploadTasks; }
    void setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts) { m_attemptsToRecreateUploadTasks = attempts; }

    // The session's unfinished tasks; blocks until the delegate queue answers, so never call these
    // on the delegate queue.
    Ref<NSArray> tasksForKeyPath(const Ref<NSString>& keyPath);
    Ref<NSArray> tasks();
    Ref<NSArray> dataTasks();
    Ref<NSArray> uploadTasks();
    Ref<NSArray> downloadTasks();

    // On the main queue, later: invalidateAndCancel (YES) or finishTasksAndInvalidate (NO).
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // Task factories: the new task, not resumed, or nil when the session made none.
    Ref<NSURLSessionDataTask> dataTaskWithRequest(const Ref<NSURLRequest>& request, CompletionHandler completionHandler);
    Ref<NSURLSessionDataTask> dataTaskWithRequest(const Ref<NSURLRequest>& request, ProgressBlock uploadProgress,
        ProgressBlock downloadProgress, CompletionHandler completionHandler);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL,
        ProgressBlock uploadProgress, CompletionHandler completionHandler);
    Ref<NSURLSessionUploadTask> uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request, const Ref<NSData>& bodyData,
        ProgressBlock uploadProgress, CompletionHandler completionHandler);
    Ref<NSURLSessionUploadTask> uploadTaskWithStreamedRequest(const Ref<NSURLRequest>& request, ProgressBlock uploadProgress,
        CompletionHandler completionHandler);
    Ref<NSURLSessionDownloadTask> downloadTaskWithRequest(const Ref<NSURLRequest>& request, ProgressBlock downloadProgress,
        DestinationBlock destination, CompletionHandler completionHandler);
    Ref<NSURLSessionDownloadTask> downloadTaskWithResumeData(const Ref<NSData>& resumeData, ProgressBlock downloadProgress,
        DestinationBlock destination, CompletionHandler completionHandler);

    // The task delegate's progress objects; nil for a task the manager does not know.
    Ref<NSProgress> uploadProgressForTask(const Ref<NSURLSessionTask>& task);
    Ref<NSProgress> downloadProgressForTask(const Ref<NSURLSessionTask>& task);

    // The task delegate table (each call takes the lock itself).
    Ref<PNURLSessionManagerTaskDelegate> delegateForTask(const Ref<NSURLSessionTask>& task);
    void setDelegateForTask(const Ref<PNURLSessionManagerTaskDelegate>& delegate, const Ref<NSURLSessionTask>& task);
    void addDelegateForDataTask(const Ref<NSURLSessionDataTask>& dataTask, ProgressBlock uploadProgress, ProgressBlock downloadProgress,
        CompletionHandler completionHandler);
    void addDelegateForUploadTask(const Ref<NSURLSessionUploadTask>& uploadTask, ProgressBlock uploadProgress,
        CompletionHandler completionHandler);
    void addDelegateForDownloadTask(const Ref<NSURLSessionDownloadTask>& downloadTask, ProgressBlock downloadProgress,
        DestinationBlock destination, CompletionHandler completionHandler);
    void removeDelegateForTask(const Ref<NSURLSessionTask>& task);

    // Observers of the two internal state notifications, per task.
    void addNotificationObserverForTask(const Ref<NSURLSessionTask>& task);
    void removeNotificationObserverForTask(const Ref<NSURLSessionTask>& task);
    void taskDidResume(const Ref<NSNotification>& notification);
    void taskDidSuspend(const Ref<NSNotification>& notification);

    // Hooks that take over the session's delegate callbacks.
    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block) { m_sessionDidBecomeInvalid = std::move(block); }
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveAuthenticationChallengeBlock block)
    {
        m_sessionDidReceiveAuthenticationChallenge = std::move(block);
    }
    void setDidFinishEventsForBackgroundURLSessionBlock(DidFinishEventsForBackgroundURLSessionBlock block)
    {
        m_didFinishEventsForBackgroundURLSession = std::move(block);
    }
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block) { m_taskNeedNewBodyStream = std::move(block); }
    void setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block) { m_taskWillPerformHTTPRedirection = std::move(block); }
    void setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveAuthenticationChallengeBlock block)
    {
        m_taskDidReceiveAuthenticationChallenge = std::move(block);
    }
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block) { m_taskDidSendBodyData = std::move(block); }
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block) { m_taskDidComplete = std::move(block); }
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block) { m_dataTaskDidReceiveResponse = std::move(block); }
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block) { m_dataTaskDidBecomeDownloadTask = std::move(block); }
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block) { m_dataTaskDidReceiveData = std::move(block); }
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block) { m_dataTaskWillCacheResponse = std::move(block); }
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block)
    {
        m_downloadTaskDidFinishDownloading = std::move(block);
    }
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block) { m_downloadTaskDidWriteData = std::move(block); }
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block) { m_downloadTaskDidResume = std::move(block); }

    Ref<NSString> description() const override;
    bool respondsToSelector(SEL selector) const;

    // Session delegate callbacks, on the delegate queue. Each answers whether it handled the call
    // (the redirection, response, will-cache and background-events ones only when their hook is
    // set, so the session otherwise does what it does without a delegate).
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSError>& error) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLAuthenticationChallenge>& challenge,
        NSURLSessionChallengeCompletion completionHandler) override;
    bool URLSessionDidFinishEventsForBackgroundURLSession(const Ref<NSURLSession>& session) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSHTTPURLResponse>& response,
        const Ref<NSURLRequest>& request, std::function<void(const Ref<NSURLRequest>&)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSURLAuthenticationChallenge>& challenge,
        NSURLSessionChallengeCompletion completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task,
        std::function<void(const Ref<NSInputStream>&)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, std::int64_t bytesSent, std::int64_t totalBytesSent,
        std::int64_t totalBytesExpectedToSend) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSError>& error) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSURLResponse>& response,
        std::function<void(NSURLSessionResponseDisposition)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
        const Ref<NSURLSessionDownloadTask>& downloadTask) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSData>& data) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSCachedURLResponse>& proposedResponse,
        std::function<void(const Ref<NSCachedURLResponse>&)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask, const Ref<NSURL>& location) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask, std::int64_t fileOffset,
        std::int64_t expectedTotalBytes) override;

    static bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    // A new manager of the same class over the session's configuration; nothing else is copied.
    id copyWithZone(NSZone* zone) const override;

protected:
    // Makes the task on the creation queue on old platform versions, directly otherwise.
    template <class T>
    static Ref<T> createTaskSafely(const std::function<Ref<T>()>& create);

private:
    friend class dv::internal::http::SessionManagerDelegateForwarder;

    Ref<PNURLSessionManagerTaskDelegate> delegateForTaskLocked(const Ref<NSURLSessionTask>& task) const DV_REQUIRES(*m_lock);
    enum class Registration { Replace, OnlyIfAbsent };
    // Answers whether the delegate was stored.
    bool setDelegateForTask(const Ref<PNURLSessionManagerTaskDelegate>& delegate, const Ref<NSURLSessionTask>& task, Registration registration);

    Ref<NSURLSessionConfiguration> m_sessionConfiguration;
    Ref<NSOperationQueue> m_operationQueue;
    Ref<NSURLSession> m_session;
    Ref<dv::internal::http::SessionManagerDelegateForwarder> m_forwarder;
    Ref<NSMutableDictionary> m_mutableTaskDelegatesKeyedByTaskIdentifier DV_GUARDED_BY(*m_lock);
    Ref<NSString> m_taskDescription;
    Ref<NSLock> m_lock;
    Ref<PNNetworkReachabilityManager> m_reachabilityManager;
    bool m_attemptsToRecreateUploadTasks = false;

    // Serialiser, policy, queue and group may be replaced while replies are parsed elsewhere.
    mutable dv::Mutex m_propertyMutex;
    Ref<NSObject> m_responseSerializer DV_GUARDED_BY(m_propertyMutex);
    Ref<PNSecurityPolicy> m_securityPolicy DV_GUARDED_BY(m_propertyMutex);
    dispatch_queue_t m_completionQueue DV_GUARDED_BY(m_propertyMutex);
    dispatch_group_t m_completionGroup DV_GUARDED_BY(m_propertyMutex);

    SessionDidBecomeInvalidBlock m_sessionDidBecomeInvalid;
    SessionDidReceiveAuthenticationChallengeBlock m_sessionDidReceiveAuthenticationChallenge;
    DidFinishEventsForBackgroundURLSessionBlock m_didFinishEventsForBackgroundURLSession;
    TaskNeedNewBodyStreamBlock m_taskNeedNewBodyStream;
    TaskWillPerformHTTPRedirectionBlock m_taskWillPerformHTTPRedirection;
    TaskDidReceiveAuthenticationChallengeBlock m_taskDidReceiveAuthenticationChallenge;
    TaskDidSendBodyDataBlock m_taskDidSendBodyData;
    TaskDidCompleteBlock m_taskDidComplete;
    DataTaskDidReceiveResponseBlock m_dataTaskDidReceiveResponse;
    DataTaskDidBecomeDownloadTaskBlock m_dataTaskDidBecomeDownloadTask;
    DataTaskDidReceiveDataBlock m_dataTaskDidReceiveData;
    DataTaskWillCacheResponseBlock m_dataTaskWillCacheResponse;
    DownloadTaskDidFinishDownloadingBlock m_downloadTaskDidFinishDownloading;
    DownloadTaskDidWriteDataBlock m_downloadTaskDidWriteData;
    DownloadTaskDidResumeBlock m_downloadTaskDidResume;
};
