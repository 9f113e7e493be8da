#include "foundation/identity/KeychainStore.h"

#include "foundation/identity/internal/Platform.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/system/Security.h"

#include <cmath>

DV_DEFINE_CLASS(KeychainStore)

const Ref<NSString> KeychainStoreErrorDomain = "com.velmarquest.keychainstore"_ns;

namespace {

// Set at start-up, but read by stores made on any thread.
dv::Mutex s_defaultServiceLock;
Ref<NSString> s_defaultService DV_GUARDED_BY(s_defaultServiceLock);

// Version gates of the keychain's attributes, on the platform's Foundation version rounded down.
double foundationVersion() { return std::floor(dv::internal::identity::foundationVersionNumber()); }
bool hasSynchronizable() { return foundationVersion() > 993.0; }      // iOS 7
bool hasAccessControl() { return foundationVersion() > 1047.0; }      // iOS 8
bool hasAuthenticationUIFail() { return foundationVersion() > 1144.0; } // iOS 9
bool reAddsInaccessibleItems() { return foundationVersion() <= 1140.0; } // iOS 8.0

constexpr const char* kKeyMustNotBeNil = "the key must not to be nil";
constexpr const char* kStringToData = "failed to convert string to data";
constexpr const char* kDataToString = "failed to convert data to string";
constexpr const char* kUnexpected = "Unexpected error has occurred.";
constexpr const char* kBothPolicyAndSynchronizable = "Cannot specify both an authenticationPolicy and a synchronizable";

void setError(Ref<NSError>* out, const Ref<NSError>& error)
{
    if (out)
        *out = error;
}

Ref<NSNumber> yes() { return NSNumber::numberWithBool(true); }

id protocolValue(KeychainStoreProtocolType type)
{
    static const std::vector<Ref<NSString>> values {
        kSecAttrProtocolFTP, kSecAttrProtocolFTPAccount, kSecAttrProtocolHTTP, kSecAttrProtocolIRC, kSecAttrProtocolNNTP,
        kSecAttrProtocolPOP3, kSecAttrProtocolSMTP, kSecAttrProtocolSOCKS, kSecAttrProtocolIMAP, kSecAttrProtocolLDAP,
        kSecAttrProtocolAppleTalk, kSecAttrProtocolAFP, kSecAttrProtocolTelnet, kSecAttrProtocolSSH, kSecAttrProtocolFTPS,
        kSecAttrProtocolHTTPS, kSecAttrProtocolHTTPProxy, kSecAttrProtocolHTTPSProxy, kSecAttrProtocolFTPProxy, kSecAttrProtocolSMB,
        kSecAttrProtocolRTSP, kSecAttrProtocolRTSPProxy, kSecAttrProtocolDAAP, kSecAttrProtocolEPPC, kSecAttrProtocolNNTPS,
        kSecAttrProtocolLDAPS, kSecAttrProtocolTelnetS, kSecAttrProtocolIRCS, kSecAttrProtocolPOP3S,
    };
    if (type < 1 || type > static_cast<NSInteger>(values.size()))
        return nil;
    return values[static_cast<std::size_t>(type - 1)];
}

id authenticationTypeValue(KeychainStoreAuthenticationType type)
{
    static const std::vector<Ref<NSString>> values {
        kSecAttrAuthenticationTypeNTLM, kSecAttrAuthenticationTypeMSN, kSecAttrAuthenticationTypeDPA,
        kSecAttrAuthenticationTypeRPA, kSecAttrAuthenticationTypeHTTPBasic, kSecAttrAuthenticationTypeHTTPDigest,
        kSecAttrAuthenticationTypeHTMLForm, kSecAttrAuthenticationTypeDefault,
    };
    if (type < 1 || type > static_cast<NSInteger>(values.size()))
        return nil;
    return values[static_cast<std::size_t>(type - 1)];
}

id accessibilityValue(KeychainStoreAccessibility accessibility)
{
    // Our own order, not the keychain's order of these constants.
    static const std::vector<Ref<NSString>> values {
        kSecAttrAccessibleWhenUnlocked, kSecAttrAccessibleAfterFirstUnlock, kSecAttrAccessibleAlways,
        kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly, kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
        kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly, kSecAttrAccessibleAlwaysThisDeviceOnly,
    };
    if (accessibility < 1 || accessibility > static_cast<NSInteger>(values.size()))
        return nil;
    return values[static_cast<std::size_t>(accessibility - 1)];
}

id itemClassValue(KeychainStoreItemClass itemClass)
{
    switch (itemClass) {
    case KeychainStoreItemClassGenericPassword:
        return kSecClassGenericPassword;
    case KeychainStoreItemClassInternetPassword:
        return kSecClassInternetPassword;
    default:
        return nil;
    }
}

Ref<NSString> utf8String(const Ref<NSData>& data)
{
    return alloc<NSString>()->initWithData(data, NSUTF8StringEncoding);
}

Ref<NSError> makeError(NSInteger code, const Ref<NSString>& description, bool security)
{
    auto error = NSError::errorWithDomain(KeychainStoreErrorDomain, code, NSDictionary::of({ { NSLocalizedDescriptionKey, description } }));
    NSLog(security ? "OSStatus error: [%@] %@" : "error: [%@] %@", NSNumber::numberWithInteger(code), description);
    return error;
}

} // namespace

