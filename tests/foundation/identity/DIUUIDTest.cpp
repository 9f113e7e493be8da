#include "IdentityTestSupport.h"

#include "foundation/identity/UIDeviceDIUUID.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSException.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"


#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>
#include <vector>

using dv::test::IdentityTest;

namespace {

bool isIdentifierForm(const Ref<NSString>& value)
{
    static const std::regex form("^[0-9a-f]{32}$");
    return value && std::regex_match(value->utf8(), form);
}

class DIUUIDTest : public IdentityTest {
protected:
    static Ref<NSString> keychainValue(const char* key) { return KeychainStore::keyChainStore()->stringForKey(NSString::fromUTF8(key)); }
    static Ref<NSString> defaultsValue(const char* key)
    {
        return NSUserDefaults::standardUserDefaults()->stringForKey(NSString::fromUTF8(key));
    }
};

TEST_F(DIUUIDTest, UuidIsThirtyTwoLowerCaseHexDigitsAndNewOnEveryCall)
{
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        auto value = DIUUID::uuid();
        ASSERT_TRUE(isIdentifierForm(value)) << dv::str(value);
        seen.insert(value->utf8());
    }
    EXPECT_EQ(seen.size(), 50u);
    EXPECT_FALSE(keychainValue("di_uuidForKey"));
}

TEST_F(DIUUIDTest, FirstDeviceIdentifierIsKeptInTheKeychainAndTheDefaults)
{
    auto device = DIUUID::uuidForDevice();
    ASSERT_TRUE(isIdentifierForm(device));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    EXPECT_TRUE(dv::equal(keychainValue("di_uuidForDevice"), device));
    EXPECT_TRUE(dv::equal(defaultsValue("di_uuidForDevice"), device));
    EXPECT_TRUE(dv::equal(uuid(UIDevice::currentDevice()), device));
    EXPECT_FALSE(uuid(nil));

    // The item is a plain, local generic password of the default service.
    auto item = dv::as<NSDictionary>(KeychainStore::keyChainStore()->allItems()->firstObject());
    ASSERT_TRUE(item);
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey("service"_ns))), "com.velmarquest.dovrelta");
    EXPECT_TRUE(dv::equal(item->objectForKey("accessibility"_ns), kSecAttrAccessibleAfterFirstUnlock));
}

TEST_F(DIUUIDTest, DeviceIdentifierOutlivesRelaunchAndReinstall)
{
    auto device = DIUUID::uuidForDevice();
    auto installation = DIUUID::uuidForInstallation();
    auto session = DIUUID::uuidForSession();

    relaunch();
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForInstallation(), installation));
    EXPECT_FALSE(dv::equal(DIUUID::uuidForSession(), session));

    reinstall();
    ASSERT_FALSE(std::filesystem::exists(std::filesystem::path(home()) / "app"));
    EXPECT_FALSE(defaultsValue("di_uuidForDevice"));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    // The fresh defaults got the keychain copy back.
    EXPECT_TRUE(dv::equal(defaultsValue("di_uuidForDevice"), device));
    relaunch();
    EXPECT_TRUE(dv::equal(defaultsValue("di_uuidForDevice"), device));
}

TEST_F(DIUUIDTest, EachStoreIsRestoredFromTheOther)
{
    auto device = DIUUID::uuidForDevice();

    NSUserDefaults::standardUserDefaults()->removeObjectForKey("di_uuidForDevice"_ns);
    relaunch();
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    EXPECT_TRUE(dv::equal(defaultsValue("di_uuidForDevice"), device));

    ASSERT_TRUE(KeychainStore::keyChainStore()->removeItemForKey("di_uuidForDevice"_ns));
    relaunch();
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    EXPECT_TRUE(dv::equal(keychainValue("di_uuidForDevice"), device));

    // A lost device folder (new keychain) is restored from the defaults as well.
    relaunch();
    std::filesystem::remove_all(std::filesystem::path(home()) / "device");
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    EXPECT_TRUE(dv::equal(keychainValue("di_uuidForDevice"), device));
}

