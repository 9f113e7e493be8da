#include "platform/base/Base.h"
#include "platform/base/NSURL.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSThread.h"
#include "platform/testing/CommandPath.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIApplication.h"
#include "tests/platform/system/TemporaryHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace {

class RecordingDelegate : public NSObject, public UIApplicationDelegate {
public:
    std::vector<std::string> events;
    Ref<NSData> token;
    Ref<NSError> registrationError;
    bool implementsFetch = true;
    int fetchCalls = 0;

    std::optional<bool> applicationWillFinishLaunchingWithOptions(const Ref<UIApplication>&, const Ref<NSDictionary>&) override
    {
        events.push_back("willFinish");
        return true;
    }
    std::optional<bool> applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>& app, const Ref<NSDictionary>&) override
    {
        events.push_back("didFinish:" + std::to_string(app->applicationState()));
        return true;
    }
    bool applicationDidBecomeActive(const Ref<UIApplication>&) override { return record("didBecomeActive"); }
    bool applicationWillResignActive(const Ref<UIApplication>&) override { return record("willResignActive"); }
    bool applicationDidEnterBackground(const Ref<UIApplication>& app) override
    {
        return record("didEnterBackground:" + std::to_string(app->applicationState()));
    }
    bool applicationWillEnterForeground(const Ref<UIApplication>&) override { return record("willEnterForeground"); }
    bool applicationWillTerminate(const Ref<UIApplication>&) override { return record("willTerminate"); }
    bool applicationDidReceiveMemoryWarning(const Ref<UIApplication>&) override { return record("memoryWarning"); }
    bool applicationDidRegisterForRemoteNotificationsWithDeviceToken(const Ref<UIApplication>&, const Ref<NSData>& t) override
    {
        EXPECT_TRUE(NSThread::isMainThread());
        token = t;
        return record("token");
    }
    bool applicationDidFailToRegisterForRemoteNotificationsWithError(const Ref<UIApplication>&, const Ref<NSError>& e) override
    {
        registrationError = e;
        return record("tokenFailed");
    }
    bool applicationDidReceiveRemoteNotification(const Ref<UIApplication>&, const Ref<NSDictionary>& info) override
    {
        return record("plain:" + dv::str(info->objectForKey("msg")));
    }
    bool applicationDidReceiveRemoteNotificationFetchCompletionHandler(const Ref<UIApplication>&, const Ref<NSDictionary>& info,
                                                                      std::function<void(UIBackgroundFetchResult)> done) override
    {
        if (!implementsFetch)
            return false;
        ++fetchCalls;
        record("fetch:" + dv::str(info->objectForKey("msg")));
        done(UIBackgroundFetchResultNewData);
        done(UIBackgroundFetchResultFailed); // a second call must not reach the caller
        return true;
    }

private:
    bool record(std::string e)
    {
        events.push_back(std::move(e));
        return true;
    }
};

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UIApplication::resetSharedApplication();
        m_app = UIApplication::sharedApplication();
        m_delegate = std::make_shared<RecordingDelegate>();
        m_app->setDelegate(m_delegate);
        auto center = NSNotificationCenter::defaultCenter();
        for (const auto& name : { UIApplicationDidFinishLaunchingNotification, UIApplicationDidBecomeActiveNotification,
                                  UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification,
                                  UIApplicationWillEnterForegroundNotification, UIApplicationWillTerminateNotification,
                                  UIApplicationDidReceiveMemoryWarningNotification }) {
            m_tokens.push_back(center->addObserverForName(name, m_app, nil, [this](const Ref<NSNotification>& n) {
                m_delegate->events.push_back("note:" + dv::str(n->name()).substr(13));
            }));
        }
    }
    void TearDown() override
    {
        for (const auto& token : m_tokens)
            NSNotificationCenter::defaultCenter()->removeObserver(token);
        UIApplication::resetSharedApplication();
    }

    dv::test::TemporaryHome m_home;
    Ref<UIApplication> m_app;
    Ref<RecordingDelegate> m_delegate;
    std::vector<id> m_tokens;
};

TEST_F(ApplicationTest, LaunchAndStateChangesReachDelegateThenObservers)
{
    m_app->launch(nil);
    EXPECT_EQ(m_app->applicationState(), UIApplicationStateActive);
    m_app->enterBackground();
    EXPECT_EQ(m_app->applicationState(), UIApplicationStateBackground);
    m_app->enterBackground(); // already there: nothing happens
    m_app->enterForeground();
    m_app->simulateMemoryWarning();
    m_app->terminate();
    EXPECT_EQ(m_delegate->events,
              (std::vector<std::string> { "willFinish", "didFinish:1", "note:DidFinishLaunchingNotification", "didBecomeActive",
                                          "note:DidBecomeActiveNotification", "willResignActive", "note:WillResignActiveNotification",
                                          "didEnterBackground:2", "note:DidEnterBackgroundNotification", "willEnterForeground",
                                          "note:WillEnterForegroundNotification", "didBecomeActive", "note:DidBecomeActiveNotification",
                                          "memoryWarning", "note:DidReceiveMemoryWarningNotification", "willTerminate",
                                          "note:WillTerminateNotification" }));
}

