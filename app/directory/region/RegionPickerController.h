// What every screen that lets the user choose a region shares: the upload forms (a province and one
// of its cities) and the prospect search screens (a province and city, or a province alone). The
// screen derives from this class and so is the picker's data source and delegate; it owns a
// hidden panel at the bottom holding the picker and the buttons "取消" and "完成", the lists of
// the server's region tree (district/listSubDistrict.do), and the current choice, which always
// follows the rows the wheels show selected. "完成" writes the choice into the screen's region
// label and tells the screen; "取消" only hides the panel.
//
// A screen says how many wheels it has and which label shows the choice, builds the panel where
// it wants it with createPickerPanel, asks for the provinces once with requestCityData("0") and
// shows the panel (picView) when the user taps its region row:
//
//   class Search : public dv::app::RegionPickerController {
//       RegionWheels regionWheels() const override { return RegionWheels::ProvinceAndCity; }
//       Ref<UILabel> regionLabel() const override { return m_locatLabel; }
//       void regionConfirmed() override { /* cityId() names the region the label shows */ }
//   };
//   createPickerPanel({ .panel = CGRectMake(0, H - 285, W, 230), .picker = CGRectMake(0, 0, W, 180),
//       .cancelButton = CGRectMake(0, 180, W / 2, 40), .doneButton = CGRectMake(W / 2, 180, W / 2, 40) });
//   requestCityData("0"_ns);
//
// With two wheels, choosing another province clears the current city and empties the city wheel
// until that province's cities arrive; a reply for a province that is no longer the chosen one is
// dropped, so the label and the confirmed ids always name one province and one of its own
// cities. While a wheel is empty there is no choice on it and "完成" only hides the panel.
//
// The region requests show no overlay and no toast of their own (the server client still shows
// its network message); a refusal or a failure leaves the wheels as they were. Their blocks keep
// the screen alive until they have run. Main thread only.
#pragma once

#include "platform/ui/UIPickerView.h"
#include "platform/ui/UIViewController.h"

class NSMutableArray;
class ServerReply;
class UIButton;
class UILabel;
class VQCityModel;

namespace dv::app {

// Provinces alone on one wheel as wide as the screen, or provinces and the cities of the chosen
// one on two wheels of half the width each.
enum class RegionWheels { Province, ProvinceAndCity };

// Where the panel's parts go, in the screen's view (panel) and in the panel (the others).
struct PickerPanelLayout {
    CGRect panel;
    CGRect picker;
    CGRect cancelButton;
    CGRect doneButton;
};

class RegionPickerController : public UIViewController, public UIPickerViewDataSource, public UIPickerViewDelegate {
    DV_CLASS(RegionPickerController, UIViewController)

    RegionPickerController() = default;
    ~RegionPickerController() override;

    // Asks for the regions under `parentId` ("0": the provinces) and fills the province wheel;
    // with two wheels the cities of the province then chosen follow.
    void requestCityData(const Ref<NSString>& parentId);
    // Asks for the cities of one province (two wheels only); the reply is used only while that
    // province is still the chosen one.
    void loadCityData(const Ref<NSString>& provinceId);
    // The panel's buttons.
    void cancelAction(const Ref<UIButton>& sender);
    void compliteAction(const Ref<UIButton>& sender);

    // The panel, hidden at first, added to the view above what is there; the buttons with the
    // body text colour and the system font of 15; the picker white, its selection lines shown.
    void createPickerPanel(const PickerPanelLayout& layout);

    // Data source and delegate of the picker.
    NSInteger numberOfComponentsInPickerView(const Ref<UIPickerView>& pickerView) override;
    NSInteger pickerViewNumberOfRowsInComponent(const Ref<UIPickerView>& pickerView, NSInteger component) override;
    std::optional<CGFloat> pickerViewWidthForComponent(const Ref<UIPickerView>& pickerView, NSInteger component) override;
    Ref<NSString> pickerViewTitleForRowForComponent(const Ref<UIPickerView>& pickerView, NSInteger row, NSInteger component) override;
    Ref<UIView> pickerViewViewForRowForComponentReusingView(
        const Ref<UIPickerView>& pickerView, NSInteger row, NSInteger component, const Ref<UIView>& view) override;
    bool pickerViewDidSelectRowInComponent(const Ref<UIPickerView>& pickerView, NSInteger row, NSInteger component) override;

    // The lists (nil until their first successful reply) and the current choice: names and ids
    // as texts, nil while there is none.
    Ref<NSMutableArray> provinceDataArr() const { return m_provinceDataArr; }
    Ref<NSMutableArray> cityDataArr() const { return m_cityDataArr; }
    Ref<NSString> provinceStr() const { return m_provinceStr; }
    Ref<NSString> provinceId() const { return m_provinceId; }
    Ref<NSString> cityStr() const { return m_cityStr; }
    Ref<NSString> cityId() const { return m_cityId; }
    Ref<UIView> picView() const { return m_picView; }
    Ref<UIPickerView> pickerView() const { return m_pickerView; }

protected:
    virtual RegionWheels regionWheels() const = 0;
    // The label that shows the confirmed region; nil while the screen has not built it.
    virtual Ref<UILabel> regionLabel() const = 0;
    // After "完成" has written a whole choice into the label.
    virtual void regionConfirmed() { }

private:
    void handleProvinceReply(const id& json);
    void handleCityReply(const Ref<NSString>& provinceId, const id& json);
    // The list made if absent, filled with the reply's regions in order, and the wheels reloaded.
    void refill(Ref<NSMutableArray>& list, const ServerReply& reply);
    // The current province or city becomes the row the wheel shows selected (none on an empty wheel).
    void takeSelectedProvince();
    void takeSelectedCity();
    void forgetCities();
    bool hasCities() const { return regionWheels() == RegionWheels::ProvinceAndCity; }

    Ref<NSMutableArray> m_provinceDataArr;
    Ref<NSMutableArray> m_cityDataArr;
    Ref<NSString> m_provinceStr;
    Ref<NSString> m_provinceId;
    Ref<NSString> m_cityStr;
    Ref<NSString> m_cityId;
    Ref<UIView> m_picView;
    Ref<UIPickerView> m_pickerView;
};

} // namespace dv::app