TEST_F(DIUUIDTest, DamagedKeychainFallsBackToTheDefaultsCopy)
{
    auto device = DIUUID::uuidForDevice();
    relaunch();
    {
        std::ofstream damaged(dv::KeychainSettings::databasePath(), std::ios::trunc | std::ios::binary);
        damaged << "this is not a database";
    }
    dv::LogCapture log;
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices()->firstObject(), device));
}

TEST_F(DIUUIDTest, KeychainValueWinsOverADifferentDefaultsValue)
{
    ASSERT_TRUE(KeychainStore::keyChainStore()->setString("0123456789abcdef0123456789abcdef"_ns, "di_uuidForDevice"_ns));
    NSUserDefaults::standardUserDefaults()->setObjectForKey("ffffffffffffffffffffffffffffffff"_ns, "di_uuidForDevice"_ns);
    EXPECT_EQ(dv::str(DIUUID::uuidForDevice()), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(dv::str(defaultsValue("di_uuidForDevice")), "0123456789abcdef0123456789abcdef");
}

TEST_F(DIUUIDTest, IdentifiersInMemoryLastForTheProcess)
{
    auto a = DIUUID::uuidForKey("a"_ns);
    EXPECT_TRUE(isIdentifierForm(a));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForKey("a"_ns), a));
    EXPECT_FALSE(dv::equal(DIUUID::uuidForKey("b"_ns), a));
    EXPECT_FALSE(DIUUID::uuidForKey(nil));
    auto session = DIUUID::uuidForSession();
    EXPECT_TRUE(dv::equal(DIUUID::uuidForSession(), session));
    EXPECT_FALSE(dv::equal(session, a));

    relaunch();
    EXPECT_FALSE(dv::equal(DIUUID::uuidForKey("a"_ns), a));
}

TEST_F(DIUUIDTest, VendorIdentifierIsThePlatformsInIdentifierForm)
{
    auto vendor = UIDevice::currentDevice()->identifierForVendor();
    ASSERT_TRUE(vendor);
    auto expected = vendor->UUIDString()->lowercaseString()->stringByReplacingOccurrencesOfString("-"_ns, ""_ns);
    EXPECT_TRUE(dv::equal(DIUUID::uuidForVendor(), expected));
    EXPECT_TRUE(isIdentifierForm(DIUUID::uuidForVendor()));
}

