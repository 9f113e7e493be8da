#include "ui/images/RIWebImageDownloader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCredential.h"
#include "ui/images/internal/DownloadListeners.h"

#include <mutex>

DV_DEFINE_CLASS(RIWebImageDownloader)

using dv::internal::images::DownloadEntry;
using dv::internal::images::DownloadListener;

namespace {

constexpr const char* kBarrierQueueLabel = "com.tornavel.RIWebImageDownloaderBarrierQueue";
constexpr NSInteger kDefaultMaxConcurrentDownloads = 6;
constexpr NSTimeInterval kDefaultDownloadTimeout = 15.0;

std::string keyFor(const Ref<NSURL>& url) { return dv::str(url->absoluteString()); }

} // namespace

// Set-up -------------------------------------------------------------------------------------------

Ref<RIWebImageDownloader> RIWebImageDownloader::sharedDownloader()
{
    static const Ref<RIWebImageDownloader> shared = dv::keepingForever([] { return alloc<RIWebImageDownloader>()->init(); });
    return shared;
}

void RIWebImageDownloader::initialize()
{
    Class indicatorClass = NSClassFromString("RINetworkActivityIndicator"_ns);
    if (!indicatorClass || !indicatorClass->respondsToSelector(SEL("sharedActivityIndicator")))
        return;
    id indicator = indicatorClass->performClassSelector(SEL("sharedActivityIndicator"));
    if (!indicator)
        return;
    auto center = NSNotificationCenter::defaultCenter();
    center->removeObserver(indicator, RIWebImageDownloadStartNotification, nil);
    center->removeObserver(indicator, RIWebImageDownloadStopNotification, nil);
    center->addObserver(indicator, SEL("startActivity"), RIWebImageDownloadStartNotification, nil);
    center->addObserver(indicator, SEL("stopActivity"), RIWebImageDownloadStopNotification, nil);
}

Ref<RIWebImageDownloader> RIWebImageDownloader::init()
{
    static std::once_flag initialized;
    std::call_once(initialized, [] { initialize(); });

    NSObject::init();
    m_operationClass = RIWebImageDownloaderOperation::class_();
    m_downloadQueue = alloc<NSOperationQueue>()->init();
    m_downloadQueue->setMaxConcurrentOperationCount(kDefaultMaxConcurrentDownloads);
    {
        dv::MutexLocker lock(m_settingsLock);
        m_HTTPHeaders = NSMutableDictionary::dictionary();
        m_HTTPHeaders->setObjectForKey("image/*;q=0.8"_ns, "Accept"_ns);
    }
    m_barrierQueue = dispatch_queue_create(kBarrierQueueLabel, DISPATCH_QUEUE_CONCURRENT);
    return self<RIWebImageDownloader>();
}

RIWebImageDownloader::~RIWebImageDownloader()
{
    if (m_downloadQueue)
        m_downloadQueue->cancelAllOperations();
}

// Settings -----------------------------------------------------------------------------------------

void RIWebImageDownloader::setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field)
{
    if (!field)
        return;
    dv::MutexLocker lock(m_settingsLock);
    if (value)
        m_HTTPHeaders->setObjectForKey(value, field);
    else
        m_HTTPHeaders->removeObjectForKey(field);
}

Ref<NSString> RIWebImageDownloader::valueForHTTPHeaderField(const Ref<NSString>& field) const
{
    if (!field)
        return nil;
    dv::MutexLocker lock(m_settingsLock);
    return dv::as<NSString>(m_HTTPHeaders->objectForKey(field));
}

void RIWebImageDownloader::setMaxConcurrentDownloads(NSInteger count) { m_downloadQueue->setMaxConcurrentOperationCount(count); }

NSInteger RIWebImageDownloader::maxConcurrentDownloads() const { return m_downloadQueue->maxConcurrentOperationCount(); }

NSUInteger RIWebImageDownloader::currentDownloadCount() const { return m_downloadQueue->operationCount(); }

void RIWebImageDownloader::setOperationClass(Class operationClass)
{
    const Class base = RIWebImageDownloaderOperation::class_();
    const bool usable = operationClass && operationClass->isSubclassOfClass(base) && operationClass->canCreateInstances();
    m_operationClass = usable ? operationClass : base;
}

Class RIWebImageDownloader::operationClass() const { return m_operationClass; }

void RIWebImageDownloader::setSuspended(bool suspended) { m_downloadQueue->setSuspended(suspended); }

