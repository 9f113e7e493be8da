// The network image downloader against a loopback server: merging requests for one URL, answers
// from its cache by cache policy, at most four downloads at once with first-in-first-out or
// last-in-first-out waiting, withdrawing one requester by its receipt (queued and running tasks),
// refused requests, errors reaching every requester, and the URL cache beneath the session.
#include "NetworkImageTestSupport.h"

#include "foundation/http/PNHTTPSessionManager.h"
#include "foundation/http/PNImageResponseSerializer.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/NSURLSessionTask.h"
#include "ui/images/PNAutoPurgingImageCache.h"
#include "ui/images/PNImageDownloaderResponseHandler.h"

namespace dv::test {
namespace {

class NetworkImageDownloaderTest : public NetworkImageTest {
protected:
    Ref<PNImageDownloader> makeDownloader(PNImageDownloadPrioritization order, NSInteger maximum)
    {
        auto manager = dv::as<PNHTTPSessionManager>(
            alloc<PNHTTPSessionManager>()->initWithSessionConfiguration(PNImageDownloader::defaultURLSessionConfiguration()));
        manager->setResponseSerializer(PNImageResponseSerializer::serializer());
        return alloc<PNImageDownloader>()->initWithSessionManager(manager, order, maximum, alloc<PNAutoPurgingImageCache>()->init());
    }
    bool cached(std::size_t index) const { return bool(downloader->imageCache()->imageforRequest(pictureRequest(index), nil)); }
};

TEST_F(NetworkImageDownloaderTest, TwoRequestsForOneURLShareOneTaskAndBothHearWithTheFirstRequest)
{
    auto gate = holdPictures();
    NetworkCalls calls;
    auto first = pictureRequest(1);
    auto second = pictureRequest(1);
    second->setValueForHTTPHeaderField("second"_ns, "X-Who"_ns);
    auto a = downloader->downloadImageForURLRequest(first, calls.success("a"), calls.failure("a"));
    auto b = downloader->downloadImageForURLRequest(second, calls.success("b"), calls.failure("b"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->task(), b->task());
    EXPECT_FALSE(dv::equal(a->receiptID(), b->receiptID()));
    EXPECT_EQ(downloader->activeRequestCount(), 1);

    gate->open();
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 2; }));
    EXPECT_EQ(calls.order, (std::vector<std::string> {"a", "b"}));
    for (auto& call : calls.successes) {
        EXPECT_EQ(call.request, first);
        ASSERT_TRUE(call.response);
        EXPECT_EQ(call.response->statusCode(), 200);
        EXPECT_EQ(indexOf(middleOf(call.image)), 1);
        EXPECT_TRUE(call.onMainThread);
    }
    EXPECT_EQ(server.requestCount("/pic"), 1u);
    EXPECT_TRUE(calls.failures.empty());
}

TEST_F(NetworkImageDownloaderTest, ACachedImageAnswersLaterWithoutResponseOrReceiptUnlessThePolicyReloads)
{
    NetworkCalls calls;
    ASSERT_TRUE(downloader->downloadImageForURLRequest(pictureRequest(2), calls.success(), calls.failure()));
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 1; }));
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));

    for (auto policy : {NSURLRequestUseProtocolCachePolicy, NSURLRequestReturnCacheDataElseLoad, NSURLRequestReturnCacheDataDontLoad}) {
        const auto before = calls.successes.size();
        EXPECT_FALSE(downloader->downloadImageForURLRequest(pictureRequest(2, policy), calls.success(), calls.failure()));
        EXPECT_EQ(calls.successes.size(), before); // not inside the call: through the main queue
        ASSERT_TRUE(waitFor([&] { return calls.successes.size() == before + 1; }));
        EXPECT_FALSE(calls.successes.back().response);
        EXPECT_EQ(indexOf(middleOf(calls.successes.back().image)), 2);
        EXPECT_TRUE(calls.successes.back().onMainThread);
    }
    EXPECT_EQ(server.requestCount("/pic"), 1u);

    EXPECT_TRUE(downloader->downloadImageForURLRequest(pictureRequest(2, NSURLRequestReloadIgnoringLocalCacheData), calls.success(),
        calls.failure()));
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 5; }));
    EXPECT_TRUE(calls.successes.back().response);
    EXPECT_EQ(server.requestCount("/pic"), 2u);
}

