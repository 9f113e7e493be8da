// The two prospect search screens against the local server, through the driver: the region row
// opening (or, by number prefix, toggling) the picker panel, "完成" writing the region into the
// label, the checks of the search (a region chosen, a prefix of seven characters), the list each
// search opens, the search going with the confirmed region rather than wheels turned since, and
// region lists the server refuses; and the home screen's tiles opening the three prospect screens.
#include "ProspectTestSupport.h"

#include "app/directory/prospects/ProspectListController.h"
#include "app/directory/prospects/VQAddFansViewController.h"
#include "app/directory/prospects/VQCategoryResourcesNewVC.h"
#include "app/directory/prospects/VQExactCustomerVC.h"
#include "app/shell/home/VQMainButton.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIPickerView.h"
#include "platform/ui/UITextField.h"
#include "tools/devserver/Fault.h"

using namespace dv::test;
using dv::devserver::Fault;

namespace {

using Region = std::pair<std::string, std::string>; // id, name

class ProspectSearchTest : public ProspectTest {
protected:
    Ref<VQAddFansViewController> openRegionSearch()
    {
        auto screen = dv::as<VQAddFansViewController>(openScreen("VQAddFansViewController", "信聊加粉"));
        // The cities of the first province follow the provinces.
        if (screen) {
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return screen->pickerView()->numberOfRowsInComponent(1) > 0; }));
        }
        return screen;
    }
    Ref<VQExactCustomerVC> openPrefixSearch()
    {
        auto screen = dv::as<VQExactCustomerVC>(openScreen("VQExactCustomerVC", "精准加粉"));
        if (screen) {
            EXPECT_GT(screen->pickerView()->numberOfRowsInComponent(0), 0);
        }
        return screen;
    }

    std::vector<Region> regionsUnder(const std::string& parentId) const
    {
        return serverRecords(dv::app::subDistrictRequest(NSString::fromUTF8(parentId)), "id");
    }

    bool panelShows(const Ref<dv::app::RegionPickerController>& screen) const { return m_ui.isVisible(screen->picView()); }

    // A tap on the search button; answers the screen then on top.
    Ref<UIViewController> search()
    {
        const auto before = callsMade();
        if (!m_ui.tap(m_ui.viewWithTitle("搜索")))
            return nil;
        m_ui.advance(0.4);
        if (m_ui.navigationStack().size() > 2) {
            EXPECT_TRUE(waitUntilLoaded(before));
        }
        return m_ui.topViewController();
    }

    bool typePrefix(const Ref<VQExactCustomerVC>& screen, std::string_view text)
    {
        if (!m_ui.focus(screen->phoneField()))
            return false;
        const auto typed = screen->phoneField()->text();
        m_ui.deleteBackward(typed ? static_cast<int>(typed->length()) + 1 : 1);
        const bool ok = m_ui.typeText(text);
        m_ui.resignFocus();
        m_ui.advance(0.4);
        return ok;
    }
};

TEST_F(ProspectSearchTest, TheRegionSearchOpensTheListOfTheConfirmedCity)
{
    auto screen = openRegionSearch();
    ASSERT_TRUE(screen);
    EXPECT_EQ(m_ui.textOf(screen->locatLabel()), "请选择地区");
    EXPECT_TRUE(showsText("地区"));
    EXPECT_FALSE(panelShows(screen));

    // Without a region: the toast, and nothing opens.
    ASSERT_EQ(search(), screen);
    EXPECT_TRUE(hasOverlay("请先选择地区"));
    clearToasts();

    // The row shows the panel; "完成" without turning the wheels confirms the first province and
    // the first of its cities.
    ASSERT_TRUE(m_ui.tap(screen->locatLabel()));
    EXPECT_TRUE(panelShows(screen));
    ASSERT_TRUE(m_ui.tap(screen->locatLabel()));
    EXPECT_TRUE(panelShows(screen)) << "a second tap leaves it shown";
    const auto provinces = regionsUnder("0");
    ASSERT_GE(provinces.size(), 3u);
    const auto cities = regionsUnder(provinces[0].first);
    ASSERT_FALSE(cities.empty());
    ASSERT_TRUE(m_ui.tap(m_ui.viewWithTitle("完成")));
    EXPECT_FALSE(panelShows(screen));
    EXPECT_EQ(m_ui.textOf(screen->locatLabel()), provinces[0].second + cities[0].second);

    clearRequests();
    auto list = dv::as<dv::app::ProspectListController>(search());
    ASSERT_TRUE(list);
    EXPECT_EQ(dv::str(list->className()), "VQAddFansSecondVC");
    EXPECT_EQ(m_ui.navigationTitle(), "加粉");
    auto sent = requestsTo(dv::app::kListPhonePath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].field("cityId"), cities[0].first);
    EXPECT_EQ(visiblePhones(list).front(), cityBatch(cities[0].first, 0).phones.front());
}

