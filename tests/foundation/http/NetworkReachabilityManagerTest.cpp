#include "HTTPTestSupport.h"

#include "foundation/http/PNNetworkReachabilityManager.h"
#include "platform/base/NSNumber.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <netinet/in.h>

#include <cstring>

namespace {

class NetworkReachabilityManagerTest : public dv::test::HTTPTestFixture {
protected:
    void SetUp() override
    {
        HTTPTestFixture::SetUp();
        m_token = NSNotificationCenter::defaultCenter()->addObserverForName(PNReachabilityChangeNotificationName, nil, nil,
            [this](const Ref<NSNotification>& n) {
                EXPECT_TRUE(dv::isMainThread());
                EXPECT_FALSE(n->object());
                auto status = dv::as<NSNumber>(n->userInfo()->objectForKey(PNReachabilityStatusItemKey));
                notified.push_back(status ? status->integerValue() : -100);
                events.push_back("notification");
            });
    }
    void TearDown() override
    {
        dv::setNetworkReachabilityFlagsOverride(std::nullopt);
        dv::setNetworkSimulatedOffline(false);
        dv::testing::runUntilIdle();
        NSNotificationCenter::defaultCenter()->removeObserver(m_token);
        HTTPTestFixture::TearDown();
    }

    Ref<PNNetworkReachabilityManager> monitored()
    {
        auto manager = PNNetworkReachabilityManager::manager();
        manager->setReachabilityStatusChangeBlock([this, weak = Weak<PNNetworkReachabilityManager>(manager)](PNReachabilityStatus status) {
            auto strong = weak.lock();
            EXPECT_EQ(strong ? static_cast<NSInteger>(strong->networkReachabilityStatus()) : NSInteger(-100), static_cast<NSInteger>(status)); // stored before the block runs
            blockStatuses.push_back(status);
            events.push_back("block");
        });
        return manager;
    }

    bool waitForReports(std::size_t count)
    {
        return dv::testing::runMainLoopUntil([&] { return notified.size() >= count; });
    }

    std::vector<NSInteger> notified;
    std::vector<NSInteger> blockStatuses;
    std::vector<std::string> events;

private:
    id m_token;
};

TEST(ReachabilityStatusTest, FlagsMapToStatuses)
{
    EXPECT_EQ(PNStatusFromReachabilityFlags(2), PNReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(PNStatusFromReachabilityFlags(2 | 0x40000), PNReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(PNStatusFromReachabilityFlags(0), PNReachabilityStatusNotReachable);
    EXPECT_EQ(PNStatusFromReachabilityFlags(0x40000), PNReachabilityStatusNotReachable);
    EXPECT_EQ(PNStatusFromReachabilityFlags(2 | 4), PNReachabilityStatusNotReachable);
    EXPECT_EQ(PNStatusFromReachabilityFlags(2 | 4 | 8), PNReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(PNStatusFromReachabilityFlags(2 | 4 | 32), PNReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(PNStatusFromReachabilityFlags(2 | 4 | 32 | 16), PNReachabilityStatusNotReachable);
    EXPECT_EQ(PNStatusFromReachabilityFlags(2 | 4 | 8 | 0x40000), PNReachabilityStatusReachableViaWWAN);
}

TEST(ReachabilityStatusTest, UnknownUntilTheFirstReportWithItsTexts)
{
    auto manager = PNNetworkReachabilityManager::manager();
    EXPECT_EQ(manager->networkReachabilityStatus(), PNReachabilityStatusUnknown);
    EXPECT_FALSE(manager->isReachable());
    EXPECT_EQ(dv::str(manager->localizedNetworkReachabilityStatusString()), "Unknown");
    EXPECT_EQ(dv::str(PNReachabilityStatusString(7)), "Unknown");
    EXPECT_EQ(dv::str(PNReachabilityStatusString(0)), "Not Reachable");
    EXPECT_EQ(dv::str(PNReachabilityStatusString(1)), "Reachable via WWAN");
    EXPECT_EQ(dv::str(PNReachabilityStatusString(2)), "Reachable via WiFi");
    EXPECT_FALSE(alloc<PNNetworkReachabilityManager>()->init());
    EXPECT_EQ(PNNetworkReachabilityManager::sharedManager(), PNNetworkReachabilityManager::sharedManager());
    EXPECT_EQ(manager->keyPathsForValuesAffectingValueForKey("reachableViaWiFi"), std::vector<std::string> { "networkReachabilityStatus" });
}

TEST_F(NetworkReachabilityManagerTest, ReportsStoreTheStatusCallTheBlockThenNotify)
{
    dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
    auto manager = monitored();
    manager->startMonitoring();
    ASSERT_TRUE(waitForReports(1));
    EXPECT_EQ(manager->networkReachabilityStatus(), PNReachabilityStatusReachableViaWWAN);
    EXPECT_TRUE(manager->isReachableViaWWAN());
    EXPECT_TRUE(manager->isReachable());

    dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable);
    ASSERT_TRUE(waitForReports(2));
    EXPECT_TRUE(manager->isReachableViaWiFi());

    dv::setNetworkSimulatedOffline(true);
    ASSERT_TRUE(waitForReports(3));
    EXPECT_FALSE(manager->isReachable());
    EXPECT_EQ(notified, (std::vector<NSInteger> { 1, 2, 0 }));
    EXPECT_EQ(blockStatuses, notified);
    EXPECT_EQ(events, (std::vector<std::string> { "block", "notification", "block", "notification", "block", "notification" }));
}

TEST_F(NetworkReachabilityManagerTest, StoppedOrFreedManagersReportNothingMore)
{
    dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable);
    auto manager = monitored();
    manager->startMonitoring();
    manager->startMonitoring(); // one schedule, one more first report
    ASSERT_TRUE(waitForReports(2));
    dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
    ASSERT_TRUE(waitForReports(3));
    dv::testing::runUntilIdle();
    EXPECT_EQ(notified.size(), 3u);

    manager->stopMonitoring();
    dv::setNetworkReachabilityFlagsOverride(0);
    dv::testing::runUntilIdle();
    EXPECT_EQ(notified.size(), 3u);
    EXPECT_EQ(manager->networkReachabilityStatus(), PNReachabilityStatusReachableViaWWAN); // the last one is kept

    Weak<PNNetworkReachabilityManager> weak = manager;
    manager->startMonitoring();
    manager = nil;
    EXPECT_TRUE(weak.expired());
    dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable);
    dv::testing::runUntilIdle();
    EXPECT_LE(notified.size(), 4u); // at most the first report of the last start, already on its way
    EXPECT_EQ(blockStatuses.size(), 3u);
}

TEST_F(NetworkReachabilityManagerTest, ManagerWithoutReferenceNeverReports)
{
    auto manager = alloc<PNNetworkReachabilityManager>()->initWithReachability(nil);
    manager->startMonitoring();
    manager->stopMonitoring();
    dv::testing::runUntilIdle();
    EXPECT_TRUE(notified.empty());
    EXPECT_EQ(manager->networkReachabilityStatus(), PNReachabilityStatusUnknown);
}

} // namespace
