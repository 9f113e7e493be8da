// The keychain of the stand-in platform: items (generic and internet passwords) kept in an SQLite
// database in the device folder, reached through the platform's four item calls and its attribute
// keys. Every call is one transaction, so an item reported added, updated or deleted stays so even
// when the process dies right after. Any thread may call; calls block for the database.
//
//   auto query = NSDictionary::of({{kSecClass, kSecClassGenericPassword}, {kSecAttrAccount, "k"_ns},
//                                  {kSecReturnData, NSNumber::from(true)}});
//   id data; if (SecItemCopyMatching(query, &data) == errSecSuccess) ...
#pragma once

#include "platform/base/NSObject.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using OSStatus = std::int32_t;

enum : OSStatus {
    errSecSuccess = 0,
    errSecUnimplemented = -4,
    errSecParam = -50,
    errSecAllocate = -108,
    errSecNotAvailable = -25291,
    errSecAuthFailed = -25293,
    errSecDuplicateItem = -25299,
    errSecItemNotFound = -25300,
    errSecInteractionNotAllowed = -25308,
    errSecDecode = -26275,
    errSecInternal = -26276, // the keychain database cannot be opened or written
    errSecMissingEntitlement = -34018,
    errSecConversionError = -67594,
};

// Item classes.
extern const Ref<NSString> kSecClass;
extern const Ref<NSString> kSecClassGenericPassword;
extern const Ref<NSString> kSecClassInternetPassword;

// Attributes. Primary key of a generic password: access group, service, account, synchronizable.
// Of an internet password: access group, server, port, protocol, authentication type, path,
// security domain, account, synchronizable.
extern const Ref<NSString> kSecAttrAccessGroup;
extern const Ref<NSString> kSecAttrAccessible;
extern const Ref<NSString> kSecAttrAccessControl;
extern const Ref<NSString> kSecAttrAccount;
extern const Ref<NSString> kSecAttrService;
extern const Ref<NSString> kSecAttrGeneric;
extern const Ref<NSString> kSecAttrLabel;
extern const Ref<NSString> kSecAttrComment;
extern const Ref<NSString> kSecAttrDescription;
extern const Ref<NSString> kSecAttrCreationDate;
extern const Ref<NSString> kSecAttrModificationDate;
extern const Ref<NSString> kSecAttrServer;
extern const Ref<NSString> kSecAttrPort;
extern const Ref<NSString> kSecAttrPath;
extern const Ref<NSString> kSecAttrSecurityDomain;
extern const Ref<NSString> kSecAttrProtocol;
extern const Ref<NSString> kSecAttrAuthenticationType;
extern const Ref<NSString> kSecAttrSynchronizable;
extern const Ref<NSString> kSecAttrSynchronizableAny;

// Accessibility values.
extern const Ref<NSString> kSecAttrAccessibleWhenUnlocked;
extern const Ref<NSString> kSecAttrAccessibleAfterFirstUnlock;
extern const Ref<NSString> kSecAttrAccessibleAlways;
extern const Ref<NSString> kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly;
extern const Ref<NSString> kSecAttrAccessibleWhenUnlockedThisDeviceOnly;
extern const Ref<NSString> kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly;
extern const Ref<NSString> kSecAttrAccessibleAlwaysThisDeviceOnly;