TEST_F(ProspectSearchTest, TheSearchGoesWithTheConfirmedRegionNotWheelsTurnedSince)
{
    auto screen = openRegionSearch();
    ASSERT_TRUE(screen);
    const auto provinces = regionsUnder("0");
    const auto firstCities = regionsUnder(provinces[0].first);
    const auto thirdCities = regionsUnder(provinces[2].first);
    ASSERT_FALSE(thirdCities.empty());

    // A city of the third province confirmed.
    ASSERT_TRUE(m_ui.tap(screen->locatLabel()));
    ASSERT_TRUE(m_ui.spinPicker(screen->pickerView(), 0, 2));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        return screen->cityId() && dv::str(screen->cityId()) == thirdCities[0].first;
    }));
    ASSERT_TRUE(m_ui.tap(m_ui.viewWithTitle("完成")));
    EXPECT_EQ(m_ui.textOf(screen->locatLabel()), provinces[2].second + thirdCities[0].second);

    // The wheels turned back to the first province, then "取消": the label and the search keep
    // the confirmed city.
    ASSERT_TRUE(m_ui.tap(screen->locatLabel()));
    ASSERT_TRUE(m_ui.spinPicker(screen->pickerView(), 0, 0));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        return screen->cityId() && dv::str(screen->cityId()) == firstCities[0].first;
    }));
    ASSERT_TRUE(m_ui.tap(m_ui.viewWithTitle("取消")));
    EXPECT_FALSE(panelShows(screen));
    EXPECT_EQ(m_ui.textOf(screen->locatLabel()), provinces[2].second + thirdCities[0].second);
    clearRequests();
    ASSERT_TRUE(dv::as<dv::app::ProspectListController>(search()));
    auto sent = requestsTo(dv::app::kListPhonePath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].field("cityId"), thirdCities[0].first);
}

TEST_F(ProspectSearchTest, ThePrefixSearchChecksTheRegionAndTheLengthOfThePrefix)
{
    auto screen = openPrefixSearch();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithPlaceholder("请输入手机号前七位")));
    EXPECT_EQ(screen->phoneField()->keyboardType(), UIKeyboardTypeNumberPad);

    // No region yet, a prefix or not.
    ASSERT_EQ(search(), screen);
    EXPECT_TRUE(hasOverlay("请先选择地区"));
    clearToasts();
    ASSERT_TRUE(typePrefix(screen, "1380013"));
    ASSERT_EQ(search(), screen);
    EXPECT_TRUE(hasOverlay("请先选择地区"));
    clearToasts();

    // The row toggles the panel; turning the wheel writes the province into the label at once.
    const auto provinces = regionsUnder("0");
    ASSERT_TRUE(m_ui.tap(screen->locatLabel()));
    EXPECT_TRUE(panelShows(screen));
    ASSERT_TRUE(m_ui.spinPicker(screen->pickerView(), 0, 2));
    EXPECT_EQ(m_ui.textOf(screen->locatLabel()), provinces[2].second);
    ASSERT_TRUE(m_ui.tap(screen->locatLabel()));
    EXPECT_FALSE(panelShows(screen));

    for (const char* prefix : { "138001", "13800138", "" }) {
        SCOPED_TRACE(prefix);
        ASSERT_TRUE(typePrefix(screen, prefix));
        ASSERT_EQ(search(), screen);
        EXPECT_TRUE(hasOverlay("请输入手机号前七位"));
        clearToasts();
    }

    ASSERT_TRUE(typePrefix(screen, "1592233"));
    clearRequests();
    auto list = dv::as<dv::app::ProspectListController>(search());
    ASSERT_TRUE(list);
    EXPECT_EQ(dv::str(list->className()), "VQExactCusSecondVC");
    EXPECT_EQ(m_ui.navigationTitle(), "精准客户");
    auto sent = requestsTo(dv::app::kListAccuratePhonePath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].field("proviceId"), provinces[2].first);
    EXPECT_EQ(sent[0].field("phone"), "1592233");
    for (const auto& phone : visiblePhones(list))
        EXPECT_EQ(phone.substr(0, 7), "1592233");
}