TEST_F(NetworkImageDownloaderTest, AtMostFourRunAtOnceAndTheRestWaitInOrder)
{
    auto gate = holdPictures();
    NetworkCalls calls;
    for (std::size_t i = 0; i < 6; ++i)
        ASSERT_TRUE(downloader->downloadImageForURLRequest(pictureRequest(i), calls.success(std::to_string(i)), calls.failure()));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 4; }));
    EXPECT_EQ(downloader->activeRequestCount(), 4);
    auto queued = downloader->queuedMergedTasks();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(str(queued[0]->identifier()), str(pictureURL(4)->absoluteString()));
    EXPECT_EQ(str(queued[1]->identifier()), str(pictureURL(5)->absoluteString()));
    EXPECT_EQ(queued[0]->task()->state(), NSURLSessionTaskStateSuspended);
    turnLoop();
    EXPECT_EQ(gate->arrived(), 4);

    gate->open();
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 6; }));
    EXPECT_EQ(gate->most(), 4);
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
    EXPECT_TRUE(downloader->queuedMergedTasks().empty());
}

TEST_F(NetworkImageDownloaderTest, LastInFirstOutStartsTheNewestWaitingRequestFirst)
{
    downloader = makeDownloader(PNImageDownloadPrioritizationLIFO, 4);
    ASSERT_TRUE(downloader);
    auto gate = holdPictures();
    NetworkCalls calls;
    for (std::size_t i = 0; i < 6; ++i)
        ASSERT_TRUE(downloader->downloadImageForURLRequest(pictureRequest(i), calls.success(std::to_string(i)), calls.failure()));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 4; }));
    auto queued = downloader->queuedMergedTasks();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(str(queued[0]->identifier()), str(pictureURL(5)->absoluteString()));
    gate->open();
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 6; }));

    // One slot makes the order visible at the server: 10 runs, then 12 (the newest), then 11.
    auto single = makeDownloader(PNImageDownloadPrioritizationLIFO, 1);
    auto held = holdPictures();
    NetworkCalls more;
    for (std::size_t i = 10; i < 13; ++i)
        ASSERT_TRUE(single->downloadImageForURLRequest(pictureRequest(i), more.success(std::to_string(i)), more.failure()));
    ASSERT_TRUE(waitFor([&] { return held->waiting() == 1; }));
    held->open();
    ASSERT_TRUE(waitFor([&] { return more.successes.size() == 3; }));
    EXPECT_EQ(more.order, (std::vector<std::string> {"10", "12", "11"}));
    ASSERT_TRUE(waitFor([&] { return single->activeRequestCount() == 0; }));
}

