#include "platform/system/AddressBook.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/SqliteTransaction.h"
#include "platform/system/SystemPaths.h"
#include "platform/system/internal/AddressBookDatabase.h"


const ABPropertyID kABPersonFirstNameProperty = 0;
const ABPropertyID kABPersonLastNameProperty = 1;
const ABPropertyID kABPersonPhoneProperty = 3;
const ABPropertyID kABPersonOrganizationProperty = 10;
const ABPropertyID kABPersonNoteProperty = 14;
const ABPropertyID kABPersonBirthdayProperty = 17;

const Ref<NSString> kABPersonPhoneMobileLabel = "_$!<Mobile>!$_"_ns;
const Ref<NSString> kABPersonPhoneIPhoneLabel = "iPhone"_ns;
const Ref<NSString> kABPersonPhoneMainLabel = "_$!<Main>!$_"_ns;
const Ref<NSString> kABHomeLabel = "_$!<Home>!$_"_ns;
const Ref<NSString> kABWorkLabel = "_$!<Work>!$_"_ns;
const Ref<NSString> kABOtherLabel = "_$!<Other>!$_"_ns;
const Ref<NSString> ABAddressBookErrorDomain = "ABAddressBookErrorDomain"_ns;

namespace {

Ref<NSError> deniedError()
{
    return NSError::errorWithDomain(ABAddressBookErrorDomain, kABOperationNotPermittedByUserError,
        NSDictionary::of({ { NSLocalizedDescriptionKey, "The user has not allowed access to the address book."_ns } }));
}

ABPropertyType typeOf(ABPropertyID property)
{
    if (property == kABPersonFirstNameProperty || property == kABPersonLastNameProperty || property == kABPersonOrganizationProperty
        || property == kABPersonNoteProperty)
        return kABStringPropertyType;
    if (property == kABPersonBirthdayProperty)
        return kABDateTimePropertyType;
    if (property == kABPersonPhoneProperty)
        return kABMultiStringPropertyType;
    return kABInvalidPropertyType;
}

bool checkIndex(const ABMultiValueRef& mv, NSInteger index)
{
    return mv && index >= 0 && static_cast<std::size_t>(index) < mv->entries().size();
}

} // namespace

namespace dv {

void AddressBookAccess::setStatus(ABAuthorizationStatus status)
{
    PrivacyAccess::setStatus(PrivacyService::addressBook, static_cast<PrivacyStatus>(status));
}

void AddressBookAccess::setPromptAnswer(bool granted) { PrivacyAccess::setPromptAnswer(PrivacyService::addressBook, granted); }

void AddressBookAccess::reset()
{
    PrivacyAccess::setStatus(PrivacyService::addressBook, PrivacyStatus::notDetermined);
    PrivacyAccess::setPromptAnswer(PrivacyService::addressBook, true);
}

std::string AddressBookAccess::databasePath()
{
    return SystemPaths::deviceFolder() + "/addressbook.db";
}

namespace {

Result<std::unique_ptr<internal::system::AddressBookDatabase>> openForThePerson()
{
    if (!SystemPaths::ensureDirectory(SystemPaths::deviceFolder()))
        return Failure("cannot create the device folder");
    return internal::system::AddressBookDatabase::open(AddressBookAccess::databasePath());
}

Result<void> insertSaved(internal::system::AddressBookDatabase& db, internal::system::PersonRow& row)
{
    DV_TRY_ASSIGN(auto transaction, SqliteTransaction::begin(db.sql()));
    DV_TRY(db.insert(row));
    return transaction.commit();
}

} // namespace

Result<void> AddressBookAccess::addPerson(const std::string& firstName, const std::string& phone)
{
    DV_TRY_ASSIGN(auto db, openForThePerson());
    internal::system::PersonRow row;
    row.firstName = firstName;
    row.hasPhones = true;
    row.phones.push_back({ 0, kABPersonPhoneMobileLabel->utf8(), phone });
    row.nextPhoneIdentifier = 1;
    return insertSaved(*db, row);
}

Result<NSInteger> AddressBookAccess::personCount()
{
    DV_TRY_ASSIGN(auto db, openForThePerson());
    DV_TRY_ASSIGN(auto people, db->loadAll());
    return static_cast<NSInteger>(people.size());
}

} // namespace dv