// Construction ---------------------------------------------------------------------------------

Ref<KeychainStore> KeychainStore::init()
{
    return initWithService(nil, nil);
}

Ref<KeychainStore> KeychainStore::initWithService(const Ref<NSString>& service)
{
    return initWithService(service, nil);
}

Ref<KeychainStore> KeychainStore::initWithService(const Ref<NSString>& service, const Ref<NSString>& accessGroup)
{
    m_itemClass = KeychainStoreItemClassGenericPassword;
    m_service = service ? dv::copyAs<NSString>(service) : defaultService();
    m_accessGroup = dv::copyAs<NSString>(accessGroup);
    return commonInit();
}

Ref<KeychainStore> KeychainStore::initWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType)
{
    return initWithServer(server, protocolType, KeychainStoreAuthenticationTypeDefault);
}

Ref<KeychainStore> KeychainStore::initWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType,
                                                 KeychainStoreAuthenticationType authenticationType)
{
    m_itemClass = KeychainStoreItemClassInternetPassword;
    m_server = dv::copyAs<NSURL>(server);
    m_protocolType = protocolType;
    m_authenticationType = authenticationType;
    return commonInit();
}

Ref<KeychainStore> KeychainStore::commonInit()
{
    m_accessibility = KeychainStoreAccessibilityAfterFirstUnlock;
    return self<KeychainStore>();
}

Ref<KeychainStore> KeychainStore::keyChainStore() { return keyChainStoreWithService(nil); }
Ref<KeychainStore> KeychainStore::keyChainStoreWithService(const Ref<NSString>& service) { return alloc<KeychainStore>()->initWithService(service); }
Ref<KeychainStore> KeychainStore::keyChainStoreWithService(const Ref<NSString>& service, const Ref<NSString>& accessGroup)
{
    return alloc<KeychainStore>()->initWithService(service, accessGroup);
}
Ref<KeychainStore> KeychainStore::keyChainStoreWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType)
{
    return alloc<KeychainStore>()->initWithServer(server, protocolType);
}
Ref<KeychainStore> KeychainStore::keyChainStoreWithServer(const Ref<NSURL>& server, KeychainStoreProtocolType protocolType,
                                                          KeychainStoreAuthenticationType authenticationType)
{
    return alloc<KeychainStore>()->initWithServer(server, protocolType, authenticationType);
}

Ref<NSString> KeychainStore::defaultService()
{
    dv::MutexLocker lock(s_defaultServiceLock);
    if (!s_defaultService) {
        auto identifier = dv::internal::identity::mainBundleIdentifier();
        s_defaultService = identifier ? identifier : ""_ns;
    }
    return s_defaultService;
}

void KeychainStore::setDefaultService(const Ref<NSString>& service)
{
    dv::MutexLocker lock(s_defaultServiceLock);
    s_defaultService = dv::copyAs<NSString>(service);
}

// Settings -------------------------------------------------------------------------------------

void KeychainStore::setSynchronizable(bool synchronizable)
{
    m_synchronizable = synchronizable;
    if (m_authenticationPolicy)
        NSLog("%s", kBothPolicyAndSynchronizable);
}

