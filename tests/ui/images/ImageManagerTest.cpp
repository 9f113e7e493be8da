// The image manager: cache first, download on a miss, what it stores where, the failed-URL memory,
// cancellation at each stage, refreshes, its delegate and its key filter.
#include "WebImageTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSNumber.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

// A download operation that lists itself when it starts, so that a test sees what the manager
// asked the downloader for.
class StartedDownloadOperation : public RIWebImageDownloaderOperation {
    DV_CLASS(StartedDownloadOperation, RIWebImageDownloaderOperation)
public:
    static std::vector<Ref<RIWebImageDownloaderOperation>> started()
    {
        dv::MutexLocker lock(s_lock);
        return s_started;
    }
    static void forget()
    {
        dv::MutexLocker lock(s_lock);
        s_started.clear();
    }
    void start() override
    {
        {
            dv::MutexLocker lock(s_lock);
            s_started.push_back(self<RIWebImageDownloaderOperation>());
        }
        RIWebImageDownloaderOperation::start();
    }

private:
    static inline dv::Mutex s_lock;
    static inline std::vector<Ref<RIWebImageDownloaderOperation>> s_started DV_GUARDED_BY(s_lock);
};
DV_DEFINE_CLASS(StartedDownloadOperation)

namespace dv::test {
namespace {

using namespace std::chrono_literals;
using dv::testing::RecordedRequest;
using dv::testing::ScriptedReply;

// What a manager completion heard.
struct LoadCall {
    Ref<UIImage> image;
    Ref<NSError> error;
    RIImageCacheType cacheType = RIImageCacheTypeNone;
    bool finished = false;
    Ref<NSURL> url;
    bool onMainThread = false;
};

class ImageManagerTest : public WebImageTest {
protected:
    void SetUp() override
    {
        WebImageTest::SetUp();
        // A manager of the test's own, so that its failed set starts empty.
        own = alloc<RIWebImageManager>()->init();
        own->setImageCache(cache);
        own->setImageDownloader(downloader);
    }
    void TearDown() override
    {
        own->cancelAll();
        WebImageTest::TearDown();
        own = nil;
    }

    Ref<RIWebImageCombinedOperation> load(const id& url, std::vector<LoadCall>& calls, RIWebImageLoadOptions options = 0)
    {
        return own->downloadImageWithURL(url, options, nil,
            [&calls](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType type, bool finished, const Ref<NSURL>& url) {
                calls.push_back({image, error, type, finished, url, dv::isMainThread()});
            });
    }
    bool waitCalls(const std::vector<LoadCall>& calls, std::size_t count = 1)
    {
        return dv::testing::runMainLoopUntil([&] { return calls.size() >= count; });
    }
    // Until the downloads have ended and what they wrote is on disk.
    void settle()
    {
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0 && !own->isRunning(); }));
        (void)cache->getSize();
        dv::testing::runUntilIdle();
    }
    Ref<NSString> keyOf(const Ref<NSURL>& url) const { return url->absoluteString(); }

    Ref<RIWebImageManager> own;
};

class TransformingDelegate : public NSObject, public RIWebImageManagerDelegate {
public:
    std::optional<bool> allowDownload;
    bool transforms = false;
    Ref<UIImage> replacement; // nil: the transform answers nil
    std::atomic<int> transformed { 0 };
    std::atomic<bool> transformedOffMain { false };

    std::optional<bool> imageManagerShouldDownloadImageForURL(const Ref<RIWebImageManager>&, const Ref<NSURL>&) override
    {
        return allowDownload;
    }
    std::optional<Ref<UIImage>> imageManagerTransformDownloadedImageWithURL(const Ref<RIWebImageManager>&, const Ref<UIImage>&,
        const Ref<NSURL>&) override
    {
        if (!transforms)
            return std::nullopt;
        ++transformed;
        transformedOffMain = !dv::isMainThread();
        return replacement;
    }
};

