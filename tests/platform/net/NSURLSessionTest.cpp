#include "SessionTestSupport.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSNumber.h"
#include "platform/base/Scope.h"
#include "platform/net/NSHTTPCookieStorage.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/testing/support/ServerSockets.h"

#include <thread>

namespace nettest {
DV_DEFINE_CLASS(RecordingDelegate)
}

using namespace nettest;
using dv::testing::ScriptedReply;
using namespace std::chrono_literals;

namespace {

using Calls = std::vector<std::string>;

TEST_F(SessionTest, DataTaskReportsResponseDataAndCompletionInOrder)
{
    server.route("/hello", ScriptedReply { .body = "hello world", .contentType = "application/octet-stream" });
    makeSession();
    auto task = session->dataTaskWithRequest(request("/hello"));
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    EXPECT_EQ(task->taskIdentifier(), 1u);
    EXPECT_EQ(session->dataTaskWithURL(url("/hello"))->taskIdentifier(), 2u);
    task->resume();
    EXPECT_NE(task->state(), NSURLSessionTaskStateSuspended);
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->callOrder(), (Calls { "response", "data", "will-cache", "complete" }));
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().body, "hello world");
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
    auto http = dv::as<NSHTTPURLResponse>(task->response());
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 200);
    EXPECT_EQ(http->MIMEType()->utf8(), "application/octet-stream");
    EXPECT_EQ(task->countOfBytesReceived(), 11);
    EXPECT_EQ(task->countOfBytesExpectedToReceive(), 11);
    // The counter already counts a chunk when its callback runs.
    EXPECT_EQ(delegate->recorded().receivedCounterAtData, 11);
}

TEST_F(SessionTest, HTTPErrorStatusIsAResponseNotAFailure)
{
    server.route("/missing", ScriptedReply { .status = 404, .body = "nope" });
    makeSession();
    session->dataTaskWithRequest(request("/missing"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(delegate->recorded().response)->statusCode(), 404);
    EXPECT_EQ(delegate->recorded().body, "nope");
}

TEST_F(SessionTest, PostWithoutABodyStillCompletes)
{
    // The server reads a body of the announced length: a POST must announce zero, not nothing.
    server.route("/empty", ScriptedReply { .body = "ok" });
    makeSession();
    auto post = request("/empty");
    post->setHTTPMethod("POST"_ns);
    post->setTimeoutInterval(5);
    session->dataTaskWithRequest(post)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().body, "ok");
}

TEST_F(SessionTest, RedirectIsFollowedAndPostBecomesGet)
{
    server.route("/from", ScriptedReply { .redirectTo = "/to" });
    server.route("/to", ScriptedReply { .body = "arrived" });
    delegate->onRedirect = [](const Ref<NSURLRequest>& next, auto done) { done(next); };
    makeSession();
    auto post = request("/from");
    post->setHTTPMethod("POST"_ns);
    post->setHTTPBody(NSData::fromString("a=1"));
    auto task = session->dataTaskWithRequest(post);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->callOrder(), (Calls { "sent", "redirect", "response", "data", "will-cache", "complete" }));
    EXPECT_EQ(delegate->recorded().redirects.at(0)->HTTPMethod()->utf8(), "GET");
    EXPECT_FALSE(delegate->recorded().redirects.at(0)->HTTPBody());
    EXPECT_EQ(delegate->recorded().body, "arrived");
    EXPECT_EQ(task->response()->URL()->path()->utf8(), "/to");
    EXPECT_EQ(task->currentRequest()->URL()->path()->utf8(), "/to");
    EXPECT_EQ(task->originalRequest()->URL()->path()->utf8(), "/from");
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[1].body, "");
}

TEST_F(SessionTest, TemporaryRedirectKeepsMethodAndBody)
{
    server.route("/from", ScriptedReply { .status = 307, .redirectTo = "/to" });
    server.route("/to", ScriptedReply { .body = "ok" });
    makeSession();
    auto post = request("/from");
    post->setHTTPMethod("POST"_ns);
    post->setHTTPBody(NSData::fromString("payload"));
    session->dataTaskWithRequest(post)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].method, "POST");
    EXPECT_EQ(seen[1].body, "payload");
}

TEST_F(SessionTest, NilRedirectAnswerMakesTheRedirectFinal)
{
    server.route("/from", ScriptedReply { .body = "moved", .redirectTo = "/to" });
    delegate->onRedirect = [](const Ref<NSURLRequest>&, auto done) { done(nullptr); };
    makeSession();
    session->dataTaskWithRequest(request("/from"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->callOrder(), (Calls { "redirect", "response", "data", "complete" }));
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(delegate->recorded().response)->statusCode(), 302);
    EXPECT_EQ(delegate->recorded().body, "moved");
    EXPECT_EQ(server.requestCount("/to"), 0u);
}

