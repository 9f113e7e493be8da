// VQAddFansSecondVC: the prospect phone list of one city ("加粉"), from data/listPhone.do, its batch
// remembered under "addFans" as "cityId-page". Opened by the search by region with the chosen
// city's id. See ProspectListController.h.
#pragma once

#include "app/directory/prospects/ProspectListController.h"

class VQAddFansSecondVC : public dv::app::ProspectListController {
    DV_CLASS(VQAddFansSecondVC, dv::app::ProspectListController)

    VQAddFansSecondVC() = default;

    // The city whose prospects are listed.
    Ref<NSString> cityId() const { return m_cityId; }
    void setCityId(const Ref<NSString>& value);

    // The next-batch button's action.
    void changeSection(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
    Ref<NSString> listKey() const override;
    dv::app::ServerRequest listRequest(NSInteger page) const override;

private:
    Ref<NSString> m_cityId;
};
