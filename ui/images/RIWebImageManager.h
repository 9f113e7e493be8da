// RIWebImageManager: turns a URL into an image. Each load asks the image cache (memory, then
// disk); on a miss, or when asked to refresh, the downloader fetches the bytes; an optional
// delegate may transform the downloaded image; the result is stored in the cache and handed to
// the caller's completion block on the main thread. URLs whose download failed for a lasting
// reason (not a cancellation, a time-out or a missing network) are remembered and answered at
// once with an error unless the caller asks to retry them. The view categories and the
// prefetcher load through it; one shared instance serves the process.
//
// Threads: loads may start on any thread. Completions run on the main thread: at once when the
// code is already there (a memory hit asked for on the main thread completes before the call
// returns), otherwise handed over synchronously, the reporting thread waiting. The failed set and
// the running list each have a lock of their own.
//
//   RIWebImageManager::sharedManager()->downloadImageWithURL(url, RIWebImageLoadRetryFailedURL, nil,
//       [](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType type, bool finished,
//           const Ref<NSURL>& url) { ... });
#pragma once

#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSURL.h"
#include "ui/images/RIImageCache.h"
#include "ui/images/RIWebImageCombinedOperation.h"
#include "ui/images/RIWebImageDownloader.h"

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

using RIWebImageLoadOptions = NSUInteger;
enum : RIWebImageLoadOptions {
    // A URL that failed before is tried anyway; a success takes it off the failed set.
    RIWebImageLoadRetryFailedURL = 1 << 0,
    RIWebImageLoadLowPriority = 1 << 1,
    // The downloaded image goes to the memory level only.
    RIWebImageLoadMemoryCacheOnly = 1 << 2,
    // Partial images while the download runs (finished NO).
    RIWebImageLoadProgressive = 1 << 3,
    // A cached image is delivered, then downloaded again through the URL cache.
    RIWebImageLoadRefreshFromServer = 1 << 4,
    RIWebImageLoadInBackground = 1 << 5,
    RIWebImageLoadSendCookies = 1 << 6,
    RIWebImageLoadTrustAnyCertificate = 1 << 7,
    RIWebImageLoadHighPriority = 1 << 8,
    // Read by the view categories: the placeholder only when the load brings no image.
    RIWebImageLoadDeferPlaceholder = 1 << 9,
    // Animated images go through the delegate's transform too.
    RIWebImageLoadTransformAnimated = 1 << 10,
    // Read by the view categories: the image goes to the caller's block, not into the view.
    RIWebImageLoadManualImageSet = 1 << 11,
};

// (image or nil, error or nil, where it came from, NO only for a partial image, the URL).
using RIWebImageCompletionWithFinishedBlock = std::function<void(const Ref<UIImage>& image, const Ref<NSError>& error,
    RIImageCacheType cacheType, bool finished, const Ref<NSURL>& imageURL)>;
// The older form, without the URL.
using RIWebImageCompletedWithFinishedBlock =
    std::function<void(const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType, bool finished)>;
// The view categories' blocks: (image, error, where it came from, the URL that was requested), and
// the older form without the URL.
using RIWebImageCompletionBlock =
    std::function<void(const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType, const Ref<NSURL>& imageURL)>;
using RIWebImageCompletedBlock = std::function<void(const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType)>;
using RIWebImageCacheKeyFilterBlock = std::function<Ref<NSString>(const Ref<NSURL>& url)>;

class RIWebImageManager;

// Both optional; std::nullopt means "not implemented".
class RIWebImageManagerDelegate {
public:
    virtual ~RIWebImageManagerDelegate() = default;
    // NO forbids downloading an image that is not cached (or is cached but asked to be refreshed).
    virtual std::optional<bool> imageManagerShouldDownloadImageForURL(const Ref<RIWebImageManager>&, const Ref<NSURL>&)
    {
        return std::nullopt;
    }
    // The image to store and deliver in place of the downloaded one (nil: nothing is stored).
    // Runs on a global queue of high priority.
    virtual std::optional<Ref<UIImage>> imageManagerTransformDownloadedImageWithURL(const Ref<RIWebImageManager>&,
        const Ref<UIImage>&, const Ref<NSURL>&)
    {
        return std::nullopt;
    }
};

class RIWebImageManager : public NSObject {
    DV_CLASS(RIWebImageManager, NSObject)

    RIWebImageManager() = default;
    ~RIWebImageManager() override;

    // Made once, with init.
    static Ref<RIWebImageManager> sharedManager();
    // The shared manager as a new process finds it, for a process that starts the application
    // again (the runner's relaunch): every running load cancelled, no URL failed, no delegate or
    // key filter, the shared cache and downloader.
    static void resetSharedManager();
    // The shared cache and the shared downloader, nothing failed, nothing running.
    Ref<RIWebImageManager> init();
    virtual Ref<RIImageCache> createCache();

