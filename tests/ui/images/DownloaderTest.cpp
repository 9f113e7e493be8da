// The image downloader: merging requests for one URL, each caller's own cancellation, the queue's
// width, order and priorities, the request it builds, and its activity-indicator hook.
#include "DownloadTestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/net/NSURLRequest.h"

#include <atomic>

// Stands in for an activity indicator that an application may add: the downloader finds it by
// name and has it follow the start and stop notifications.
class RINetworkActivityIndicator : public NSObject {
    DV_CLASS(RINetworkActivityIndicator, NSObject)
public:
    static Ref<RINetworkActivityIndicator> shared()
    {
        static const Ref<RINetworkActivityIndicator> indicator = alloc<RINetworkActivityIndicator>();
        return indicator;
    }
    std::atomic<int> starts { 0 };
    std::atomic<int> stops { 0 };
};

DV_DEFINE_CLASS_WITH(RINetworkActivityIndicator, b)
{
    b.classMethodReturning("sharedActivityIndicator", [] { return RINetworkActivityIndicator::shared(); });
    b.method("startActivity", "v24@0:8@16", [](RINetworkActivityIndicator& self, std::span<const id>) -> id {
        ++self.starts;
        return nil;
    });
    b.method("stopActivity", "v24@0:8@16", [](RINetworkActivityIndicator& self, std::span<const id>) -> id {
        ++self.stops;
        return nil;
    });
}

// A download operation of the application's own, made by the downloader in place of the default.
class CountingDownloadOperation : public RIWebImageDownloaderOperation {
    DV_CLASS(CountingDownloadOperation, RIWebImageDownloaderOperation)
};
DV_DEFINE_CLASS(CountingDownloadOperation)

