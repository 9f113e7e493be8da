// The prefetcher: a few downloads at a time in list order, each finished one starting the next,
// counts of finished and skipped pictures, its blocks and delegate, and a new batch or a cancel
// replacing the running one.
#include "WebImageTestSupport.h"

#include "platform/base/Mutex.h"
#include "ui/images/RIWebImagePrefetcher.h"

#include <set>

namespace dv::test {
namespace {

using dv::testing::RecordedRequest;
using dv::testing::ScriptedReply;

// Lets held requests through one at a time, as the test says.
class Turnstile {
public:
    ~Turnstile() { release(1 << 20); }
    void pass()
    {
        dv::MutexLocker lock(m_mutex);
        ++m_arrived;
        m_changed.wait(lock, [&]() DV_REQUIRES(m_mutex) { return m_allowed > 0; });
        --m_allowed;
    }
    void release(int count)
    {
        {
            dv::MutexLocker lock(m_mutex);
            m_allowed += count;
        }
        m_changed.notifyAll();
    }
    int arrived() const
    {
        dv::MutexLocker lock(m_mutex);
        return m_arrived;
    }

private:
    mutable dv::Mutex m_mutex;
    dv::ConditionVariable m_changed;
    int m_allowed DV_GUARDED_BY(m_mutex) = 0;
    int m_arrived DV_GUARDED_BY(m_mutex) = 0;
};

class Listener : public NSObject, public RIWebImagePrefetcherDelegate {
public:
    std::vector<std::tuple<std::string, NSUInteger, NSUInteger>> prefetched;
    std::vector<std::pair<NSUInteger, NSUInteger>> finished;
    bool imagePrefetcherDidPrefetchURL(const Ref<RIWebImagePrefetcher>&, const Ref<NSURL>& url, NSUInteger done,
        NSUInteger total) override
    {
        prefetched.emplace_back(dv::str(url->absoluteString()), done, total);
        return true;
    }
    bool imagePrefetcherDidFinishWithTotalCount(const Ref<RIWebImagePrefetcher>&, NSUInteger total, NSUInteger skipped) override
    {
        finished.emplace_back(total, skipped);
        return true;
    }
};

class PrefetcherTest : public WebImageTest {
protected:
    void SetUp() override
    {
        WebImageTest::SetUp();
        own = alloc<RIWebImageManager>()->init();
        own->setImageCache(cache);
        own->setImageDownloader(downloader);
        prefetcher = alloc<RIWebImagePrefetcher>()->initWithImageManager(own);
        listener = alloc<Listener>();
        prefetcher->setDelegate(listener);
    }
    void TearDown() override
    {
        turnstile->release(1 << 20);
        prefetcher->cancelPrefetching();
        WebImageTest::TearDown();
    }
    // "/pic?i=N" held by the turnstile; "/missing?i=N" answers 404.
    void serveHeld()
    {
        server.route("/pic", [turnstile = turnstile](const RecordedRequest& request) {
            turnstile->pass();
            return imageReply(colourPNG(colourOf(std::stoul(request.query.substr(2)))));
        });
        server.route("/missing", ScriptedReply {.status = 404});
    }
    Ref<NSArray> pictures(std::initializer_list<std::string> paths)
    {
        auto list = NSMutableArray::array();
        for (auto& path : paths)
            list->addObject(url(path));
        return list;
    }
    std::vector<std::string> requestedQueries() const
    {
        std::vector<std::string> queries;
        for (auto& request : server.requests())
            queries.push_back(request.path + "?" + request.query);
        return queries;
    }

    std::shared_ptr<Turnstile> turnstile = std::make_shared<Turnstile>();
    Ref<RIWebImageManager> own;
    Ref<RIWebImagePrefetcher> prefetcher;
    Ref<Listener> listener;
    std::vector<std::pair<NSUInteger, NSUInteger>> progress;
    std::vector<std::pair<NSUInteger, NSUInteger>> completions;