void KeychainStore::setAccessibility(KeychainStoreAccessibility accessibility, KeychainStoreAuthenticationPolicy authenticationPolicy)
{
    m_accessibility = accessibility;
    m_authenticationPolicy = authenticationPolicy;
    if (m_synchronizable)
        NSLog("%s", kBothPolicyAndSynchronizable);
}

// Query and attributes -------------------------------------------------------------------------

id KeychainStore::itemClassObject() const { return itemClassValue(m_itemClass); }
id KeychainStore::protocolTypeObject() const { return protocolValue(m_protocolType); }
id KeychainStore::authenticationTypeObject() const { return authenticationTypeValue(m_authenticationType); }
id KeychainStore::accessibilityObject() const { return accessibilityValue(m_accessibility); }

Ref<NSMutableDictionary> KeychainStore::query() const
{
    auto query = NSMutableDictionary::dictionary();
    query->setObjectForKeyedSubscript(itemClassObject(), kSecClass);
    if (hasSynchronizable())
        query->setObjectForKey(kSecAttrSynchronizableAny, kSecAttrSynchronizable);
    if (m_itemClass == KeychainStoreItemClassGenericPassword) {
        query->setObjectForKeyedSubscript(m_service, kSecAttrService);
        if (m_accessGroup)
            query->setObjectForKey(m_accessGroup, kSecAttrAccessGroup);
    } else if (m_itemClass == KeychainStoreItemClassInternetPassword) {
        if (m_server) {
            if (auto host = m_server->host())
                query->setObjectForKey(host, kSecAttrServer);
            if (auto port = m_server->port())
                query->setObjectForKey(port, kSecAttrPort);
        }
        query->setObjectForKeyedSubscript(protocolTypeObject(), kSecAttrProtocol);
        query->setObjectForKeyedSubscript(authenticationTypeObject(), kSecAttrAuthenticationType);
    }
    if (m_authenticationPrompt) {
        if (hasAccessControl())
            query->setObjectForKey(m_authenticationPrompt, kSecUseOperationPrompt);
        else
            NSLog("Unavailable 'authenticationPrompt' attribute on iOS versions prior to 8.0.");
    }
    return query;
}

Ref<NSMutableDictionary> KeychainStore::attributesWithKey(const Ref<NSString>& key, const Ref<NSData>& value, Ref<NSError>* error) const
{
    Ref<NSMutableDictionary> attributes;
    if (key) {
        attributes = query();
        attributes->setObjectForKey(key, kSecAttrAccount);
    } else {
        attributes = NSMutableDictionary::dictionary();
    }
    attributes->setObjectForKeyedSubscript(value, kSecValueData);

    id accessible = accessibilityObject();
    if (!accessible || m_authenticationPolicy == 0) {
        if (!hasAccessControl() && m_accessibility == KeychainStoreAccessibilityWhenPasscodeSetThisDeviceOnly)
            NSLog("Unavailable 'KeychainStoreAccessibilityWhenPasscodeSetThisDeviceOnly' attribute on iOS versions prior to 8.0.");
        else if (accessible)
            attributes->setObjectForKey(accessible, kSecAttrAccessible);
    } else if (hasAccessControl()) {
        Ref<NSError> platformError;
        auto accessControl = SecAccessControlCreateWithFlags(nil, dv::as<NSString>(accessible), m_authenticationPolicy, &platformError);
        if (platformError) {
            NSLog("error: [%@] %@", NSNumber::numberWithInteger(platformError->code()), platformError->localizedDescription());
            if (error) {
                *error = platformError;
                return nil;
            }
        }
        if (!accessControl) {
            setError(error, unexpectedError(NSString::fromUTF8(kUnexpected)));
            return nil;
        }
        attributes->setObjectForKey(accessControl, kSecAttrAccessControl);
    } else {
        NSLog("Unavailable 'Touch ID integration' on iOS versions prior to 8.0.");
    }

    if (hasSynchronizable())
        attributes->setObjectForKey(NSNumber::numberWithBool(m_synchronizable), kSecAttrSynchronizable);
    return attributes;
}

// Reading --------------------------------------------------------------------------------------