    // The key filter's answer when a filter is set, else the URL's absolute string.
    Ref<NSString> cacheKeyForURL(const Ref<NSURL>& url) const;

    bool cachedImageExistsForURL(const Ref<NSURL>& url);
    bool diskImageExistsForURL(const Ref<NSURL>& url);
    // A memory hit answers YES asynchronously on the main queue; otherwise the cache's disk answer
    // is passed on (main queue).
    void cachedImageExistsForURL(const Ref<NSURL>& url, RIWebImageCheckCacheCompletionBlock completion);
    void diskImageExistsForURL(const Ref<NSURL>& url, RIWebImageCheckCacheCompletionBlock completion);

    // `url` is an NSURL or a URL string; anything else counts as no URL, which (like an empty URL
    // or a failed one without RIWebImageLoadRetryFailedURL) completes at once with
    // NSURLErrorFileDoesNotExist and answers a handle that is not running.
    Ref<RIWebImageCombinedOperation> downloadImageWithURL(const id& url, RIWebImageLoadOptions options,
        RIWebImageDownloaderProgressBlock progressBlock, RIWebImageCompletionWithFinishedBlock completedBlock);
    // The older form: the same load, its block called (when given) without the URL.
    Ref<RIWebImageCombinedOperation> downloadWithURL(const id& url, RIWebImageLoadOptions options,
        RIWebImageDownloaderProgressBlock progressBlock, RIWebImageCompletedWithFinishedBlock completedBlock);

    // The image a load of `url` with `options` is answered with at once from the memory level, or
    // nil: no URL, a failed URL not retried, a refresh asked for, or nothing in memory. The view
    // categories use it to finish such a load on the spot.
    Ref<UIImage> imageAnsweredFromMemory(const Ref<NSURL>& url, RIWebImageLoadOptions options) const;

    // Stores the image under the URL's key in memory and on disk; nothing unless both are given.
    void saveImageToCache(const Ref<UIImage>& image, const Ref<NSURL>& url);
    // Cancels every running load and empties the list.
    void cancelAll();
    bool isRunning() const;

    Ref<RIWebImageManagerDelegate> delegate() const;
    void setDelegate(const Ref<RIWebImageManagerDelegate>& delegate);
    Ref<RIImageCache> imageCache() const;
    void setImageCache(const Ref<RIImageCache>& cache);
    Ref<RIWebImageDownloader> imageDownloader() const;
    void setImageDownloader(const Ref<RIWebImageDownloader>& downloader);
    RIWebImageCacheKeyFilterBlock cacheKeyFilter() const;
    void setCacheKeyFilter(RIWebImageCacheKeyFilterBlock filter);
    // Copies, read under their locks.
    Ref<NSSet> failedURLs() const;
    Ref<NSArray> runningOperations() const;

private:
    friend class RIWebImageCombinedOperation;
    struct Load;

    bool isFailedURL(const Ref<NSURL>& url) const;
    bool findFailedLocked(const Ref<NSURL>& url) const DV_REQUIRES(m_failedLock);
    // The cache now and the URL's key, read under one lock; `filtered` tells whether a key filter
    // made the key (else it is the URL's absolute string).
    Ref<RIImageCache> cacheAndKeyForURL(const Ref<NSURL>& url, Ref<NSString>& key, bool* filtered = nullptr) const;
    void addRunning(const Ref<RIWebImageCombinedOperation>& operation);
    void removeRunning(const RIWebImageCombinedOperation* operation);
    void handleCacheAnswer(const std::shared_ptr<Load>& load, const Ref<RIWebImageCombinedOperation>& operation,
        const Ref<UIImage>& cachedImage, RIImageCacheType cacheType);
    void handleDownloaded(const std::shared_ptr<Load>& load, const Ref<UIImage>& image, const Ref<NSData>& data,
        const Ref<NSError>& error, bool finished);

    mutable dv::Mutex m_settingsLock;
    Weak<RIWebImageManagerDelegate> m_delegate DV_GUARDED_BY(m_settingsLock);
    Ref<RIImageCache> m_imageCache DV_GUARDED_BY(m_settingsLock);
    Ref<RIWebImageDownloader> m_imageDownloader DV_GUARDED_BY(m_settingsLock);
    RIWebImageCacheKeyFilterBlock m_cacheKeyFilter DV_GUARDED_BY(m_settingsLock);

    mutable dv::Mutex m_failedLock;
    // Its own copies of the URLs, kept (and not counted as live objects) while remembered.
    std::vector<dv::Uncounted<NSURL>> m_failedURLs DV_GUARDED_BY(m_failedLock);
    std::atomic<NSUInteger> m_failedCount { 0 }; // read without the lock: most loads find none
    mutable dv::Mutex m_runningLock;
    Ref<NSMutableArray> m_runningOperations DV_GUARDED_BY(m_runningLock);
};
