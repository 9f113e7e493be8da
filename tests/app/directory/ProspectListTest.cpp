// The three prospect lists against the local server, through the driver: each list's first batch
// under its own title and fields, the next-batch button paging and wrapping, the page memory per
// list key across a relaunch (the industry list always opening on its first batch), malformed
// memory entries passed over, refused and failed batches, and overlapping batches.
#include "ProspectTestSupport.h"

#include "app/directory/prospects/ProspectListController.h"
#include "platform/base/NSIndexPath.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIButton.h"
#include "tools/devserver/Fault.h"

#include <set>
#include <string>

using namespace dv::test;
using dv::app::ProspectListController;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

using Strings = std::vector<std::string>;

const char* kCity = "440100";     // 广州市
const char* kOtherCity = "440300"; // 深圳市
const char* kProvince = "440000"; // 广东省
const char* kPrefix = "1380013";
const char* kCategory = "201";    // 45 prospects: batches 0 to 4
const char* kSmallCategory = "203"; // 20 prospects: batches 0 and 1

// The first rows of a batch, as many as a list shows at once.
Strings firstOf(const Strings& all, std::size_t count) { return Strings(all.begin(), all.begin() + std::min(count, all.size())); }

class ProspectListTest : public ProspectTest {
protected:
    Ref<ProspectListController> openCityList(const std::string& cityId = kCity)
    {
        return openList("VQAddFansSecondVC", { { "cityId", cityId } });
    }
    Ref<ProspectListController> openPrefixList(const std::string& prefix = kPrefix)
    {
        return openList("VQExactCusSecondVC", { { "cityId", kProvince }, { "phone", prefix } });
    }
    Ref<ProspectListController> openIndustryList(const std::string& categoryId = kCategory)
    {
        return openList("VQBuyerResourceVC", { { "categoryId", categoryId } });
    }

    // The list's visible numbers are the first ones of the server's batch.
    void expectShowsCityBatch(const Ref<ProspectListController>& list, const std::string& cityId, NSInteger page)
    {
        const auto shown = visiblePhones(list);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown, firstOf(cityBatch(cityId, page).phones, shown.size()));
    }

    // The last batch of a list of `total` in batches of `size`.
    static NSInteger lastBatch(NSInteger total, NSInteger size) { return (total + size - 1) / size - 1; }
};

TEST_F(ProspectListTest, EachListShowsItsFirstBatchUnderItsTitleWithItsFields)
{
    {
        auto list = openCityList();
        ASSERT_TRUE(list);
        EXPECT_EQ(m_ui.navigationTitle(), "加粉");
        auto sent = requestsTo(dv::app::kListPhonePath);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].field("cityId"), kCity);
        EXPECT_EQ(sent[0].field("page"), "0");
        EXPECT_EQ(sent[0].field("clientId").size(), 32u);
        EXPECT_EQ(sent[0].fields.size(), 3u);
        expectShowsCityBatch(list, kCity, 0);
        EXPECT_EQ(list->tableView()->numberOfSections(), 1);
        EXPECT_EQ(list->tableView()->numberOfRowsInSection(0), 20);
        EXPECT_EQ(list->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).size.height, 50);
        EXPECT_TRUE(showsText("导入通讯录"));
        EXPECT_TRUE(showsText("删除当前通讯录"));
        EXPECT_FALSE(pageMemory("addFans")) << "opening a list stores nothing";
        ASSERT_TRUE(goBack());
    }
    {
        clearRequests();
        auto list = openPrefixList();
        ASSERT_TRUE(list);
        EXPECT_EQ(m_ui.navigationTitle(), "精准客户");
        auto sent = requestsTo(dv::app::kListAccuratePhonePath);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].field("proviceId"), kProvince);
        EXPECT_EQ(sent[0].field("phone"), kPrefix);
        EXPECT_EQ(sent[0].field("page"), "0");
        EXPECT_EQ(sent[0].fields.size(), 4u);
        const auto shown = visiblePhones(list);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown, firstOf(prefixBatch(kProvince, kPrefix, 0).phones, shown.size()));
        for (const auto& phone : shown)
            EXPECT_EQ(phone.substr(0, 7), kPrefix);
        ASSERT_TRUE(goBack());
    }
    {
        clearRequests();
        auto list = openIndustryList();
        ASSERT_TRUE(list);
        EXPECT_EQ(m_ui.navigationTitle(), "客源信息");
        auto sent = requestsTo(dv::app::kListIndustryPath);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].field("categoryId"), kCategory);
        EXPECT_EQ(sent[0].field("page"), "0");
        EXPECT_EQ(sent[0].fields.size(), 3u);
        // One section per prospect: the company over its number.
        const auto batch = industryBatch(kCategory, 0);
        EXPECT_EQ(list->tableView()->numberOfSections(), 10);
        EXPECT_EQ(list->tableView()->style(), UITableViewStyleGrouped);
        const auto rows = visibleCompanies(list);
        ASSERT_FALSE(rows.empty());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].first, batch.companies[i]);
            EXPECT_EQ(rows[i].second, batch.phones[i]);
        }
        EXPECT_EQ(list->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1)).size.height, 80);
    }
}

