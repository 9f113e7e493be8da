#include "app/directory/prospects/VQExactCustomerVC.h"

#include "app/directory/internal/ProspectSearchParts.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/directory/prospects/VQExactCusSecondVC.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "platform/ui/UITextField.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

using namespace dv::internal::directory;

DV_DEFINE_CLASS_WITH(VQExactCustomerVC, b)
{
    b.method("changeLoact:", "v24@0:8@16", [](VQExactCustomerVC& screen, std::span<const id> args) -> id {
        screen.changeLoact(args.empty() ? nil : dv::as<UITapGestureRecognizer>(args[0]));
        return nil;
    });
    b.method("searchActi:", "v24@0:8@16", [](VQExactCustomerVC& screen, std::span<const id> args) -> id {
        screen.searchActi(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

namespace {

constexpr NSUInteger kPrefixLength = 7;

} // namespace

VQExactCustomerVC::~VQExactCustomerVC() = default;

void VQExactCustomerVC::viewDidLoad()
{
    RegionPickerController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    // The provinces are asked for before the views exist; their reply comes after.
    requestCityData("0"_ns);
    view()->setBackgroundColor(pageBackgroundColor());
    createUI();
}

void VQExactCustomerVC::createUI()
{
    const CGFloat width = screenWidth();
    m_locatLabel = addRegionRow(view(), self(), "changeLoact:");

    auto row = alloc<UIView>()->initWithFrame(CGRectMake(0, 120, width, 80));
    row->setBackgroundColor(UIColor::whiteColor());
    view()->addSubview(row);
    auto sign = alloc<UIImageView>()->initWithFrame(CGRectMake(5, 30, 20, 20));
    sign->setImage(UIImage::imageNamed("shouji"_ns));
    row->addSubview(sign);
    auto name = alloc<UILabel>()->initWithFrame(CGRectMake(30, 25, 60, 30));
    name->setText("手机号"_ns);
    name->setTextColor(bodyTextColor());
    name->setFont(systemFont(17));
    row->addSubview(name);
    m_phoneField = alloc<UITextField>()->initWithFrame(CGRectMake(100, 25, width - 110, 30));
    m_phoneField->setTextColor(rgb(155, 155, 155));
    m_phoneField->setFont(systemFont(17));
    m_phoneField->setPlaceholder("请输入手机号前七位"_ns);
    m_phoneField->setKeyboardType(UIKeyboardTypeNumberPad);
    row->addSubview(m_phoneField);

    addSearchButton(view(), self(), "searchActi:");
    createPickerPanel(searchPanelLayout(220));
}

void VQExactCustomerVC::changeLoact(const Ref<UITapGestureRecognizer>&)
{
    if (auto panel = picView())
        panel->setHidden(!panel->isHidden());
}

bool VQExactCustomerVC::pickerViewDidSelectRowInComponent(const Ref<UIPickerView>& pickerView, NSInteger row, NSInteger component)
{
    RegionPickerController::pickerViewDidSelectRowInComponent(pickerView, row, component);
    // The label has followed the wheel: the search goes with what it shows.
    if (provinceStr())
        m_confirmedProvinceId = provinceId();
    return true;
}

void VQExactCustomerVC::regionConfirmed() { m_confirmedProvinceId = provinceId(); }

void VQExactCustomerVC::searchActi(const Ref<UIButton>&)
{
    if (!m_confirmedProvinceId) {
        PHProgressHUD::showError("请先选择地区"_ns, view());
        return;
    }
    auto prefix = m_phoneField->text();
    if (!prefix || prefix->length() != kPrefixLength) {
        PHProgressHUD::showError("请输入手机号前七位"_ns, view());
        return;
    }
    auto list = alloc<VQExactCusSecondVC>();
    list->init();
    list->setCityId(m_confirmedProvinceId);
    list->setPhone(prefix);
    if (auto navigation = navigationController())
        navigation->pushViewController(list, true);
}
