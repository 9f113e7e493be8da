#include "platform/base/Base.h"
#include "platform/base/Mutex.h"
#include "platform/system/AddressBook.h"
#include "platform/system/SqliteDatabase.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class AddressBookTest : public ::testing::Test {
protected:
    void SetUp() override { dv::AddressBookAccess::setStatus(kABAuthorizationStatusAuthorized); }
    void TearDown() override
    {
        dv::AddressBookAccess::reset();
        dv::SqliteDatabase::setBeforeCommitHook({});
    }

    // A person as the prospect import writes one.
    static ABRecordRef prospect(const char* number)
    {
        auto person = ABPersonCreate();
        EXPECT_TRUE(ABRecordSetValue(person, kABPersonFirstNameProperty, ""_ns, nullptr));
        EXPECT_TRUE(ABRecordSetValue(person, kABPersonLastNameProperty, ""_ns, nullptr));
        EXPECT_TRUE(ABRecordSetValue(person, kABPersonBirthdayProperty, NSDate::dateWithTimeIntervalSinceReferenceDate(500000000.5), nullptr));
        auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
        EXPECT_TRUE(ABMultiValueAddValueAndLabel(phones, NSString::stringWithUTF8String(number), "iphone"_ns, nullptr));
        EXPECT_TRUE(ABMultiValueAddValueAndLabel(phones, ""_ns, "home"_ns, nullptr));
        EXPECT_TRUE(ABRecordSetValue(person, kABPersonPhoneProperty, phones, nullptr));
        return person;
    }

    static std::vector<std::string> numbers(const ABAddressBookRef& book)
    {
        std::vector<std::string> result;
        auto people = ABAddressBookCopyArrayOfAllPeople(book);
        for (const id& item : *people) {
            auto phones = dv::as<ABMultiValue>(ABRecordCopyValue(dv::as<ABRecord>(item), kABPersonPhoneProperty));
            result.push_back(dv::str(ABMultiValueCopyValueAtIndex(phones, 0)));
        }
        return result;
    }

    dv::test::TemporaryHome m_home;
};

TEST_F(AddressBookTest, SavedPeopleRoundTripThroughANewHandle)
{
    Ref<NSError> error;
    auto book = ABAddressBookCreateWithOptions(nil, &error);
    ASSERT_TRUE(book) << dv::str(error);
    auto person = prospect("13800000001");
    ASSERT_TRUE(ABAddressBookAddRecord(book, person, &error));
    EXPECT_EQ(ABRecordGetRecordID(person), kABRecordInvalidID);
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
    ASSERT_TRUE(ABAddressBookSave(book, &error)) << dv::str(error);
    EXPECT_FALSE(ABAddressBookHasUnsavedChanges(book));
    EXPECT_NE(ABRecordGetRecordID(person), kABRecordInvalidID);

    auto reopened = ABAddressBookCreate();
    ASSERT_EQ(ABAddressBookGetPersonCount(reopened), 1);
    auto read = dv::as<ABRecord>(ABAddressBookCopyArrayOfAllPeople(reopened)->firstObject());
    EXPECT_EQ(ABRecordGetRecordID(read), ABRecordGetRecordID(person));
    EXPECT_TRUE(dv::equal(ABRecordCopyValue(read, kABPersonFirstNameProperty), ""_ns));
    EXPECT_DOUBLE_EQ(dv::as<NSDate>(ABRecordCopyValue(read, kABPersonBirthdayProperty))->timeIntervalSinceReferenceDate(), 500000000.5);
    auto phones = dv::as<ABMultiValue>(ABRecordCopyValue(read, kABPersonPhoneProperty));
    ASSERT_EQ(ABMultiValueGetCount(phones), 2);
    EXPECT_EQ(ABMultiValueGetPropertyType(phones), kABMultiStringPropertyType);
    EXPECT_TRUE(dv::equal(ABMultiValueCopyValueAtIndex(phones, 0), "13800000001"_ns));
    EXPECT_TRUE(dv::equal(ABMultiValueCopyLabelAtIndex(phones, 0), "iphone"_ns));
    EXPECT_TRUE(dv::equal(ABMultiValueCopyValueAtIndex(phones, 1), ""_ns));
    EXPECT_TRUE(dv::equal(ABMultiValueCopyLabelAtIndex(phones, 1), "home"_ns));
    EXPECT_EQ(ABMultiValueGetIdentifierAtIndex(phones, 1), 1);
    EXPECT_EQ(ABMultiValueCopyValueAtIndex(phones, 2), nil);
    EXPECT_EQ(ABAddressBookGetPersonWithRecordID(reopened, ABRecordGetRecordID(person)), read);
}