TEST_F(ProspectListTest, TheNextBatchButtonPagesOnWrapsAndRemembersOneEntryPerCity)
{
    auto list = openCityList();
    ASSERT_TRUE(list);
    const auto first = cityBatch(kCity, 0);
    const NSInteger last = lastBatch(first.totalCount, first.pageSize);
    ASSERT_GE(last, 1);
    for (NSInteger page = 1; page <= last; ++page) {
        ASSERT_TRUE(nextBatch(list));
        expectShowsCityBatch(list, kCity, page);
        EXPECT_EQ(pageMemory("addFans"), Strings { std::string(kCity) + "-" + std::to_string(page) });
    }
    ASSERT_TRUE(nextBatch(list));
    expectShowsCityBatch(list, kCity, 0);
    EXPECT_EQ(pageMemory("addFans"), Strings { std::string(kCity) + "-0" });
    Strings expectedPages;
    for (NSInteger page = 0; page <= last; ++page)
        expectedPages.push_back(std::to_string(page));
    expectedPages.push_back("0");
    EXPECT_EQ(pagesAsked(dv::app::kListPhonePath), expectedPages);
    ASSERT_TRUE(goBack());

    // Another city gets an entry of its own; paging the first again moves its entry to the end.
    auto other = openCityList(kOtherCity);
    ASSERT_TRUE(other);
    ASSERT_TRUE(nextBatch(other));
    EXPECT_EQ(pageMemory("addFans"), (Strings { std::string(kCity) + "-0", std::string(kOtherCity) + "-1" }));
    ASSERT_TRUE(goBack());
    list = openCityList();
    ASSERT_TRUE(nextBatch(list));
    EXPECT_EQ(pageMemory("addFans"), (Strings { std::string(kOtherCity) + "-1", std::string(kCity) + "-1" }));
    EXPECT_FALSE(pageMemory("addFansCur"));
    EXPECT_FALSE(pageMemory("hangyekeyuan"));
}

TEST_F(ProspectListTest, TheRememberedBatchComesBackAfterARelaunch)
{
    auto cities = openCityList();
    ASSERT_TRUE(cities);
    ASSERT_TRUE(nextBatch(cities));
    ASSERT_TRUE(nextBatch(cities));
    ASSERT_TRUE(goBack());
    auto prefixes = openPrefixList();
    ASSERT_TRUE(prefixes);
    ASSERT_TRUE(nextBatch(prefixes));
    EXPECT_EQ(pageMemory("addFansCur"), Strings { std::string(kProvince) + "-" + kPrefix + "-1" });
    ASSERT_TRUE(goBack());
    cities = nil;
    prefixes = nil;

    relaunch();
    cities = openCityList();
    ASSERT_TRUE(cities);
    EXPECT_EQ(pagesAsked(dv::app::kListPhonePath), Strings { "2" });
    expectShowsCityBatch(cities, kCity, 2);
    ASSERT_TRUE(goBack());
    prefixes = openPrefixList();
    ASSERT_TRUE(prefixes);
    EXPECT_EQ(pagesAsked(dv::app::kListAccuratePhonePath), Strings { "1" });
    const auto shown = visiblePhones(prefixes);
    EXPECT_EQ(shown, firstOf(prefixBatch(kProvince, kPrefix, 1).phones, shown.size()));
}

