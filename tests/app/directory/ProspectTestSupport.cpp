#include "ProspectTestSupport.h"

#include "app/directory/prospects/ProspectListController.h"
#include "app/directory/prospects/VQAddFansCell.h"
#include "app/directory/prospects/VQBuyResourceCell.h"
#include "app/shell/navigation/ScreenFactory.h"
#include "app/shell/server/ServerReply.h"
#include "platform/base/NSData.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLConnection.h"
#include "platform/system/AddressBook.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/SqliteDatabase.h"

namespace dv::test {

namespace {

std::string formEncode(const Ref<NSDictionary>& fields)
{
    auto escape = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            if (std::isalnum(c) || c == '-' || c == '_' || c == '.')
                out += static_cast<char>(c);
            else {
                char buffer[4];
                std::snprintf(buffer, sizeof(buffer), "%%%02X", c);
                out += buffer;
            }
        }
        return out;
    };
    std::string body;
    if (!fields)
        return body;
    const auto keys = fields->allKeys();
    for (const id& key : *keys) {
        if (!body.empty())
            body += '&';
        body += escape(dv::str(key)) + '=' + escape(dv::str(fields->objectForKey(key)));
    }
    return body;
}

std::string textOf(const id& value)
{
    auto text = dv::app::textOfJSON(value);
    return text ? dv::str(text) : std::string("(none)");
}

} // namespace

void ProspectTest::SetUp()
{
    DirectoryTest::SetUp();
    // The home screen asked at start, and the user allowed it.
    ASSERT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized);
}

Ref<dv::app::ProspectListController> ProspectTest::openList(const std::string& className,
    const std::vector<std::pair<std::string, std::string>>& keys)
{
    auto screen = dv::app::makeScreen(className);
    EXPECT_TRUE(screen) << className;
    if (!screen)
        return nil;
    for (const auto& [key, value] : keys)
        EXPECT_TRUE(dv::app::setScreenValue(screen, NSString::fromUTF8(value), key)) << key;
    const auto before = callsMade();
    m_navigation->pushViewController(screen, true);
    EXPECT_TRUE(waitUntilLoaded(before));
    return dv::as<dv::app::ProspectListController>(screen);
}

bool ProspectTest::nextBatch(const Ref<dv::app::ProspectListController>& list)
{
    return list && tapAndWait(list->navigationItem()->rightBarButtonItem());
}

std::optional<ServerReply> ProspectTest::serverReply(const dv::app::ServerRequest& request) const
{
    auto post = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(request.URL));
    post->setHTTPMethod("POST"_ns);
    post->setValueForHTTPHeaderField("application/x-www-form-urlencoded"_ns, "Content-Type"_ns);
    post->setHTTPBody(NSData::fromString(formEncode(request.fields)));
    Ref<NSError> error;
    auto body = NSURLConnection::sendSynchronousRequest(post, nullptr, &error);
    EXPECT_TRUE(body) << dv::str(error);
    auto reply = ServerReply::fromObject(body ? NSJSONSerialization::JSONObjectWithData(body, 0, nullptr) : nil);
    EXPECT_TRUE(reply && reply->succeeded());
    return reply;
}

ServerBatch ProspectTest::serverBatch(const dv::app::ServerRequest& request) const
{
    ServerBatch batch;
    auto reply = serverReply(request);
    if (!reply)
        return batch;
    batch.totalCount = reply->totalCount().value_or(0);
    batch.pageSize = reply->pageSize().value_or(0);
    if (auto items = reply->listItems())
        for (const id& item : *items) {
            auto record = dv::as<NSDictionary>(item);
            if (!record)
                continue;
            batch.phones.push_back(textOf(record->objectForKey("phone"_ns)));
            batch.companies.push_back(textOf(record->objectForKey("computerName"_ns)));
        }
    return batch;
}

std::vector<std::pair<std::string, std::string>> ProspectTest::serverRecords(const dv::app::ServerRequest& request, const char* idKey) const
{
    std::vector<std::pair<std::string, std::string>> records;
    auto reply = serverReply(request);
    auto items = reply ? reply->infoArray() : nil;
    if (!items)
        return records;
    for (const id& item : *items)
        if (auto record = dv::as<NSDictionary>(item))
            records.emplace_back(textOf(record->objectForKey(NSString::fromUTF8(idKey))), textOf(record->objectForKey("name"_ns)));
    return records;
}

ServerBatch ProspectTest::cityBatch(const std::string& cityId, NSInteger page) const
{
    return serverBatch(dv::app::listPhoneRequest(NSString::fromUTF8(cityId), page));
}

ServerBatch ProspectTest::prefixBatch(const std::string& provinceId, const std::string& prefix, NSInteger page) const
{
    return serverBatch(dv::app::listAccuratePhoneRequest(NSString::fromUTF8(provinceId), page, NSString::fromUTF8(prefix)));
}

