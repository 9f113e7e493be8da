// The prospect lists' address-book buttons against the local server and the platform's address
// book, through the driver: the import (one person per number, as the database then holds them),
// the clear of every contact, the confirmations and their "取消", refused, unanswered and
// unreadable address books, records without a number, and a process killed in the middle of an
// import, which leaves the book as it was.
#include "ProspectTestSupport.h"

#include "app/directory/prospects/ProspectListController.h"
#include "platform/base/NSDate.h"
#include "platform/system/AddressBook.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/SqliteDatabase.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "tools/devserver/Fault.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>

using namespace dv::test;
using dv::PrivacyAccess;
using dv::PrivacyService;
using dv::PrivacyStatus;
using dv::app::ProspectListController;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

using Strings = std::vector<std::string>;

const char* kCity = "440100";
const char* kCategory = "201";
const Strings kOwnContacts { "张三", "李四", "王五" };

constexpr const char* kImport = "导入通讯录";
constexpr const char* kDelete = "删除当前通讯录";

class ProspectAddressBookTest : public ProspectTest {
protected:
    void TearDown() override
    {
        PrivacyAccess::setPromptsHeld(false);
        ProspectTest::TearDown();
    }

    Ref<ProspectListController> openCityList() { return openList("VQAddFansSecondVC", { { "cityId", kCity } }); }

    // The own contacts' first names, in order.
    Strings ownNames() const
    {
        Strings names;
        for (const auto& contact : storedContacts())
            if (contact.firstName && !contact.firstName->empty())
                names.push_back(*contact.firstName);
        return names;
    }

    // The stored file, byte for byte.
    static std::string fileBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
};

TEST_F(ProspectAddressBookTest, TheImportAddsOnePersonPerNumberBesideTheUsersOwnContacts)
{
    addOwnContacts(kOwnContacts);
    auto list = openCityList();
    ASSERT_TRUE(list);
    const auto batch = cityBatch(kCity, 0);
    ASSERT_EQ(batch.phones.size(), 20u);

    const double importTime = NSDate::date()->timeIntervalSinceReferenceDate();
    auto alert = tapBottomButton(kImport, "确认");
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, "");
    EXPECT_EQ(alert->message, "是否导入通讯录");
    EXPECT_EQ(alert->buttons, (Strings { "确认", "取消" }));
    EXPECT_EQ(alert->cancelButtonIndex, 0);
    EXPECT_EQ(alert->tag, 102);
    EXPECT_TRUE(hasOverlay("导入成功"));
    EXPECT_TRUE(m_ui.visibleAlerts().empty());

    const auto contacts = storedContacts();
    ASSERT_EQ(contacts.size(), kOwnContacts.size() + batch.phones.size());
    EXPECT_EQ(ownNames(), kOwnContacts) << "the user's own contacts stay";
    Strings numbers;
    for (std::size_t i = kOwnContacts.size(); i < contacts.size(); ++i) {
        const auto& person = contacts[i];
        EXPECT_EQ(person.firstName, std::optional<std::string>(""));
        EXPECT_EQ(person.lastName, std::optional<std::string>(""));
        ASSERT_TRUE(person.birthday);
        EXPECT_LT(std::abs(*person.birthday - importTime), 2.0) << "the import time is the birthday";
        ASSERT_EQ(person.phones.size(), 2u);
        EXPECT_EQ(person.phones[0].first, "iphone");
        EXPECT_EQ(person.phones[1], (std::pair<std::string, std::string> { "home", "" }));
        numbers.push_back(person.phones[0].second);
    }
    EXPECT_EQ(numbers, batch.phones) << "in table order";

    // The next batch goes in beside the first.
    clearToasts();
    ASSERT_TRUE(nextBatch(list));
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入成功"));
    Strings both = batch.phones;
    for (const auto& phone : cityBatch(kCity, 1).phones)
        both.push_back(phone);
    EXPECT_EQ(storedNumbers(), both);
}

