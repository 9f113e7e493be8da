#include "platform/system/internal/KeychainQuery.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"

#include <algorithm>

namespace dv::internal::system {

namespace {

const std::vector<Ref<NSString>>& accessibilityValues()
{
    static const std::vector<Ref<NSString>> values {
        kSecAttrAccessibleWhenUnlocked, kSecAttrAccessibleAfterFirstUnlock, kSecAttrAccessibleAlways,
        kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly, kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
        kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly, kSecAttrAccessibleAlwaysThisDeviceOnly,
    };
    return values;
}

bool truthy(const id& value)
{
    if (auto number = dv::as<NSNumber>(value))
        return number->boolValue();
    if (auto string = dv::as<NSString>(value))
        return string->boolValue();
    return false;
}

KeychainStatus readString(const id& value, std::optional<std::string>& out)
{
    auto string = dv::as<NSString>(value);
    if (!string)
        return { errSecParam };
    out = string->utf8();
    return {};
}

std::vector<std::uint8_t> bytesOf(const std::string& s) { return { s.begin(), s.end() }; }

// The attributes that are plain strings, and where a filter keeps each.
struct StringAttribute {
    const Ref<NSString>* key;
    std::optional<std::string> KeychainFilter::*field;
};

constexpr StringAttribute kStringAttributes[] = {
    { &kSecAttrAccessGroup, &KeychainFilter::accessGroup },
    { &kSecAttrAccount, &KeychainFilter::account },
    { &kSecAttrService, &KeychainFilter::service },
    { &kSecAttrServer, &KeychainFilter::server },
    { &kSecAttrProtocol, &KeychainFilter::protocol },
    { &kSecAttrAuthenticationType, &KeychainFilter::authenticationType },
    { &kSecAttrPath, &KeychainFilter::path },
    { &kSecAttrSecurityDomain, &KeychainFilter::securityDomain },
    { &kSecAttrLabel, &KeychainFilter::label },
    { &kSecAttrComment, &KeychainFilter::comment },
    { &kSecAttrDescription, &KeychainFilter::description },
};

// One attribute of a query, an added item or a change. Unknown keys are ignored, as the platform
// ignores keys it does not know for a class.
KeychainStatus readAttribute(const Ref<NSString>& key, const id& value, KeychainFilter& f, KeychainUse use)
{
    const std::string& k = key->utf8();
    for (const auto& attribute : kStringAttributes) {
        if (k == (*attribute.key)->utf8())
            return readString(value, f.*attribute.field);
    }
    if (k == kSecAttrPort->utf8()) {
        auto number = dv::as<NSNumber>(value);
        if (!number)
            return { errSecParam };
        f.port = number->longLongValue();
        return {};
    }
    if (k == kSecAttrGeneric->utf8()) {
        // Written as data or as a string; a string is its UTF-8 bytes, so both match alike.
        if (auto data = dv::as<NSData>(value))
            f.generic = data->vector();
        else if (auto string = dv::as<NSString>(value))
            f.generic = bytesOf(string->utf8());
        else
            return { errSecParam };
        return {};
    }
    if (k == kSecAttrSynchronizable->utf8()) {
        if (auto string = dv::as<NSString>(value); string && string->isEqualToString(kSecAttrSynchronizableAny)) {
            if (use != KeychainUse::Query)
                return { errSecParam };
            f.syncAny = true;
            return {};
        }
        if (!dv::as<NSNumber>(value))
            return { errSecParam };
        f.synchronizable = truthy(value);
        return {};
    }
    if (k == kSecAttrAccessible->utf8()) {
        auto string = dv::as<NSString>(value);
        if (!string || !isAccessibilityValue(string->utf8()))
            return { errSecParam };
        f.accessible = string->utf8();
        return {};
    }
    return {};
}

bool entitled(const std::string& group)
{
    auto groups = dv::KeychainSettings::accessGroups();
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

std::string fold(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool sameText(const std::optional<std::string>& wanted, const std::optional<std::string>& have, bool caseInsensitive)
{
    if (!wanted)
        return true;
    const std::string h = have ? *have : std::string();
    return caseInsensitive ? fold(*wanted) == fold(h) : *wanted == h;
}

bool sameBytes(const std::optional<std::vector<std::uint8_t>>& wanted, const std::optional<std::vector<std::uint8_t>>& have, bool caseInsensitive)
{
    if (!wanted)
        return true;
    if (!have)
        return wanted->empty();
    if (!caseInsensitive)
        return *wanted == *have;
    return fold(std::string(wanted->begin(), wanted->end())) == fold(std::string(have->begin(), have->end()));
}

Ref<NSString> ns(const std::string& s) { return NSString::fromUTF8(s); }

Ref<NSDictionary> attributesOf(const KeychainItem& item, bool withData)
{
    auto d = NSMutableDictionary::dictionary();
    d->setObjectForKey(ns(item.itemClass), kSecClass);
    d->setObjectForKey(ns(item.accessGroup), kSecAttrAccessGroup);
    d->setObjectForKey(ns(item.account.value_or("")), kSecAttrAccount);
    if (item.itemClass == kSecClassInternetPassword->utf8()) {
        d->setObjectForKey(ns(item.server.value_or("")), kSecAttrServer);
        if (item.protocol) d->setObjectForKey(ns(*item.protocol), kSecAttrProtocol);
        if (item.authenticationType) d->setObjectForKey(ns(*item.authenticationType), kSecAttrAuthenticationType);
        d->setObjectForKey(NSNumber::numberWithLongLong(item.port.value_or(0)), kSecAttrPort);
        d->setObjectForKey(ns(item.path.value_or("")), kSecAttrPath);
        d->setObjectForKey(ns(item.securityDomain.value_or("")), kSecAttrSecurityDomain);
    } else {
        d->setObjectForKey(ns(item.service.value_or("")), kSecAttrService);
    }
    if (item.generic) d->setObjectForKey(NSData::dataWithVector(*item.generic), kSecAttrGeneric);
    if (item.label) d->setObjectForKey(ns(*item.label), kSecAttrLabel);
    if (item.comment) d->setObjectForKey(ns(*item.comment), kSecAttrComment);
    if (item.description) d->setObjectForKey(ns(*item.description), kSecAttrDescription);
    d->setObjectForKey(ns(item.accessible), kSecAttrAccessible);
    if (item.accessControlFlags) {
        Ref<NSError> ignored;
        if (auto ac = SecAccessControlCreateWithFlags(nil, ns(item.accessible), static_cast<SecAccessControlCreateFlags>(*item.accessControlFlags), &ignored))
            d->setObjectForKey(ac, kSecAttrAccessControl);
    }
    d->setObjectForKey(NSNumber::numberWithBool(item.synchronizable), kSecAttrSynchronizable);
    d->setObjectForKey(NSDate::dateWithTimeIntervalSinceReferenceDate(item.creationDate), kSecAttrCreationDate);
    d->setObjectForKey(NSDate::dateWithTimeIntervalSinceReferenceDate(item.modificationDate), kSecAttrModificationDate);
    if (withData)
        d->setObjectForKey(NSData::dataWithVector(item.data.value_or(std::vector<std::uint8_t>())), kSecValueData);
    return d;
}

} // namespace

bool isAccessibilityValue(const std::string& value)
{
    for (const auto& v : accessibilityValues())
        if (v->utf8() == value)
            return true;
    return false;
}

bool needsUnlockedDevice(const std::string& accessible)
{
    return accessible == kSecAttrAccessibleWhenUnlocked->utf8() || accessible == kSecAttrAccessibleWhenUnlockedThisDeviceOnly->utf8()
        || accessible == kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly->utf8();
}

KeychainStatus readKeychainOptions(const Ref<NSDictionary>& query, KeychainOptions& o, bool classRequired)
{
    if (!query)
        return { errSecParam };
    auto cls = dv::as<NSString>(query->objectForKey(kSecClass));
    if (!cls) {
        if (classRequired)
            return { errSecParam };
    } else if (!cls->isEqualToString(kSecClassGenericPassword) && !cls->isEqualToString(kSecClassInternetPassword)) {
        return { errSecParam };
    } else {
        o.itemClass = cls->utf8();
    }
    o.returnData = truthy(query->objectForKey(kSecReturnData));
    o.returnAttributes = truthy(query->objectForKey(kSecReturnAttributes));
    o.returnRef = truthy(query->objectForKey(kSecReturnRef)) || truthy(query->objectForKey(kSecReturnPersistentRef));
    o.caseInsensitive = truthy(query->objectForKey(kSecMatchCaseInsensitive));
    if (id limit = query->objectForKey(kSecMatchLimit)) {
        if (dv::equal(limit, kSecMatchLimitAll))
            o.limit = std::nullopt;
        else if (dv::equal(limit, kSecMatchLimitOne))
            o.limit = 1;
        else if (auto n = dv::as<NSNumber>(limit); n && n->longLongValue() > 0)
            o.limit = static_cast<std::size_t>(n->longLongValue());
        else
            return { errSecParam };
    }
    o.noAuthenticationUI = truthy(query->objectForKey(kSecUseNoAuthenticationUI));
    if (id ui = query->objectForKey(kSecUseAuthenticationUI))
        o.noAuthenticationUI = dv::equal(ui, kSecUseAuthenticationUIFail) || dv::equal(ui, kSecUseAuthenticationUISkip);
    return {};
}

KeychainStatus readKeychainFilter(const Ref<NSDictionary>& dict, KeychainFilter& f, KeychainUse use)
{
    for (const auto& [key, value] : *dict) {
        auto name = dv::as<NSString>(key);
        if (!name)
            return { errSecParam };
        if (KeychainStatus s = readAttribute(name, value, f, use); !s)
            return s;
    }
    if (f.accessGroup && !entitled(*f.accessGroup))
        return { errSecMissingEntitlement };
    return {};
}

bool matches(const KeychainFilter& f, const KeychainItem& item, bool caseInsensitive)
{
    if (f.accessGroup) {
        if (*f.accessGroup != item.accessGroup)
            return false;
    } else if (!entitled(item.accessGroup)) {
        return false;
    }
    if (!f.syncAny && item.synchronizable != f.synchronizable.value_or(false))
        return false;
    return sameText(f.account, item.account, caseInsensitive) && sameText(f.service, item.service, caseInsensitive)
        && sameText(f.server, item.server, caseInsensitive) && sameText(f.protocol, item.protocol, false)
        && sameText(f.authenticationType, item.authenticationType, false) && sameText(f.path, item.path, caseInsensitive)
        && sameText(f.securityDomain, item.securityDomain, caseInsensitive) && (!f.port || f.port == item.port.value_or(0))
        && sameBytes(f.generic, item.generic, caseInsensitive) && sameText(f.label, item.label, caseInsensitive)
        && sameText(f.comment, item.comment, caseInsensitive) && sameText(f.description, item.description, caseInsensitive)
        && (!f.accessible || *f.accessible == item.accessible);
}

void apply(const KeychainFilter& v, KeychainItem& item)
{
    if (v.accessGroup) item.accessGroup = *v.accessGroup;
    if (v.account) item.account = v.account;
    if (v.service) item.service = v.service;
    if (v.server) item.server = v.server;
    if (v.protocol) item.protocol = v.protocol;
    if (v.authenticationType) item.authenticationType = v.authenticationType;
    if (v.path) item.path = v.path;
    if (v.securityDomain) item.securityDomain = v.securityDomain;
    if (v.port) item.port = v.port;
    if (v.synchronizable) item.synchronizable = *v.synchronizable;
    if (v.generic) item.generic = v.generic;
    if (v.label) item.label = v.label;
    if (v.comment) item.comment = v.comment;
    if (v.description) item.description = v.description;
    if (v.accessible) {
        item.accessible = *v.accessible;
        item.accessControlFlags.reset();
    }
}

id resultOf(const KeychainItem& item, const KeychainOptions& o)
{
    if (o.returnAttributes)
        return attributesOf(item, o.returnData);
    if (o.returnData)
        return NSData::dataWithVector(item.data.value_or(std::vector<std::uint8_t>()));
    return nil;
}

} // namespace dv::internal::system
