// The category screens against the local server, through the driver: the two-column grid of the
// industry categories (placed by the waterfall layout), a tapped category opening its prospect
// list, refused, failed and malformed category lists, and the one-column list doing the same.
#include "ProspectTestSupport.h"

#include "app/directory/prospects/ProspectListController.h"
#include "app/directory/prospects/VQCategoryResourceVC.h"
#include "app/directory/prospects/VQCategoryResourcesNewVC.h"
#include "app/directory/prospects/VQRescorcesCollCell.h"
#include "platform/base/NSIndexPath.h"
#include "platform/ui/UICollectionViewLayout.h"
#include "tools/devserver/Fault.h"

using namespace dv::test;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

using Category = std::pair<std::string, std::string>; // id, name

class ProspectCategoryTest : public ProspectTest {
protected:
    Ref<VQCategoryResourcesNewVC> openGrid()
    {
        return dv::as<VQCategoryResourcesNewVC>(openScreen("VQCategoryResourcesNewVC", "行业客源"));
    }

    std::vector<Category> serverCategories() const { return serverRecords(dv::app::listCategoryRequest(), "categoryId"); }

    // The names the grid's items show, in item order.
    std::vector<std::string> itemNames(const Ref<VQCategoryResourcesNewVC>& grid) const
    {
        std::vector<std::string> names;
        const NSInteger count = grid->collView()->numberOfItemsInSection(0);
        for (NSInteger item = 0; item < count; ++item) {
            auto cell = dv::as<VQRescorcesCollCell>(grid->collView()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(item, 0)));
            names.push_back(cell ? m_ui.textOf(cell->contentLabel()) : std::string("(not shown)"));
        }
        return names;
    }

    std::vector<std::string> namesOf(const std::vector<Category>& categories) const
    {
        std::vector<std::string> names;
        for (const auto& category : categories)
            names.push_back(category.second);
        return names;
    }
};

TEST_F(ProspectCategoryTest, TheGridShowsTheCategoriesInTwoColumns)
{
    auto grid = openGrid();
    ASSERT_TRUE(grid);
    EXPECT_EQ(m_ui.navigationTitle(), "行业客源") << "the opener's title";
    const auto categories = serverCategories();
    ASSERT_EQ(categories.size(), 11u);
    ASSERT_EQ(grid->collView()->numberOfItemsInSection(0), 11);
    EXPECT_EQ(itemNames(grid), namesOf(categories));

    // On a 375-point screen: columns of (375 - 5 - 5 - 5) / 2 points, 5 points apart and around,
    // rows of 50 points 5 apart; each item goes under the shorter column, the left one first.
    const CGFloat column = (375.0 - 15) / 2;
    for (NSInteger item = 0; item < 11; ++item) {
        SCOPED_TRACE(item);
        auto attributes = grid->collView()->collectionViewLayout()->layoutAttributesForItemAtIndexPath(NSIndexPath::indexPathForItem(item, 0));
        ASSERT_TRUE(attributes);
        const CGRect frame = attributes->frame();
        EXPECT_EQ(frame.origin.x, 5 + (item % 2) * (column + 5));
        EXPECT_EQ(frame.origin.y, 5 + (item / 2) * 55);
        EXPECT_EQ(frame.size.width, column);
        EXPECT_EQ(frame.size.height, 50);
    }
    auto first = dv::as<VQRescorcesCollCell>(grid->collView()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(0, 0)));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->contentLabel()->frame().size.width, 375.0 / 2 - 20);
    EXPECT_EQ(first->contentLabel()->frame().origin.x, 10);
    EXPECT_EQ(requestsTo(dv::app::kListCategoryPath).size(), 1u);
    EXPECT_EQ(requestsTo(dv::app::kListCategoryPath)[0].field("clientId").size(), 32u);
}