TEST_F(ImageManagerTest, NoURLAnEmptyOneOrSomethingElseFailsAtOnceWithoutRunning)
{
    for (const id& url : std::vector<id> {nil, id(""_ns), id(NSNumber::numberWithInt(3))}) {
        std::vector<LoadCall> calls;
        auto operation = load(url, calls);
        ASSERT_EQ(calls.size(), 1u) << "answered before the call returned";
        EXPECT_EQ(dv::str(calls[0].error->domain()), "NSURLErrorDomain");
        EXPECT_EQ(calls[0].error->code(), NSURLErrorFileDoesNotExist);
        EXPECT_FALSE(calls[0].image);
        EXPECT_TRUE(calls[0].finished);
        EXPECT_EQ(calls[0].cacheType, RIImageCacheTypeNone);
        EXPECT_TRUE(operation);
        EXPECT_FALSE(own->isRunning());
    }
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(ImageManagerTest, AMemoryHitOnTheMainThreadCompletesBeforeTheCallReturns)
{
    auto u = url("/m.png");
    auto picture = colourImage(colourOf(5));
    cache->storeImage(picture, keyOf(u), false);
    std::vector<LoadCall> calls;
    load(u, calls);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].image, picture);
    EXPECT_EQ(calls[0].cacheType, RIImageCacheTypeMemory);
    EXPECT_TRUE(calls[0].finished);
    EXPECT_TRUE(dv::equal(calls[0].url, u));
    EXPECT_FALSE(own->isRunning());
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(ImageManagerTest, ADiskHitAnswersLaterOnTheMainThreadAndIsKeptInMemory)
{
    auto u = url("/d.png");
    cache->storeImage(colourImage(colourOf(9)), false, colourPNG(colourOf(9)), keyOf(u), true);
    (void)cache->getSize();
    cache->clearMemory();
    std::vector<LoadCall> calls;
    load(u, calls);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(own->isRunning());
    ASSERT_TRUE(waitCalls(calls));
    EXPECT_EQ(calls[0].cacheType, RIImageCacheTypeDisk);
    EXPECT_TRUE(calls[0].onMainThread);
    EXPECT_EQ(indexOf(middleOf(calls[0].image)), 9);
    EXPECT_FALSE(own->isRunning());
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(keyOf(u)));
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(ImageManagerTest, ADownloadIsStoredInMemoryAndOnDiskUnlessMemoryOnly)
{
    servePictures();
    std::vector<LoadCall> both, memoryOnly;
    load(pictureURL(1), both);
    load(pictureURL(2), memoryOnly, RIWebImageLoadMemoryCacheOnly);
    ASSERT_TRUE(waitCalls(both));
    ASSERT_TRUE(waitCalls(memoryOnly));
    settle();
    for (auto* calls : {&both, &memoryOnly}) {
        ASSERT_EQ(calls->size(), 1u);
        EXPECT_EQ(calls->front().cacheType, RIImageCacheTypeNone);
        EXPECT_TRUE(calls->front().onMainThread);
        EXPECT_TRUE(calls->front().finished);
        EXPECT_FALSE(calls->front().error);
    }
    EXPECT_EQ(indexOf(middleOf(both[0].image)), 1);
    EXPECT_EQ(indexOf(middleOf(memoryOnly[0].image)), 2);
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(keyOf(pictureURL(1))));
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(keyOf(pictureURL(2))));
    EXPECT_TRUE(cache->diskImageExistsWithKey(keyOf(pictureURL(1))));
    EXPECT_FALSE(cache->diskImageExistsWithKey(keyOf(pictureURL(2))));
    EXPECT_TRUE(own->cachedImageExistsForURL(pictureURL(2)));
    EXPECT_FALSE(own->diskImageExistsForURL(pictureURL(2)));

    // The next load of the first is a memory hit: no second request.
    std::vector<LoadCall> again;
    load(pictureURL(1), again);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].cacheType, RIImageCacheTypeMemory);
    EXPECT_EQ(server.requestCount("/pic"), 2u);
}

