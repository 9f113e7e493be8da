// VQExactCustomerVC: the search by province and number prefix. The user picks a province on the
// one-wheel picker at the bottom (a tap on the region row shows or hides it; the label follows the
// wheel at once) and types the first seven characters of the numbers; "搜索" then opens the phone
// list of that province and prefix (VQExactCusSecondVC). The home screen opens it and gives it its
// title. The search uses the province the label shows. Main thread.
#pragma once

#include "app/directory/region/RegionPickerController.h"

class UITapGestureRecognizer;
class UITextField;

class VQExactCustomerVC : public dv::app::RegionPickerController {
    DV_CLASS(VQExactCustomerVC, dv::app::RegionPickerController)

    VQExactCustomerVC() = default;
    ~VQExactCustomerVC() override;

    void viewDidLoad() override;
    // The region row, the prefix row, the search button and the picker panel.
    void createUI();
    // A tap on the region row: shows the panel, or hides it when it shows.
    void changeLoact(const Ref<UITapGestureRecognizer>& tap);
    // "搜索": the phone list of the province and prefix, or the toast saying what is missing.
    void searchActi(const Ref<UIButton>& sender);

    Ref<UILabel> locatLabel() const { return m_locatLabel; }
    Ref<UITextField> phoneField() const { return m_phoneField; }

    bool pickerViewDidSelectRowInComponent(const Ref<UIPickerView>& pickerView, NSInteger row, NSInteger component) override;

protected:
    dv::app::RegionWheels regionWheels() const override { return dv::app::RegionWheels::Province; }
    Ref<UILabel> regionLabel() const override { return m_locatLabel; }
    void regionConfirmed() override;

private:
    Ref<UILabel> m_locatLabel;
    Ref<UITextField> m_phoneField;
    Ref<NSString> m_confirmedProvinceId; // the province the label names
};
