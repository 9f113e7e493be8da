// A record of the address book (a person). Holds its property values in memory; a record made with
// ABPersonCreate has no identifier until the address book it was added to is saved. The address
// book that loaded or received a record is remembered weakly, so a record never keeps its book.
#pragma once

#include "platform/base/NSObject.h"

#include <cstdint>
#include <map>

class ABAddressBook;

using ABRecordID = std::int32_t;
using ABPropertyID = std::int32_t;
using ABRecordType = std::uint32_t;
inline constexpr ABRecordID kABRecordInvalidID = -1;
enum : ABRecordType { kABPersonType = 0, kABGroupType = 1 };

class ABRecord : public NSObject {
    DV_CLASS(ABRecord, NSObject)

    ABRecord() = default;

    ABRecordID recordID() const { return m_recordID; }
    ABRecordType recordType() const { return m_type; }
    id valueForProperty(ABPropertyID property) const;
    // Changes are remembered as unsaved until the book is saved or reverted.
    void setValueForProperty(ABPropertyID property, const id& value);
    bool isDirty() const { return m_dirty; }
    const std::map<ABPropertyID, id>& values() const { return m_values; }
    Ref<NSString> description() const override;

private:
    friend class ABAddressBook;
    ABRecordID m_recordID = kABRecordInvalidID;
    ABRecordType m_type = kABPersonType;
    std::map<ABPropertyID, id> m_values;
    bool m_dirty = false;
    Weak<ABAddressBook> m_book;
};
