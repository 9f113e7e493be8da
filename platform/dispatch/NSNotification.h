// NSNotification: a name, the object that posted it (or nil) and a user-info dictionary.
// Immutable once made; shared freely between threads.
#pragma once

#include "platform/base/NSObject.h"

#include <string_view>

class NSNotification : public NSObject {
    DV_CLASS(NSNotification, NSObject)

    NSNotification() = default;

    static Ref<NSNotification> notificationWithName(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo = nil);
    Ref<NSNotification> initWithName(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo);

    Ref<NSString> name() const { return m_name; }
    id object() const { return m_object; }
    Ref<NSDictionary> userInfo() const { return m_userInfo; }

    Ref<NSString> description() const override;

private:
    Ref<NSString> m_name;
    id m_object;
    Ref<NSDictionary> m_userInfo;
};
