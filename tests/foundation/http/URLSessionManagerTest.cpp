#include "SessionManagerTestSupport.h"

#include "foundation/http/PNHTTPResponseSerializer.h"
#include "foundation/http/PNSecurityPolicy.h"
#include "foundation/http/PNURLSessionManagerTaskDelegate.h"
#include "foundation/http/_PNURLSessionTaskSwizzling.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/NSProgress.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"
#include "platform/system/NSFileManager.h"

#include <filesystem>
#include <fstream>

using dv::test::Outcome;
using dv::test::SessionManagerTestFixture;
using dv::testing::ScriptedReply;
using namespace std::chrono_literals;

namespace {

// Every notification of one name, with where it was posted.
struct NotificationLog {
    struct Entry {
        id object;
        Ref<NSDictionary> userInfo;
        bool onMain = false;
    };
    explicit NotificationLog(const Ref<NSString>& name)
    {
        token = NSNotificationCenter::defaultCenter()->addObserverForName(name, nil, nil, [this](const Ref<NSNotification>& n) {
            dv::MutexLocker lock(mutex);
            entries.push_back({ n->object(), n->userInfo(), dv::isMainThread() });
        });
    }
    ~NotificationLog() { NSNotificationCenter::defaultCenter()->removeObserver(token); }
    std::vector<Entry> forObject(const id& object) const
    {
        dv::MutexLocker lock(mutex);
        std::vector<Entry> out;
        for (auto& entry : entries)
            if (entry.object == object)
                out.push_back(entry);
        return out;
    }
    std::size_t count() const
    {
        dv::MutexLocker lock(mutex);
        return entries.size();
    }
    mutable dv::Mutex mutex;
    std::vector<Entry> entries DV_GUARDED_BY(mutex);
    id token;
};

class URLSessionManagerTest : public SessionManagerTestFixture {
protected:
    void SetUp() override
    {
        SessionManagerTestFixture::SetUp();
        server.route("/json", ScriptedReply { .body = R"({"a":[1,2]})", .contentType = "application/json" });
        server.route("/file", ScriptedReply { .body = "file contents", .contentType = "application/octet-stream" });
        manager = alloc<PNURLSessionManager>()->initWithSessionConfiguration(nil);
    }

    Ref<NSURLRequest> request(const std::string& path) { return NSURLRequest::requestWithURL(NSURL::URLWithString(url(path))); }

    Ref<PNURLSessionManager> manager;
};

TEST_F(URLSessionManagerTest, CompletionRunsOnMainThenTheCompleteNotificationWithItsKeys)
{
    NotificationLog completes(PNTaskCompleteNotificationName);
    std::vector<std::string> order;
    id received;
    auto task = manager->dataTaskWithRequest(request("/json"), [&](const Ref<NSURLResponse>& response, const id& object, const Ref<NSError>& error) {
        order.push_back(dv::isMainThread() ? "handler on main" : "handler elsewhere");
        order.push_back(std::to_string(completes.count()) + " notifications");
        received = object;
        EXPECT_FALSE(error);
        EXPECT_TRUE(response);
    });
    ASSERT_TRUE(task);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    EXPECT_EQ(dv::str(task->taskDescription()), dv::str(manager->taskDescriptionForSessionTasks()));
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completes.forObject(task).size() == 1; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string> { "handler on main", "0 notifications" }));
    auto entries = completes.forObject(task);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].onMain);
    auto info = entries[0].userInfo;
    EXPECT_EQ(info->objectForKey(PNTaskCompleteResponseSerializerKey), manager->responseSerializer());
    EXPECT_TRUE(dv::equal(info->objectForKey(PNTaskCompleteSerializedResponseKey), received));
    EXPECT_EQ(dv::str(info->objectForKey(PNTaskCompleteResponseDataKey)), dv::str(NSData::fromString(R"({"a":[1,2]})")));
    EXPECT_FALSE(info->objectForKey(PNTaskCompleteErrorKey));
    EXPECT_FALSE(info->objectForKey(PNTaskCompleteAssetPathKey));
    EXPECT_FALSE(manager->delegateForTask(task));
    EXPECT_EQ(manager->mutableTaskDelegatesKeyedByTaskIdentifier()->count(), 0u);
}

