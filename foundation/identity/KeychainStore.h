// KeychainStore: a key-value store over the keychain. Every key is one item: a generic password
// found by service, access group and account, or an internet password found by server, port,
// protocol, authentication type and account. The value is the item's data; strings are kept as
// their UTF-8 bytes. A store keeps no keychain state of its own: every call asks the keychain
// afresh, so two stores over the same service see each other's writes at once.
//
// Any thread may use a store; each call blocks its thread for the keychain. Failures come back
// as a NO or nil result and, when the caller passes one, through the error out-parameter (domain
// KeychainStoreErrorDomain). A missing item is not a failure: reads answer nil with no error,
// removals answer YES.
//
//   auto store = KeychainStore::keyChainStoreWithService("com.example.login"_ns);
//   store->setString("secret"_ns, "password"_ns);
//   Ref<NSString> value = store->stringForKey("password"_ns);
//
// Class operations (one-shot stores built per call) that would take the same arguments as an
// instance operation are named after their whole selector: `+stringForKey:service:accessGroup:`
// is `stringForKeyService(key, service, accessGroup)`, and the short `+stringForKey:` is the same
// call with a nil service (the default service).
#pragma once

#include "platform/base/NSObject.h"

#include <cstdint>
#include <functional>

using KeychainStoreItemClass = NSInteger;
enum : KeychainStoreItemClass {
    KeychainStoreItemClassGenericPassword = 1,
    KeychainStoreItemClassInternetPassword = 2,
};

using KeychainStoreProtocolType = NSInteger;
enum : KeychainStoreProtocolType {
    KeychainStoreProtocolTypeNone = 0,
    KeychainStoreProtocolTypeFTP = 1,
    KeychainStoreProtocolTypeFTPAccount,
    KeychainStoreProtocolTypeHTTP,
    KeychainStoreProtocolTypeIRC,
    KeychainStoreProtocolTypeNNTP,
    KeychainStoreProtocolTypePOP3,
    KeychainStoreProtocolTypeSMTP,
    KeychainStoreProtocolTypeSOCKS,
    KeychainStoreProtocolTypeIMAP,
    KeychainStoreProtocolTypeLDAP,
    KeychainStoreProtocolTypeAppleTalk,
    KeychainStoreProtocolTypeAFP,
    KeychainStoreProtocolTypeTelnet,
    KeychainStoreProtocolTypeSSH,
    KeychainStoreProtocolTypeFTPS,
    KeychainStoreProtocolTypeHTTPS,
    KeychainStoreProtocolTypeHTTPProxy,
    KeychainStoreProtocolTypeHTTPSProxy,
    KeychainStoreProtocolTypeFTPProxy,
    KeychainStoreProtocolTypeSMB,
    KeychainStoreProtocolTypeRTSP,
    KeychainStoreProtocolTypeRTSPProxy,
    KeychainStoreProtocolTypeDAAP,
    KeychainStoreProtocolTypeEPPC,
    KeychainStoreProtocolTypeNNTPS,
    KeychainStoreProtocolTypeLDAPS,
    KeychainStoreProtocolTypeTelnetS,
    KeychainStoreProtocolTypeIRCS,
    KeychainStoreProtocolTypePOP3S,
};

using KeychainStoreAuthenticationType = NSInteger;
enum : KeychainStoreAuthenticationType {
    KeychainStoreAuthenticationTypeNTLM = 1,
    KeychainStoreAuthenticationTypeMSN,
    KeychainStoreAuthenticationTypeDPA,
    KeychainStoreAuthenticationTypeRPA,
    KeychainStoreAuthenticationTypeHTTPBasic,
    KeychainStoreAuthenticationTypeHTTPDigest,
    KeychainStoreAuthenticationTypeHTMLForm,
    KeychainStoreAuthenticationTypeDefault,
};

using KeychainStoreAccessibility = NSInteger;
enum : KeychainStoreAccessibility {
    KeychainStoreAccessibilityWhenUnlocked = 1,
    KeychainStoreAccessibilityAfterFirstUnlock,
    KeychainStoreAccessibilityAlways,
    KeychainStoreAccessibilityWhenPasscodeSetThisDeviceOnly,
    KeychainStoreAccessibilityWhenUnlockedThisDeviceOnly,
    KeychainStoreAccessibilityAfterFirstUnlockThisDeviceOnly,
    KeychainStoreAccessibilityAlwaysThisDeviceOnly,
};

// User-presence flags, passed unchanged to the keychain's access-control object.
using KeychainStoreAuthenticationPolicy = std::uint64_t;
enum : KeychainStoreAuthenticationPolicy {
    KeychainStoreAuthenticationPolicyUserPresence = 1u << 0,
    KeychainStoreAuthenticationPolicyTouchIDAny = 1u << 1,
    KeychainStoreAuthenticationPolicyTouchIDCurrentSet = 1u << 3,
    KeychainStoreAuthenticationPolicyDevicePasscode = 1u << 4,
    KeychainStoreAuthenticationPolicyControlOr = 1u << 14,
    KeychainStoreAuthenticationPolicyControlAnd = 1u << 15,
    KeychainStoreAuthenticationPolicyPrivateKeyUsage = 1u << 30,
    KeychainStoreAuthenticationPolicyApplicationPassword = 1ull << 31,
};

