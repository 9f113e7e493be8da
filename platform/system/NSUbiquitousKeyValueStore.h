// NSUbiquitousKeyValueStore: the cloud key-value store. This platform has no cloud account, so
// defaultStore() answers nil (the availability check says no) unless a test installs the fake,
// which keeps its values in memory and can simulate a change made by another device: the values
// change and NSUbiquitousKeyValueStoreDidChangeExternallyNotification is posted on the calling
// thread, as the platform posts it on its own.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"


extern const Ref<NSString> NSUbiquitousKeyValueStoreDidChangeExternallyNotification;
extern const Ref<NSString> NSUbiquitousKeyValueStoreChangeReasonKey;
extern const Ref<NSString> NSUbiquitousKeyValueStoreChangedKeysKey;

enum : NSInteger {
    NSUbiquitousKeyValueStoreServerChange = 0,
    NSUbiquitousKeyValueStoreInitialSyncChange = 1,
    NSUbiquitousKeyValueStoreQuotaViolationChange = 2,
    NSUbiquitousKeyValueStoreAccountChange = 3,
};

class NSUbiquitousKeyValueStore : public NSObject {
    DV_CLASS(NSUbiquitousKeyValueStore, NSObject)

    NSUbiquitousKeyValueStore() = default;
    static Ref<NSUbiquitousKeyValueStore> defaultStore(); // nil without the fake

    id objectForKey(const Ref<NSString>& key) const;
    Ref<NSString> stringForKey(const Ref<NSString>& key) const;
    bool boolForKey(const Ref<NSString>& key) const;
    void setObjectForKey(const id& value, const Ref<NSString>& key); // nil removes
    void setString(const Ref<NSString>& value, const Ref<NSString>& key);
    void setBool(bool value, const Ref<NSString>& key);
    void removeObjectForKey(const Ref<NSString>& key);
    Ref<NSDictionary> dictionaryRepresentation() const;
    bool synchronize();

    // The fake's test side.
    static void installFake();   // defaultStore() answers a new, empty store
    static void uninstallFake(); // back to no store
    // Applies the entries (NSNull removes) as if another device had written them, then posts the
    // change notification with the server-change reason and the changed keys.
    void simulateExternalChange(const Ref<NSDictionary>& changes);
    NSInteger synchronizeCount() const;

private:
    mutable dv::Mutex m_mutex;
    Ref<NSMutableDictionary> m_values DV_GUARDED_BY(m_mutex);
    NSInteger m_synchronizeCount DV_GUARDED_BY(m_mutex) = 0;
};