TEST_F(URLSessionManagerTest, FailedTaskSkipsTheSerialiserAndReportsItsError)
{
    NotificationLog completes(PNTaskCompleteNotificationName);
    int calls = 0;
    Ref<NSError> seen;
    id object = "untouched"_ns;
    auto task = manager->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(deadURL("/x")))),
        [&](const Ref<NSURLResponse>&, const id& responseObject, const Ref<NSError>& error) {
            ++calls;
            seen = error;
            object = responseObject;
        });
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completes.forObject(task).size() == 1; }));
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->code(), NSURLErrorCannotConnectToHost);
    EXPECT_FALSE(object);
    auto info = completes.forObject(task)[0].userInfo;
    EXPECT_EQ(info->objectForKey(PNTaskCompleteErrorKey), seen);
    EXPECT_FALSE(info->objectForKey(PNTaskCompleteSerializedResponseKey));
}

TEST_F(URLSessionManagerTest, CustomCompletionQueueAndGroupStillNotifyOnMainAfterwards)
{
    auto queue = dispatch_queue_create("test.completion");
    auto group = dispatch_group_create();
    manager->setCompletionQueue(queue);
    manager->setCompletionGroup(group);
    NotificationLog completes(PNTaskCompleteNotificationName);
    std::atomic<bool> onQueue { false };
    std::atomic<int> notificationsBeforeHandler { -1 };
    std::atomic<bool> insideGroup { false };
    auto task = manager->dataTaskWithRequest(request("/json"), [&](const Ref<NSURLResponse>&, const id&, const Ref<NSError>&) {
        onQueue = dv::DispatchQueue::current() == queue.get();
        notificationsBeforeHandler = int(completes.count());
        insideGroup = dispatch_group_wait(group, DISPATCH_TIME_NOW) != 0;
    });
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completes.forObject(task).size() == 1; }));
    EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC)), 0);
    EXPECT_TRUE(insideGroup);
    EXPECT_TRUE(onQueue);
    EXPECT_EQ(notificationsBeforeHandler, 0);
    EXPECT_TRUE(completes.forObject(task)[0].onMain);
}

TEST_F(URLSessionManagerTest, ResumeAndSuspendNotifyOnMainOnlyOnRealChangesOfOwnTasks)
{
    _PNURLSessionTaskSwizzling::load();
    NotificationLog resumes(PNTaskResumeNotificationName);
    NotificationLog suspends(PNTaskSuspendNotificationName);
    server.route("/slow", ScriptedReply { .body = "{}", .contentType = "application/json", .delay = 5000ms });
    auto task = manager->dataTaskWithRequest(request("/slow"), nullptr);
    task->resume();
    task->resume(); // already running: nothing
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return resumes.forObject(task).size() == 1; }));
    task->suspend();
    task->suspend(); // already suspended: nothing
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return suspends.forObject(task).size() == 1; }));

    // A task made on the session directly carries another description.
    auto foreign = manager->session()->dataTaskWithRequest(request("/json"));
    manager->addNotificationObserverForTask(foreign);
    foreign->resume();
    dv::testing::runUntilIdle();
    EXPECT_EQ(resumes.forObject(task).size(), 1u);
    EXPECT_EQ(suspends.forObject(task).size(), 1u);
    EXPECT_TRUE(resumes.forObject(task)[0].onMain);
    EXPECT_TRUE(suspends.forObject(task)[0].onMain);
    EXPECT_TRUE(resumes.forObject(foreign).empty());
    manager->removeNotificationObserverForTask(foreign);
    task->cancel();
}

