// A handle on the device's address book, kept in an SQLite database in the device folder. The
// handle holds a snapshot of the saved people plus the changes made through it; ABAddressBookSave
// writes all of them in one transaction, so a crash keeps either the whole save or none of it.
// A handle belongs to one thread at a time.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/system/ABRecord.h"

#include <string>
#include <vector>

class ABAddressBook : public NSObject {
    DV_CLASS(ABAddressBook, NSObject)

    ABAddressBook() = default;
    // nil and an error when the database cannot be opened or read.
    static Ref<ABAddressBook> open(Ref<NSError>* error);

    Ref<NSArray> allPeople();
    Ref<ABRecord> personWithRecordID(ABRecordID recordID);
    bool addRecord(const Ref<ABRecord>& record, Ref<NSError>* error);
    bool removeRecord(const Ref<ABRecord>& record, Ref<NSError>* error);
    bool hasUnsavedChanges() const;
    bool save(Ref<NSError>* error);
    void revert();

private:
    bool loadIfAllowed();
    std::string m_path;
    bool m_loaded = false;
    std::vector<Ref<ABRecord>> m_people;  // saved, in the order of their identifiers
    std::vector<Ref<ABRecord>> m_added;   // not yet saved
    std::vector<ABRecordID> m_removed;    // saved people to delete at the next save
};