TEST_F(ApplicationTest, ResigningAndReactivatingPassThroughInactiveOnly)
{
    m_app->launch(nil);
    m_delegate->events.clear();
    m_app->resignActive();
    EXPECT_EQ(m_app->applicationState(), UIApplicationStateInactive);
    m_app->resignActive(); // not active: nothing happens
    m_app->enterForeground(); // not in the background: nothing happens
    m_app->reactivate();
    EXPECT_EQ(m_app->applicationState(), UIApplicationStateActive);
    m_app->enterBackground();
    m_app->reactivate(); // from the background only the foreground leads back
    EXPECT_EQ(m_app->applicationState(), UIApplicationStateBackground);
    EXPECT_EQ(m_delegate->events,
              (std::vector<std::string> { "willResignActive", "note:WillResignActiveNotification", "didBecomeActive",
                                          "note:DidBecomeActiveNotification", "willResignActive", "note:WillResignActiveNotification",
                                          "didEnterBackground:2", "note:DidEnterBackgroundNotification" }));
}

TEST_F(ApplicationTest, DelegateIsHeldWeaklyUnlessKept)
{
    m_app->setDelegate(nil);
    auto gone = std::make_shared<RecordingDelegate>();
    Weak<RecordingDelegate> watch = gone;
    m_app->setDelegate(gone);
    gone = nil;
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(m_app->delegate(), nil);
    m_app->simulateMemoryWarning(); // no delegate: only the notification

    auto kept = std::make_shared<RecordingDelegate>();
    watch = kept;
    m_app->keepDelegate(kept);
    kept = nil;
    EXPECT_FALSE(watch.expired());
    EXPECT_TRUE(dv::as<RecordingDelegate>(m_app->delegate()));
}

TEST_F(ApplicationTest, BadgeAndOpenedURLs)
{
    m_app->setApplicationIconBadgeNumber(3);
    EXPECT_EQ(m_app->applicationIconBadgeNumber(), 3);
    m_app->setApplicationIconBadgeNumber(0);
    EXPECT_EQ(m_app->applicationIconBadgeNumber(), 0);
    EXPECT_TRUE(m_app->openURL(NSURL::URLWithString("http://www.example.com/a"_ns)));
    EXPECT_FALSE(m_app->openURL(nil));
    EXPECT_FALSE(m_app->openURL(NSURL::URLWithString("relative/path"_ns)));
    ASSERT_EQ(m_app->openedURLs()->count(), 1u);
    EXPECT_TRUE(dv::equal(dv::as<NSURL>(m_app->openedURLs()->firstObject())->absoluteString(), "http://www.example.com/a"_ns));
}

// Handed to the desktop, a URL goes to xdg-open as one argument; when no xdg-open can be started,
// openURL answers NO and the outcome says so, the URL still recorded as asked for.
TEST_F(ApplicationTest, AURLHandedToTheSystemSaysWhetherXdgOpenTookIt)
{
    const auto url = NSURL::URLWithString("http://www.example.com/a?b=1&c=$(x)"_ns);
    EXPECT_TRUE(m_app->openURL(url)) << "handing over is off: only recorded";
    UIApplication::setOpensURLsWithSystem(true);
    {
        dv::ScopeExit off([] { UIApplication::setOpensURLsWithSystem(false); });
        dv::testing::CommandPath path;
        EXPECT_FALSE(m_app->openURL(url)) << "no xdg-open on the PATH";
        path.addScript("xdg-open", "echo \"$1\" >> '" + path.file("opened") + "'");
        EXPECT_TRUE(m_app->openURL(url));
        std::string opened;
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] {
            std::ifstream file(path.file("opened"));
            return std::getline(file, opened) && !opened.empty();
        }, 10));
        EXPECT_EQ(opened, "http://www.example.com/a?b=1&c=$(x)") << "the URL as one argument, never read by a shell";
    }
    EXPECT_EQ(m_app->openedURLs()->count(), 3u);
    EXPECT_EQ(m_app->openedURLHandOvers(),
        (std::vector<dv::SystemHandOver> { dv::SystemHandOver::Off, dv::SystemHandOver::Failed, dv::SystemHandOver::HandedOver }));
}

