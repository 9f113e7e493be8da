#include "IdentityTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSBundle.h"

#include <fstream>

using dv::test::IdentityTest;

namespace {

class KeychainStoreTest : public IdentityTest {
protected:
    void TearDown() override
    {
        dv::MainBundleOverride::reset();
        IdentityTest::TearDown();
    }

    static NSInteger itemCount(const Ref<KeychainStore>& store)
    {
        auto items = store->items();
        return items ? static_cast<NSInteger>(items->count()) : -1;
    }

    static void expectError(const Ref<NSError>& error, NSInteger code, const char* description)
    {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain()->utf8(), "com.velmarquest.keychainstore");
        EXPECT_EQ(error->code(), code);
        EXPECT_EQ(dv::str(dv::as<NSString>(error->userInfo()->objectForKey(NSLocalizedDescriptionKey))), description);
        EXPECT_EQ(error->userInfo()->count(), 1u);
    }
};

TEST_F(KeychainStoreTest, WriteAddsThenUpdatesTheSameItemAndNilRemovesIt)
{
    auto store = KeychainStore::keyChainStoreWithService("com.example.login"_ns);
    Ref<NSError> error;
    EXPECT_TRUE(store->setString("first"_ns, "password"_ns, &error));
    EXPECT_FALSE(error);
    EXPECT_TRUE(store->contains("password"_ns));
    EXPECT_EQ(itemCount(store), 1);

    EXPECT_TRUE(store->setString("second"_ns, "password"_ns, &error));
    EXPECT_EQ(itemCount(store), 1);
    EXPECT_EQ(dv::str(store->stringForKey("password"_ns)), "second");

    EXPECT_TRUE(store->setString(nil, "password"_ns, &error));
    EXPECT_FALSE(store->contains("password"_ns));
    EXPECT_EQ(itemCount(store), 0);
}

