#include "platform/system/Security.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/system/SqliteTransaction.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/KeychainDatabase.h"
#include "platform/system/internal/KeychainQuery.h"

#include <optional>
#include <sys/random.h>

using dv::internal::system::KeychainDatabase;
using dv::internal::system::KeychainFilter;
using dv::internal::system::KeychainItem;
using dv::internal::system::KeychainOptions;
using dv::internal::system::KeychainStatus;
using dv::internal::system::KeychainUse;
using dv::internal::system::apply;
using dv::internal::system::isAccessibilityValue;
using dv::internal::system::matches;
using dv::internal::system::needsUnlockedDevice;
using dv::internal::system::readKeychainFilter;
using dv::internal::system::readKeychainOptions;
using dv::internal::system::resultOf;

namespace dv {

namespace {

// The application's keychain entitlements: its own group, and the group the keychain UDID store
// names in its queries, so that the device identifier it keeps is stored by default.
std::vector<std::string> applicationAccessGroups()
{
    return { "DVTEAM0001.com.velmarquest.dovrelta", "YOURAPPID.com.velmarquest.dovrelta" };
}

dv::Mutex s_settingsMutex;
std::vector<std::string> s_accessGroups DV_GUARDED_BY(s_settingsMutex) = applicationAccessGroups();
bool s_deviceLocked DV_GUARDED_BY(s_settingsMutex) = false;

} // namespace

void KeychainSettings::setAccessGroups(std::vector<std::string> groups)
{
    dv::MutexLocker lock(s_settingsMutex);
    s_accessGroups = std::move(groups);
}

std::vector<std::string> KeychainSettings::accessGroups()
{
    dv::MutexLocker lock(s_settingsMutex);
    return s_accessGroups;
}

std::string KeychainSettings::defaultAccessGroup()
{
    dv::MutexLocker lock(s_settingsMutex);
    return s_accessGroups.empty() ? std::string() : s_accessGroups.front();
}

void KeychainSettings::setDeviceLocked(bool locked)
{
    dv::MutexLocker lock(s_settingsMutex);
    s_deviceLocked = locked;
}

bool KeychainSettings::deviceLocked()
{
    dv::MutexLocker lock(s_settingsMutex);
    return s_deviceLocked;
}

void KeychainSettings::reset()
{
    dv::MutexLocker lock(s_settingsMutex);
    s_accessGroups = applicationAccessGroups();
    s_deviceLocked = false;
}

std::string KeychainSettings::databasePath()
{
    return SystemPaths::deviceFolder() + "/keychain.db";
}

} // namespace dv

namespace {

// What an update writes into every item it selects.
struct Changes {
    KeychainFilter values;
    std::optional<std::vector<std::uint8_t>> data;
    Ref<SecAccessControl> accessControl;
};

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
KeychainStatus findMatches(KeychainDatabase& db, const KeychainOptions& o, const KeychainFilter& f, std::vector<KeychainItem>& out)
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
KeychainStatus readItemRequest(const Ref<NSDictionary>& dictionary, KeychainUse use, KeychainOptions& o, KeychainFilter& f)
{
    if (KeychainStatus s = readKeychainOptions(dictionary, o, true); !s)
        return s;
    if (o.returnRef)
        return { errSecUnimplemented };
    return readKeychainFilter(dictionary, f, use);
}

} // namespace

OSStatus SecItemAdd(const Ref<NSDictionary>& attributes, id* result)
{
    if (result)
        *result = nil;
    KeychainOptions o;
    KeychainFilter f;
    if (KeychainStatus s = readItemRequest(attributes, KeychainUse::Add, o, f); !s)
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
    KeychainOptions o;
    KeychainFilter f;
    if (KeychainStatus s = readItemRequest(query, KeychainUse::Query, o, f); !s)
        return s.code;

    OSStatus status;
    auto call = openForCall(status);
    if (!call)
        return status;
    KeychainDatabase& db = *call->db;
    std::vector<KeychainItem> found;
    if (KeychainStatus s = findMatches(db, o, f, found); !s)
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
    KeychainOptions o;
    if (KeychainStatus s = readKeychainOptions(query, o, true); !s)
        return s.code;
    if (!attributesToUpdate || attributesToUpdate->objectForKey(kSecClass) || attributesToUpdate->objectForKey(kSecReturnData)
        || attributesToUpdate->objectForKey(kSecReturnAttributes) || attributesToUpdate->objectForKey(kSecMatchLimit))
        return errSecParam;
    KeychainFilter f;
    if (KeychainStatus s = readKeychainFilter(query, f, KeychainUse::Query); !s)
        return s.code;
    Changes c;
    if (KeychainStatus s = readKeychainFilter(attributesToUpdate, c.values, KeychainUse::Update); !s)
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
    if (KeychainStatus s = findMatches(db, o, f, found); !s)
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
    KeychainOptions o;
    if (KeychainStatus s = readKeychainOptions(query, o, true); !s)
        return s.code;
    KeychainFilter f;
    if (KeychainStatus s = readKeychainFilter(query, f, KeychainUse::Query); !s)
        return s.code;
    OSStatus status;
    auto call = openForCall(status);
    if (!call)
        return status;
    KeychainDatabase& db = *call->db;
    std::vector<KeychainItem> found;
    if (KeychainStatus s = findMatches(db, o, f, found); !s)
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
