#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSThread.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/testing/support/ServerSockets.h"

#include <gtest/gtest.h>

#include <thread>

using dv::testing::LoopbackServer;
using dv::testing::ScriptedReply;
using namespace std::chrono_literals;

namespace {

class ConnectionRecorder : public NSObject, public NSURLConnectionDataDelegate {
    DV_CLASS(ConnectionRecorder, NSObject)

public:
    dv::Mutex mutex;
    std::vector<std::string> calls DV_GUARDED_BY(mutex);
    std::string body;
    Ref<NSError> error;
    Ref<NSURLResponse> response;
    std::thread::id thread DV_GUARDED_BY(mutex);
    bool wrongThread DV_GUARDED_BY(mutex) = false;
    std::atomic<bool> done { false };
    bool refuseCaching = false;
    Ref<NSURLCredential> credential;
    NSInteger challengeFailures = -1;

    // The thread every callback is expected on.
    void expectThread(std::thread::id expected)
    {
        dv::MutexLocker lock(mutex);
        thread = expected;
    }
    std::vector<std::string> callList()
    {
        dv::MutexLocker lock(mutex);
        return calls;
    }
    bool calledOnWrongThread()
    {
        dv::MutexLocker lock(mutex);
        return wrongThread;
    }
    void note(const std::string& call)
    {
        dv::MutexLocker lock(mutex);
        if (thread != std::this_thread::get_id())
            wrongThread = true;
        if (calls.empty() || calls.back() != call)
            calls.push_back(call);
    }
    bool connection(const Ref<NSURLConnection>&, const Ref<NSURLResponse>& r) override
    {
        note("response");
        response = r;
        return true;
    }
    bool connection(const Ref<NSURLConnection>&, const Ref<NSData>& data) override
    {
        note("data");
        body += std::string(data->view());
        return true;
    }
    bool connectionDidFinishLoading(const Ref<NSURLConnection>&) override
    {
        note("finished");
        done = true;
        return true;
    }
    bool connection(const Ref<NSURLConnection>&, const Ref<NSError>& e) override
    {
        note("failed");
        error = e;
        done = true;
        return true;
    }
    std::optional<Ref<NSCachedURLResponse>> connection(const Ref<NSURLConnection>&, const Ref<NSCachedURLResponse>& proposed) override
    {
        note("will-cache");
        return refuseCaching ? nullptr : proposed;
    }
    bool connection(const Ref<NSURLConnection>&, const Ref<NSURLAuthenticationChallenge>& challenge) override
    {
        note("challenge");
        challengeFailures = challenge->previousFailureCount();
        if (challenge->previousFailureCount() == 0 && credential)
            challenge->sender()->useCredential(credential, challenge);
        else
            challenge->sender()->continueWithoutCredentialForAuthenticationChallenge(challenge);
        return true;
    }
};

DV_DEFINE_CLASS(ConnectionRecorder)

class NSURLConnectionTest : public ::testing::Test {
protected:
    LoopbackServer server;
    Ref<ConnectionRecorder> recorder = alloc<ConnectionRecorder>();

    Ref<NSMutableURLRequest> request(const std::string& path)
    {
        return NSMutableURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server.url(path))));
    }

    // Runs the connection on a worker thread's own run loop, as a download operation does;
    // answers whether the loop returned by itself once the load was over.
    bool runOnWorker(const Ref<NSURLRequest>& r)
    {
        std::atomic<bool> returned { false };
        std::thread worker([&] {
            recorder->expectThread(std::this_thread::get_id());
            auto connection = alloc<NSURLConnection>()->initWithRequest(r, recorder, false);
            connection->start();
            NSRunLoop::currentRunLoop()->run();
            returned = true;
        });
        bool ok = dv::testing::runMainLoopUntil([&] { return returned.load(); }, 10);
        worker.join();
        return ok;
    }
};

TEST_F(NSURLConnectionTest, CallsTheDelegateOnTheStartingThreadUntilFinished)
{
    server.route("/img", ScriptedReply { .body = std::string(50000, 'i'), .contentType = "image/png" });
    ASSERT_TRUE(runOnWorker(request("/img")));
    EXPECT_FALSE(recorder->calledOnWrongThread());
    EXPECT_EQ(recorder->callList(), (std::vector<std::string> { "response", "data", "will-cache", "finished" }));
    EXPECT_EQ(recorder->body.size(), 50000u);
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(recorder->response)->statusCode(), 200);
    EXPECT_EQ(recorder->response->expectedContentLength(), 50000);
}