TEST_F(ImageManagerTest, LoadOptionsBecomeTheDownloadersOptions)
{
    servePictures();
    downloader->setOperationClass(StartedDownloadOperation::class_());
    StartedDownloadOperation::forget();
    const std::vector<std::pair<RIWebImageLoadOptions, RIWebImageDownloadOptions>> cases {
        {0, 0},
        {RIWebImageLoadLowPriority, RIWebImageDownloadLowPriority},
        {RIWebImageLoadHighPriority, RIWebImageDownloadHighPriority},
        {RIWebImageLoadSendCookies, RIWebImageDownloadSendCookies},
        {RIWebImageLoadTrustAnyCertificate, RIWebImageDownloadTrustAnyCertificate},
        {RIWebImageLoadInBackground, RIWebImageDownloadInBackground},
        {RIWebImageLoadProgressive, RIWebImageDownloadProgressive},
        {RIWebImageLoadRefreshFromServer, RIWebImageDownloadUseURLCache},
        // Options of the manager alone ask nothing of the downloader.
        {RIWebImageLoadRetryFailedURL | RIWebImageLoadMemoryCacheOnly | RIWebImageLoadDeferPlaceholder, 0},
        {RIWebImageLoadSendCookies | RIWebImageLoadHighPriority | RIWebImageLoadInBackground,
            RIWebImageDownloadSendCookies | RIWebImageDownloadHighPriority | RIWebImageDownloadInBackground},
    };
    std::vector<std::vector<LoadCall>> calls(cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        load(pictureURL(100 + i), calls[i], cases[i].first);
        ASSERT_TRUE(waitCalls(calls[i])) << i;
        EXPECT_TRUE(calls[i].front().image) << i;
    }
    auto started = StartedDownloadOperation::started();
    ASSERT_EQ(started.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        // Each download is found by its URL: the queue may have started them in any order.
        auto operation = std::find_if(started.begin(), started.end(), [&](const auto& o) {
            return o->request()->URL()->isEqual(pictureURL(100 + i));
        });
        ASSERT_NE(operation, started.end()) << i;
        const RIWebImageDownloadOptions options = (*operation)->options();
        EXPECT_EQ(options, cases[i].second) << i;
        EXPECT_EQ((*operation)->request()->HTTPShouldHandleCookies(), (options & RIWebImageDownloadSendCookies) != 0) << i;
        const NSOperationQueuePriority priority = options & RIWebImageDownloadHighPriority ? NSOperationQueuePriorityHigh
            : options & RIWebImageDownloadLowPriority                                     ? NSOperationQueuePriorityLow
                                                                                          : NSOperationQueuePriorityNormal;
        EXPECT_EQ((*operation)->queuePriority(), priority) << i;
    }
    settle();
    downloader->setOperationClass(Nil);
    StartedDownloadOperation::forget();
}

TEST_F(ImageManagerTest, AProgressiveLoadDeliversEachPartUnfinishedThenTheWholeOnce)
{
    PacedPicture paced(noisyPNG(64, 64));
    std::vector<LoadCall> calls;
    load(paced.url(), calls, RIWebImageLoadProgressive);
    for (int part = 1; part < 3; ++part) {
        ASSERT_TRUE(waitCalls(calls, std::size_t(part)));
        paced.release(part);
        // Partial images come at most once per interval: the part is shown when it ends.
        clock().advance(RIWebImageDownloaderOperation::partialImageInterval);
    }
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !calls.empty() && calls.back().finished; }));
    settle();
    ASSERT_GE(calls.size(), 3u);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const bool last = i + 1 == calls.size();
        EXPECT_EQ(calls[i].finished, last) << i;
        EXPECT_TRUE(calls[i].image) << i;
        EXPECT_FALSE(calls[i].error) << i;
        EXPECT_TRUE(calls[i].onMainThread) << i;
        EXPECT_EQ(calls[i].cacheType, RIImageCacheTypeNone) << i;
    }
    // Only the whole picture is kept.
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(keyOf(paced.url())) == calls.back().image);
}

