#include "foundation/http/PNURLSessionManager.h"

#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNNetworkReachabilityManager.h"
#include "foundation/http/PNSecurityPolicy.h"
#include "foundation/http/PNURLSessionManagerTaskDelegate.h"
#include "foundation/http/_PNURLSessionTaskSwizzling.h"
#include "foundation/http/internal/SessionManagerDelegateForwarder.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSLock.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/NSProgress.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/system/FoundationVersion.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/NSInputStream.h"

#include <cstdlib>

DV_DEFINE_CLASS(PNURLSessionManager)

const Ref<NSString> PNTaskResumeNotificationName = "com.pellucor.networking.task.resume"_ns;
const Ref<NSString> PNTaskSuspendNotificationName = "com.pellucor.networking.task.suspend"_ns;
const Ref<NSString> PNTaskCompleteNotificationName = "com.pellucor.networking.task.complete"_ns;
const Ref<NSString> PNTaskCompleteResponseSerializerKey = "com.pellucor.networking.task.complete.responseserializer"_ns;
const Ref<NSString> PNTaskCompleteSerializedResponseKey = "com.pellucor.networking.task.complete.serializedresponse"_ns;
// Unlike its siblings this key has no "task." in it; observers look it up as it is.
const Ref<NSString> PNTaskCompleteResponseDataKey = "com.pellucor.networking.complete.finish.responsedata"_ns;
const Ref<NSString> PNTaskCompleteErrorKey = "com.pellucor.networking.task.complete.error"_ns;
const Ref<NSString> PNTaskCompleteAssetPathKey = "com.pellucor.networking.task.complete.assetpath"_ns;
const Ref<NSString> PNSessionInvalidateNotificationName = "com.pellucor.networking.session.invalidate"_ns;
const Ref<NSString> PNDownloadFileManagerErrorNotificationName = "com.pellucor.networking.session.download.file-manager-error"_ns;
const Ref<NSString> PNTaskStateResumeNotificationName = "com.pellucor.networking.nsurlsessiontask.resume"_ns;
const Ref<NSString> PNTaskStateSuspendNotificationName = "com.pellucor.networking.nsurlsessiontask.suspend"_ns;

namespace {

constexpr double kTaskCreationSafeFoundationVersion = 1140.11;
constexpr int kMaximumUploadTaskCreationAttempts = 3;

Ref<NSNumber> keyForTask(const Ref<NSURLSessionTask>& task)
{
    return NSNumber::numberWithUnsignedInteger(task->taskIdentifier());
}

} // namespace

dispatch_queue_t PNSessionManagerCreationQueue()
{
    static const dispatch_queue_t queue = dispatch_queue_create("com.pellucor.networking.session.manager.creation", DISPATCH_QUEUE_SERIAL);
    return queue;
}

template <class T>
Ref<T> PNURLSessionManager::createTaskSafely(const std::function<Ref<T>()>& create)
{
    if (NSFoundationVersionNumber < kTaskCreationSafeFoundationVersion) {
        Ref<T> task;
        dispatch_sync(PNSessionManagerCreationQueue(), [&] { task = create(); });
        return task;
    }
    return create();
}

PNURLSessionManager::~PNURLSessionManager()
{
    NSNotificationCenter::defaultCenter()->removeObserver(static_cast<const NSObject*>(this));
    // Nobody holds the manager and none of its tasks is in flight: nothing can use the session
    // any more, so it is let go now instead of keeping its queue and connections for ever.
    if (m_session)
        m_session->finishTasksAndInvalidate();
}

Ref<PNURLSessionManager> PNURLSessionManager::init()
{
    return initWithSessionConfiguration(nil);
}

