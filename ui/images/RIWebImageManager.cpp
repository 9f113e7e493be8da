#include "ui/images/RIWebImageManager.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/net/NSURLError.h"
#include "ui/images/internal/MainThreadHandOff.h"

#include <algorithm>

DV_DEFINE_CLASS(RIWebImageManager)

using dv::internal::images::runOnMainThreadSync;

// One load's fixed facts, shared by the blocks it leaves with the cache and the downloader.
struct RIWebImageManager::Load {
    Weak<RIWebImageManager> manager;
    Weak<RIWebImageCombinedOperation> operation;
    Ref<NSURL> url;
    Ref<NSString> key;
    RIWebImageLoadOptions options = 0;
    RIWebImageDownloaderProgressBlock progress;
    RIWebImageCompletionWithFinishedBlock completed;
    // Taken when the load starts, so that a cache or downloader set later does not change it.
    Ref<RIImageCache> cache;
    Ref<RIWebImageDownloader> downloader;
    // Found in the cache and delivered before a refresh.
    Ref<UIImage> cachedImage;

    // On the main thread, unless the load has been cancelled (or let go) by then.
    void deliver(const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType, bool finished) const
    {
        runOnMainThreadSync([&] {
            auto live = operation.lock();
            if (live && !live->isCancelled() && completed)
                completed(image, error, cacheType, finished, url);
        });
    }
};

namespace {

RIWebImageDownloadOptions downloaderOptions(RIWebImageLoadOptions options, bool refreshingCachedImage)
{
    RIWebImageDownloadOptions mapped = 0;
    const std::pair<RIWebImageLoadOptions, RIWebImageDownloadOptions> table[] = {
        {RIWebImageLoadLowPriority, RIWebImageDownloadLowPriority},
        {RIWebImageLoadProgressive, RIWebImageDownloadProgressive},
        {RIWebImageLoadRefreshFromServer, RIWebImageDownloadUseURLCache},
        {RIWebImageLoadInBackground, RIWebImageDownloadInBackground},
        {RIWebImageLoadSendCookies, RIWebImageDownloadSendCookies},
        {RIWebImageLoadTrustAnyCertificate, RIWebImageDownloadTrustAnyCertificate},
        {RIWebImageLoadHighPriority, RIWebImageDownloadHighPriority},
    };
    for (auto [load, download] : table)
        if (options & load)
            mapped |= download;
    // A refresh of what the cache already showed: nothing partial, and nothing at all when the
    // URL cache answers with the response it already had.
    if (refreshingCachedImage) {
        mapped &= ~RIWebImageDownloadOptions(RIWebImageDownloadProgressive);
        mapped |= RIWebImageDownloadIgnoreCachedResponse;
    }
    return mapped;
}

// Failures that say nothing about the URL itself: it is worth trying again later.
bool isPassingFailure(NSInteger code)
{
    switch (code) {
    case NSURLErrorNotConnectedToInternet:
    case NSURLErrorCancelled:
    case NSURLErrorTimedOut:
    case NSURLErrorInternationalRoamingOff:
    case NSURLErrorDataNotAllowed:
    case NSURLErrorCannotFindHost:
    case NSURLErrorCannotConnectToHost:
        return true;
    default:
        return false;
    }
}

} // namespace

// Set-up -------------------------------------------------------------------------------------------

Ref<RIWebImageManager> RIWebImageManager::sharedManager()
{
    static const Ref<RIWebImageManager> shared = dv::keepingForever([] { return alloc<RIWebImageManager>()->init(); });
    return shared;
}

Ref<RIWebImageManager> RIWebImageManager::init()
{
    NSObject::init();
    auto cache = createCache();
    auto downloader = RIWebImageDownloader::sharedDownloader();
    {
        dv::MutexLocker lock(m_settingsLock);
        m_imageCache = std::move(cache);
        m_imageDownloader = std::move(downloader);
    }
    dv::MutexLocker lock(m_runningLock);
    m_runningOperations = NSMutableArray::array();
    return self<RIWebImageManager>();
}

