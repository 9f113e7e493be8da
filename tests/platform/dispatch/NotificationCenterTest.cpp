#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <atomic>

class NotificationProbe : public NSObject {
    DV_CLASS(NotificationProbe, NSObject)

    NotificationProbe() = default;
    void received(const Ref<NSNotification>& notification) { names.push_back(notification->name()->utf8()); }
    std::vector<std::string> names;
    std::vector<std::string> viaSelector;
};

DV_DEFINE_CLASS_WITH(NotificationProbe, b)
{
    b.method("handle:", "v24@0:8@16", [](NotificationProbe& self, std::span<const id> args) -> id {
        auto notification = dv::as<NSNotification>(args.empty() ? nil : args[0]);
        self.viaSelector.push_back(notification ? notification->name()->utf8() : "?");
        return nil;
    });
}

namespace {

using dv::testing::runMainLoopUntil;

class NotificationCenterTest : public ::testing::Test {
protected:
    Ref<NSNotificationCenter> center = alloc<NSNotificationCenter>();
    Ref<NotificationProbe> probe = alloc<NotificationProbe>();
    Ref<NSString> ping = NSString::fromUTF8("Ping");
    Ref<NSString> pong = NSString::fromUTF8("Pong");
};

TEST_F(NotificationCenterTest, ObserversAreFilteredByNameAndSender)
{
    auto sender = alloc<NSObject>();
    auto stranger = alloc<NSObject>();
    auto anyName = alloc<NotificationProbe>();
    center->addObserver(probe, &NotificationProbe::received, ping, sender);
    center->addObserver(anyName, &NotificationProbe::received, nil, nil);
    center->postNotificationName(ping, stranger);
    center->postNotificationName(pong, sender);
    center->postNotificationName(ping, sender);
    EXPECT_EQ(probe->names, (std::vector<std::string> {"Ping"}));
    EXPECT_EQ(anyName->names, (std::vector<std::string> {"Ping", "Pong", "Ping"}));
}

TEST_F(NotificationCenterTest, SelectorObserversReceiveTheNotification)
{
    center->addObserver(probe, SEL("handle:"), ping, nil);
    auto info = NSDictionary::of({{NSString::fromUTF8("k"), NSString::fromUTF8("v")}});
    Ref<NSNotification> seen;
    auto token = center->addObserverForName(ping, nil, nil, [&](const Ref<NSNotification>& n) { seen = n; });
    center->postNotificationName(ping, nil, info);
    EXPECT_EQ(probe->viaSelector, (std::vector<std::string> {"Ping"}));
    ASSERT_TRUE(seen);
    EXPECT_EQ(dv::str(seen->userInfo()->objectForKey("k")), "v");
    center->removeObserver(token);
}

TEST_F(NotificationCenterTest, RemovalByObserverNameAndSender)
{
    auto sender = alloc<NSObject>();
    center->addObserver(probe, &NotificationProbe::received, ping, nil);
    center->addObserver(probe, &NotificationProbe::received, pong, sender);
    center->removeObserver(probe, pong, sender);
    center->postNotificationName(pong, sender);
    center->postNotificationName(ping, nil);
    EXPECT_EQ(probe->names, (std::vector<std::string> {"Ping"}));
    center->removeObserver(probe);
    center->postNotificationName(ping, nil);
    EXPECT_EQ(probe->names.size(), 1u);
    EXPECT_EQ(center->observerCount(), 0u);
}

TEST_F(NotificationCenterTest, DestroyedObserverIsNeverCalled)
{
    auto doomed = alloc<NotificationProbe>();
    Weak<NotificationProbe> weak = doomed;
    center->addObserver(doomed, &NotificationProbe::received, ping, nil);
    center->addObserver(doomed, SEL("handle:"), ping, nil);
    doomed = nil;
    EXPECT_TRUE(weak.expired()); // the centre does not keep it
    center->postNotificationName(ping, nil); // must not touch the dead observer
    EXPECT_EQ(center->observerCount(), 0u);
}

TEST_F(NotificationCenterTest, FilterOnASenderThatIsGoneMatchesNothing)
{
    auto sender = alloc<NSObject>();
    center->addObserver(probe, &NotificationProbe::received, ping, sender);
    sender = nil;
    center->postNotificationName(ping, alloc<NSObject>());
    EXPECT_TRUE(probe->names.empty());
}

TEST_F(NotificationCenterTest, BlockObserverTokenRemovesIt)
{
    int calls = 0;
    auto token = center->addObserverForName(ping, nil, nil, [&](const Ref<NSNotification>&) { ++calls; });
    center->postNotificationName(ping, nil);
    center->removeObserver(token);
    center->postNotificationName(ping, nil);
    EXPECT_EQ(calls, 1);
}

TEST_F(NotificationCenterTest, ObserverRemovedDuringDeliveryIsNotCalled)
{
    auto later = alloc<NotificationProbe>();
    auto token = center->addObserverForName(ping, nil, nil, [&](const Ref<NSNotification>&) { center->removeObserver(later); });
    center->addObserver(later, &NotificationProbe::received, ping, nil);
    center->postNotificationName(ping, nil);
    EXPECT_TRUE(later->names.empty());
    center->removeObserver(token);
}

TEST_F(NotificationCenterTest, DeliveryIsSynchronousOnThePostingThread)
{
    std::atomic<bool> sameThread = false;
    std::atomic<bool> delivered = false;
    auto token = center->addObserverForName(ping, nil, nil, [&](const Ref<NSNotification>&) {
        sameThread = !dv::isMainThread();
        delivered = true;
    });
    std::atomic<bool> postReturnedAfterDelivery = false;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        center->postNotificationName(ping, nil);
        postReturnedAfterDelivery = delivered.load();
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return postReturnedAfterDelivery.load(); }));
    EXPECT_TRUE(sameThread);
    center->removeObserver(token);
}

TEST_F(NotificationCenterTest, BlockObserverOnTheMainQueueRunsOnTheMainThread)
{
    std::atomic<bool> onMain = false;
    std::atomic<bool> posted = false;
    auto token = center->addObserverForName(ping, nil, NSOperationQueue::mainQueue(), [&](const Ref<NSNotification>&) { onMain = dv::isMainThread(); });
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        center->postNotificationName(ping, nil);
        posted = true;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return posted.load(); }));
    EXPECT_TRUE(onMain);
    // Posted on the main thread: delivered at once.
    onMain = false;
    center->postNotificationName(ping, nil);
    EXPECT_TRUE(onMain);
    center->removeObserver(token);
}

} // namespace