TEST_F(KeychainStoreTest, MissingKeyReadsNilWithoutErrorAndRemovesAsSuccess)
{
    auto store = KeychainStore::keyChainStoreWithService("com.example"_ns);
    Ref<NSError> error;
    EXPECT_FALSE(store->stringForKey("never"_ns, &error));
    EXPECT_FALSE(store->dataForKey("never"_ns, &error));
    EXPECT_FALSE(error);
    EXPECT_TRUE(store->removeItemForKey("never"_ns, &error));
    EXPECT_FALSE(error);
    EXPECT_TRUE(store->removeAllItemsWithError(&error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(store->contains("never"_ns));
}

TEST_F(KeychainStoreTest, StoresOverOneServiceSeeEachOthersWritesAndOtherServicesStayApart)
{
    auto a = KeychainStore::keyChainStoreWithService("svc"_ns);
    auto b = KeychainStore::keyChainStoreWithService("svc"_ns);
    auto other = KeychainStore::keyChainStoreWithService("other"_ns);
    ASSERT_TRUE(a->setString("1"_ns, "k"_ns));
    ASSERT_TRUE(other->setString("2"_ns, "k"_ns));
    EXPECT_EQ(dv::str(b->stringForKey("k"_ns)), "1");
    EXPECT_EQ(dv::str(other->stringForKey("k"_ns)), "2");

    EXPECT_TRUE(b->removeAllItems());
    EXPECT_FALSE(a->stringForKey("k"_ns));
    EXPECT_EQ(dv::str(other->stringForKey("k"_ns)), "2");
}

TEST_F(KeychainStoreTest, NilServiceIsTheBundleIdentifierOrEmptyWithoutOne)
{
    EXPECT_EQ(dv::str(KeychainStore::keyChainStore()->service()), "com.velmarquest.dovrelta");
    EXPECT_EQ(dv::str(alloc<KeychainStore>()->init()->service()), "com.velmarquest.dovrelta");

    dv::MainBundleOverride::set(home(), NSDictionary::of({ { kCFBundleIdentifierKey, NSNull::null() } }));
    KeychainStore::setDefaultService(nil);
    EXPECT_EQ(dv::str(KeychainStore::keyChainStoreWithService(nil)->service()), "");

    KeychainStore::setDefaultService("custom"_ns);
    EXPECT_EQ(dv::str(KeychainStore::defaultService()), "custom");
    EXPECT_EQ(dv::str(KeychainStore::keyChainStore()->service()), "custom");
}

TEST_F(KeychainStoreTest, NewStoresUseAfterFirstUnlockAndTheDocumentedDefaults)
{
    auto generic = KeychainStore::keyChainStoreWithService("svc"_ns, "DVTEAM0001.com.velmarquest.dovrelta"_ns);
    EXPECT_EQ(generic->itemClass(), KeychainStoreItemClassGenericPassword);
    EXPECT_EQ(generic->accessibility(), KeychainStoreAccessibilityAfterFirstUnlock);
    EXPECT_FALSE(generic->synchronizable());
    EXPECT_EQ(dv::str(generic->accessGroup()), "DVTEAM0001.com.velmarquest.dovrelta");

    auto internet = KeychainStore::keyChainStoreWithServer(NSURL::URLWithString("https://example.com:8443/x"_ns), KeychainStoreProtocolTypeHTTPS);
    EXPECT_EQ(internet->itemClass(), KeychainStoreItemClassInternetPassword);
    EXPECT_EQ(internet->authenticationType(), KeychainStoreAuthenticationTypeDefault);
    auto query = internet->query();
    EXPECT_TRUE(dv::equal(query->objectForKey(kSecClass), kSecClassInternetPassword));
    EXPECT_EQ(dv::str(dv::as<NSString>(query->objectForKey(kSecAttrServer))), "example.com");
    EXPECT_EQ(dv::as<NSNumber>(query->objectForKey(kSecAttrPort))->integerValue(), 8443);
    EXPECT_TRUE(dv::equal(query->objectForKey(kSecAttrProtocol), kSecAttrProtocolHTTPS));
    EXPECT_TRUE(dv::equal(query->objectForKey(kSecAttrAuthenticationType), kSecAttrAuthenticationTypeDefault));
    EXPECT_TRUE(dv::equal(query->objectForKey(kSecAttrSynchronizable), kSecAttrSynchronizableAny));

    // Values outside the tables leave their attribute out.
    auto odd = KeychainStore::keyChainStoreWithServer(NSURL::URLWithString("https://example.com"_ns), 30, 9);
    EXPECT_FALSE(odd->query()->objectForKey(kSecAttrProtocol));
    EXPECT_FALSE(odd->query()->objectForKey(kSecAttrAuthenticationType));
    odd->setAccessibility(0);
    EXPECT_FALSE(odd->accessibilityObject());
}

TEST_F(KeychainStoreTest, AccessibilityTableFollowsTheStoresOwnOrder)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    const Ref<NSString> expected[] = {
        kSecAttrAccessibleWhenUnlocked, kSecAttrAccessibleAfterFirstUnlock, kSecAttrAccessibleAlways,
        kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly, kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
        kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly, kSecAttrAccessibleAlwaysThisDeviceOnly,
    };
    for (NSInteger i = 1; i <= 7; ++i) {
        store->setAccessibility(i);
        EXPECT_TRUE(dv::equal(store->accessibilityObject(), expected[i - 1])) << i;
        ASSERT_TRUE(store->setString("v"_ns, NSString::stringWithFormat("k%ld", static_cast<long>(i))));
    }
    auto items = store->allItems();
    ASSERT_EQ(items->count(), 7u);
    for (NSUInteger i = 0; i < 7; ++i)
        EXPECT_TRUE(dv::equal(dv::as<NSDictionary>(items->objectAtIndex(i))->objectForKey("accessibility"_ns), expected[i]));
}

TEST_F(KeychainStoreTest, SynchronizableItemCarriesTheFlagAndQueriesMatchItEitherWay)
{
    auto syncing = KeychainStore::keyChainStoreWithService("svc"_ns);
    syncing->setSynchronizable(true);
    ASSERT_TRUE(syncing->setString("shared"_ns, "list"_ns));
    auto local = KeychainStore::keyChainStoreWithService("svc"_ns);
    ASSERT_TRUE(local->setString("mine"_ns, "local"_ns));

    auto items = local->allItems();
    ASSERT_EQ(items->count(), 2u);
    auto first = dv::as<NSDictionary>(items->objectAtIndex(0));
    EXPECT_TRUE(dv::as<NSNumber>(first->objectForKey("synchronizable"_ns))->boolValue());
    EXPECT_FALSE(dv::as<NSNumber>(dv::as<NSDictionary>(items->objectAtIndex(1))->objectForKey("synchronizable"_ns))->boolValue());

    // A store that does not synchronise still reads and updates the synchronised item.
    EXPECT_EQ(dv::str(local->stringForKey("list"_ns)), "shared");
    EXPECT_TRUE(local->setString("changed"_ns, "list"_ns));
    EXPECT_EQ(dv::str(syncing->stringForKey("list"_ns)), "changed");
    EXPECT_EQ(itemCount(local), 2);
}

TEST_F(KeychainStoreTest, BytesThatAreNotUtf8ReadAsConversionErrorAndListAsRawData)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    const std::uint8_t bytes[] = { 0xff, 0xfe, 0x41 };
    auto data = NSData::dataWithBytes(bytes, sizeof bytes);
    ASSERT_TRUE(store->setData(data, "blob"_ns));

    dv::LogCapture log;
    Ref<NSError> error;
    EXPECT_FALSE(store->stringForKey("blob"_ns, &error));
    expectError(error, -67594, "failed to convert data to string");
    EXPECT_TRUE(log.contains("error: [-67594] failed to convert data to string"));
    EXPECT_TRUE(dv::equal(store->dataForKey("blob"_ns), data));
    EXPECT_FALSE(store->objectForKeyedSubscript("blob"_ns));

    auto item = dv::as<NSDictionary>(store->allItems()->firstObject());
    ASSERT_TRUE(item);
    EXPECT_TRUE(dv::equal(item->objectForKey("value"_ns), data));
}

