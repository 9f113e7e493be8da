#include "platform/base/Base.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/NSUbiquitousKeyValueStore.h"

#include <gtest/gtest.h>

namespace {

class CloudStoreTest : public ::testing::Test {
protected:
    void TearDown() override { NSUbiquitousKeyValueStore::uninstallFake(); }
};

TEST_F(CloudStoreTest, AbsentUnlessTheFakeIsInstalled)
{
    EXPECT_EQ(NSUbiquitousKeyValueStore::defaultStore(), nil);
    NSUbiquitousKeyValueStore::installFake();
    auto store = NSUbiquitousKeyValueStore::defaultStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(NSUbiquitousKeyValueStore::defaultStore(), store);
    store->setString("abc"_ns, "di_uuidForDevice_abc"_ns);
    store->setBool(true, "toggle"_ns);
    EXPECT_TRUE(dv::equal(store->stringForKey("di_uuidForDevice_abc"_ns), "abc"_ns));
    EXPECT_TRUE(store->boolForKey("toggle"_ns));
    EXPECT_FALSE(store->boolForKey("absent"_ns));
    EXPECT_EQ(store->dictionaryRepresentation()->count(), 2u);
    EXPECT_TRUE(store->synchronize());
    EXPECT_EQ(store->synchronizeCount(), 1);
    store->setString(nil, "toggle"_ns);
    EXPECT_EQ(store->objectForKey("toggle"_ns), nil);
}

TEST_F(CloudStoreTest, ExternalChangeAppliesValuesThenNotifies)
{
    NSUbiquitousKeyValueStore::installFake();
    auto store = NSUbiquitousKeyValueStore::defaultStore();
    store->setString("old"_ns, "gone"_ns);
    Ref<NSNotification> received;
    Ref<NSString> seenValue;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(NSUbiquitousKeyValueStoreDidChangeExternallyNotification, nil, nil,
        [&](const Ref<NSNotification>& n) {
            received = n;
            seenValue = store->stringForKey("di_uuidForDevice_x"_ns);
            store->setBool(!store->boolForKey("toggle"_ns), "toggle"_ns); // observers may write back
        });
    store->simulateExternalChange(NSDictionary::of({ { "di_uuidForDevice_x"_ns, "x"_ns }, { "gone"_ns, NSNull::null() } }));
    NSNotificationCenter::defaultCenter()->removeObserver(token);

    ASSERT_TRUE(received);
    EXPECT_EQ(received->object(), store);
    EXPECT_TRUE(dv::equal(seenValue, "x"_ns));
    EXPECT_EQ(store->objectForKey("gone"_ns), nil);
    EXPECT_TRUE(store->boolForKey("toggle"_ns));
    auto keys = dv::as<NSArray>(received->userInfo()->objectForKey(NSUbiquitousKeyValueStoreChangedKeysKey));
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->count(), 2u);
    EXPECT_EQ(dv::as<NSNumber>(received->userInfo()->objectForKey(NSUbiquitousKeyValueStoreChangeReasonKey))->integerValue(),
              NSUbiquitousKeyValueStoreServerChange);
}

} // namespace
