// Controls bound to running URL session tasks of a session manager, against a loopback server:
// progress bars following the bytes (known and unknown lengths, uploads), the binding ending with
// the task or with the view, refresh controls and activity indicators following the task's
// resume, suspend and complete notices, binding to another task or to none, and the observers
// going with their controls.
#include "NetworkImageTestSupport.h"

#include "foundation/http/PNHTTPResponseSerializer.h"
#include "foundation/http/PNHTTPSessionManager.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIProgressView.h"
#include "platform/ui/UIRefreshControl.h"
#include "ui/images/PNActivityIndicatorViewNotificationObserver.h"
#include "ui/images/PNRefreshControlNotificationObserver.h"
#include "ui/images/UIActivityIndicatorViewPNNetworking.h"
#include "ui/images/UIProgressViewPNNetworking.h"
#include "ui/images/UIRefreshControlPNNetworking.h"

namespace dv::test {
namespace {

class TaskBoundViewsTest : public ImagesTest {
protected:
    void SetUp() override
    {
        ImagesTest::SetUp();
        manager = PNHTTPSessionManager::manager();
        manager->setResponseSerializer(PNHTTPResponseSerializer::serializer());
        gate = std::make_shared<Gate>();
        server.route("/held", [g = gate](const dv::testing::RecordedRequest&) {
            g->pass();
            return dv::testing::ScriptedReply {.body = "done"};
        });
        server.route("/quick", dv::testing::ScriptedReply {.body = "quick"});
    }
    void TearDown() override
    {
        gate->open();
        for (auto& task : m_tasks) {
            if (task->state() == NSURLSessionTaskStateSuspended)
                task->cancel();
            EXPECT_TRUE(waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
        }
        m_tasks.clear();
        dv::testing::runUntilIdle();
        manager = nil;
        ImagesTest::TearDown();
    }

    Ref<NSURLRequest> request(const std::string& path) const
    {
        return NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server.url(path))));
    }
    // A task of the manager, not resumed; its completion is counted.
    Ref<NSURLSessionDataTask> task(const std::string& path)
    {
        auto made = manager->dataTaskWithRequest(request(path), [this](auto&, auto&, auto&) { ++completions; });
        m_tasks.push_back(made);
        return made;
    }
    Ref<NSURLSessionDataTask> running(const std::string& path)
    {
        auto made = task(path);
        made->resume();
        return made;
    }
    bool waitFor(const std::function<bool()>& condition) { return dv::testing::runMainLoopUntil(condition); }
    bool waitCompleted(const Ref<NSURLSessionTask>& task, int count)
    {
        // The complete notice follows the completion handler on the main queue.
        return waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted && completions >= count; });
    }
    static void turnLoop()
    {
        int turns = 0;
        dv::testing::runMainLoopUntil([&turns] { return ++turns > 5; });
    }
    static Ref<UIProgressView> bar() { return alloc<UIProgressView>()->initWithProgressViewStyle(UIProgressViewStyleDefault); }

    dv::testing::LoopbackServer server;
    Ref<PNHTTPSessionManager> manager;
    std::shared_ptr<Gate> gate;
    int completions = 0;

private:
    std::vector<Ref<NSURLSessionTask>> m_tasks;
};

TEST_F(TaskBoundViewsTest, ADownloadOfKnownLengthFillsTheBarAndThenLetsGo)
{
    server.route("/big", dv::testing::ScriptedReply {.contentType = "application/octet-stream", .pieceSize = 16384,
                             .pieceDelay = std::chrono::milliseconds(2), .generatedLength = 200000});
    auto view = bar();
    auto download = task("/big");
    setProgressWithDownloadProgressOfTask(view, download, true);
    EXPECT_TRUE(pn_downloadProgressAnimated(view));
    EXPECT_FALSE(pn_uploadProgressAnimated(view));
    download->resume();
    ASSERT_TRUE(waitCompleted(download, 1));
    ASSERT_TRUE(waitFor([&] { return view->progress() == 1.0f; }));

    // The binding ended with the task: later changes of its counters reach no view.
    view->setProgress(0.3f);
    download->setCountOfBytesReceived(100);
    turnLoop();
    EXPECT_EQ(view->progress(), 0.3f);
}

TEST_F(TaskBoundViewsTest, AnUnknownLengthLeavesTheBarAlone)
{
    server.route("/chunked", dv::testing::ScriptedReply {.body = std::string(50000, 'c'),
                                 .framing = dv::testing::ScriptedReply::Framing::Chunked, .pieceSize = 4096});
    auto view = bar();
    view->setProgress(0.5f);
    auto download = task("/chunked");
    setProgressWithDownloadProgressOfTask(view, download, false);
    download->resume();
    ASSERT_TRUE(waitCompleted(download, 1));
    EXPECT_EQ(download->countOfBytesReceived(), 50000);
    turnLoop();
    EXPECT_EQ(view->progress(), 0.5f);
}