TEST_F(DIUUIDTest, ValidityAcceptsBothFormsInAnyCaseOnly)
{
    EXPECT_TRUE(DIUUID::uuidValueIsValid("0123456789abcdef0123456789abcdef"_ns));
    EXPECT_TRUE(DIUUID::uuidValueIsValid("0123456789ABCDEF0123456789ABCDEF"_ns));
    EXPECT_TRUE(DIUUID::uuidValueIsValid("0123456789AbCdEf0123456789aBcDeF"_ns));
    EXPECT_TRUE(DIUUID::uuidValueIsValid("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_ns));
    EXPECT_TRUE(DIUUID::uuidValueIsValid("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid("0123456789abcdef0123456789abcde"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid("0123456789abcdef0123456789abcdef0"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid("x0123456789abcdef0123456789abcdef"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid("0123456789abcdef0123456789abcdefx"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid("0123456789abcdef0123456789abcdeg"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid("E621E1F8-C36C-495A-93FC-0C247A3E6E5"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid("E621E1F8C-36C-495A-93FC-0C247A3E6E5F"_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid(""_ns));
    EXPECT_FALSE(DIUUID::uuidValueIsValid(nil));
}

TEST_F(DIUUIDTest, WithoutACloudStoreTheDeviceListHoldsTheDeviceAlone)
{
    auto device = DIUUID::uuidForDevice();
    EXPECT_FALSE(DIUUID::sharedInstance()->uuidsOfUserDevicesICloudAvailable());
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), NSArray::of({ device })));
    EXPECT_EQ(DIUUID::uuidsOfUserDevicesExcludingCurrentDevice()->count(), 0u);
    EXPECT_TRUE(dv::equal(keychainValue("di_uuidsOfUserDevices"), device));
    EXPECT_TRUE(dv::equal(defaultsValue("di_uuidsOfUserDevices"), device));

    // The list's keychain copy travels with the user's cloud keychain.
    auto items = KeychainStore::keyChainStore()->allItems();
    bool found = false;
    for (const id& element : items->items()) {
        auto item = dv::as<NSDictionary>(element);
        if (dv::equal(item->objectForKey("key"_ns), "di_uuidsOfUserDevices"_ns)) {
            found = true;
            EXPECT_TRUE(dv::as<NSNumber>(item->objectForKey("synchronizable"_ns))->boolValue());
        } else {
            EXPECT_FALSE(dv::as<NSNumber>(item->objectForKey("synchronizable"_ns))->boolValue());
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(DIUUIDTest, CommittedMigrationReplacesTheDeviceIdentifierAndTheList)
{
    auto former = DIUUID::uuidForDevice();
    auto old = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_ns;

    EXPECT_TRUE(dv::equal(DIUUID::uuidForDeviceMigratingValue(old, false), former));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), former));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), NSArray::of({ former })));

    EXPECT_TRUE(dv::equal(DIUUID::uuidForDeviceMigratingValue(old, true), old));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), old));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), NSArray::of({ old })));
    EXPECT_TRUE(dv::equal(keychainValue("di_uuidForDevice"), old));
    EXPECT_TRUE(dv::equal(defaultsValue("di_uuidForDevice"), old));

    relaunch();
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), old));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), NSArray::of({ old })));
}

TEST_F(DIUUIDTest, InvalidMigrationValueRaisesAndChangesNothing)
{
    auto device = DIUUID::uuidForDevice();
    try {
        DIUUID::uuidForDeviceMigratingValue("not an identifier"_ns, true);
        ADD_FAILURE() << "no exception";
    } catch (const dv::RaisedException& raised) {
        EXPECT_EQ(dv::str(raised.exception()->name()), "Invalid uuid to migrate");
        EXPECT_EQ(dv::str(raised.exception()->reason()), "uuid value should be a string of 32 or 36 characters.");
    }
    EXPECT_THROW(DIUUID::uuidForDeviceMigratingValue(nil, true), dv::RaisedException);
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
    EXPECT_TRUE(dv::equal(keychainValue("di_uuidForDevice"), device));
}

TEST_F(DIUUIDTest, MigrationFromAKeyWithNothingStoredKeepsTheCurrentIdentifier)
{
    auto device = DIUUID::uuidForDevice();
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDeviceMigratingValueForKey("old_udid"_ns, true), device));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDeviceMigratingValueForKey("old_udid"_ns, "com.example.old"_ns, true), device));
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));

    // A stored value that is not an identifier is still refused loudly.
    NSUserDefaults::standardUserDefaults()->setObjectForKey("garbage"_ns, "old_udid"_ns);
    EXPECT_THROW(DIUUID::uuidForDeviceMigratingValueForKey("old_udid"_ns, true), dv::RaisedException);
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDevice(), device));
}

TEST_F(DIUUIDTest, MigrationFromAKeyReadsTheKeychainOfTheGivenServiceFirst)
{
    auto former = DIUUID::uuidForDevice();
    auto fromKeychain = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"_ns;
    NSUserDefaults::standardUserDefaults()->setObjectForKey("bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"_ns, "old_udid"_ns);
    ASSERT_TRUE(KeychainStore::keyChainStoreWithService("com.example.old"_ns)->setString(fromKeychain, "old_udid"_ns));

    EXPECT_TRUE(dv::equal(DIUUID::uuidForDeviceMigratingValueForKey("old_udid"_ns, "com.example.old"_ns, nil, true), fromKeychain));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), NSArray::of({ fromKeychain })));
    EXPECT_FALSE(DIUUID::uuidsOfUserDevices()->containsObject(former));

    // Under the default service only the defaults hold the key.
    EXPECT_EQ(dv::str(DIUUID::uuidForDeviceMigratingValueForKey("old_udid"_ns, true)), "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
}