TEST_F(URLSessionManagerTest, ResumeIsNotifiedBeforeTheCompletionHoweverLateTheResumingThreadGoesOn)
{
    _PNURLSessionTaskSwizzling::load();
    auto center = NSNotificationCenter::defaultCenter();
    Ref<NSURLSessionTask> watched;
    std::vector<std::string> order; // on main
    auto note = [&](const char* what) {
        return [&, what](const Ref<NSNotification>& n) {
            if (n->object() == watched)
                order.push_back(what);
        };
    };
    id resumed = center->addObserverForName(PNTaskResumeNotificationName, nil, nil, note("resume"));
    id completed = center->addObserverForName(PNTaskCompleteNotificationName, nil, nil, note("complete"));
    // Heard on the resuming thread before the manager hears of it (observers are called in the
    // order they came): the thread is held up until the manager's delegate queue has run
    // whatever the task had given it, as a busy machine may do.
    id holdUp = center->addObserverForName(PNTaskStateResumeNotificationName, nil, nil, [&](const Ref<NSNotification>& n) {
        if (n->object() == watched)
            manager->operationQueue()->waitUntilAllOperationsAreFinished();
    });
    struct Removal {
        std::vector<id> tokens;
        ~Removal()
        {
            for (auto& token : tokens)
                NSNotificationCenter::defaultCenter()->removeObserver(token);
        }
    } removal { { resumed, completed, holdUp } };

    // A machine off line fails the task as soon as it starts; a reachable server answers.
    for (bool offline : { true, false }) {
        SCOPED_TRACE(offline ? "off line" : "on line");
        order.clear();
        bool ended = false;
        watched = manager->dataTaskWithRequest(request("/json"), [&](const Ref<NSURLResponse>&, const id&, const Ref<NSError>&) { ended = true; });
        dv::setNetworkSimulatedOffline(offline);
        watched->resume();
        dv::setNetworkSimulatedOffline(false);
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return ended; }));
        dv::testing::runMainLoopUntil([&] { return order.size() >= 2; }, 5);
        EXPECT_EQ(order, (std::vector<std::string> { "resume", "complete" }));
    }
}

TEST_F(URLSessionManagerTest, ProgressFollowsTheByteCountersAndControlsTheTask)
{
    server.route("/big", ScriptedReply { .contentType = "application/octet-stream", .generatedLength = 200000 });
    manager->setResponseSerializer(PNHTTPResponseSerializer::serializer());
    std::atomic<int> progressCalls { 0 };
    std::atomic<bool> countsAgree { true };
    bool done = false;
    Ref<NSURLSessionDataTask> task;
    task = manager->dataTaskWithRequest(request("/big"), {}, [&](const Ref<NSProgress>& progress) {
        ++progressCalls;
        if (progress->completedUnitCount() > task->countOfBytesReceived() || progress->totalUnitCount() != 200000)
            countsAgree = false;
    }, [&](const Ref<NSURLResponse>&, const id&, const Ref<NSError>&) { done = true; });
    auto progress = manager->downloadProgressForTask(task);
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->totalUnitCount(), task->countOfBytesExpectedToReceive()); // what the unstarted task expects
    EXPECT_TRUE(manager->uploadProgressForTask(task));
    EXPECT_FALSE(manager->downloadProgressForTask(manager->session()->dataTaskWithRequest(request("/json"))));
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return done; }));
    EXPECT_GT(progressCalls.load(), 0);
    EXPECT_TRUE(countsAgree);
    EXPECT_EQ(progress->completedUnitCount(), 200000);

    // Cancelling the download progress cancels its task.
    server.route("/slow", ScriptedReply { .body = "{}", .contentType = "application/json", .delay = 5000ms });
    Ref<NSError> error;
    auto slow = manager->dataTaskWithRequest(request("/slow"), [&](const Ref<NSURLResponse>&, const id&, const Ref<NSError>& e) { error = e; });
    slow->resume();
    manager->downloadProgressForTask(slow)->cancel();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return error != nil; }));
    EXPECT_EQ(error->code(), NSURLErrorCancelled);
}

