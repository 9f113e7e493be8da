#include "ui/images/PNImageDownloader.h"

#include "foundation/http/PNHTTPSessionManager.h"
#include "foundation/http/PNImageResponseSerializer.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSUUID.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/NSURLSessionTask.h"
#include "ui/images/PNAutoPurgingImageCache.h"
#include "ui/images/PNImageDownloadReceipt.h"
#include "ui/images/PNImageDownloaderMergedTask.h"

#include <algorithm>
#include <map>

DV_DEFINE_CLASS(PNImageDownloader)

namespace {

constexpr NSUInteger kMiB = 1024 * 1024;

bool isKnownOrder(NSInteger order) { return order == PNImageDownloadPrioritizationFIFO || order == PNImageDownloadPrioritizationLIFO; }

bool mayAnswerFromCache(NSURLRequestCachePolicy policy)
{
    switch (policy) {
    case NSURLRequestUseProtocolCachePolicy:
    case NSURLRequestReturnCacheDataElseLoad:
    case NSURLRequestReturnCacheDataDontLoad:
        return true;
    default:
        return false;
    }
}

void failLater(const PNImageDownloadFailureBlock& failure, const Ref<NSURLRequest>& request, const Ref<NSError>& error)
{
    if (failure)
        dispatch_async(dispatch_get_main_queue(), [failure, request, error] { failure(request, nil, error); });
}

} // namespace

Ref<PNImageDownloader> PNImageDownloader::init()
{
    auto sessionManager = dv::as<PNHTTPSessionManager>(alloc<PNHTTPSessionManager>()->initWithSessionConfiguration(
        defaultURLSessionConfiguration()));
    sessionManager->setResponseSerializer(PNImageResponseSerializer::serializer());
    return initWithSessionManager(sessionManager, PNImageDownloadPrioritizationFIFO, 4, alloc<PNAutoPurgingImageCache>()->init());
}

Ref<PNImageDownloader> PNImageDownloader::initWithSessionManager(const Ref<PNHTTPSessionManager>& sessionManager,
    PNImageDownloadPrioritization downloadPrioritization, NSInteger maximumActiveDownloads, const Ref<PNImageRequestCache>& imageCache)
{
    if (!isKnownOrder(downloadPrioritization)) {
        NSLog("PNImageDownloader: unknown download order %ld refused", long(downloadPrioritization));
        return nil;
    }
    NSObject::init();
    m_sessionManager = sessionManager;
    m_downloadPrioritization = downloadPrioritization;
    m_maximumActiveDownloads = maximumActiveDownloads;
    m_imageCache = imageCache;
    m_activeRequestCount = 0;
    const auto syncLabel = NSString::stringWithFormat("com.pellucor.imagedownloader.synchronizationqueue-%@", NSUUID::UUID()->UUIDString());
    m_synchronizationQueue = dispatch_queue_create(syncLabel->UTF8String(), DISPATCH_QUEUE_SERIAL);
    const auto responseLabel = NSString::stringWithFormat("com.pellucor.imagedownloader.responsequeue-%@", NSUUID::UUID()->UUIDString());
    m_responseQueue = dispatch_queue_create(responseLabel->UTF8String(), DISPATCH_QUEUE_CONCURRENT);
    return self<PNImageDownloader>();
}

PNImageDownloader::~PNImageDownloader()
{
    // Tasks still waiting would never start now: cancel them so that their session can let go.
    // Their completions find no downloader and do nothing; running tasks run to their end.
    for (auto& merged : m_queuedMergedTasks)
        if (merged->task()->state() == NSURLSessionTaskStateSuspended)
            merged->task()->cancel();
}

Ref<PNImageDownloader> PNImageDownloader::defaultInstance()
{
    // Kept for the life of the process and never destroyed: at exit its session would otherwise be
    // ended after the threads it reports on are gone.
    static const auto* instance = new Ref<PNImageDownloader>(dv::keepingForever([] { return alloc<PNImageDownloader>()->init(); }));
    return *instance;
}

Ref<NSURLCache> PNImageDownloader::defaultURLCache()
{
    return alloc<NSURLCache>()->initWithMemoryCapacity(20 * kMiB, 150 * kMiB, "com.pellucor.imagedownloader"_ns);
}

