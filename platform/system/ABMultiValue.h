// A multi-value of an address-book record: an ordered list of (identifier, label, value) entries
// of one property type, such as a person's phone numbers. Identifiers stay with their entry for the
// life of the value. Immutable once made; ABMutableMultiValue is the editable form. Values are
// owned by the record they are set on (the record keeps a copy).
#pragma once

#include "platform/base/NSObject.h"

#include <cstdint>
#include <vector>

using ABPropertyType = std::uint32_t;
using ABMultiValueIdentifier = std::int32_t;
inline constexpr ABMultiValueIdentifier kABMultiValueInvalidIdentifier = -1;

class ABMultiValue : public NSObject {
    DV_CLASS(ABMultiValue, NSObject)

    struct Entry {
        ABMultiValueIdentifier identifier = 0;
        Ref<NSString> label;
        id value;
    };

    ABMultiValue() = default;
    Ref<ABMultiValue> initWithType(ABPropertyType type);

    ABPropertyType propertyType() const { return m_type; }
    const std::vector<Entry>& entries() const { return m_entries; }
    ABMultiValueIdentifier nextIdentifier() const { return m_nextIdentifier; }
    // An independent copy of the entries, identifiers included.
    template <class T>
    Ref<T> copyInto() const
    {
        auto copy = alloc<T>();
        copy->m_type = m_type;
        copy->m_entries = m_entries;
        copy->m_nextIdentifier = m_nextIdentifier;
        return copy;
    }
    Ref<NSString> description() const override;

protected:
    ABPropertyType m_type = 0;
    std::vector<Entry> m_entries;
    ABMultiValueIdentifier m_nextIdentifier = 0;
};

class ABMutableMultiValue : public ABMultiValue {
    DV_CLASS(ABMutableMultiValue, ABMultiValue)

    ABMutableMultiValue() = default;
    // Answers the new entry's identifier, or kABMultiValueInvalidIdentifier when the value does
    // not suit the property type (nothing is added then).
    ABMultiValueIdentifier addValueAndLabel(const id& value, const Ref<NSString>& label);
    bool removeAtIndex(NSUInteger index);
    // Restores entries read from storage, identifiers included.
    void restore(ABMultiValueIdentifier identifier, const Ref<NSString>& label, const id& value);
};