TEST_F(SessionTest, EndlessRedirectsFailWithTooManyRedirects)
{
    server.route("/loop", ScriptedReply { .redirectTo = "/loop" });
    makeSession();
    session->dataTaskWithRequest(request("/loop"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorHTTPTooManyRedirects);
    EXPECT_EQ(delegate->callOrder(), (Calls { "complete" }));
}

TEST_F(SessionTest, BasicChallengeIsAnsweredWithACredential)
{
    server.route("/secret", ScriptedReply { .body = "inside", .user = "ann", .password = "pw" });
    delegate->onTaskChallenge = [](const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done) {
        if (challenge->previousFailureCount() == 0)
            done(NSURLSessionAuthChallengeUseCredential, NSURLCredential::credentialWithUser("ann"_ns, "pw"_ns, NSURLCredentialPersistenceNone));
        else
            done(NSURLSessionAuthChallengePerformDefaultHandling, nil);
    };
    makeSession();
    session->dataTaskWithRequest(request("/secret"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->callOrder(), (Calls { "task-challenge", "response", "data", "will-cache", "complete" }));
    EXPECT_EQ(delegate->recorded().body, "inside");
    auto space = delegate->recorded().challenges.at(0)->protectionSpace();
    EXPECT_EQ(space->authenticationMethod()->utf8(), NSURLAuthenticationMethodHTTPBasic->utf8());
    EXPECT_EQ(space->realm()->utf8(), "dovrelta");
    EXPECT_EQ(space->port(), server.port());
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(delegate->recorded().challenges.at(0)->failureResponse())->statusCode(), 401);
}

TEST_F(SessionTest, WrongCredentialIsChallengedAgainThenTheRefusalIsDelivered)
{
    server.route("/secret", ScriptedReply { .body = "inside", .user = "ann", .password = "pw" });
    delegate->onTaskChallenge = [](const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done) {
        if (challenge->previousFailureCount() == 0)
            done(NSURLSessionAuthChallengeUseCredential, NSURLCredential::credentialWithUser("ann"_ns, "wrong"_ns, NSURLCredentialPersistenceNone));
        else
            done(NSURLSessionAuthChallengePerformDefaultHandling, nil);
    };
    makeSession();
    session->dataTaskWithRequest(request("/secret"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->callOrder(), (Calls { "task-challenge", "response", "data", "complete" }));
    EXPECT_EQ(delegate->recorded().challenges.size(), 2u);
    EXPECT_EQ(delegate->recorded().challenges.at(1)->previousFailureCount(), 1);
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(delegate->recorded().response)->statusCode(), 401);
    EXPECT_FALSE(delegate->recorded().error);
}

TEST_F(SessionTest, CancelledChallengeFailsTheTaskAsCancelled)
{
    server.route("/secret", ScriptedReply { .body = "inside", .user = "ann", .password = "pw" });
    delegate->onTaskChallenge = [](const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion done) {
        done(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nil);
    };
    makeSession();
    session->dataTaskWithRequest(request("/secret"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
}

TEST_F(SessionTest, SilentServerTimesOutWithTheFailingURL)
{
    server.route("/slow", ScriptedReply { .body = "late", .delay = 3000ms });
    makeSession();
    auto slow = request("/slow");
    slow->setTimeoutInterval(0.2);
    session->dataTaskWithRequest(slow)->resume();
    ASSERT_TRUE(delegate->waitComplete(5));
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorTimedOut);
    EXPECT_EQ(delegate->recorded().error->domain()->utf8(), "NSURLErrorDomain");
    EXPECT_TRUE(dv::equal(delegate->recorded().error->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey), slow->URL()));
    EXPECT_EQ(delegate->recorded().error->localizedDescription()->utf8(), "The request timed out.");
}

TEST_F(SessionTest, UnsupportedURLStillMakesATaskThatFailsOnResume)
{
    makeSession();
    auto task = session->dataTaskWithURL(NSURL::URLWithString("ftp://127.0.0.1/file"_ns));
    ASSERT_TRUE(task);
    EXPECT_EQ(delegate->callList().size(), 0u);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorUnsupportedURL);
    auto none = session->dataTaskWithRequest(NSURLRequest::requestWithURL(nil));
    ASSERT_TRUE(none);
}

TEST_F(SessionTest, RefusedConnectionAndOfflineMachineReportTheirCodes)
{
    const std::string dead = dv::testing::refusedURL("/x");
    makeSession();
    session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(dead)))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCannotConnectToHost);

    dv::setNetworkSimulatedOffline(true);
    delegate->forgetCompletions();
    server.route("/x", ScriptedReply { .body = "x" });
    session->dataTaskWithRequest(request("/x"))->resume();
    bool done = delegate->waitComplete();
    dv::setNetworkSimulatedOffline(false);
    ASSERT_TRUE(done);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorNotConnectedToInternet);
    EXPECT_EQ(server.requestCount("/x"), 0u);
}