Ref<PNURLSessionManager> PNURLSessionManager::initWithSessionConfiguration(const Ref<NSURLSessionConfiguration>& configuration)
{
    _PNURLSessionTaskSwizzling::load();
    m_sessionConfiguration = configuration ? configuration : NSURLSessionConfiguration::defaultSessionConfiguration();
    m_operationQueue = alloc<NSOperationQueue>()->init();
    m_operationQueue->setMaxConcurrentOperationCount(1);
    auto manager = self<PNURLSessionManager>();
    m_forwarder = alloc<dv::internal::http::SessionManagerDelegateForwarder>()->initWithManager(manager);
    m_session = NSURLSession::sessionWithConfiguration(m_sessionConfiguration, m_forwarder, m_operationQueue);

    setResponseSerializer(PNJSONResponseSerializer::serializer());
    setSecurityPolicy(PNSecurityPolicy::defaultPolicy());
    m_reachabilityManager = PNNetworkReachabilityManager::sharedManager();

    m_lock = alloc<NSLock>();
    m_lock->setName("com.pellucor.networking.session.manager.lock"_ns);
    {
        dv::Locker guard(*m_lock);
        m_mutableTaskDelegatesKeyedByTaskIdentifier = NSMutableDictionary::dictionary();
    }
    m_taskDescription = NSString::stringWithFormat("%p", this);

    // Tasks the session already had get delegates too. Only a background session made again with
    // its identifier can have any; the answer comes later, on the delegate queue, and may list
    // tasks made through this manager in the meantime, which keep the delegate they have.
    if (m_sessionConfiguration->identifier()) {
        Weak<PNURLSessionManager> weakManager = manager;
        m_session->getTasksWithCompletionHandler([weakManager](const Ref<NSArray>& dataTasks, const Ref<NSArray>& uploadTasks,
                                                     const Ref<NSArray>& downloadTasks) {
            auto strong = weakManager.lock();
            if (!strong)
                return;
            for (auto& list : { dataTasks, uploadTasks, downloadTasks }) {
                for (NSUInteger i = 0; i < list->count(); ++i) {
                    auto task = dv::as<NSURLSessionTask>(list->objectAtIndex(i));
                    if (!task)
                        continue;
                    auto delegate = alloc<PNURLSessionManagerTaskDelegate>()->init();
                    delegate->setManager(strong);
                    strong->setDelegateForTask(delegate, task, Registration::OnlyIfAbsent);
                }
            }
        });
    }
    return manager;
}

Ref<NSObject> PNURLSessionManager::responseSerializer() const
{
    dv::MutexLocker lock(m_propertyMutex);
    return m_responseSerializer;
}

void PNURLSessionManager::setResponseSerializer(const Ref<NSObject>& serializer)
{
    dv::MutexLocker lock(m_propertyMutex);
    m_responseSerializer = serializer;
}

Ref<PNSecurityPolicy> PNURLSessionManager::securityPolicy() const
{
    dv::MutexLocker lock(m_propertyMutex);
    return m_securityPolicy;
}

void PNURLSessionManager::setSecurityPolicy(const Ref<PNSecurityPolicy>& policy)
{
    dv::MutexLocker lock(m_propertyMutex);
    m_securityPolicy = policy;
}

dispatch_queue_t PNURLSessionManager::completionQueue() const
{
    dv::MutexLocker lock(m_propertyMutex);
    return m_completionQueue;
}

void PNURLSessionManager::setCompletionQueue(const dispatch_queue_t& queue)
{
    dv::MutexLocker lock(m_propertyMutex);
    m_completionQueue = queue;
}

dispatch_group_t PNURLSessionManager::completionGroup() const
{
    dv::MutexLocker lock(m_propertyMutex);
    return m_completionGroup;
}

void PNURLSessionManager::setCompletionGroup(const dispatch_group_t& group)
{
    dv::MutexLocker lock(m_propertyMutex);
    m_completionGroup = group;
}

// Task delegate table

Ref<PNURLSessionManagerTaskDelegate> PNURLSessionManager::delegateForTaskLocked(const Ref<NSURLSessionTask>& task) const
{
    return dv::as<PNURLSessionManagerTaskDelegate>(m_mutableTaskDelegatesKeyedByTaskIdentifier->objectForKeyedSubscript(keyForTask(task)));
}

// The table itself is made once, by init; what it holds is read and changed under the lock.
Ref<NSMutableDictionary> PNURLSessionManager::mutableTaskDelegatesKeyedByTaskIdentifier() const DV_NO_THREAD_SAFETY_ANALYSIS
{
    return m_mutableTaskDelegatesKeyedByTaskIdentifier;
}