ABAddressBookRef ABAddressBookCreateWithOptions(const Ref<NSDictionary>&, Ref<NSError>* error)
{
    auto status = ABAddressBookGetAuthorizationStatus();
    if (status == kABAuthorizationStatusDenied || status == kABAuthorizationStatusRestricted) {
        if (error)
            *error = deniedError();
        return nil;
    }
    return ABAddressBook::open(error);
}

ABAddressBookRef ABAddressBookCreate() { return ABAddressBookCreateWithOptions(nil, nullptr); }

ABAuthorizationStatus ABAddressBookGetAuthorizationStatus()
{
    return static_cast<ABAuthorizationStatus>(dv::PrivacyAccess::status(dv::PrivacyService::addressBook));
}

void ABAddressBookRequestAccessWithCompletion(const ABAddressBookRef& book, ABAddressBookRequestAccessCompletionHandler completion)
{
    // The answer comes from another thread, as the platform's does; callers may be blocking the
    // main thread on it. The handle is kept alive until the answer is delivered.
    dv::PrivacyAccess::requestAccess(dv::PrivacyService::addressBook, [book, completion = std::move(completion)](bool granted) {
        if (completion)
            completion(granted, granted ? nil : deniedError());
    });
}

Ref<NSArray> ABAddressBookCopyArrayOfAllPeople(const ABAddressBookRef& book) { return book ? book->allPeople() : nil; }

NSInteger ABAddressBookGetPersonCount(const ABAddressBookRef& book)
{
    return book ? static_cast<NSInteger>(book->allPeople()->count()) : 0;
}

ABRecordRef ABAddressBookGetPersonWithRecordID(const ABAddressBookRef& book, ABRecordID recordID)
{
    return book ? book->personWithRecordID(recordID) : nil;
}

bool ABAddressBookAddRecord(const ABAddressBookRef& book, const ABRecordRef& record, Ref<NSError>* error)
{
    return book && book->addRecord(record, error);
}

bool ABAddressBookRemoveRecord(const ABAddressBookRef& book, const ABRecordRef& record, Ref<NSError>* error)
{
    return book && book->removeRecord(record, error);
}

bool ABAddressBookHasUnsavedChanges(const ABAddressBookRef& book) { return book && book->hasUnsavedChanges(); }
bool ABAddressBookSave(const ABAddressBookRef& book, Ref<NSError>* error) { return book && book->save(error); }

void ABAddressBookRevert(const ABAddressBookRef& book)
{
    if (book)
        book->revert();
}

ABRecordRef ABPersonCreate() { return alloc<ABRecord>(); }
ABRecordID ABRecordGetRecordID(const ABRecordRef& record) { return record ? record->recordID() : kABRecordInvalidID; }
ABRecordType ABRecordGetRecordType(const ABRecordRef& record) { return record ? record->recordType() : kABPersonType; }

bool ABRecordSetValue(const ABRecordRef& record, ABPropertyID property, const id& value, Ref<NSError>* error)
{
    if (!record)
        return false;
    ABPropertyType type = typeOf(property);
    bool suits = false;
    id stored = value;
    if (!value) {
        suits = type != kABInvalidPropertyType;
    } else if (type == kABStringPropertyType) {
        suits = dv::as<NSString>(value) != nil;
        stored = value->copy();
    } else if (type == kABDateTimePropertyType) {
        suits = dv::as<NSDate>(value) != nil;
    } else if (type == kABMultiStringPropertyType) {
        auto mv = dv::as<ABMultiValue>(value);
        suits = mv && mv->propertyType() == kABMultiStringPropertyType;
        // The record keeps its own copy: later edits of the caller's value do not reach it.
        if (suits)
            stored = mv->copyInto<ABMultiValue>();
    }
    if (!suits) {
        if (error)
            *error = NSError::errorWithDomain(ABAddressBookErrorDomain, kABOperationNotPermittedByStoreError,
                NSDictionary::of({ { NSLocalizedDescriptionKey, NSString::stringWithFormat("The value does not suit property %d.", property) } }));
        return false;
    }
    record->setValueForProperty(property, stored);
    return true;
}