// "com.velmarquest.keychainstore"
extern const Ref<NSString> KeychainStoreErrorDomain;

using KeychainStoreErrorCode = NSInteger;
enum : KeychainStoreErrorCode {
    KeychainStoreErrorInvalidArguments = 1,
    KeychainStoreErrorConversion = -67594,
    KeychainStoreErrorUnexpected = -99999,
};

class KeychainStore : public NSObject {
    DV_CLASS(KeychainStore, NSObject)

    KeychainStore() = default;

    // Construction. A nil service means the default service.
    Ref<KeychainStore> init();
    Ref<KeychainStore> initWithService(const Ref<NSString>& service);
    Ref<KeychainStore> initWithService(const Ref<NSString>& service, const Ref<NSString>& accessGroup);
    Ref<KeychainStore> initWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType);
    Ref<KeychainStore> initWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType,
                                      KeychainStoreAuthenticationType authenticationType);
    static Ref<KeychainStore> keyChainStore();
    static Ref<KeychainStore> keyChainStoreWithService(const Ref<NSString>& service);
    static Ref<KeychainStore> keyChainStoreWithService(const Ref<NSString>& service, const Ref<NSString>& accessGroup);
    static Ref<KeychainStore> keyChainStoreWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType);
    static Ref<KeychainStore> keyChainStoreWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType,
                                                      KeychainStoreAuthenticationType authenticationType);

    // The process-wide default service: the main bundle's identifier, or "" without one. Setting
    // nil makes the next read compute it again. Set it at start-up.
    static Ref<NSString> defaultService();
    static void setDefaultService(const Ref<NSString>& service);

    // Properties.
    KeychainStoreItemClass itemClass() const { return m_itemClass; }
    Ref<NSString> service() const { return m_service; }
    Ref<NSString> accessGroup() const { return m_accessGroup; }
    Ref<NSURL> server() const { return m_server; }
    KeychainStoreProtocolType protocolType() const { return m_protocolType; }
    KeychainStoreAuthenticationType authenticationType() const { return m_authenticationType; }
    KeychainStoreAccessibility accessibility() const { return m_accessibility; }
    void setAccessibility(KeychainStoreAccessibility accessibility) { m_accessibility = accessibility; }
    KeychainStoreAuthenticationPolicy authenticationPolicy() const { return m_authenticationPolicy; }
    bool synchronizable() const { return m_synchronizable; }
    void setSynchronizable(bool synchronizable);
    Ref<NSString> authenticationPrompt() const { return m_authenticationPrompt; }
    void setAuthenticationPrompt(const Ref<NSString>& prompt) { m_authenticationPrompt = prompt; }
    void setAccessibility(KeychainStoreAccessibility accessibility, KeychainStoreAuthenticationPolicy authenticationPolicy);

    // Instance operations. The error out-parameter may be null.
    bool contains(const Ref<NSString>& key) const;

    Ref<NSString> stringForKey(const Ref<NSString>& key, Ref<NSError>* error = nullptr) const;
    bool setString(const Ref<NSString>& string, const Ref<NSString>& key, Ref<NSError>* error = nullptr);
    bool setString(const Ref<NSString>& string, const Ref<NSString>& key, const id& genericAttribute, Ref<NSError>* error = nullptr);
    bool setString(const Ref<NSString>& string, const Ref<NSString>& key, const Ref<NSString>& label, const Ref<NSString>& comment,
                   Ref<NSError>* error = nullptr);
    bool setString(const Ref<NSString>& string, const Ref<NSString>& key, const id& genericAttribute, const Ref<NSString>& label,
                   const Ref<NSString>& comment, Ref<NSError>* error);

    Ref<NSData> dataForKey(const Ref<NSString>& key, Ref<NSError>* error = nullptr) const;
    bool setData(const Ref<NSData>& data, const Ref<NSString>& key, Ref<NSError>* error = nullptr);
    bool setData(const Ref<NSData>& data, const Ref<NSString>& key, const id& genericAttribute, Ref<NSError>* error = nullptr);
    bool setData(const Ref<NSData>& data, const Ref<NSString>& key, const Ref<NSString>& label, const Ref<NSString>& comment,
                 Ref<NSError>* error = nullptr);
    bool setData(const Ref<NSData>& data, const Ref<NSString>& key, const id& genericAttribute, const Ref<NSString>& label,
                 const Ref<NSString>& comment, Ref<NSError>* error);

    bool removeItemForKey(const Ref<NSString>& key, Ref<NSError>* error = nullptr);
    bool removeAllItems() { return removeAllItemsWithError(nullptr); }
    bool removeAllItemsWithError(Ref<NSError>* error);

    // Subscripting: a nil value removes the item.
    Ref<NSString> objectForKeyedSubscript(const Ref<NSString>& key) const { return stringForKey(key); }
    void setObjectForKeyedSubscript(const Ref<NSString>& string, const Ref<NSString>& key);

    // Listing: the keys, the items as readable dictionaries, the keychain's raw attribute
    // dictionaries (nil on a keychain failure, empty when there is nothing).
    Ref<NSArray> allKeys() const;
    Ref<NSArray> allItems() const;
    Ref<NSArray> items() const;

    // Shared web credentials of an internet-password store.
    void sharedPasswordWithCompletion(std::function<void(const Ref<NSString>& account, const Ref<NSString>& password, const Ref<NSError>& error)> completion);
    void sharedPasswordForAccount(const Ref<NSString>& account, std::function<void(const Ref<NSString>& password, const Ref<NSError>& error)> completion);
    void setSharedPassword(const Ref<NSString>& password, const Ref<NSString>& account, std::function<void(const Ref<NSError>& error)> completion);
    void removeSharedPasswordForAccount(const Ref<NSString>& account, std::function<void(const Ref<NSError>& error)> completion);

    // "()" without items, else "(\n" and each item's description indented by four spaces, ")".
    Ref<NSString> description() const override;
    // The raw attribute dictionaries.
    Ref<NSString> debugDescription() const override;

    // Kept for older callers: synchronizing is not needed.
    void synchronize() { }
    bool synchronizeWithError(Ref<NSError>* error);

    // Class operations over a store made for the call (nil service: the default service).
    static Ref<NSString> stringForKeyService(const Ref<NSString>& key, const Ref<NSString>& service, const Ref<NSString>& accessGroup = nil,
                                             Ref<NSError>* error = nullptr);
    static Ref<NSData> dataForKeyService(const Ref<NSString>& key, const Ref<NSString>& service, const Ref<NSString>& accessGroup = nil,
                                         Ref<NSError>* error = nullptr);
    static bool setStringForKeyService(const Ref<NSString>& string, const Ref<NSString>& key, const Ref<NSString>& service,
                                       const Ref<NSString>& accessGroup = nil, const id& genericAttribute = nil, Ref<NSError>* error = nullptr);
    static bool setDataForKeyService(const Ref<NSData>& data, const Ref<NSString>& key, const Ref<NSString>& service,
                                     const Ref<NSString>& accessGroup = nil, const id& genericAttribute = nil, Ref<NSError>* error = nullptr);
    static bool removeItemForKeyService(const Ref<NSString>& key, const Ref<NSString>& service, const Ref<NSString>& accessGroup = nil,
                                        Ref<NSError>* error = nullptr);
    static bool removeAllItemsForService(const Ref<NSString>& service, const Ref<NSString>& accessGroup = nil, Ref<NSError>* error = nullptr);

    // Every item of a class across all services: readable dictionaries, or only their
    // service (server) and key.
    static Ref<NSArray> allKeysWithItemClass(KeychainStoreItemClass itemClass);
    static Ref<NSArray> allItemsWithItemClass(KeychainStoreItemClass itemClass);
    static Ref<NSArray> prettify(const id& itemClass, const Ref<NSArray>& items);

    static void requestSharedWebCredentialWithCompletion(std::function<void(const Ref<NSArray>& credentials, const Ref<NSError>& error)> completion);
    static void requestSharedWebCredentialForDomain(const Ref<NSString>& domain, const Ref<NSString>& account,
                                                    std::function<void(const Ref<NSArray>& credentials, const Ref<NSError>& error)> completion);
    static Ref<NSString> generatePassword();

    // The store's errors; each also writes a line to the log.
    static Ref<NSError> argumentError(const Ref<NSString>& message);
    static Ref<NSError> conversionError(const Ref<NSString>& message);
    static Ref<NSError> securityError(std::int32_t status);
    static Ref<NSError> unexpectedError(const Ref<NSString>& message);

    // The query, attributes and attribute values the store hands to the keychain.
    Ref<NSMutableDictionary> query() const;
    Ref<NSMutableDictionary> attributesWithKey(const Ref<NSString>& key, const Ref<NSData>& value, Ref<NSError>* error) const;
    id itemClassObject() const;
    id protocolTypeObject() const;
    id authenticationTypeObject() const;
    id accessibilityObject() const;

private:
    Ref<KeychainStore> commonInit();
    Ref<NSString> requiredServerHost(Ref<NSError>& error) const;

    KeychainStoreItemClass m_itemClass = KeychainStoreItemClassGenericPassword;
    Ref<NSString> m_service;
    Ref<NSString> m_accessGroup;
    Ref<NSURL> m_server;
    KeychainStoreProtocolType m_protocolType = KeychainStoreProtocolTypeNone;
    KeychainStoreAuthenticationType m_authenticationType = KeychainStoreAuthenticationTypeDefault;
    KeychainStoreAccessibility m_accessibility = KeychainStoreAccessibilityAfterFirstUnlock;
    KeychainStoreAuthenticationPolicy m_authenticationPolicy = 0;
    bool m_synchronizable = false;
    Ref<NSString> m_authenticationPrompt;
};