TEST_F(NSURLConnectionTest, FailureEndsTheLoopWithTheError)
{
    const std::string dead = dv::testing::refusedURL("/x");
    ASSERT_TRUE(runOnWorker(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(dead)))));
    EXPECT_EQ(recorder->callList(), (std::vector<std::string> { "failed" }));
    EXPECT_EQ(recorder->error->code(), NSURLErrorCannotConnectToHost);
}

TEST_F(NSURLConnectionTest, CancelledConnectionSaysNothingMore)
{
    server.route("/slow", ScriptedReply { .body = "late", .delay = 3000ms });
    recorder->expectThread(std::this_thread::get_id());
    auto connection = alloc<NSURLConnection>()->initWithRequest(request("/slow"), recorder, true);
    ASSERT_TRUE(server.waitForRequest("/slow"));
    connection->cancel();
    dv::testing::runMainLoopUntil([] { return false; }, 0.2);
    EXPECT_TRUE(recorder->callList().empty());
}

TEST_F(NSURLConnectionTest, ACancelLetsGoOfTheCallsQueuedForItsLoop)
{
    // A download worker cancels its connection from a delegate call (the bytes so far tell the
    // picture is too large) and waits for its next transfer without running its loop; the load
    // may by then have ended on the session's side and queued its last calls for that loop,
    // carrying the response, the data and the entry proposed to the URL cache.
    server.route("/slow", ScriptedReply { .body = "late", .delay = 3000ms });
    recorder->expectThread(std::this_thread::get_id());
    auto connection = alloc<NSURLConnection>()->initWithRequest(request("/slow"), recorder, true);
    ASSERT_TRUE(server.waitForRequest("/slow"));
    Weak<NSObject> carried;
    bool ran = false;
    {
        auto proposed = alloc<NSObject>()->init();
        carried = proposed;
        connection->deliver([proposed, &ran](const Ref<NSURLConnection>&, const id&) { ran = true; });
    }
    ASSERT_TRUE(carried.lock()) << "held until the loop runs the call";
    connection->cancel();
    EXPECT_FALSE(carried.lock()) << "the cancelled call still holds what it carries, in a loop that may never run again";

    // Run after all, the loop finds nothing to deliver.
    dv::testing::runUntilIdle();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(recorder->callList().empty());
}

TEST_F(NSURLConnectionTest, ChallengeIsAnsweredThroughTheSender)
{
    server.route("/secret", ScriptedReply { .body = "ok", .user = "u", .password = "p" });
    recorder->credential = NSURLCredential::credentialWithUser("u"_ns, "p"_ns, NSURLCredentialPersistenceForSession);
    ASSERT_TRUE(runOnWorker(request("/secret")));
    EXPECT_EQ(recorder->callList().front(), "challenge");
    EXPECT_EQ(recorder->body, "ok");

    recorder = alloc<ConnectionRecorder>();
    ASSERT_TRUE(runOnWorker(request("/secret")));
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(recorder->response)->statusCode(), 401);
    EXPECT_EQ(recorder->callList().back(), "finished");
}

TEST_F(NSURLConnectionTest, RefusedCachingLeavesTheSharedCacheEmpty)
{
    server.route("/c", ScriptedReply { .body = "c", .headers = { { "Cache-Control", "max-age=60" } } });
    recorder->refuseCaching = true;
    auto r = request("/c");
    ASSERT_TRUE(runOnWorker(r));
    EXPECT_FALSE(NSURLCache::sharedURLCache()->cachedResponseForRequest(r));

    recorder = alloc<ConnectionRecorder>();
    ASSERT_TRUE(runOnWorker(r));
    EXPECT_TRUE(NSURLCache::sharedURLCache()->cachedResponseForRequest(r));
    NSURLCache::sharedURLCache()->removeCachedResponseForRequest(r);
}