Ref<PNURLSessionManagerTaskDelegate> PNURLSessionManager::delegateForTask(const Ref<NSURLSessionTask>& task)
{
    if (!task)
        return nil;
    dv::Locker guard(*m_lock);
    return delegateForTaskLocked(task);
}

void PNURLSessionManager::setDelegateForTask(const Ref<PNURLSessionManagerTaskDelegate>& delegate, const Ref<NSURLSessionTask>& task)
{
    setDelegateForTask(delegate, task, Registration::Replace);
}

bool PNURLSessionManager::setDelegateForTask(const Ref<PNURLSessionManagerTaskDelegate>& delegate, const Ref<NSURLSessionTask>& task,
    Registration registration)
{
    if (!delegate || !task)
        return false;
    dv::Locker guard(*m_lock);
    auto previous = delegateForTaskLocked(task);
    if (previous == delegate || (previous && registration == Registration::OnlyIfAbsent))
        return false;
    if (registration == Registration::OnlyIfAbsent)
        task->setTaskDescription(m_taskDescription);
    // A task is observed once, whatever delegate it has.
    if (previous)
        previous->cleanUpProgressForTask(task);
    else
        addNotificationObserverForTask(task);
    m_mutableTaskDelegatesKeyedByTaskIdentifier->setObjectForKeyedSubscript(delegate, keyForTask(task));
    delegate->setupProgressForTask(task);
    if (m_mutableTaskDelegatesKeyedByTaskIdentifier->count() == 1)
        m_forwarder->keepManagerAlive(true);
    return true;
}

void PNURLSessionManager::removeDelegateForTask(const Ref<NSURLSessionTask>& task)
{
    if (!task)
        return;
    // Emptying the table lets the forwarder drop its link; this keeps the manager alive until the
    // lock is released and the call has returned.
    auto keep = self<PNURLSessionManager>();
    auto delegate = delegateForTask(task);
    dv::Locker guard(*m_lock);
    if (delegate)
        delegate->cleanUpProgressForTask(task);
    removeNotificationObserverForTask(task);
    m_mutableTaskDelegatesKeyedByTaskIdentifier->removeObjectForKey(keyForTask(task));
    if (m_mutableTaskDelegatesKeyedByTaskIdentifier->count() == 0)
        m_forwarder->keepManagerAlive(false);
}

void PNURLSessionManager::addDelegateForDataTask(const Ref<NSURLSessionDataTask>& dataTask, ProgressBlock uploadProgress,
    ProgressBlock downloadProgress, CompletionHandler completionHandler)
{
    if (!dataTask)
        return;
    auto delegate = alloc<PNURLSessionManagerTaskDelegate>()->init();
    delegate->setManager(self<PNURLSessionManager>());
    delegate->setCompletionHandler(std::move(completionHandler));
    dataTask->setTaskDescription(m_taskDescription);
    setDelegateForTask(delegate, dataTask);
    delegate->setUploadProgressBlock(std::move(uploadProgress));
    delegate->setDownloadProgressBlock(std::move(downloadProgress));
}

void PNURLSessionManager::addDelegateForUploadTask(const Ref<NSURLSessionUploadTask>& uploadTask, ProgressBlock uploadProgress,
    CompletionHandler completionHandler)
{
    if (!uploadTask)
        return;
    auto delegate = alloc<PNURLSessionManagerTaskDelegate>()->init();
    delegate->setManager(self<PNURLSessionManager>());
    delegate->setCompletionHandler(std::move(completionHandler));
    uploadTask->setTaskDescription(m_taskDescription);
    setDelegateForTask(delegate, uploadTask);
    delegate->setUploadProgressBlock(std::move(uploadProgress));
}

void PNURLSessionManager::addDelegateForDownloadTask(const Ref<NSURLSessionDownloadTask>& downloadTask, ProgressBlock downloadProgress,
    DestinationBlock destination, CompletionHandler completionHandler)
{
    if (!downloadTask)
        return;
    auto delegate = alloc<PNURLSessionManagerTaskDelegate>()->init();
    delegate->setManager(self<PNURLSessionManager>());
    delegate->setCompletionHandler(std::move(completionHandler));
    if (destination) {
        delegate->setDownloadTaskDidFinishDownloading(
            [destination](const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>& task, const Ref<NSURL>& location) {
                return destination(location, task->response());
            });
    }
    downloadTask->setTaskDescription(m_taskDescription);
    setDelegateForTask(delegate, downloadTask);
    delegate->setDownloadProgressBlock(std::move(downloadProgress));
}

