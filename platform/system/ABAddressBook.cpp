#include "platform/system/ABAddressBook.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/system/AddressBook.h"
#include "platform/system/SqliteTransaction.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/AddressBookDatabase.h"

#include <algorithm>

using dv::internal::system::AddressBookDatabase;
using dv::internal::system::PersonRow;

DV_DEFINE_CLASS(ABAddressBook)

namespace {

Ref<NSError> bookError(NSInteger code, const std::string& message)
{
    return NSError::errorWithDomain(ABAddressBookErrorDomain, code,
        NSDictionary::of({ { NSLocalizedDescriptionKey, NSString::fromUTF8(message) } }));
}

dv::Result<std::unique_ptr<AddressBookDatabase>> openDatabase(const std::string& path)
{
    if (!dv::SystemPaths::ensureDirectory(dv::SystemPaths::deviceFolder()))
        return dv::Failure("cannot create the device folder");
    return AddressBookDatabase::open(path);
}

void reportUnusable(const std::string& reason, Ref<NSError>* error)
{
    NSLog("address book: the database cannot be used: %s", reason);
    if (error)
        *error = bookError(kABOperationNotPermittedByStoreError, "The address book database cannot be read: " + reason);
}

// The database, or nil with the reason logged and set in `error`.
std::unique_ptr<AddressBookDatabase> openDatabase(const std::string& path, Ref<NSError>* error)
{
    auto db = openDatabase(path);
    if (!db) {
        reportUnusable(db.reason(), error);
        return nullptr;
    }
    return std::move(db).value();
}

std::optional<std::string> text(const Ref<ABRecord>& r, ABPropertyID p)
{
    if (auto s = dv::as<NSString>(r->valueForProperty(p)))
        return s->utf8();
    return std::nullopt;
}

PersonRow rowOf(const Ref<ABRecord>& record)
{
    PersonRow row;
    row.id = record->recordID();
    row.firstName = text(record, kABPersonFirstNameProperty);
    row.lastName = text(record, kABPersonLastNameProperty);
    row.organization = text(record, kABPersonOrganizationProperty);
    row.note = text(record, kABPersonNoteProperty);
    if (auto date = dv::as<NSDate>(record->valueForProperty(kABPersonBirthdayProperty)))
        row.birthday = date->timeIntervalSinceReferenceDate();
    if (auto phones = dv::as<ABMultiValue>(record->valueForProperty(kABPersonPhoneProperty))) {
        row.hasPhones = true;
        row.nextPhoneIdentifier = phones->nextIdentifier();
        for (const auto& entry : phones->entries())
            row.phones.push_back({ entry.identifier, entry.label ? std::optional<std::string>(entry.label->utf8()) : std::nullopt, dv::str(entry.value) });
    }
    return row;
}

void fill(const Ref<ABRecord>& record, const PersonRow& row)
{
    auto set = [&](ABPropertyID p, const std::optional<std::string>& v) {
        if (v)
            record->setValueForProperty(p, NSString::fromUTF8(*v));
    };
    set(kABPersonFirstNameProperty, row.firstName);
    set(kABPersonLastNameProperty, row.lastName);
    set(kABPersonOrganizationProperty, row.organization);
    set(kABPersonNoteProperty, row.note);
    if (row.birthday)
        record->setValueForProperty(kABPersonBirthdayProperty, NSDate::dateWithTimeIntervalSinceReferenceDate(*row.birthday));
    if (row.hasPhones) {
        auto phones = alloc<ABMutableMultiValue>();
        phones->initWithType(kABMultiStringPropertyType);
        for (const auto& phone : row.phones)
            phones->restore(phone.identifier, phone.label ? NSString::fromUTF8(*phone.label) : nil, NSString::fromUTF8(phone.value));
        record->setValueForProperty(kABPersonPhoneProperty, phones->copyInto<ABMultiValue>());
    }
}

} // namespace

Ref<ABAddressBook> ABAddressBook::open(Ref<NSError>* error)
{
    auto book = alloc<ABAddressBook>();
    book->m_path = dv::AddressBookAccess::databasePath();
    // The database is opened (and checked page by page) when the people are first read or saved;
    // the application makes a handle at every launch, on its main thread, where opening it would
    // cost more the more people were imported. A file that is no database at all is told to the
    // creator now, from its first bytes.
    if (auto checked = dv::SqliteDatabase::mayBeDatabase(book->m_path); !checked) {
        reportUnusable(checked.reason(), error);
        return nil;
    }
    return book;
}

bool ABAddressBook::loadIfAllowed()
{
    if (ABAddressBookGetAuthorizationStatus() != kABAuthorizationStatusAuthorized)
        return false;
    if (m_loaded)
        return true;
    auto db = openDatabase(m_path, nullptr);
    if (!db)
        return false;
    auto rows = db->loadAll();
    if (!rows) {
        NSLog("address book: cannot read the people: %s", rows.reason());
        return false;
    }
    m_people.clear();
    for (const auto& row : *rows) {
        auto record = alloc<ABRecord>();
        record->m_recordID = static_cast<ABRecordID>(row.id);
        fill(record, row);
        record->m_dirty = false;
        record->m_book = self<ABAddressBook>();
        m_people.push_back(record);
    }
    m_loaded = true;
    return true;
}