TEST_F(NSURLConnectionTest, SynchronousLoadWaitsOnTheCallingThreadWithinTheRequestsTimeOut)
{
    server.route("/body", ScriptedReply { .body = "picture bytes", .contentType = "image/png" });
    server.route("/missing", ScriptedReply { .status = 404, .body = "<html>gone</html>", .contentType = "text/html" });
    server.route("/slow", ScriptedReply { .body = "late", .delay = 3000ms });

    // The waiting thread runs nothing meanwhile, not even blocks queued for it before.
    bool queuedBlockRan = false;
    dispatch_async(dispatch_get_main_queue(), [&] { queuedBlockRan = true; });
    Ref<NSURLResponse> response;
    Ref<NSError> error;
    auto data = NSURLConnection::sendSynchronousRequest(request("/body"), &response, &error);
    EXPECT_FALSE(queuedBlockRan);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->view()), "picture bytes");
    EXPECT_FALSE(error);
    ASSERT_TRUE(dv::as<NSHTTPURLResponse>(response));
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(response)->statusCode(), 200);
    dv::testing::runUntilIdle();
    EXPECT_TRUE(queuedBlockRan);

    // A bad status is a loaded body: the response tells.
    data = NSURLConnection::sendSynchronousRequest(request("/missing"), &response, &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->view()), "<html>gone</html>");
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(response)->statusCode(), 404);

    auto slow = request("/slow");
    slow->setTimeoutInterval(0.3);
    data = NSURLConnection::sendSynchronousRequest(slow, &response, &error);
    EXPECT_FALSE(data);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorTimedOut);

    const std::string dead = dv::testing::refusedURL("/x");
    data = NSURLConnection::sendSynchronousRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(dead))), nullptr, &error);
    EXPECT_FALSE(data);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorCannotConnectToHost);

    EXPECT_FALSE(NSURLConnection::sendSynchronousRequest(nil, &response, &error));
    EXPECT_FALSE(response);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadURL);
}

} // namespace

namespace {

TEST_F(NSURLConnectionTest, AsynchronousLoadAnswersOnItsQueueWhileTheCallerGoesOn)
{
    server.route("/body", ScriptedReply { .body = "picture bytes", .contentType = "image/png" });
    server.route("/slow", ScriptedReply { .body = "late", .delay = 3000ms });

    struct Outcome {
        std::atomic<int> calls { 0 }; // counted last, so the other fields are set once it is seen
        bool onMainThread = false;
        Ref<NSURLResponse> response;
        Ref<NSData> data;
        Ref<NSError> error;
    };
    auto load = [](const Ref<NSURLRequest>& request, const Ref<NSOperationQueue>& queue) {
        auto outcome = std::make_shared<Outcome>();
        NSURLConnection::sendAsynchronousRequest(request, queue,
            [outcome](const Ref<NSURLResponse>& response, const Ref<NSData>& data, const Ref<NSError>& error) {
                outcome->onMainThread = NSThread::isMainThread();
                outcome->response = response;
                outcome->data = data;
                outcome->error = error;
                ++outcome->calls;
            });
        return outcome;
    };

    // The call returns before anything has arrived; the main queue gets the answer.
    auto loaded = load(request("/body"), NSOperationQueue::mainQueue());
    EXPECT_EQ(loaded->calls, 0);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return loaded->calls > 0; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(loaded->calls, 1);
    EXPECT_TRUE(loaded->onMainThread);
    ASSERT_TRUE(loaded->data);
    EXPECT_EQ(std::string(loaded->data->view()), "picture bytes");
    EXPECT_FALSE(loaded->error);
    ASSERT_TRUE(dv::as<NSHTTPURLResponse>(loaded->response));
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(loaded->response)->statusCode(), 200);

    // A failure brings no body; a queue of another thread gets its answer there.
    auto slow = request("/slow");
    slow->setTimeoutInterval(0.3);
    auto timedOut = load(slow, alloc<NSOperationQueue>()->init());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return timedOut->calls > 0; }));
    EXPECT_FALSE(timedOut->onMainThread);
    EXPECT_FALSE(timedOut->data);
    ASSERT_TRUE(timedOut->error);
    EXPECT_EQ(timedOut->error->code(), NSURLErrorTimedOut);

    // Without a request (no queue: the main queue) the answer is a bad address, still later.
    auto none = load(nil, nil);
    EXPECT_EQ(none->calls, 0);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return none->calls > 0; }));
    EXPECT_TRUE(none->onMainThread);
    ASSERT_TRUE(none->error);
    EXPECT_EQ(none->error->code(), NSURLErrorBadURL);
}

} // namespace
