// The address book as the platform's functions reach it: a handle, authorisation, people and
// their properties, multi-values. The functions accept nil handles and records and then do
// nothing (answering false, zero or nil), as messages to nil would.
//
//   auto book = ABAddressBookCreateWithOptions(nil, &error);
//   auto person = ABPersonCreate();
//   ABRecordSetValue(person, kABPersonFirstNameProperty, "张"_ns, nullptr);
//   ABAddressBookAddRecord(book, person, nullptr); ABAddressBookSave(book, nullptr);
#pragma once

#include "platform/system/ABAddressBook.h"
#include "platform/system/ABMultiValue.h"
#include "platform/system/ABRecord.h"

#include "platform/base/Result.h"

#include <functional>
#include <string>

using ABAddressBookRef = Ref<ABAddressBook>;
using ABRecordRef = Ref<ABRecord>;
using ABMultiValueRef = Ref<ABMultiValue>;
using ABMutableMultiValueRef = Ref<ABMutableMultiValue>;

enum : ABPropertyType {
    kABInvalidPropertyType = 0,
    kABStringPropertyType = 1,
    kABIntegerPropertyType = 2,
    kABRealPropertyType = 3,
    kABDateTimePropertyType = 4,
    kABDictionaryPropertyType = 5,
    kABMultiStringPropertyType = 257,
    kABMultiIntegerPropertyType = 258,
    kABMultiRealPropertyType = 259,
    kABMultiDateTimePropertyType = 260,
    kABMultiDictionaryPropertyType = 261,
};

extern const ABPropertyID kABPersonFirstNameProperty;    // string
extern const ABPropertyID kABPersonLastNameProperty;     // string
extern const ABPropertyID kABPersonOrganizationProperty; // string
extern const ABPropertyID kABPersonNoteProperty;         // string
extern const ABPropertyID kABPersonBirthdayProperty;     // date
extern const ABPropertyID kABPersonPhoneProperty;        // multi-string

extern const Ref<NSString> kABPersonPhoneMobileLabel;
extern const Ref<NSString> kABPersonPhoneIPhoneLabel;
extern const Ref<NSString> kABPersonPhoneMainLabel;
extern const Ref<NSString> kABHomeLabel;
extern const Ref<NSString> kABWorkLabel;
extern const Ref<NSString> kABOtherLabel;

extern const Ref<NSString> ABAddressBookErrorDomain;
enum : NSInteger {
    kABOperationNotPermittedByStoreError = 0,
    kABOperationNotPermittedByUserError = 1,
};

enum ABAuthorizationStatus : NSInteger {
    kABAuthorizationStatusNotDetermined = 0,
    kABAuthorizationStatusRestricted = 1,
    kABAuthorizationStatusDenied = 2,
    kABAuthorizationStatusAuthorized = 3,
};

using ABAddressBookRequestAccessCompletionHandler = std::function<void(bool granted, const Ref<NSError>& error)>;

// Handles. Refused access gives nil and kABOperationNotPermittedByUserError; an unreadable
// database gives nil and kABOperationNotPermittedByStoreError. Before the user has answered, the
// handle is empty and cannot be saved.
ABAddressBookRef ABAddressBookCreateWithOptions(const Ref<NSDictionary>& options, Ref<NSError>* error);
ABAddressBookRef ABAddressBookCreate();
ABAuthorizationStatus ABAddressBookGetAuthorizationStatus();
// Asks the user once; the completion runs on a worker thread, never on the caller's.
void ABAddressBookRequestAccessWithCompletion(const ABAddressBookRef& book, ABAddressBookRequestAccessCompletionHandler completion);

Ref<NSArray> ABAddressBookCopyArrayOfAllPeople(const ABAddressBookRef& book);
NSInteger ABAddressBookGetPersonCount(const ABAddressBookRef& book);
ABRecordRef ABAddressBookGetPersonWithRecordID(const ABAddressBookRef& book, ABRecordID recordID);
bool ABAddressBookAddRecord(const ABAddressBookRef& book, const ABRecordRef& record, Ref<NSError>* error);
bool ABAddressBookRemoveRecord(const ABAddressBookRef& book, const ABRecordRef& record, Ref<NSError>* error);
bool ABAddressBookHasUnsavedChanges(const ABAddressBookRef& book);
bool ABAddressBookSave(const ABAddressBookRef& book, Ref<NSError>* error);
void ABAddressBookRevert(const ABAddressBookRef& book);

ABRecordRef ABPersonCreate();
ABRecordID ABRecordGetRecordID(const ABRecordRef& record);
ABRecordType ABRecordGetRecordType(const ABRecordRef& record);
// False with an error when the value does not suit the property (a number as a name, a multi-value
// of another type as phones). A nil value removes the property.
bool ABRecordSetValue(const ABRecordRef& record, ABPropertyID property, const id& value, Ref<NSError>* error);
id ABRecordCopyValue(const ABRecordRef& record, ABPropertyID property);
bool ABRecordRemoveValue(const ABRecordRef& record, ABPropertyID property, Ref<NSError>* error);
Ref<NSString> ABRecordCopyCompositeName(const ABRecordRef& record);

ABMutableMultiValueRef ABMultiValueCreateMutable(ABPropertyType type);
ABMutableMultiValueRef ABMultiValueCreateMutableCopy(const ABMultiValueRef& multiValue);
bool ABMultiValueAddValueAndLabel(const ABMutableMultiValueRef& multiValue, const id& value, const Ref<NSString>& label,
                                  ABMultiValueIdentifier* outIdentifier);
bool ABMultiValueRemoveValueAndLabelAtIndex(const ABMutableMultiValueRef& multiValue, NSInteger index);
NSInteger ABMultiValueGetCount(const ABMultiValueRef& multiValue);
id ABMultiValueCopyValueAtIndex(const ABMultiValueRef& multiValue, NSInteger index);
Ref<NSString> ABMultiValueCopyLabelAtIndex(const ABMultiValueRef& multiValue, NSInteger index);
ABMultiValueIdentifier ABMultiValueGetIdentifierAtIndex(const ABMultiValueRef& multiValue, NSInteger index);
NSInteger ABMultiValueGetIndexForIdentifier(const ABMultiValueRef& multiValue, ABMultiValueIdentifier identifier); // -1 when absent
ABPropertyType ABMultiValueGetPropertyType(const ABMultiValueRef& multiValue);
Ref<NSArray> ABMultiValueCopyArrayOfAllValues(const ABMultiValueRef& multiValue);

namespace dv {

// The address book's entry in dv::PrivacyAccess (the permission prompt), for the runner and
// tests. The status starts "not determined"; a request then records the prompt answer.
class AddressBookAccess {
public:
    static void setStatus(ABAuthorizationStatus status);
    static void setPromptAnswer(bool granted); // default: granted
    static void reset();                      // not determined, prompt grants
    static std::string databasePath();        // under the current device folder

    // What the person does in the phone's own contacts, which needs no permission: adds a
    // person with a first name and one mobile number, and counts the people; a failure says why
    // the database refused.
    static Result<void> addPerson(const std::string& firstName, const std::string& phone);
    static Result<NSInteger> personCount();
};

} // namespace dv
