// RIWebImagePrefetcher: loads a list of image URLs into the caches ahead of display, a few at a
// time, through an image manager of its own (which shares the shared cache and downloader), and
// reports each finished download and the end of the batch through blocks and a delegate.
//
// Threads: the manager delivers on the main thread, where the counts, blocks and delegate messages
// are handled; the next download of a batch starts from prefetcherQueue (the main queue unless
// changed). Nothing is locked: use it from the main thread.
//
//   RIWebImagePrefetcher::sharedImagePrefetcher()->prefetchURLs(urls, nil,
//       [](NSUInteger finished, NSUInteger skipped) { NSLog("%lu cached, %lu failed", finished - skipped, skipped); });
#pragma once

#include "platform/dispatch/Dispatch.h"
#include "ui/images/RIWebImageManager.h"

#include <functional>

class RIWebImagePrefetcher;

// Each message optional: a void message answering false means "not implemented".
class RIWebImagePrefetcherDelegate {
public:
    virtual ~RIWebImagePrefetcherDelegate() = default;
    // After each finished download: its URL, the finished count and the number of URLs.
    virtual bool imagePrefetcherDidPrefetchURL(const Ref<RIWebImagePrefetcher>&, const Ref<NSURL>&, NSUInteger /*finishedCount*/,
        NSUInteger /*totalCount*/)
    {
        return false;
    }
    // Once at the end: the URLs minus the skipped ones, and the skipped ones.
    virtual bool imagePrefetcherDidFinishWithTotalCount(const Ref<RIWebImagePrefetcher>&, NSUInteger /*totalCount*/,
        NSUInteger /*skippedCount*/)
    {
        return false;
    }
};

using RIWebImagePrefetcherProgressBlock = std::function<void(NSUInteger finishedCount, NSUInteger totalCount)>;
using RIWebImagePrefetcherCompletionBlock = std::function<void(NSUInteger finishedCount, NSUInteger skippedCount)>;

class RIWebImagePrefetcher : public NSObject {
    DV_CLASS(RIWebImagePrefetcher, NSObject)

    RIWebImagePrefetcher() = default;
    ~RIWebImagePrefetcher() override;

    // Made once, with init.
    static Ref<RIWebImagePrefetcher> sharedImagePrefetcher();
    // With a new image manager.
    Ref<RIWebImagePrefetcher> init();
    // Low priority, the main queue, and at most 3 downloads at once: the limit belongs to the
    // manager's downloader, so with the shared downloader it holds for every user of it.
    Ref<RIWebImagePrefetcher> initWithImageManager(const Ref<RIWebImageManager>& manager);

    void prefetchURLs(const Ref<NSArray>& urls);
    // Cancels the batch before, then starts downloads in list order, at most maxConcurrentDownloads
    // at once, each finished one starting the next. An empty list completes at once with (0, 0).
    void prefetchURLs(const Ref<NSArray>& urls, RIWebImagePrefetcherProgressBlock progress, RIWebImagePrefetcherCompletionBlock completion);
    // Forgets the batch (list and counts) and cancels the manager's running loads.
    void cancelPrefetching();

    void startPrefetchingAtIndex(NSUInteger index);
    void reportStatus();

    // The manager's downloader's limit.
    NSUInteger maxConcurrentDownloads() const;
    void setMaxConcurrentDownloads(NSUInteger count);

    Ref<RIWebImageManager> manager() const { return m_manager; }
    RIWebImageLoadOptions options() const { return m_options; }
    void setOptions(RIWebImageLoadOptions options) { m_options = options; }
    // Not retained.
    dispatch_queue_t prefetcherQueue() const { return m_prefetcherQueue.lock(); }
    void setPrefetcherQueue(const dispatch_queue_t& queue) { m_prefetcherQueue = queue; }
    Ref<RIWebImagePrefetcherDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<RIWebImagePrefetcherDelegate>& delegate) { m_delegate = delegate; }
    Ref<NSArray> prefetchURLs() const { return m_prefetchURLs; }
    void setPrefetchURLs(const Ref<NSArray>& urls) { m_prefetchURLs = urls; }
    NSUInteger requestedCount() const { return m_requestedCount; }
    void setRequestedCount(NSUInteger count) { m_requestedCount = count; }
    NSUInteger skippedCount() const { return m_skippedCount; }
    void setSkippedCount(NSUInteger count) { m_skippedCount = count; }
    NSUInteger finishedCount() const { return m_finishedCount; }
    void setFinishedCount(NSUInteger count) { m_finishedCount = count; }
    NSTimeInterval startedTime() const { return m_startedTime; }
    void setStartedTime(NSTimeInterval time) { m_startedTime = time; }
    RIWebImagePrefetcherCompletionBlock completionBlock() const { return m_completionBlock; }
    void setCompletionBlock(RIWebImagePrefetcherCompletionBlock block) { m_completionBlock = std::move(block); }
    RIWebImagePrefetcherProgressBlock progressBlock() const { return m_progressBlock; }
    void setProgressBlock(RIWebImagePrefetcherProgressBlock block) { m_progressBlock = std::move(block); }

private:
    void handleFinished(const Ref<UIImage>& image, const Ref<NSURL>& url);
    NSUInteger urlCount() const { return m_prefetchURLs ? m_prefetchURLs->count() : 0; }

    Ref<RIWebImageManager> m_manager;
    RIWebImageLoadOptions m_options = RIWebImageLoadLowPriority;
    std::weak_ptr<dv::DispatchQueue> m_prefetcherQueue;
    Weak<RIWebImagePrefetcherDelegate> m_delegate;
    Ref<NSArray> m_prefetchURLs;
    NSUInteger m_requestedCount = 0;
    NSUInteger m_skippedCount = 0;
    NSUInteger m_finishedCount = 0;
    NSTimeInterval m_startedTime = 0;
    RIWebImagePrefetcherCompletionBlock m_completionBlock;
    RIWebImagePrefetcherProgressBlock m_progressBlock;
};