TEST_F(NetworkImageDownloaderTest, WithdrawingTheOnlyRequesterOfAWaitingTaskCancelsAndForgetsIt)
{
    downloader->setMaximumActiveDownloads(1);
    auto gate = holdPictures();
    NetworkCalls calls;
    ASSERT_TRUE(downloader->downloadImageForURLRequest(pictureRequest(1), calls.success("running"), calls.failure("running")));
    auto queued = downloader->downloadImageForURLRequest(pictureRequest(2), calls.success("queued"), calls.failure("queued"));
    ASSERT_TRUE(queued);
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));

    downloader->cancelTaskForImageDownloadReceipt(queued);
    EXPECT_TRUE(calls.failures.empty()); // told through the main queue
    ASSERT_TRUE(waitFor([&] { return calls.failures.size() == 1; }));
    auto& failure = calls.failures[0];
    EXPECT_EQ(failure.tag, "queued");
    EXPECT_EQ(str(failure.error->domain()), str(NSURLErrorDomain));
    EXPECT_EQ(failure.error->code(), NSURLErrorCancelled);
    EXPECT_EQ(str(dv::as<NSString>(failure.error->userInfo()->objectForKey(NSLocalizedFailureReasonErrorKey))),
        "ImageDownloader cancelled URL request: " + str(pictureURL(2)->absoluteString()));
    EXPECT_FALSE(failure.response);
    EXPECT_EQ(failure.request, queued->task()->originalRequest());
    EXPECT_NE(queued->task()->state(), NSURLSessionTaskStateSuspended);

    // The cancelled task is gone at once; its completion does not count as an ended download, so
    // the one slot stays taken and a new request for the same URL waits with a task of its own.
    EXPECT_EQ(downloader->mergedTasks().count(str(pictureURL(2)->absoluteString())), 0u);
    EXPECT_TRUE(downloader->queuedMergedTasks().empty());
    ASSERT_TRUE(waitProcessed(queued->task()));
    EXPECT_EQ(downloader->activeRequestCount(), 1);
    auto again = downloader->downloadImageForURLRequest(pictureRequest(2), calls.success("again"), calls.failure("again"));
    ASSERT_TRUE(again);
    EXPECT_NE(again->task(), queued->task());
    EXPECT_EQ(downloader->queuedMergedTasks().size(), 1u);
    turnLoop();
    EXPECT_EQ(gate->arrived(), 1);

    gate->open();
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 2; }));
    EXPECT_EQ(calls.order, (std::vector<std::string> {"queued", "running", "again"}));
    EXPECT_EQ(indexOf(middleOf(calls.successes[1].image)), 2);
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
}

TEST_F(NetworkImageDownloaderTest, WithdrawingARunningTaskTellsOnlyThatRequesterAndTheImageStillComesIntoTheCache)
{
    auto gate = holdPictures();
    NetworkCalls calls;
    auto only = downloader->downloadImageForURLRequest(pictureRequest(3), calls.success("only"), calls.failure("only"));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    downloader->cancelTaskForImageDownloadReceipt(only);
    ASSERT_TRUE(waitFor([&] { return calls.failures.size() == 1; }));
    EXPECT_EQ(calls.failures[0].error->code(), NSURLErrorCancelled);
    EXPECT_EQ(only->task()->state(), NSURLSessionTaskStateRunning);

    // Two requesters of one task: withdrawing the first leaves the second to get the picture.
    auto first = downloader->downloadImageForURLRequest(pictureRequest(4), calls.success("first"), calls.failure("first"));
    auto second = downloader->downloadImageForURLRequest(pictureRequest(4), calls.success("second"), calls.failure("second"));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 2; }));
    downloader->cancelTaskForImageDownloadReceipt(first);
    gate->open();
    ASSERT_TRUE(waitFor([&] { return cached(3) && calls.successes.size() == 1; }));
    EXPECT_EQ(calls.successes[0].tag, "second");
    EXPECT_EQ(indexOf(middleOf(calls.successes[0].image)), 4);
    ASSERT_EQ(calls.failures.size(), 2u);
    EXPECT_EQ(calls.failures[1].tag, "first");

    // A receipt whose download has ended changes nothing.
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
    downloader->cancelTaskForImageDownloadReceipt(second);
    turnLoop();
    EXPECT_EQ(calls.total(), 3u);
}

