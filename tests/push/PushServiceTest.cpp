// The push service's public interface as the application uses it: the registration it asks of
// the system, the values it keeps, and the message ids it notes from received payloads.
#include "push/Lib/Controller/PushService.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/system/UIDevice.h"
#include "platform/ui/UIApplication.h"

#include <gtest/gtest.h>

namespace {

class PushServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PushService::reset();
        UIApplication::resetSharedApplication();
    }
    void TearDown() override
    {
        PushService::reset();
        UIApplication::resetSharedApplication();
        UIDevice::currentDevice()->reset();
    }
};

TEST_F(PushServiceTest, RegistrationAsksTheSystemForTheTypes)
{
    UIDevice::currentDevice()->setSystemVersion("9.3"_ns);
    PushService::registerForRemoteNotificationTypes(7, nil);
    auto app = UIApplication::sharedApplication();
    ASSERT_TRUE(app->currentUserNotificationSettings());
    EXPECT_EQ(app->currentUserNotificationSettings()->types(), 7u);
    EXPECT_TRUE(app->isRegisteredForRemoteNotifications());

    UIApplication::resetSharedApplication();
    UIDevice::currentDevice()->setSystemVersion("7.1"_ns);
    PushService::registerForRemoteNotificationTypes(3, nil);
    app = UIApplication::sharedApplication();
    EXPECT_TRUE(app->isRegisteredForRemoteNotifications());
    EXPECT_EQ(app->currentUserNotificationSettings()->types(), 3u);
}

TEST_F(PushServiceTest, KeepsItsSetUpAliasTagsAndToken)
{
    EXPECT_FALSE(PushService::isSetUp());
    auto options = NSDictionary::of({ { "k"_ns, "v"_ns } });
    PushService::setupWithOption(options, "7e41c0d93a5b8f26e1d47c08"_ns, "Publish channel"_ns, true);
    EXPECT_TRUE(PushService::isSetUp());
    EXPECT_EQ(dv::str(PushService::appKey()), "7e41c0d93a5b8f26e1d47c08");
    EXPECT_EQ(dv::str(PushService::channel()), "Publish channel");
    EXPECT_TRUE(PushService::apsForProduction());
    EXPECT_EQ(PushService::launchOptions(), options);

    PushService::setTags(NSSet::setWithArray(NSArray::of({ "a"_ns })), "alias-1"_ns, SEL(), nil);
    PushService::setTags(nil, "alias-2"_ns, SEL(), nil);
    EXPECT_EQ(dv::str(PushService::alias()), "alias-2");
    ASSERT_TRUE(PushService::tags());
    EXPECT_EQ(PushService::tags()->count(), 1u); // nil tags leave them as they were

    auto token = NSData::dataWithBytes("\x01\x02\x03", 3);
    PushService::registerDeviceToken(token);
    EXPECT_TRUE(dv::equal(PushService::deviceToken(), token));

    // A key of another shape is kept as given (and reported).
    PushService::setupWithOption(nil, "NOT-A-KEY"_ns, "c"_ns, false);
    EXPECT_EQ(dv::str(PushService::appKey()), "NOT-A-KEY");
    EXPECT_FALSE(PushService::apsForProduction());
}

TEST_F(PushServiceTest, NotesTheMessageIdsOfReceivedPayloadsWithoutChangingThem)
{
    auto payload = NSDictionary::of({ { "_j_msgid"_ns, NSNumber::numberWithLongLong(20160501) }, { "_j_flag"_ns, NSNumber::numberWithInt(1) },
        { "aps"_ns, NSDictionary::of({ { "alert"_ns, "hello"_ns } }) } });
    auto before = dv::as<NSDictionary>(payload->copy());
    PushService::handleRemoteNotification(payload);
    PushService::handleRemoteNotification(NSDictionary::of({ { "_j_msgid"_ns, "abc"_ns } }));
    // No id, an empty one, an id of no usable type, no payload: nothing noted.
    PushService::handleRemoteNotification(NSDictionary::of({ { "aps"_ns, NSDictionary::dictionary() } }));
    PushService::handleRemoteNotification(NSDictionary::of({ { "_j_msgid"_ns, ""_ns } }));
    PushService::handleRemoteNotification(NSDictionary::of({ { "_j_msgid"_ns, NSArray::of({ "x"_ns }) } }));
    PushService::handleRemoteNotification(nil);

    auto ids = PushService::receivedMessageIds();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(dv::str(ids[0]), "20160501");
    EXPECT_EQ(dv::str(ids[1]), "abc");
    EXPECT_TRUE(payload->isEqual(before));
}

} // namespace
