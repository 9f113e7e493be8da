#include "platform/system/ABMultiValue.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(ABMultiValue)
DV_DEFINE_CLASS(ABMutableMultiValue)

namespace {

// The value kinds of the multi-value types (string, integer, real, date, dictionary).
bool suits(std::uint32_t type, const id& value)
{
    switch (type) {
    case 257: return dv::as<NSString>(value) != nil;
    case 258:
    case 259: return dv::as<NSNumber>(value) != nil;
    case 260: return dv::as<NSDate>(value) != nil;
    case 261: return dv::as<NSDictionary>(value) != nil;
    default: return false;
    }
}

} // namespace

Ref<ABMultiValue> ABMultiValue::initWithType(ABPropertyType type)
{
    m_type = type;
    return self<ABMultiValue>();
}

Ref<NSString> ABMultiValue::description() const
{
    auto text = NSMutableString::string();
    text->appendFormat("ABMultiValue (%u entries)", static_cast<unsigned>(m_entries.size()));
    for (const auto& entry : m_entries)
        text->appendFormat("\n  %d %@: %@", entry.identifier, entry.label, entry.value);
    return text;
}

ABMultiValueIdentifier ABMutableMultiValue::addValueAndLabel(const id& value, const Ref<NSString>& label)
{
    if (!value || !suits(m_type, value))
        return kABMultiValueInvalidIdentifier;
    ABMultiValueIdentifier identifier = m_nextIdentifier++;
    m_entries.push_back({ identifier, dv::copyAs<NSString>(label), value->copy() });
    return identifier;
}

bool ABMutableMultiValue::removeAtIndex(NSUInteger index)
{
    if (index >= m_entries.size())
        return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

void ABMutableMultiValue::restore(ABMultiValueIdentifier identifier, const Ref<NSString>& label, const id& value)
{
    m_entries.push_back({ identifier, label, value });
    if (identifier >= m_nextIdentifier)
        m_nextIdentifier = identifier + 1;
}
