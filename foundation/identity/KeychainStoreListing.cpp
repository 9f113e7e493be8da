// KeychainStore: listing, description, shared web credentials and the one-shot class operations.

#include "foundation/identity/KeychainStore.h"

#include "foundation/identity/internal/Platform.h"
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

namespace {

constexpr const char* kKeyMustNotBeNil = "the key must not to be nil";
constexpr const char* kServerMustNotBeNil =
    "the server property must not to be nil, should use 'keyChainStoreWithServer:protocolType:' initializer to instantiate keychain store";
constexpr const char* kStringToData = "failed to convert string to data";

void setError(Ref<NSError>* out, const Ref<NSError>& error)
{
    if (out)
        *out = error;
}

Ref<NSNumber> yes() { return NSNumber::numberWithBool(true); }

Ref<NSArray> arrayResult(const id& result)
{
    if (auto array = dv::as<NSArray>(result))
        return array;
    if (result)
        return NSArray::arrayWithObject(result);
    return NSArray::array();
}

// Every item `query` matches: an empty list when there is none, nil when the keychain fails.
Ref<NSArray> allMatching(const Ref<NSDictionary>& query)
{
    id result;
    OSStatus status = SecItemCopyMatching(query, &result);
    if (status == errSecItemNotFound)
        return NSArray::array();
    if (status != errSecSuccess)
        return nil;
    return arrayResult(result);
}

Ref<NSMutableDictionary> classQuery(KeychainStoreItemClass itemClass, bool withData)
{
    auto query = NSMutableDictionary::dictionary();
    query->setObjectForKey(itemClass == KeychainStoreItemClassInternetPassword ? kSecClassInternetPassword : kSecClassGenericPassword, kSecClass);
    query->setObjectForKey(kSecMatchLimitAll, kSecMatchLimit);
    query->setObjectForKey(yes(), kSecReturnAttributes);
    if (withData)
        query->setObjectForKey(yes(), kSecReturnData);
    return query;
}

} // namespace

// Listing --------------------------------------------------------------------------------------

Ref<NSArray> KeychainStore::items() const
{
    auto query = this->query();
    query->setObjectForKey(kSecMatchLimitAll, kSecMatchLimit);
    query->setObjectForKey(yes(), kSecReturnAttributes);
    query->setObjectForKey(yes(), kSecReturnData);
    return allMatching(query);
}

Ref<NSArray> KeychainStore::prettify(const id& itemClass, const Ref<NSArray>& items)
{
    auto prettified = NSMutableArray::array();
    if (!items)
        return NSArray::array();
    const bool internet = dv::equal(itemClass, kSecClassInternetPassword);
    for (const id& element : items->items()) {
        auto attributes = dv::as<NSDictionary>(element);
        if (!attributes)
            continue;
        auto item = NSMutableDictionary::dictionary();
        auto copy = [&](const Ref<NSString>& from, const char* to) {
            if (id value = attributes->objectForKey(from))
                item->setObjectForKey(value, NSString::fromUTF8(to));
        };
        if (internet) {
            item->setObjectForKey("InternetPassword"_ns, "class"_ns);
            copy(kSecAttrServer, "server");
            copy(kSecAttrProtocol, "protocol");
            copy(kSecAttrAuthenticationType, "authenticationType");
        } else {
            item->setObjectForKey("GenericPassword"_ns, "class"_ns);
            copy(kSecAttrService, "service");
            copy(kSecAttrAccessGroup, "accessGroup");
        }
        copy(kSecAttrAccount, "key");
        if (auto data = dv::as<NSData>(attributes->objectForKey(kSecValueData))) {
            auto string = alloc<NSString>()->initWithData(data, NSUTF8StringEncoding);
            item->setObjectForKey(string ? id(string) : id(data), "value"_ns);
        }
        copy(kSecAttrAccessible, "accessibility");
        if (std::floor(dv::internal::identity::foundationVersionNumber()) > 993.0)
            copy(kSecAttrSynchronizable, "synchronizable");
        prettified->addObject(item->copy());
    }
    return NSArray::arrayWithArray(prettified);
}

Ref<NSArray> KeychainStore::allItems() const
{
    return prettify(itemClassObject(), items());
}

