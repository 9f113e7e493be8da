// UIUserNotificationSettings: the kinds of user notification (badge, sound, alert) an application
// asks for, with its action categories. Immutable.
#pragma once

#include "platform/base/NSObject.h"

using UIUserNotificationType = NSUInteger;
enum : UIUserNotificationType {
    UIUserNotificationTypeNone = 0,
    UIUserNotificationTypeBadge = 1 << 0,
    UIUserNotificationTypeSound = 1 << 1,
    UIUserNotificationTypeAlert = 1 << 2,
};

using UIRemoteNotificationType = NSUInteger;
enum : UIRemoteNotificationType {
    UIRemoteNotificationTypeNone = 0,
    UIRemoteNotificationTypeBadge = 1 << 0,
    UIRemoteNotificationTypeSound = 1 << 1,
    UIRemoteNotificationTypeAlert = 1 << 2,
    UIRemoteNotificationTypeNewsstandContentAvailability = 1 << 3,
};

class UIUserNotificationSettings : public NSObject {
    DV_CLASS(UIUserNotificationSettings, NSObject)

    UIUserNotificationSettings() = default;
    static Ref<UIUserNotificationSettings> settingsForTypes(UIUserNotificationType types, const Ref<NSSet>& categories);

    UIUserNotificationType types() const { return m_types; }
    Ref<NSSet> categories() const { return m_categories; }
    Ref<NSString> description() const override;

private:
    UIUserNotificationType m_types = UIUserNotificationTypeNone;
    Ref<NSSet> m_categories;
};