TEST_F(ImageManagerTest, AURLThatFailedIsNotAskedAgainUnlessRetried)
{
    std::atomic<bool> missing { true };
    server.route("/flaky.png", [&missing](const RecordedRequest&) {
        return missing ? ScriptedReply {.status = 404, .body = "no"} : imageReply(colourPNG(colourOf(3)));
    });
    auto u = url("/flaky.png");
    std::vector<LoadCall> first;
    load(u, first);
    ASSERT_TRUE(waitCalls(first));
    settle();
    ASSERT_TRUE(first[0].error);
    EXPECT_EQ(first[0].error->code(), 404);
    EXPECT_TRUE(own->failedURLs()->containsObject(u));

    // Known to fail: answered at once, nothing asked.
    std::vector<LoadCall> second;
    load(u, second);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].error->code(), NSURLErrorFileDoesNotExist);
    EXPECT_EQ(server.requestCount("/flaky.png"), 1u);

    // A retry that fails again keeps it failed; one that succeeds clears it.
    std::vector<LoadCall> retried;
    load(u, retried, RIWebImageLoadRetryFailedURL);
    ASSERT_TRUE(waitCalls(retried));
    settle();
    EXPECT_TRUE(own->failedURLs()->containsObject(u));
    missing = false;
    std::vector<LoadCall> fixed;
    load(u, fixed, RIWebImageLoadRetryFailedURL);
    ASSERT_TRUE(waitCalls(fixed));
    settle();
    EXPECT_EQ(indexOf(middleOf(fixed[0].image)), 3);
    EXPECT_FALSE(own->failedURLs()->containsObject(u));
    EXPECT_EQ(server.requestCount("/flaky.png"), 3u);

    // From now on an ordinary load finds it (in memory) instead of failing.
    cache->clearMemory();
    cache->clearDisk();
    (void)cache->getSize();
    std::vector<LoadCall> later;
    load(u, later);
    ASSERT_TRUE(waitCalls(later));
    EXPECT_TRUE(later[0].image);
    EXPECT_EQ(server.requestCount("/flaky.png"), 4u);
}

TEST_F(ImageManagerTest, FailuresOfTheConnectionAreNotRemembered)
{
    // Nothing listens on port 1: the connection is refused.
    auto refused = NSURL::URLWithString("http://127.0.0.1:1/refused.png"_ns);
    server.route("/slow.png", ScriptedReply {.body = "late", .delay = 5000ms});
    downloader->setDownloadTimeout(0.3);
    std::vector<LoadCall> a, b;
    load(refused, a);
    load(url("/slow.png"), b);
    ASSERT_TRUE(waitCalls(a));
    ASSERT_TRUE(waitCalls(b));
    settle();
    EXPECT_EQ(a[0].error->code(), NSURLErrorCannotConnectToHost);
    EXPECT_EQ(b[0].error->code(), NSURLErrorTimedOut);
    EXPECT_EQ(own->failedURLs()->count(), 0u);
}

TEST_F(ImageManagerTest, ALoadCancelledBeforeItsDiskQueryAnswersLeavesTheRunningListAtOnce)
{
    auto u = url("/on-disk.png");
    cache->storeImage(colourImage(colourOf(4)), false, colourPNG(colourOf(4)), keyOf(u), true);
    (void)cache->getSize();
    cache->clearMemory();

    // The query waits behind a suspended disk queue.
    dispatch_suspend(cache->ioQueue());
    std::vector<LoadCall> calls;
    auto operation = load(u, calls);
    EXPECT_TRUE(own->isRunning());
    EXPECT_TRUE(operation->cacheOperation());
    operation->cancel();
    EXPECT_FALSE(own->isRunning());
    EXPECT_EQ(own->runningOperations()->count(), 0u);
    dispatch_resume(cache->ioQueue());
    (void)cache->getSize();
    dv::testing::runUntilIdle();
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(own->isRunning());

    // Cancelled after the disk read, while its answer waits on the main queue: the same.
    auto again = load(u, calls);
    (void)cache->getSize(); // the read has run; its answer is queued
    again->cancel();
    EXPECT_FALSE(own->isRunning());
    dv::testing::runUntilIdle();
    EXPECT_TRUE(calls.empty());
}