Ref<NSURLCredential> RIWebImageDownloader::urlCredential() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_urlCredential;
}

void RIWebImageDownloader::setUrlCredential(const Ref<NSURLCredential>& credential)
{
    dv::MutexLocker lock(m_settingsLock);
    m_urlCredential = credential;
}

Ref<NSString> RIWebImageDownloader::username() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_username;
}

void RIWebImageDownloader::setUsername(const Ref<NSString>& username)
{
    dv::MutexLocker lock(m_settingsLock);
    m_username = username ? dv::copyAs<NSString>(username) : nil;
}

Ref<NSString> RIWebImageDownloader::password() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_password;
}

void RIWebImageDownloader::setPassword(const Ref<NSString>& password)
{
    dv::MutexLocker lock(m_settingsLock);
    m_password = password ? dv::copyAs<NSString>(password) : nil;
}

RIWebImageDownloaderHeadersFilterBlock RIWebImageDownloader::headersFilter() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_headersFilter;
}

void RIWebImageDownloader::setHeadersFilter(RIWebImageDownloaderHeadersFilterBlock filter)
{
    dv::MutexLocker lock(m_settingsLock);
    m_headersFilter = std::move(filter);
}

// Downloads ----------------------------------------------------------------------------------------

Ref<RIWebImageDownloadToken> RIWebImageDownloader::downloadImageWithURL(const Ref<NSURL>& url, RIWebImageDownloadOptions options,
    RIWebImageDownloaderProgressBlock progressBlock, RIWebImageDownloaderCompletedBlock completedBlock)
{
    return addProgressCallback(std::move(progressBlock), std::move(completedBlock), url,
        [this, url, options](const std::shared_ptr<DownloadEntry>& entry) { return makeOperation(url, options, entry); });
}

Ref<RIWebImageDownloadToken> RIWebImageDownloader::addProgressCallback(RIWebImageDownloaderProgressBlock progressBlock,
    RIWebImageDownloaderCompletedBlock completedBlock, const Ref<NSURL>& url, const CreateCallback& createCallback)
{
    if (!url) {
        if (completedBlock)
            completedBlock(nil, nil, nil, false);
        return nil;
    }
    auto listener = std::make_shared<DownloadListener>(std::move(progressBlock), std::move(completedBlock));

    std::shared_ptr<DownloadEntry> entry;
    Ref<RIWebImageDownloaderOperation> operation;
    bool started = false;
    dispatch_barrier_sync(m_barrierQueue, [&] {
        const std::string key = keyFor(url);
        auto& slot = m_URLCallbacks[key];
        // A download that has delivered its result or was cancelled takes no one any more, even
        // while its entry waits to be forgotten.
        if (slot && !slot->closed)
            operation = slot->operation.lock();
        if (!operation) {
            slot = std::make_shared<DownloadEntry>();
            operation = createCallback ? createCallback(slot) : nil;
            slot->operation = operation;
            started = true;
        }
        slot->listeners.push_back(listener);
        entry = slot;
        if (!operation)
            m_URLCallbacks.erase(key);
    });
    if (!operation)
        return nil;
    return alloc<RIWebImageDownloadToken>()->initWithDownload(self<RIWebImageDownloader>(), url, entry, listener, operation, started);
}

Ref<NSMutableURLRequest> RIWebImageDownloader::makeRequest(const Ref<NSURL>& url, RIWebImageDownloadOptions options) const
{
    NSTimeInterval timeout = m_downloadTimeout;
    if (timeout == 0)
        timeout = kDefaultDownloadTimeout;
    // Without the URL cache option the request goes to the network, so that the image cache is
    // the only cache the image passes through.
    auto request = NSMutableURLRequest::requestWithURL(url,
        (options & RIWebImageDownloadUseURLCache) ? NSURLRequestUseProtocolCachePolicy : NSURLRequestReloadIgnoringLocalCacheData, timeout);
    request->setHTTPShouldHandleCookies((options & RIWebImageDownloadSendCookies) != 0);
    request->setHTTPShouldUsePipelining(true);
    RIWebImageDownloaderHeadersFilterBlock filter;
    Ref<NSDictionary> headers;
    {
        dv::MutexLocker lock(m_settingsLock);
        filter = m_headersFilter;
        headers = NSDictionary::dictionaryWithDictionary(m_HTTPHeaders);
    }
    request->setAllHTTPHeaderFields(filter ? filter(url, headers) : headers);
    return request;
}