TEST_F(SessionTest, CancellingASuspendedTaskCompletesItOnce)
{
    makeSession();
    auto task = session->dataTaskWithRequest(request("/never"));
    task->cancel();
    task->cancel();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
    task->resume();
    dv::testing::runMainLoopUntil([] { return false; }, 0.1);
    EXPECT_EQ(delegate->recorded().completions, 1);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
    EXPECT_EQ(server.requestCount("/never"), 0u);
}

TEST_F(SessionTest, CancellingWhileTheServerThinksCompletesCancelled)
{
    server.route("/wait", ScriptedReply { .body = "x", .delay = 3000ms });
    makeSession();
    auto task = session->dataTaskWithRequest(request("/wait"));
    task->resume();
    ASSERT_TRUE(server.waitForRequest("/wait"));
    task->cancel();
    // Canceling until the completion has run on the delegate queue, which may already be done.
    auto state = task->state();
    EXPECT_TRUE(state == NSURLSessionTaskStateCanceling || state == NSURLSessionTaskStateCompleted) << state;
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
    EXPECT_EQ(delegate->callOrder(), (Calls { "complete" }));
}

TEST_F(SessionTest, CancellingDuringTheBodyStopsTheData)
{
    server.route("/long", ScriptedReply { .body = std::string(200, 'q'), .pieceSize = 10, .pieceDelay = 50ms });
    makeSession();
    auto task = session->dataTaskWithRequest(request("/long"));
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return !delegate->record.body.empty(); }, 5));
    task->cancel();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
    EXPECT_LT(delegate->recorded().body.size(), 200u);
    EXPECT_EQ(delegate->callList().back(), "complete");
}

TEST_F(SessionTest, CancellingWhileTheDelegateDecidesIgnoresTheLateAnswer)
{
    server.route("/r", ScriptedReply { .body = "body" });
    std::function<void(NSURLSessionResponseDisposition)> held;
    dv::Mutex heldMutex;
    delegate->onResponse = [&](const Ref<NSURLResponse>&, auto done) {
        dv::MutexLocker lock(heldMutex);
        held = done;
    };
    makeSession();
    auto task = session->dataTaskWithRequest(request("/r"));
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(heldMutex); return bool(held); }, 5));
    task->cancel();
    ASSERT_TRUE(delegate->waitComplete());
    {
        dv::MutexLocker lock(heldMutex);
        held(NSURLSessionResponseAllow);
    }
    dv::testing::runMainLoopUntil([] { return false; }, 0.1);
    EXPECT_EQ(delegate->callOrder(), (Calls { "response", "complete" }));
    EXPECT_EQ(delegate->recorded().completions, 1);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
}

TEST_F(SessionTest, ResponseDispositionCancelEndsTheTaskWithoutData)
{
    server.route("/r", ScriptedReply { .body = "body" });
    delegate->onResponse = [](const Ref<NSURLResponse>&, auto done) { done(NSURLSessionResponseCancel); };
    makeSession();
    session->dataTaskWithRequest(request("/r"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->callOrder(), (Calls { "response", "complete" }));
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
}

TEST_F(SessionTest, SuspendedTaskResumesWhereItStopped)
{
    // Pieces far enough apart that the suspension comes well before the body's end, even when a
    // busy machine is slow to run this thread.
    server.route("/pieces", ScriptedReply { .body = "0123456789", .pieceSize = 2, .pieceDelay = 200ms });
    makeSession();
    auto task = session->dataTaskWithRequest(request("/pieces"));
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return !delegate->record.body.empty(); }, 5));
    task->suspend();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().body, "0123456789");
}

TEST_F(SessionTest, UploadFromDataReportsSentBytes)
{
    server.route("/upload", ScriptedReply { .body = "stored" });
    makeSession();
    std::string payload(300000, 'u');
    auto task = session->uploadTaskWithRequestFromData(
        [&] { auto r = request("/upload"); r->setHTTPMethod("PUT"_ns); return r; }(), NSData::fromString(payload));
    EXPECT_EQ(task->countOfBytesExpectedToSend(), 300000);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(server.requests().back().body, payload);
    ASSERT_FALSE(delegate->recorded().sentTotals.empty());
    EXPECT_EQ(delegate->recorded().sentTotals.back(), 300000);
    EXPECT_EQ(task->countOfBytesSent(), 300000);
    auto order = delegate->callOrder();
    EXPECT_EQ(order.front(), "sent");
    EXPECT_EQ(order.back(), "complete");
}

