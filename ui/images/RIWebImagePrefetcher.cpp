#include "ui/images/RIWebImagePrefetcher.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/dispatch/Clock.h"

DV_DEFINE_CLASS(RIWebImagePrefetcher)

namespace {
constexpr NSUInteger kPrefetchConcurrentDownloads = 3;
}

Ref<RIWebImagePrefetcher> RIWebImagePrefetcher::sharedImagePrefetcher()
{
    static const Ref<RIWebImagePrefetcher> shared = dv::keepingForever([] { return alloc<RIWebImagePrefetcher>()->init(); });
    return shared;
}

Ref<RIWebImagePrefetcher> RIWebImagePrefetcher::init() { return initWithImageManager(alloc<RIWebImageManager>()->init()); }

Ref<RIWebImagePrefetcher> RIWebImagePrefetcher::initWithImageManager(const Ref<RIWebImageManager>& manager)
{
    NSObject::init();
    m_manager = manager;
    m_options = RIWebImageLoadLowPriority;
    m_prefetcherQueue = dispatch_get_main_queue();
    setMaxConcurrentDownloads(kPrefetchConcurrentDownloads);
    return self<RIWebImagePrefetcher>();
}

RIWebImagePrefetcher::~RIWebImagePrefetcher() = default;

NSUInteger RIWebImagePrefetcher::maxConcurrentDownloads() const
{
    auto downloader = m_manager ? m_manager->imageDownloader() : nil;
    return downloader ? NSUInteger(std::max<NSInteger>(downloader->maxConcurrentDownloads(), 0)) : 0;
}

void RIWebImagePrefetcher::setMaxConcurrentDownloads(NSUInteger count)
{
    if (auto downloader = m_manager ? m_manager->imageDownloader() : nil)
        downloader->setMaxConcurrentDownloads(NSInteger(count));
}

void RIWebImagePrefetcher::prefetchURLs(const Ref<NSArray>& urls) { prefetchURLs(urls, nil, nil); }

void RIWebImagePrefetcher::prefetchURLs(const Ref<NSArray>& urls, RIWebImagePrefetcherProgressBlock progress,
    RIWebImagePrefetcherCompletionBlock completion)
{
    cancelPrefetching();
    m_startedTime = dv::Clock::current().now();
    m_prefetchURLs = urls;
    m_completionBlock = std::move(completion);
    m_progressBlock = std::move(progress);
    if (urlCount() == 0) {
        if (auto done = m_completionBlock)
            done(0, 0);
        return;
    }
    for (NSUInteger i = 0; i < maxConcurrentDownloads() && m_requestedCount < urlCount(); ++i)
        startPrefetchingAtIndex(i);
}

void RIWebImagePrefetcher::startPrefetchingAtIndex(NSUInteger index)
{
    if (index >= urlCount() || !m_manager)
        return;
    ++m_requestedCount;
    auto url = m_prefetchURLs->objectAtIndex(index);
    Weak<RIWebImagePrefetcher> weak = self<RIWebImagePrefetcher>();
    m_manager->downloadImageWithURL(url, m_options, nil,
        [weak](const Ref<UIImage>& image, const Ref<NSError>&, RIImageCacheType, bool finished, const Ref<NSURL>& imageURL) {
            if (!finished)
                return;
            if (auto self = weak.lock())
                self->handleFinished(image, imageURL);
        });
}

void RIWebImagePrefetcher::handleFinished(const Ref<UIImage>& image, const Ref<NSURL>& url)
{
    auto self = this->self<RIWebImagePrefetcher>(); // blocks below may let go of the last owner
    ++m_finishedCount;
    if (auto progress = m_progressBlock)
        progress(m_finishedCount, urlCount());
    if (!image)
        ++m_skippedCount;
    if (auto delegate = m_delegate.lock())
        delegate->imagePrefetcherDidPrefetchURL(self, url, m_finishedCount, urlCount());

    if (urlCount() > m_requestedCount) {
        Weak<RIWebImagePrefetcher> weak = self;
        if (auto queue = m_prefetcherQueue.lock())
            dispatch_async(queue, [weak] {
                if (auto self = weak.lock())
                    self->startPrefetchingAtIndex(self->m_requestedCount);
            });
    } else if (m_finishedCount == m_requestedCount) {
        reportStatus();
        auto done = std::exchange(m_completionBlock, {});
        if (done)
            done(m_finishedCount, m_skippedCount);
        m_progressBlock = {};
    }
}

void RIWebImagePrefetcher::reportStatus()
{
    const NSUInteger total = urlCount() > m_skippedCount ? urlCount() - m_skippedCount : 0;
    if (auto delegate = m_delegate.lock())
        delegate->imagePrefetcherDidFinishWithTotalCount(self<RIWebImagePrefetcher>(), total, m_skippedCount);
}

void RIWebImagePrefetcher::cancelPrefetching()
{
    m_prefetchURLs = nil;
    m_skippedCount = 0;
    m_requestedCount = 0;
    m_finishedCount = 0;
    if (m_manager)
        m_manager->cancelAll();
}