namespace dv::test {
namespace {

using namespace std::chrono_literals;
using dv::testing::RecordedRequest;
using dv::testing::ScriptedReply;

class ImageDownloaderTest : public DownloaderTest {
protected:
    // Replies to `path` only once the gate opens.
    void routeHeld(const std::string& path, const std::shared_ptr<Gate>& gate, Ref<NSData> image = nil)
    {
        if (!image)
            image = noisyPNG(8, 8);
        auto body = bytes(image);
        server.route(path, [gate, body](const RecordedRequest&) {
            gate->pass();
            return ScriptedReply {.body = body, .contentType = "image/png"};
        });
    }
    // The paths in the order the server saw them.
    std::vector<std::string> requestOrder() const
    {
        std::vector<std::string> paths;
        for (auto& request : server.requests())
            paths.push_back(request.path);
        return paths;
    }
};

TEST_F(ImageDownloaderTest, RequestsForOneURLShareOneDownload)
{
    auto gate = std::make_shared<Gate>();
    auto png = noisyPNG(20, 20);
    routeHeld("/shared.png", gate, png);
    auto first = Recorder::make(), second = Recorder::make();
    auto firstToken = download(url("/shared.png"), first);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
    auto secondToken = download(url("/shared.png"), second);
    ASSERT_TRUE(firstToken && secondToken);
    EXPECT_TRUE(firstToken->startedDownload());
    EXPECT_FALSE(secondToken->startedDownload());
    EXPECT_EQ(firstToken->operation(), secondToken->operation());
    gate->open();
    ASSERT_TRUE(waitFinals(first));
    ASSERT_TRUE(waitFinals(second));
    EXPECT_EQ(server.requestCount("/shared.png"), 1u);
    EXPECT_EQ(first->last().image, second->last().image);
    EXPECT_EQ(bytes(second->last().data), bytes(png));
    ASSERT_TRUE(waitAllFinished());
    // Both heard the progress that came after they joined.
    {
        dv::MutexLocker lock(second->mutex);
        ASSERT_FALSE(second->progress.empty());
        EXPECT_EQ(second->progress.back().first, NSInteger(png->length()));
    }

    // Finished: the next request downloads again.
    auto third = Recorder::make();
    auto thirdToken = download(url("/shared.png"), third);
    EXPECT_TRUE(thirdToken->startedDownload());
    EXPECT_NE(thirdToken->operation(), firstToken->operation());
    ASSERT_TRUE(waitFinals(third));
    EXPECT_EQ(server.requestCount("/shared.png"), 2u);
}

TEST_F(ImageDownloaderTest, CancellingOneCallerLeavesTheOthersTheirImage)
{
    auto gate = std::make_shared<Gate>();
    routeHeld("/merged.png", gate);
    auto leaving = Recorder::make(), staying = Recorder::make();
    auto leavingToken = download(url("/merged.png"), leaving);
    auto stayingToken = download(url("/merged.png"), staying);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
    // The caller that started the download leaves; the one that joined still gets the image.
    leavingToken->cancel();
    leavingToken->cancel(); // twice changes nothing
    EXPECT_TRUE(leavingToken->isCancelled());
    EXPECT_FALSE(leavingToken->operation()->isCancelled());
    gate->open();
    ASSERT_TRUE(waitFinals(staying));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_TRUE(staying->last().image);
    EXPECT_TRUE(leaving->all().empty());
    dv::MutexLocker lock(leaving->mutex);
    // Progress queued before the cancel is not delivered after it either.
    EXPECT_LE(leaving->progress.size(), 1u);
}

TEST_F(ImageDownloaderTest, TheDownloadIsCancelledWhenItsLastCallerLeaves)
{
    auto gate = std::make_shared<Gate>();
    routeHeld("/abandoned.png", gate);
    auto a = Recorder::make(), b = Recorder::make();
    auto tokenA = download(url("/abandoned.png"), a);
    auto tokenB = download(url("/abandoned.png"), b);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
    auto operation = tokenA->operation();
    tokenA->cancel();
    EXPECT_FALSE(operation->isCancelled());
    tokenB->cancel();
    EXPECT_TRUE(operation->isCancelled());
    // A caller after the cancel starts a download of its own.
    auto c = Recorder::make();
    auto tokenC = download(url("/abandoned.png"), c);
    EXPECT_TRUE(tokenC->startedDownload());
    EXPECT_NE(tokenC->operation(), operation);
    gate->open();
    ASSERT_TRUE(waitFinals(c));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_TRUE(c->last().image);
    EXPECT_TRUE(a->all().empty());
    EXPECT_TRUE(b->all().empty());
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(notesFor(operation).back(), "StopNotification");
}

TEST_F(ImageDownloaderTest, BlocksThatHoldTheirOwnTokenAreLetGoOnceDone)
{
    server.route("/kept.png", imageReply(noisyPNG(8, 8)));
    auto gate = std::make_shared<Gate>();
    routeHeld("/left.png", gate);
    Weak<RIWebImageDownloadToken> finished, left;
    std::atomic<int> calls { 0 };
    for (auto path : {"/kept.png", "/left.png"}) {
        auto holder = std::make_shared<Ref<RIWebImageDownloadToken>>();
        auto token = downloader->downloadImageWithURL(url(path), 0, [holder](NSInteger, NSInteger) { },
            [holder, &calls](const Ref<UIImage>&, const Ref<NSData>&, const Ref<NSError>&, bool) { ++calls; });
        *holder = token;
        (std::string(path) == "/kept.png" ? finished : left) = token;
    }
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return calls == 1 && gate->waiting() == 1; }));
    left.lock()->cancel();
    gate->open();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0; }));
    dv::testing::runUntilIdle();
    EXPECT_TRUE(finished.expired());
    EXPECT_TRUE(left.expired());
    EXPECT_EQ(calls, 1);
}

TEST_F(ImageDownloaderTest, SixRunAtOnceAndNoMore)
{
    EXPECT_EQ(downloader->maxConcurrentDownloads(), 6);
    auto gate = std::make_shared<Gate>();
    std::vector<std::shared_ptr<Recorder>> recorders;
    std::vector<Ref<RIWebImageDownloadToken>> tokens;
    for (int i = 0; i < 9; ++i) {
        routeHeld("/p" + std::to_string(i) + ".png", gate);
        recorders.push_back(Recorder::make());
        tokens.push_back(download(url("/p" + std::to_string(i) + ".png"), recorders.back()));
    }
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 6; }));
    int executing = 0;
    for (auto& token : tokens)
        executing += token->operation()->isExecuting();
    EXPECT_EQ(executing, 6);
    EXPECT_EQ(downloader->currentDownloadCount(), 9u);
    gate->open();
    for (auto& recorder : recorders)
        ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(gate->most(), 6);
    EXPECT_EQ(gate->arrived(), 9);
    EXPECT_EQ(downloader->currentDownloadCount(), 0u);
}