TEST_F(SessionTest, UploadFromFileSendsTheFile)
{
    server.route("/upload", ScriptedReply { .body = "stored" });
    makeSession();
    auto path = m_home + "/upload.bin";
    std::ofstream(path, std::ios::binary) << std::string(70000, 'f');
    auto post = request("/upload");
    post->setHTTPMethod("POST"_ns);
    auto task = session->uploadTaskWithRequestFromFile(post, NSURL::fileURLWithPath(NSString::fromUTF8(path), false));
    EXPECT_EQ(task->countOfBytesExpectedToSend(), 70000);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(server.requests().back().body.size(), 70000u);

    delegate->forgetCompletions();
    session->uploadTaskWithRequestFromFile(post, NSURL::fileURLWithPath("/nonexistent/file"_ns, false))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorFileDoesNotExist);
}

TEST_F(SessionTest, DownloadWritesAFileThatLivesForTheCallback)
{
    server.route("/file", ScriptedReply { .contentType = "application/octet-stream", .generatedLength = 300000 });
    makeSession();
    auto task = session->downloadTaskWithRequest(request("/file"));
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    auto order = delegate->callOrder();
    EXPECT_EQ(order, (Calls { "wrote", "finished-download", "complete" }));
    EXPECT_TRUE(delegate->recorded().downloadExistedDuringCallback);
    EXPECT_EQ(delegate->recorded().downloadedContent.size(), 300000u);
    EXPECT_EQ(delegate->recorded().downloadedContent.substr(0, 3), "abc");
    EXPECT_FALSE(std::filesystem::exists(delegate->recorded().downloadedPath));
    EXPECT_EQ(delegate->recorded().writtenTotals.back(), 300000);
    EXPECT_EQ(delegate->recorded().expectedToWrite, 300000);
}

TEST_F(SessionTest, CancelledDownloadResumesFromItsResumeData)
{
    server.route("/big", ScriptedReply { .contentType = "application/octet-stream", .pieceSize = 16384, .pieceDelay = 20ms,
                             .generatedLength = 400000, .etag = "\"v1\"" });
    makeSession();
    auto task = session->downloadTaskWithRequest(request("/big"));
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.writtenTotals.size() >= 3; }, 5));
    Ref<NSData> resumeData;
    std::atomic<bool> produced { false };
    task->cancelByProducingResumeData([&](const Ref<NSData>& data) { resumeData = data; produced = true; });
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return produced.load(); }, 5));
    ASSERT_TRUE(resumeData);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(dv::equal(delegate->recorded().error->userInfo()->objectForKey(NSURLSessionDownloadTaskResumeData), resumeData));

    server.route("/big", ScriptedReply { .contentType = "application/octet-stream", .generatedLength = 400000, .etag = "\"v1\"" });
    delegate->forgetCompletions();
    {
        dv::MutexLocker lock(delegate->mutex);
        delegate->record.calls.clear();
    }
    auto resumed = session->downloadTaskWithResumeData(resumeData);
    resumed->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(delegate->callOrder().front(), "resumed");
    ASSERT_TRUE(delegate->recorded().resumedAt);
    EXPECT_GT(delegate->recorded().resumedAt->first, 0);
    EXPECT_EQ(delegate->recorded().resumedAt->second, 400000);
    ASSERT_EQ(delegate->recorded().downloadedContent.size(), 400000u);
    std::string expected(400000, '\0');
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<char>('a' + i % 26);
    EXPECT_EQ(delegate->recorded().downloadedContent, expected);
    EXPECT_EQ(server.requests().back().header("range"), "bytes=" + std::to_string(delegate->recorded().resumedAt->first) + "-");
    EXPECT_EQ(server.requests().back().header("if-range"), "\"v1\"");
}

TEST_F(SessionTest, ResumeDataThatIsNotOursFailsTheTask)
{
    makeSession();
    auto task = session->downloadTaskWithResumeData(NSData::fromString("garbage"));
    ASSERT_TRUE(task);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
}