TEST_F(DIUUIDTest, ThreadsRacingOnAFreshDeviceAgreeOnOneIdentifier)
{
    constexpr int threads = 8;
    std::vector<std::string> seen(threads);
    std::atomic<int> ready { 0 };
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            ++ready;
            while (ready.load() < threads) { }
            seen[static_cast<std::size_t>(i)] = dv::str(i % 2 ? DIUUID::uuidForDevice() : DIUUID::uuidsOfUserDevices()->firstObject()->description());
        });
    }
    for (auto& t : pool)
        t.join();
    auto stored = dv::str(keychainValue("di_uuidForDevice"));
    for (const auto& value : seen)
        EXPECT_EQ(value, stored);
    EXPECT_EQ(dv::str(defaultsValue("di_uuidForDevice")), stored);
}

} // namespace

namespace {

class DIUUIDCloudTest : public DIUUIDTest {
protected:
    void SetUp() override
    {
        DIUUIDTest::SetUp();
        NSUbiquitousKeyValueStore::installFake();
        m_token = NSNotificationCenter::defaultCenter()->addObserverForName(
            DIUUIDsOfUserDevicesDidChangeNotification, nil, nil, [this](const Ref<NSNotification>& notification) {
                dv::MutexLocker lock(m_postedLock);
                m_posted.push_back(notification);
            });
    }
    void TearDown() override
    {
        NSNotificationCenter::defaultCenter()->removeObserver(m_token);
        DIUUIDTest::TearDown();
    }

    std::vector<Ref<NSNotification>> posted()
    {
        dv::MutexLocker lock(m_postedLock);
        return m_posted;
    }

    static Ref<NSUbiquitousKeyValueStore> cloud() { return NSUbiquitousKeyValueStore::defaultStore(); }

private:
    id m_token;
    dv::Mutex m_postedLock;
    std::vector<Ref<NSNotification>> m_posted DV_GUARDED_BY(m_postedLock);
};

TEST_F(DIUUIDCloudTest, StartingPublishesTheDeviceListToTheCloudStore)
{
    auto shared = DIUUID::sharedInstance();
    EXPECT_TRUE(shared->uuidsOfUserDevicesICloudAvailable());
    auto device = DIUUID::uuidForDevice();
    auto key = NSString::stringWithFormat("di_uuidForDevice_%@", device);
    EXPECT_TRUE(dv::equal(cloud()->stringForKey(key), device));
    EXPECT_TRUE(cloud()->boolForKey("di_uuidsOfUserDevicesToggle"_ns));
    const NSInteger synced = cloud()->synchronizeCount();
    EXPECT_GE(synced, 1);

    // Every synchronisation flips the toggle, so that it always changes the store.
    shared->uuidsOfUserDevices_iCloudSync();
    EXPECT_FALSE(cloud()->boolForKey("di_uuidsOfUserDevicesToggle"_ns));
    EXPECT_EQ(cloud()->synchronizeCount(), synced + 1);
    EXPECT_TRUE(posted().empty());
}

TEST_F(DIUUIDCloudTest, ExternalChangeAddsAnotherDeviceAndPostsOnce)
{
    auto shared = DIUUID::sharedInstance();
    auto device = DIUUID::uuidForDevice();
    auto other = "0123456789abcdef0123456789abcdef"_ns;

    cloud()->simulateExternalChange(NSDictionary::of({ { NSString::stringWithFormat("di_uuidForDevice_%@", other), other } }));
    auto notifications = posted();
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_TRUE(dv::equal(notifications[0]->object(), shared));
    auto list = dv::as<NSArray>(notifications[0]->userInfo()->objectForKey("uuidsOfUserDevices"_ns));
    EXPECT_TRUE(dv::equal(list, NSArray::of({ device, other })));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), list));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevicesExcludingCurrentDevice(), NSArray::of({ other })));
    EXPECT_EQ(dv::str(keychainValue("di_uuidsOfUserDevices")), device->utf8() + "|" + other->utf8());

    // Entries already known, invalid values, keys that do not name their value: nothing posted.
    cloud()->simulateExternalChange(NSDictionary::of({
        { NSString::stringWithFormat("di_uuidForDevice_%@", other), other },
        { "di_uuidForDevice_bad"_ns, "bad"_ns },
        { "di_uuidForDevice_x"_ns, "fedcba9876543210fedcba9876543210"_ns },
        { "something_else_fedcba9876543210fedcba9876543211"_ns, "fedcba9876543210fedcba9876543211"_ns },
    }));
    EXPECT_EQ(posted().size(), 1u);
    EXPECT_EQ(DIUUID::uuidsOfUserDevices()->count(), 2u);

    // The list persists: a new launch reads it back.
    relaunch();
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), NSArray::of({ device, other })));
}

