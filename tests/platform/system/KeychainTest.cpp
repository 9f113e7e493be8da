#include "platform/base/Base.h"
#include "platform/system/Security.h"
#include "platform/system/SqliteDatabase.h"
#include "KilledWriter.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <fstream>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

Ref<NSNumber> yes() { return NSNumber::numberWithBool(true); }

Ref<NSMutableDictionary> generic(const char* service, const char* account)
{
    return NSMutableDictionary::of({ { kSecClass, kSecClassGenericPassword },
                                     { kSecAttrService, NSString::stringWithUTF8String(service) },
                                     { kSecAttrAccount, NSString::stringWithUTF8String(account) } });
}

Ref<NSMutableDictionary> withData(Ref<NSMutableDictionary> d, const char* value)
{
    d->setObjectForKey(NSData::fromString(value), kSecValueData);
    return d;
}

Ref<NSMutableDictionary> with(Ref<NSMutableDictionary> d, const Ref<NSString>& key, const id& value)
{
    d->setObjectForKey(value, key);
    return d;
}

std::string readValue(const char* service, const char* account, OSStatus* status = nullptr)
{
    id result;
    OSStatus s = SecItemCopyMatching(with(generic(service, account), kSecReturnData, yes()), &result);
    if (status)
        *status = s;
    auto data = dv::as<NSData>(result);
    return data ? std::string(data->view()) : std::string("<none>");
}

class KeychainTest : public ::testing::Test {
protected:
    void SetUp() override { dv::KeychainSettings::reset(); }
    void TearDown() override
    {
        dv::KeychainSettings::reset();
        dv::SqliteDatabase::setBeforeCommitHook({});
    }
    dv::test::TemporaryHome m_home;
};

TEST_F(KeychainTest, AddedItemIsFoundWithItsData)
{
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "user"), "secret"), nullptr), errSecSuccess);
    EXPECT_EQ(readValue("svc", "user"), "secret");
    EXPECT_TRUE(std::filesystem::exists(m_home.path() + "/device/keychain.db"));
}

TEST_F(KeychainTest, SecondAddOfSamePrimaryKeyIsDuplicateAndKeepsFirstValue)
{
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "user"), "one"), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(withData(generic("svc", "user"), "two"), nullptr), errSecDuplicateItem);
    EXPECT_EQ(readValue("svc", "user"), "one");
    // A different service or account is another item.
    EXPECT_EQ(SecItemAdd(withData(generic("svc2", "user"), "three"), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(withData(generic("svc", "user2"), "four"), nullptr), errSecSuccess);
}

TEST_F(KeychainTest, BadArgumentsAnswerParam)
{
    id result;
    EXPECT_EQ(SecItemAdd(NSDictionary::of({ { kSecAttrAccount, "a"_ns } }), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(NSDictionary::of({ { kSecClass, "nonsense"_ns } }), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("s", "a"), kSecValueData, "not data"_ns), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("s", "a"), kSecAttrAccount, NSNumber::from(3)), nullptr), errSecParam);
    EXPECT_EQ(SecItemAdd(with(generic("s", "a"), kSecAttrSynchronizable, kSecAttrSynchronizableAny), nullptr), errSecParam);
    EXPECT_EQ(SecItemCopyMatching(with(generic("s", "a"), kSecMatchLimit, "seven"_ns), &result), errSecParam);
    EXPECT_EQ(SecItemCopyMatching(nil, &result), errSecParam);
    EXPECT_EQ(SecItemUpdate(generic("s", "a"), NSDictionary::of({ { kSecClass, kSecClassGenericPassword } })), errSecParam);
    EXPECT_EQ(result, nil);
}

TEST_F(KeychainTest, MissingItemIsNotFoundForReadUpdateAndDelete)
{
    id result = "stale"_ns;
    EXPECT_EQ(SecItemCopyMatching(with(generic("svc", "nobody"), kSecReturnData, yes()), &result), errSecItemNotFound);
    EXPECT_EQ(result, nil);
    EXPECT_EQ(SecItemUpdate(generic("svc", "nobody"), NSDictionary::of({ { kSecValueData, NSData::fromString("x") } })), errSecItemNotFound);
    EXPECT_EQ(SecItemDelete(generic("svc", "nobody")), errSecItemNotFound);
}