ServerBatch ProspectTest::industryBatch(const std::string& categoryId, NSInteger page) const
{
    return serverBatch(dv::app::listIndustryRequest(NSString::fromUTF8(categoryId), page));
}

std::vector<std::string> ProspectTest::visiblePhones(const Ref<dv::app::ProspectListController>& list) const
{
    std::vector<std::string> phones;
    const auto cells = list->tableView()->visibleCells();
    for (const id& cell : *cells)
        if (auto row = dv::as<VQAddFansCell>(cell); row && m_ui.isVisible(row->phoneBtn()))
            phones.push_back(m_ui.textOf(row->phoneBtn()));
    return phones;
}

std::vector<std::pair<std::string, std::string>> ProspectTest::visibleCompanies(const Ref<dv::app::ProspectListController>& list) const
{
    std::vector<std::pair<std::string, std::string>> rows;
    const auto cells = list->tableView()->visibleCells();
    for (const id& cell : *cells)
        if (auto row = dv::as<VQBuyResourceCell>(cell); row && m_ui.isVisible(row))
            rows.emplace_back(m_ui.textOf(row->contentLabel()), m_ui.textOf(row->phoneLabel()));
    return rows;
}

std::vector<std::string> ProspectTest::pagesAsked(std::string_view path) const
{
    std::vector<std::string> pages;
    for (const auto& sent : requestsTo(path))
        pages.push_back(sent.field("page"));
    return pages;
}

std::optional<std::vector<std::string>> ProspectTest::pageMemory(const char* key) const
{
    auto entries = dv::as<NSArray>(NSUserDefaults::standardUserDefaults()->objectForKey(NSString::fromUTF8(key)));
    if (!entries)
        return std::nullopt;
    std::vector<std::string> texts;
    for (const id& entry : *entries)
        texts.push_back(dv::str(entry));
    return texts;
}

std::vector<StoredContact> ProspectTest::storedContacts() const
{
    using dv::SqliteDatabase;
    using Step = dv::SqliteStatement::Step;
    std::vector<StoredContact> contacts;
    auto opened = SqliteDatabase::open(dv::AddressBookAccess::databasePath());
    EXPECT_TRUE(opened) << opened.reason();
    if (!opened)
        return contacts;
    auto db = std::move(opened).value();
    auto people = db->prepare("SELECT id, first, last, birthday FROM people ORDER BY id");
    if (!people.valid()) // no save has made the tables yet
        return contacts;
    auto phones = db->prepare("SELECT label, value FROM phones WHERE person = ?1 ORDER BY position");
    while (people.step() == Step::Row) {
        StoredContact contact;
        if (!people.isNull(1))
            contact.firstName = people.text(1);
        if (!people.isNull(2))
            contact.lastName = people.text(2);
        if (!people.isNull(3))
            contact.birthday = people.real(3);
        phones.reset();
        phones.bind(1, people.int64(0));
        while (phones.step() == Step::Row)
            contact.phones.emplace_back(phones.isNull(0) ? std::string("(no label)") : phones.text(0), phones.text(1));
        contacts.push_back(std::move(contact));
    }
    return contacts;
}

std::vector<std::string> ProspectTest::storedNumbers() const
{
    std::vector<std::string> numbers;
    for (const auto& contact : storedContacts())
        for (const auto& [label, value] : contact.phones)
            if (label == "iphone")
                numbers.push_back(value);
    return numbers;
}

void ProspectTest::addOwnContacts(const std::vector<std::string>& names)
{
    auto book = ABAddressBookCreate();
    ASSERT_TRUE(book);
    int n = 0;
    for (const auto& name : names) {
        auto person = ABPersonCreate();
        ASSERT_TRUE(ABRecordSetValue(person, kABPersonFirstNameProperty, NSString::fromUTF8(name), nullptr));
        auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
        ABMultiValueAddValueAndLabel(phones, NSString::stringWithFormat("1390000%04d", ++n), kABPersonPhoneMobileLabel, nullptr);
        ASSERT_TRUE(ABRecordSetValue(person, kABPersonPhoneProperty, phones, nullptr));
        ASSERT_TRUE(ABAddressBookAddRecord(book, person, nullptr));
    }
    ASSERT_TRUE(ABAddressBookSave(book, nullptr));
}

std::optional<dv::testing::UIDriver::Alert> ProspectTest::tapBottomButton(std::string_view title, std::optional<std::string_view> answer)
{
    const auto before = m_ui.visibleAlerts().size();
    if (!m_ui.tap(m_ui.viewWithTitle(title)))
        return std::nullopt;
    m_ui.advance(0.4);
    auto alerts = m_ui.visibleAlerts();
    if (alerts.size() != before + 1)
        return std::nullopt;
    auto alert = alerts.back();
    if (answer) {
        if (!m_ui.tapAlertButton(*answer))
            return std::nullopt;
        // The alert goes on the clock; the toast the answer brings stays 0.7 s.
        m_ui.advance(0.3);
    }
    return alert;
}

} // namespace dv::test
