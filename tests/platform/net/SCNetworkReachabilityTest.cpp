#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSThread.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

struct Observed {
    std::vector<SCNetworkReachabilityFlags> flags;
    bool offMainThread = false;
    int retains = 0;
    int releases = 0;
};

void callback(const Ref<SCNetworkReachability>&, SCNetworkReachabilityFlags flags, void* info)
{
    auto* observed = static_cast<Observed*>(info);
    if (!NSThread::isMainThread())
        observed->offMainThread = true;
    observed->flags.push_back(flags);
}

const void* retainInfo(const void* info)
{
    ++static_cast<Observed*>(const_cast<void*>(info))->retains;
    return info;
}

void releaseInfo(const void* info)
{
    ++static_cast<Observed*>(const_cast<void*>(info))->releases;
}

Ref<SCNetworkReachability> anyAddress()
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    return SCNetworkReachabilityCreateWithAddress(nil, reinterpret_cast<sockaddr*>(&address));
}

class SCNetworkReachabilityTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        dv::setNetworkSimulatedOffline(false);
        dv::setNetworkReachabilityFlagsOverride(std::nullopt);
    }
};

TEST_F(SCNetworkReachabilityTest, LoopbackIsReachableAndLocal)
{
    SCNetworkReachabilityFlags flags = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(SCNetworkReachabilityCreateWithName(nil, "localhost"), &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsReachable);
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsIsLocalAddress);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(SCNetworkReachabilityCreateWithAddress(nil, reinterpret_cast<sockaddr*>(&address)), &flags));
    EXPECT_TRUE(flags & kSCNetworkReachabilityFlagsReachable);
    EXPECT_FALSE(flags & kSCNetworkReachabilityFlagsIsWWAN);
    EXPECT_FALSE(SCNetworkReachabilityCreateWithName(nil, nullptr));
    EXPECT_FALSE(SCNetworkReachabilityGetFlags(nil, &flags));
}

TEST_F(SCNetworkReachabilityTest, OfflineSwitchClearsEveryFlag)
{
    dv::setNetworkSimulatedOffline(true);
    SCNetworkReachabilityFlags flags = 99;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(SCNetworkReachabilityCreateWithName(nil, "127.0.0.1"), &flags));
    EXPECT_EQ(flags, 0u);
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(anyAddress(), &flags));
    EXPECT_EQ(flags, 0u);
}

TEST_F(SCNetworkReachabilityTest, ScheduledReferenceHearsChangesOnTheMainLoop)
{
    dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable);
    Observed observed;
    {
        auto target = anyAddress();
        SCNetworkReachabilityContext context { 0, &observed, retainInfo, releaseInfo, nullptr };
        ASSERT_TRUE(SCNetworkReachabilitySetCallback(target, callback, &context));
        EXPECT_EQ(observed.retains, 1);
        ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes));

        // From another thread, as a monitor would.
        std::thread([] { dv::setNetworkReachabilityFlagsOverride(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN); }).join();
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return observed.flags.size() == 1; }, 5));
        EXPECT_EQ(observed.flags[0], kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);

        dv::setNetworkSimulatedOffline(true);
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return observed.flags.size() == 2; }, 5));
        EXPECT_EQ(observed.flags[1], 0u);
        // Nothing changed, nothing reported.
        dv::setNetworkSimulatedOffline(true);
        dv::testing::runMainLoopUntil([] { return false; }, 0.05);
        EXPECT_EQ(observed.flags.size(), 2u);

        ASSERT_TRUE(SCNetworkReachabilityUnscheduleFromRunLoop(target, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes));
        dv::setNetworkSimulatedOffline(false);
        dv::testing::runMainLoopUntil([] { return false; }, 0.05);
        EXPECT_EQ(observed.flags.size(), 2u);
        EXPECT_FALSE(observed.offMainThread);
        EXPECT_EQ(observed.releases, 0);
    }
    // The reference lets its context go when it dies.
    EXPECT_EQ(observed.releases, 1);
}

} // namespace