TEST_F(ProspectAddressBookTest, TheIndustryListImportsItsNumbersToo)
{
    auto list = openList("VQBuyerResourceVC", { { "categoryId", kCategory } });
    ASSERT_TRUE(list);
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入成功"));
    EXPECT_EQ(storedNumbers(), industryBatch(kCategory, 0).phones);
}

TEST_F(ProspectAddressBookTest, TheClearRemovesEveryContactAndSaysSoAlsoOnAnEmptyBook)
{
    addOwnContacts(kOwnContacts);
    auto list = openCityList();
    ASSERT_TRUE(list);
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    ASSERT_EQ(storedContacts().size(), kOwnContacts.size() + 20);
    clearToasts();

    auto alert = tapBottomButton(kDelete, "确认");
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, "是否删除当前通讯录");
    EXPECT_EQ(alert->message, "该操作将删除通讯录中所有联系人且不可恢复!请谨慎操作!");
    EXPECT_EQ(alert->buttons, (Strings { "确认", "取消" }));
    EXPECT_EQ(alert->tag, 101);
    EXPECT_TRUE(hasOverlay("删除成功"));
    EXPECT_TRUE(storedContacts().empty()) << "the user's own contacts go too";
    clearToasts();

    ASSERT_TRUE(tapBottomButton(kDelete, "确认"));
    EXPECT_TRUE(hasOverlay("删除成功"));
    EXPECT_TRUE(storedContacts().empty());
}

TEST_F(ProspectAddressBookTest, CancelInEitherConfirmationChangesNothing)
{
    addOwnContacts(kOwnContacts);
    auto list = openCityList();
    ASSERT_TRUE(list);
    for (const char* button : { kImport, kDelete }) {
        SCOPED_TRACE(button);
        ASSERT_TRUE(tapBottomButton(button, "取消"));
        EXPECT_TRUE(m_ui.visibleAlerts().empty());
        EXPECT_FALSE(hasOverlay("导入成功") || hasOverlay("导入失败") || hasOverlay("删除成功") || hasOverlay("删除失败"));
        EXPECT_EQ(ownNames(), kOwnContacts);
        EXPECT_EQ(storedContacts().size(), kOwnContacts.size());
    }
}

TEST_F(ProspectAddressBookTest, RefusedAccessWritesNothingAndSaysSo)
{
    addOwnContacts(kOwnContacts);
    auto list = openCityList();
    ASSERT_TRUE(list);
    // The user took the permission back in the settings.
    PrivacyAccess::setStatus(PrivacyService::addressBook, PrivacyStatus::denied);
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入失败"));
    EXPECT_FALSE(hasOverlay("导入成功"));
    clearToasts();
    ASSERT_TRUE(tapBottomButton(kDelete, "确认"));
    EXPECT_TRUE(hasOverlay("删除失败"));
    EXPECT_FALSE(hasOverlay("删除成功"));
    EXPECT_EQ(ownNames(), kOwnContacts);
    EXPECT_EQ(storedContacts().size(), kOwnContacts.size());
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::addressBook), 1) << "only the home screen's question at start";

    // Allowed again, the same batch goes in.
    clearToasts();
    PrivacyAccess::setStatus(PrivacyService::addressBook, PrivacyStatus::authorized);
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入成功"));
    EXPECT_EQ(storedContacts().size(), kOwnContacts.size() + 20);
}