TEST_F(AddressBookTest, RemovingEveryoneAndRevertingChanges)
{
    auto book = ABAddressBookCreate();
    for (const char* n : { "1", "2", "3" })
        ASSERT_TRUE(ABAddressBookAddRecord(book, prospect(n), nullptr));
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));

    // Unsaved changes are forgotten by a revert; the saved state comes back.
    ASSERT_TRUE(ABAddressBookAddRecord(book, prospect("4"), nullptr));
    auto everyone = ABAddressBookCopyArrayOfAllPeople(book);
    ASSERT_EQ(everyone->count(), 4u);
    ASSERT_TRUE(ABAddressBookRemoveRecord(book, dv::as<ABRecord>(everyone->objectAtIndex(0)), nullptr));
    EXPECT_EQ(numbers(book), (std::vector<std::string> { "2", "3", "4" }));
    ABAddressBookRevert(book);
    EXPECT_FALSE(ABAddressBookHasUnsavedChanges(book));
    EXPECT_EQ(numbers(book), (std::vector<std::string> { "1", "2", "3" }));

    auto saved = ABAddressBookCopyArrayOfAllPeople(book);
    for (const id& person : *saved)
        ASSERT_TRUE(ABAddressBookRemoveRecord(book, dv::as<ABRecord>(person), nullptr));
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    EXPECT_EQ(ABAddressBookGetPersonCount(ABAddressBookCreate()), 0);
    // Saving an empty book with nothing to do succeeds.
    EXPECT_TRUE(ABAddressBookSave(book, nullptr));
}

TEST_F(AddressBookTest, EditsOfASavedPersonAreSaved)
{
    auto book = ABAddressBookCreate();
    auto person = prospect("1");
    ASSERT_TRUE(ABAddressBookAddRecord(book, person, nullptr));
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    ASSERT_TRUE(ABRecordSetValue(person, kABPersonLastNameProperty, "王"_ns, nullptr));
    EXPECT_TRUE(ABAddressBookHasUnsavedChanges(book));
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    auto read = ABAddressBookGetPersonWithRecordID(ABAddressBookCreate(), ABRecordGetRecordID(person));
    ASSERT_TRUE(read);
    EXPECT_TRUE(dv::equal(ABRecordCopyCompositeName(read), "王"_ns));
}

