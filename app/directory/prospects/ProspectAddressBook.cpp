#include "app/directory/prospects/ProspectAddressBook.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/system/AddressBook.h"

namespace dv::app {

namespace {

bool accessGranted() { return ABAddressBookGetAuthorizationStatus() == kABAuthorizationStatusAuthorized; }

// A handle on the book, or nil (logged) when it cannot be had.
ABAddressBookRef openBook()
{
    Ref<NSError> error;
    auto book = ABAddressBookCreateWithOptions(nil, &error);
    if (!book)
        NSLog("address book: cannot open it: %@", error);
    return book;
}

AddressBookResult save(const ABAddressBookRef& book)
{
    Ref<NSError> error;
    if (ABAddressBookSave(book, &error))
        return AddressBookResult::Saved;
    NSLog("address book: the save failed: %@", error);
    ABAddressBookRevert(book);
    return AddressBookResult::Failed;
}

// The person of one number, added to the book (unsaved); NO when the book refuses it.
bool addPerson(const ABAddressBookRef& book, const Ref<NSString>& phone, const Ref<NSDate>& importTime)
{
    auto person = ABPersonCreate();
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    Ref<NSError> error;
    const bool added = ABRecordSetValue(person, kABPersonFirstNameProperty, ""_ns, &error)
        && ABRecordSetValue(person, kABPersonLastNameProperty, ""_ns, &error)
        && ABRecordSetValue(person, kABPersonBirthdayProperty, importTime, &error)
        && ABMultiValueAddValueAndLabel(phones, phone, "iphone"_ns, nullptr)
        && ABMultiValueAddValueAndLabel(phones, ""_ns, "home"_ns, nullptr)
        && ABRecordSetValue(person, kABPersonPhoneProperty, phones, &error)
        && ABAddressBookAddRecord(book, person, &error);
    if (!added)
        NSLog("address book: cannot add %@: %@", phone, error);
    return added;
}

} // namespace

void whenAddressBookAccessKnown(std::function<void(bool granted)> then)
{
    const auto status = ABAddressBookGetAuthorizationStatus();
    if (status != kABAuthorizationStatusNotDetermined) {
        then(status == kABAuthorizationStatusAuthorized);
        return;
    }
    // The prompt's answer comes on another thread; the work goes on where it started.
    ABAddressBookRequestAccessWithCompletion(ABAddressBookCreate(), [then = std::move(then)](bool granted, const Ref<NSError>&) {
        dispatch_async(dispatch_get_main_queue(), [then, granted] { then(granted); });
    });
}

AddressBookResult addProspects(const std::vector<Ref<NSString>>& phones, const Ref<NSDate>& importTime)
{
    if (!accessGranted())
        return AddressBookResult::NotAllowed;
    auto book = openBook();
    if (!book)
        return AddressBookResult::Failed;
    for (const auto& phone : phones) {
        if (!phone || phone->length() == 0)
            continue;
        if (!addPerson(book, phone, importTime)) {
            ABAddressBookRevert(book); // none of the batch, rather than part of it
            return AddressBookResult::Failed;
        }
    }
    return save(book);
}

AddressBookResult removeAllPeople()
{
    if (!accessGranted())
        return AddressBookResult::NotAllowed;
    auto book = openBook();
    if (!book)
        return AddressBookResult::Failed;
    auto people = ABAddressBookCopyArrayOfAllPeople(book);
    for (const id& person : *people) {
        Ref<NSError> error;
        if (!ABAddressBookRemoveRecord(book, dv::as<ABRecord>(person), &error)) {
            NSLog("address book: cannot remove a person: %@", error);
            ABAddressBookRevert(book);
            return AddressBookResult::Failed;
        }
    }
    return save(book);
}

} // namespace dv::app