// Resume and suspend

void PNURLSessionManager::addNotificationObserverForTask(const Ref<NSURLSessionTask>& task)
{
    auto center = NSNotificationCenter::defaultCenter();
    auto manager = self<PNURLSessionManager>();
    center->addObserver(manager, &PNURLSessionManager::taskDidResume, PNTaskStateResumeNotificationName, task);
    center->addObserver(manager, &PNURLSessionManager::taskDidSuspend, PNTaskStateSuspendNotificationName, task);
}

void PNURLSessionManager::removeNotificationObserverForTask(const Ref<NSURLSessionTask>& task)
{
    auto center = NSNotificationCenter::defaultCenter();
    center->removeObserver(this, PNTaskStateSuspendNotificationName, task.get());
    center->removeObserver(this, PNTaskStateResumeNotificationName, task.get());
}

namespace {

void repostOnMain(const Ref<NSNotification>& notification, const Ref<NSString>& description, const Ref<NSString>& name)
{
    auto task = dv::as<NSURLSessionTask>(notification->object());
    if (!task || !dv::equal(task->taskDescription(), description))
        return;
    dispatch_async(dispatch_get_main_queue(), [task, name] { NSNotificationCenter::defaultCenter()->postNotificationName(name, task); });
}

} // namespace

void PNURLSessionManager::taskDidResume(const Ref<NSNotification>& notification)
{
    repostOnMain(notification, m_taskDescription, PNTaskResumeNotificationName);
}

void PNURLSessionManager::taskDidSuspend(const Ref<NSNotification>& notification)
{
    repostOnMain(notification, m_taskDescription, PNTaskSuspendNotificationName);
}

// Task lists and invalidation

Ref<NSArray> PNURLSessionManager::tasksForKeyPath(const Ref<NSString>& keyPath)
{
    auto result = std::make_shared<Ref<NSArray>>();
    auto semaphore = dispatch_semaphore_create(0);
    const std::string path = keyPath ? keyPath->utf8() : std::string();
    m_session->getTasksWithCompletionHandler([result, semaphore, path](const Ref<NSArray>& dataTasks, const Ref<NSArray>& uploadTasks,
                                                 const Ref<NSArray>& downloadTasks) {
        if (path == "dataTasks") {
            *result = dataTasks;
        } else if (path == "uploadTasks") {
            *result = uploadTasks;
        } else if (path == "downloadTasks") {
            *result = downloadTasks;
        } else if (path == "tasks") {
            auto all = NSMutableArray::arrayWithArray(dataTasks);
            for (auto& list : { uploadTasks, downloadTasks }) {
                for (NSUInteger i = 0; i < list->count(); ++i)
                    all->addObject(list->objectAtIndex(i));
            }
            *result = all;
        }
        dispatch_semaphore_signal(semaphore);
    });
    dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
    return *result;
}

Ref<NSArray> PNURLSessionManager::tasks() { return tasksForKeyPath("tasks"_ns); }
Ref<NSArray> PNURLSessionManager::dataTasks() { return tasksForKeyPath("dataTasks"_ns); }
Ref<NSArray> PNURLSessionManager::uploadTasks() { return tasksForKeyPath("uploadTasks"_ns); }
Ref<NSArray> PNURLSessionManager::downloadTasks() { return tasksForKeyPath("downloadTasks"_ns); }

void PNURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks)
{
    auto session = m_session;
    dispatch_async(dispatch_get_main_queue(), [session, cancelPendingTasks] {
        if (cancelPendingTasks)
            session->invalidateAndCancel();
        else
            session->finishTasksAndInvalidate();
    });
}

// Task factories

Ref<NSURLSessionDataTask> PNURLSessionManager::dataTaskWithRequest(const Ref<NSURLRequest>& request, CompletionHandler completionHandler)
{
    return dataTaskWithRequest(request, {}, {}, std::move(completionHandler));
}