TEST_F(AddressBookTest, ValuesOfTheWrongKindAreRefused)
{
    auto person = ABPersonCreate();
    Ref<NSError> error;
    EXPECT_FALSE(ABRecordSetValue(person, kABPersonFirstNameProperty, NSNumber::from(3), &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(dv::equal(error->domain(), ABAddressBookErrorDomain));
    EXPECT_FALSE(ABRecordSetValue(person, kABPersonBirthdayProperty, "yesterday"_ns, nullptr));
    EXPECT_FALSE(ABRecordSetValue(person, kABPersonPhoneProperty, ABMultiValueCreateMutable(kABMultiDateTimePropertyType), nullptr));
    EXPECT_FALSE(ABRecordSetValue(person, 9999, "x"_ns, nullptr));
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    ABMultiValueIdentifier identifier = 42;
    EXPECT_FALSE(ABMultiValueAddValueAndLabel(phones, NSNumber::from(1), "home"_ns, &identifier));
    EXPECT_EQ(identifier, kABMultiValueInvalidIdentifier);
    EXPECT_EQ(ABMultiValueGetCount(phones), 0);

    // The record keeps a copy: editing the caller's multi-value afterwards changes nothing.
    ASSERT_TRUE(ABMultiValueAddValueAndLabel(phones, "1"_ns, "iphone"_ns, nullptr));
    ASSERT_TRUE(ABRecordSetValue(person, kABPersonPhoneProperty, phones, nullptr));
    ASSERT_TRUE(ABMultiValueAddValueAndLabel(phones, "2"_ns, "home"_ns, nullptr));
    EXPECT_EQ(ABMultiValueGetCount(dv::as<ABMultiValue>(ABRecordCopyValue(person, kABPersonPhoneProperty))), 1);

    // nil handles and records answer nothing, like messages to nil.
    EXPECT_FALSE(ABAddressBookSave(nil, nullptr));
    EXPECT_EQ(ABAddressBookCopyArrayOfAllPeople(nil), nil);
    EXPECT_FALSE(ABAddressBookAddRecord(ABAddressBookCreate(), nil, nullptr));
}

TEST_F(AddressBookTest, AccessIsAskedOnceAndAnsweredOnAnotherThread)
{
    dv::AddressBookAccess::reset();
    dv::AddressBookAccess::setPromptAnswer(false);
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusNotDetermined);
    auto book = ABAddressBookCreate();
    ASSERT_TRUE(book);
    EXPECT_EQ(ABAddressBookGetPersonCount(book), 0);

    dv::Mutex mutex;
    dv::ConditionVariable answered;
    std::optional<bool> granted;
    std::thread::id answeringThread;
    ABAddressBookRequestAccessWithCompletion(book, [&](bool ok, const Ref<NSError>& error) {
        dv::MutexLocker lock(mutex);
        granted = ok;
        answeringThread = std::this_thread::get_id();
        EXPECT_TRUE(error);
        answered.notifyAll();
    });
    {
        dv::MutexLocker lock(mutex);
        ASSERT_TRUE(answered.waitFor(lock, std::chrono::seconds(10), [&] { return granted.has_value(); }));
    }
    EXPECT_FALSE(*granted);
    EXPECT_NE(answeringThread, std::this_thread::get_id());
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusDenied);

    Ref<NSError> error;
    EXPECT_EQ(ABAddressBookCreateWithOptions(nil, &error), nil);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), kABOperationNotPermittedByUserError);
    EXPECT_TRUE(ABAddressBookAddRecord(book, prospect("1"), nullptr));
    EXPECT_FALSE(ABAddressBookSave(book, &error));
}

TEST_F(AddressBookTest, CorruptDatabaseGivesAnErrorNotACrash)
{
    auto book = ABAddressBookCreate();
    ASSERT_TRUE(ABAddressBookAddRecord(book, prospect("1"), nullptr));
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    std::ofstream(dv::AddressBookAccess::databasePath(), std::ios::trunc) << "garbage garbage garbage garbage garbage garbage garbage garbage garbage garbage";
    dv::LogCapture capture;
    Ref<NSError> error;
    EXPECT_EQ(ABAddressBookCreateWithOptions(nil, &error), nil);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), kABOperationNotPermittedByStoreError);
    // A handle made before the damage cannot save either, and says so.
    ASSERT_TRUE(ABAddressBookAddRecord(book, prospect("2"), nullptr));
    error = nil;
    EXPECT_FALSE(ABAddressBookSave(book, &error));
    EXPECT_TRUE(error);
}

TEST_F(AddressBookTest, DamageBehindAWholeHeaderShowsWhenThePeopleAreReadOrSaved)
{
    std::filesystem::remove(dv::AddressBookAccess::databasePath());
    {
        auto book = ABAddressBookCreate();
        for (int i = 0; i < 400; ++i)
            ASSERT_TRUE(ABAddressBookAddRecord(book, prospect(std::to_string(13800000000LL + i).c_str()), nullptr));
        ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    }
    // The pages after the first are overwritten; the header and the schema stay as they were.
    const std::string path = dv::AddressBookAccess::databasePath();
    const auto size = std::filesystem::file_size(path);
    ASSERT_GT(size, 8192u);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096);
        file << std::string(size - 4096, '\x5a');
    }
    dv::LogCapture capture;
    // Making a handle reads the header only: the launch does not pay for the whole file.
    Ref<NSError> error;
    auto book = ABAddressBookCreateWithOptions(nil, &error);
    ASSERT_TRUE(book) << dv::str(error);
    EXPECT_EQ(ABAddressBookGetPersonCount(book), 0) << "nobody is read from a damaged book";
    ASSERT_TRUE(ABAddressBookAddRecord(book, prospect("after"), nullptr));
    EXPECT_FALSE(ABAddressBookSave(book, &error));
    EXPECT_TRUE(error);
}