TEST_F(KeychainTest, MatchLimitsAndReturnKinds)
{
    for (const char* account : { "a", "b", "c" })
        ASSERT_EQ(SecItemAdd(withData(generic("svc", account), account), nullptr), errSecSuccess);
    auto query = NSMutableDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "svc"_ns } });

    id result;
    // No return key: success and no result, the existence test.
    EXPECT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    EXPECT_EQ(result, nil);

    query->setObjectForKey(kSecMatchLimitAll, kSecMatchLimit);
    query->setObjectForKey(yes(), kSecReturnAttributes);
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    auto all = dv::as<NSArray>(result);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->count(), 3u);
    auto first = dv::as<NSDictionary>(all->objectAtIndex(0));
    ASSERT_TRUE(first);
    EXPECT_TRUE(dv::equal(first->objectForKey(kSecAttrAccount), "a"_ns));
    EXPECT_TRUE(dv::equal(first->objectForKey(kSecAttrService), "svc"_ns));
    EXPECT_TRUE(dv::equal(first->objectForKey(kSecClass), kSecClassGenericPassword));
    EXPECT_EQ(first->objectForKey(kSecValueData), nil);

    query->setObjectForKey(yes(), kSecReturnData);
    query->setObjectForKey(kSecMatchLimitOne, kSecMatchLimit);
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    auto one = dv::as<NSDictionary>(result);
    ASSERT_TRUE(one);
    EXPECT_TRUE(dv::equal(one->objectForKey(kSecValueData), NSData::fromString("a")));

    query->setObjectForKey(NSNumber::from(2), kSecMatchLimit);
    query->removeObjectForKey(kSecReturnAttributes);
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    auto two = dv::as<NSArray>(result);
    ASSERT_TRUE(two);
    ASSERT_EQ(two->count(), 2u);
    EXPECT_TRUE(dv::equal(two->objectAtIndex(1), NSData::fromString("b")));
}

TEST_F(KeychainTest, UpdateChangesEveryMatchAndRefusesPrimaryKeyClash)
{
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "a"), "1"), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "b"), "2"), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemUpdate(generic("svc", "a"), NSDictionary::of({ { kSecValueData, NSData::fromString("new") }, { kSecAttrLabel, "L"_ns } })), errSecSuccess);
    EXPECT_EQ(readValue("svc", "a"), "new");

    // Renaming a onto b would make two items alike: refused, and nothing changes.
    EXPECT_EQ(SecItemUpdate(generic("svc", "a"), NSDictionary::of({ { kSecAttrAccount, "b"_ns } })), errSecDuplicateItem);
    EXPECT_EQ(readValue("svc", "a"), "new");
    EXPECT_EQ(readValue("svc", "b"), "2");

    // An update of a whole service changes both items in one call.
    auto service = NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "svc"_ns } });
    ASSERT_EQ(SecItemUpdate(service, NSDictionary::of({ { kSecValueData, NSData::fromString("same") } })), errSecSuccess);
    EXPECT_EQ(readValue("svc", "a"), "same");
    EXPECT_EQ(readValue("svc", "b"), "same");
}

TEST_F(KeychainTest, DeleteRemovesEveryMatchOfTheQueryOnly)
{
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "a"), "1"), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "b"), "2"), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(withData(generic("other", "a"), "3"), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemDelete(NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "svc"_ns } })), errSecSuccess);
    OSStatus status;
    readValue("svc", "a", &status);
    EXPECT_EQ(status, errSecItemNotFound);
    readValue("svc", "b", &status);
    EXPECT_EQ(status, errSecItemNotFound);
    EXPECT_EQ(readValue("other", "a"), "3");
}