TEST_F(NetworkImageDownloaderTest, ARequestWithoutURLIsRefusedAsABadURLLater)
{
    NetworkCalls calls;
    auto empty = NSURLRequest::requestWithURL(nil);
    EXPECT_FALSE(downloader->downloadImageForURLRequest(empty, calls.success(), calls.failure()));
    EXPECT_FALSE(downloader->downloadImageForURLRequest(nil, calls.success(), calls.failure()));
    EXPECT_TRUE(calls.failures.empty());
    ASSERT_TRUE(waitFor([&] { return calls.failures.size() == 2; }));
    EXPECT_EQ(calls.failures[0].error->code(), NSURLErrorBadURL);
    EXPECT_EQ(calls.failures[0].request, empty);
    EXPECT_TRUE(calls.failures[0].onMainThread);
    EXPECT_TRUE(downloader->mergedTasks().empty());
    EXPECT_EQ(server.requestCount("/pic"), 0u);
}

TEST_F(NetworkImageDownloaderTest, UnknownOrderCodesAreRefused)
{
    auto manager = dv::as<PNHTTPSessionManager>(alloc<PNHTTPSessionManager>()->initWithSessionConfiguration(nil));
    EXPECT_FALSE(alloc<PNImageDownloader>()->initWithSessionManager(manager, PNImageDownloadPrioritization(2), 4,
        alloc<PNAutoPurgingImageCache>()->init()));
    downloader->setDownloadPrioritizaton(PNImageDownloadPrioritizationLIFO);
    downloader->setDownloadPrioritizaton(PNImageDownloadPrioritization(-1));
    EXPECT_EQ(downloader->downloadPrioritizaton(), PNImageDownloadPrioritizationLIFO);
}

TEST_F(NetworkImageDownloaderTest, ServerErrorsReachEveryRequesterUnchangedWithTheResponse)
{
    server.route("/missing", dv::testing::ScriptedReply {.status = 404, .body = "no", .contentType = "text/plain"});
    server.route("/text", dv::testing::ScriptedReply {.body = "not a picture", .contentType = "text/plain"});
    NetworkCalls calls;
    auto request = NSURLRequest::requestWithURL(url("/missing"));
    downloader->downloadImageForURLRequest(request, calls.success(), calls.failure("a"));
    downloader->downloadImageForURLRequest(request, calls.success(), calls.failure("b"));
    downloader->downloadImageForURLRequest(NSURLRequest::requestWithURL(url("/text")), calls.success(), calls.failure("c"));
    ASSERT_TRUE(waitFor([&] { return calls.failures.size() == 3; }));
    EXPECT_TRUE(calls.successes.empty());
    for (auto& call : calls.failures) {
        ASSERT_TRUE(call.response) << call.tag;
        EXPECT_TRUE(call.onMainThread);
    }
    // The two tasks end in either order; the requesters of one task hear in their order.
    auto byTag = [&](const std::string& tag) -> NetworkCalls::Call& {
        return *std::find_if(calls.failures.begin(), calls.failures.end(), [&](auto& call) { return call.tag == tag; });
    };
    EXPECT_EQ(byTag("a").error->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(byTag("a").response->statusCode(), 404);
    EXPECT_EQ(byTag("b").error, byTag("a").error);
    EXPECT_LT(std::find(calls.order.begin(), calls.order.end(), "a"), std::find(calls.order.begin(), calls.order.end(), "b"));
    EXPECT_EQ(byTag("c").error->code(), NSURLErrorCannotDecodeContentData);
    EXPECT_EQ(server.requestCount("/missing"), 1u);
}

TEST_F(NetworkImageDownloaderTest, ACompletionAfterTheDownloaderIsGoneDoesNothing)
{
    auto gate = holdPictures();
    auto calls = std::make_shared<NetworkCalls>();
    auto receipt = downloader->downloadImageForURLRequest(pictureRequest(7), calls->success(), calls->failure());
    auto waiting = downloader->downloadImageForURLRequest(pictureRequest(8), calls->success(), calls->failure());
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 2; }));
    auto task = receipt->task();
    auto other = waiting->task();
    downloader = nil;
    gate->open();
    ASSERT_TRUE(waitFor([&] {
        return task->state() == NSURLSessionTaskStateCompleted && other->state() == NSURLSessionTaskStateCompleted;
    }));
    turnLoop();
    EXPECT_EQ(calls->total(), 0u);
}