TEST_F(SessionTest, ResumeDataCannotReachOutsideTheDownloadFolder)
{
    namespace fs = std::filesystem;
    server.route("/file", ScriptedReply { .body = "REPLACED", .contentType = "application/octet-stream" });
    makeSession();
    auto downloads = fs::path(m_home) / "app" / "tmp";
    fs::create_directories(downloads);
    auto victim = fs::path(m_home) / "CFNetworkDownload_precious.tmp";
    std::ofstream(victim) << "precious data that must stay";
    fs::create_symlink(victim, downloads / "CFNetworkDownload_link.tmp");
    fs::create_directories(downloads / "sub");
    std::ofstream(downloads / "sub" / "CFNetworkDownload_deep.tmp") << "precious data that must stay";
    std::ofstream(downloads / "precious.txt") << "precious data that must stay";

    auto url = server.url("/file");
    auto resumeData = [&](const fs::path& path) {
        return NSData::fromString("DVRESUME1\n" + url + "\n\"v1\"\n7\n" + path.string() + "\n");
    };
    for (auto path : { victim, downloads / "CFNetworkDownload_link.tmp", downloads / ".." / victim.filename(),
                       downloads / "sub" / "CFNetworkDownload_deep.tmp", downloads / "precious.txt", fs::path("CFNetworkDownload_precious.tmp") }) {
        delegate->forgetCompletions();
        session->downloadTaskWithResumeData(resumeData(path))->resume();
        ASSERT_TRUE(delegate->waitComplete()) << path;
        ASSERT_TRUE(delegate->recorded().error) << path;
        EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCannotDecodeRawData) << path;
    }
    for (auto path : { victim, downloads / "sub" / "CFNetworkDownload_deep.tmp", downloads / "precious.txt" }) {
        std::ifstream in(path);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, "precious data that must stay") << path;
    }
    EXPECT_TRUE(fs::is_symlink(downloads / "CFNetworkDownload_link.tmp"));
    EXPECT_EQ(server.requestCount("/file"), 0u);
}

TEST_F(SessionTest, CookiesSetByOneResponseGoWithTheNextRequest)
{
    server.route("/login", ScriptedReply { .body = "ok", .setCookies = { "sid=abc123; Path=/", "theme=dark; Path=/other" } });
    server.route("/home", ScriptedReply { .body = "home" });
    makeSession();
    session->dataTaskWithRequest(request("/login"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    delegate->forgetCompletions();
    session->dataTaskWithRequest(request("/home"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(server.requests().back().header("cookie"), "sid=abc123");
    // An ephemeral session keeps its cookies to itself.
    EXPECT_EQ(NSHTTPCookieStorage::sharedHTTPCookieStorage()->cookiesForURL(url("/home"))->count(), 0u);

    delegate->forgetCompletions();
    auto noCookies = request("/home");
    noCookies->setHTTPShouldHandleCookies(false);
    session->dataTaskWithRequest(noCookies)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(server.requests().back().header("cookie"), "");
}

TEST_F(SessionTest, FreshResponsesComeFromTheCacheAfterWillCache)
{
    server.route("/cached", ScriptedReply { .body = "fresh", .headers = { { "Cache-Control", "max-age=600" } } });
    makeSession();
    session->dataTaskWithRequest(request("/cached"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->callOrder(), (Calls { "response", "data", "will-cache", "complete" }));

    delegate->forgetCompletions();
    {
        dv::MutexLocker lock(delegate->mutex);
        delegate->record.calls.clear();
        delegate->record.body.clear();
    }
    session->dataTaskWithRequest(request("/cached"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().body, "fresh");
    EXPECT_EQ(server.requestCount("/cached"), 1u);
    EXPECT_EQ(delegate->callOrder(), (Calls { "response", "data", "complete" }));

    delegate->forgetCompletions();
    auto reload = request("/cached");
    reload->setCachePolicy(NSURLRequestReloadIgnoringLocalCacheData);
    session->dataTaskWithRequest(reload)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(server.requestCount("/cached"), 2u);
}

TEST_F(SessionTest, NilWillCacheAnswerStoresNothing)
{
    server.route("/nocache", ScriptedReply { .body = "x", .headers = { { "Cache-Control", "max-age=600" } } });
    delegate->onWillCache = [](const Ref<NSCachedURLResponse>&, auto done) { done(nullptr); };
    makeSession();
    session->dataTaskWithRequest(request("/nocache"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(session->configuration()->URLCache()->cachedResponseForRequest(request("/nocache")));

    delegate->forgetCompletions();
    auto onlyCache = request("/elsewhere");
    onlyCache->setCachePolicy(NSURLRequestReturnCacheDataDontLoad);
    session->dataTaskWithRequest(onlyCache)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorResourceUnavailable);
}

TEST_F(SessionTest, CompletionHandlerTasksBypassTheDataCallbacks)
{
    server.route("/c", ScriptedReply { .body = "handled" });
    makeSession();
    dv::Mutex m;
    std::string got;
    Ref<NSURLResponse> response;
    Ref<NSError> failure;
    bool done = false;
    session->dataTaskWithRequest(request("/c"), [&](const Ref<NSData>& data, const Ref<NSURLResponse>& r, const Ref<NSError>& error) {
        dv::MutexLocker lock(m);
        failure = error;
        got = std::string(data->view());
        response = r;
        done = true;
    })->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(m); return done; }, 5));
    dv::MutexLocker lock(m);
    EXPECT_FALSE(failure);
    EXPECT_EQ(got, "handled");
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(response)->statusCode(), 200);
    EXPECT_TRUE(delegate->callList().empty());
}

TEST_F(SessionTest, ChunkedBodyHasUnknownExpectedLength)
{
    server.route("/chunks", ScriptedReply { .body = "abcdefghij", .framing = ScriptedReply::Framing::Chunked, .pieceSize = 3 });
    makeSession();
    auto task = session->dataTaskWithRequest(request("/chunks"));
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().body, "abcdefghij");
    EXPECT_EQ(task->countOfBytesExpectedToReceive(), NSURLSessionTransferSizeUnknown);
    EXPECT_EQ(delegate->recorded().response->expectedContentLength(), -1);
}

TEST_F(SessionTest, ByteCountersAreObservable)
{
    server.route("/obs", ScriptedReply { .body = std::string(5000, 'o') });
    makeSession();
    auto task = session->dataTaskWithRequest(request("/obs"));
    dv::Mutex m;
    std::vector<std::int64_t> seen;
    auto token = task->observe("countOfBytesReceived", NSKeyValueObservingOptionNew, [&](const id&, const dv::KeyValueChange& change) {
        dv::MutexLocker lock(m);
        seen.push_back(dv::as<NSNumber>(change.newValue)->longLongValue());
    });
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    task->removeObservation(token);
    dv::MutexLocker lock(m);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 5000);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST_F(SessionTest, StateChangesAreObservableAndObserversMayCallBackIntoTheTask)
{
    server.route("/state", ScriptedReply { .body = "x", .delay = 3000ms });
    makeSession();
    auto task = session->dataTaskWithRequest(request("/state"));
    dv::Mutex m;
    std::vector<NSInteger> seen;
    Weak<NSURLSessionTask> weakTask = task;
    auto token = task->observe("state", NSKeyValueObservingOptionNew, [&](const id&, const dv::KeyValueChange& change) {
        {
            dv::MutexLocker lock(m);
            seen.push_back(dv::as<NSNumber>(change.newValue)->integerValue());
        }
        // Answering a suspend with a cancel, from inside the notification.
        if (auto t = weakTask.lock(); t && t->state() == NSURLSessionTaskStateSuspended)
            t->cancel();
    });
    task->resume();
    ASSERT_TRUE(server.waitForRequest("/state"));
    task->suspend();
    ASSERT_TRUE(delegate->waitComplete());
    task->removeObservation(token);
    dv::MutexLocker lock(m);
    // Each notice reads the state when it is delivered, so the cancel's notice may already see
    // the task completed.
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], NSURLSessionTaskStateRunning);
    EXPECT_EQ(seen[1], NSURLSessionTaskStateSuspended);
    EXPECT_EQ(seen.back(), NSURLSessionTaskStateCompleted);
    for (std::size_t i = 2; i < seen.size(); ++i)
        EXPECT_TRUE(seen[i] == NSURLSessionTaskStateCanceling || seen[i] == NSURLSessionTaskStateCompleted) << i;
    EXPECT_EQ(delegate->recorded().error ? delegate->recorded().error->code() : 0, NSURLErrorCancelled);
}