// Protocols of internet passwords.
extern const Ref<NSString> kSecAttrProtocolFTP;
extern const Ref<NSString> kSecAttrProtocolFTPAccount;
extern const Ref<NSString> kSecAttrProtocolHTTP;
extern const Ref<NSString> kSecAttrProtocolIRC;
extern const Ref<NSString> kSecAttrProtocolNNTP;
extern const Ref<NSString> kSecAttrProtocolPOP3;
extern const Ref<NSString> kSecAttrProtocolSMTP;
extern const Ref<NSString> kSecAttrProtocolSOCKS;
extern const Ref<NSString> kSecAttrProtocolIMAP;
extern const Ref<NSString> kSecAttrProtocolLDAP;
extern const Ref<NSString> kSecAttrProtocolAppleTalk;
extern const Ref<NSString> kSecAttrProtocolAFP;
extern const Ref<NSString> kSecAttrProtocolTelnet;
extern const Ref<NSString> kSecAttrProtocolSSH;
extern const Ref<NSString> kSecAttrProtocolFTPS;
extern const Ref<NSString> kSecAttrProtocolHTTPS;
extern const Ref<NSString> kSecAttrProtocolHTTPProxy;
extern const Ref<NSString> kSecAttrProtocolHTTPSProxy;
extern const Ref<NSString> kSecAttrProtocolFTPProxy;
extern const Ref<NSString> kSecAttrProtocolSMB;
extern const Ref<NSString> kSecAttrProtocolRTSP;
extern const Ref<NSString> kSecAttrProtocolRTSPProxy;
extern const Ref<NSString> kSecAttrProtocolDAAP;
extern const Ref<NSString> kSecAttrProtocolEPPC;
extern const Ref<NSString> kSecAttrProtocolNNTPS;
extern const Ref<NSString> kSecAttrProtocolLDAPS;
extern const Ref<NSString> kSecAttrProtocolTelnetS;
extern const Ref<NSString> kSecAttrProtocolIRCS;
extern const Ref<NSString> kSecAttrProtocolPOP3S;

// Authentication types of internet passwords.
extern const Ref<NSString> kSecAttrAuthenticationTypeNTLM;
extern const Ref<NSString> kSecAttrAuthenticationTypeMSN;
extern const Ref<NSString> kSecAttrAuthenticationTypeDPA;
extern const Ref<NSString> kSecAttrAuthenticationTypeRPA;
extern const Ref<NSString> kSecAttrAuthenticationTypeHTTPBasic;
extern const Ref<NSString> kSecAttrAuthenticationTypeHTTPDigest;
extern const Ref<NSString> kSecAttrAuthenticationTypeHTMLForm;
extern const Ref<NSString> kSecAttrAuthenticationTypeDefault;

// Search and return keys.
extern const Ref<NSString> kSecMatchLimit;
extern const Ref<NSString> kSecMatchLimitOne;
extern const Ref<NSString> kSecMatchLimitAll;
extern const Ref<NSString> kSecMatchCaseInsensitive;
extern const Ref<NSString> kSecReturnData;
extern const Ref<NSString> kSecReturnAttributes;
extern const Ref<NSString> kSecReturnRef;
extern const Ref<NSString> kSecReturnPersistentRef;
extern const Ref<NSString> kSecValueData;
extern const Ref<NSString> kSecUseOperationPrompt;
extern const Ref<NSString> kSecUseNoAuthenticationUI;
extern const Ref<NSString> kSecUseAuthenticationUI;
extern const Ref<NSString> kSecUseAuthenticationUIAllow;
extern const Ref<NSString> kSecUseAuthenticationUIFail;
extern const Ref<NSString> kSecUseAuthenticationUISkip;
extern const Ref<NSString> kSecSharedPassword;

// Adds one item. errSecDuplicateItem when an item with the same primary key exists;
// errSecMissingEntitlement for an access group the application is not entitled to; errSecParam
// for a missing class or an attribute of the wrong type. `result` (may be null) receives what
// the kSecReturn… keys ask for.
OSStatus SecItemAdd(const Ref<NSDictionary>& attributes, id* result);
// Finds items. Without kSecMatchLimit one item; with kSecMatchLimitAll an array. Returns data
// (NSData), attributes (NSDictionary) or both (attributes with kSecValueData) as asked; nil when
// nothing is asked. errSecItemNotFound when nothing matches.
OSStatus SecItemCopyMatching(const Ref<NSDictionary>& query, id* result);
// Changes every item that matches; errSecItemNotFound when none does, errSecDuplicateItem when the
// change would give two items the same primary key (nothing is changed then).
OSStatus SecItemUpdate(const Ref<NSDictionary>& query, const Ref<NSDictionary>& attributesToUpdate);
// Deletes every item that matches; errSecItemNotFound when none does.
OSStatus SecItemDelete(const Ref<NSDictionary>& query);

