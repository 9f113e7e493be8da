#include "IdentityTestSupport.h"

#include "foundation/identity/SvUDIDTools.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"

#include <algorithm>
#include <regex>

using dv::internal::identity::HardwareAddress;
using dv::test::IdentityTest;

namespace {

class SvUDIDToolsTest : public IdentityTest {
protected:

    static Ref<NSDictionary> storedItem()
    {
        auto query = NSDictionary::of({ { kSecClass, kSecClassGenericPassword },
                                        { kSecAttrAccessGroup, SvUDIDToolsKeychainAccessGroup },
                                        { kSecReturnAttributes, NSNumber::numberWithBool(true) },
                                        { kSecReturnData, NSNumber::numberWithBool(true) } });
        id result;
        return SecItemCopyMatching(query, &result) == errSecSuccess ? dv::as<NSDictionary>(result) : nil;
    }

    static void useHardwareAddress(std::optional<HardwareAddress::Bytes> bytes, const char* failure = "")
    {
        HardwareAddress::setReaderForTesting([bytes, failure] { return HardwareAddress::Result { bytes, failure }; });
    }
};

TEST_F(SvUDIDToolsTest, FirstUdidIsTheVendorIdentifierKeptInTheMarkedItem)
{
    auto vendor = UIDevice::currentDevice()->identifierForVendor()->UUIDString();
    dv::LogCapture log;
    auto udid = SvUDIDTools::UDID();
    EXPECT_TRUE(dv::equal(udid, vendor));
    EXPECT_TRUE(log.contains("KeyChain Item: UUID not found!!!"));
    EXPECT_TRUE(log.contains("Add KeyChain Item Success!!!"));

    auto item = storedItem();
    ASSERT_TRUE(item);
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey(kSecAttrDescription))), "UUID");
    EXPECT_TRUE(dv::equal(item->objectForKey(kSecAttrGeneric), NSData::fromString("UUID")));
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey(kSecAttrAccount))), "");
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey(kSecAttrLabel))), "");
    EXPECT_TRUE(dv::equal(item->objectForKey(kSecValueData), vendor->dataUsingEncoding(NSUTF8StringEncoding)));
}

TEST_F(SvUDIDToolsTest, LaterCallsAnswerTheStoredValueEvenAfterTheVendorIdentifierChanged)
{
    auto first = SvUDIDTools::UDID();
    reinstall(); // a new container: a new vendor identifier
    EXPECT_FALSE(dv::equal(UIDevice::currentDevice()->identifierForVendor()->UUIDString(), first));
    EXPECT_TRUE(dv::equal(SvUDIDTools::UDID(), first));
    EXPECT_TRUE(dv::equal(SvUDIDTools::getUDIDFromKeyChain(), first));
}

TEST_F(SvUDIDToolsTest, SettingOverAnExistingItemUpdatesIt)
{
    ASSERT_TRUE(SvUDIDTools::settUDIDToKeyChain("first"_ns));
    dv::LogCapture log;
    EXPECT_TRUE(SvUDIDTools::settUDIDToKeyChain("second"_ns));
    EXPECT_TRUE(log.contains("Update KeyChain Item Success!!!"));
    EXPECT_EQ(dv::str(SvUDIDTools::getUDIDFromKeyChain()), "second");
    EXPECT_TRUE(SvUDIDTools::updateUDIDInKeyChain("third"_ns));
    EXPECT_EQ(dv::str(SvUDIDTools::UDID()), "third");
}

TEST_F(SvUDIDToolsTest, SettingAnswersNoWhenTheUpdateFails)
{
    // An item marked "uuid" in the application's own group, readable only while unlocked, is the
    // first match of the update's look-up (which names no group); ours is readable always.
    auto other = NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrGeneric, "uuid"_ns },
                                    { kSecAttrAccount, "other"_ns }, { kSecAttrAccessible, kSecAttrAccessibleWhenUnlocked },
                                    { kSecValueData, NSData::fromString("x") } });
    ASSERT_EQ(SecItemAdd(other, nullptr), errSecSuccess);
    auto ours = NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrDescription, "UUID"_ns }, { kSecAttrGeneric, "UUID"_ns },
                                   { kSecAttrAccount, ""_ns }, { kSecAttrLabel, ""_ns }, { kSecAttrAccessGroup, SvUDIDToolsKeychainAccessGroup },
                                   { kSecAttrAccessible, kSecAttrAccessibleAlways }, { kSecValueData, NSData::fromString("stored") } });
    ASSERT_EQ(SecItemAdd(ours, nullptr), errSecSuccess);

    dv::KeychainSettings::setDeviceLocked(true);
    dv::LogCapture log;
    EXPECT_EQ(dv::str(SvUDIDTools::getUDIDFromKeyChain()), "stored");
    EXPECT_FALSE(SvUDIDTools::settUDIDToKeyChain("new"_ns));
    EXPECT_TRUE(log.contains("Update KeyChain Item Error!!! Error Code:-25308"));
    dv::KeychainSettings::setDeviceLocked(false);
    EXPECT_EQ(dv::str(SvUDIDTools::getUDIDFromKeyChain()), "stored");
}