TEST_F(ImageDownloaderTest, FirstInFirstOutByDefaultAndLastInFirstOutWhenAsked)
{
    for (auto order : {RIWebImageDownloadOrderFIFO, RIWebImageDownloadOrderLIFO}) {
        SCOPED_TRACE(order == RIWebImageDownloadOrderFIFO ? "FIFO" : "LIFO");
        dv::testing::LoopbackServer ordered;
        auto gate = std::make_shared<Gate>();
        auto body = bytes(noisyPNG(8, 8));
        struct {
            dv::Mutex mutex;
            std::vector<std::string> names DV_GUARDED_BY(mutex);
        } seen;
        for (std::string name : {"/running", "/b", "/c", "/d"})
            ordered.route(name, [gate, body, name, &seen](const RecordedRequest&) {
                {
                    dv::MutexLocker lock(seen.mutex);
                    seen.names.push_back(name);
                }
                if (name == "/running")
                    gate->pass();
                return ScriptedReply {.body = body, .contentType = "image/png"};
            });
        downloader->setExecutionOrder(order);
        downloader->setMaxConcurrentDownloads(1);
        std::vector<std::shared_ptr<Recorder>> recorders;
        for (std::string name : {"/running", "/b", "/c", "/d"}) {
            recorders.push_back(Recorder::make());
            download(NSURL::URLWithString(NSString::fromUTF8(ordered.url(name))), recorders.back());
            if (name == "/running") {
                ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
            }
        }
        gate->open();
        for (auto& recorder : recorders)
            ASSERT_TRUE(waitFinals(recorder));
        ASSERT_TRUE(waitAllFinished());
        dv::MutexLocker lock(seen.mutex);
        if (order == RIWebImageDownloadOrderFIFO)
            EXPECT_EQ(seen.names, (std::vector<std::string> {"/running", "/b", "/c", "/d"}));
        else
            EXPECT_EQ(seen.names, (std::vector<std::string> {"/running", "/d", "/c", "/b"}));
    }
}

TEST_F(ImageDownloaderTest, HighPriorityGoesFirstEvenWhenAlsoMarkedLow)
{
    auto gate = std::make_shared<Gate>();
    routeHeld("/running.png", gate);
    auto body = bytes(noisyPNG(8, 8));
    for (std::string name : {"/low.png", "/normal.png", "/high.png"})
        server.route(name, ScriptedReply {.body = body, .contentType = "image/png"});
    downloader->setMaxConcurrentDownloads(1);
    auto running = Recorder::make(), low = Recorder::make(), normal = Recorder::make(), high = Recorder::make();
    download(url("/running.png"), running);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
    auto lowToken = download(url("/low.png"), low, RIWebImageDownloadLowPriority);
    download(url("/normal.png"), normal);
    auto highToken = download(url("/high.png"), high, RIWebImageDownloadHighPriority | RIWebImageDownloadLowPriority);
    EXPECT_EQ(lowToken->operation()->queuePriority(), NSOperationQueuePriorityLow);
    EXPECT_EQ(highToken->operation()->queuePriority(), NSOperationQueuePriorityHigh);
    gate->open();
    ASSERT_TRUE(waitFinals(low));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(requestOrder(), (std::vector<std::string> {"/running.png", "/high.png", "/normal.png", "/low.png"}));
}

TEST_F(ImageDownloaderTest, NoURLCompletesAtOnceUnfinished)
{
    auto recorder = Recorder::make();
    EXPECT_FALSE(download(nil, recorder));
    auto calls = recorder->all();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].image);
    EXPECT_FALSE(calls[0].error);
    EXPECT_FALSE(calls[0].finished);
    EXPECT_EQ(downloader->currentDownloadCount(), 0u);
}