TEST_F(ProspectSearchTest, ThePrefixSearchTakesTheFirstProvinceConfirmedWithoutTurningTheWheel)
{
    auto screen = openPrefixSearch();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(m_ui.tap(screen->locatLabel()));
    ASSERT_TRUE(m_ui.tap(m_ui.viewWithTitle("完成")));
    const auto provinces = regionsUnder("0");
    EXPECT_EQ(m_ui.textOf(screen->locatLabel()), provinces[0].second);
    ASSERT_TRUE(typePrefix(screen, "1380013"));
    clearRequests();
    ASSERT_TRUE(dv::as<dv::app::ProspectListController>(search()));
    auto sent = requestsTo(dv::app::kListAccuratePhonePath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].field("proviceId"), provinces[0].first);
}

TEST_F(ProspectSearchTest, TheHomeScreensTilesOpenTheProspectScreensUnderTheTilesNames)
{
    const std::pair<const char*, const char*> tiles[] = {
        { "加粉", "VQAddFansViewController" },
        { "精准加粉", "VQExactCustomerVC" },
        { "行业客源", "VQCategoryResourcesNewVC" },
    };
    for (const auto& [title, screenClass] : tiles) {
        SCOPED_TRACE(title);
        Ref<VQMainButton> tile;
        for (const auto& candidate : m_ui.findAll<VQMainButton>())
            if (m_ui.textOf(candidate->titleLabel()) == title)
                tile = candidate;
        ASSERT_TRUE(tile);
        ASSERT_TRUE(m_ui.tap(tile));
        m_ui.advance(0.4);
        auto top = m_ui.topViewController();
        ASSERT_TRUE(top);
        EXPECT_EQ(dv::str(top->className()), screenClass);
        EXPECT_EQ(m_ui.navigationTitle(), title);
        // Each screen's own first load, whatever else is still on its way.
        if (auto grid = dv::as<VQCategoryResourcesNewVC>(top)) {
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return grid->collView()->numberOfItemsInSection(0) > 0; }));
        } else if (auto regions = dv::as<VQAddFansViewController>(top)) {
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return regions->pickerView()->numberOfRowsInComponent(1) > 0; }));
        } else if (auto provinces = dv::as<VQExactCustomerVC>(top)) {
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return provinces->pickerView()->numberOfRowsInComponent(0) > 0; }));
        }
        m_ui.advance(0.4);
        EXPECT_FALSE(hasOverlay("正在加载"));
        ASSERT_TRUE(goBack());
    }
}

TEST_F(ProspectSearchTest, RefusedRegionListsLeaveNothingToConfirm)
{
    for (const char* screenClass : { "VQAddFansViewController", "VQExactCustomerVC" }) {
        SCOPED_TRACE(screenClass);
        m_server->setFault(dv::app::kSubDistrictPath, Fault::refusal(0, "服务器繁忙，请稍后再试"));
        auto screen = dv::as<dv::app::RegionPickerController>(openScreen(screenClass, "搜索"));
        ASSERT_TRUE(screen);
        EXPECT_FALSE(hasOverlay("服务器繁忙，请稍后再试")) << "the region lists show no toast of their own";
        EXPECT_EQ(screen->pickerView()->numberOfRowsInComponent(0), 0);
        ASSERT_TRUE(m_ui.tap(m_ui.viewWithText("请选择地区")));
        ASSERT_TRUE(m_ui.tap(m_ui.viewWithTitle("完成")));
        EXPECT_FALSE(panelShows(screen));
        EXPECT_TRUE(showsText("请选择地区"));
        ASSERT_EQ(search(), screen);
        EXPECT_TRUE(hasOverlay("请先选择地区"));
        clearToasts();
        m_server->clearFaults();
        ASSERT_TRUE(goBack());
    }
}

} // namespace
