// RIWebImageDownloader: fetches image bytes for the image manager and the prefetcher. It builds
// the request for a URL (time-out, cache policy, cookies, header fields, credentials), runs one
// download operation per URL on a queue of at most 6 at once, and merges requests: while a URL is
// being downloaded, further requests for it join the running download.
//
// Threads: callable from any thread. The table of listeners per URL lives behind a concurrent
// queue: reads as ordinary blocks, changes as barrier blocks. Progress reaches every listener on
// the main queue; partial images on the main thread; the result on the download's own thread.
// One shared instance serves the process.
//
//   auto token = RIWebImageDownloader::sharedDownloader()->downloadImageWithURL(url,
//       RIWebImageDownloadProgressive, nil, [](auto& image, auto& data, auto& error, bool finished) { ... });
//   token->cancel();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "ui/images/RIWebImageDownloadToken.h"
#include "ui/images/RIWebImageDownloaderOperation.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

class NSMutableDictionary;
class NSMutableURLRequest;
class NSURLCredential;

namespace dv::internal::images {
struct DownloadEntry;
class DownloadListener;
}

enum RIWebImageDownloadOrder : NSInteger {
    RIWebImageDownloadOrderFIFO = 0,
    // The download queued last starts first (each queued download waits for the next newer one).
    RIWebImageDownloadOrderLIFO = 1,
};

// (URL, a copy of the header table) → the header fields to send. It runs while the download is
// registered, inside the barrier: it must not call back into the downloader.
using RIWebImageDownloaderHeadersFilterBlock = std::function<Ref<NSDictionary>(const Ref<NSURL>& url, const Ref<NSDictionary>& headers)>;

class RIWebImageDownloader : public NSObject {
    DV_CLASS(RIWebImageDownloader, NSObject)

    RIWebImageDownloader() = default;
    // Cancels every download of the queue.
    ~RIWebImageDownloader() override;

    // Made once, with init.
    static Ref<RIWebImageDownloader> sharedDownloader();
    // Decompression on, first in first out, a queue of width 6, a time-out of 15 seconds, the
    // header "Accept: image/*;q=0.8".
    Ref<RIWebImageDownloader> init();
    // Runs once, before the first downloader is made: when a class named
    // "RINetworkActivityIndicator" exists, its shared instance ("sharedActivityIndicator") is made
    // to observe the start and stop notifications with "startActivity" and "stopActivity".
    static void initialize();

    // A nil value removes the field.
    void setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field);
    Ref<NSString> valueForHTTPHeaderField(const Ref<NSString>& field) const;

    void setMaxConcurrentDownloads(NSInteger count);
    NSInteger maxConcurrentDownloads() const;
    // Downloads queued or running.
    NSUInteger currentDownloadCount() const;

    // A subclass of RIWebImageDownloaderOperation made for new downloads; nil (or a class that is
    // not one) restores RIWebImageDownloaderOperation.
    void setOperationClass(Class operationClass);
    Class operationClass() const;

    // Registers the blocks as a listener of the URL's download, starting the download when none
    // is running, and answers this caller's token. Without a URL the completed block is called at
    // once with (nil, nil, nil, NO) and nil is answered.
    Ref<RIWebImageDownloadToken> downloadImageWithURL(const Ref<NSURL>& url, RIWebImageDownloadOptions options,
        RIWebImageDownloaderProgressBlock progressBlock, RIWebImageDownloaderCompletedBlock completedBlock);
    // The registration under the barrier: `createCallback` runs (inside the barrier) for the first
    // listener of a URL, and makes and enqueues the download for that entry.
    using CreateCallback = std::function<Ref<RIWebImageDownloaderOperation>(const std::shared_ptr<dv::internal::images::DownloadEntry>& entry)>;
    Ref<RIWebImageDownloadToken> addProgressCallback(RIWebImageDownloaderProgressBlock progressBlock,
        RIWebImageDownloaderCompletedBlock completedBlock, const Ref<NSURL>& url, const CreateCallback& createCallback);

    void setSuspended(bool suspended);

    bool shouldDecompressImages() const { return m_shouldDecompressImages; }
    void setShouldDecompressImages(bool value) { m_shouldDecompressImages = value; }
    // Seconds; 0 means 15.
    NSTimeInterval downloadTimeout() const { return m_downloadTimeout; }
    void setDownloadTimeout(NSTimeInterval seconds) { m_downloadTimeout = seconds; }
    RIWebImageDownloadOrder executionOrder() const { return m_executionOrder; }
    void setExecutionOrder(RIWebImageDownloadOrder order) { m_executionOrder = order; }
    Ref<NSURLCredential> urlCredential() const;
    void setUrlCredential(const Ref<NSURLCredential>& credential);
    // Used only when both are set and no urlCredential is.
    Ref<NSString> username() const;
    void setUsername(const Ref<NSString>& username);
    Ref<NSString> password() const;
    void setPassword(const Ref<NSString>& password);
    RIWebImageDownloaderHeadersFilterBlock headersFilter() const;
    void setHeadersFilter(RIWebImageDownloaderHeadersFilterBlock filter);

    const Ref<NSOperationQueue>& downloadQueue() const { return m_downloadQueue; }
    const dispatch_queue_t& barrierQueue() const { return m_barrierQueue; }

private:
    friend class RIWebImageDownloadToken;

    Ref<RIWebImageDownloaderOperation> makeOperation(const Ref<NSURL>& url, RIWebImageDownloadOptions options,
        const std::shared_ptr<dv::internal::images::DownloadEntry>& entry);
    Ref<NSMutableURLRequest> makeRequest(const Ref<NSURL>& url, RIWebImageDownloadOptions options) const;
    // Takes a cancelled caller off its download; answers the download when it lost its last one.
    Ref<RIWebImageDownloaderOperation> removeListener(const Ref<NSURL>& url,
        const std::shared_ptr<dv::internal::images::DownloadEntry>& entry, const std::shared_ptr<dv::internal::images::DownloadListener>& listener);
    // Barrier queue only: forgets the URL's entry when it is still this one.
    void forgetEntryLocked(const std::string& key, const std::shared_ptr<dv::internal::images::DownloadEntry>& entry);

    std::atomic<bool> m_shouldDecompressImages { true };
    std::atomic<NSTimeInterval> m_downloadTimeout { 15.0 };
    std::atomic<RIWebImageDownloadOrder> m_executionOrder { RIWebImageDownloadOrderFIFO };
    std::atomic<Class> m_operationClass { Nil };
    Ref<NSOperationQueue> m_downloadQueue;
    dispatch_queue_t m_barrierQueue;

    mutable dv::Mutex m_settingsLock;
    Ref<NSURLCredential> m_urlCredential DV_GUARDED_BY(m_settingsLock);
    Ref<NSString> m_username DV_GUARDED_BY(m_settingsLock);
    Ref<NSString> m_password DV_GUARDED_BY(m_settingsLock);
    RIWebImageDownloaderHeadersFilterBlock m_headersFilter DV_GUARDED_BY(m_settingsLock);
    Ref<NSMutableDictionary> m_HTTPHeaders DV_GUARDED_BY(m_settingsLock);

    // Barrier queue only.
    std::unordered_map<std::string, std::shared_ptr<dv::internal::images::DownloadEntry>> m_URLCallbacks;
    Weak<NSOperation> m_lastAddedOperation;
};