TEST_F(ImageDownloaderTest, RequestsCarryTheHeaderTableOrWhatTheFilterMakesOfIt)
{
    auto body = bytes(noisyPNG(8, 8));
    server.route("/h.png", ScriptedReply {.body = body, .contentType = "image/png"});
    EXPECT_TRUE(dv::equal(downloader->valueForHTTPHeaderField("Accept"_ns), "image/*;q=0.8"_ns));
    downloader->setDownloadTimeout(0);
    auto plain = Recorder::make();
    auto token = download(url("/h.png?1"), plain, RIWebImageDownloadSendCookies);
    ASSERT_TRUE(waitFinals(plain));
    EXPECT_EQ(token->operation()->request()->timeoutInterval(), 15.0);
    EXPECT_EQ(token->operation()->request()->cachePolicy(), NSURLRequestReloadIgnoringLocalCacheData);
    EXPECT_TRUE(token->operation()->request()->HTTPShouldHandleCookies());
    EXPECT_TRUE(token->operation()->request()->HTTPShouldUsePipelining());

    downloader->setValueForHTTPHeaderField("yes"_ns, "X-Thumbnail"_ns);
    downloader->setValueForHTTPHeaderField(nil, "Accept"_ns);
    EXPECT_FALSE(downloader->valueForHTTPHeaderField("Accept"_ns));
    auto changed = Recorder::make();
    auto second = download(url("/h.png?2"), changed);
    ASSERT_TRUE(waitFinals(changed));
    EXPECT_FALSE(second->operation()->request()->HTTPShouldHandleCookies());

    downloader->setHeadersFilter([](const Ref<NSURL>& u, const Ref<NSDictionary>& headers) -> Ref<NSDictionary> {
        auto fields = NSMutableDictionary::dictionaryWithDictionary(headers);
        fields->setObjectForKey(u->query(), "X-Query"_ns);
        return fields;
    });
    auto filtered = Recorder::make();
    download(url("/h.png?3"), filtered);
    ASSERT_TRUE(waitFinals(filtered));
    ASSERT_TRUE(waitAllFinished());

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].header("accept"), "image/*;q=0.8");
    EXPECT_EQ(requests[0].header("x-thumbnail"), "");
    EXPECT_EQ(requests[1].header("x-thumbnail"), "yes");
    EXPECT_NE(requests[1].header("accept"), "image/*;q=0.8");
    EXPECT_EQ(requests[2].header("x-thumbnail"), "yes");
    EXPECT_EQ(requests[2].header("x-query"), "3");
}

TEST_F(ImageDownloaderTest, DownloadsAreMadeOfTheOperationClassSet)
{
    server.route("/own.png", imageReply(noisyPNG(8, 8)));
    downloader->setOperationClass(CountingDownloadOperation::class_());
    EXPECT_EQ(downloader->operationClass(), CountingDownloadOperation::class_());
    auto recorder = Recorder::make();
    auto token = download(url("/own.png"), recorder);
    EXPECT_TRUE(dv::as<CountingDownloadOperation>(token->operation()));
    ASSERT_TRUE(waitFinals(recorder));
    EXPECT_TRUE(recorder->last().image);
    downloader->setOperationClass(NSObject::class_());
    EXPECT_EQ(downloader->operationClass(), RIWebImageDownloaderOperation::class_());
    downloader->setOperationClass(Nil);
    EXPECT_EQ(downloader->operationClass(), RIWebImageDownloaderOperation::class_());
    ASSERT_TRUE(waitAllFinished());
}

TEST_F(ImageDownloaderTest, AnActivityIndicatorFollowsStartsAndStops)
{
    auto indicator = RINetworkActivityIndicator::shared();
    const int starts = indicator->starts, stops = indicator->stops;
    server.route("/spin.png", imageReply(noisyPNG(8, 8)));
    auto recorder = Recorder::make();
    download(url("/spin.png"), recorder);
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(indicator->starts - starts, 1);
    EXPECT_EQ(indicator->stops - stops, 1);
    // Set up once however many downloaders there are.
    RIWebImageDownloader::initialize();
    auto again = Recorder::make();
    download(url("/spin.png?again"), again);
    ASSERT_TRUE(waitFinals(again));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(indicator->starts - starts, 2);
}

TEST_F(ImageDownloaderTest, ASuspendedDownloaderStartsNothingUntilResumed)
{
    server.route("/later.png", imageReply(noisyPNG(8, 8)));
    downloader->setSuspended(true);
    auto recorder = Recorder::make();
    auto token = download(url("/later.png"), recorder);
    EXPECT_FALSE(token->operation()->isExecuting());
    EXPECT_EQ(downloader->currentDownloadCount(), 1u);
    downloader->setSuspended(false);
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_TRUE(recorder->last().image);
}

TEST_F(ImageDownloaderTest, ADownloaderThatGoesCancelsItsDownloads)
{
    auto gate = std::make_shared<Gate>();
    routeHeld("/orphan.png", gate);
    auto recorder = Recorder::make();
    auto token = download(url("/orphan.png"), recorder);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
    downloader = nullptr;
    // A relay of the download's progress may hold the downloader for a moment on the download's
    // thread; it goes, and cancels, when that lets it go.
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return token->operation()->isCancelled(); }));
    token->cancel(); // its downloader gone: nothing to do
    gate->open();
    ASSERT_TRUE(waitAllFinished());
    EXPECT_TRUE(recorder->all().empty());
}

} // namespace
} // namespace dv::test
