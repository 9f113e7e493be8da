#include "platform/system/NSUbiquitousKeyValueStore.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"

const Ref<NSString> NSUbiquitousKeyValueStoreDidChangeExternallyNotification = "NSUbiquitousKeyValueStoreDidChangeExternallyNotification"_ns;
const Ref<NSString> NSUbiquitousKeyValueStoreChangeReasonKey = "NSUbiquitousKeyValueStoreChangeReasonKey"_ns;
const Ref<NSString> NSUbiquitousKeyValueStoreChangedKeysKey = "NSUbiquitousKeyValueStoreChangedKeysKey"_ns;

DV_DEFINE_CLASS(NSUbiquitousKeyValueStore)

namespace {

dv::Mutex s_storeMutex;
Ref<NSUbiquitousKeyValueStore> s_store DV_GUARDED_BY(s_storeMutex);

} // namespace

Ref<NSUbiquitousKeyValueStore> NSUbiquitousKeyValueStore::defaultStore()
{
    dv::MutexLocker lock(s_storeMutex);
    return s_store;
}

void NSUbiquitousKeyValueStore::installFake()
{
    auto store = alloc<NSUbiquitousKeyValueStore>();
    {
        dv::MutexLocker storeLock(store->m_mutex);
        store->m_values = NSMutableDictionary::dictionary();
    }
    dv::MutexLocker lock(s_storeMutex);
    s_store = store;
}

void NSUbiquitousKeyValueStore::uninstallFake()
{
    dv::MutexLocker lock(s_storeMutex);
    s_store = nil;
}

id NSUbiquitousKeyValueStore::objectForKey(const Ref<NSString>& key) const
{
    dv::MutexLocker lock(m_mutex);
    return key && m_values ? m_values->objectForKey(key) : nil;
}

Ref<NSString> NSUbiquitousKeyValueStore::stringForKey(const Ref<NSString>& key) const { return dv::as<NSString>(objectForKey(key)); }

bool NSUbiquitousKeyValueStore::boolForKey(const Ref<NSString>& key) const
{
    auto number = dv::as<NSNumber>(objectForKey(key));
    return number && number->boolValue();
}

void NSUbiquitousKeyValueStore::setObjectForKey(const id& value, const Ref<NSString>& key)
{
    if (!key)
        return;
    dv::MutexLocker lock(m_mutex);
    if (!m_values)
        m_values = NSMutableDictionary::dictionary();
    m_values->setObjectForKeyedSubscript(value ? value->copy() : nil, key);
}

void NSUbiquitousKeyValueStore::setString(const Ref<NSString>& value, const Ref<NSString>& key) { setObjectForKey(value, key); }
void NSUbiquitousKeyValueStore::setBool(bool value, const Ref<NSString>& key) { setObjectForKey(NSNumber::numberWithBool(value), key); }
void NSUbiquitousKeyValueStore::removeObjectForKey(const Ref<NSString>& key) { setObjectForKey(nil, key); }

Ref<NSDictionary> NSUbiquitousKeyValueStore::dictionaryRepresentation() const
{
    dv::MutexLocker lock(m_mutex);
    return m_values ? NSDictionary::dictionaryWithDictionary(m_values) : NSDictionary::dictionary();
}

bool NSUbiquitousKeyValueStore::synchronize()
{
    dv::MutexLocker lock(m_mutex);
    ++m_synchronizeCount;
    return true;
}

NSInteger NSUbiquitousKeyValueStore::synchronizeCount() const
{
    dv::MutexLocker lock(m_mutex);
    return m_synchronizeCount;
}

void NSUbiquitousKeyValueStore::simulateExternalChange(const Ref<NSDictionary>& changes)
{
    auto keys = NSMutableArray::array();
    if (changes) {
        for (const auto& [key, value] : *changes) {
            auto name = dv::as<NSString>(key);
            if (!name)
                continue;
            setObjectForKey(dv::as<NSNull>(value) ? nil : value, name);
            keys->addObject(name);
        }
    }
    // Observers run without the store's lock held, so they may read and write the store.
    NSNotificationCenter::defaultCenter()->postNotificationName(NSUbiquitousKeyValueStoreDidChangeExternallyNotification, self<NSObject>(),
        NSDictionary::of({ { NSUbiquitousKeyValueStoreChangeReasonKey, NSNumber::numberWithInteger(NSUbiquitousKeyValueStoreServerChange) },
                           { NSUbiquitousKeyValueStoreChangedKeysKey, NSArray::arrayWithArray(keys) } }));
}
