#include "platform/dispatch/NSNotification.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(NSNotification)

Ref<NSNotification> NSNotification::notificationWithName(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo)
{
    return alloc<NSNotification>()->initWithName(name, object, userInfo);
}

Ref<NSNotification> NSNotification::initWithName(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo)
{
    m_name = dv::copyAs<NSString>(name);
    m_object = object;
    m_userInfo = dv::copyAs<NSDictionary>(userInfo);
    return self<NSNotification>();
}

Ref<NSString> NSNotification::description() const
{
    return NSString::stringWithFormat("NSConcreteNotification %p {name = %@; object = %@; userInfo = %@}", this, m_name, m_object, m_userInfo);
}