TEST_F(KeychainStoreTest, DescriptionListsEachItemIndented)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    EXPECT_EQ(store->description()->utf8(), "()");

    ASSERT_TRUE(store->setString("1"_ns, "a"_ns));
    ASSERT_TRUE(store->setString("2"_ns, "b"_ns));
    auto items = store->allItems();
    ASSERT_EQ(items->count(), 2u);
    std::string expected = "(\n    " + items->objectAtIndex(0)->description()->utf8() + "    " + items->objectAtIndex(1)->description()->utf8() + ")";
    EXPECT_EQ(store->description()->utf8(), expected);
    EXPECT_EQ(store->debugDescription()->utf8(), store->items()->description()->utf8());
}

TEST_F(KeychainStoreTest, ListingGivesKeysAndReadableItemsInOrder)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    store->setObjectForKeyedSubscript("1"_ns, "one"_ns);
    store->setObjectForKeyedSubscript("2"_ns, "two"_ns);
    EXPECT_EQ(dv::str(store->objectForKeyedSubscript("two"_ns)), "2");
    EXPECT_TRUE(dv::equal(store->allKeys(), NSArray::of({ "one"_ns, "two"_ns })));

    auto item = dv::as<NSDictionary>(store->allItems()->firstObject());
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey("class"_ns))), "GenericPassword");
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey("service"_ns))), "svc");
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey("accessGroup"_ns))), "DVTEAM0001.com.velmarquest.dovrelta");
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey("key"_ns))), "one");
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey("value"_ns))), "1");

    store->setObjectForKeyedSubscript(nil, "one"_ns);
    EXPECT_TRUE(dv::equal(store->allKeys(), NSArray::of({ "two"_ns })));

    auto all = KeychainStore::allKeysWithItemClass(KeychainStoreItemClassGenericPassword);
    ASSERT_EQ(all->count(), 1u);
    EXPECT_TRUE(dv::equal(all->firstObject(), NSDictionary::of({ { "service"_ns, "svc"_ns }, { "key"_ns, "two"_ns } })));
    EXPECT_EQ(KeychainStore::allItemsWithItemClass(KeychainStoreItemClassGenericPassword)->count(), 1u);
    EXPECT_EQ(KeychainStore::allItemsWithItemClass(KeychainStoreItemClassInternetPassword)->count(), 0u);
}

TEST_F(KeychainStoreTest, InternetPasswordsListServerAndKey)
{
    auto store = KeychainStore::keyChainStoreWithServer(NSURL::URLWithString("https://example.com"_ns), KeychainStoreProtocolTypeHTTPS);
    ASSERT_TRUE(store->setString("pw"_ns, "alice"_ns));
    auto serverless = KeychainStore::keyChainStoreWithServer(nil, KeychainStoreProtocolTypeFTP);
    ASSERT_TRUE(serverless->setString("pw2"_ns, "bob"_ns));

    auto keys = KeychainStore::allKeysWithItemClass(KeychainStoreItemClassInternetPassword);
    ASSERT_EQ(keys->count(), 2u);
    EXPECT_TRUE(dv::equal(keys->objectAtIndex(0), NSDictionary::of({ { "server"_ns, "example.com"_ns }, { "key"_ns, "alice"_ns } })));
    EXPECT_TRUE(dv::equal(keys->objectAtIndex(1), NSDictionary::of({ { "server"_ns, ""_ns }, { "key"_ns, "bob"_ns } })));

    auto item = dv::as<NSDictionary>(store->allItems()->firstObject());
    EXPECT_EQ(dv::str(dv::as<NSString>(item->objectForKey("class"_ns))), "InternetPassword");
    EXPECT_TRUE(dv::equal(item->objectForKey("protocol"_ns), kSecAttrProtocolHTTPS));
    EXPECT_TRUE(dv::equal(item->objectForKey("authenticationType"_ns), kSecAttrAuthenticationTypeDefault));
    EXPECT_EQ(dv::str(store->stringForKey("alice"_ns)), "pw");
    EXPECT_FALSE(store->stringForKey("bob"_ns));
}

