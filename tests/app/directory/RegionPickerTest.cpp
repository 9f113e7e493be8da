// The region picker against the local server, through the driver, on the upload forms that embed
// it: the provinces asked for once with parentId 0 and the first province's cities after them,
// the wheels spun to a province and a city and confirmed into the label and the form's area, the
// panel opened and closed by the region row and its buttons, "取消" keeping what was confirmed,
// a new province clearing the city until its own cities arrive, a late reply for an earlier
// province dropped, a province without cities, and refused, failed or odd region replies that
// leave the wheels as they were without a toast.
#include "UploadFormTestSupport.h"

#include "app/directory/uploads/QRCodeUploadController.h"
#include "app/shell/server/ServerSettings.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "tools/devserver/Fault.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

using namespace dv::test;
using dv::devserver::Fault;
using dv::devserver::FaultKind;

namespace {

class RegionPickerTest : public UploadFormTest {
protected:
    std::string areaId() const { return m_form && m_form->areaId() ? dv::str(m_form->areaId()) : ""; }
    // Whether any overlay or toast shows on the window or the form.
    bool anyToast() const { return PHProgressHUD::HUDForView(m_window) || (m_form && PHProgressHUD::HUDForView(m_form->view())); }
};

TEST_F(RegionPickerTest, ProvincesThenTheFirstProvincesCitiesFillTheWheels)
{
    ASSERT_TRUE(openForm(kGroupForm));
    const auto provinces = serverRegions("0");
    ASSERT_GT(provinces.size(), 30u);
    const auto firstCities = serverRegions(provinces[0].id);

    const auto asked = requestsTo(dv::app::kSubDistrictPath);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].field("parentId"), "0");
    EXPECT_EQ(asked[1].field("parentId"), provinces[0].id);

    EXPECT_FALSE(panelShows());
    EXPECT_EQ(regionText(), "请选择");
    ASSERT_TRUE(tapRegionRow());
    EXPECT_TRUE(panelShows());
    EXPECT_EQ(picker()->numberOfRowsInComponent(0), static_cast<NSInteger>(provinces.size()));
    EXPECT_EQ(picker()->numberOfRowsInComponent(1), static_cast<NSInteger>(firstCities.size()));
    // Two wheels of half the screen each, names on bold centred labels.
    EXPECT_EQ(picker()->rowSizeForComponent(0).width, 375 * 0.5);
    EXPECT_EQ(picker()->rowSizeForComponent(1).width, 375 * 0.5);
    EXPECT_EQ(selectedTitle(0), provinces[0].name);
    EXPECT_EQ(selectedTitle(1), firstCities[0].name);
    auto row = dv::as<UILabel>(picker()->viewForRow(0, 0));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->textAlignment(), NSTextAlignmentCenter);
    EXPECT_TRUE(row->adjustsFontSizeToFitWidth());
    EXPECT_EQ(row->minimumFontSize(), 8);

    // "完成" untouched: the first province directly followed by its first city.
    ASSERT_TRUE(tapPanelButton("完成"));
    EXPECT_FALSE(panelShows());
    EXPECT_EQ(regionText(), provinces[0].name + firstCities[0].name);
    EXPECT_EQ(areaId(), firstCities[0].id);
    EXPECT_FALSE(anyToast());
}

TEST_F(RegionPickerTest, SpinningTheWheelsChoosesAProvinceAndOneOfItsCities)
{
    for (const auto& form : { kGroupForm, kPersonalForm, kPublicForm }) {
        SCOPED_TRACE(form.className);
        ASSERT_TRUE(openForm(form));
        EXPECT_TRUE(chooseRegion("广东省", "广州市"));
        EXPECT_EQ(regionText(), "广东省广州市");
        EXPECT_EQ(areaId(), "440100");
        const auto cities = serverRegions("440000");
        EXPECT_TRUE(wheelShows(1, cities));

        ASSERT_TRUE(chooseRegion("四川省", "成都市"));
        EXPECT_EQ(regionText(), "四川省成都市");
        EXPECT_EQ(areaId(), "510100");
        EXPECT_EQ(requestsTo(dv::app::kSubDistrictPath).back().field("parentId"), "510000");
        ASSERT_TRUE(goBack());
        ASSERT_TRUE(goBack());
        clearRequests();
    }
}