Ref<RIWebImageDownloaderOperation> RIWebImageDownloader::makeOperation(const Ref<NSURL>& url, RIWebImageDownloadOptions options,
    const std::shared_ptr<DownloadEntry>& entry)
{
    Weak<RIWebImageDownloader> weak = self<RIWebImageDownloader>();
    const std::string key = keyFor(url);

    auto progressRelay = [weak, entry](NSInteger received, NSInteger expected) {
        auto self = weak.lock();
        if (!self)
            return;
        std::vector<std::shared_ptr<DownloadListener>> listeners;
        dispatch_sync(self->m_barrierQueue, [&] { listeners = entry->listeners; });
        for (auto& listener : listeners) {
            if (!listener->hasProgress())
                continue;
            dispatch_async(dispatch_get_main_queue(), [listener, received, expected] {
                if (listener->cancelled)
                    return;
                if (auto progress = listener->progress())
                    progress(received, expected);
            });
        }
    };
    auto completedRelay = [weak, entry, key](const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error, bool finished) {
        auto self = weak.lock();
        if (!self)
            return;
        std::vector<std::shared_ptr<DownloadListener>> listeners;
        dispatch_barrier_sync(self->m_barrierQueue, [&] {
            listeners = entry->listeners;
            if (finished) {
                entry->closed = true;
                entry->listeners.clear();
                self->forgetEntryLocked(key, entry);
            }
        });
        for (auto& listener : listeners) {
            if (!listener->cancelled)
                if (auto completed = listener->completed())
                    completed(image, data, error, finished);
            // Let go behind the progress calls already on their way to the main queue.
            if (finished)
                dispatch_async(dispatch_get_main_queue(), [listener] { listener->release(); });
        }
    };
    // Waited for, so that once the download is cancelled no new caller joins it.
    auto cancelRelay = [weak, entry, key] {
        auto self = weak.lock();
        if (!self)
            return;
        std::vector<std::shared_ptr<DownloadListener>> listeners;
        dispatch_barrier_sync(self->m_barrierQueue, [&] {
            entry->closed = true;
            listeners = std::exchange(entry->listeners, {});
            self->forgetEntryLocked(key, entry);
        });
        for (auto& listener : listeners)
            listener->release();
    };

    auto instance = dv::as<RIWebImageDownloaderOperation>(m_operationClass.load()->createInstance());
    if (!instance)
        instance = alloc<RIWebImageDownloaderOperation>();
    auto operation = instance->initWithRequest(makeRequest(url, options), options, progressRelay, completedRelay, cancelRelay);
    operation->setShouldDecompressImages(m_shouldDecompressImages);

    Ref<NSURLCredential> credential;
    {
        dv::MutexLocker lock(m_settingsLock);
        if (m_urlCredential)
            credential = m_urlCredential;
        else if (m_username && m_password)
            credential = NSURLCredential::credentialWithUser(m_username, m_password, NSURLCredentialPersistenceForSession);
    }
    operation->setCredential(credential);

    if (options & RIWebImageDownloadHighPriority)
        operation->setQueuePriority(NSOperationQueuePriorityHigh);
    else if (options & RIWebImageDownloadLowPriority)
        operation->setQueuePriority(NSOperationQueuePriorityLow);

    m_downloadQueue->addOperation(operation);
    if (m_executionOrder == RIWebImageDownloadOrderLIFO) {
        if (auto last = m_lastAddedOperation.lock())
            last->addDependency(operation);
        m_lastAddedOperation = operation;
    }
    return operation;
}

Ref<RIWebImageDownloaderOperation> RIWebImageDownloader::removeListener(const Ref<NSURL>& url,
    const std::shared_ptr<DownloadEntry>& entry, const std::shared_ptr<DownloadListener>& listener)
{
    Ref<RIWebImageDownloaderOperation> orphaned;
    dispatch_barrier_sync(m_barrierQueue, [&] {
        if (entry->closed)
            return;
        std::erase(entry->listeners, listener);
        if (!entry->listeners.empty())
            return;
        entry->closed = true;
        forgetEntryLocked(keyFor(url), entry);
        orphaned = entry->operation.lock();
    });
    return orphaned;
}

void RIWebImageDownloader::forgetEntryLocked(const std::string& key, const std::shared_ptr<DownloadEntry>& entry)
{
    auto it = m_URLCallbacks.find(key);
    if (it != m_URLCallbacks.end() && it->second == entry)
        m_URLCallbacks.erase(it);
}