TEST_F(KeychainTest, AccessGroupsFollowTheEntitlements)
{
    dv::KeychainSettings::setAccessGroups({ "TEAM.app", "TEAM.shared" });
    EXPECT_EQ(SecItemAdd(with(withData(generic("svc", "a"), "x"), kSecAttrAccessGroup, "TEAM.foreign"_ns), nullptr), errSecMissingEntitlement);
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "a"), "default"), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(with(withData(generic("svc", "a"), "shared"), kSecAttrAccessGroup, "TEAM.shared"_ns), nullptr), errSecSuccess);

    id result;
    auto query = with(with(generic("svc", "a"), kSecReturnAttributes, yes()), kSecMatchLimit, kSecMatchLimitAll);
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    auto all = dv::as<NSArray>(result);
    ASSERT_EQ(all->count(), 2u);
    EXPECT_TRUE(dv::equal(dv::as<NSDictionary>(all->objectAtIndex(0))->objectForKey(kSecAttrAccessGroup), "TEAM.app"_ns));

    query->setObjectForKey("TEAM.shared"_ns, kSecAttrAccessGroup);
    query->setObjectForKey(yes(), kSecReturnData);
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    ASSERT_EQ(dv::as<NSArray>(result)->count(), 1u);
    EXPECT_TRUE(dv::equal(dv::as<NSDictionary>(dv::as<NSArray>(result)->objectAtIndex(0))->objectForKey(kSecValueData), NSData::fromString("shared")));

    query->setObjectForKey("TEAM.foreign"_ns, kSecAttrAccessGroup);
    EXPECT_EQ(SecItemCopyMatching(query, &result), errSecMissingEntitlement);

    // Items of a group the application has lost are out of its reach.
    dv::KeychainSettings::setAccessGroups({ "TEAM.app" });
    query->removeObjectForKey(kSecAttrAccessGroup);
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    EXPECT_EQ(dv::as<NSArray>(result)->count(), 1u);
}

TEST_F(KeychainTest, SynchronizableIsPartOfTheKeyAndAnyMatchesBoth)
{
    ASSERT_EQ(SecItemAdd(with(withData(generic("svc", "a"), "synced"), kSecAttrSynchronizable, yes()), nullptr), errSecSuccess);
    OSStatus status;
    // A query that does not name the flag sees only local items.
    readValue("svc", "a", &status);
    EXPECT_EQ(status, errSecItemNotFound);
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "a"), "local"), nullptr), errSecSuccess);
    EXPECT_EQ(readValue("svc", "a"), "local");

    id result;
    auto any = with(with(with(generic("svc", "a"), kSecAttrSynchronizable, kSecAttrSynchronizableAny), kSecMatchLimit, kSecMatchLimitAll), kSecReturnAttributes, yes());
    ASSERT_EQ(SecItemCopyMatching(any, &result), errSecSuccess);
    auto both = dv::as<NSArray>(result);
    ASSERT_EQ(both->count(), 2u);
    EXPECT_TRUE(dv::equal(dv::as<NSDictionary>(both->objectAtIndex(0))->objectForKey(kSecAttrSynchronizable), yes()));

    ASSERT_EQ(SecItemDelete(with(generic("svc", "a"), kSecAttrSynchronizable, kSecAttrSynchronizableAny)), errSecSuccess);
    EXPECT_EQ(SecItemCopyMatching(any, &result), errSecItemNotFound);
}

TEST_F(KeychainTest, CaseInsensitiveMatchingIsAskedFor)
{
    auto item = with(withData(generic("Svc", "Device"), "v"), kSecAttrGeneric, "UUID"_ns);
    ASSERT_EQ(SecItemAdd(item, nullptr), errSecSuccess);
    OSStatus status;
    readValue("svc", "device", &status);
    EXPECT_EQ(status, errSecItemNotFound);

    // Found by the generic attribute given as bytes, in another case, with the option.
    id result;
    auto query = NSMutableDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrGeneric, NSData::fromString("uuid") },
                                           { kSecReturnData, yes() } });
    EXPECT_EQ(SecItemCopyMatching(query, &result), errSecItemNotFound);
    query->setObjectForKey(yes(), kSecMatchCaseInsensitive);
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    EXPECT_TRUE(dv::equal(result, NSData::fromString("v")));
}

