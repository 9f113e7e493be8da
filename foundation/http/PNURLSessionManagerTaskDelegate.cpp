#include "foundation/http/PNURLSessionManagerTaskDelegate.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSProgress.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/system/NSFileManager.h"

DV_DEFINE_CLASS(PNURLSessionManagerTaskDelegate)

namespace {

const char* const kTaskKeyPaths[] = {
    "countOfBytesReceived",
    "countOfBytesExpectedToReceive",
    "countOfBytesSent",
    "countOfBytesExpectedToSend",
};

} // namespace

dispatch_queue_t PNSessionManagerProcessingQueue()
{
    static const dispatch_queue_t queue = dispatch_queue_create("com.pellucor.networking.session.manager.processing", DISPATCH_QUEUE_CONCURRENT);
    return queue;
}

dispatch_group_t PNSessionManagerCompletionGroup()
{
    static const dispatch_group_t group = dispatch_group_create();
    return group;
}

Ref<PNURLSessionManagerTaskDelegate> PNURLSessionManagerTaskDelegate::init()
{
    {
        dv::MutexLocker lock(m_mutex);
        m_mutableData = NSMutableData::data();
    }
    m_uploadProgress = alloc<NSProgress>()->initWithParent(nil, nil);
    m_uploadProgress->setTotalUnitCount(NSURLSessionTransferSizeUnknown);
    m_downloadProgress = alloc<NSProgress>()->initWithParent(nil, nil);
    m_downloadProgress->setTotalUnitCount(NSURLSessionTransferSizeUnknown);
    return self<PNURLSessionManagerTaskDelegate>();
}

Ref<NSMutableData> PNURLSessionManagerTaskDelegate::mutableData() const
{
    dv::MutexLocker lock(m_mutex);
    return m_mutableData;
}

Ref<NSURL> PNURLSessionManagerTaskDelegate::downloadFileURL() const
{
    dv::MutexLocker lock(m_mutex);
    return m_downloadFileURL;
}

void PNURLSessionManagerTaskDelegate::setDownloadFileURL(const Ref<NSURL>& url)
{
    auto copied = dv::copyAs<NSURL>(url);
    dv::MutexLocker lock(m_mutex);
    m_downloadFileURL = copied;
}

Ref<NSError> PNURLSessionManagerTaskDelegate::downloadMoveError() const
{
    dv::MutexLocker lock(m_mutex);
    return m_downloadMoveError;
}

void PNURLSessionManagerTaskDelegate::setDownloadMoveError(const Ref<NSError>& error)
{
    dv::MutexLocker lock(m_mutex);
    m_downloadMoveError = error;
}

void PNURLSessionManagerTaskDelegate::setUploadProgressBlock(PNURLSessionManager::ProgressBlock block)
{
    dv::MutexLocker lock(m_mutex);
    m_uploadProgressBlock = std::move(block);
}

void PNURLSessionManagerTaskDelegate::setDownloadProgressBlock(PNURLSessionManager::ProgressBlock block)
{
    dv::MutexLocker lock(m_mutex);
    m_downloadProgressBlock = std::move(block);
}

void PNURLSessionManagerTaskDelegate::setupProgressForTask(const Ref<NSURLSessionTask>& task)
{
    m_uploadProgress->setTotalUnitCount(task->countOfBytesExpectedToSend());
    m_downloadProgress->setTotalUnitCount(task->countOfBytesExpectedToReceive());

    // The handlers must not keep the task: the task's own life decides.
    Weak<NSURLSessionTask> weakTask = task;
    for (auto& progress : { m_uploadProgress, m_downloadProgress }) {
        progress->setCancellable(true);
        progress->setCancellationHandler([weakTask] {
            if (auto strong = weakTask.lock())
                strong->cancel();
        });
        progress->setPausable(true);
        progress->setPausingHandler([weakTask] {
            if (auto strong = weakTask.lock())
                strong->suspend();
        });
        progress->setResumingHandler([weakTask] {
            if (auto strong = weakTask.lock())
                strong->resume();
        });
    }

    auto observer = self<PNURLSessionManagerTaskDelegate>();
    for (const char* keyPath : kTaskKeyPaths)
        task->addObserver(observer, std::string_view(keyPath), NSKeyValueObservingOptionNew, nullptr);
    m_downloadProgress->addObserver(observer, std::string_view("fractionCompleted"), NSKeyValueObservingOptionNew, nullptr);
    m_uploadProgress->addObserver(observer, std::string_view("fractionCompleted"), NSKeyValueObservingOptionNew, nullptr);
}

void PNURLSessionManagerTaskDelegate::cleanUpProgressForTask(const Ref<NSURLSessionTask>& task)
{
    for (const char* keyPath : kTaskKeyPaths)
        task->removeObserver(this, std::string_view(keyPath));
    m_downloadProgress->removeObserver(this, std::string_view("fractionCompleted"));
    m_uploadProgress->removeObserver(this, std::string_view("fractionCompleted"));
}