TEST_F(SvUDIDToolsTest, RemovingAnswersNoWithoutAnItemAndYesWithOne)
{
    dv::LogCapture log;
    EXPECT_FALSE(SvUDIDTools::removeUDIDFromKeyChain());
    EXPECT_TRUE(log.contains("delete UUID from KeyChain Error!!! Error code:-25300"));
    EXPECT_FALSE(SvUDIDTools::updateUDIDInKeyChain("x"_ns));

    ASSERT_TRUE(SvUDIDTools::settUDIDToKeyChain("value"_ns));
    EXPECT_TRUE(SvUDIDTools::removeUDIDFromKeyChain());
    EXPECT_TRUE(log.contains("delete success!!!"));
    EXPECT_FALSE(SvUDIDTools::getUDIDFromKeyChain());
}

// The application is entitled to the store's group as it ships: the item is kept without any
// set-up of the keychain.
TEST_F(SvUDIDToolsTest, TheApplicationIsEntitledToTheStoresGroup)
{
    dv::KeychainSettings::reset();
    auto groups = dv::KeychainSettings::accessGroups();
    EXPECT_NE(std::find(groups.begin(), groups.end(), SvUDIDToolsKeychainAccessGroup->utf8()), groups.end());
    EXPECT_EQ(dv::KeychainSettings::defaultAccessGroup(), "DVTEAM0001.com.velmarquest.dovrelta");
    dv::LogCapture log;
    auto udid = SvUDIDTools::UDID();
    EXPECT_FALSE(log.contains("-34018"));
    EXPECT_TRUE(dv::equal(SvUDIDTools::getUDIDFromKeyChain(), udid));
    ASSERT_TRUE(storedItem());
}

TEST_F(SvUDIDToolsTest, WithoutTheEntitlementNothingIsStored)
{
    dv::KeychainSettings::setAccessGroups({ "DVTEAM0001.com.velmarquest.dovrelta" });
    dv::LogCapture log;
    auto udid = SvUDIDTools::UDID();
    EXPECT_TRUE(dv::equal(udid, UIDevice::currentDevice()->identifierForVendor()->UUIDString()));
    EXPECT_TRUE(log.contains("KeyChain Item query Error!!! Error code:-34018"));
    EXPECT_TRUE(log.contains("Add KeyChain Item Error!!! Error Code:-34018"));
    EXPECT_FALSE(SvUDIDTools::getUDIDFromKeyChain());
}

TEST_F(SvUDIDToolsTest, OldSystemsUseTheHardwareAddress)
{
    UIDevice::currentDevice()->setSystemVersion("6.1"_ns);
    useHardwareAddress(HardwareAddress::Bytes { 0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xef });
    dv::LogCapture log;
    EXPECT_EQ(dv::str(SvUDIDTools::UDID()), "00:1A:2B:C3:D4:EF");
    EXPECT_TRUE(log.contains("Mac Address: 00:1A:2B:C3:D4:EF"));
    EXPECT_EQ(dv::str(SvUDIDTools::getUDIDFromKeyChain()), "00:1A:2B:C3:D4:EF");

    SvUDIDTools::removeUDIDFromKeyChain();
    UIDevice::currentDevice()->setSystemVersion("1.0"_ns);
    EXPECT_FALSE(SvUDIDTools::UDID());
    EXPECT_FALSE(SvUDIDTools::getUDIDFromKeyChain());
}

TEST_F(SvUDIDToolsTest, UnreadableHardwareAddressStoresNothingAndIsTriedAgain)
{
    UIDevice::currentDevice()->setSystemVersion("6.1"_ns);
    useHardwareAddress(std::nullopt, "sysctl msgBuffer failure");
    dv::LogCapture log;
    EXPECT_FALSE(SvUDIDTools::UDID());
    EXPECT_TRUE(log.contains("sysctl msgBuffer failure"));
    EXPECT_FALSE(SvUDIDTools::getUDIDFromKeyChain());
    EXPECT_FALSE(SvUDIDTools::getMacAddress());

    useHardwareAddress(HardwareAddress::Bytes { 1, 2, 3, 4, 5, 6 });
    EXPECT_EQ(dv::str(SvUDIDTools::UDID()), "01:02:03:04:05:06");
    EXPECT_EQ(dv::str(SvUDIDTools::getUDIDFromKeyChain()), "01:02:03:04:05:06");
}

TEST_F(SvUDIDToolsTest, SystemHardwareAddressIsSixUpperCaseBytesOrNothing)
{
    dv::LogCapture log;
    auto address = SvUDIDTools::getMacAddress();
    if (address) {
        EXPECT_TRUE(std::regex_match(address->utf8(), std::regex("^([0-9A-F]{2}:){5}[0-9A-F]{2}$"))) << address->utf8();
        EXPECT_TRUE(log.contains("Mac Address: " + address->utf8()));
    } else {
        // A machine without a network interface logs which step failed.
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines().front().find("failure"), std::string::npos);
    }
}

} // namespace