bool KeychainStore::contains(const Ref<NSString>& key) const
{
    // Without a key the query would match every item of the store; a nil key is never contained.
    if (!key)
        return false;
    auto query = this->query();
    query->setObjectForKey(key, kSecAttrAccount);
    return SecItemCopyMatching(query, nullptr) == errSecSuccess;
}

Ref<NSData> KeychainStore::dataForKey(const Ref<NSString>& key, Ref<NSError>* error) const
{
    // A nil key would read whichever item comes first: answer nil as for a missing item.
    if (!key)
        return nil;
    auto query = this->query();
    query->setObjectForKey(kSecMatchLimitOne, kSecMatchLimit);
    query->setObjectForKey(yes(), kSecReturnData);
    query->setObjectForKey(key, kSecAttrAccount);
    id result;
    OSStatus status = SecItemCopyMatching(query, &result);
    if (status == errSecItemNotFound)
        return nil;
    if (status != errSecSuccess) {
        setError(error, securityError(status));
        return nil;
    }
    auto data = dv::as<NSData>(result);
    if (!data) {
        setError(error, unexpectedError(NSString::fromUTF8(kUnexpected)));
        return nil;
    }
    return NSData::dataWithData(data);
}

Ref<NSString> KeychainStore::stringForKey(const Ref<NSString>& key, Ref<NSError>* error) const
{
    auto data = dataForKey(key, error);
    if (!data)
        return nil;
    auto string = utf8String(data);
    if (!string) {
        setError(error, conversionError(NSString::fromUTF8(kDataToString)));
        return nil;
    }
    return string;
}

// Writing --------------------------------------------------------------------------------------

bool KeychainStore::setString(const Ref<NSString>& string, const Ref<NSString>& key, Ref<NSError>* error)
{
    return setString(string, key, nil, nil, nil, error);
}

bool KeychainStore::setString(const Ref<NSString>& string, const Ref<NSString>& key, const id& genericAttribute, Ref<NSError>* error)
{
    return setString(string, key, genericAttribute, nil, nil, error);
}

bool KeychainStore::setString(const Ref<NSString>& string, const Ref<NSString>& key, const Ref<NSString>& label, const Ref<NSString>& comment,
                              Ref<NSError>* error)
{
    return setString(string, key, nil, label, comment, error);
}

bool KeychainStore::setString(const Ref<NSString>& string, const Ref<NSString>& key, const id& genericAttribute, const Ref<NSString>& label,
                              const Ref<NSString>& comment, Ref<NSError>* error)
{
    if (!string)
        return removeItemForKey(key, error);
    auto data = string->dataUsingEncoding(NSUTF8StringEncoding);
    if (!data) {
        setError(error, conversionError(NSString::fromUTF8(kStringToData)));
        return false;
    }
    return setData(data, key, genericAttribute, label, comment, error);
}

bool KeychainStore::setData(const Ref<NSData>& data, const Ref<NSString>& key, Ref<NSError>* error)
{
    return setData(data, key, nil, nil, nil, error);
}

bool KeychainStore::setData(const Ref<NSData>& data, const Ref<NSString>& key, const id& genericAttribute, Ref<NSError>* error)
{
    return setData(data, key, genericAttribute, nil, nil, error);
}

bool KeychainStore::setData(const Ref<NSData>& data, const Ref<NSString>& key, const Ref<NSString>& label, const Ref<NSString>& comment,
                            Ref<NSError>* error)
{
    return setData(data, key, nil, label, comment, error);
}