Ref<NSURLSessionConfiguration> PNImageDownloader::defaultURLSessionConfiguration()
{
    auto configuration = NSURLSessionConfiguration::defaultSessionConfiguration();
    configuration->setHTTPShouldSetCookies(true);
    configuration->setHTTPShouldUsePipelining(false);
    configuration->setRequestCachePolicy(NSURLRequestUseProtocolCachePolicy);
    configuration->setAllowsCellularAccess(true);
    configuration->setTimeoutIntervalForRequest(60.0);
    configuration->setURLCache(defaultURLCache());
    return configuration;
}

// Requests -----------------------------------------------------------------------------------------

Ref<PNImageDownloadReceipt> PNImageDownloader::downloadImageForURLRequest(const Ref<NSURLRequest>& request,
    PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure)
{
    return downloadImageForURLRequest(request, NSUUID::UUID(), std::move(success), std::move(failure));
}

Ref<PNImageDownloadReceipt> PNImageDownloader::downloadImageForURLRequest(const Ref<NSURLRequest>& request, const Ref<NSUUID>& receiptID,
    PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure)
{
    // The table is keyed by the URL's text: a request without one can be neither merged nor
    // fetched, so it is refused, as a bad URL, the way every other failure arrives.
    if (!request || !request->URL() || !request->URL()->absoluteString() || request->URL()->absoluteString()->length() == 0) {
        failLater(failure, request, dv::makeURLError(NSURLErrorBadURL, request ? request->URL() : nil));
        return nil;
    }
    const auto uuid = receiptID ? receiptID : NSUUID::UUID();
    const auto key = request->URL()->absoluteString();
    Ref<NSURLSessionDataTask> task;
    Ref<NSError> creationError;
    dispatch_sync(m_synchronizationQueue, [&] {
        if (auto it = m_mergedTasks.find(key->utf8()); it != m_mergedTasks.end()) {
            it->second->addResponseHandler(alloc<PNImageDownloaderResponseHandler>()->initWithUUID(uuid, success, failure));
            task = it->second->task();
            return;
        }
        if (mayAnswerFromCache(request->cachePolicy()) && m_imageCache) {
            if (auto image = m_imageCache->imageforRequest(request, nil)) {
                if (success)
                    dispatch_async(dispatch_get_main_queue(), [success, request, image] { success(request, nil, image); });
                return;
            }
        }
        // The completion holds the merged task until it has run, so that it can tell whether its
        // task was started and whether the table still holds it.
        auto box = std::make_shared<Ref<PNImageDownloaderMergedTask>>();
        Weak<PNImageDownloader> weak = self<PNImageDownloader>();
        task = m_sessionManager ? m_sessionManager->dataTaskWithRequest(request,
                   [weak, box, key, request](const Ref<NSURLResponse>& response, const id& responseObject, const Ref<NSError>& error) {
                       auto merged = std::exchange(*box, nil);
                       auto self = weak.lock();
                       if (!self)
                           return;
                       dispatch_async(self->m_responseQueue, [weak, merged, key, request, response, responseObject, error] {
                           if (auto self = weak.lock())
                               self->handleCompletion(key, merged, request, response, responseObject, error);
                       });
                   })
                               : nil;
        if (!task) {
            creationError = dv::makeURLError(NSURLErrorUnknown, request->URL());
            return;
        }
        auto merged = alloc<PNImageDownloaderMergedTask>()->initWithIdentifier(key, task);
        *box = merged;
        merged->addResponseHandler(alloc<PNImageDownloaderResponseHandler>()->initWithUUID(uuid, success, failure));
        m_mergedTasks[key->utf8()] = merged;
        if (isActiveRequestCountBelowMaximumLimit())
            startMergedTask(merged);
        else
            enqueueMergedTask(merged);
    });
    if (creationError)
        failLater(failure, request, creationError);
    if (!task)
        return nil;
    return alloc<PNImageDownloadReceipt>()->initWithReceiptID(uuid, task);
}