void RIWebImageManager::resetSharedManager()
{
    auto manager = sharedManager();
    manager->cancelAll();
    {
        dv::MutexLocker lock(manager->m_failedLock);
        manager->m_failedURLs.clear();
        manager->m_failedCount.store(0, std::memory_order_release);
    }
    auto cache = manager->createCache();
    auto downloader = RIWebImageDownloader::sharedDownloader();
    dv::MutexLocker lock(manager->m_settingsLock);
    manager->m_delegate.reset();
    manager->m_imageCache = std::move(cache);
    manager->m_imageDownloader = std::move(downloader);
    manager->m_cacheKeyFilter = nullptr;
}

RIWebImageManager::~RIWebImageManager() = default;

Ref<RIImageCache> RIWebImageManager::createCache() { return RIImageCache::sharedImageCache(); }

// Keys and existence -------------------------------------------------------------------------------

Ref<NSString> RIWebImageManager::cacheKeyForURL(const Ref<NSURL>& url) const
{
    Ref<NSString> key;
    (void)cacheAndKeyForURL(url, key);
    return key;
}

Ref<RIImageCache> RIWebImageManager::cacheAndKeyForURL(const Ref<NSURL>& url, Ref<NSString>& key, bool* filtered) const
{
    RIWebImageCacheKeyFilterBlock filter;
    Ref<RIImageCache> cache;
    {
        dv::MutexLocker lock(m_settingsLock);
        cache = m_imageCache;
        if (m_cacheKeyFilter)
            filter = m_cacheKeyFilter;
    }
    // The filter runs outside the lock: it may ask the manager things.
    key = !url ? nil : filter ? filter(url) : url->absoluteString();
    if (filtered)
        *filtered = bool(filter);
    return cache;
}

// Without a cache nothing exists, and the answers with a block never come (as from a nil cache).

bool RIWebImageManager::cachedImageExistsForURL(const Ref<NSURL>& url)
{
    Ref<NSString> key;
    auto cache = cacheAndKeyForURL(url, key);
    return cache && (cache->imageFromMemoryCacheForKey(key) || cache->diskImageExistsWithKey(key));
}

bool RIWebImageManager::diskImageExistsForURL(const Ref<NSURL>& url)
{
    Ref<NSString> key;
    auto cache = cacheAndKeyForURL(url, key);
    return cache && cache->diskImageExistsWithKey(key);
}

void RIWebImageManager::cachedImageExistsForURL(const Ref<NSURL>& url, RIWebImageCheckCacheCompletionBlock completion)
{
    Ref<NSString> key;
    auto cache = cacheAndKeyForURL(url, key);
    if (!cache)
        return;
    if (cache->imageFromMemoryCacheForKey(key)) {
        if (completion)
            dispatch_async(dispatch_get_main_queue(), [completion = std::move(completion)] { completion(true); });
        return;
    }
    cache->diskImageExistsWithKey(key, [completion = std::move(completion)](bool exists) {
        if (completion)
            completion(exists);
    });
}

void RIWebImageManager::diskImageExistsForURL(const Ref<NSURL>& url, RIWebImageCheckCacheCompletionBlock completion)
{
    Ref<NSString> key;
    auto cache = cacheAndKeyForURL(url, key);
    if (!cache)
        return;
    cache->diskImageExistsWithKey(key, [completion = std::move(completion)](bool exists) {
        if (completion)
            completion(exists);
    });
}

// Loads ---------------------------------------------------------------------------------------------

namespace {

Ref<NSURL> asURL(const id& object)
{
    if (!object)
        return nil;
    if (object->getClass() == NSURL::class_())
        return std::static_pointer_cast<NSURL>(object);
    if (auto url = dv::as<NSURL>(object))
        return url;
    if (auto string = dv::as<NSString>(object))
        return NSURL::URLWithString(string);
    return nil;
}

bool isUsableURL(const Ref<NSURL>& url)
{
    if (!url)
        return false;
    auto string = url->absoluteString();
    return string && !string->utf8().empty();
}

} // namespace

Ref<UIImage> RIWebImageManager::imageAnsweredFromMemory(const Ref<NSURL>& url, RIWebImageLoadOptions options) const
{
    if ((options & RIWebImageLoadRefreshFromServer) || !url)
        return nil;
    if (!(options & RIWebImageLoadRetryFailedURL) && isFailedURL(url))
        return nil;
    Ref<NSString> key;
    bool filtered = false;
    auto cache = cacheAndKeyForURL(url, key, &filtered);
    // Without a key filter the key is the URL's absolute string.
    const bool usable = filtered ? isUsableURL(url) : key && !key->utf8().empty();
    return cache && usable ? cache->imageFromMemoryCacheForKey(key) : nil;
}