TEST_F(ProspectAddressBookTest, AnUnansweredPermissionIsAskedForBeforeTheWork)
{
    addOwnContacts(kOwnContacts);
    auto list = openCityList();
    ASSERT_TRUE(list);
    PrivacyAccess::setStatus(PrivacyService::addressBook, PrivacyStatus::notDetermined);
    PrivacyAccess::setPromptsHeld(true);
    const int promptsBefore = m_ui.permissionPromptCount(PrivacyService::addressBook);

    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_ui.isPermissionPromptShowing(PrivacyService::addressBook); }));
    EXPECT_FALSE(hasOverlay("导入成功")) << "nothing is written before the answer";
    EXPECT_EQ(storedContacts().size(), kOwnContacts.size());
    ASSERT_TRUE(m_ui.answerPermissionPrompt(PrivacyService::addressBook, true));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return hasOverlay("导入成功"); }));
    EXPECT_EQ(storedContacts().size(), kOwnContacts.size() + 20);
    EXPECT_EQ(m_ui.permissionPromptCount(PrivacyService::addressBook), promptsBefore + 1);
    clearToasts();

    // Refused at the prompt: nothing is removed.
    PrivacyAccess::setStatus(PrivacyService::addressBook, PrivacyStatus::notDetermined);
    ASSERT_TRUE(tapBottomButton(kDelete, "确认"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_ui.isPermissionPromptShowing(PrivacyService::addressBook); }));
    ASSERT_TRUE(m_ui.answerPermissionPrompt(PrivacyService::addressBook, false));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return hasOverlay("删除失败"); }));
    EXPECT_EQ(storedContacts().size(), kOwnContacts.size() + 20);
}

TEST_F(ProspectAddressBookTest, AnUnreadableAddressBookFailsWithoutACrashAndIsLeftAlone)
{
    auto list = openCityList();
    ASSERT_TRUE(list);
    const std::string path = dv::AddressBookAccess::databasePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "this is not an address book, only some words written where one should be";
    }
    const std::string before = fileBytes(path);
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入失败"));
    clearToasts();
    ASSERT_TRUE(tapBottomButton(kDelete, "确认"));
    EXPECT_TRUE(hasOverlay("删除失败"));
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(ProspectAddressBookTest, RecordsWithoutANumberAreLeftOutOfTheImport)
{
    // Every record's number comes in a type the model does not take, and four entries are not
    // records at all.
    m_server->setFault(dv::app::kListPhonePath, Fault::of(FaultKind::WrongTypes));
    auto list = openCityList();
    ASSERT_TRUE(list);
    m_server->clearFaults();
    ASSERT_EQ(list->tableView()->numberOfRowsInSection(0), 20);
    addOwnContacts({ "张三" });
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入成功"));
    const auto contacts = storedContacts();
    ASSERT_EQ(contacts.size(), 1u) << "no person without a number";
    for (const auto& [label, value] : contacts[0].phones)
        EXPECT_NE(value, "(null)");
}

TEST_F(ProspectAddressBookTest, AnEmptyBatchImportsNothing)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        NSArray::fromVector(std::vector<id> { NSString::fromUTF8(std::string(kCity) + "-9") }), "addFans"_ns);
    auto list = openCityList();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->tableView()->numberOfRowsInSection(0), 0);
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入成功"));
    EXPECT_TRUE(storedContacts().empty());
}

TEST_F(ProspectAddressBookTest, AProcessKilledInTheMiddleOfAnImportLeavesTheBookAsItWas)
{
    addOwnContacts(kOwnContacts);
    auto list = openCityList();
    ASSERT_TRUE(list);
    m_ui.runUntilIdle();

    int toParent[2];
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The same application, one tap later: the save stops just before it commits, everything
        // else of it written, and waits there to be killed.
        close(toParent[0]);
        dv::SqliteDatabase::setBeforeCommitHook([&] {
            char inside = 's';
            (void)!write(toParent[1], &inside, 1);
            for (;;)
                pause();
        });
        (void)tapBottomButton(kImport, "确认");
        _exit(1); // the save never reached its commit
    }
    close(toParent[1]);
    pollfd ready { toParent[0], POLLIN, 0 };
    char inside = 0;
    const bool stopped = poll(&ready, 1, 30000) == 1 && read(toParent[0], &inside, 1) == 1 && inside == 's';
    close(toParent[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(stopped) << "the child's import reached its commit";

    EXPECT_EQ(ownNames(), kOwnContacts);
    EXPECT_EQ(storedContacts().size(), kOwnContacts.size()) << "none of the batch, not part of it";

    // The next process imports the whole batch.
    ASSERT_TRUE(tapBottomButton(kImport, "确认"));
    EXPECT_TRUE(hasOverlay("导入成功"));
    EXPECT_EQ(storedNumbers(), cityBatch(kCity, 0).phones);
}

} // namespace
