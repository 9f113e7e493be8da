#include "app/directory/prospects/VQAddFansViewController.h"

#include "app/directory/internal/ProspectSearchParts.h"
#include "app/directory/internal/ScreenSupport.h"
#include "app/directory/prospects/VQAddFansSecondVC.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

using dv::internal::directory::addRegionRow;
using dv::internal::directory::addSearchButton;
using dv::internal::directory::searchPanelLayout;
using dv::app::pageBackgroundColor;

DV_DEFINE_CLASS_WITH(VQAddFansViewController, b)
{
    b.method("changeLoact:", "v24@0:8@16", [](VQAddFansViewController& screen, std::span<const id> args) -> id {
        screen.changeLoact(args.empty() ? nil : dv::as<UITapGestureRecognizer>(args[0]));
        return nil;
    });
    b.method("searchAct:", "v24@0:8@16", [](VQAddFansViewController& screen, std::span<const id> args) -> id {
        screen.searchAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

VQAddFansViewController::~VQAddFansViewController() = default;

void VQAddFansViewController::viewDidLoad()
{
    RegionPickerController::viewDidLoad();
    dv::app::layOutBelowBars(*this);
    view()->setBackgroundColor(pageBackgroundColor());
    createUI();
    requestCityData("0"_ns);
}

void VQAddFansViewController::createUI()
{
    m_locatLabel = addRegionRow(view(), self(), "changeLoact:");
    addSearchButton(view(), self(), "searchAct:");
    createPickerPanel(searchPanelLayout(230));
}

void VQAddFansViewController::changeLoact(const Ref<UITapGestureRecognizer>&)
{
    if (auto panel = picView())
        panel->setHidden(false);
}

void VQAddFansViewController::regionConfirmed() { m_confirmedCityId = cityId(); }

void VQAddFansViewController::searchAct(const Ref<UIButton>&)
{
    if (!m_confirmedCityId) {
        PHProgressHUD::showError("请先选择地区"_ns, view());
        return;
    }
    auto list = alloc<VQAddFansSecondVC>();
    list->init();
    list->setCityId(m_confirmedCityId);
    if (auto navigation = navigationController())
        navigation->pushViewController(list, true);
}