TEST_F(RegionPickerTest, TheRegionRowOpensAndClosesThePanelAndCancelKeepsTheConfirmedRegion)
{
    ASSERT_TRUE(openForm(kPublicForm));
    ASSERT_TRUE(tapRegionRow());
    EXPECT_TRUE(panelShows());
    ASSERT_TRUE(tapRegionRow());
    EXPECT_FALSE(panelShows());

    ASSERT_TRUE(chooseRegion("浙江省", "杭州市"));
    EXPECT_EQ(regionText(), "浙江省杭州市");

    // Turned, then cancelled: label and area stay.
    ASSERT_TRUE(tapRegionRow());
    const auto provinces = serverRegions("0");
    ASSERT_TRUE(spinProvince(rowOf(provinces, "江苏省")));
    ASSERT_TRUE(spinCity(3));
    const std::string turnedTo = selectedTitle(1);
    ASSERT_TRUE(tapPanelButton("取消"));
    EXPECT_FALSE(panelShows());
    EXPECT_EQ(regionText(), "浙江省杭州市");
    EXPECT_EQ(areaId(), "330100");

    // Opened again, "完成" confirms the rows the wheels were left on.
    ASSERT_TRUE(tapRegionRow());
    ASSERT_TRUE(tapPanelButton("完成"));
    EXPECT_EQ(regionText(), "江苏省" + turnedTo);
    const auto cities = serverRegions("320000");
    EXPECT_EQ(areaId(), cities[3].id);
}

TEST_F(RegionPickerTest, AnotherProvinceClearsTheCityUntilItsOwnCitiesArrive)
{
    ASSERT_TRUE(openForm(kGroupForm));
    ASSERT_TRUE(chooseRegion("广东省", "深圳市"));
    const auto provinces = serverRegions("0");

    // The next city request is held at the server for a while.
    m_server->setFault(dv::app::kSubDistrictPath, [] {
        auto f = Fault::delay(1);
        f.times = 1;
        return f;
    }());
    ASSERT_TRUE(tapRegionRow());
    const auto before = callsMade();
    ASSERT_TRUE(m_ui.spinPicker(picker(), 0, rowOf(provinces, "湖南省")));
    // No city of Guangdong may be confirmed with Hunan: the city wheel is empty meanwhile.
    EXPECT_EQ(picker()->numberOfRowsInComponent(1), 0);
    EXPECT_EQ(picker()->selectedRowInComponent(1), -1);
    ASSERT_TRUE(tapPanelButton("完成"));
    EXPECT_EQ(regionText(), "广东省深圳市");
    EXPECT_EQ(areaId(), "440300");

    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() > before; }));
    m_ui.runUntilIdle();
    EXPECT_TRUE(wheelShows(1, serverRegions("430000")));
    ASSERT_TRUE(tapRegionRow());
    ASSERT_TRUE(tapPanelButton("完成"));
    EXPECT_EQ(regionText(), "湖南省长沙市");
    EXPECT_EQ(areaId(), "430100");
}

TEST_F(RegionPickerTest, ALateReplyForAnEarlierProvinceIsDropped)
{
    ASSERT_TRUE(openForm(kPersonalForm));
    const auto provinces = serverRegions("0");
    const auto shanxi = serverRegions("140000");
    ASSERT_TRUE(tapRegionRow());

    // Hebei's cities come late; Shanxi's, asked for after them, come at once. (The test asks the
    // server nothing itself meanwhile: its question could take the delay.)
    m_server->setFault(dv::app::kSubDistrictPath, [] {
        auto f = Fault::delay(1.5);
        f.times = 1;
        return f;
    }());
    const auto before = callsMade();
    ASSERT_TRUE(m_ui.spinPicker(picker(), 0, rowOf(provinces, "河北省")));
    // Held at the server before the next question leaves.
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_server->faults().list().empty(); }));
    ASSERT_TRUE(m_ui.spinPicker(picker(), 0, rowOf(provinces, "山西省")));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return wheelShows(1, shanxi); }));
    // Both replies in (Hebei's among them), and Shanxi's cities still shown.
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return callsMade() >= before + 2; }));
    m_ui.runUntilIdle();
    EXPECT_TRUE(wheelShows(1, shanxi));
    const auto asked = requestsTo(dv::app::kSubDistrictPath);
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked.back().field("parentId"), "130000"); // the held reply ended last

    ASSERT_TRUE(tapPanelButton("完成"));
    EXPECT_EQ(regionText(), "山西省太原市");
    EXPECT_EQ(areaId(), "140100");
}

