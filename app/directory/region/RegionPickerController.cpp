#include "app/directory/region/RegionPickerController.h"

#include "app/directory/internal/ScreenSupport.h"
#include "app/shell/models/VQCityModel.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ZHHttpTool.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"

using dv::internal::directory::screenWidth;
using dv::internal::directory::systemFont;
using dv::internal::directory::textOrEmpty;

namespace dv::app {

namespace {

constexpr NSInteger kProvinceWheel = 0;
constexpr NSInteger kCityWheel = 1;

// The region in `list` at `row`; nil for a row the list does not have (an empty wheel answers -1).
Ref<VQCityModel> regionAt(const Ref<NSMutableArray>& list, NSInteger row)
{
    if (!list || row < 0 || static_cast<NSUInteger>(row) >= list->count())
        return nil;
    return dv::as<VQCityModel>(list->objectAtIndex(static_cast<NSUInteger>(row)));
}

// A region that can be chosen: one with an id to ask for its cities and to confirm. A record the
// server gave without one still shows on its wheel, but choosing it chooses nothing.
Ref<VQCityModel> choosableRegionAt(const Ref<NSMutableArray>& list, NSInteger row)
{
    auto region = regionAt(list, row);
    return region && region->id() && region->id()->length() > 0 ? region : nil;
}

// A record's name or id as the label and the requests take it; a name the server left out gives
// the empty text rather than "(null)".
Ref<NSString> regionText(const Ref<NSString>& value) { return NSString::stringWithFormat("%@", textOrEmpty(value)); }

Ref<UIButton> panelButton(CGRect frame, const Ref<NSString>& title, const id& target, SEL action)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(bodyTextColor(), UIControlStateNormal);
    button->titleLabel()->setFont(systemFont(15));
    button->addTarget(target, action, UIControlEventTouchUpInside);
    return button;
}

} // namespace

RegionPickerController::~RegionPickerController() = default;

void RegionPickerController::createPickerPanel(const PickerPanelLayout& layout)
{
    m_picView = alloc<UIView>()->initWithFrame(layout.panel);
    m_picView->setBackgroundColor(rgb(239, 239, 244));
    m_picView->setHidden(true);
    m_picView->addSubview(panelButton(layout.cancelButton, "取消"_ns, self(), "cancelAction:"));
    m_picView->addSubview(panelButton(layout.doneButton, "完成"_ns, self(), "compliteAction:"));
    m_pickerView = alloc<UIPickerView>()->initWithFrame(layout.picker);
    m_pickerView->setBackgroundColor(UIColor::whiteColor());
    m_pickerView->setShowsSelectionIndicator(true);
    m_pickerView->setDataSource(self<RegionPickerController>());
    m_pickerView->setDelegate(self<RegionPickerController>());
    m_picView->addSubview(m_pickerView);
    view()->addSubview(m_picView);
}

void RegionPickerController::requestCityData(const Ref<NSString>& parentId)
{
    auto request = subDistrictRequest(textOrEmpty(parentId));
    // Kept alive by the blocks until the reply has been handled, on purpose.
    auto screen = self<RegionPickerController>();
    ZHHttpTool::postWithURL(
        request.URL, request.fields, [screen](const id& json) { screen->handleProvinceReply(json); },
        [](const Ref<NSError>& error) { NSLog("error=====%@", error); });
}

void RegionPickerController::handleProvinceReply(const id& json)
{
    auto reply = ServerReply::fromObject(json);
    if (!reply || !reply->succeeded())
        return;
    refill(m_provinceDataArr, *reply);
    takeSelectedProvince();
    if (!hasCities())
        return;
    forgetCities();
    if (m_provinceId)
        loadCityData(m_provinceId);
}

void RegionPickerController::loadCityData(const Ref<NSString>& provinceId)
{
    auto request = subDistrictRequest(textOrEmpty(provinceId));
    auto screen = self<RegionPickerController>();
    auto askedFor = dv::copyAs<NSString>(textOrEmpty(provinceId));
    ZHHttpTool::postWithURL(
        request.URL, request.fields, [screen, askedFor](const id& json) { screen->handleCityReply(askedFor, json); },
        [](const Ref<NSError>& error) { NSLog("error=====%@", error); });
}

void RegionPickerController::handleCityReply(const Ref<NSString>& provinceId, const id& json)
{
    // The cities of a province the user has since turned away from would be shown under the new
    // one and confirmed with it: only the reply for the chosen province counts.
    if (!m_provinceId || !m_provinceId->isEqualToString(provinceId))
        return;
    auto reply = ServerReply::fromObject(json);
    if (!reply || !reply->succeeded())
        return;
    refill(m_cityDataArr, *reply);
    takeSelectedCity();
}

