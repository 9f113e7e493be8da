// The user's cloud key-value store as DIUUID uses it: the default store when the platform offers
// one, else absent. Any thread.
#pragma once

#include "platform/base/Forward.h"

namespace dv::internal {

class CloudKeyValueStore {
public:
    // The platform's default store, or nil when there is none (the store is then unused).
    static id defaultStore();
    // The notification the store posts when another device changed it.
    static Ref<NSString> didChangeExternallyNotification();

    static Ref<NSString> stringForKey(const id& store, const Ref<NSString>& key);
    static void setString(const id& store, const Ref<NSString>& value, const Ref<NSString>& key);
    static bool boolForKey(const id& store, const Ref<NSString>& key);
    static void setBool(const id& store, bool value, const Ref<NSString>& key);
    static Ref<NSDictionary> dictionaryRepresentation(const id& store);
    static bool synchronize(const id& store);
};

} // namespace dv::internal