Ref<RIWebImageCombinedOperation> RIWebImageManager::downloadImageWithURL(const id& urlOrString, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progressBlock, RIWebImageCompletionWithFinishedBlock completedBlock)
{
    Ref<NSURL> url = asURL(urlOrString);
    auto operation = alloc<RIWebImageCombinedOperation>();
    operation->init();
    const bool failedBefore = url && isFailedURL(url);
    if (!isUsableURL(url) || (failedBefore && !(options & RIWebImageLoadRetryFailedURL))) {
        if (completedBlock)
            runOnMainThreadSync([&] {
                completedBlock(nil, NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorFileDoesNotExist, nil), RIImageCacheTypeNone,
                    true, url);
            });
        return operation;
    }

    Ref<NSString> key;
    auto cache = cacheAndKeyForURL(url, key);
    // A memory hit ends the load here: it would join the running list only to leave it again
    // before this call returns (or, from another thread, once the main thread has it).
    if (cache && !(options & RIWebImageLoadRefreshFromServer)) {
        if (auto image = cache->imageFromMemoryCacheForKey(key)) {
            if (completedBlock)
                runOnMainThreadSync([&] {
                    if (!operation->isCancelled())
                        completedBlock(image, nil, RIImageCacheTypeMemory, true, url);
                });
            return operation;
        }
    }

    auto load = std::make_shared<Load>();
    load->manager = self<RIWebImageManager>();
    load->operation = operation;
    load->url = url;
    load->key = key;
    load->options = options;
    load->progress = std::move(progressBlock);
    load->completed = std::move(completedBlock);
    load->cache = cache;
    load->downloader = imageDownloader();
    operation->m_manager = self<RIWebImageManager>();
    addRunning(operation);

    if (!load->cache) {
        // Nothing can be cached: straight to the download.
        handleCacheAnswer(load, operation, nil, RIImageCacheTypeNone);
        return operation;
    }
    // The answer holds the load's handle until it has run.
    auto query = load->cache->queryDiskCacheForKey(load->key,
        [load, operation](const Ref<UIImage>& image, RIImageCacheType cacheType) {
            if (auto self = load->manager.lock())
                self->handleCacheAnswer(load, operation, image, cacheType);
        });
    if (query)
        operation->setCacheOperation(query);
    return operation;
}

Ref<RIWebImageCombinedOperation> RIWebImageManager::downloadWithURL(const id& url, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progressBlock, RIWebImageCompletedWithFinishedBlock completedBlock)
{
    return downloadImageWithURL(url, options, std::move(progressBlock),
        [completedBlock = std::move(completedBlock)](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType,
            bool finished, const Ref<NSURL>&) {
            if (completedBlock)
                completedBlock(image, error, cacheType, finished);
        });
}

void RIWebImageManager::handleCacheAnswer(const std::shared_ptr<Load>& load, const Ref<RIWebImageCombinedOperation>& operation,
    const Ref<UIImage>& cachedImage, RIImageCacheType cacheType)
{
    if (operation->isCancelled()) {
        removeRunning(operation.get());
        return;
    }
    const bool refresh = load->options & RIWebImageLoadRefreshFromServer;
    if (cachedImage && !refresh) {
        load->deliver(cachedImage, nil, cacheType, true);
        removeRunning(operation.get());
        return;
    }
    if (auto delegate = this->delegate()) {
        auto allowed = delegate->imageManagerShouldDownloadImageForURL(self<RIWebImageManager>(), load->url);
        if (allowed && !*allowed) {
            if (cachedImage)
                load->deliver(cachedImage, nil, cacheType, true);
            else
                load->deliver(nil, nil, RIImageCacheTypeNone, true);
            removeRunning(operation.get());
            return;
        }
    }

    if (cachedImage) {
        // What the cache had shows at once; the download may bring a newer one.
        load->cachedImage = cachedImage;
        load->deliver(cachedImage, nil, cacheType, true);
    }
    if (!load->downloader) {
        // Nothing to download with: the load ends as one whose download was not allowed.
        if (!cachedImage)
            load->deliver(nil, nil, RIImageCacheTypeNone, true);
        removeRunning(operation.get());
        return;
    }
    auto token = load->downloader->downloadImageWithURL(load->url, downloaderOptions(load->options, cachedImage != nil), load->progress,
        [load](const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error, bool finished) {
            if (auto self = load->manager.lock())
                self->handleDownloaded(load, image, data, error, finished);
        });
    Weak<RIWebImageManager> weakSelf = self<RIWebImageManager>();
    Weak<RIWebImageCombinedOperation> weakOperation = operation;
    operation->setCancelBlock([token, weakSelf, weakOperation] {
        if (token)
            token->cancel();
        auto self = weakSelf.lock();
        if (auto operation = weakOperation.lock(); self && operation)
            self->removeRunning(operation.get());
    });
}