Ref<NSArray> KeychainStore::allKeys() const
{
    auto keys = NSMutableArray::array();
    if (auto all = allItems()) {
        for (const id& element : all->items()) {
            auto item = dv::as<NSDictionary>(element);
            if (id key = item ? item->objectForKey("key"_ns) : nil)
                keys->addObject(key);
        }
    }
    return NSArray::arrayWithArray(keys);
}

Ref<NSArray> KeychainStore::allItemsWithItemClass(KeychainStoreItemClass itemClass)
{
    auto query = classQuery(itemClass, true);
    auto items = allMatching(query);
    return items ? prettify(query->objectForKey(kSecClass), items) : nil;
}

Ref<NSArray> KeychainStore::allKeysWithItemClass(KeychainStoreItemClass itemClass)
{
    auto query = classQuery(itemClass, false);
    auto items = allMatching(query);
    if (!items)
        return nil;
    const bool internet = itemClass == KeychainStoreItemClassInternetPassword;
    auto where = internet ? "server"_ns : "service"_ns;
    auto keys = NSMutableArray::array();
    auto prettified = prettify(query->objectForKey(kSecClass), items);
    for (const id& element : prettified->items()) {
        auto item = dv::as<NSDictionary>(element);
        id place = item->objectForKey(where);
        id key = item->objectForKey("key"_ns);
        keys->addObject(NSDictionary::of({ { where, place ? place : id(""_ns) }, { "key"_ns, key ? key : id(""_ns) } }));
    }
    return NSArray::arrayWithArray(keys);
}

// Description ----------------------------------------------------------------------------------

Ref<NSString> KeychainStore::description() const
{
    auto all = allItems();
    if (!all || all->count() == 0)
        return "()"_ns;
    std::string text = "(\n";
    for (const id& item : all->items())
        text += NSString::stringWithFormat("    %@", item)->utf8();
    text += ")";
    return NSString::fromUTF8(text);
}

Ref<NSString> KeychainStore::debugDescription() const
{
    return NSString::stringWithFormat("%@", items());
}

// Shared web credentials -----------------------------------------------------------------------

Ref<NSString> KeychainStore::requiredServerHost(Ref<NSError>& error) const
{
    auto host = m_server ? m_server->host() : nil;
    if (!host || host->length() == 0) {
        error = argumentError(NSString::fromUTF8(kServerMustNotBeNil));
        return nil;
    }
    return host;
}

void KeychainStore::sharedPasswordWithCompletion(
    std::function<void(const Ref<NSString>& account, const Ref<NSString>& password, const Ref<NSError>& error)> completion)
{
    Ref<NSError> error;
    auto host = requiredServerHost(error);
    if (!host) {
        if (completion)
            completion(nil, nil, error);
        return;
    }
    requestSharedWebCredentialForDomain(host, nil, [completion](const Ref<NSArray>& credentials, const Ref<NSError>& error) {
        auto first = credentials ? dv::as<NSDictionary>(credentials->firstObject()) : nil;
        if (completion)
            completion(first ? dv::as<NSString>(first->objectForKey("account"_ns)) : nil,
                       first ? dv::as<NSString>(first->objectForKey("password"_ns)) : nil, error);
    });
}

void KeychainStore::sharedPasswordForAccount(const Ref<NSString>& account,
                                             std::function<void(const Ref<NSString>& password, const Ref<NSError>& error)> completion)
{
    Ref<NSError> error;
    auto host = requiredServerHost(error);
    if (!host) {
        if (completion)
            completion(nil, error);
        return;
    }
    requestSharedWebCredentialForDomain(host, account, [completion](const Ref<NSArray>& credentials, const Ref<NSError>& error) {
        auto first = credentials ? dv::as<NSDictionary>(credentials->firstObject()) : nil;
        if (completion)
            completion(first ? dv::as<NSString>(first->objectForKey("password"_ns)) : nil, error);
    });
}

void KeychainStore::setSharedPassword(const Ref<NSString>& password, const Ref<NSString>& account,
                                      std::function<void(const Ref<NSError>& error)> completion)
{
    Ref<NSError> error;
    auto host = requiredServerHost(error);
    if (!host) {
        if (completion)
            completion(error);
        return;
    }
    SecAddSharedWebCredential(host, account, password, [completion](const Ref<NSError>& error) {
        if (completion)
            completion(error);
    });
}

void KeychainStore::removeSharedPasswordForAccount(const Ref<NSString>& account, std::function<void(const Ref<NSError>& error)> completion)
{
    setSharedPassword(nil, account, std::move(completion));
}