Ref<NSArray> ABAddressBook::allPeople()
{
    auto list = NSMutableArray::array();
    if (loadIfAllowed()) {
        for (const auto& person : m_people)
            if (std::find(m_removed.begin(), m_removed.end(), person->recordID()) == m_removed.end())
                list->addObject(person);
    }
    for (const auto& person : m_added)
        list->addObject(person);
    return NSArray::arrayWithArray(list);
}

Ref<ABRecord> ABAddressBook::personWithRecordID(ABRecordID recordID)
{
    if (!loadIfAllowed() || std::find(m_removed.begin(), m_removed.end(), recordID) != m_removed.end())
        return nil;
    for (const auto& person : m_people)
        if (person->recordID() == recordID)
            return person;
    return nil;
}

bool ABAddressBook::addRecord(const Ref<ABRecord>& record, Ref<NSError>* error)
{
    if (!record) {
        if (error)
            *error = bookError(kABOperationNotPermittedByStoreError, "No record to add.");
        return false;
    }
    auto owner = record->m_book.lock();
    if (owner.get() == this)
        return true; // already in this book
    if (owner || record->recordID() != kABRecordInvalidID) {
        if (error)
            *error = bookError(kABOperationNotPermittedByStoreError, "The record belongs to another address book.");
        return false;
    }
    record->m_book = self<ABAddressBook>();
    m_added.push_back(record);
    return true;
}

bool ABAddressBook::removeRecord(const Ref<ABRecord>& record, Ref<NSError>* error)
{
    if (record && record->m_book.lock().get() == this) {
        auto added = std::find(m_added.begin(), m_added.end(), record);
        if (added != m_added.end()) {
            m_added.erase(added);
            record->m_book.reset();
            return true;
        }
        if (std::find(m_removed.begin(), m_removed.end(), record->recordID()) == m_removed.end())
            m_removed.push_back(record->recordID());
        return true;
    }
    if (error)
        *error = bookError(kABOperationNotPermittedByStoreError, "The record is not in this address book.");
    return false;
}

bool ABAddressBook::hasUnsavedChanges() const
{
    if (!m_added.empty() || !m_removed.empty())
        return true;
    return std::any_of(m_people.begin(), m_people.end(), [](const Ref<ABRecord>& r) { return r->isDirty(); });
}

bool ABAddressBook::save(Ref<NSError>* error)
{
    if (ABAddressBookGetAuthorizationStatus() != kABAuthorizationStatusAuthorized) {
        if (error)
            *error = bookError(kABOperationNotPermittedByUserError, "The user has not allowed access to the address book.");
        return false;
    }
    if (!loadIfAllowed() && error && !*error)
        *error = bookError(kABOperationNotPermittedByStoreError, "The address book database cannot be read.");
    if (!m_loaded)
        return false;
    if (!hasUnsavedChanges())
        return true;
    auto db = openDatabase(m_path, error);
    if (!db)
        return false;
    auto fail = [&](const char* what, const std::string& reason) {
        std::string message = std::string(what) + ": " + reason;
        NSLog("address book: %s", message);
        if (error)
            *error = bookError(kABOperationNotPermittedByStoreError, message);
        return false;
    };
    auto begun = dv::SqliteTransaction::begin(db->sql());
    if (!begun)
        return fail("cannot begin the save", begun.reason());
    // Rolled back on every return below that does not commit it.
    auto transaction = std::move(begun).value();
    for (ABRecordID removed : m_removed)
        if (auto step = db->remove(removed); !step)
            return fail("cannot remove a person", step.reason());
    for (const auto& person : m_people)
        if (person->isDirty() && std::find(m_removed.begin(), m_removed.end(), person->recordID()) == m_removed.end())
            if (auto step = db->update(rowOf(person)); !step)
                return fail("cannot update a person", step.reason());
    std::vector<std::int64_t> newIDs;
    for (const auto& person : m_added) {
        PersonRow row = rowOf(person);
        if (auto step = db->insert(row); !step)
            return fail("cannot add a person", step.reason());
        newIDs.push_back(row.id);
    }
    if (auto committed = transaction.commit(); !committed)
        return fail("cannot commit the save", committed.reason());

    // Only now, with everything on disk, does the handle take the new state.
    std::erase_if(m_people, [&](const Ref<ABRecord>& r) {
        bool gone = std::find(m_removed.begin(), m_removed.end(), r->recordID()) != m_removed.end();
        if (gone)
            r->m_book.reset();
        return gone;
    });
    for (std::size_t i = 0; i < m_added.size(); ++i) {
        m_added[i]->m_recordID = static_cast<ABRecordID>(newIDs[i]);
        m_people.push_back(m_added[i]);
    }
    for (const auto& person : m_people)
        person->m_dirty = false;
    m_added.clear();
    m_removed.clear();
    return true;
}

void ABAddressBook::revert()
{
    for (const auto& person : m_added)
        person->m_book.reset();
    for (const auto& person : m_people)
        person->m_book.reset();
    m_added.clear();
    m_removed.clear();
    m_people.clear();
    m_loaded = false;
}