TEST_F(ImageManagerTest, ALoadCancelledWhileDownloadingDeliversNothingAndStopsTheDownload)
{
    auto gate = std::make_shared<Gate>();
    server.route("/held.png", [gate](const RecordedRequest&) {
        gate->pass();
        return imageReply(colourPNG(colourOf(7)));
    });
    std::vector<LoadCall> calls;
    auto operation = load(url("/held.png"), calls);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 1; }));
    EXPECT_TRUE(own->isRunning());
    operation->cancel();
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_FALSE(own->isRunning());
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0; }));
    gate->open();
    dv::testing::runUntilIdle();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(own->failedURLs()->count(), 0u);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey(keyOf(url("/held.png"))));
}

TEST_F(ImageManagerTest, CancelAllEmptiesTheRunningList)
{
    auto gate = std::make_shared<Gate>();
    server.route("/pic", [gate](const RecordedRequest& request) {
        gate->pass();
        return imageReply(colourPNG(colourOf(std::stoul(request.query.substr(2)))));
    });
    std::vector<LoadCall> calls;
    for (std::size_t i = 0; i < 4; ++i)
        load(pictureURL(i), calls);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->arrived() == 4; }));
    EXPECT_EQ(own->runningOperations()->count(), 4u);
    own->cancelAll();
    EXPECT_FALSE(own->isRunning());
    gate->open();
    settle();
    EXPECT_TRUE(calls.empty());
}

TEST_F(ImageManagerTest, ARefreshShowsTheCachedImageThenTheNewOne)
{
    auto u = url("/pic?i=12");
    servePictures();
    cache->storeImage(colourImage(colourOf(11)), keyOf(u), false);
    std::vector<LoadCall> calls;
    load(u, calls, RIWebImageLoadRefreshFromServer);
    ASSERT_EQ(calls.size(), 1u) << "the cached picture first, at once";
    EXPECT_EQ(calls[0].cacheType, RIImageCacheTypeMemory);
    EXPECT_EQ(indexOf(middleOf(calls[0].image)), 11);
    EXPECT_TRUE(own->isRunning());
    ASSERT_TRUE(waitCalls(calls, 2));
    settle();
    EXPECT_EQ(calls[1].cacheType, RIImageCacheTypeNone);
    EXPECT_EQ(indexOf(middleOf(calls[1].image)), 12);
    EXPECT_EQ(indexOf(middleOf(cache->imageFromMemoryCacheForKey(keyOf(u)))), 12);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(ImageManagerTest, ARefreshThatTheURLCacheAnswersUnchangedDeliversNothingMore)
{
    auto reply = imageReply(colourPNG(colourOf(20)));
    reply.headers = {{"Cache-Control", "max-age=3600"}};
    server.route("/kept.png", reply);
    auto u = url("/kept.png");
    // The first refresh has nothing cached: it downloads through the URL cache, which keeps it.
    std::vector<LoadCall> first;
    load(u, first, RIWebImageLoadRefreshFromServer);
    ASSERT_TRUE(waitCalls(first));
    settle();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(indexOf(middleOf(first[0].image)), 20);

    std::vector<LoadCall> second;
    load(u, second, RIWebImageLoadRefreshFromServer);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].cacheType, RIImageCacheTypeMemory);
    settle();
    EXPECT_EQ(second.size(), 1u);
    EXPECT_EQ(server.requestCount("/kept.png"), 1u);
}

TEST_F(ImageManagerTest, TheDelegateMayForbidDownloads)
{
    auto delegate = alloc<TransformingDelegate>();
    delegate->allowDownload = false;
    own->setDelegate(delegate);
    servePictures();
    std::vector<LoadCall> calls;
    load(pictureURL(1), calls);
    ASSERT_TRUE(waitCalls(calls));
    EXPECT_FALSE(calls[0].image);
    EXPECT_FALSE(calls[0].error);
    EXPECT_TRUE(calls[0].finished);

    // A cached picture asked to be refreshed is delivered once, and not downloaded.
    cache->storeImage(colourImage(colourOf(2)), keyOf(pictureURL(2)), false);
    std::vector<LoadCall> cached;
    load(pictureURL(2), cached, RIWebImageLoadRefreshFromServer);
    settle();
    ASSERT_EQ(cached.size(), 1u);
    EXPECT_EQ(indexOf(middleOf(cached[0].image)), 2);
    EXPECT_EQ(server.requests().size(), 0u);
    EXPECT_FALSE(own->isRunning());
}

