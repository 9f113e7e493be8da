#include "platform/system/ABRecord.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(ABRecord)

id ABRecord::valueForProperty(ABPropertyID property) const
{
    auto it = m_values.find(property);
    return it == m_values.end() ? nil : it->second;
}

void ABRecord::setValueForProperty(ABPropertyID property, const id& value)
{
    if (value)
        m_values[property] = value;
    else
        m_values.erase(property);
    m_dirty = true;
}

Ref<NSString> ABRecord::description() const
{
    return NSString::stringWithFormat("<ABPerson %p id=%d>", this, m_recordID);
}