void KeychainStore::requestSharedWebCredentialWithCompletion(
    std::function<void(const Ref<NSArray>& credentials, const Ref<NSError>& error)> completion)
{
    requestSharedWebCredentialForDomain(nil, nil, std::move(completion));
}

void KeychainStore::requestSharedWebCredentialForDomain(const Ref<NSString>& domain, const Ref<NSString>& account,
                                                        std::function<void(const Ref<NSArray>& credentials, const Ref<NSError>& error)> completion)
{
    SecRequestSharedWebCredential(domain, account, [completion](const Ref<NSArray>& credentials, const Ref<NSError>& error) {
        if (error && error->code() != errSecItemNotFound)
            NSLog("error: [%@] %@", NSNumber::numberWithInteger(error->code()), error->localizedDescription());
        auto list = NSMutableArray::array();
        if (credentials) {
            for (const id& element : credentials->items()) {
                auto credential = dv::as<NSDictionary>(element);
                if (!credential)
                    continue;
                auto entry = NSMutableDictionary::dictionary();
                entry->setObjectForKeyedSubscript(credential->objectForKey(kSecAttrServer), "server"_ns);
                entry->setObjectForKeyedSubscript(credential->objectForKey(kSecAttrAccount), "account"_ns);
                entry->setObjectForKeyedSubscript(credential->objectForKey(kSecSharedPassword), "password"_ns);
                list->addObject(entry->copy());
            }
        }
        if (completion)
            completion(NSArray::arrayWithArray(list), error);
    });
}

Ref<NSString> KeychainStore::generatePassword()
{
    return SecCreateSharedWebCredentialPassword();
}

// Class operations -----------------------------------------------------------------------------

Ref<NSString> KeychainStore::stringForKeyService(const Ref<NSString>& key, const Ref<NSString>& service, const Ref<NSString>& accessGroup,
                                                 Ref<NSError>* error)
{
    if (!key) {
        setError(error, argumentError(NSString::fromUTF8(kKeyMustNotBeNil)));
        return nil;
    }
    return keyChainStoreWithService(service, accessGroup)->stringForKey(key, error);
}

Ref<NSData> KeychainStore::dataForKeyService(const Ref<NSString>& key, const Ref<NSString>& service, const Ref<NSString>& accessGroup,
                                             Ref<NSError>* error)
{
    if (!key) {
        setError(error, argumentError(NSString::fromUTF8(kKeyMustNotBeNil)));
        return nil;
    }
    return keyChainStoreWithService(service, accessGroup)->dataForKey(key, error);
}

bool KeychainStore::setStringForKeyService(const Ref<NSString>& string, const Ref<NSString>& key, const Ref<NSString>& service,
                                           const Ref<NSString>& accessGroup, const id& genericAttribute, Ref<NSError>* error)
{
    if (!string)
        return removeItemForKeyService(key, service, accessGroup, error);
    auto data = string->dataUsingEncoding(NSUTF8StringEncoding);
    if (!data) {
        setError(error, conversionError(NSString::fromUTF8(kStringToData)));
        return false;
    }
    return setDataForKeyService(data, key, service, accessGroup, genericAttribute, error);
}

bool KeychainStore::setDataForKeyService(const Ref<NSData>& data, const Ref<NSString>& key, const Ref<NSString>& service,
                                         const Ref<NSString>& accessGroup, const id& genericAttribute, Ref<NSError>* error)
{
    if (!key) {
        setError(error, argumentError(NSString::fromUTF8(kKeyMustNotBeNil)));
        return false;
    }
    return keyChainStoreWithService(service, accessGroup)->setData(data, key, genericAttribute, error);
}

bool KeychainStore::removeItemForKeyService(const Ref<NSString>& key, const Ref<NSString>& service, const Ref<NSString>& accessGroup,
                                            Ref<NSError>* error)
{
    if (!key) {
        setError(error, argumentError(NSString::fromUTF8(kKeyMustNotBeNil)));
        return false;
    }
    return keyChainStoreWithService(service, accessGroup)->removeItemForKey(key, error);
}

bool KeychainStore::removeAllItemsForService(const Ref<NSString>& service, const Ref<NSString>& accessGroup, Ref<NSError>* error)
{
    return keyChainStoreWithService(service, accessGroup)->removeAllItemsWithError(error);
}