TEST_F(URLSessionManagerTest, DownloadIsMovedToItsDestinationAndReportedAsAssetPath)
{
    NotificationLog completes(PNTaskCompleteNotificationName);
    auto destination = NSURL::fileURLWithPath(NSString::fromUTF8(pathInHome("moved.bin")));
    id object;
    Ref<NSError> error;
    bool done = false;
    auto task = manager->downloadTaskWithRequest(request("/file"), {},
        [&](const Ref<NSURL>&, const Ref<NSURLResponse>& response) {
            EXPECT_TRUE(response);
            return destination;
        },
        [&](const Ref<NSURLResponse>&, const id& o, const Ref<NSError>& e) {
            object = o;
            error = e;
            done = true;
        });
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return done && completes.forObject(task).size() == 1; }));
    EXPECT_FALSE(error);
    EXPECT_TRUE(dv::equal(object, destination));
    std::ifstream in(pathInHome("moved.bin"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "file contents");
    auto info = completes.forObject(task)[0].userInfo;
    EXPECT_TRUE(dv::equal(info->objectForKey(PNTaskCompleteAssetPathKey), destination));
    EXPECT_FALSE(info->objectForKey(PNTaskCompleteResponseDataKey));
}

TEST_F(URLSessionManagerTest, FailedMoveOfAFinishedDownloadIsTheCompletionsError)
{
    NotificationLog completes(PNTaskCompleteNotificationName);
    NotificationLog moveErrors(PNDownloadFileManagerErrorNotificationName);
    auto nowhere = NSURL::fileURLWithPath(NSString::fromUTF8(pathInHome("missing-folder/moved.bin")));
    id object = "untouched"_ns;
    Ref<NSError> error;
    int calls = 0;
    auto task = manager->downloadTaskWithRequest(request("/file"), {},
        [&](const Ref<NSURL>&, const Ref<NSURLResponse>&) { return nowhere; },
        [&](const Ref<NSURLResponse>&, const id& o, const Ref<NSError>& e) {
            ++calls;
            object = o;
            error = e;
        });
    task->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completes.forObject(task).size() == 1; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(object);
    ASSERT_TRUE(error);
    EXPECT_EQ(moveErrors.forObject(task).size(), 1u);
    auto info = completes.forObject(task)[0].userInfo;
    EXPECT_EQ(info->objectForKey(PNTaskCompleteErrorKey), error);
    EXPECT_FALSE(info->objectForKey(PNTaskCompleteAssetPathKey));

    // The same through the manager's own hook.
    manager->setDownloadTaskDidFinishDownloadingBlock([&](const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&, const Ref<NSURL>&) {
        return nowhere;
    });
    bool destinationCalled = false;
    error = nil;
    auto second = manager->downloadTaskWithRequest(request("/file"), {},
        [&](const Ref<NSURL>&, const Ref<NSURLResponse>&) {
            destinationCalled = true;
            return nowhere;
        },
        [&](const Ref<NSURLResponse>&, const id& o, const Ref<NSError>& e) {
            object = o;
            error = e;
        });
    second->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return completes.forObject(second).size() == 1; }));
    EXPECT_FALSE(destinationCalled);
    EXPECT_TRUE(error);
    EXPECT_EQ(moveErrors.forObject(second).size(), 1u);
}

TEST_F(URLSessionManagerTest, ManagerNobodyKeepsIsFreedWithItsSessionOnceItsTaskEnded)
{
    Weak<PNURLSessionManager> weakManager;
    Weak<NSURLSession> weakSession;
    Weak<NSOperationQueue> weakQueue;
    bool done = false;
    {
        auto transient = PNHTTPSessionManager::manager();
        weakManager = transient;
        weakSession = transient->session();
        weakQueue = transient->operationQueue();
        transient->POST(url("/json"), nil, [&](const Ref<NSURLSessionDataTask>&, const id&) { done = true; }, {});
    }
    // The task in flight keeps it.
    EXPECT_FALSE(weakManager.expired());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return done; }));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return weakManager.expired() && weakSession.expired() && weakQueue.expired(); }));

    // A manager that never made a task goes at once, its session soon after.
    {
        auto idle = PNHTTPSessionManager::manager();
        weakManager = idle;
        weakSession = idle->session();
    }
    EXPECT_TRUE(weakManager.expired());
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return weakSession.expired(); }));
}