// A state hook installed for one test, removed however the test ends.
struct ResumeHook {
    explicit ResumeHook(std::function<void(const Ref<NSURLSessionTask>&, NSURLSessionTaskState)> onResume)
        : token(NSURLSessionTask::addStateHook([onResume](const Ref<NSURLSessionTask>& task, NSURLSessionTask::StateCall call,
                                                   NSURLSessionTaskState before) {
            if (call == NSURLSessionTask::StateCall::Resume)
                onResume(task, before);
        }))
    {
    }
    ~ResumeHook() { NSURLSessionTask::removeStateHook(token); }
    std::uint64_t token;
};

TEST_F(SessionTest, ResumeHooksRunBeforeTheTaskCanEndAndMaySuspendOrCancelIt)
{
    server.route("/x", ScriptedReply { .body = "x" });
    makeSession();
    Ref<NSURLSessionTask> watched;
    int endedBefore = 0; // the session's completions before the watched task's
    std::vector<std::string> heard;
    std::function<void(const Ref<NSURLSessionTask>&)> then;
    auto watch = [&](const Ref<NSURLSessionTask>& task) {
        dv::MutexLocker lock(delegate->mutex);
        endedBefore = delegate->record.completions;
        watched = task;
    };
    ResumeHook hook([&](const Ref<NSURLSessionTask>& task, NSURLSessionTaskState before) {
        if (task != watched)
            return;
        // A resuming thread held up right after the resume, as on a busy machine: by now the
        // delegate queue has run whatever the task had given it.
        session->delegateQueue()->waitUntilAllOperationsAreFinished();
        dv::MutexLocker lock(delegate->mutex);
        heard.push_back(std::string(delegate->record.completions > endedBefore ? "ended" : "not ended") + (task->state() == NSURLSessionTaskStateRunning ? ", running" : "")
            + (before == NSURLSessionTaskStateSuspended ? ", was suspended" : ""));
        if (then)
            then(task);
    });

    // A task that fails as soon as it starts (a URL nobody loads, a machine off line) still ends
    // after its hooks.
    watch(session->dataTaskWithURL(NSURL::URLWithString("ftp://127.0.0.1/file"_ns)));
    watched->resume();
    ASSERT_TRUE(delegate->waitComplete());
    dv::setNetworkSimulatedOffline(true);
    watch(session->dataTaskWithRequest(request("/x")));
    watched->resume();
    dv::setNetworkSimulatedOffline(false);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.completions == 2; }));
    EXPECT_EQ(heard, (Calls { "not ended, running, was suspended", "not ended, running, was suspended" }));

    // Cancelled from its hook: the task ends cancelled without asking the server.
    heard.clear();
    then = [](const Ref<NSURLSessionTask>& task) { task->cancel(); };
    watch(session->dataTaskWithRequest(request("/x")));
    watched->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.completions == 3; }));
    EXPECT_EQ(delegate->recorded().error ? delegate->recorded().error->code() : 0, NSURLErrorCancelled);
    EXPECT_EQ(heard, (Calls { "not ended, running, was suspended" }));

    // Suspended from its hook: nothing starts until the next resume, which then loads it once.
    heard.clear();
    then = [](const Ref<NSURLSessionTask>& task) { task->suspend(); };
    watch(session->dataTaskWithRequest(request("/x")));
    watched->resume();
    session->delegateQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(watched->state(), NSURLSessionTaskStateSuspended);
    then = nullptr;
    watched->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.completions == 4; }));
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(server.requestCount("/x"), 1u);
    EXPECT_EQ(heard, (Calls { "not ended, running, was suspended", "not ended, running, was suspended" }));
}