void PNImageDownloader::handleCompletion(const Ref<NSString>& key, const Ref<PNImageDownloaderMergedTask>& mergedTask,
    const Ref<NSURLRequest>& request, const Ref<NSURLResponse>& response, const id& responseObject, const Ref<NSError>& error)
{
    // A task withdrawn before it started has left the table already (and has nobody waiting).
    const bool registered = mergedTask && safelyRemoveMergedTaskWithIdentifier(key, mergedTask);
    if (registered) {
        auto httpResponse = dv::as<NSHTTPURLResponse>(response);
        auto image = dv::as<UIImage>(responseObject);
        auto main = dispatch_get_main_queue();
        if (error || !image) {
            // A serialiser always answers an error with no image; the second test is only a guard.
            auto failure = error ? error : dv::makeURLError(NSURLErrorCannotDecodeContentData, request->URL());
            for (auto& handler : mergedTask->responseHandlers())
                if (auto& block = handler->failureBlock())
                    dispatch_async(main, [block, request, httpResponse, failure] { block(request, httpResponse, failure); });
        } else {
            if (m_imageCache)
                m_imageCache->addImage(image, request, nil);
            for (auto& handler : mergedTask->responseHandlers())
                if (auto& block = handler->successBlock())
                    dispatch_async(main, [block, request, httpResponse, image] { block(request, httpResponse, image); });
        }
    }
    safelyDecrementActiveTaskCount(mergedTask);
    safelyStartNextTaskIfNecessary();
}

// Withdrawing --------------------------------------------------------------------------------------

void PNImageDownloader::cancelTaskForImageDownloadReceipt(const Ref<PNImageDownloadReceipt>& receipt)
{
    if (!receipt || !receipt->task())
        return;
    dispatch_sync(m_synchronizationQueue, [&] {
        auto task = receipt->task();
        auto original = task->originalRequest();
        auto url = original ? original->URL() : nil;
        if (!url)
            return;
        auto it = m_mergedTasks.find(url->absoluteString()->utf8());
        // Nothing under the URL, or a later task for it: this receipt's download has ended.
        if (it == m_mergedTasks.end() || it->second->task() != task)
            return;
        auto merged = it->second;
        const auto& handlers = merged->responseHandlers();
        auto found = std::find_if(handlers.begin(), handlers.end(), [&](const Ref<PNImageDownloaderResponseHandler>& handler) {
            return dv::equal(handler->uuid(), receipt->receiptID());
        });
        if (found != handlers.end()) {
            auto handler = *found;
            merged->removeResponseHandler(handler);
            auto info = NSDictionary::of({{NSLocalizedFailureReasonErrorKey,
                NSString::stringWithFormat("ImageDownloader cancelled URL request: %@", url->absoluteString())}});
            auto error = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorCancelled, info);
            if (auto block = handler->failureBlock())
                dispatch_async(dispatch_get_main_queue(), [block, original, error] { block(original, nil, error); });
        }
        if (merged->responseHandlers().empty() && task->state() == NSURLSessionTaskStateSuspended) {
            // Nobody waits for a task that never ran: it goes at once, so that a later request for
            // the URL makes a task of its own instead of joining a cancelled one.
            task->cancel();
            m_mergedTasks.erase(it);
            forgetQueuedMergedTask(merged);
        }
    });
}

// Bookkeeping ----------------------------------------------------------------------------------------

bool PNImageDownloader::safelyRemoveMergedTaskWithIdentifier(const Ref<NSString>& identifier,
    const Ref<PNImageDownloaderMergedTask>& mergedTask)
{
    bool removed = false;
    dispatch_sync(m_synchronizationQueue, [&] {
        auto it = m_mergedTasks.find(identifier->utf8());
        if (it != m_mergedTasks.end() && it->second == mergedTask) {
            m_mergedTasks.erase(it);
            removed = true;
        }
    });
    return removed;
}

void PNImageDownloader::safelyDecrementActiveTaskCount(const Ref<PNImageDownloaderMergedTask>& mergedTask)
{
    dispatch_sync(m_synchronizationQueue, [&] {
        // Only started tasks were counted; one cancelled while it waited never was.
        if (mergedTask && mergedTask->isStarted() && m_activeRequestCount > 0)
            --m_activeRequestCount;
    });
}

void PNImageDownloader::safelyStartNextTaskIfNecessary()
{
    dispatch_sync(m_synchronizationQueue, [&] {
        if (!isActiveRequestCountBelowMaximumLimit())
            return;
        while (!m_queuedMergedTasks.empty()) {
            auto merged = dequeueMergedTask();
            if (merged->task()->state() == NSURLSessionTaskStateSuspended) {
                startMergedTask(merged);
                break;
            }
        }
    });
}