TEST_F(KeychainTest, InternetPasswordsAreKeyedByServerPortAndProtocol)
{
    auto inet = [](int port, const Ref<NSString>& protocol) {
        return NSMutableDictionary::of({ { kSecClass, kSecClassInternetPassword }, { kSecAttrServer, "example.com"_ns },
                                         { kSecAttrPort, NSNumber::from(port) }, { kSecAttrProtocol, protocol },
                                         { kSecAttrAuthenticationType, kSecAttrAuthenticationTypeDefault }, { kSecAttrAccount, "me"_ns } });
    };
    ASSERT_EQ(SecItemAdd(withData(inet(443, kSecAttrProtocolHTTPS), "a"), nullptr), errSecSuccess);
    EXPECT_EQ(SecItemAdd(withData(inet(443, kSecAttrProtocolHTTPS), "b"), nullptr), errSecDuplicateItem);
    EXPECT_EQ(SecItemAdd(withData(inet(80, kSecAttrProtocolHTTP), "c"), nullptr), errSecSuccess);
    // The generic and internet classes never see each other's items.
    EXPECT_EQ(SecItemAdd(withData(generic("example.com", "me"), "d"), nullptr), errSecSuccess);

    id result;
    auto query = NSMutableDictionary::of({ { kSecClass, kSecClassInternetPassword }, { kSecAttrServer, "example.com"_ns },
                                           { kSecMatchLimit, kSecMatchLimitAll }, { kSecReturnAttributes, yes() } });
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    auto all = dv::as<NSArray>(result);
    ASSERT_EQ(all->count(), 2u);
    auto second = dv::as<NSDictionary>(all->objectAtIndex(1));
    EXPECT_TRUE(dv::equal(second->objectForKey(kSecAttrProtocol), kSecAttrProtocolHTTP));
    EXPECT_EQ(dv::as<NSNumber>(second->objectForKey(kSecAttrPort))->integerValue(), 80);
}

TEST_F(KeychainTest, AccessControlAndLockedDeviceRefuseInteraction)
{
    Ref<NSError> error;
    EXPECT_EQ(SecAccessControlCreateWithFlags(nil, "bogus"_ns, kSecAccessControlUserPresence, &error), nil);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), errSecParam);
    auto ac = SecAccessControlCreateWithFlags(nil, kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly, kSecAccessControlUserPresence, &error);
    ASSERT_TRUE(ac);
    EXPECT_EQ(SecItemAdd(with(with(withData(generic("svc", "p"), "x"), kSecAttrAccessControl, ac), kSecAttrAccessible, kSecAttrAccessibleAlways), nullptr), errSecParam);
    ASSERT_EQ(SecItemAdd(with(withData(generic("svc", "p"), "x"), kSecAttrAccessControl, ac), nullptr), errSecSuccess);

    // Looking it up without a prompt tells that it exists without reading it.
    EXPECT_EQ(SecItemCopyMatching(with(generic("svc", "p"), kSecUseAuthenticationUI, kSecUseAuthenticationUIFail), nullptr), errSecInteractionNotAllowed);
    EXPECT_EQ(readValue("svc", "p"), "x");

    ASSERT_EQ(SecItemAdd(with(withData(generic("svc", "u"), "when unlocked"), kSecAttrAccessible, kSecAttrAccessibleWhenUnlocked), nullptr), errSecSuccess);
    ASSERT_EQ(SecItemAdd(with(withData(generic("svc", "f"), "after first"), kSecAttrAccessible, kSecAttrAccessibleAfterFirstUnlock), nullptr), errSecSuccess);
    dv::KeychainSettings::setDeviceLocked(true);
    OSStatus status;
    readValue("svc", "u", &status);
    EXPECT_EQ(status, errSecInteractionNotAllowed);
    EXPECT_EQ(readValue("svc", "f"), "after first");
}

TEST_F(KeychainTest, EachHomeHasItsOwnKeychain)
{
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "a"), "first home"), nullptr), errSecSuccess);
    {
        dv::test::TemporaryHome other;
        OSStatus status;
        readValue("svc", "a", &status);
        EXPECT_EQ(status, errSecItemNotFound);
    }
    EXPECT_EQ(readValue("svc", "a"), "first home");
}

TEST_F(KeychainTest, CorruptOrTruncatedDatabaseGivesAnErrorNotACrash)
{
    ASSERT_EQ(SecItemAdd(withData(generic("svc", "a"), "v"), nullptr), errSecSuccess);
    const std::string path = dv::KeychainSettings::databasePath();
    std::filesystem::resize_file(path, 100);
    dv::LogCapture capture;
    OSStatus status;
    readValue("svc", "a", &status);
    EXPECT_EQ(status, errSecInternal);
    EXPECT_EQ(SecItemAdd(withData(generic("svc", "b"), "v"), nullptr), errSecInternal);
    EXPECT_TRUE(capture.contains("keychain"));

    std::ofstream(path, std::ios::trunc) << "this is not a database, only some text that is long enough to look like a header......";
    readValue("svc", "a", &status);
    EXPECT_EQ(status, errSecInternal);
}

