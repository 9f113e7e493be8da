// DIUUID: identifiers of several lifetimes — a fresh one per call, one per key or per launch for
// the life of the process, one per installation, one per vendor, and one per device. The device
// identifier (`uuidForDevice`, the `clientId` of every server request) is kept in the keychain
// and in the user defaults, so it survives a reinstall: the application container is wiped, the
// keychain is not, and the next launch writes the keychain copy back to the fresh defaults.
// The class also keeps the identifiers of all devices of the same user, shared through the cloud
// key-value store when the platform offers one, and can adopt an identifier stored by an older
// application under another key (migration).
//
// One shared instance per process holds the cached identifiers; any thread may call. The cached
// fields are guarded by one lock that is never held while the stores are called or a
// notification is posted; fills that read and write the stores run one at a time.
//
//   form->setObjectForKey(DIUUID::uuidForDevice(), "clientId"_ns);
//
// Every operation is a class method forwarding to the shared instance; the instance forms carry
// the prefix `instance` (C++ cannot overload a static and a member function of one signature).
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"


class NSNotification;

// Posted (object: the shared instance) when a change of the cloud store added identifiers to the
// user's device list; user info "uuidsOfUserDevices": the new list, an array of strings.
extern const Ref<NSString> DIUUIDsOfUserDevicesDidChangeNotification;

class DIUUID : public NSObject {
    DV_CLASS(DIUUID, NSObject)

    DIUUID() = default;
    ~DIUUID() override;

    // The shared instance, made once with init (which also starts the cloud synchronisation).
    static Ref<DIUUID> sharedInstance();

    // Class forms.
    static Ref<NSString> uuid();
    static Ref<NSString> uuidForKey(const id& key);
    static Ref<NSString> uuidForSession();
    static Ref<NSString> uuidForInstallation();
    static Ref<NSString> uuidForVendor();
    static Ref<NSString> uuidForDevice();
    // Raise "Invalid uuid to migrate" for a value that is not a valid identifier. The forms that
    // read the old value from the stores answer the current device identifier, unchanged, when
    // nothing is stored under the key.
    static Ref<NSString> uuidForDeviceMigratingValue(const Ref<NSString>& value, bool commitMigration);
    static Ref<NSString> uuidForDeviceMigratingValueForKey(const Ref<NSString>& key, bool commitMigration);
    static Ref<NSString> uuidForDeviceMigratingValueForKey(const Ref<NSString>& key, const Ref<NSString>& service, bool commitMigration);
    static Ref<NSString> uuidForDeviceMigratingValueForKey(const Ref<NSString>& key, const Ref<NSString>& service,
                                                           const Ref<NSString>& accessGroup, bool commitMigration);
    static Ref<NSArray> uuidsOfUserDevices();
    static Ref<NSArray> uuidsOfUserDevicesExcludingCurrentDevice();
    // 32 hexadecimal digits, or the 8-4-4-4-12 form with dashes, in either case.
    static bool uuidValueIsValid(const Ref<NSString>& value);

    // Instance forms.
    Ref<DIUUID> init();
    Ref<NSString> instanceUuid() const;
    Ref<NSString> instanceUuidForKey(const id& key);
    Ref<NSString> instanceUuidForSession();
    Ref<NSString> instanceUuidForInstallation();
    Ref<NSString> instanceUuidForVendor();
    Ref<NSString> instanceUuidForDevice();
    Ref<NSString> instanceUuidForDeviceMigratingValue(const Ref<NSString>& value, bool commitMigration);
    Ref<NSString> instanceUuidForDeviceMigratingValueForKey(const Ref<NSString>& key, const Ref<NSString>& service,
                                                            const Ref<NSString>& accessGroup, bool commitMigration);
    Ref<NSArray> instanceUuidsOfUserDevices();
    Ref<NSArray> instanceUuidsOfUserDevicesExcludingCurrentDevice();
    bool instanceUuidValueIsValid(const Ref<NSString>& value) const { return uuidValueIsValid(value); }

    // Storage: the keychain copy (nil service: the keychain store's default service) is read
    // first and wins; writes go to the user defaults, then the keychain; failures are ignored.
    Ref<NSString> _getOrCreateValueForKey(const Ref<NSString>& key, const Ref<NSString>& defaultValue, bool userDefaults, bool keychain,
                                          const Ref<NSString>& service, const Ref<NSString>& accessGroup, bool synchronizable);
    Ref<NSString> _getValueForKey(const Ref<NSString>& key, bool userDefaults, bool keychain, const Ref<NSString>& service,
                                  const Ref<NSString>& accessGroup);
    void _setValue(const Ref<NSString>& value, const Ref<NSString>& key, bool userDefaults, bool keychain, const Ref<NSString>& service,
                   const Ref<NSString>& accessGroup, bool synchronizable);
    void uuidForDevice_updateWithValue(const Ref<NSString>& value);
    void uuidsOfUserDevices_iCloudInit();
    void uuidsOfUserDevices_iCloudSync();
    void uuidsOfUserDevices_iCloudChange(const Ref<NSNotification>& notification);
    void uuidsOfUserDevices_updateWithValue(const Ref<NSArray>& uuids);

    // Whether the cloud store is in use.
    bool uuidsOfUserDevicesICloudAvailable() const;

    // Tests: forget the shared instance (the next use makes a new one, as a new launch would).
    static void resetSharedInstanceForTesting();

private:
    Ref<NSString> lockedField(Ref<NSString> DIUUID::*field) const;

    mutable dv::Mutex m_lock; // guards the fields below; never held across store calls or posts
    Ref<NSMutableDictionary> m_uuidForKey DV_GUARDED_BY(m_lock);
    Ref<NSString> m_uuidForSession DV_GUARDED_BY(m_lock);
    Ref<NSString> m_uuidForInstallation DV_GUARDED_BY(m_lock);
    Ref<NSString> m_uuidForVendor DV_GUARDED_BY(m_lock);
    Ref<NSString> m_uuidForDevice DV_GUARDED_BY(m_lock);
    Ref<NSString> m_uuidsOfUserDevices DV_GUARDED_BY(m_lock);
    bool m_uuidsOfUserDevices_iCloudAvailable DV_GUARDED_BY(m_lock) = false;

    // Serialises the read-modify-write sequences over the stores, so that two threads filling the
    // same identifier on a fresh device agree on one value. Recursive: a fill may need another
    // (the device list starts from the device identifier).
    dv::RecursiveMutex m_storeLock;
};