TEST_F(ProspectListTest, TheIndustryListOpensOnItsFirstBatchAndGoesOnFromTheRememberedOne)
{
    auto list = openIndustryList();
    ASSERT_TRUE(list);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(nextBatch(list));
    EXPECT_EQ(pageMemory("hangyekeyuan"), Strings { std::string(kCategory) + "-3" });
    ASSERT_TRUE(goBack());
    list = nil;
    relaunch();

    list = openIndustryList();
    ASSERT_TRUE(list);
    EXPECT_EQ(pagesAsked(dv::app::kListIndustryPath), Strings { "0" });
    EXPECT_EQ(visibleCompanies(list).front().first, industryBatch(kCategory, 0).companies.front());
    ASSERT_TRUE(nextBatch(list));
    ASSERT_TRUE(nextBatch(list)); // 45 prospects: batch 4 is the last, then the first again
    EXPECT_EQ(pagesAsked(dv::app::kListIndustryPath), (Strings { "0", "4", "0" }));
    EXPECT_EQ(pageMemory("hangyekeyuan"), Strings { std::string(kCategory) + "-0" });

    // An exact multiple of the page size: batches 0, 1, then 0.
    ASSERT_TRUE(goBack());
    clearRequests();
    list = openIndustryList(kSmallCategory);
    ASSERT_TRUE(nextBatch(list));
    ASSERT_TRUE(nextBatch(list));
    EXPECT_EQ(pagesAsked(dv::app::kListIndustryPath), (Strings { "0", "1", "0" }));
}

TEST_F(ProspectListTest, APrefixListForgetsTheOtherPrefixOfItsProvince)
{
    const std::string other = "1592233";
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        NSArray::fromVector(std::vector<id> { NSString::fromUTF8(std::string(kProvince) + "-" + other + "-3"), "110000-1391234-2"_ns }),
        "addFansCur"_ns);
    auto list = openPrefixList();
    ASSERT_TRUE(list);
    EXPECT_EQ(pagesAsked(dv::app::kListAccuratePhonePath), Strings { "0" });
    ASSERT_TRUE(nextBatch(list));
    EXPECT_EQ(pageMemory("addFansCur"), (Strings { "110000-1391234-2", std::string(kProvince) + "-" + kPrefix + "-1" }));
    ASSERT_TRUE(goBack());
    // The other prefix now starts from the beginning.
    clearRequests();
    list = openPrefixList(other);
    EXPECT_EQ(pagesAsked(dv::app::kListAccuratePhonePath), Strings { "0" });
}

TEST_F(ProspectListTest, MalformedMemoryEntriesArePassedOverAndKept)
{
    const std::string city = kCity;
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(NSArray::fromVector(std::vector<id> { "garbage"_ns, NSString::fromUTF8(city + "-2"),
                                  NSString::fromUTF8(city + "-x"), NSNumber::from(42), NSString::fromUTF8(city + "-"),
                                  NSString::fromUTF8(city + "-99999999999999999999"), ""_ns }),
        "addFans"_ns);
    auto list = openCityList();
    ASSERT_TRUE(list);
    // The last entry that reads as a page of the city.
    EXPECT_EQ(pagesAsked(dv::app::kListPhonePath), Strings { "2" });
    const auto batch = cityBatch(kCity, 0);
    const std::string next = std::to_string(lastBatch(batch.totalCount, batch.pageSize) > 2 ? 3 : 0);
    ASSERT_TRUE(nextBatch(list));
    // Entries of other keys and ones that are not texts stay; the city's own are replaced.
    auto stored = dv::as<NSArray>(defaults->objectForKey("addFans"_ns));
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->count(), 4u);
    EXPECT_EQ(dv::str(stored->objectAtIndex(0)), "garbage");
    EXPECT_TRUE(dv::as<NSNumber>(stored->objectAtIndex(1)));
    EXPECT_EQ(dv::str(stored->objectAtIndex(2)), "");
    EXPECT_EQ(dv::str(stored->objectAtIndex(3)), city + "-" + next);
    ASSERT_TRUE(goBack());

    // A key that holds no array at all reads as no memory, and the next press replaces it.
    defaults->setObjectForKey("440100-5"_ns, "hangyekeyuan"_ns);
    clearRequests();
    auto industry = openIndustryList();
    ASSERT_TRUE(industry);
    ASSERT_TRUE(nextBatch(industry));
    EXPECT_EQ(pagesAsked(dv::app::kListIndustryPath), (Strings { "0", "1" }));
    EXPECT_EQ(pageMemory("hangyekeyuan"), Strings { std::string(kCategory) + "-1" });
}

TEST_F(ProspectListTest, ARememberedBatchBeyondTheLastIsAskedForAndTheNextPressComesBack)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey(
        NSArray::fromVector(std::vector<id> { NSString::fromUTF8(std::string(kCity) + "-7") }), "addFans"_ns);
    auto list = openCityList();
    ASSERT_TRUE(list);
    EXPECT_EQ(pagesAsked(dv::app::kListPhonePath), Strings { "7" });
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(0), 0) << "the server has nothing there";
    ASSERT_TRUE(nextBatch(list));
    EXPECT_EQ(pagesAsked(dv::app::kListPhonePath).back(), "0");
    expectShowsCityBatch(list, kCity, 0);
}

