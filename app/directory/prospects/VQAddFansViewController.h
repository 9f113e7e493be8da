// VQAddFansViewController: the search by region. The user picks a province and one of its cities
// on the two-wheel picker at the bottom (opened by a tap on the region row) and confirms with
// "完成"; "搜索" then opens the phone list of that city (VQAddFansSecondVC). The home screen opens
// it and gives it its title. The search uses the region the label shows, the one last confirmed,
// not whatever the wheels show since. Main thread.
#pragma once

#include "app/directory/region/RegionPickerController.h"

class UITapGestureRecognizer;

class VQAddFansViewController : public dv::app::RegionPickerController {
    DV_CLASS(VQAddFansViewController, dv::app::RegionPickerController)

    VQAddFansViewController() = default;
    ~VQAddFansViewController() override;

    void viewDidLoad() override;
    // The region row, the search button and the picker panel.
    void createUI();
    // A tap on the region row: shows the panel.
    void changeLoact(const Ref<UITapGestureRecognizer>& tap);
    // "搜索": the phone list of the confirmed city, or "请先选择地区".
    void searchAct(const Ref<UIButton>& sender);

    Ref<UILabel> locatLabel() const { return m_locatLabel; }

protected:
    dv::app::RegionWheels regionWheels() const override { return dv::app::RegionWheels::ProvinceAndCity; }
    Ref<UILabel> regionLabel() const override { return m_locatLabel; }
    void regionConfirmed() override;

private:
    Ref<UILabel> m_locatLabel;
    Ref<NSString> m_confirmedCityId; // the city the label names
};