TEST_F(KeychainStoreTest, ClassOperationsCheckTheKeyAndReachTheNamedService)
{
    dv::LogCapture log;
    Ref<NSError> error;
    EXPECT_FALSE(KeychainStore::stringForKeyService(nil, nil, nil, &error));
    expectError(error, 1, "the key must not to be nil");
    EXPECT_TRUE(log.contains("error: [1] the key must not to be nil"));
    error = nil;
    EXPECT_FALSE(KeychainStore::setDataForKeyService(NSData::fromString("x"), nil, "svc"_ns, nil, nil, &error));
    expectError(error, 1, "the key must not to be nil");
    error = nil;
    EXPECT_FALSE(KeychainStore::removeItemForKeyService(nil, "svc"_ns, nil, &error));
    expectError(error, 1, "the key must not to be nil");
    error = nil;
    EXPECT_FALSE(KeychainStore::dataForKeyService(nil, "svc"_ns, nil, &error));
    expectError(error, 1, "the key must not to be nil");

    EXPECT_TRUE(KeychainStore::setStringForKeyService("v"_ns, "k"_ns, nil));
    EXPECT_EQ(dv::str(KeychainStore::keyChainStore()->stringForKey("k"_ns)), "v");
    EXPECT_TRUE(KeychainStore::setStringForKeyService("w"_ns, "k"_ns, "svc"_ns, nil, "marker"_ns));
    EXPECT_EQ(dv::str(KeychainStore::stringForKeyService("k"_ns, "svc"_ns)), "w");
    EXPECT_EQ(dv::str(KeychainStore::stringForKeyService("k"_ns, nil)), "v");
    EXPECT_TRUE(dv::equal(KeychainStore::dataForKeyService("k"_ns, "svc"_ns), NSData::fromString("w")));

    EXPECT_TRUE(KeychainStore::setStringForKeyService(nil, "k"_ns, "svc"_ns));
    EXPECT_FALSE(KeychainStore::stringForKeyService("k"_ns, "svc"_ns));
    EXPECT_TRUE(KeychainStore::removeAllItemsForService(nil));
    EXPECT_FALSE(KeychainStore::stringForKeyService("k"_ns, nil));
}

TEST_F(KeychainStoreTest, InstanceOperationsNeverTouchOtherItemsForANilKey)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    ASSERT_TRUE(store->setString("keep"_ns, "a"_ns));
    Ref<NSError> error;
    EXPECT_FALSE(store->setString("x"_ns, nil, &error));
    expectError(error, 1, "the key must not to be nil");
    EXPECT_FALSE(store->removeItemForKey(nil));
    EXPECT_FALSE(store->contains(nil));
    EXPECT_FALSE(store->stringForKey(nil));
    EXPECT_EQ(dv::str(store->stringForKey("a"_ns)), "keep");
    EXPECT_EQ(itemCount(store), 1);
}