TEST_F(KeychainTest, ProcessKilledInsideAWriteLosesNothingReported)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(SecItemAdd(withData(generic("svc", ("saved" + std::to_string(i)).c_str()), "kept"), nullptr), errSecSuccess);

    int toParent[2];
    ASSERT_EQ(pipe(toParent), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toParent[0]);
        // Say where we are, then wait to be killed inside the transaction of the update.
        dv::SqliteDatabase::setBeforeCommitHook([&] {
            char c = 'w';
            (void)!write(toParent[1], &c, 1);
            for (;;)
                pause();
        });
        SecItemUpdate(generic("svc", "saved0"), NSDictionary::of({ { kSecValueData, NSData::fromString("half written") } }));
        _exit(0);
    }
    close(toParent[1]);
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    close(toParent[0]);
    kill(child, SIGKILL);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    EXPECT_TRUE(WIFSIGNALED(wstatus));

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readValue("svc", ("saved" + std::to_string(i)).c_str()), "kept");
    // And the database takes writes again.
    EXPECT_EQ(SecItemAdd(withData(generic("svc", "after"), "ok"), nullptr), errSecSuccess);
    EXPECT_EQ(readValue("svc", "after"), "ok");
}

TEST_F(KeychainTest, ProcessKilledBetweenWritesKeepsEveryReportedItem)
{
    const auto reported = dv::test::killAfterReportedWrites(20, [](std::uint32_t i) {
        auto account = "item" + std::to_string(i);
        return SecItemAdd(withData(generic("loop", account.c_str()), account.c_str()), nullptr) == errSecSuccess;
    });
    ASSERT_EQ(reported, 19);

    id result;
    auto query = NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "loop"_ns },
                                    { kSecMatchLimit, kSecMatchLimitAll }, { kSecReturnAttributes, yes() }, { kSecReturnData, yes() } });
    ASSERT_EQ(SecItemCopyMatching(query, &result), errSecSuccess);
    auto all = dv::as<NSArray>(result);
    ASSERT_TRUE(all);
    // Every reported item is there, whole; at most the writes not yet reported follow.
    ASSERT_GE(all->count(), static_cast<NSUInteger>(reported + 1));
    for (std::uint32_t i = 0; i < all->count(); ++i) {
        auto item = dv::as<NSDictionary>(all->objectAtIndex(i));
        auto expected = NSString::stringWithFormat("item%u", i);
        EXPECT_TRUE(dv::equal(item->objectForKey(kSecAttrAccount), expected));
        EXPECT_TRUE(dv::equal(item->objectForKey(kSecValueData), expected->dataUsingEncoding(NSUTF8StringEncoding)));
    }
}

TEST_F(KeychainTest, WritersOnSeveralThreadsAllSucceed)
{
    constexpr int threads = 4, perThread = 8;
    std::vector<std::thread> workers;
    std::atomic<int> failures { 0 };
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &failures] {
            for (int i = 0; i < perThread; ++i) {
                auto account = "t" + std::to_string(t) + "-" + std::to_string(i);
                if (SecItemAdd(withData(generic("busy", account.c_str()), account.c_str()), nullptr) != errSecSuccess)
                    ++failures;
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(failures.load(), 0);
    id result;
    ASSERT_EQ(SecItemCopyMatching(NSDictionary::of({ { kSecClass, kSecClassGenericPassword }, { kSecAttrService, "busy"_ns },
                                                     { kSecMatchLimit, kSecMatchLimitAll }, { kSecReturnAttributes, yes() } }), &result),
              errSecSuccess);
    EXPECT_EQ(dv::as<NSArray>(result)->count(), static_cast<NSUInteger>(threads * perThread));
}

TEST(SecurityServices, RandomBytesAndUnofferedSharedCredentials)
{
    std::uint8_t a[32] = {}, b[32] = {};
    ASSERT_EQ(SecRandomCopyBytes(kSecRandomDefault, sizeof a, a), 0);
    ASSERT_EQ(SecRandomCopyBytes(kSecRandomDefault, sizeof b, b), 0);
    EXPECT_NE(std::memcmp(a, b, sizeof a), 0);

    bool called = false;
    SecRequestSharedWebCredential("example.com"_ns, nil, [&](const Ref<NSArray>& list, const Ref<NSError>& error) {
        called = true;
        EXPECT_EQ(list, nil);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), errSecUnimplemented);
    });
    EXPECT_TRUE(called);
    auto password = SecCreateSharedWebCredentialPassword();
    ASSERT_TRUE(password);
    EXPECT_EQ(password->length(), 15u);
}

} // namespace