TEST_F(URLSessionManagerTest, TasksMadeWhileTheSessionListsItsEarlierTasksKeepTheirCompletion)
{
    _PNURLSessionTaskSwizzling::load();
    NotificationLog resumes(PNTaskResumeNotificationName);
    for (int round = 0; round < 20; ++round) {
        auto background = alloc<PNURLSessionManager>()->initWithSessionConfiguration(
            NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(NSString::stringWithFormat("test.%d", round)));
        int calls = 0;
        auto task = background->dataTaskWithRequest(request("/json"), [&](const Ref<NSURLResponse>&, const id&, const Ref<NSError>&) { ++calls; });
        ASSERT_TRUE(dv::testing::drainQueue(dispatch_get_main_queue()));
        dv::testing::runUntilIdle(); // the session has answered which tasks it had
        task->resume();
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return calls > 0; }));
        dv::testing::runUntilIdle();
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(resumes.forObject(task).size(), 1u);
    }

    // New managers one after the other, as the application makes them, each with its task at once.
    int successes = 0;
    for (int i = 0; i < 200; ++i) {
        Outcome outcome;
        PNHTTPSessionManager::manager()->POST(url("/json"), nil, outcome.success(), outcome.failure());
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return outcome.finished(); }, 5)) << "request " << i;
        successes += outcome.successes;
    }
    EXPECT_EQ(successes, 200);
}

TEST_F(URLSessionManagerTest, InvalidationPostsItsNotificationAndLetsTheManagerGo)
{
    NotificationLog invalidations(PNSessionInvalidateNotificationName);
    bool blockCalled = false;
    manager->setSessionDidBecomeInvalidBlock([&](const Ref<NSURLSession>&, const Ref<NSError>&) { blockCalled = true; });
    auto session = manager->session();
    manager->invalidateSessionCancelingTasks(true);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return invalidations.forObject(session).size() == 1; }));
    EXPECT_TRUE(blockCalled);
    EXPECT_FALSE(invalidations.forObject(session)[0].onMain);
}

TEST_F(URLSessionManagerTest, TaskListsComeInDataUploadDownloadOrder)
{
    auto download = manager->downloadTaskWithRequest(request("/file"), {}, {}, {});
    auto upload = manager->uploadTaskWithRequestFromData(request("/json"), NSData::fromString("x"), {}, {});
    auto data = manager->dataTaskWithRequest(request("/json"), nullptr);
    auto all = manager->tasks();
    ASSERT_EQ(all->count(), 3u);
    EXPECT_EQ(all->objectAtIndex(0), data);
    EXPECT_EQ(all->objectAtIndex(1), upload);
    EXPECT_EQ(all->objectAtIndex(2), download);
    EXPECT_EQ(manager->uploadTasks()->count(), 1u);
    EXPECT_EQ(manager->downloadTasks()->count(), 1u);
    EXPECT_EQ(manager->dataTasks()->count(), 1u);
    EXPECT_FALSE(manager->tasksForKeyPath("other"_ns));
    EXPECT_EQ(manager->mutableTaskDelegatesKeyedByTaskIdentifier()->count(), 3u);
    for (auto& task : { Ref<NSURLSessionTask>(download), Ref<NSURLSessionTask>(upload), Ref<NSURLSessionTask>(data) })
        task->cancel();
}