TEST_F(KeychainStoreTest, KeychainStatusReachesTheCallerAsSecurityError)
{
    // A group the application is not entitled to: the keychain refuses every call.
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns, "OTHERTEAM.com.example"_ns);
    dv::LogCapture log;
    Ref<NSError> error;
    EXPECT_FALSE(store->setString("v"_ns, "k"_ns, &error));
    expectError(error, errSecMissingEntitlement, "Security error has occurred.");
    EXPECT_TRUE(log.contains("OSStatus error: [-34018] Security error has occurred."));

    error = nil;
    EXPECT_FALSE(store->stringForKey("k"_ns, &error));
    expectError(error, errSecMissingEntitlement, "Security error has occurred.");
    error = nil;
    EXPECT_FALSE(store->removeItemForKey("k"_ns, &error));
    expectError(error, errSecMissingEntitlement, "Security error has occurred.");
    error = nil;
    EXPECT_FALSE(store->removeAllItemsWithError(&error));
    expectError(error, errSecMissingEntitlement, "Security error has occurred.");
    EXPECT_FALSE(store->items());
    EXPECT_FALSE(store->contains("k"_ns));

    // An entitled second group keeps its items apart from the default group.
    dv::KeychainSettings::setAccessGroups({ "DVTEAM0001.com.velmarquest.dovrelta", "OTHERTEAM.com.example" });
    EXPECT_TRUE(store->setString("v"_ns, "k"_ns));
    EXPECT_FALSE(KeychainStore::keyChainStoreWithService("svc"_ns, "DVTEAM0001.com.velmarquest.dovrelta"_ns)->stringForKey("k"_ns));
    EXPECT_EQ(dv::str(KeychainStore::keyChainStoreWithService("svc"_ns)->stringForKey("k"_ns)), "v");
}

TEST_F(KeychainStoreTest, ErrorMakersUseTheDomainCodesAndLocalisedDescriptions)
{
    expectError(KeychainStore::argumentError("the key must not to be nil"_ns), 1, "the key must not to be nil");
    expectError(KeychainStore::conversionError("failed to convert string to data"_ns), -67594, "failed to convert string to data");
    expectError(KeychainStore::securityError(-25300), -25300, "Security error has occurred.");
    expectError(KeychainStore::unexpectedError("Unexpected error has occurred."_ns), -99999, "Unexpected error has occurred.");

    // A localised application translates the messages, never the security error's text.
    {
        std::ofstream strings(home() + "/Localizable.strings");
        strings << "\"the key must not to be nil\" = \"键不能为空\";\n\"Security error has occurred.\" = \"安全错误\";\n";
    }
    dv::MainBundleOverride::set(home(), nil);
    Ref<NSError> error;
    EXPECT_FALSE(KeychainStore::stringForKeyService(nil, nil, nil, &error));
    expectError(error, 1, "键不能为空");
    expectError(KeychainStore::securityError(-50), -50, "Security error has occurred.");
}

TEST_F(KeychainStoreTest, AccessControlReplacesAccessibilityAndCannotCombineWithSynchronizable)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    dv::LogCapture log;
    store->setAccessibility(KeychainStoreAccessibilityWhenPasscodeSetThisDeviceOnly, KeychainStoreAuthenticationPolicyUserPresence);
    auto attributes = store->attributesWithKey("k"_ns, NSData::fromString("v"), nullptr);
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(dv::as<SecAccessControl>(attributes->objectForKey(kSecAttrAccessControl)));
    EXPECT_FALSE(attributes->objectForKey(kSecAttrAccessible));
    EXPECT_FALSE(log.contains("Cannot specify both an authenticationPolicy and a synchronizable"));

    store->setSynchronizable(true);
    EXPECT_TRUE(log.contains("Cannot specify both an authenticationPolicy and a synchronizable"));
    EXPECT_TRUE(store->synchronizable());
}

TEST_F(KeychainStoreTest, ProtectedItemIsUpdatedWithoutAPromptAndReAddedOnTheOldestSystems)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    store->setAccessibility(KeychainStoreAccessibilityWhenUnlocked, KeychainStoreAuthenticationPolicyUserPresence);
    ASSERT_TRUE(store->setString("one"_ns, "k"_ns));
    // The look-up of an existing protected item answers "interaction not allowed": it is updated.
    ASSERT_TRUE(store->setString("two"_ns, "k"_ns, "label"_ns, "comment"_ns));
    EXPECT_EQ(dv::str(store->stringForKey("k"_ns)), "two");
    EXPECT_EQ(itemCount(store), 1);

    NSFoundationVersionNumber = NSFoundationVersionNumber_iOS_8_0;
    ASSERT_TRUE(store->setString("three"_ns, "k"_ns));
    EXPECT_EQ(dv::str(store->stringForKey("k"_ns)), "three");
    EXPECT_EQ(itemCount(store), 1);
}