TEST_F(RegionPickerTest, AProvinceWithoutCitiesConfirmsNothing)
{
    ASSERT_TRUE(openForm(kGroupForm));
    ASSERT_TRUE(chooseRegion("北京市", "北京市"));
    const auto provinces = serverRegions("0");
    ASSERT_TRUE(tapRegionRow());
    ASSERT_TRUE(spinProvince(rowOf(provinces, "香港特别行政区")));
    EXPECT_EQ(picker()->numberOfRowsInComponent(1), 0);
    ASSERT_TRUE(tapPanelButton("完成"));
    EXPECT_FALSE(panelShows());
    EXPECT_EQ(regionText(), "北京市北京市");
    EXPECT_EQ(areaId(), "110100");
}

TEST_F(RegionPickerTest, RefusedOrFailedProvinceListsLeaveTheWheelsEmptyWithoutAToast)
{
    const Fault faults[] = { Fault::refusal(0, "地区服务维护中"), Fault::httpError(500), Fault::of(FaultKind::JsonArray),
        Fault::of(FaultKind::MalformedJson), Fault::of(FaultKind::CutConnection) };
    for (const auto& fault : faults) {
        SCOPED_TRACE(dv::devserver::formatFault(fault));
        m_server->setFault(dv::app::kSubDistrictPath, fault);
        ASSERT_TRUE(openForm(kGroupForm, false));
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !requestsTo(dv::app::kSubDistrictPath).empty(); }));
        m_ui.advance(0.3);
        // No city request follows a province list that did not come.
        EXPECT_EQ(requestsTo(dv::app::kSubDistrictPath).size(), 1u);
        EXPECT_FALSE(anyToast());
        ASSERT_TRUE(tapRegionRow());
        EXPECT_TRUE(panelShows());
        EXPECT_EQ(picker()->numberOfRowsInComponent(0), 0);
        EXPECT_EQ(picker()->numberOfRowsInComponent(1), 0);
        ASSERT_TRUE(tapPanelButton("完成"));
        EXPECT_EQ(regionText(), "请选择");
        EXPECT_FALSE(m_form->areaId());
        // With no region there is nothing to upload.
        ASSERT_TRUE(typeInto(m_form->titField(), "标题"));
        EXPECT_EQ(uploadToast(), "请选择省市");
        m_server->clearFaults();
        clearToasts();
        ASSERT_TRUE(goBack());
        ASSERT_TRUE(goBack());
        clearRequests();
    }
}

TEST_F(RegionPickerTest, ATimedOutProvinceListShowsOnlyTheServerClientsMessage)
{
    dv::app::setServerRequestTimeout(0.5);
    m_server->setFault(dv::app::kSubDistrictPath, Fault::delay(3));
    ASSERT_TRUE(openForm(kPersonalForm, false));
    ASSERT_TRUE(waitForOverlay("当前网络不稳定 请稍后重试"));
    EXPECT_TRUE(PHProgressHUD::HUDForView(m_window));
    EXPECT_FALSE(PHProgressHUD::HUDForView(m_form->view()));
    EXPECT_EQ(picker()->numberOfRowsInComponent(0), 0);
    m_server->clearFaults();
}

TEST_F(RegionPickerTest, RecordsOfTheWrongShapeAreSkippedAndNothingBreaks)
{
    // Every field of the wrong type, and a string, a number, a null and an array among the records.
    m_server->setFault(dv::app::kSubDistrictPath, Fault::of(FaultKind::WrongTypes));
    ASSERT_TRUE(openForm(kGroupForm, false));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !requestsTo(dv::app::kSubDistrictPath).empty(); }));
    m_ui.advance(0.3);
    m_server->clearFaults();
    // One row per record; the entries that are not records give none.
    EXPECT_EQ(picker()->numberOfRowsInComponent(0), static_cast<NSInteger>(serverRegions("0").size()));
    EXPECT_LE(requestsTo(dv::app::kSubDistrictPath).size(), 2u);
    ASSERT_TRUE(tapRegionRow());
    ASSERT_TRUE(tapPanelButton("完成"));
    // Records without a usable id confirm nothing: the label and the area agree on it.
    EXPECT_EQ(regionText(), "请选择");
    EXPECT_FALSE(m_form->areaId());
    EXPECT_FALSE(anyToast());
}

} // namespace