TEST_F(ProspectCategoryTest, ATappedCategoryOpensItsProspectList)
{
    auto grid = openGrid();
    ASSERT_TRUE(grid);
    const auto categories = serverCategories();
    for (NSInteger item : { 0, 5, 10 }) {
        SCOPED_TRACE(item);
        clearRequests();
        const auto before = callsMade();
        ASSERT_TRUE(m_ui.tapItem(grid->collView(), NSIndexPath::indexPathForItem(item, 0)));
        ASSERT_TRUE(waitUntilLoaded(before));
        auto list = dv::as<dv::app::ProspectListController>(m_ui.topViewController());
        ASSERT_TRUE(list);
        EXPECT_EQ(dv::str(list->className()), "VQBuyerResourceVC");
        EXPECT_EQ(m_ui.navigationTitle(), "客源信息");
        auto sent = requestsTo(dv::app::kListIndustryPath);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].field("categoryId"), categories[static_cast<std::size_t>(item)].first);
        const auto batch = industryBatch(categories[static_cast<std::size_t>(item)].first, 0);
        const auto rows = visibleCompanies(list);
        if (batch.companies.empty()) {
            EXPECT_TRUE(rows.empty());
        } else {
            ASSERT_FALSE(rows.empty());
            EXPECT_EQ(rows.front().first, batch.companies.front());
        }
        ASSERT_TRUE(goBack());
        // The grid as it was, not asked for again.
        EXPECT_EQ(m_ui.topViewController(), grid);
        EXPECT_TRUE(requestsTo(dv::app::kListCategoryPath).empty());
        EXPECT_EQ(itemNames(grid), namesOf(categories));
    }
}

TEST_F(ProspectCategoryTest, RefusedFailedOrMalformedCategoryListsEndWithoutACrash)
{
    struct Case {
        const char* name;
        Fault fault;
        const char* toast;
    };
    const Case cases[] = {
        { "refused", Fault::refusal(0, "系统维护中"), "系统维护中" },
        { "bad status", Fault::httpError(503), nullptr },
        { "not JSON", Fault::of(FaultKind::MalformedJson), nullptr },
        { "null", Fault::of(FaultKind::JsonNull), nullptr },
        { "closed", Fault::of(FaultKind::CutConnection), nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server->setFault(dv::app::kListCategoryPath, c.fault);
        auto grid = openGrid();
        ASSERT_TRUE(grid);
        if (c.toast) {
            EXPECT_TRUE(hasOverlay(c.toast));
        }
        EXPECT_FALSE(hasOverlay("正在加载"));
        EXPECT_EQ(grid->collView()->numberOfItemsInSection(0), 0);
        clearToasts();
        m_server->clearFaults();
        ASSERT_TRUE(goBack());
    }
}

TEST_F(ProspectCategoryTest, CategoriesWithoutAnIdOpenNothing)
{
    // Every field of every category in a type the model does not take, and four entries that are
    // not categories at all: items without names, which open nothing when tapped.
    m_server->setFault(dv::app::kListCategoryPath, Fault::of(FaultKind::WrongTypes));
    auto grid = openGrid();
    ASSERT_TRUE(grid);
    m_server->clearFaults();
    ASSERT_EQ(grid->collView()->numberOfItemsInSection(0), 11);
    const auto stack = m_ui.navigationStack().size();
    clearRequests();
    ASSERT_TRUE(m_ui.tapItem(grid->collView(), NSIndexPath::indexPathForItem(0, 0)));
    m_ui.advance(0.4);
    EXPECT_EQ(m_ui.navigationStack().size(), stack);
    EXPECT_TRUE(requestsTo(dv::app::kListIndustryPath).empty());
}

TEST_F(ProspectCategoryTest, TheOneColumnListShowsAndOpensTheSameCategories)
{
    auto screen = dv::as<VQCategoryResourceVC>(openScreen("VQCategoryResourceVC", "ignored"));
    ASSERT_TRUE(screen);
    EXPECT_EQ(m_ui.navigationTitle(), "行业客源") << "its own title";
    const auto categories = serverCategories();
    ASSERT_EQ(screen->tableView()->numberOfRowsInSection(0), static_cast<NSInteger>(categories.size()));
    const auto shown = visibleRowTitles(screen->tableView());
    ASSERT_FALSE(shown.empty());
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], categories[i].second);
    EXPECT_EQ(screen->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).size.height, 50);

    clearRequests();
    ASSERT_TRUE(tapRowAndWait(screen->tableView(), 2, 0));
    auto list = dv::as<dv::app::ProspectListController>(m_ui.topViewController());
    ASSERT_TRUE(list);
    auto sent = requestsTo(dv::app::kListIndustryPath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].field("categoryId"), categories[2].first);
}

} // namespace