TEST_F(AddressBookTest, ThePersonAddsContactsWithoutAskingAndTheApplicationSeesThemOnceAllowed)
{
    dv::AddressBookAccess::setStatus(kABAuthorizationStatusDenied);
    auto none = dv::AddressBookAccess::personCount();
    ASSERT_TRUE(none) << none.reason();
    EXPECT_EQ(*none, 0);
    for (auto [name, phone] : { std::pair { "王小明", "13805550101" }, std::pair { "李雷", "13905550102" } }) {
        auto added = dv::AddressBookAccess::addPerson(name, phone);
        ASSERT_TRUE(added) << added.reason();
    }
    auto two = dv::AddressBookAccess::personCount();
    ASSERT_TRUE(two);
    EXPECT_EQ(*two, 2);
    EXPECT_EQ(ABAddressBookCreate(), nil) << "the application is still refused";

    dv::AddressBookAccess::setStatus(kABAuthorizationStatusAuthorized);
    auto book = ABAddressBookCreate();
    EXPECT_EQ(numbers(book), (std::vector<std::string> { "13805550101", "13905550102" }));
    auto first = dv::as<ABRecord>(ABAddressBookCopyArrayOfAllPeople(book)->firstObject());
    EXPECT_TRUE(dv::equal(ABRecordCopyValue(first, kABPersonFirstNameProperty), "王小明"_ns));

    std::ofstream(dv::AddressBookAccess::databasePath(), std::ios::trunc) << "garbage garbage garbage garbage garbage garbage garbage garbage";
    dv::LogCapture capture;
    auto unreadable = dv::AddressBookAccess::personCount();
    ASSERT_FALSE(unreadable);
    EXPECT_FALSE(unreadable.reason().empty());
    auto refused = dv::AddressBookAccess::addPerson("韩梅梅", "13705550103");
    ASSERT_FALSE(refused);
    EXPECT_FALSE(refused.reason().empty());
}

TEST_F(AddressBookTest, ProcessKilledInsideASaveKeepsThePreviousSave)
{
    {
        auto book = ABAddressBookCreate();
        ASSERT_TRUE(ABAddressBookAddRecord(book, prospect("kept-1"), nullptr));
        ASSERT_TRUE(ABAddressBookAddRecord(book, prospect("kept-2"), nullptr));
        ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    }
    int toParent[2];
    ASSERT_EQ(pipe(toParent), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toParent[0]);
        auto book = ABAddressBookCreate();
        auto saved = ABAddressBookCopyArrayOfAllPeople(book);
        for (const id& person : *saved)
            ABAddressBookRemoveRecord(book, dv::as<ABRecord>(person), nullptr);
        for (int i = 0; i < 50; ++i)
            ABAddressBookAddRecord(book, prospect("lost"), nullptr);
        dv::SqliteDatabase::setBeforeCommitHook([&] {
            char c = 's';
            (void)!write(toParent[1], &c, 1);
            for (;;)
                pause();
        });
        ABAddressBookSave(book, nullptr);
        _exit(0);
    }
    close(toParent[1]);
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    close(toParent[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    Ref<NSError> error;
    auto book = ABAddressBookCreateWithOptions(nil, &error);
    ASSERT_TRUE(book) << dv::str(error);
    EXPECT_EQ(numbers(book), (std::vector<std::string> { "kept-1", "kept-2" }));
    ASSERT_TRUE(ABAddressBookAddRecord(book, prospect("after"), nullptr));
    EXPECT_TRUE(ABAddressBookSave(book, nullptr));
}

} // namespace
