#include "SessionManagerTestSupport.h"

#include "foundation/http/PNNetworkActivityIndicatorManager.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSession.h"
#include "platform/ui/UIApplication.h"

using dv::testing::ScriptedReply;
using namespace std::chrono_literals;

namespace {

class NetworkActivityIndicatorManagerTest : public dv::test::SessionManagerTestFixture {
protected:
    void SetUp() override
    {
        SessionManagerTestFixture::SetUp();
        UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(false);
        indicator = alloc<PNNetworkActivityIndicatorManager>()->init();
        indicator->setNetworkingActivityActionWithBlock([this](bool visible) { shown.push_back(visible); });
        indicator->setEnabled(true);
    }
    void TearDown() override
    {
        indicator = nil;
        SessionManagerTestFixture::TearDown();
    }

    // Lets queued re-evaluations run without moving the clock.
    void settle() { ASSERT_TRUE(dv::testing::runUntilIdle()); }

    dv::ManualClockScope clock;
    Ref<PNNetworkActivityIndicatorManager> indicator;
    std::vector<bool> shown;
};

TEST_F(NetworkActivityIndicatorManagerTest, ShortRequestNeverShowsTheIndicator)
{
    indicator->incrementActivityCount();
    settle();
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateDelayingStart);
    clock->advance(0.5);
    indicator->decrementActivityCount();
    settle();
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateDelayingStart);
    clock->advance(0.5);
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateNotActive);
    EXPECT_TRUE(shown.empty());
}

TEST_F(NetworkActivityIndicatorManagerTest, LongRequestShowsAfterTheActivationDelayAndHidesAfterTheCompletionDelay)
{
    indicator->incrementActivityCount();
    settle();
    clock->advance(0.99);
    EXPECT_TRUE(shown.empty());
    clock->advance(0.01);
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateActive);
    EXPECT_EQ(shown, std::vector<bool> { true });
    EXPECT_TRUE(indicator->isNetworkActivityIndicatorVisible());
    clock->advance(2.0);
    indicator->decrementActivityCount();
    settle();
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateDelayingEnd);
    clock->advance(0.16);
    EXPECT_EQ(shown, std::vector<bool> { true });
    clock->advance(0.01);
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateNotActive);
    EXPECT_EQ(shown, (std::vector<bool> { true, false }));
    EXPECT_FALSE(UIApplication::sharedApplication()->isNetworkActivityIndicatorVisible()); // the block stood in for it
}

TEST_F(NetworkActivityIndicatorManagerTest, ChainedRequestsKeepTheIndicatorOn)
{
    indicator->incrementActivityCount();
    settle();
    clock->advance(1.0);
    indicator->decrementActivityCount();
    settle();
    clock->advance(0.1);
    indicator->incrementActivityCount();
    settle();
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateActive);
    clock->advance(1.0);
    EXPECT_EQ(shown, std::vector<bool> { true });
}

TEST_F(NetworkActivityIndicatorManagerTest, CountNeverGoesBelowZero)
{
    indicator->decrementActivityCount();
    indicator->decrementActivityCount();
    EXPECT_EQ(indicator->activityCount(), 0);
    indicator->incrementActivityCount();
    EXPECT_EQ(indicator->activityCount(), 1);
    EXPECT_TRUE(indicator->isNetworkActivityOccurring());
}

TEST_F(NetworkActivityIndicatorManagerTest, ObserversAndTheActionBlockMayCallBackIntoTheManager)
{
    // Both are called with the manager's lock let go: reading it from them must not deadlock, and
    // they see the values of the change they are told of.
    std::vector<std::pair<PNActivityIndicatorState, PNActivityIndicatorState>> states;
    auto token = indicator->observe("currentState", NSKeyValueObservingOptionOld | NSKeyValueObservingOptionNew,
        [&](const id&, const dv::KeyValueChange& change) {
            auto old = dv::as<NSNumber>(change.oldValue);
            auto now = dv::as<NSNumber>(change.newValue);
            ASSERT_TRUE(old && now);
            EXPECT_EQ(now->integerValue(), indicator->currentState());
            states.emplace_back(PNActivityIndicatorState(old->integerValue()), PNActivityIndicatorState(now->integerValue()));
        });
    std::vector<std::pair<bool, NSInteger>> calls;
    indicator->setNetworkingActivityActionWithBlock([&](bool visible) {
        EXPECT_EQ(indicator->isNetworkActivityIndicatorVisible(), visible);
        calls.emplace_back(visible, indicator->activityCount());
    });
    indicator->incrementActivityCount();
    settle();
    clock->advance(1.0);
    indicator->decrementActivityCount();
    settle();
    clock->advance(0.17);
    EXPECT_EQ(calls, (std::vector<std::pair<bool, NSInteger>> { { true, 1 }, { false, 0 } }));
    EXPECT_EQ(states, (std::vector<std::pair<PNActivityIndicatorState, PNActivityIndicatorState>> {
                          { PNActivityIndicatorStateNotActive, PNActivityIndicatorStateDelayingStart },
                          { PNActivityIndicatorStateDelayingStart, PNActivityIndicatorStateActive },
                          { PNActivityIndicatorStateActive, PNActivityIndicatorStateDelayingEnd },
                          { PNActivityIndicatorStateDelayingEnd, PNActivityIndicatorStateNotActive } }));
    indicator->removeObservation(token);
}

TEST_F(NetworkActivityIndicatorManagerTest, DisablingHidesAtOnceAndStopsTheTimers)
{
    indicator->setNetworkingActivityActionWithBlock({});
    indicator->incrementActivityCount();
    settle();
    clock->advance(1.0);
    EXPECT_TRUE(UIApplication::sharedApplication()->isNetworkActivityIndicatorVisible());
    indicator->setEnabled(false);
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateNotActive);
    EXPECT_FALSE(UIApplication::sharedApplication()->isNetworkActivityIndicatorVisible());
    EXPECT_FALSE(indicator->activationDelayTimer()->isValid());

    // While disabled it counts but stays inactive.
    indicator->incrementActivityCount();
    settle();
    clock->advance(2.0);
    EXPECT_EQ(indicator->currentState(), PNActivityIndicatorStateNotActive);
    EXPECT_EQ(indicator->activityCount(), 2);
}

TEST_F(NetworkActivityIndicatorManagerTest, FollowsTheTasksOfSessionManagers)
{
    server.route("/slow", ScriptedReply { .body = "{}", .contentType = "application/json", .delay = 300ms });
    auto manager = PNHTTPSessionManager::manager();
    dv::test::Outcome outcome;
    manager->GET(url("/slow"), nil, outcome.success(), outcome.failure());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        return indicator->activityCount() == 1 && indicator->currentState() == PNActivityIndicatorStateDelayingStart;
    }));
    ASSERT_TRUE(outcome.wait());
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(indicator->activityCount(), 0);

    // Notifications without a request change nothing.
    NSNotificationCenter::defaultCenter()->postNotificationName(PNTaskResumeNotificationName, "not a task"_ns);
    auto noURL = manager->session()->dataTaskWithRequest(NSURLRequest::requestWithURL(nil));
    NSNotificationCenter::defaultCenter()->postNotificationName(PNTaskResumeNotificationName, noURL);
    EXPECT_EQ(indicator->activityCount(), 0);
    noURL->cancel();
}

} // namespace