    RIWebImagePrefetcherProgressBlock progressBlock()
    {
        return [this](NSUInteger done, NSUInteger total) { progress.emplace_back(done, total); };
    }
    RIWebImagePrefetcherCompletionBlock completionBlock()
    {
        return [this](NSUInteger done, NSUInteger skipped) { completions.emplace_back(done, skipped); };
    }
};

TEST_F(PrefetcherTest, ItsDefaultsAndTheDownloadersLimitOfThree)
{
    EXPECT_EQ(prefetcher->options(), RIWebImageLoadLowPriority);
    EXPECT_EQ(prefetcher->prefetcherQueue(), dispatch_get_main_queue());
    EXPECT_EQ(downloader->maxConcurrentDownloads(), 3);
    EXPECT_EQ(prefetcher->maxConcurrentDownloads(), 3u);
    prefetcher->setMaxConcurrentDownloads(5);
    EXPECT_EQ(downloader->maxConcurrentDownloads(), 5);
}

TEST_F(PrefetcherTest, AnEmptyListCompletesAtOnce)
{
    prefetcher->prefetchURLs(NSArray::array(), progressBlock(), completionBlock());
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0], std::make_pair(NSUInteger(0), NSUInteger(0)));
    EXPECT_TRUE(progress.empty());
    prefetcher->prefetchURLs(nil, nil, completionBlock());
    EXPECT_EQ(completions.size(), 2u);
}

TEST_F(PrefetcherTest, ThreeAtATimeEachFinishedOneStartingTheNext)
{
    serveHeld();
    auto urls = pictures({"/pic?i=0", "/pic?i=1", "/pic?i=2", "/pic?i=3", "/pic?i=4"});
    prefetcher->prefetchURLs(urls, progressBlock(), completionBlock());
    EXPECT_EQ(prefetcher->requestedCount(), 3u);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return turnstile->arrived() == 3; }));

    for (int finished = 1; finished <= 2; ++finished) {
        turnstile->release(1);
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return turnstile->arrived() == 3 + finished; }));
        EXPECT_EQ(prefetcher->finishedCount(), NSUInteger(finished));
        EXPECT_EQ(prefetcher->requestedCount(), NSUInteger(3 + finished));
    }
    // Indices 3 and 4 were asked for only after the first three.
    auto queries = requestedQueries();
    ASSERT_EQ(queries.size(), 5u);
    EXPECT_EQ(std::set<std::string>(queries.begin(), queries.begin() + 3),
        (std::set<std::string> {"/pic?i=0", "/pic?i=1", "/pic?i=2"}));
    EXPECT_EQ(queries[3], "/pic?i=3");
    EXPECT_EQ(queries[4], "/pic?i=4");
    EXPECT_TRUE(completions.empty());

    turnstile->release(3);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completions.size() == 1; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(completions, (std::vector<std::pair<NSUInteger, NSUInteger>> {{5, 0}}));
    ASSERT_EQ(progress.size(), 5u);
    for (NSUInteger i = 0; i < 5; ++i)
        EXPECT_EQ(progress[i], std::make_pair(i + 1, NSUInteger(5)));
    ASSERT_EQ(listener->prefetched.size(), 5u);
    EXPECT_EQ(std::get<1>(listener->prefetched.back()), 5u);
    EXPECT_EQ(std::get<2>(listener->prefetched.back()), 5u);
    EXPECT_EQ(listener->finished, (std::vector<std::pair<NSUInteger, NSUInteger>> {{5, 0}}));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(cache->imageFromMemoryCacheForKey(pictureURL(std::size_t(i))->absoluteString()));
    // The blocks were let go; the counts stay until the next batch.
    EXPECT_FALSE(prefetcher->completionBlock());
    EXPECT_FALSE(prefetcher->progressBlock());
    EXPECT_EQ(prefetcher->finishedCount(), 5u);
}

TEST_F(PrefetcherTest, FailedDownloadsAreCountedAsSkipped)
{
    serveHeld();
    turnstile->release(1 << 20);
    auto urls = pictures({"/pic?i=0", "/missing?i=1", "/pic?i=2", "/missing?i=3", "/pic?i=4"});
    prefetcher->prefetchURLs(urls, progressBlock(), completionBlock());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completions.size() == 1; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(completions[0], std::make_pair(NSUInteger(5), NSUInteger(2)));
    EXPECT_EQ(listener->finished, (std::vector<std::pair<NSUInteger, NSUInteger>> {{3, 2}}));
    EXPECT_EQ(prefetcher->skippedCount(), 2u);
    EXPECT_EQ(progress.size(), 5u);
}