TEST_F(TaskBoundViewsTest, UploadProgressIsTheShareOfBytesSent)
{
    auto view = bar();
    auto upload = task("/quick");
    setProgressWithUploadProgressOfTask(view, upload, false);
    // Counters as a session reports them: 250 of 1000 bytes sent is a quarter.
    upload->setCountOfBytesExpectedToSend(1000);
    upload->setCountOfBytesSent(250);
    ASSERT_TRUE(waitFor([&] { return view->progress() == 0.25f; }));
    upload->cancel();

    // A real upload ends full.
    server.route("/upload", dv::testing::ScriptedReply {.body = "ok"});
    auto post = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server.url("/upload"))));
    post->setHTTPMethod("POST"_ns);
    auto sending = manager->uploadTaskWithRequestFromData(post, NSData::fromString(std::string(300000, 'u')), nullptr,
        [this](auto&, auto&, auto&) { ++completions; });
    auto other = bar();
    setProgressWithUploadProgressOfTask(other, sending, true);
    sending->resume();
    ASSERT_TRUE(waitCompleted(sending, 2));
    ASSERT_TRUE(waitFor([&] { return other->progress() == 1.0f; }));
    EXPECT_TRUE(pn_uploadProgressAnimated(other));
}

TEST_F(TaskBoundViewsTest, AViewThatGoesFirstEndsItsObservationOfTheTask)
{
    auto download = task("/quick");
    const auto baseline = download->observationCount();
    Weak<UIProgressView> weak;
    {
        auto view = bar();
        weak = view;
        setProgressWithDownloadProgressOfTask(view, download, false);
        setProgressWithUploadProgressOfTask(view, download, false);
        EXPECT_EQ(download->observationCount(), baseline + 4);
    }
    EXPECT_FALSE(weak.lock());
    EXPECT_EQ(download->observationCount(), baseline);
    download->setCountOfBytesExpectedToReceive(10);
    download->setCountOfBytesReceived(5);
    turnLoop();
}

TEST_F(TaskBoundViewsTest, ARefreshControlRefreshesWhileItsTaskRuns)
{
    auto refresh = alloc<UIRefreshControl>()->init();
    auto held = running("/held");
    setRefreshingWithStateOfTask(refresh, held);
    EXPECT_TRUE(refresh->isRefreshing()); // at once
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    gate->open();
    ASSERT_TRUE(waitCompleted(held, 1));
    ASSERT_TRUE(waitFor([&] { return !refresh->isRefreshing(); }));

    // Bound to a suspended task it ends refreshing and is not started by the task's resume.
    auto waiting = task("/quick");
    refresh->beginRefreshing();
    setRefreshingWithStateOfTask(refresh, waiting);
    EXPECT_FALSE(refresh->isRefreshing());
    waiting->resume();
    ASSERT_TRUE(waitCompleted(waiting, 2));
    turnLoop();
    EXPECT_FALSE(refresh->isRefreshing());

    // Bound to a running task and then to none: it stays as it is, whatever that task does.
    auto again = running("/quick");
    setRefreshingWithStateOfTask(refresh, again);
    EXPECT_TRUE(refresh->isRefreshing());
    setRefreshingWithStateOfTask(refresh, nil);
    ASSERT_TRUE(waitCompleted(again, 3));
    turnLoop();
    EXPECT_TRUE(refresh->isRefreshing());
}

TEST_F(TaskBoundViewsTest, AnActivityIndicatorFollowsResumeSuspendAndCompletion)
{
    auto spinner = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    spinner->startAnimating();
    auto waiting = task("/held");
    setAnimatingWithStateOfTask(spinner, waiting);
    EXPECT_FALSE(spinner->isAnimating()); // suspended: stopped, and listening
    waiting->resume();
    ASSERT_TRUE(waitFor([&] { return spinner->isAnimating(); }));
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    waiting->suspend();
    ASSERT_TRUE(waitFor([&] { return !spinner->isAnimating(); }));
    waiting->resume();
    ASSERT_TRUE(waitFor([&] { return spinner->isAnimating(); }));

    // Another task's notices change nothing.
    auto other = running("/quick");
    ASSERT_TRUE(waitCompleted(other, 1));
    turnLoop();
    EXPECT_TRUE(spinner->isAnimating());

    gate->open();
    ASSERT_TRUE(waitCompleted(waiting, 2));
    ASSERT_TRUE(waitFor([&] { return !spinner->isAnimating(); }));

    // A completed task, or none, leaves the indicator as it is.
    spinner->startAnimating();
    setAnimatingWithStateOfTask(spinner, waiting);
    EXPECT_TRUE(spinner->isAnimating());
    setAnimatingWithStateOfTask(spinner, nil);
    EXPECT_TRUE(spinner->isAnimating());
}

TEST_F(TaskBoundViewsTest, ObserversGoWithTheirControlsAndHoldThemWeakly)
{
    auto center = NSNotificationCenter::defaultCenter();
    auto held = running("/held");
    const auto before = center->observerCount();
    Weak<PNRefreshControlNotificationObserver> refreshObserver;
    Weak<PNActivityIndicatorViewNotificationObserver> spinnerObserver;
    {
        auto refresh = alloc<UIRefreshControl>()->init();
        auto spinner = alloc<UIActivityIndicatorView>()->init();
        setRefreshingWithStateOfTask(refresh, held);
        setAnimatingWithStateOfTask(spinner, held);
        refreshObserver = pn_notificationObserver(refresh);
        spinnerObserver = pn_notificationObserver(spinner);
        EXPECT_EQ(pn_notificationObserver(refresh), refreshObserver.lock());
        EXPECT_EQ(refreshObserver.lock()->refreshControl(), refresh);
        EXPECT_EQ(spinnerObserver.lock()->activityIndicatorView(), spinner);
        EXPECT_EQ(center->observerCount(), before + 6);
    }
    EXPECT_FALSE(refreshObserver.lock());
    EXPECT_FALSE(spinnerObserver.lock());
    EXPECT_EQ(center->observerCount(), before);
    gate->open();
    ASSERT_TRUE(waitCompleted(held, 1));
}

} // namespace
} // namespace dv::test
