// An address-book database file of arbitrary bytes: opening answers a book or an error, and
// every call on a book that opened answers without crashing, its people readable to the end.
#include "platform/base/NSArray.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/system/ABMultiValue.h"
#include "platform/system/AddressBook.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

void touch(const ABRecordRef& person)
{
    (void)ABRecordCopyCompositeName(person);
    for (auto property : { kABPersonFirstNameProperty, kABPersonLastNameProperty, kABPersonOrganizationProperty,
             kABPersonNoteProperty, kABPersonBirthdayProperty }) {
        if (id value = ABRecordCopyValue(person, property))
            (void)value->description();
    }
    if (auto phones = dv::as<ABMultiValue>(ABRecordCopyValue(person, kABPersonPhoneProperty))) {
        for (NSInteger i = 0; i < ABMultiValueGetCount(phones); ++i) {
            (void)ABMultiValueCopyValueAtIndex(phones, i);
            (void)ABMultiValueCopyLabelAtIndex(phones, i);
            if (ABMultiValueGetIndexForIdentifier(phones, ABMultiValueGetIdentifierAtIndex(phones, i)) != i)
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string home = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-fuzz-addressbook-XXXXXX").string();
        ::mkdtemp(pattern.data());
        ::setenv("DOVRELTA_HOME", pattern.c_str(), 1);
        std::filesystem::create_directories(pattern + "/device");
        dv::AddressBookAccess::setStatus(kABAuthorizationStatusAuthorized);
        return pattern;
    }();
    const std::string path = dv::AddressBookAccess::databasePath();
    for (auto suffix : { "-journal", "-wal", "-shm" })
        std::filesystem::remove(path + suffix);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    Ref<NSError> error;
    auto book = ABAddressBookCreateWithOptions(nil, &error);
    if (!book) {
        if (!error)
            std::abort();
        return 0;
    }
    auto people = ABAddressBookCopyArrayOfAllPeople(book);
    if (people && static_cast<NSInteger>(people->count()) != ABAddressBookGetPersonCount(book))
        std::abort();
    for (NSUInteger i = 0; people && i < people->count(); ++i) {
        auto person = dv::as<ABRecord>(people->objectAtIndex(i));
        touch(person);
        (void)ABAddressBookGetPersonWithRecordID(book, ABRecordGetRecordID(person));
    }
    // Changes on top of whatever was read: add one, remove the first, save.
    auto added = ABPersonCreate();
    (void)ABRecordSetValue(added, kABPersonFirstNameProperty, "新"_ns, nullptr);
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    (void)ABMultiValueAddValueAndLabel(phones, "13800000000"_ns, "mobile"_ns, nullptr);
    (void)ABRecordSetValue(added, kABPersonPhoneProperty, phones, nullptr);
    (void)ABAddressBookAddRecord(book, added, nullptr);
    if (people && people->count() > 0)
        (void)ABAddressBookRemoveRecord(book, dv::as<ABRecord>(people->firstObject()), nullptr);
    (void)ABAddressBookSave(book, nullptr);
    return 0;
}