// Access control: an accessibility value with user-presence flags. Items written with one ask
// for the user when their data is read; with authentication UI disallowed such a read answers
// errSecInteractionNotAllowed.
using SecAccessControlCreateFlags = std::uint64_t;
enum : SecAccessControlCreateFlags {
    kSecAccessControlUserPresence = 1u << 0,
    kSecAccessControlTouchIDAny = 1u << 1,
    kSecAccessControlTouchIDCurrentSet = 1u << 3,
    kSecAccessControlDevicePasscode = 1u << 4,
    kSecAccessControlOr = 1u << 14,
    kSecAccessControlAnd = 1u << 15,
    kSecAccessControlPrivateKeyUsage = 1u << 30,
    kSecAccessControlApplicationPassword = 1u << 31,
};

class SecAccessControl : public NSObject {
    DV_CLASS(SecAccessControl, NSObject)

    SecAccessControl() = default;
    Ref<NSString> protection() const { return m_protection; }
    SecAccessControlCreateFlags flags() const { return m_flags; }
    Ref<NSString> description() const override;

private:
    friend Ref<SecAccessControl> SecAccessControlCreateWithFlags(const id&, const Ref<NSString>&, SecAccessControlCreateFlags, Ref<NSError>*);
    Ref<NSString> m_protection;
    SecAccessControlCreateFlags m_flags = 0;
};
using SecAccessControlRef = Ref<SecAccessControl>;

// nil with an NSOSStatusErrorDomain error (errSecParam) for an unknown accessibility value or
// unknown flags. The allocator is ignored (pass nil).
Ref<SecAccessControl> SecAccessControlCreateWithFlags(const id& allocator, const Ref<NSString>& protection,
                                                      SecAccessControlCreateFlags flags, Ref<NSError>* error);

// Cryptographically secure random bytes; 0 on success, -1 on failure.
using SecRandomRef = const void*;
inline constexpr SecRandomRef kSecRandomDefault = nullptr;
int SecRandomCopyBytes(SecRandomRef random, std::size_t count, void* bytes);

// Shared web credentials are not offered by this platform: the completions answer at once, on the
// calling thread, with an NSOSStatusErrorDomain error errSecUnimplemented.
void SecAddSharedWebCredential(const Ref<NSString>& fqdn, const Ref<NSString>& account, const Ref<NSString>& password,
                               const std::function<void(const Ref<NSError>& error)>& completion);
void SecRequestSharedWebCredential(const Ref<NSString>& fqdn, const Ref<NSString>& account,
                                   const std::function<void(const Ref<NSArray>& credentials, const Ref<NSError>& error)>& completion);
// A strong password in the platform's form "abc-def-ghi-jkm".
Ref<NSString> SecCreateSharedWebCredentialPassword();

namespace dv {

// Settings of the keychain stand-in, for the application entry and for tests.
class KeychainSettings {
public:
    // The access groups the application is entitled to; the first is the default group that
    // items get when they name none. Queries without a group search all of them.
    static void setAccessGroups(std::vector<std::string> groups);
    static std::vector<std::string> accessGroups();
    static std::string defaultAccessGroup();
    // A locked device refuses to read the data of items accessible only while unlocked
    // (errSecInteractionNotAllowed), as the platform does.
    static void setDeviceLocked(bool locked);
    static bool deviceLocked();
    // Restores the defaults (the application's groups "DVTEAM0001.com.velmarquest.dovrelta", the
    // default, and "YOURAPPID.com.velmarquest.dovrelta" of the keychain UDID store; unlocked).
    static void reset();
    // The database file, under the device folder of the current DOVRELTA_HOME.
    static std::string databasePath();
};

} // namespace dv