TEST_F(ImageManagerTest, TheDelegatesTransformIsStoredAndDelivered)
{
    auto delegate = alloc<TransformingDelegate>();
    delegate->transforms = true;
    delegate->replacement = colourImage(colourOf(100));
    own->setDelegate(delegate);
    servePictures();
    std::vector<LoadCall> calls;
    load(pictureURL(1), calls);
    ASSERT_TRUE(waitCalls(calls));
    settle();
    EXPECT_TRUE(delegate->transformedOffMain);
    EXPECT_TRUE(calls[0].onMainThread);
    EXPECT_EQ(indexOf(middleOf(calls[0].image)), 100);
    EXPECT_EQ(cache->imageFromMemoryCacheForKey(keyOf(pictureURL(1))), delegate->replacement);
    // Re-encoded from the replacement, not the downloaded bytes.
    cache->clearMemory();
    EXPECT_EQ(indexOf(middleOf(cache->imageFromDiskCacheForKey(keyOf(pictureURL(1))))), 100);

    // A transform that answers nil: nil without an error, nothing stored.
    delegate->replacement = nil;
    std::vector<LoadCall> none;
    load(pictureURL(2), none);
    ASSERT_TRUE(waitCalls(none));
    settle();
    EXPECT_FALSE(none[0].image);
    EXPECT_FALSE(none[0].error);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey(keyOf(pictureURL(2))));
    EXPECT_FALSE(cache->diskImageExistsWithKey(keyOf(pictureURL(2))));
}

TEST_F(ImageManagerTest, AKeyFilterMayMakeURLsShareOneEntry)
{
    own->setCacheKeyFilter([](const Ref<NSURL>&) { return "one-for-all"_ns; });
    servePictures();
    std::vector<LoadCall> first, second;
    load(pictureURL(1), first);
    ASSERT_TRUE(waitCalls(first));
    settle();
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("one-for-all"_ns));
    load(pictureURL(2), second);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].cacheType, RIImageCacheTypeMemory);
    EXPECT_EQ(indexOf(middleOf(second[0].image)), 1);
    EXPECT_EQ(server.requestCount("/pic"), 1u);
}

TEST_F(ImageManagerTest, ExistenceChecksAnswerOnTheMainQueue)
{
    auto inMemory = url("/memory.png"), onDisk = url("/disk.png"), nowhere = url("/nowhere.png");
    cache->storeImage(colourImage(colourOf(1)), keyOf(inMemory), false);
    own->saveImageToCache(colourImage(colourOf(2)), onDisk);
    own->saveImageToCache(nil, nowhere);
    (void)cache->getSize();
    cache->clearMemory();
    cache->storeImage(colourImage(colourOf(1)), keyOf(inMemory), false);

    EXPECT_TRUE(own->cachedImageExistsForURL(inMemory));
    EXPECT_TRUE(own->cachedImageExistsForURL(onDisk));
    EXPECT_FALSE(own->cachedImageExistsForURL(nowhere));
    EXPECT_FALSE(own->diskImageExistsForURL(inMemory));
    EXPECT_TRUE(own->diskImageExistsForURL(onDisk));

    std::vector<std::pair<std::string, bool>> answers;
    auto note = [&answers](std::string what) {
        return [&answers, what](bool exists) {
            EXPECT_TRUE(dv::isMainThread());
            answers.emplace_back(what, exists);
        };
    };
    own->cachedImageExistsForURL(inMemory, note("memory"));
    EXPECT_TRUE(answers.empty()) << "even a memory hit answers later";
    own->cachedImageExistsForURL(onDisk, note("disk"));
    own->cachedImageExistsForURL(nowhere, note("nowhere"));
    own->diskImageExistsForURL(onDisk, note("disk only"));
    own->diskImageExistsForURL(inMemory, note("memory only"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return answers.size() == 5; }));
    std::map<std::string, bool> byName(answers.begin(), answers.end());
    EXPECT_TRUE(byName["memory"]);
    EXPECT_TRUE(byName["disk"]);
    EXPECT_FALSE(byName["nowhere"]);
    EXPECT_TRUE(byName["disk only"]);
    EXPECT_FALSE(byName["memory only"]);
}