id ABRecordCopyValue(const ABRecordRef& record, ABPropertyID property) { return record ? record->valueForProperty(property) : nil; }

bool ABRecordRemoveValue(const ABRecordRef& record, ABPropertyID property, Ref<NSError>* error)
{
    return ABRecordSetValue(record, property, nil, error);
}

Ref<NSString> ABRecordCopyCompositeName(const ABRecordRef& record)
{
    if (!record)
        return nil;
    auto first = dv::as<NSString>(record->valueForProperty(kABPersonFirstNameProperty));
    auto last = dv::as<NSString>(record->valueForProperty(kABPersonLastNameProperty));
    std::string name = dv::str(first);
    if (last && last->length()) {
        if (!name.empty())
            name += ' ';
        name += last->utf8();
    }
    return name.empty() ? nil : NSString::fromUTF8(name);
}

ABMutableMultiValueRef ABMultiValueCreateMutable(ABPropertyType type)
{
    auto mv = alloc<ABMutableMultiValue>();
    mv->initWithType(type);
    return mv;
}

ABMutableMultiValueRef ABMultiValueCreateMutableCopy(const ABMultiValueRef& multiValue)
{
    return multiValue ? multiValue->copyInto<ABMutableMultiValue>() : nil;
}

bool ABMultiValueAddValueAndLabel(const ABMutableMultiValueRef& multiValue, const id& value, const Ref<NSString>& label, ABMultiValueIdentifier* outIdentifier)
{
    ABMultiValueIdentifier identifier = multiValue ? multiValue->addValueAndLabel(value, label) : kABMultiValueInvalidIdentifier;
    if (outIdentifier)
        *outIdentifier = identifier;
    return identifier != kABMultiValueInvalidIdentifier;
}

bool ABMultiValueRemoveValueAndLabelAtIndex(const ABMutableMultiValueRef& multiValue, NSInteger index)
{
    return multiValue && index >= 0 && multiValue->removeAtIndex(static_cast<NSUInteger>(index));
}

NSInteger ABMultiValueGetCount(const ABMultiValueRef& multiValue)
{
    return multiValue ? static_cast<NSInteger>(multiValue->entries().size()) : 0;
}

id ABMultiValueCopyValueAtIndex(const ABMultiValueRef& multiValue, NSInteger index)
{
    return checkIndex(multiValue, index) ? multiValue->entries()[static_cast<std::size_t>(index)].value : nil;
}

Ref<NSString> ABMultiValueCopyLabelAtIndex(const ABMultiValueRef& multiValue, NSInteger index)
{
    return checkIndex(multiValue, index) ? multiValue->entries()[static_cast<std::size_t>(index)].label : nil;
}

ABMultiValueIdentifier ABMultiValueGetIdentifierAtIndex(const ABMultiValueRef& multiValue, NSInteger index)
{
    return checkIndex(multiValue, index) ? multiValue->entries()[static_cast<std::size_t>(index)].identifier : kABMultiValueInvalidIdentifier;
}

NSInteger ABMultiValueGetIndexForIdentifier(const ABMultiValueRef& multiValue, ABMultiValueIdentifier identifier)
{
    if (!multiValue)
        return -1;
    const auto& entries = multiValue->entries();
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].identifier == identifier)
            return static_cast<NSInteger>(i);
    return -1;
}

ABPropertyType ABMultiValueGetPropertyType(const ABMultiValueRef& multiValue)
{
    return multiValue ? multiValue->propertyType() : kABInvalidPropertyType;
}

Ref<NSArray> ABMultiValueCopyArrayOfAllValues(const ABMultiValueRef& multiValue)
{
    if (!multiValue)
        return nil;
    auto list = NSMutableArray::array();
    for (const auto& entry : multiValue->entries())
        list->addObject(entry.value);
    return NSArray::arrayWithArray(list);
}