TEST_F(ProspectListTest, TheButtonDoesNothingUntilAReplyGaveACountThatMakesSense)
{
    struct Case {
        const char* name;
        Fault fault;
        const char* toast;
    };
    const Case cases[] = {
        { "refused", Fault::refusal(0, "系统维护中"), "系统维护中" },
        { "bad status", Fault::httpError(500), nullptr },
        { "not JSON", Fault::of(FaultKind::MalformedJson), nullptr },
        { "an array", Fault::of(FaultKind::JsonArray), nullptr },
        { "unreadable count and size", Fault::of(FaultKind::WrongTypes), nullptr },
        { "cut short", Fault::of(FaultKind::CutConnection), nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server->setFault(dv::app::kListPhonePath, c.fault);
        clearRequests();
        auto list = openCityList();
        ASSERT_TRUE(list);
        if (c.toast) {
            EXPECT_TRUE(showsText(c.toast));
        }
        EXPECT_FALSE(hasOverlay("正在加载"));
        clearToasts();
        ASSERT_TRUE(m_ui.tap(list->navigationItem()->rightBarButtonItem()));
        m_ui.runUntilIdle();
        EXPECT_FALSE(hasOverlay("正在加载"));
        EXPECT_EQ(requestsTo(dv::app::kListPhonePath).size(), 1u) << "nothing more is asked";
        EXPECT_FALSE(pageMemory("addFans")) << "nothing is remembered";
        m_server->clearFaults();
        ASSERT_TRUE(goBack());
    }
}

TEST_F(ProspectListTest, ARefusedOrFailedBatchKeepsTheOneShownButIsRemembered)
{
    auto list = openIndustryList();
    ASSERT_TRUE(list);
    const auto first = visibleCompanies(list);
    ASSERT_FALSE(first.empty());

    m_server->setFault(dv::app::kListIndustryPath, Fault::refusal(0, "服务器繁忙，请稍后再试"));
    ASSERT_TRUE(nextBatch(list));
    EXPECT_TRUE(showsText("服务器繁忙，请稍后再试"));
    EXPECT_EQ(visibleCompanies(list), first);
    EXPECT_EQ(pageMemory("hangyekeyuan"), Strings { std::string(kCategory) + "-1" });
    clearToasts();

    m_server->setFault(dv::app::kListIndustryPath, Fault::of(FaultKind::CloseConnection));
    ASSERT_TRUE(nextBatch(list));
    EXPECT_FALSE(hasOverlay("正在加载"));
    EXPECT_EQ(visibleCompanies(list), first);
    EXPECT_EQ(pageMemory("hangyekeyuan"), Strings { std::string(kCategory) + "-2" });
    clearToasts();

    m_server->clearFaults();
    ASSERT_TRUE(nextBatch(list));
    EXPECT_EQ(pagesAsked(dv::app::kListIndustryPath).back(), "3");
    EXPECT_EQ(visibleCompanies(list).front().first, industryBatch(kCategory, 3).companies.front());
}

TEST_F(ProspectListTest, OverlappingBatchesEachRefillTheTableWhenTheyArrive)
{
    auto list = openCityList();
    ASSERT_TRUE(list);
    // The first request the server takes is held there, so the two batches overlap and the one
    // asked for second may well arrive first (which of the two the server takes first is up to
    // the transport): each refills the table when it arrives, and the last one stays.
    m_server->setFault(dv::app::kListPhonePath, [] {
        auto fault = Fault::delay(1);
        fault.times = 1;
        return fault;
    }());
    const auto before = callsMade();
    ASSERT_TRUE(m_ui.tap(list->navigationItem()->rightBarButtonItem()));
    ASSERT_TRUE(m_ui.tap(list->navigationItem()->rightBarButtonItem()));
    EXPECT_EQ(pageMemory("addFans"), Strings { std::string(kCity) + "-2" }) << "the last press is remembered";
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() >= before + 1; }));
    m_ui.advance(0.4); // the first reply's overlay fades while the other is still on its way
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() >= before + 2; }));
    m_ui.advance(0.4);
    const auto sent = requestsTo(dv::app::kListPhonePath);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ((std::set<std::string> { sent[1].field("page"), sent[2].field("page") }), (std::set<std::string> { "1", "2" }));
    expectShowsCityBatch(list, kCity, sent[2].field("page") == "1" ? 1 : 2);
    EXPECT_FALSE(hasOverlay("正在加载"));
}

} // namespace
