#include "platform/base/ClassBuilder.h"
#include "platform/base/NSURLQueryItem.h"

#include "platform/base/NSString.h"

DV_DEFINE_CLASS(NSURLQueryItem)

Ref<NSURLQueryItem> NSURLQueryItem::initWithName(const Ref<NSString>& name, const Ref<NSString>& value)
{
    NSObject::init();
    m_name = name ? dv::copyAs<NSString>(name) : NSString::string();
    m_value = dv::copyAs<NSString>(value);
    return self<NSURLQueryItem>();
}

Ref<NSURLQueryItem> NSURLQueryItem::queryItemWithName(const Ref<NSString>& name, const Ref<NSString>& value)
{
    return alloc<NSURLQueryItem>()->initWithName(name, value);
}

Ref<NSString> NSURLQueryItem::description() const
{
    return NSString::stringWithFormat("<NSURLQueryItem %p> {name = %@, value = %@}", static_cast<const void*>(this), m_name, m_value);
}

bool NSURLQueryItem::isEqual(const NSObject* other) const
{
    auto item = dynamic_cast<const NSURLQueryItem*>(other);
    return item && dv::equal(m_name, item->m_name) && dv::equal(m_value, item->m_value);
}

NSUInteger NSURLQueryItem::hash() const { return (m_name ? m_name->hash() : 0) ^ (m_value ? m_value->hash() * 31 : 7); }

id NSURLQueryItem::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSObject>(shared_from_this()); }