void PNImageDownloader::startMergedTask(const Ref<PNImageDownloaderMergedTask>& mergedTask)
{
    mergedTask->markStarted();
    mergedTask->task()->resume();
    ++m_activeRequestCount;
}

void PNImageDownloader::enqueueMergedTask(const Ref<PNImageDownloaderMergedTask>& mergedTask)
{
    if (m_downloadPrioritization == PNImageDownloadPrioritizationLIFO)
        m_queuedMergedTasks.insert(m_queuedMergedTasks.begin(), mergedTask);
    else
        m_queuedMergedTasks.push_back(mergedTask);
}

Ref<PNImageDownloaderMergedTask> PNImageDownloader::dequeueMergedTask()
{
    if (m_queuedMergedTasks.empty())
        return nil;
    auto front = m_queuedMergedTasks.front();
    m_queuedMergedTasks.erase(m_queuedMergedTasks.begin());
    return front;
}

bool PNImageDownloader::isActiveRequestCountBelowMaximumLimit() const { return m_activeRequestCount < m_maximumActiveDownloads; }

void PNImageDownloader::forgetQueuedMergedTask(const Ref<PNImageDownloaderMergedTask>& mergedTask)
{
    auto it = std::find(m_queuedMergedTasks.begin(), m_queuedMergedTasks.end(), mergedTask);
    if (it != m_queuedMergedTasks.end())
        m_queuedMergedTasks.erase(it);
}

// Properties -----------------------------------------------------------------------------------------

PNImageDownloadPrioritization PNImageDownloader::downloadPrioritizaton() const
{
    auto order = PNImageDownloadPrioritizationFIFO;
    dispatch_sync(m_synchronizationQueue, [&] { order = m_downloadPrioritization; });
    return order;
}

void PNImageDownloader::setDownloadPrioritizaton(PNImageDownloadPrioritization order)
{
    if (!isKnownOrder(order)) {
        NSLog("PNImageDownloader: unknown download order %ld ignored", long(order));
        return;
    }
    dispatch_sync(m_synchronizationQueue, [&] { m_downloadPrioritization = order; });
}

NSInteger PNImageDownloader::maximumActiveDownloads() const
{
    NSInteger maximum = 0;
    dispatch_sync(m_synchronizationQueue, [&] { maximum = m_maximumActiveDownloads; });
    return maximum;
}

void PNImageDownloader::setMaximumActiveDownloads(NSInteger maximum)
{
    dispatch_sync(m_synchronizationQueue, [&] { m_maximumActiveDownloads = maximum; });
}

NSInteger PNImageDownloader::activeRequestCount() const
{
    NSInteger count = 0;
    dispatch_sync(m_synchronizationQueue, [&] { count = m_activeRequestCount; });
    return count;
}

std::vector<Ref<PNImageDownloaderMergedTask>> PNImageDownloader::queuedMergedTasks() const
{
    std::vector<Ref<PNImageDownloaderMergedTask>> queued;
    dispatch_sync(m_synchronizationQueue, [&] { queued = m_queuedMergedTasks; });
    return queued;
}

std::unordered_map<std::string, Ref<PNImageDownloaderMergedTask>> PNImageDownloader::mergedTasks() const
{
    std::unordered_map<std::string, Ref<PNImageDownloaderMergedTask>> tasks;
    dispatch_sync(m_synchronizationQueue, [&] { tasks = m_mergedTasks; });
    return tasks;
}

// The categories' class setting ------------------------------------------------------------------------

namespace {
dv::Mutex s_classDownloadersMutex;
// Never destroyed, as the default instance.
std::map<Class, Ref<PNImageDownloader>>& classDownloaders()
{
    static auto* table = new std::map<Class, Ref<PNImageDownloader>>();
    return *table;
}
} // namespace

Ref<PNImageDownloader> sharedImageDownloader(Class viewClass)
{
    {
        dv::MutexLocker lock(s_classDownloadersMutex);
        auto it = classDownloaders().find(viewClass);
        if (it != classDownloaders().end())
            return it->second;
    }
    return PNImageDownloader::defaultInstance();
}

void setSharedImageDownloader(Class viewClass, const Ref<PNImageDownloader>& downloader)
{
    dv::MutexLocker lock(s_classDownloadersMutex);
    if (downloader)
        classDownloaders()[viewClass] = downloader;
    else
        classDownloaders().erase(viewClass);
}