void RIWebImageManager::handleDownloaded(const std::shared_ptr<Load>& load, const Ref<UIImage>& downloadedImage,
    const Ref<NSData>& data, const Ref<NSError>& error, bool finished)
{
    {
        auto operation = load->operation.lock();
        if (!operation || operation->isCancelled())
            return;
    }
    auto finish = [&] {
        if (!finished)
            return;
        if (auto operation = load->operation.lock())
            removeRunning(operation.get());
    };

    if (error) {
        // Noted before the caller hears of it, so that a request it makes at once knows.
        if (!isPassingFailure(error->code())) {
            dv::MutexLocker lock(m_failedLock);
            if (!findFailedLocked(load->url)) {
                const auto& url = load->url;
                m_failedURLs.emplace_back().make([&] {
                    return NSURL::URLWithString(NSString::fromUTF8(dv::str(url->relativeString())), url->baseURL());
                });
            }
            m_failedCount.store(m_failedURLs.size(), std::memory_order_release);
        }
        load->deliver(nil, error, RIImageCacheTypeNone, finished);
        finish();
        return;
    }
    if (load->options & RIWebImageLoadRetryFailedURL) {
        dv::MutexLocker lock(m_failedLock);
        std::erase_if(m_failedURLs, [&](const dv::Uncounted<NSURL>& failed) { return dv::equal(failed.get(), load->url); });
        m_failedCount.store(m_failedURLs.size(), std::memory_order_release);
    }
    const bool toDisk = !(load->options & RIWebImageLoadMemoryCacheOnly);
    if ((load->options & RIWebImageLoadRefreshFromServer) && load->cachedImage && !downloadedImage) {
        // The URL cache served the response the cached image came from: nothing new.
        finish();
        return;
    }
    auto delegate = this->delegate();
    const bool animated = downloadedImage && downloadedImage->images();
    if (downloadedImage && delegate && (!animated || (load->options & RIWebImageLoadTransformAnimated))) {
        Weak<RIWebImageManager> weakSelf = self<RIWebImageManager>();
        // The load leaves the running list below, before the transform ends: the transform keeps
        // its handle, so that a caller who did not keep it (the prefetcher) still hears the end.
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0),
            [load, keep = load->operation.lock(), weakSelf, delegate, downloadedImage, data, finished, toDisk] {
                auto self = weakSelf.lock();
                if (!self)
                    return;
                auto answer = delegate->imageManagerTransformDownloadedImageWithURL(self, downloadedImage, load->url);
                // A delegate without a transform gives the downloaded image back unchanged.
                Ref<UIImage> transformed = answer ? *answer : downloadedImage;
                if (transformed && finished && load->cache) {
                    const bool same = transformed->isEqual(downloadedImage);
                    load->cache->storeImage(transformed, !same, same ? data : nil, load->key, toDisk);
                }
                load->deliver(transformed, nil, RIImageCacheTypeNone, finished);
            });
        finish();
        return;
    }
    if (downloadedImage && finished && load->cache)
        load->cache->storeImage(downloadedImage, false, data, load->key, toDisk);
    load->deliver(downloadedImage, nil, RIImageCacheTypeNone, finished);
    finish();
}

// Cache, running list ------------------------------------------------------------------------------