Ref<NSURLSessionDataTask> PNURLSessionManager::dataTaskWithRequest(const Ref<NSURLRequest>& request, ProgressBlock uploadProgress,
    ProgressBlock downloadProgress, CompletionHandler completionHandler)
{
    auto session = m_session;
    auto task = createTaskSafely<NSURLSessionDataTask>([&] { return session->dataTaskWithRequest(request); });
    addDelegateForDataTask(task, std::move(uploadProgress), std::move(downloadProgress), std::move(completionHandler));
    return task;
}

Ref<NSURLSessionUploadTask> PNURLSessionManager::uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL,
    ProgressBlock uploadProgress, CompletionHandler completionHandler)
{
    auto session = m_session;
    auto create = [&] { return session->uploadTaskWithRequestFromFile(request, fileURL); };
    auto task = createTaskSafely<NSURLSessionUploadTask>(create);
    // Background sessions of old systems sometimes give no task at the first attempt.
    if (!task && m_attemptsToRecreateUploadTasks && m_session->configuration()->identifier()) {
        for (int attempt = 0; !task && attempt < kMaximumUploadTaskCreationAttempts; ++attempt)
            task = create();
    }
    addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

Ref<NSURLSessionUploadTask> PNURLSessionManager::uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request, const Ref<NSData>& bodyData,
    ProgressBlock uploadProgress, CompletionHandler completionHandler)
{
    auto session = m_session;
    auto task = createTaskSafely<NSURLSessionUploadTask>([&] { return session->uploadTaskWithRequestFromData(request, bodyData); });
    addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

Ref<NSURLSessionUploadTask> PNURLSessionManager::uploadTaskWithStreamedRequest(const Ref<NSURLRequest>& request, ProgressBlock uploadProgress,
    CompletionHandler completionHandler)
{
    auto session = m_session;
    auto task = createTaskSafely<NSURLSessionUploadTask>([&] { return session->uploadTaskWithStreamedRequest(request); });
    addDelegateForUploadTask(task, std::move(uploadProgress), std::move(completionHandler));
    return task;
}

Ref<NSURLSessionDownloadTask> PNURLSessionManager::downloadTaskWithRequest(const Ref<NSURLRequest>& request, ProgressBlock downloadProgress,
    DestinationBlock destination, CompletionHandler completionHandler)
{
    auto session = m_session;
    auto task = createTaskSafely<NSURLSessionDownloadTask>([&] { return session->downloadTaskWithRequest(request); });
    addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

Ref<NSURLSessionDownloadTask> PNURLSessionManager::downloadTaskWithResumeData(const Ref<NSData>& resumeData, ProgressBlock downloadProgress,
    DestinationBlock destination, CompletionHandler completionHandler)
{
    auto session = m_session;
    auto task = createTaskSafely<NSURLSessionDownloadTask>([&] { return session->downloadTaskWithResumeData(resumeData); });
    addDelegateForDownloadTask(task, std::move(downloadProgress), std::move(destination), std::move(completionHandler));
    return task;
}

Ref<NSProgress> PNURLSessionManager::uploadProgressForTask(const Ref<NSURLSessionTask>& task)
{
    auto delegate = delegateForTask(task);
    return delegate ? delegate->uploadProgress() : nil;
}

Ref<NSProgress> PNURLSessionManager::downloadProgressForTask(const Ref<NSURLSessionTask>& task)
{
    auto delegate = delegateForTask(task);
    return delegate ? delegate->downloadProgress() : nil;
}

Ref<NSString> PNURLSessionManager::description() const
{
    return NSString::stringWithFormat("<%@: %p, session: %@, operationQueue: %@>", className(), this, m_session, m_operationQueue);
}

bool PNURLSessionManager::respondsToSelector(SEL selector) const
{
    if (selector == SEL("URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:"))
        return bool(m_taskWillPerformHTTPRedirection);
    if (selector == SEL("URLSession:dataTask:didReceiveResponse:completionHandler:"))
        return bool(m_dataTaskDidReceiveResponse);
    if (selector == SEL("URLSession:dataTask:willCacheResponse:completionHandler:"))
        return bool(m_dataTaskWillCacheResponse);
    if (selector == SEL("URLSessionDidFinishEventsForBackgroundURLSession:"))
        return bool(m_didFinishEventsForBackgroundURLSession);
    return NSObject::respondsToSelector(selector);
}

// Session delegate callbacks

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSError>& error)
{
    if (m_sessionDidBecomeInvalid)
        m_sessionDidBecomeInvalid(session, error);
    NSNotificationCenter::defaultCenter()->postNotificationName(PNSessionInvalidateNotificationName, session);
    return true;
}

namespace {

bool isServerTrust(const Ref<NSURLAuthenticationChallenge>& challenge)
{
    return challenge && challenge->protectionSpace()
        && dv::equal(challenge->protectionSpace()->authenticationMethod(), NSURLAuthenticationMethodServerTrust);
}

bool policyTrusts(const Ref<PNSecurityPolicy>& policy, const Ref<NSURLAuthenticationChallenge>& challenge)
{
    return policy && policy->evaluateServerTrust(challenge->protectionSpace()->serverTrust(), challenge->protectionSpace()->host());
}

} // namespace

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLAuthenticationChallenge>& challenge,
    NSURLSessionChallengeCompletion completionHandler)
{
    auto disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    Ref<NSURLCredential> credential;
    if (m_sessionDidReceiveAuthenticationChallenge) {
        disposition = m_sessionDidReceiveAuthenticationChallenge(session, challenge, &credential);
    } else if (isServerTrust(challenge)) {
        if (policyTrusts(securityPolicy(), challenge)) {
            credential = NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust());
            disposition = credential ? NSURLSessionAuthChallengeUseCredential : NSURLSessionAuthChallengePerformDefaultHandling;
        } else {
            disposition = NSURLSessionAuthChallengeRejectProtectionSpace;
        }
    }
    if (completionHandler)
        completionHandler(disposition, credential);
    return true;
}