TEST_F(URLSessionManagerTest, ChallengesGetThePlatformsDispositions)
{
    auto& certificates = dv::testing::TestCertificates::shared();
    auto leaf = alloc<SecCertificate>()->initWithDER(certificates.leaf.der);
    auto intermediate = alloc<SecCertificate>()->initWithDER(certificates.intermediate.der);
    auto trustChallenge = [&] {
        Ref<SecTrust> trust;
        SecTrustCreateWithCertificates(NSArray::of({ leaf, intermediate }), SecPolicyCreateSSL(true, "127.0.0.1"_ns), &trust);
        auto space = NSURLProtectionSpace::serverTrustSpace("127.0.0.1"_ns, 443, trust);
        return alloc<NSURLAuthenticationChallenge>()->initWithProtectionSpace(space, nil, 0, nil, nil, nullptr);
    };
    std::vector<std::pair<NSURLSessionAuthChallengeDisposition, bool>> answers;
    auto record = [&](NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential) {
        answers.emplace_back(disposition, credential && credential->trust());
    };

    // The default policy does not know the test authority.
    manager->URLSession(manager->session(), trustChallenge(), record);
    auto anything = PNSecurityPolicy::defaultPolicy();
    anything->setAllowInvalidCertificates(true);
    anything->setValidatesDomainName(false);
    manager->setSecurityPolicy(anything);
    manager->URLSession(manager->session(), trustChallenge(), record);
    auto task = manager->dataTaskWithRequest(request("/json"), nullptr);
    manager->URLSession(manager->session(), Ref<NSURLSessionTask>(task), trustChallenge(), record);
    auto basic = alloc<NSURLAuthenticationChallenge>()->initWithProtectionSpace(
        alloc<NSURLProtectionSpace>()->initWithHost("127.0.0.1"_ns, 80, NSURLProtectionSpaceHTTP, "realm"_ns, NSURLAuthenticationMethodHTTPBasic),
        nil, 0, nil, nil, nullptr);
    manager->URLSession(manager->session(), basic, record);

    using P = std::pair<NSURLSessionAuthChallengeDisposition, bool>;
    EXPECT_EQ(answers, (std::vector<P> { P { NSURLSessionAuthChallengeRejectProtectionSpace, false },
                           P { NSURLSessionAuthChallengeUseCredential, true }, P { NSURLSessionAuthChallengeUseCredential, true },
                           P { NSURLSessionAuthChallengePerformDefaultHandling, false } }));
    task->cancel();
}

TEST_F(URLSessionManagerTest, SentBodyDataFallsBackToTheContentLengthHeader)
{
    std::vector<std::int64_t> expected;
    manager->setTaskDidSendBodyDataBlock([&](const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, std::int64_t, std::int64_t, std::int64_t total) {
        expected.push_back(total);
    });
    auto withLength = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(url("/json")));
    withLength->setValueForHTTPHeaderField("1234"_ns, "Content-Length"_ns);
    auto task = manager->dataTaskWithRequest(withLength, nullptr);
    auto bare = manager->dataTaskWithRequest(request("/json"), nullptr);
    manager->URLSession(manager->session(), Ref<NSURLSessionTask>(task), 10, 10, NSURLSessionTransferSizeUnknown);
    manager->URLSession(manager->session(), Ref<NSURLSessionTask>(bare), 10, 10, NSURLSessionTransferSizeUnknown);
    manager->URLSession(manager->session(), Ref<NSURLSessionTask>(task), 10, 20, 99);
    EXPECT_EQ(expected, (std::vector<std::int64_t> { 1234, NSURLSessionTransferSizeUnknown, 99 }));
    task->cancel();
    bare->cancel();
}

TEST_F(URLSessionManagerTest, OptionalCallbacksAnswerWhetherTheirHookIsSet)
{
    const SEL redirect("URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler:");
    const SEL response("URLSession:dataTask:didReceiveResponse:completionHandler:");
    EXPECT_FALSE(manager->respondsToSelector(redirect));
    EXPECT_FALSE(manager->respondsToSelector(response));
    manager->setTaskWillPerformHTTPRedirectionBlock([](auto, auto, auto, const Ref<NSURLRequest>& next) { return next; });
    EXPECT_TRUE(manager->respondsToSelector(redirect));

    // A redirection refused by the hook ends at the redirect reply.
    server.route("/from", ScriptedReply { .redirectTo = "/json" });
    manager->setTaskWillPerformHTTPRedirectionBlock([](auto, auto, auto, const Ref<NSURLRequest>&) { return Ref<NSURLRequest>(); });
    manager->setResponseSerializer(PNHTTPResponseSerializer::serializer());
    Ref<NSURLResponse> last;
    bool done = false;
    manager->dataTaskWithRequest(request("/from"), [&](const Ref<NSURLResponse>& r, const id&, const Ref<NSError>&) {
        last = r;
        done = true;
    })->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return done; }));
    EXPECT_EQ(server.requestCount("/json"), 0u);
    EXPECT_EQ(dv::as<NSHTTPURLResponse>(last)->statusCode(), 302);
}

} // namespace