// A clock that stands still and runs a step the first time the armed thread reads it: a way to
// act at a known point inside a call that reads the time (a task's start sets its resource
// time-out).
class SteppingClock : public dv::Clock {
public:
    NSTimeInterval now() const override
    {
        if (m_armed.load() && std::this_thread::get_id() == m_thread && m_armed.exchange(false))
            m_step();
        return 800000000.0;
    }
    bool isManual() const override { return true; }
    void arm(std::function<void()> step)
    {
        m_thread = std::this_thread::get_id();
        m_step = std::move(step);
        m_armed = true;
    }

private:
    mutable std::atomic<bool> m_armed { false };
    std::thread::id m_thread;
    std::function<void()> m_step;
};

TEST_F(SessionTest, ACancelWhileTheTaskStartsEndsItOnceTheStartIsDone)
{
    server.route("/x", ScriptedReply { .body = "x" });
    configuration->setTimeoutIntervalForResource(60);
    makeSession();
    auto clock = std::make_shared<SteppingClock>();
    auto previous = dv::Clock::currentShared();
    dv::Clock::setCurrent(clock);
    dv::ScopeExit restore([&] { dv::Clock::setCurrent(previous); });
    auto task = session->dataTaskWithRequest(request("/x"));
    int completionsDuringTheStart = -1;
    clock->arm([&] {
        // Inside resume, the task's start under way on this thread: a cancel (as from any other
        // thread, or the resource time-out), and all the time the delegate queue needs.
        task->cancel();
        session->delegateQueue()->waitUntilAllOperationsAreFinished();
        dv::MutexLocker lock(delegate->mutex);
        completionsDuringTheStart = delegate->record.completions;
    });
    task->resume();
    // The task's end would have run on the delegate queue while this thread still started it,
    // both touching the task's state at once.
    EXPECT_EQ(completionsDuringTheStart, 0);
    ASSERT_TRUE(delegate->waitComplete());
    dv::testing::runMainLoopUntil([] { return false; }, 0.1);
    EXPECT_EQ(delegate->recorded().completions, 1);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
    EXPECT_EQ(server.requestCount("/x"), 0u);
}

TEST_F(SessionTest, TasksAreListedUntilTheyComplete)
{
    server.route("/wait", ScriptedReply { .body = "x", .delay = 3000ms });
    makeSession();
    auto data = session->dataTaskWithRequest(request("/wait"));
    auto upload = session->uploadTaskWithRequestFromData(request("/wait"), NSData::fromString("x"));
    auto download = session->downloadTaskWithRequest(request("/wait"));
    Ref<NSArray> lists[3];
    std::atomic<bool> answered { false };
    session->getTasksWithCompletionHandler([&](const Ref<NSArray>& d, const Ref<NSArray>& u, const Ref<NSArray>& w) {
        lists[0] = d;
        lists[1] = u;
        lists[2] = w;
        answered = true;
    });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return answered.load(); }, 5));
    ASSERT_EQ(lists[0]->count(), 1u);
    EXPECT_TRUE(dv::equal(lists[0]->objectAtIndex(0), data));
    ASSERT_EQ(lists[1]->count(), 1u);
    EXPECT_TRUE(dv::equal(lists[1]->objectAtIndex(0), upload));
    ASSERT_EQ(lists[2]->count(), 1u);
    EXPECT_TRUE(dv::equal(lists[2]->objectAtIndex(0), download));
}