TEST_F(NetworkImageDownloaderTest, QueuedTasksOfADownloaderThatGoesAreCancelled)
{
    downloader->setMaximumActiveDownloads(1);
    auto gate = holdPictures();
    NetworkCalls calls;
    auto running = downloader->downloadImageForURLRequest(pictureRequest(1), calls.success(), calls.failure());
    auto queued = downloader->downloadImageForURLRequest(pictureRequest(2), calls.success(), calls.failure());
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    auto task = queued->task();
    downloader = nil;
    ASSERT_TRUE(waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
    ASSERT_TRUE(task->error());
    EXPECT_EQ(task->error()->code(), NSURLErrorCancelled);
    gate->open();
    ASSERT_TRUE(waitFor([&] { return running->task()->state() == NSURLSessionTaskStateCompleted; }));
    turnLoop();
    EXPECT_EQ(calls.total(), 0u);
}

TEST_F(NetworkImageDownloaderTest, DefaultsAndTheURLCacheBeneathTheSession)
{
    auto urlCache = PNImageDownloader::defaultURLCache();
    EXPECT_EQ(urlCache->memoryCapacity(), 20971520u);
    EXPECT_EQ(urlCache->diskCapacity(), 157286400u);
    EXPECT_NE(urlCache->diskDirectory().find("com.pellucor.imagedownloader"), std::string::npos);
    EXPECT_EQ(urlCache->diskDirectory().rfind(home(), 0), 0u);
    auto configuration = PNImageDownloader::defaultURLSessionConfiguration();
    EXPECT_TRUE(configuration->HTTPShouldSetCookies());
    EXPECT_FALSE(configuration->HTTPShouldUsePipelining());
    EXPECT_EQ(configuration->requestCachePolicy(), NSURLRequestUseProtocolCachePolicy);
    EXPECT_TRUE(configuration->allowsCellularAccess());
    EXPECT_EQ(configuration->timeoutIntervalForRequest(), 60.0);
    ASSERT_TRUE(configuration->URLCache());
    EXPECT_EQ(downloader->maximumActiveDownloads(), 4);
    EXPECT_EQ(downloader->downloadPrioritizaton(), PNImageDownloadPrioritizationFIFO);
    auto cache = std::dynamic_pointer_cast<PNAutoPurgingImageCache>(downloader->imageCache());
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->memoryCapacity(), 104857600u);
    EXPECT_EQ(PNImageDownloader::defaultInstance(), PNImageDownloader::defaultInstance());
    EXPECT_EQ(str(alloc<PNImageDownloaderResponseHandler>()->initWithUUID(alloc<NSUUID>()->initWithUUIDString(
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_ns), nullptr, nullptr)->description()),
        "<PNImageDownloaderResponseHandler>UUID: E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

    // A picture the protocol lets be cached comes from the URL cache once the memory cache has
    // let it go: the server sees one request.
    servePictures(nullptr, {{"Cache-Control", "max-age=600"}});
    NetworkCalls calls;
    downloader->downloadImageForURLRequest(pictureRequest(9), calls.success(), calls.failure());
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 1; }));
    ASSERT_TRUE(waitFor([&] { return downloader->activeRequestCount() == 0; }));
    ASSERT_TRUE(downloader->imageCache()->removeAllImages());
    EXPECT_TRUE(downloader->downloadImageForURLRequest(pictureRequest(9), calls.success(), calls.failure()));
    ASSERT_TRUE(waitFor([&] { return calls.successes.size() == 2; }));
    EXPECT_EQ(indexOf(middleOf(calls.successes[1].image)), 9);
    EXPECT_EQ(server.requestCount("/pic"), 1u);
}

} // namespace
} // namespace dv::test
