#include "foundation/identity/internal/CloudKeyValueStore.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"

namespace dv::internal {

// The platform offers no cloud key-value store yet: the store is absent and the device list is
// kept locally only.
id CloudKeyValueStore::defaultStore() { return nil; }
Ref<NSString> CloudKeyValueStore::didChangeExternallyNotification() { return "NSUbiquitousKeyValueStoreDidChangeExternallyNotification"_ns; }
Ref<NSString> CloudKeyValueStore::stringForKey(const id&, const Ref<NSString>&) { return nil; }
void CloudKeyValueStore::setString(const id&, const Ref<NSString>&, const Ref<NSString>&) { }
bool CloudKeyValueStore::boolForKey(const id&, const Ref<NSString>&) { return false; }
void CloudKeyValueStore::setBool(const id&, bool, const Ref<NSString>&) { }
Ref<NSDictionary> CloudKeyValueStore::dictionaryRepresentation(const id&) { return NSDictionary::dictionary(); }
bool CloudKeyValueStore::synchronize(const id&) { return false; }

} // namespace dv::internal