void RIWebImageManager::saveImageToCache(const Ref<UIImage>& image, const Ref<NSURL>& url)
{
    if (!image || !url)
        return;
    Ref<NSString> key;
    if (auto cache = cacheAndKeyForURL(url, key))
        cache->storeImage(image, key, true);
}

void RIWebImageManager::cancelAll()
{
    // Taken out under the lock, cancelled outside it: a cancel calls back into removeRunning, and
    // into whatever the operation's owner does when it is cancelled.
    Ref<NSArray> running;
    {
        dv::MutexLocker lock(m_runningLock);
        running = dv::copyAs<NSArray>(m_runningOperations);
        m_runningOperations->removeAllObjects();
    }
    for (NSUInteger i = 0; i < running->count(); ++i)
        std::static_pointer_cast<RIWebImageCombinedOperation>(running->objectAtIndex(i))->cancel();
}

bool RIWebImageManager::isRunning() const
{
    dv::MutexLocker lock(m_runningLock);
    return m_runningOperations->count() > 0;
}

bool RIWebImageManager::isFailedURL(const Ref<NSURL>& url) const
{
    if (m_failedCount.load(std::memory_order_acquire) == 0)
        return false;
    dv::MutexLocker lock(m_failedLock);
    return findFailedLocked(url);
}

bool RIWebImageManager::findFailedLocked(const Ref<NSURL>& url) const
{
    return std::any_of(m_failedURLs.begin(), m_failedURLs.end(), [&](const dv::Uncounted<NSURL>& failed) { return dv::equal(failed.get(), url); });
}

void RIWebImageManager::addRunning(const Ref<RIWebImageCombinedOperation>& operation)
{
    dv::MutexLocker lock(m_runningLock);
    m_runningOperations->addObject(operation);
}

void RIWebImageManager::removeRunning(const RIWebImageCombinedOperation* operation)
{
    id keep; // released after the lock
    dv::MutexLocker lock(m_runningLock);
    const NSUInteger count = m_runningOperations->count();
    // Newest last, and a finishing load is usually among the newest.
    for (NSUInteger i = count; i-- > 0;) {
        if (m_runningOperations->objectAtIndex(i).get() == operation) {
            keep = m_runningOperations->objectAtIndex(i);
            m_runningOperations->removeObjectAtIndex(i);
            break;
        }
    }
}

// Properties ----------------------------------------------------------------------------------------

Ref<RIWebImageManagerDelegate> RIWebImageManager::delegate() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_delegate.lock();
}

void RIWebImageManager::setDelegate(const Ref<RIWebImageManagerDelegate>& delegate)
{
    dv::MutexLocker lock(m_settingsLock);
    m_delegate = delegate;
}

Ref<RIImageCache> RIWebImageManager::imageCache() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_imageCache;
}

void RIWebImageManager::setImageCache(const Ref<RIImageCache>& cache)
{
    dv::MutexLocker lock(m_settingsLock);
    m_imageCache = cache;
}

Ref<RIWebImageDownloader> RIWebImageManager::imageDownloader() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_imageDownloader;
}

void RIWebImageManager::setImageDownloader(const Ref<RIWebImageDownloader>& downloader)
{
    dv::MutexLocker lock(m_settingsLock);
    m_imageDownloader = downloader;
}

RIWebImageCacheKeyFilterBlock RIWebImageManager::cacheKeyFilter() const
{
    dv::MutexLocker lock(m_settingsLock);
    return m_cacheKeyFilter;
}

void RIWebImageManager::setCacheKeyFilter(RIWebImageCacheKeyFilterBlock filter)
{
    dv::MutexLocker lock(m_settingsLock);
    m_cacheKeyFilter = std::move(filter);
}

Ref<NSSet> RIWebImageManager::failedURLs() const
{
    dv::MutexLocker lock(m_failedLock);
    auto urls = NSMutableSet::set();
    for (const auto& failed : m_failedURLs)
        urls->addObject(failed.get());
    return dv::copyAs<NSSet>(urls);
}

Ref<NSArray> RIWebImageManager::runningOperations() const
{
    dv::MutexLocker lock(m_runningLock);
    return dv::copyAs<NSArray>(m_runningOperations);
}