TEST_F(DIUUIDCloudTest, MigrationMovesTheListToTheAdoptedIdentifier)
{
    auto former = DIUUID::uuidForDevice();
    auto adopted = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"_ns;
    EXPECT_TRUE(dv::equal(DIUUID::uuidForDeviceMigratingValue(adopted, true), adopted));
    EXPECT_TRUE(dv::equal(DIUUID::uuidsOfUserDevices(), NSArray::of({ adopted })));
    EXPECT_TRUE(dv::equal(cloud()->stringForKey("di_uuidForDevice_aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"_ns), adopted));
    // Identifiers are only ever added to the cloud store, never removed.
    EXPECT_TRUE(dv::equal(cloud()->stringForKey(NSString::stringWithFormat("di_uuidForDevice_%@", former)), former));
}

TEST_F(DIUUIDCloudTest, ObserverMayCallBackIntoTheStoreWhileChangesArriveOnAnotherThread)
{
    DIUUID::sharedInstance();
    std::vector<NSUInteger> seenByObserver;
    dv::Mutex seenLock;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        DIUUIDsOfUserDevicesDidChangeNotification, nil, nil, [&](const Ref<NSNotification>&) {
            // Calling straight back in from the observer must not deadlock.
            auto count = DIUUID::uuidsOfUserDevices()->count();
            dv::MutexLocker lock(seenLock);
            seenByObserver.push_back(count);
        });

    constexpr int changes = 20;
    std::thread cloudThread([] {
        for (int i = 0; i < changes; ++i) {
            auto value = NSString::stringWithFormat("%032x", i + 1);
            cloud()->simulateExternalChange(NSDictionary::of({ { NSString::stringWithFormat("di_uuidForDevice_%@", value), value } }));
        }
    });
    for (int i = 0; i < 200; ++i) {
        auto list = DIUUID::uuidsOfUserDevices();
        ASSERT_GE(list->count(), 1u);
        EXPECT_TRUE(dv::equal(list->firstObject(), DIUUID::uuidForDevice()));
    }
    cloudThread.join();
    NSNotificationCenter::defaultCenter()->removeObserver(token);

    EXPECT_EQ(DIUUID::uuidsOfUserDevices()->count(), static_cast<NSUInteger>(changes + 1));
    EXPECT_EQ(posted().size(), static_cast<std::size_t>(changes));
    dv::MutexLocker lock(seenLock);
    ASSERT_EQ(seenByObserver.size(), static_cast<std::size_t>(changes));
    EXPECT_EQ(seenByObserver.back(), static_cast<NSUInteger>(changes + 1));
}

} // namespace
