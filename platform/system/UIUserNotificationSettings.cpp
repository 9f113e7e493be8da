#include "platform/system/UIUserNotificationSettings.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(UIUserNotificationSettings)

Ref<UIUserNotificationSettings> UIUserNotificationSettings::settingsForTypes(UIUserNotificationType types, const Ref<NSSet>& categories)
{
    auto settings = alloc<UIUserNotificationSettings>();
    settings->m_types = types & (UIUserNotificationTypeBadge | UIUserNotificationTypeSound | UIUserNotificationTypeAlert);
    settings->m_categories = categories ? dv::copyAs<NSSet>(categories) : nil;
    return settings;
}

Ref<NSString> UIUserNotificationSettings::description() const
{
    return NSString::stringWithFormat("<UIUserNotificationSettings %p; types: (%s%s%s);>", this,
                                      (m_types & UIUserNotificationTypeAlert) ? "UIUserNotificationTypeAlert " : "",
                                      (m_types & UIUserNotificationTypeBadge) ? "UIUserNotificationTypeBadge " : "",
                                      (m_types & UIUserNotificationTypeSound) ? "UIUserNotificationTypeSound" : "");
}
