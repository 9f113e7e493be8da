#include "platform/system/Security.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/system/SqliteTransaction.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/KeychainDatabase.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <sys/random.h>

using dv::internal::system::KeychainDatabase;
using dv::internal::system::KeychainItem;

namespace dv {

namespace {

// The application's keychain entitlements: its own group, and the group the keychain UDID store
// names in its queries, so that the device identifier it keeps is stored by default.
std::vector<std::string> applicationAccessGroups()
{
    return { "DVTEAM0001.com.velmarquest.dovrelta", "YOURAPPID.com.velmarquest.dovrelta" };
}

std::mutex s_settingsMutex;
std::vector<std::string> s_accessGroups = applicationAccessGroups();
bool s_deviceLocked = false;

} // namespace

void KeychainSettings::setAccessGroups(std::vector<std::string> groups)
{
    std::lock_guard lock(s_settingsMutex);
    s_accessGroups = std::move(groups);
}

std::vector<std::string> KeychainSettings::accessGroups()
{
    std::lock_guard lock(s_settingsMutex);
    return s_accessGroups;
}

std::string KeychainSettings::defaultAccessGroup()
{
    std::lock_guard lock(s_settingsMutex);
    return s_accessGroups.empty() ? std::string() : s_accessGroups.front();
}

void KeychainSettings::setDeviceLocked(bool locked)
{
    std::lock_guard lock(s_settingsMutex);
    s_deviceLocked = locked;
}

bool KeychainSettings::deviceLocked()
{
    std::lock_guard lock(s_settingsMutex);
    return s_deviceLocked;
}

void KeychainSettings::reset()
{
    std::lock_guard lock(s_settingsMutex);
    s_accessGroups = applicationAccessGroups();
    s_deviceLocked = false;
}

std::string KeychainSettings::databasePath()
{
    return SystemPaths::deviceFolder() + "/keychain.db";
}

} // namespace dv

namespace {

// Thrown-free status plumbing: each step answers a status, errSecSuccess to go on.
struct Status {
    OSStatus code = errSecSuccess;
    explicit operator bool() const { return code == errSecSuccess; }
};

enum class Use { Query, Add, Update };

struct Filter {
    std::optional<std::string> accessGroup, account, service, server, protocol, authenticationType, path, securityDomain;
    std::optional<std::int64_t> port;
    std::optional<bool> synchronizable; // nullopt with syncAny
    bool syncAny = false;
    std::optional<std::vector<std::uint8_t>> generic;
    std::optional<std::string> label, comment, description, accessible;
};

struct Options {
    std::string itemClass;
    bool returnData = false;
    bool returnAttributes = false;
    bool returnRef = false;
    std::optional<std::size_t> limit = 1; // nullopt: all
    bool caseInsensitive = false;
    bool noAuthenticationUI = false;
};

struct Changes {
    Filter values;
    std::optional<std::vector<std::uint8_t>> data;
    Ref<SecAccessControl> accessControl;
};

const std::vector<Ref<NSString>>& accessibilityValues()
{
    static const std::vector<Ref<NSString>> values {
        kSecAttrAccessibleWhenUnlocked, kSecAttrAccessibleAfterFirstUnlock, kSecAttrAccessibleAlways,
        kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly, kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
        kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly, kSecAttrAccessibleAlwaysThisDeviceOnly,
    };
    return values;
}

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

bool truthy(const id& value)
{
    if (auto number = dv::as<NSNumber>(value))
        return number->boolValue();
    if (auto string = dv::as<NSString>(value))
        return string->boolValue();
    return false;
}

Status readString(const id& value, std::optional<std::string>& out)
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
    std::optional<std::string> Filter::*field;
};

constexpr StringAttribute kStringAttributes[] = {
    { &kSecAttrAccessGroup, &Filter::accessGroup },
    { &kSecAttrAccount, &Filter::account },
    { &kSecAttrService, &Filter::service },
    { &kSecAttrServer, &Filter::server },
    { &kSecAttrProtocol, &Filter::protocol },
    { &kSecAttrAuthenticationType, &Filter::authenticationType },
    { &kSecAttrPath, &Filter::path },
    { &kSecAttrSecurityDomain, &Filter::securityDomain },
    { &kSecAttrLabel, &Filter::label },
    { &kSecAttrComment, &Filter::comment },
    { &kSecAttrDescription, &Filter::description },
};

// One attribute of a query, an added item or a change. Unknown keys are ignored, as the platform
// ignores keys it does not know for a class.
Status readAttribute(const Ref<NSString>& key, const id& value, Filter& f, Use use)
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
            if (use != Use::Query)
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