void RegionPickerController::refill(Ref<NSMutableArray>& list, const ServerReply& reply)
{
    if (!list)
        list = NSMutableArray::array();
    list->removeAllObjects();
    // Entries that are not records give no region and are left out.
    list->addObjectsFromArray(replyModels<VQCityModel>(reply.infoArray()));
    if (m_pickerView)
        m_pickerView->reloadAllComponents();
}

void RegionPickerController::takeSelectedProvince()
{
    auto province = m_pickerView ? choosableRegionAt(m_provinceDataArr, m_pickerView->selectedRowInComponent(kProvinceWheel)) : nil;
    m_provinceStr = province ? regionText(province->name()) : nil;
    m_provinceId = province ? regionText(province->id()) : nil;
}

void RegionPickerController::takeSelectedCity()
{
    auto city = m_pickerView ? choosableRegionAt(m_cityDataArr, m_pickerView->selectedRowInComponent(kCityWheel)) : nil;
    m_cityStr = city ? regionText(city->name()) : nil;
    m_cityId = city ? regionText(city->id()) : nil;
}

void RegionPickerController::forgetCities()
{
    m_cityStr = nil;
    m_cityId = nil;
    if (m_cityDataArr)
        m_cityDataArr->removeAllObjects();
    if (m_pickerView)
        m_pickerView->reloadComponent(kCityWheel);
}

void RegionPickerController::cancelAction(const Ref<UIButton>&)
{
    if (m_picView)
        m_picView->setHidden(true);
}

void RegionPickerController::compliteAction(const Ref<UIButton>&)
{
    if (m_picView)
        m_picView->setHidden(true);
    // Without a choice on every wheel (lists not arrived, a province without cities) the label
    // keeps what it showed: it and what the screen keeps must name the same region.
    if (!m_provinceStr || (hasCities() && !m_cityStr))
        return;
    auto text
        = hasCities() ? NSString::stringWithFormat("%@%@", m_provinceStr, m_cityStr) : NSString::stringWithFormat("%@", m_provinceStr);
    if (auto label = regionLabel())
        label->setText(text);
    regionConfirmed();
}

NSInteger RegionPickerController::numberOfComponentsInPickerView(const Ref<UIPickerView>&) { return hasCities() ? 2 : 1; }

NSInteger RegionPickerController::pickerViewNumberOfRowsInComponent(const Ref<UIPickerView>&, NSInteger component)
{
    const auto& list = component == kProvinceWheel ? m_provinceDataArr : component == kCityWheel && hasCities() ? m_cityDataArr : nil;
    return list ? static_cast<NSInteger>(list->count()) : 0;
}

std::optional<CGFloat> RegionPickerController::pickerViewWidthForComponent(const Ref<UIPickerView>&, NSInteger)
{
    return hasCities() ? screenWidth() * 0.5 : screenWidth();
}

Ref<NSString> RegionPickerController::pickerViewTitleForRowForComponent(const Ref<UIPickerView>&, NSInteger row, NSInteger component)
{
    auto region = component == kProvinceWheel    ? regionAt(m_provinceDataArr, row)
        : component == kCityWheel && hasCities() ? regionAt(m_cityDataArr, row)
                                                 : nil;
    return region ? region->name() : nil;
}

Ref<UIView> RegionPickerController::pickerViewViewForRowForComponentReusingView(
    const Ref<UIPickerView>& pickerView, NSInteger row, NSInteger component, const Ref<UIView>& view)
{
    auto label = dv::as<UILabel>(view);
    if (!label) {
        label = alloc<UILabel>()->init();
        label->setMinimumFontSize(8);
        label->setAdjustsFontSizeToFitWidth(true);
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setBackgroundColor(UIColor::clearColor());
        label->setFont(UIFont::boldSystemFontOfSize(14));
    }
    label->setText(pickerViewTitleForRowForComponent(pickerView, row, component));
    return label;
}

bool RegionPickerController::pickerViewDidSelectRowInComponent(const Ref<UIPickerView>&, NSInteger, NSInteger component)
{
    if (component == kProvinceWheel) {
        takeSelectedProvince();
        if (hasCities()) {
            forgetCities();
            if (m_provinceId)
                loadCityData(m_provinceId);
        } else if (auto label = regionLabel(); label && m_provinceStr) {
            // One wheel: the label follows the wheel at once.
            label->setText(NSString::stringWithFormat("%@", m_provinceStr));
        }
    } else if (component == kCityWheel && hasCities()) {
        takeSelectedCity();
    }
    return true;
}

DV_DEFINE_CLASS_WITH(RegionPickerController, b)
{
    b.method("cancelAction:", "v24@0:8@16", [](RegionPickerController& screen, std::span<const id> args) -> id {
        screen.cancelAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("compliteAction:", "v24@0:8@16", [](RegionPickerController& screen, std::span<const id> args) -> id {
        screen.compliteAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

} // namespace dv::app