bool PNURLSessionManager::URLSessionDidFinishEventsForBackgroundURLSession(const Ref<NSURLSession>& session)
{
    if (!m_didFinishEventsForBackgroundURLSession)
        return false;
    auto block = m_didFinishEventsForBackgroundURLSession;
    dispatch_async(dispatch_get_main_queue(), [block, session] { block(session); });
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSHTTPURLResponse>& response,
    const Ref<NSURLRequest>& request, std::function<void(const Ref<NSURLRequest>&)> completionHandler)
{
    if (!m_taskWillPerformHTTPRedirection)
        return false;
    auto redirect = m_taskWillPerformHTTPRedirection(session, task, response, request);
    if (completionHandler)
        completionHandler(redirect);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task,
    const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion completionHandler)
{
    auto disposition = NSURLSessionAuthChallengePerformDefaultHandling;
    Ref<NSURLCredential> credential;
    if (m_taskDidReceiveAuthenticationChallenge) {
        disposition = m_taskDidReceiveAuthenticationChallenge(session, task, challenge, &credential);
    } else if (isServerTrust(challenge)) {
        if (policyTrusts(securityPolicy(), challenge)) {
            disposition = NSURLSessionAuthChallengeUseCredential;
            credential = NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust());
        } else {
            disposition = NSURLSessionAuthChallengeRejectProtectionSpace;
        }
    }
    if (completionHandler)
        completionHandler(disposition, credential);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task,
    std::function<void(const Ref<NSInputStream>&)> completionHandler)
{
    Ref<NSInputStream> stream;
    if (m_taskNeedNewBodyStream) {
        stream = m_taskNeedNewBodyStream(session, task);
    } else if (auto original = task->originalRequest() ? task->originalRequest()->HTTPBodyStream() : nil) {
        // Only a stream that can be copied can be sent again from its start.
        if (original->conformsToCopying())
            stream = dv::as<NSInputStream>(original->copy());
    }
    if (completionHandler)
        completionHandler(stream);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, std::int64_t bytesSent,
    std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend)
{
    std::int64_t expected = totalBytesExpectedToSend;
    if (expected == NSURLSessionTransferSizeUnknown) {
        if (auto length = task->originalRequest() ? task->originalRequest()->valueForHTTPHeaderField("Content-Length"_ns) : nil)
            expected = std::strtoll(length->utf8().c_str(), nullptr, 10);
    }
    if (m_taskDidSendBodyData)
        m_taskDidSendBodyData(session, task, bytesSent, totalBytesSent, expected);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSError>& error)
{
    if (auto delegate = delegateForTask(task)) {
        delegate->URLSession(session, task, error);
        removeDelegateForTask(task);
    }
    if (m_taskDidComplete)
        m_taskDidComplete(session, task, error);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
    const Ref<NSURLResponse>& response, std::function<void(NSURLSessionResponseDisposition)> completionHandler)
{
    if (!m_dataTaskDidReceiveResponse)
        return false;
    auto disposition = m_dataTaskDidReceiveResponse(session, dataTask, response);
    if (completionHandler)
        completionHandler(disposition);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
    const Ref<NSURLSessionDownloadTask>& downloadTask)
{
    if (auto delegate = delegateForTask(dataTask)) {
        removeDelegateForTask(dataTask);
        downloadTask->setTaskDescription(m_taskDescription);
        setDelegateForTask(delegate, downloadTask);
    }
    if (m_dataTaskDidBecomeDownloadTask)
        m_dataTaskDidBecomeDownloadTask(session, dataTask, downloadTask);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSData>& data)
{
    if (auto delegate = delegateForTask(dataTask))
        delegate->URLSession(session, dataTask, data);
    if (m_dataTaskDidReceiveData)
        m_dataTaskDidReceiveData(session, dataTask, data);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
    const Ref<NSCachedURLResponse>& proposedResponse, std::function<void(const Ref<NSCachedURLResponse>&)> completionHandler)
{
    if (!m_dataTaskWillCacheResponse)
        return false;
    auto cached = m_dataTaskWillCacheResponse(session, dataTask, proposedResponse);
    if (completionHandler)
        completionHandler(cached);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask,
    const Ref<NSURL>& location)
{
    auto delegate = delegateForTask(downloadTask);
    if (m_downloadTaskDidFinishDownloading) {
        if (auto destination = m_downloadTaskDidFinishDownloading(session, downloadTask, location)) {
            Ref<NSError> moveError;
            if (NSFileManager::defaultManager()->moveItemAtURL(location, destination, &moveError)) {
                if (delegate)
                    delegate->setDownloadFileURL(destination);
            } else {
                // The completion reports the failed move instead of a file that is not there.
                if (delegate)
                    delegate->setDownloadMoveError(moveError);
                NSNotificationCenter::defaultCenter()->postNotificationName(PNDownloadFileManagerErrorNotificationName, downloadTask,
                    moveError ? moveError->userInfo() : nil);
            }
            return true;
        }
    }
    if (delegate)
        delegate->URLSession(session, downloadTask, location);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask,
    std::int64_t bytesWritten, std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    if (m_downloadTaskDidWriteData)
        m_downloadTaskDidWriteData(session, downloadTask, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    return true;
}

bool PNURLSessionManager::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask,
    std::int64_t fileOffset, std::int64_t expectedTotalBytes)
{
    if (m_downloadTaskDidResume)
        m_downloadTaskDidResume(session, downloadTask, fileOffset, expectedTotalBytes);
    return true;
}

// Coding and copying

void PNURLSessionManager::encodeWithCoder(NSCoder& coder) const
{
    if (dynamic_cast<NSCoding*>(m_session->configuration().get()))
        coder.encodeObject(m_session->configuration(), "sessionConfiguration"_ns);
}

id PNURLSessionManager::initWithCoder(NSCoder& coder)
{
    auto configuration = coder.decodeObjectOfClass<NSURLSessionConfiguration>("sessionConfiguration"_ns);
    return initWithSessionConfiguration(configuration);
}

id PNURLSessionManager::copyWithZone(NSZone*) const
{
    auto copy = std::dynamic_pointer_cast<PNURLSessionManager>(getClass()->createInstance());
    return copy->initWithSessionConfiguration(m_session->configuration());
}