Status readOptions(const Ref<NSDictionary>& query, Options& o, bool classRequired)
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

bool entitled(const std::string& group)
{
    auto groups = dv::KeychainSettings::accessGroups();
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

// Reads the attributes of a query or change; an access group the application is not entitled to
// is refused here, after the attributes themselves were found well formed.
Status readFilter(const Ref<NSDictionary>& dict, Filter& f, Use use)
{
    for (const auto& [key, value] : *dict) {
        auto name = dv::as<NSString>(key);
        if (!name)
            return { errSecParam };
        if (Status s = readAttribute(name, value, f, use); !s)
            return s;
    }
    if (f.accessGroup && !entitled(*f.accessGroup))
        return { errSecMissingEntitlement };
    return {};
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

bool matches(const Filter& f, const KeychainItem& item, bool caseInsensitive)
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

void apply(const Filter& v, KeychainItem& item)
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

id resultOf(const KeychainItem& item, const Options& o)
{
    if (o.returnAttributes)
        return attributesOf(item, o.returnData);
    if (o.returnData)
        return NSData::dataWithVector(item.data.value_or(std::vector<std::uint8_t>()));
    return nil;
}

// One item call: the database opened for it and the transaction the call runs in, rolled back
// with the call unless finish commits it.
struct KeychainCall {
    std::unique_ptr<KeychainDatabase> db;
    dv::SqliteTransaction transaction; // declared after the database, so ended before it closes
};

// Opens the database for one call and begins its transaction.
std::optional<KeychainCall> openForCall(OSStatus& status)
{
    status = errSecInternal;
    const std::string folder = dv::SystemPaths::deviceFolder();
    if (!dv::SystemPaths::ensureDirectory(folder)) {
        NSLog("keychain: cannot create %s", folder);
        return std::nullopt;
    }
    auto opened = KeychainDatabase::open(dv::KeychainSettings::databasePath());
    if (!opened) {
        NSLog("keychain: the database cannot be used: %s", opened.reason());
        return std::nullopt;
    }
    auto db = std::move(opened).value();
    auto begun = dv::SqliteTransaction::begin(db->sql());
    if (!begun) {
        NSLog("keychain: cannot begin a transaction: %s", begun.reason());
        return std::nullopt;
    }
    status = errSecSuccess;
    return KeychainCall { std::move(db), std::move(begun).value() };
}

OSStatus finish(KeychainCall& call, OSStatus status)
{
    if (status != errSecSuccess) {
        call.transaction.rollback();
        return status;
    }
    if (auto committed = call.transaction.commit(); !committed) {
        NSLog("keychain: commit failed: %s", committed.reason());
        return errSecInternal;
    }
    return errSecSuccess;
}

// A write's outcome as the call's status: a clash with another item's primary key is the
// caller's to hear about; anything else is logged with its reason.
OSStatus statusOf(const dv::Result<KeychainDatabase::Write>& written, const char* what)
{
    if (!written) {
        NSLog("keychain: cannot %s an item: %s", what, written.reason());
        return errSecInternal;
    }
    return *written == KeychainDatabase::Write::Duplicate ? errSecDuplicateItem : errSecSuccess;
}

// The items of the query's class (or of both classes) that match, in the order they were added.
Status findMatches(KeychainDatabase& db, const Options& o, const Filter& f, std::vector<KeychainItem>& out)
{
    std::vector<std::string> classes;
    if (o.itemClass.empty())
        classes = { kSecClassGenericPassword->utf8(), kSecClassInternetPassword->utf8() };
    else
        classes = { o.itemClass };
    for (const auto& cls : classes) {
        auto all = db.loadClass(cls);
        if (!all) {
            NSLog("keychain: cannot read the items: %s", all.reason());
            return { errSecInternal };
        }
        for (auto& item : *all)
            if (matches(f, item, o.caseInsensitive))
                out.push_back(std::move(item));
    }
    return {};
}

// The options and the filter of an add or a search (both name a class; neither returns refs).
Status readItemRequest(const Ref<NSDictionary>& dictionary, Use use, Options& o, Filter& f)
{
    if (Status s = readOptions(dictionary, o, true); !s)
        return s;
    if (o.returnRef)
        return { errSecUnimplemented };
    return readFilter(dictionary, f, use);
}

} // namespace

OSStatus SecItemAdd(const Ref<NSDictionary>& attributes, id* result)
{
    if (result)
        *result = nil;
    Options o;
    Filter f;
    if (Status s = readItemRequest(attributes, Use::Add, o, f); !s)
        return s.code;
    if (dv::KeychainSettings::accessGroups().empty())
        return errSecMissingEntitlement;

    KeychainItem item;
    item.itemClass = o.itemClass;
    apply(f, item);
    if (!f.accessGroup)
        item.accessGroup = dv::KeychainSettings::defaultAccessGroup();
    id accessControl = attributes->objectForKey(kSecAttrAccessControl);
    if (accessControl) {
        auto ac = dv::as<SecAccessControl>(accessControl);
        if (!ac || f.accessible)
            return errSecParam;
        item.accessible = ac->protection()->utf8();
        item.accessControlFlags = static_cast<std::int64_t>(ac->flags());
    } else if (!f.accessible) {
        item.accessible = kSecAttrAccessibleWhenUnlocked->utf8();
    }
    if (id data = attributes->objectForKey(kSecValueData)) {
        auto bytes = dv::as<NSData>(data);
        if (!bytes)
            return errSecParam;
        item.data = bytes->vector();
    }
    item.creationDate = item.modificationDate = NSDate::now();

    OSStatus status;
    auto call = openForCall(status);
    if (!call)
        return status;
    KeychainDatabase& db = *call->db;
    if (OSStatus written = statusOf(db.insert(item), "add"); written != errSecSuccess)
        return finish(*call, written);
    status = finish(*call, errSecSuccess);
    if (status == errSecSuccess && result && (o.returnData || o.returnAttributes))
        *result = resultOf(item, o);
    return status;
}

OSStatus SecItemCopyMatching(const Ref<NSDictionary>& query, id* result)
{
    if (result)
        *result = nil;
    Options o;
    Filter f;
    if (Status s = readItemRequest(query, Use::Query, o, f); !s)
        return s.code;

    OSStatus status;
    auto call = openForCall(status);
    if (!call)
        return status;
    KeychainDatabase& db = *call->db;
    std::vector<KeychainItem> found;
    if (Status s = findMatches(db, o, f, found); !s)
        return finish(*call, s.code);
    call->transaction.rollback(); // read only
    if (found.empty())
        return errSecItemNotFound;
    if (o.limit && found.size() > *o.limit)
        found.resize(*o.limit);

    const bool locked = dv::KeychainSettings::deviceLocked();
    for (const auto& item : found) {
        // Items behind an access control need the user; with the prompt disallowed the platform
        // answers that interaction is not allowed, which tells the caller the item exists.
        if (item.accessControlFlags && o.noAuthenticationUI)
            return errSecInteractionNotAllowed;
        if (o.returnData && locked && needsUnlockedDevice(item.accessible))
            return errSecInteractionNotAllowed;
    }
    if (!result || (!o.returnData && !o.returnAttributes))
        return errSecSuccess;
    if (!o.limit || *o.limit > 1) {
        auto list = NSMutableArray::array();
        for (const auto& item : found)
            list->addObject(resultOf(item, o));
        *result = NSArray::arrayWithArray(list);
    } else {
        *result = resultOf(found.front(), o);
    }
    return errSecSuccess;
}

OSStatus SecItemUpdate(const Ref<NSDictionary>& query, const Ref<NSDictionary>& attributesToUpdate)
{
    Options o;
    if (Status s = readOptions(query, o, true); !s)
        return s.code;
    if (!attributesToUpdate || attributesToUpdate->objectForKey(kSecClass) || attributesToUpdate->objectForKey(kSecReturnData)
        || attributesToUpdate->objectForKey(kSecReturnAttributes) || attributesToUpdate->objectForKey(kSecMatchLimit))
        return errSecParam;
    Filter f;
    if (Status s = readFilter(query, f, Use::Query); !s)
        return s.code;
    Changes c;
    if (Status s = readFilter(attributesToUpdate, c.values, Use::Update); !s)
        return s.code;
    if (id data = attributesToUpdate->objectForKey(kSecValueData)) {
        auto bytes = dv::as<NSData>(data);
        if (!bytes)
            return errSecParam;
        c.data = bytes->vector();
    }
    if (id accessControl = attributesToUpdate->objectForKey(kSecAttrAccessControl)) {
        c.accessControl = dv::as<SecAccessControl>(accessControl);
        if (!c.accessControl || c.values.accessible)
            return errSecParam;
    }

    OSStatus status;
    auto call = openForCall(status);
    if (!call)
        return status;
    KeychainDatabase& db = *call->db;
    std::vector<KeychainItem> found;
    if (Status s = findMatches(db, o, f, found); !s)
        return finish(*call, s.code);
    if (found.empty())
        return finish(*call, errSecItemNotFound);
    const bool locked = dv::KeychainSettings::deviceLocked();
    const double now = NSDate::now();
    for (auto& item : found) {
        if (item.accessControlFlags && o.noAuthenticationUI)
            return finish(*call, errSecInteractionNotAllowed);
        if (locked && needsUnlockedDevice(item.accessible))
            return finish(*call, errSecInteractionNotAllowed);
        apply(c.values, item);
        if (c.data)
            item.data = c.data;
        if (c.accessControl) {
            item.accessible = c.accessControl->protection()->utf8();
            item.accessControlFlags = static_cast<std::int64_t>(c.accessControl->flags());
        }
        item.modificationDate = now;
        if (OSStatus written = statusOf(db.update(item), "update"); written != errSecSuccess)
            return finish(*call, written);
    }
    return finish(*call, errSecSuccess);
}

OSStatus SecItemDelete(const Ref<NSDictionary>& query)
{
    Options o;
    if (Status s = readOptions(query, o, true); !s)
        return s.code;
    Filter f;
    if (Status s = readFilter(query, f, Use::Query); !s)
        return s.code;
    OSStatus status;
    auto call = openForCall(status);
    if (!call)
        return status;
    KeychainDatabase& db = *call->db;
    std::vector<KeychainItem> found;
    if (Status s = findMatches(db, o, f, found); !s)
        return finish(*call, s.code);
    if (found.empty())
        return finish(*call, errSecItemNotFound);
    for (const auto& item : found) {
        if (auto removed = db.remove(item.rowId); !removed) {
            NSLog("keychain: cannot delete an item: %s", removed.reason());
            return finish(*call, errSecInternal);
        }
    }
    return finish(*call, errSecSuccess);
}

DV_DEFINE_CLASS(SecAccessControl)

Ref<NSString> SecAccessControl::description() const
{
    return NSString::stringWithFormat("<SecAccessControl %p protection=%@ flags=%llu>", this, m_protection, static_cast<unsigned long long>(m_flags));
}

Ref<SecAccessControl> SecAccessControlCreateWithFlags(const id&, const Ref<NSString>& protection, SecAccessControlCreateFlags flags, Ref<NSError>* error)
{
    constexpr SecAccessControlCreateFlags known = kSecAccessControlUserPresence | kSecAccessControlTouchIDAny | kSecAccessControlTouchIDCurrentSet
        | kSecAccessControlDevicePasscode | kSecAccessControlOr | kSecAccessControlAnd | kSecAccessControlPrivateKeyUsage
        | kSecAccessControlApplicationPassword;
    if (!protection || !isAccessibilityValue(protection->utf8()) || (flags & ~known) != 0) {
        if (error)
            *error = NSError::errorWithDomain(NSOSStatusErrorDomain, errSecParam,
                NSDictionary::of({ { NSLocalizedDescriptionKey, "One or more parameters passed to a function were not valid."_ns } }));
        return nil;
    }
    auto ac = alloc<SecAccessControl>();
    ac->m_protection = protection;
    ac->m_flags = flags;
    return ac;
}

int SecRandomCopyBytes(SecRandomRef, std::size_t count, void* bytes)
{
    if (count == 0)
        return 0;
    if (!bytes)
        return -1;
    auto* out = static_cast<std::uint8_t*>(bytes);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = getrandom(out + done, count - done, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

namespace {

Ref<NSError> unimplementedError()
{
    return NSError::errorWithDomain(NSOSStatusErrorDomain, errSecUnimplemented,
        NSDictionary::of({ { NSLocalizedDescriptionKey, "Function or operation not implemented."_ns } }));
}

} // namespace

void SecAddSharedWebCredential(const Ref<NSString>&, const Ref<NSString>&, const Ref<NSString>&, const std::function<void(const Ref<NSError>&)>& completion)
{
    if (completion)
        completion(unimplementedError());
}

void SecRequestSharedWebCredential(const Ref<NSString>&, const Ref<NSString>&, const std::function<void(const Ref<NSArray>&, const Ref<NSError>&)>& completion)
{
    if (completion)
        completion(nil, unimplementedError());
}

Ref<NSString> SecCreateSharedWebCredentialPassword()
{
    static constexpr char alphabet[] = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::uint8_t random[12];
    if (SecRandomCopyBytes(kSecRandomDefault, sizeof random, random) != 0)
        return nil;
    std::string password;
    for (int i = 0; i < 12; ++i) {
        if (i && i % 3 == 0)
            password += '-';
        password += alphabet[random[i] % (sizeof alphabet - 1)];
    }
    return NSString::fromUTF8(password);
}