bool KeychainStore::setData(const Ref<NSData>& data, const Ref<NSString>& key, const id& genericAttribute, const Ref<NSString>& label,
                            const Ref<NSString>& comment, Ref<NSError>* error)
{
    if (!key) {
        setError(error, argumentError(NSString::fromUTF8(kKeyMustNotBeNil)));
        return false;
    }
    if (!data)
        return removeItemForKey(key, error);

    // Look the item up without ever prompting the user.
    auto lookup = query();
    lookup->setObjectForKey(key, kSecAttrAccount);
    if (hasAuthenticationUIFail())
        lookup->setObjectForKey(kSecUseAuthenticationUIFail, kSecUseAuthenticationUI);
    else if (hasAccessControl())
        lookup->setObjectForKey(yes(), kSecUseNoAuthenticationUI);
    OSStatus status = SecItemCopyMatching(lookup, nullptr);

    auto addOptional = [&](const Ref<NSMutableDictionary>& attributes) {
        attributes->setObjectForKeyedSubscript(genericAttribute, kSecAttrGeneric);
        attributes->setObjectForKeyedSubscript(label, kSecAttrLabel);
        attributes->setObjectForKeyedSubscript(comment, kSecAttrComment);
    };
    auto attributesFailed = [&](const Ref<NSError>& failure) {
        NSLog("error: [%@] %@", NSNumber::numberWithInteger(failure ? failure->code() : KeychainStoreErrorUnexpected),
              NSString::fromUTF8(kUnexpected));
        return false;
    };

    if (status == errSecSuccess || status == errSecInteractionNotAllowed) {
        auto match = query();
        match->setObjectForKey(key, kSecAttrAccount);
        Ref<NSError> attributesError;
        auto attributes = attributesWithKey(nil, data, error ? &attributesError : nullptr);
        if (!attributes) {
            setError(error, attributesError);
            return attributesFailed(attributesError);
        }
        addOptional(attributes);
        if (status == errSecInteractionNotAllowed && reAddsInaccessibleItems()) {
            // The item cannot be updated while it is inaccessible: replace it.
            if (!removeItemForKey(key, nullptr)) {
                setError(error, securityError(errSecInteractionNotAllowed));
                return false;
            }
            return setData(data, key, label, comment, error);
        }
        status = SecItemUpdate(match, attributes);
        if (status != errSecSuccess) {
            setError(error, securityError(status));
            return false;
        }
        return true;
    }
    if (status == errSecItemNotFound) {
        Ref<NSError> attributesError;
        auto attributes = attributesWithKey(key, data, error ? &attributesError : nullptr);
        if (!attributes) {
            setError(error, attributesError);
            return attributesFailed(attributesError);
        }
        addOptional(attributes);
        status = SecItemAdd(attributes, nullptr);
        if (status != errSecSuccess) {
            setError(error, securityError(status));
            return false;
        }
        return true;
    }
    setError(error, securityError(status));
    return false;
}

// Removing -------------------------------------------------------------------------------------

bool KeychainStore::removeItemForKey(const Ref<NSString>& key, Ref<NSError>* error)
{
    // Without a key the deletion would take every item of the store with it.
    if (!key) {
        setError(error, argumentError(NSString::fromUTF8(kKeyMustNotBeNil)));
        return false;
    }
    auto query = this->query();
    query->setObjectForKey(key, kSecAttrAccount);
    OSStatus status = SecItemDelete(query);
    if (status != errSecSuccess && status != errSecItemNotFound) {
        setError(error, securityError(status));
        return false;
    }
    return true;
}

bool KeychainStore::removeAllItemsWithError(Ref<NSError>* error)
{
    OSStatus status = SecItemDelete(query());
    if (status != errSecSuccess && status != errSecItemNotFound) {
        setError(error, securityError(status));
        return false;
    }
    return true;
}

void KeychainStore::setObjectForKeyedSubscript(const Ref<NSString>& string, const Ref<NSString>& key)
{
    if (string)
        setString(string, key);
    else
        removeItemForKey(key);
}

bool KeychainStore::synchronizeWithError(Ref<NSError>*)
{
    return true;
}

// Errors ---------------------------------------------------------------------------------------

Ref<NSError> KeychainStore::argumentError(const Ref<NSString>& message)
{
    return makeError(KeychainStoreErrorInvalidArguments, dv::internal::identity::localizedString(message), false);
}

Ref<NSError> KeychainStore::conversionError(const Ref<NSString>& message)
{
    return makeError(KeychainStoreErrorConversion, dv::internal::identity::localizedString(message), false);
}

Ref<NSError> KeychainStore::securityError(std::int32_t status)
{
    return makeError(status, "Security error has occurred."_ns, true);
}

Ref<NSError> KeychainStore::unexpectedError(const Ref<NSString>& message)
{
    return makeError(KeychainStoreErrorUnexpected, dv::internal::identity::localizedString(message), false);
}
