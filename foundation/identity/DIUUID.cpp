#include "foundation/identity/DIUUID.h"

#include "foundation/identity/KeychainStore.h"
#include "foundation/identity/internal/Platform.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/NSUUID.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/NSUbiquitousKeyValueStore.h"
#include "platform/system/NSUserDefaults.h"

#include <cctype>

DV_DEFINE_CLASS(DIUUID)

const Ref<NSString> DIUUIDsOfUserDevicesDidChangeNotification = "DIUUIDsOfUserDevicesDidChangeNotification"_ns;

namespace {

const Ref<NSString> kDeviceKey = "di_uuidForDevice"_ns;
const Ref<NSString> kInstallationKey = "di_uuidForInstallation"_ns;
const Ref<NSString> kUserDevicesKey = "di_uuidsOfUserDevices"_ns;
const Ref<NSString> kUserDevicesToggleKey = "di_uuidsOfUserDevicesToggle"_ns;
const Ref<NSString> kSeparator = "|"_ns;

// The shared instance: made once, forgotten only by the test hook.
dv::Mutex s_sharedLock;
dv::Uncounted<DIUUID> s_shared DV_GUARDED_BY(s_sharedLock); // made on first use, kept (not counted) until a test resets it

// The platform's random UUID in our form: lower case, without dashes.
Ref<NSString> identifierForm(const Ref<NSUUID>& uuid)
{
    return uuid->UUIDString()->lowercaseString()->stringByReplacingOccurrencesOfString("-"_ns, ""_ns);
}

bool hexDigits(const std::string& s, std::size_t from, std::size_t count)
{
    for (std::size_t i = from; i < from + count; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

} // namespace

// Creation -------------------------------------------------------------------------------------

Ref<DIUUID> DIUUID::sharedInstance()
{
    // The once-guard. Creation runs only instance code (init reaches the device identifier of the
    // instance being built, never this accessor), so it cannot re-enter itself.
    dv::MutexLocker lock(s_sharedLock);
    if (!s_shared.get())
        s_shared.make([] { return alloc<DIUUID>()->init(); });
    return s_shared.get();
}

void DIUUID::resetSharedInstanceForTesting()
{
    dv::Uncounted<DIUUID> old;
    {
        dv::MutexLocker lock(s_sharedLock);
        old = std::move(s_shared);
    }
    if (old.get())
        NSNotificationCenter::defaultCenter()->removeObserver(old.get().get());
}

Ref<DIUUID> DIUUID::init()
{
    NSObject::init();
    uuidsOfUserDevices_iCloudInit();
    return self<DIUUID>();
}

DIUUID::~DIUUID() = default;

Ref<NSString> DIUUID::lockedField(Ref<NSString> DIUUID::*field) const
{
    dv::MutexLocker lock(m_lock);
    return this->*field;
}

// Class forms ----------------------------------------------------------------------------------

Ref<NSString> DIUUID::uuid() { return sharedInstance()->instanceUuid(); }
Ref<NSString> DIUUID::uuidForKey(const id& key) { return sharedInstance()->instanceUuidForKey(key); }
Ref<NSString> DIUUID::uuidForSession() { return sharedInstance()->instanceUuidForSession(); }
Ref<NSString> DIUUID::uuidForInstallation() { return sharedInstance()->instanceUuidForInstallation(); }
Ref<NSString> DIUUID::uuidForVendor() { return sharedInstance()->instanceUuidForVendor(); }
Ref<NSString> DIUUID::uuidForDevice() { return sharedInstance()->instanceUuidForDevice(); }
Ref<NSString> DIUUID::uuidForDeviceMigratingValue(const Ref<NSString>& value, bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValue(value, commitMigration);
}
Ref<NSString> DIUUID::uuidForDeviceMigratingValueForKey(const Ref<NSString>& key, bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValueForKey(key, nil, nil, commitMigration);
}
Ref<NSString> DIUUID::uuidForDeviceMigratingValueForKey(const Ref<NSString>& key, const Ref<NSString>& service, bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValueForKey(key, service, nil, commitMigration);
}
Ref<NSString> DIUUID::uuidForDeviceMigratingValueForKey(const Ref<NSString>& key, const Ref<NSString>& service, const Ref<NSString>& accessGroup,
                                                        bool commitMigration)
{
    return sharedInstance()->instanceUuidForDeviceMigratingValueForKey(key, service, accessGroup, commitMigration);
}
Ref<NSArray> DIUUID::uuidsOfUserDevices() { return sharedInstance()->instanceUuidsOfUserDevices(); }
Ref<NSArray> DIUUID::uuidsOfUserDevicesExcludingCurrentDevice() { return sharedInstance()->instanceUuidsOfUserDevicesExcludingCurrentDevice(); }

bool DIUUID::uuidValueIsValid(const Ref<NSString>& value)
{
    if (!value)
        return false;
    const std::string& s = value->utf8();
    if (s.size() == 32)
        return hexDigits(s, 0, 32);
    if (s.size() == 36)
        return hexDigits(s, 0, 8) && s[8] == '-' && hexDigits(s, 9, 4) && s[13] == '-' && hexDigits(s, 14, 4) && s[18] == '-'
            && hexDigits(s, 19, 4) && s[23] == '-' && hexDigits(s, 24, 12);
    return false;
}

// Identifiers held in memory -------------------------------------------------------------------

Ref<NSString> DIUUID::instanceUuid() const
{
    return identifierForm(NSUUID::UUID());
}

Ref<NSString> DIUUID::instanceUuidForKey(const id& key)
{
    if (!key)
        return nil;
    dv::MutexLocker lock(m_lock);
    if (!m_uuidForKey)
        m_uuidForKey = NSMutableDictionary::dictionary();
    auto value = dv::as<NSString>(m_uuidForKey->objectForKey(key));
    if (!value) {
        value = instanceUuid();
        m_uuidForKey->setObjectForKey(value, key);
    }
    return value;
}

Ref<NSString> DIUUID::instanceUuidForSession()
{
    dv::MutexLocker lock(m_lock);
    if (!m_uuidForSession)
        m_uuidForSession = instanceUuid();
    return m_uuidForSession;
}

Ref<NSString> DIUUID::instanceUuidForVendor()
{
    if (auto cached = lockedField(&DIUUID::m_uuidForVendor))
        return cached;
    auto vendor = dv::internal::identity::identifierForVendor();
    if (!vendor)
        return nil; // asked again next time
    auto value = identifierForm(vendor);
    dv::MutexLocker lock(m_lock);
    if (!m_uuidForVendor)
        m_uuidForVendor = value;
    return m_uuidForVendor;
}

// Persistent identifiers -----------------------------------------------------------------------

Ref<NSString> DIUUID::instanceUuidForInstallation()
{
    if (auto cached = lockedField(&DIUUID::m_uuidForInstallation))
        return cached;
    dv::RecursiveMutexLocker fill(m_storeLock);
    if (auto cached = lockedField(&DIUUID::m_uuidForInstallation))
        return cached;
    auto value = _getOrCreateValueForKey(kInstallationKey, nil, true, true, nil, nil, false);
    dv::MutexLocker lock(m_lock);
    m_uuidForInstallation = value;
    return value;
}

Ref<NSString> DIUUID::instanceUuidForDevice()
{
    if (auto cached = lockedField(&DIUUID::m_uuidForDevice))
        return cached;
    dv::RecursiveMutexLocker fill(m_storeLock);
    if (auto cached = lockedField(&DIUUID::m_uuidForDevice))
        return cached;
    auto value = _getOrCreateValueForKey(kDeviceKey, nil, true, true, nil, nil, false);
    dv::MutexLocker lock(m_lock);
    m_uuidForDevice = value;
    return value;
}

void DIUUID::uuidForDevice_updateWithValue(const Ref<NSString>& value)
{
    auto copy = dv::copyAs<NSString>(value);
    dv::RecursiveMutexLocker fill(m_storeLock);
    {
        dv::MutexLocker lock(m_lock);
        m_uuidForDevice = copy;
    }
    _setValue(copy, kDeviceKey, true, true, nil, nil, false);
}

// Storage --------------------------------------------------------------------------------------

Ref<NSString> DIUUID::_getValueForKey(const Ref<NSString>& key, bool userDefaults, bool keychain, const Ref<NSString>& service,
                                      const Ref<NSString>& accessGroup)
{
    Ref<NSString> value;
    if (keychain)
        value = KeychainStore::stringForKeyService(key, service, accessGroup);
    if (!value && userDefaults)
        value = NSUserDefaults::standardUserDefaults()->stringForKey(key);
    return value;
}

void DIUUID::_setValue(const Ref<NSString>& value, const Ref<NSString>& key, bool userDefaults, bool keychain, const Ref<NSString>& service,
                       const Ref<NSString>& accessGroup, bool synchronizable)
{
    if (!value)
        return;
    if (userDefaults) {
        auto defaults = NSUserDefaults::standardUserDefaults();
        defaults->setObjectForKey(value, key);
        [[maybe_unused]] bool written = defaults->synchronize(); // a failed write keeps the value in memory
    }
    if (keychain) {
        auto store = KeychainStore::keyChainStoreWithService(service, accessGroup);
        store->setSynchronizable(synchronizable);
        [[maybe_unused]] bool written = store->setString(value, key); // failure ignored: the value in memory stays in use
    }
}

Ref<NSString> DIUUID::_getOrCreateValueForKey(const Ref<NSString>& key, const Ref<NSString>& defaultValue, bool userDefaults, bool keychain,
                                              const Ref<NSString>& service, const Ref<NSString>& accessGroup, bool synchronizable)
{
    dv::RecursiveMutexLocker fill(m_storeLock);
    auto value = _getValueForKey(key, userDefaults, keychain, service, accessGroup);
    if (!value)
        value = defaultValue;
    if (!value)
        value = instanceUuid();
    // Written back even when found, so that a value present in only one store reaches the other.
    _setValue(value, key, userDefaults, keychain, service, accessGroup, synchronizable);
    return value;
}

// Migration ------------------------------------------------------------------------------------

Ref<NSString> DIUUID::instanceUuidForDeviceMigratingValue(const Ref<NSString>& value, bool commitMigration)
{
    if (!uuidValueIsValid(value))
        NSException::raise("Invalid uuid to migrate"_ns, "uuid value should be a string of 32 or 36 characters."_ns);
    dv::RecursiveMutexLocker fill(m_storeLock);
    auto current = instanceUuidForDevice();
    if (value->isEqualToString(current) || !commitMigration)
        return current;

    uuidForDevice_updateWithValue(value);
    auto devices = NSMutableOrderedSet::orderedSetWithArray(instanceUuidsOfUserDevices());
    devices->addObject(value);
    devices->removeObject(current);
    uuidsOfUserDevices_updateWithValue(devices->array());
    uuidsOfUserDevices_iCloudSync();
    return instanceUuidForDevice();
}

Ref<NSString> DIUUID::instanceUuidForDeviceMigratingValueForKey(const Ref<NSString>& key, const Ref<NSString>& service,
                                                                const Ref<NSString>& accessGroup, bool commitMigration)
{
    auto old = key ? _getValueForKey(key, true, true, service, accessGroup) : nil;
    // Nothing stored under the key is the ordinary "nothing to migrate" case, not a bad value.
    if (!old)
        return instanceUuidForDevice();
    return instanceUuidForDeviceMigratingValue(old, commitMigration);
}

// Devices of the user --------------------------------------------------------------------------

Ref<NSArray> DIUUID::instanceUuidsOfUserDevices()
{
    auto joined = lockedField(&DIUUID::m_uuidsOfUserDevices);
    if (!joined) {
        dv::RecursiveMutexLocker fill(m_storeLock);
        joined = lockedField(&DIUUID::m_uuidsOfUserDevices);
        if (!joined) {
            auto device = instanceUuidForDevice();
            joined = _getOrCreateValueForKey(kUserDevicesKey, device, true, true, nil, nil, true);
            dv::MutexLocker lock(m_lock);
            m_uuidsOfUserDevices = joined;
        }
    }
    return joined->componentsSeparatedByString(kSeparator);
}

Ref<NSArray> DIUUID::instanceUuidsOfUserDevicesExcludingCurrentDevice()
{
    auto devices = NSMutableArray::arrayWithArray(instanceUuidsOfUserDevices());
    devices->removeObject(instanceUuidForDevice());
    return NSArray::arrayWithArray(devices);
}

void DIUUID::uuidsOfUserDevices_updateWithValue(const Ref<NSArray>& uuids)
{
    auto joined = uuids ? uuids->componentsJoinedByString(kSeparator) : nil;
    dv::RecursiveMutexLocker fill(m_storeLock);
    {
        dv::MutexLocker lock(m_lock);
        m_uuidsOfUserDevices = joined;
    }
    _setValue(joined, kUserDevicesKey, true, true, nil, nil, true);
}

// Cloud key-value store ------------------------------------------------------------------------

bool DIUUID::uuidsOfUserDevicesICloudAvailable() const
{
    dv::MutexLocker lock(m_lock);
    return m_uuidsOfUserDevices_iCloudAvailable;
}

void DIUUID::uuidsOfUserDevices_iCloudInit()
{
    {
        dv::MutexLocker lock(m_lock);
        m_uuidsOfUserDevices_iCloudAvailable = false;
    }
    if (!NSUbiquitousKeyValueStore::defaultStore())
        return;
    {
        dv::MutexLocker lock(m_lock);
        m_uuidsOfUserDevices_iCloudAvailable = true;
    }
    NSNotificationCenter::defaultCenter()->addObserver(self<DIUUID>(), &DIUUID::uuidsOfUserDevices_iCloudChange,
                                                       NSUbiquitousKeyValueStoreDidChangeExternallyNotification, nil);
    uuidsOfUserDevices_iCloudSync();
}

void DIUUID::uuidsOfUserDevices_iCloudSync()
{
    if (!uuidsOfUserDevicesICloudAvailable())
        return;
    auto store = NSUbiquitousKeyValueStore::defaultStore();
    if (!store)
        return;
    auto devices = instanceUuidsOfUserDevices();
    for (const id& element : devices->items()) {
        auto identifier = dv::as<NSString>(element);
        auto key = NSString::stringWithFormat("%@_%@", kDeviceKey, identifier);
        if (!dv::equal(store->stringForKey(key), identifier))
            store->setString(identifier, key);
    }
    store->setBool(!store->boolForKey(kUserDevicesToggleKey), kUserDevicesToggleKey);
    store->synchronize();
}

void DIUUID::uuidsOfUserDevices_iCloudChange(const Ref<NSNotification>&)
{
    if (!uuidsOfUserDevicesICloudAvailable())
        return;
    auto store = NSUbiquitousKeyValueStore::defaultStore();
    if (!store)
        return;
    Ref<NSArray> changed;
    {
        dv::RecursiveMutexLocker fill(m_storeLock);
        auto devices = NSMutableOrderedSet::orderedSetWithArray(instanceUuidsOfUserDevices());
        const NSUInteger before = devices->count();
        auto entries = store->dictionaryRepresentation();
        auto keys = entries->allKeys();
        for (const id& keyObject : keys->items()) {
            auto key = dv::as<NSString>(keyObject);
            auto value = dv::as<NSString>(entries->objectForKey(keyObject));
            if (key && value && key->hasPrefix(kDeviceKey) && key->containsString(value) && uuidValueIsValid(value))
                devices->addObject(value);
        }
        if (devices->count() > before) {
            changed = devices->array();
            uuidsOfUserDevices_updateWithValue(changed);
        }
    }
    // Posted with no lock held: observers may call straight back into this class.
    if (changed)
        NSNotificationCenter::defaultCenter()->postNotificationName(DIUUIDsOfUserDevicesDidChangeNotification, self(),
                                                                    NSDictionary::of({ { "uuidsOfUserDevices"_ns, changed } }));
}