TEST_F(KeychainStoreTest, RejectedAccessControlFailsTheWrite)
{
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    store->setAccessibility(KeychainStoreAccessibilityWhenUnlocked, 1ull << 40);
    dv::LogCapture log;
    Ref<NSError> error;
    EXPECT_FALSE(store->setString("v"_ns, "k"_ns, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain()->utf8(), NSOSStatusErrorDomain->utf8());
    EXPECT_EQ(error->code(), errSecParam);
    EXPECT_TRUE(log.contains("error: [-50] "));

    // Without an error out-parameter the store reports its own unexpected error.
    EXPECT_FALSE(store->setString("v"_ns, "k"_ns));
    EXPECT_TRUE(log.contains("error: [-99999] Unexpected error has occurred."));
    EXPECT_FALSE(store->contains("k"_ns));
}

TEST_F(KeychainStoreTest, OlderSystemsLeaveOutWhatTheyDoNotHave)
{
    NSFoundationVersionNumber = NSFoundationVersionNumber_iOS_6_0;
    auto store = KeychainStore::keyChainStoreWithService("svc"_ns);
    store->setAuthenticationPrompt("Unlock"_ns);
    dv::LogCapture log;
    auto query = store->query();
    EXPECT_FALSE(query->objectForKey(kSecAttrSynchronizable));
    EXPECT_FALSE(query->objectForKey(kSecUseOperationPrompt));
    EXPECT_TRUE(log.contains("Unavailable 'authenticationPrompt' attribute on iOS versions prior to 8.0."));

    store->setAccessibility(KeychainStoreAccessibilityWhenPasscodeSetThisDeviceOnly);
    auto attributes = store->attributesWithKey("k"_ns, NSData::fromString("v"), nullptr);
    EXPECT_FALSE(attributes->objectForKey(kSecAttrAccessible));
    EXPECT_FALSE(attributes->objectForKey(kSecAttrSynchronizable));
    EXPECT_TRUE(log.contains("Unavailable 'KeychainStoreAccessibilityWhenPasscodeSetThisDeviceOnly' attribute on iOS versions prior to 8.0."));

    store->setAccessibility(KeychainStoreAccessibilityWhenUnlocked, KeychainStoreAuthenticationPolicyUserPresence);
    attributes = store->attributesWithKey("k"_ns, NSData::fromString("v"), nullptr);
    EXPECT_FALSE(attributes->objectForKey(kSecAttrAccessControl));
    EXPECT_TRUE(log.contains("Unavailable 'Touch ID integration' on iOS versions prior to 8.0."));

    NSFoundationVersionNumber = NSFoundationVersionNumber_iOS_9_0;
    EXPECT_TRUE(dv::equal(store->query()->objectForKey(kSecUseOperationPrompt), "Unlock"_ns));
}

TEST_F(KeychainStoreTest, SharedCredentialsNeedAServerAndReportThePlatformsAnswer)
{
    auto generic = KeychainStore::keyChainStoreWithService("svc"_ns);
    int calls = 0;
    generic->sharedPasswordWithCompletion([&](const Ref<NSString>& account, const Ref<NSString>& password, const Ref<NSError>& error) {
        ++calls;
        EXPECT_FALSE(account);
        EXPECT_FALSE(password);
        expectError(error, 1,
                    "the server property must not to be nil, should use 'keyChainStoreWithServer:protocolType:' initializer to instantiate keychain store");
    });
    generic->setSharedPassword("pw"_ns, "alice"_ns, [&](const Ref<NSError>& error) {
        ++calls;
        expectError(error, 1,
                    "the server property must not to be nil, should use 'keyChainStoreWithServer:protocolType:' initializer to instantiate keychain store");
    });
    EXPECT_EQ(calls, 2);

    auto internet = KeychainStore::keyChainStoreWithServer(NSURL::URLWithString("https://example.com"_ns), KeychainStoreProtocolTypeHTTPS);
    dv::LogCapture log;
    internet->sharedPasswordForAccount("alice"_ns, [&](const Ref<NSString>& password, const Ref<NSError>& error) {
        ++calls;
        EXPECT_FALSE(password);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), errSecUnimplemented);
    });
    internet->removeSharedPasswordForAccount("alice"_ns, [&](const Ref<NSError>& error) {
        ++calls;
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), errSecUnimplemented);
    });
    KeychainStore::requestSharedWebCredentialWithCompletion([&](const Ref<NSArray>& credentials, const Ref<NSError>& error) {
        ++calls;
        ASSERT_TRUE(credentials);
        EXPECT_EQ(credentials->count(), 0u);
        EXPECT_TRUE(error);
    });
    EXPECT_EQ(calls, 5);
    EXPECT_TRUE(log.contains("error: [-4] "));

    auto password = KeychainStore::generatePassword();
    ASSERT_TRUE(password);
    EXPECT_EQ(password->length(), 15u);
    EXPECT_TRUE(internet->synchronizeWithError(nullptr));
}

} // namespace