TEST_F(ImageManagerTest, WithoutACacheEveryLoadDownloadsAndNothingExists)
{
    servePictures();
    own->setImageCache(nil);
    std::vector<LoadCall> first, second;
    load(pictureURL(1), first);
    ASSERT_TRUE(waitCalls(first));
    load(pictureURL(1), second);
    ASSERT_TRUE(waitCalls(second));
    settle();
    EXPECT_EQ(indexOf(middleOf(second[0].image)), 1);
    EXPECT_EQ(second[0].cacheType, RIImageCacheTypeNone);
    EXPECT_EQ(server.requestCount("/pic"), 2u);
    EXPECT_FALSE(own->cachedImageExistsForURL(pictureURL(1)));
    own->saveImageToCache(colourImage(colourOf(1)), pictureURL(1));
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey(keyOf(pictureURL(1))));
}

TEST_F(ImageManagerTest, LoadsStartedOnOtherThreadsCompleteOnTheMainThread)
{
    servePictures();
    cache->storeImage(colourImage(colourOf(8)), keyOf(pictureURL(8)), false);
    std::vector<LoadCall> hit, downloaded;
    std::atomic<bool> returned { false };
    std::thread worker([&] {
        load(pictureURL(8), hit);
        load(pictureURL(9), downloaded);
        returned = true;
    });
    // The memory hit is handed to the main thread synchronously: the worker waits for it.
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return returned.load(); }));
    worker.join();
    ASSERT_EQ(hit.size(), 1u);
    EXPECT_TRUE(hit[0].onMainThread);
    EXPECT_EQ(hit[0].cacheType, RIImageCacheTypeMemory);
    ASSERT_TRUE(waitCalls(downloaded));
    EXPECT_TRUE(downloaded[0].onMainThread);
    EXPECT_EQ(indexOf(middleOf(downloaded[0].image)), 9);
}

TEST_F(ImageManagerTest, TheOlderFormGetsNoURL)
{
    servePictures();
    int calls = 0;
    Ref<UIImage> got;
    own->downloadWithURL(pictureURL(3), 0, nil, [&](const Ref<UIImage>& image, const Ref<NSError>&, RIImageCacheType, bool finished) {
        ++calls;
        got = image;
        EXPECT_TRUE(finished);
    });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return calls == 1; }));
    EXPECT_EQ(indexOf(middleOf(got)), 3);
    // Without a block the load still runs and fills the cache.
    own->downloadWithURL(pictureURL(4), 0, nil, nil);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return bool(cache->imageFromMemoryCacheForKey(keyOf(pictureURL(4)))); }));
}

TEST_F(ImageManagerTest, TheDownloadedImageTakesItsScaleFromTheManagersKey)
{
    server.route("/icon@2x.png", imageReply(colourPNG(colourOf(6), 20)));
    server.route("/plain.png", imageReply(colourPNG(colourOf(6), 20)));
    // The shared manager's key decides, so a filter there changes the scale.
    manager->setCacheKeyFilter([](const Ref<NSURL>& url) {
        return dv::str(url->absoluteString()).find("plain") != std::string::npos ? "plain@3x.png"_ns : url->absoluteString();
    });
    std::vector<LoadCall> retina, filtered;
    load(url("/icon@2x.png"), retina);
    load(url("/plain.png"), filtered);
    ASSERT_TRUE(waitCalls(retina));
    ASSERT_TRUE(waitCalls(filtered));
    EXPECT_EQ(retina[0].image->scale(), 2);
    EXPECT_EQ(retina[0].image->size().width, 10);
    EXPECT_EQ(filtered[0].image->scale(), 3);
}

} // namespace
} // namespace dv::test