TEST_F(SessionTest, FinishingInvalidationWaitsForRunningTasksThenReleasesTheDelegate)
{
    server.route("/a", ScriptedReply { .body = "a", .delay = 100ms });
    makeSession();
    session->dataTaskWithRequest(request("/a"))->resume();
    session->finishTasksAndInvalidate();
    EXPECT_THROW(session->dataTaskWithRequest(request("/a")), dv::RaisedException);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.invalidated; }, 5));
    EXPECT_EQ(delegate->callOrder(), (Calls { "response", "data", "will-cache", "complete", "invalid" }));
    // Let go once the invalidation call has returned, on the delegate's queue.
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return !session->delegate(); }, 5));
}

TEST_F(SessionTest, InvalidateAndCancelCancelsRunningTasks)
{
    server.route("/wait", ScriptedReply { .body = "x", .delay = 3000ms });
    makeSession();
    session->dataTaskWithRequest(request("/wait"))->resume();
    ASSERT_TRUE(server.waitForRequest("/wait"));
    session->invalidateAndCancel();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.invalidated; }, 5));
    EXPECT_EQ(delegate->callOrder(), (Calls { "complete", "invalid" }));
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorCancelled);
}

TEST_F(SessionTest, ConnectionsAreReusedWithinASession)
{
    server.route("/k", ScriptedReply { .body = "k" });
    makeSession();
    for (int i = 0; i < 4; ++i) {
        delegate->forgetCompletions();
        session->dataTaskWithRequest(request("/k"))->resume();
        ASSERT_TRUE(delegate->waitComplete());
    }
    EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(SessionTest, DelegateCallsRunOneAtATimeOnTheDelegateQueue)
{
    server.route("/q", ScriptedReply { .body = std::string(100000, 'q'), .pieceSize = 1000 });
    auto queue = alloc<NSOperationQueue>()->init();
    queue->setMaxConcurrentOperationCount(1);
    session = NSURLSession::sessionWithConfiguration(configuration, delegate, queue);
    EXPECT_EQ(session->delegateQueue(), queue);
    std::atomic<int> wrongQueue { 0 };
    delegate->onResponse = [&](const Ref<NSURLResponse>&, auto done) {
        if (NSOperationQueue::currentQueue() != queue)
            ++wrongQueue;
        done(NSURLSessionResponseAllow);
    };
    for (int i = 0; i < 5; ++i)
        session->dataTaskWithRequest(request("/q"))->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.completions == 5; }, 10));
    EXPECT_EQ(wrongQueue.load(), 0);
    EXPECT_EQ(delegate->recorded().body.size(), 500000u);
}

} // namespace

namespace {

TEST_F(SessionTest, ConnectionsPerHostAreBounded)
{
    server.route("/slow", ScriptedReply { .body = "s", .delay = std::chrono::milliseconds(80) });
    configuration->setHTTPMaximumConnectionsPerHost(2);
    makeSession();
    for (int i = 0; i < 6; ++i)
        session->dataTaskWithRequest(request("/slow"))->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.completions == 6; }, 10));
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(server.requestCount("/slow"), 6u);
    EXPECT_LE(server.connectionCount(), 2u);
}

} // namespace

namespace {

TEST_F(SessionTest, DroppedConnectionAndBrokenHandshakeReportTheirCodes)
{
    server.route("/drop", ScriptedReply { .body = std::string(5000, 'd'), .dropAfterBytes = 100 });
    makeSession();
    session->dataTaskWithRequest(request("/drop"))->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorNetworkConnectionLost);

    // TLS spoken to a server that speaks plain HTTP.
    delegate->forgetCompletions();
    auto secure = NSURL::URLWithString(NSString::stringWithFormat("https://127.0.0.1:%d/drop", server.port()));
    session->dataTaskWithURL(secure)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorSecureConnectionFailed);
    EXPECT_TRUE(dv::equal(delegate->recorded().error->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey), secure));
}

TEST_F(SessionTest, HeadRequestHasAResponseAndNoBody)
{
    server.route("/head", ScriptedReply { .body = "not sent", .contentType = "application/octet-stream" });
    makeSession();
    auto head = request("/head");
    head->setHTTPMethod("HEAD"_ns);
    session->dataTaskWithRequest(head)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().body, "");
    EXPECT_EQ(delegate->recorded().response->expectedContentLength(), 8);
    EXPECT_EQ(server.requests().back().method, "HEAD");
}

} // namespace
