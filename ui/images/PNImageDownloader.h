// PNImageDownloader: the second image-loading path, over the HTTP client layer. It turns URL
// requests into decoded images: simultaneous requests for one URL share one data task, at most
// `maximumActiveDownloads` tasks run at once and the rest wait first-in-first-out or
// last-in-first-out, every requester gets a receipt with which it can withdraw alone, and fetched
// images go into an image cache (a PNAutoPurgingImageCache unless another is given) that answers
// later requests at once. Beneath the session a URL cache answers repeated requests the protocol
// allows to be cached.
//
// Threads: requests and withdrawals may come from any thread; they run as synchronous blocks on
// the serial synchronization queue, which alone touches the bookkeeping (active count, waiting
// queue, table of merged tasks). Completions are processed on the concurrent response queue.
// Every success and failure block runs on the main queue, one dispatch per requester, in order.
//
//   auto receipt = PNImageDownloader::defaultInstance()->downloadImageForURLRequest(request,
//       [](auto& request, auto& response, auto& image) { ... }, [](auto& request, auto& response, auto& error) { ... });
//   PNImageDownloader::defaultInstance()->cancelTaskForImageDownloadReceipt(receipt);
#pragma once

#include "platform/base/NSObject.h"
#include "platform/dispatch/Dispatch.h"
#include "ui/images/PNImageDownloaderResponseHandler.h"
#include "ui/images/PNImageRequestCache.h"

#include <string>
#include <unordered_map>
#include <vector>

class NSURLCache;
class NSURLResponse;
class NSURLSessionConfiguration;
class NSURLSessionDataTask;
class PNHTTPSessionManager;
class PNImageDownloadReceipt;
class PNImageDownloaderMergedTask;

enum PNImageDownloadPrioritization : NSInteger {
    PNImageDownloadPrioritizationFIFO = 0,
    // The request queued last starts first.
    PNImageDownloadPrioritizationLIFO = 1,
};

class PNImageDownloader : public NSObject {
    DV_CLASS(PNImageDownloader, NSObject)

    PNImageDownloader() = default;
    // Cancels the tasks still waiting to start.
    ~PNImageDownloader() override;
    // A session manager over defaultURLSessionConfiguration() answering images, first in first
    // out, 4 downloads at once, a new PNAutoPurgingImageCache.
    Ref<PNImageDownloader> init();
    // nil for an order other than FIFO and LIFO (such a downloader could neither start nor queue
    // a request once every slot is taken).
    Ref<PNImageDownloader> initWithSessionManager(const Ref<PNHTTPSessionManager>& sessionManager,
        PNImageDownloadPrioritization downloadPrioritization, NSInteger maximumActiveDownloads,
        const Ref<PNImageRequestCache>& imageCache);

    // Made once, with init, and kept for the process.
    static Ref<PNImageDownloader> defaultInstance();
    // A new URL cache of 20 MiB in memory and 150 MiB on disk under "com.pellucor.imagedownloader".
    static Ref<NSURLCache> defaultURLCache();
    // The default configuration with cookies, no pipelining, the protocol's cache policy, cellular
    // access, a 60-second request time-out and a new defaultURLCache().
    static Ref<NSURLSessionConfiguration> defaultURLSessionConfiguration();

    // With a new receipt identifier.
    Ref<PNImageDownloadReceipt> downloadImageForURLRequest(const Ref<NSURLRequest>& request, PNImageDownloadSuccessBlock success,
        PNImageDownloadFailureBlock failure);
    // Joins the URL's running or queued task, or answers from the image cache (cache policies 0, 2
    // and 3; the success block then follows on the main queue and nil is answered), or makes a
    // task and starts or queues it. A request without URL is refused: nil, and the failure block
    // gets NSURLErrorBadURL on the main queue.
    Ref<PNImageDownloadReceipt> downloadImageForURLRequest(const Ref<NSURLRequest>& request, const Ref<NSUUID>& receiptID,
        PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure);
    // Withdraws that requester: its failure block alone gets NSURLErrorCancelled. A task that has
    // not started and has nobody left waiting is cancelled and forgotten; a running one goes on
    // and its image is cached. A receipt whose download has ended changes nothing.
    void cancelTaskForImageDownloadReceipt(const Ref<PNImageDownloadReceipt>& receipt);

    Ref<PNHTTPSessionManager> sessionManager() const { return m_sessionManager; }
    Ref<PNImageRequestCache> imageCache() const { return m_imageCache; }
    // The order code (the property's own spelling).
    PNImageDownloadPrioritization downloadPrioritizaton() const;
    // Other codes are ignored.
    void setDownloadPrioritizaton(PNImageDownloadPrioritization order);
    NSInteger maximumActiveDownloads() const;
    void setMaximumActiveDownloads(NSInteger maximum);
    // Tasks started and not yet completed.
    NSInteger activeRequestCount() const;
    // Snapshots of the waiting tasks (front first) and of every task queued or running, by URL.
    std::vector<Ref<PNImageDownloaderMergedTask>> queuedMergedTasks() const;
    std::unordered_map<std::string, Ref<PNImageDownloaderMergedTask>> mergedTasks() const;
    const dispatch_queue_t& synchronizationQueue() const { return m_synchronizationQueue; }
    const dispatch_queue_t& responseQueue() const { return m_responseQueue; }

private:
    void handleCompletion(const Ref<NSString>& key, const Ref<PNImageDownloaderMergedTask>& mergedTask, const Ref<NSURLRequest>& request,
        const Ref<NSURLResponse>& response, const id& responseObject, const Ref<NSError>& error);

    // Each runs synchronously on the synchronization queue.
    // Takes the URL's merged task out of the table when it is still that one.
    bool safelyRemoveMergedTaskWithIdentifier(const Ref<NSString>& identifier, const Ref<PNImageDownloaderMergedTask>& mergedTask);
    // Lowers the count for a task that was started, never below 0.
    void safelyDecrementActiveTaskCount(const Ref<PNImageDownloaderMergedTask>& mergedTask);
    void safelyStartNextTaskIfNecessary();

    // Synchronization queue only.
    void startMergedTask(const Ref<PNImageDownloaderMergedTask>& mergedTask);
    void enqueueMergedTask(const Ref<PNImageDownloaderMergedTask>& mergedTask);
    Ref<PNImageDownloaderMergedTask> dequeueMergedTask();
    bool isActiveRequestCountBelowMaximumLimit() const;
    void forgetQueuedMergedTask(const Ref<PNImageDownloaderMergedTask>& mergedTask);

    Ref<PNHTTPSessionManager> m_sessionManager;
    Ref<PNImageRequestCache> m_imageCache;
    dispatch_queue_t m_synchronizationQueue;
    dispatch_queue_t m_responseQueue;

    // Synchronization queue only.
    PNImageDownloadPrioritization m_downloadPrioritization = PNImageDownloadPrioritizationFIFO;
    NSInteger m_maximumActiveDownloads = 4;
    NSInteger m_activeRequestCount = 0;
    std::vector<Ref<PNImageDownloaderMergedTask>> m_queuedMergedTasks;
    std::unordered_map<std::string, Ref<PNImageDownloaderMergedTask>> m_mergedTasks;
};

// The class operations sharedImageDownloader and setSharedImageDownloader of the image-view and
// button categories: the downloader through which the views of a class load, kept per class (as
// a value attached to the class: a subclass has its own). Without one, defaultInstance(). Any
// thread.
Ref<PNImageDownloader> sharedImageDownloader(Class viewClass);
void setSharedImageDownloader(Class viewClass, const Ref<PNImageDownloader>& downloader);