TEST_F(ApplicationTest, BackgroundTasksExpireOnceAndEndThemselves)
{
    UIBackgroundTaskIdentifier polite = UIBackgroundTaskInvalid, rude = UIBackgroundTaskInvalid;
    int politeCalls = 0, rudeCalls = 0;
    polite = m_app->beginBackgroundTaskWithExpirationHandler([&] {
        ++politeCalls;
        m_app->endBackgroundTask(polite);
        polite = UIBackgroundTaskInvalid;
    });
    rude = m_app->beginBackgroundTaskWithExpirationHandler([&] { ++rudeCalls; });
    EXPECT_NE(polite, rude);
    EXPECT_EQ(m_app->backgroundTaskCount(), 2u);
    m_app->enterBackground();
    EXPECT_GT(m_app->backgroundTimeRemaining(), 0);

    dv::LogCapture capture;
    m_app->expireBackgroundTasks();
    m_app->expireBackgroundTasks();
    EXPECT_EQ(politeCalls, 1);
    EXPECT_EQ(rudeCalls, 1);
    EXPECT_EQ(polite, UIBackgroundTaskInvalid);
    EXPECT_EQ(m_app->backgroundTaskCount(), 0u);
    EXPECT_TRUE(capture.contains("was not ended"));
    m_app->endBackgroundTask(rude); // already ended by the system: logged, no harm
    EXPECT_TRUE(capture.contains("Can't end BackgroundTask"));

    auto finished = m_app->beginBackgroundTaskWithExpirationHandler([&] { ADD_FAILURE() << "an ended task never expires"; });
    m_app->endBackgroundTask(finished);
    m_app->expireBackgroundTasks();
}

TEST_F(ApplicationTest, BackgroundTasksAreBegunAndEndedFromAnyThread)
{
    // Downloads take their background time on their own threads while the main thread expires
    // tasks: every task is counted once and ended once.
    constexpr int threads = 4, perThread = 200;
    dv::LogCapture capture; // tasks expired before their end, or left running, are logged
    std::atomic<int> expired { 0 };
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < perThread; ++i) {
                auto task = m_app->beginBackgroundTaskWithExpirationHandler([&] { ++expired; });
                if (i % 2 == 0)
                    m_app->endBackgroundTask(task);
            }
        });
    for (int i = 0; i < 50; ++i)
        m_app->expireBackgroundTasks();
    for (auto& worker : workers)
        worker.join();
    m_app->expireBackgroundTasks();
    EXPECT_EQ(m_app->backgroundTaskCount(), 0u);
    // Every task that its thread left running expired, once.
    EXPECT_GE(expired.load(), threads * perThread / 2);
    EXPECT_LE(expired.load(), threads * perThread);
}

TEST_F(ApplicationTest, RemoteRegistrationAnswersLaterOnTheMainQueueWithAPersistentToken)
{
    m_app->registerForRemoteNotificationTypes(UIRemoteNotificationTypeBadge | UIRemoteNotificationTypeSound | UIRemoteNotificationTypeAlert);
    EXPECT_EQ(m_delegate->token, nil); // not during the call
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_delegate->token != nil; }));
    EXPECT_EQ(m_delegate->token->length(), 32u);
    EXPECT_EQ(m_app->currentUserNotificationSettings()->types(), 7u);
    EXPECT_TRUE(m_app->isRegisteredForRemoteNotifications());

    // Another launch on the same device gets the same token.
    auto first = m_delegate->token;
    UIApplication::resetSharedApplication();
    auto again = UIApplication::sharedApplication();
    auto delegate = std::make_shared<RecordingDelegate>();
    again->setDelegate(delegate);
    again->registerForRemoteNotifications();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return delegate->token != nil; }));
    EXPECT_TRUE(dv::equal(delegate->token, first));
}

TEST_F(ApplicationTest, RegistrationFailsWhenTheTokenCannotBeKept)
{
    // A file where the device folder should be.
    std::ofstream(m_home.path() + "/device") << "in the way";
    m_app->registerForRemoteNotifications();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_delegate->registrationError != nil; }));
    EXPECT_EQ(m_delegate->token, nil);
}

TEST_F(ApplicationTest, DeliveredNotificationsPreferTheFetchFormAndCompleteOnce)
{
    std::vector<UIBackgroundFetchResult> results;
    m_app->deliverRemoteNotification(NSDictionary::of({ { "msg"_ns, "one"_ns } }), [&](UIBackgroundFetchResult r) { results.push_back(r); });
    EXPECT_EQ(m_delegate->fetchCalls, 0); // delivered on the main queue, not inside the call
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !results.empty(); }));
    ASSERT_TRUE(dv::testing::runUntilIdle());
    EXPECT_EQ(results, (std::vector<UIBackgroundFetchResult> { UIBackgroundFetchResultNewData }));

    m_delegate->implementsFetch = false;
    m_app->deliverRemoteNotification(NSDictionary::of({ { "msg"_ns, "two"_ns } }));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_delegate->events.back() == "plain:two"; }));
    EXPECT_EQ(m_delegate->fetchCalls, 1);

    // A launch caused by a notification hands its payload on.
    m_delegate->implementsFetch = true;
    m_app->launch(NSDictionary::of({ { UIApplicationLaunchOptionsRemoteNotificationKey, NSDictionary::of({ { "msg"_ns, "launch"_ns } }) } }));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_delegate->fetchCalls == 2; }));
}

} // namespace