void PNURLSessionManagerTaskDelegate::observeValueForKeyPath(const Ref<NSString>& keyPath, const id& object, const Ref<NSDictionary>& change,
    void*)
{
    if (dv::as<NSURLSessionTask>(object)) {
        auto number = dv::as<NSNumber>(change ? change->objectForKey(std::string_view(NSKeyValueChangeNewKey)) : nil);
        const std::int64_t value = number ? number->longLongValue() : 0;
        const std::string path = keyPath ? keyPath->utf8() : std::string();
        if (path == "countOfBytesReceived")
            m_downloadProgress->setCompletedUnitCount(value);
        else if (path == "countOfBytesExpectedToReceive")
            m_downloadProgress->setTotalUnitCount(value);
        else if (path == "countOfBytesSent")
            m_uploadProgress->setCompletedUnitCount(value);
        else if (path == "countOfBytesExpectedToSend")
            m_uploadProgress->setTotalUnitCount(value);
        return;
    }
    PNURLSessionManager::ProgressBlock block;
    Ref<NSProgress> progress;
    {
        dv::MutexLocker lock(m_mutex);
        if (object.get() == m_downloadProgress.get()) {
            block = m_downloadProgressBlock;
            progress = m_downloadProgress;
        } else if (object.get() == m_uploadProgress.get()) {
            block = m_uploadProgressBlock;
            progress = m_uploadProgress;
        }
    }
    if (block)
        block(progress);
}

void PNURLSessionManagerTaskDelegate::URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>& task, const Ref<NSError>& taskError)
{
    // Kept strongly by the blocks below: the completion needs the manager's serialiser, queue and
    // group even when nobody else holds the manager any more.
    auto manager = m_manager.lock();
    auto userInfo = NSMutableDictionary::dictionary();
    auto serializer = manager ? manager->responseSerializer() : nil;
    userInfo->setObjectForKeyedSubscript(serializer, PNTaskCompleteResponseSerializerKey);

    Ref<NSData> data;
    Ref<NSURL> fileURL;
    Ref<NSError> error = taskError;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_mutableData) {
            data = dv::copyAs<NSData>(m_mutableData);
            m_mutableData = nullptr;
        }
        fileURL = m_downloadFileURL;
        // A download that could not be moved to its destination is a failure of the task: the
        // caller must not be told the file is where it asked.
        if (!error && m_downloadMoveError)
            error = m_downloadMoveError;
    }
    if (fileURL)
        userInfo->setObjectForKeyedSubscript(fileURL, PNTaskCompleteAssetPathKey);
    else if (data)
        userInfo->setObjectForKeyedSubscript(data, PNTaskCompleteResponseDataKey);

    auto handler = std::exchange(m_completionHandler, {});
    dispatch_queue_t completionQueue = manager ? manager->completionQueue() : nil;
    dispatch_group_t completionGroup = manager ? manager->completionGroup() : nil;
    if (!completionQueue)
        completionQueue = dispatch_get_main_queue();
    if (!completionGroup)
        completionGroup = PNSessionManagerCompletionGroup();

    auto finish = [task, userInfo, handler, manager](const id& responseObject, const Ref<NSError>& finalError) {
        if (handler)
            handler(task->response(), responseObject, finalError);
        dispatch_async(dispatch_get_main_queue(), [task, userInfo] {
            NSNotificationCenter::defaultCenter()->postNotificationName(PNTaskCompleteNotificationName, task, userInfo);
        });
    };

    if (error) {
        userInfo->setObjectForKeyedSubscript(error, PNTaskCompleteErrorKey);
        dispatch_group_async(completionGroup, completionQueue, [finish, error] { finish(nil, error); });
        return;
    }

    dispatch_async(PNSessionManagerProcessingQueue(), [finish, task, data, fileURL, userInfo, serializer, completionQueue, completionGroup] {
        Ref<NSError> serializationError;
        id responseObject;
        if (auto* serialization = dynamic_cast<PNURLResponseSerialization*>(serializer.get()))
            responseObject = serialization->responseObjectForResponse(task->response(), data, &serializationError);
        if (fileURL)
            responseObject = fileURL;
        userInfo->setObjectForKeyedSubscript(responseObject, PNTaskCompleteSerializedResponseKey);
        userInfo->setObjectForKeyedSubscript(serializationError, PNTaskCompleteErrorKey);
        dispatch_group_async(completionGroup, completionQueue, [finish, responseObject, serializationError] {
            finish(responseObject, serializationError);
        });
    });
}

void PNURLSessionManagerTaskDelegate::URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSData>& data)
{
    dv::MutexLocker lock(m_mutex);
    if (m_mutableData)
        m_mutableData->appendData(data);
}

void PNURLSessionManagerTaskDelegate::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask,
    const Ref<NSURL>& location)
{
    setDownloadFileURL(nil);
    if (!m_downloadTaskDidFinishDownloading)
        return;
    auto destination = m_downloadTaskDidFinishDownloading(session, downloadTask, location);
    if (!destination)
        return;
    Ref<NSError> moveError;
    if (NSFileManager::defaultManager()->moveItemAtURL(location, destination, &moveError)) {
        setDownloadFileURL(destination);
        return;
    }
    setDownloadMoveError(moveError);
    NSNotificationCenter::defaultCenter()->postNotificationName(PNDownloadFileManagerErrorNotificationName, downloadTask,
        moveError ? moveError->userInfo() : nil);
}