TEST_F(PrefetcherTest, PicturesAlreadyCachedFinishAtOnce)
{
    serveHeld();
    turnstile->release(1 << 20);
    for (int i = 0; i < 4; ++i)
        cache->storeImage(colourImage(colourOf(std::size_t(i))), pictureURL(std::size_t(i))->absoluteString(), false);
    prefetcher->prefetchURLs(pictures({"/pic?i=0", "/pic?i=1", "/pic?i=2", "/pic?i=3", "/pic?i=4"}), progressBlock(), completionBlock());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completions.size() == 1; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(completions[0], std::make_pair(NSUInteger(5), NSUInteger(0)));
    EXPECT_EQ(prefetcher->requestedCount(), 5u);
    EXPECT_EQ(server.requestCount("/pic"), 1u);
}

TEST_F(PrefetcherTest, ANewBatchCancelsTheRunningOne)
{
    serveHeld();
    prefetcher->prefetchURLs(pictures({"/pic?i=0", "/pic?i=1", "/pic?i=2", "/pic?i=3"}), progressBlock(), completionBlock());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return turnstile->arrived() == 3; }));
    EXPECT_EQ(own->runningOperations()->count(), 3u);

    std::vector<std::pair<NSUInteger, NSUInteger>> second;
    prefetcher->prefetchURLs(pictures({"/pic?i=10", "/pic?i=11"}), nil,
        [&second](NSUInteger done, NSUInteger skipped) { second.emplace_back(done, skipped); });
    EXPECT_EQ(prefetcher->requestedCount(), 2u);
    EXPECT_EQ(prefetcher->finishedCount(), 0u);
    EXPECT_EQ(own->runningOperations()->count(), 2u) << "the first batch's loads were cancelled";
    turnstile->release(1 << 20);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return second.size() == 1; }));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(second[0], std::make_pair(NSUInteger(2), NSUInteger(0)));
    EXPECT_TRUE(completions.empty()) << "the first batch never completes";
    EXPECT_TRUE(progress.empty());
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey(pictureURL(3)->absoluteString()));

    // A cancel forgets the batch.
    prefetcher->cancelPrefetching();
    EXPECT_FALSE(prefetcher->prefetchURLs());
    EXPECT_EQ(prefetcher->requestedCount(), 0u);
}

TEST_F(PrefetcherTest, NoDownloadStartsWithALimitOfZero)
{
    serveHeld();
    prefetcher->setMaxConcurrentDownloads(0);
    prefetcher->prefetchURLs(pictures({"/pic?i=0", "/pic?i=1"}), progressBlock(), completionBlock());
    EXPECT_EQ(prefetcher->requestedCount(), 0u);
    dv::testing::runUntilIdle();
    EXPECT_EQ(server.requests().size(), 0u);
    EXPECT_TRUE(completions.empty());
}

TEST_F(PrefetcherTest, TheNextDownloadStartsFromTheChosenQueue)
{
    serveHeld();
    turnstile->release(1 << 20);
    auto queue = dispatch_queue_create("prefetch-test", DISPATCH_QUEUE_SERIAL);
    dispatch_suspend(queue);
    prefetcher->setPrefetcherQueue(queue);
    prefetcher->setMaxConcurrentDownloads(1);
    prefetcher->prefetchURLs(pictures({"/pic?i=0", "/pic?i=1"}), progressBlock(), completionBlock());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return progress.size() == 1; }));
    EXPECT_EQ(server.requestCount("/pic"), 1u) << "the next one waits for its queue";
    // The next start runs on the queue; what it starts completes on the main thread as before.
    dispatch_resume(queue);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completions.size() == 1; }));
    EXPECT_EQ(completions[0], std::make_pair(NSUInteger(2), NSUInteger(0)));
}

} // namespace
} // namespace dv::test
