// VQExactCusSecondVC: the prospect phone list of one province and number prefix ("精准客户"), from
// data/listAccuratePhone.do, its batch remembered under "addFansCur" as "provinceId-prefix-page"
// (one entry per province, with the prefix used last). Opened by the search by number prefix with
// the province's id as cityId and the seven-character prefix as phone. See ProspectListController.h.
#pragma once

#include "app/directory/prospects/ProspectListController.h"

class VQExactCusSecondVC : public dv::app::ProspectListController {
    DV_CLASS(VQExactCusSecondVC, dv::app::ProspectListController)

    VQExactCusSecondVC() = default;

    // The province whose prospects are listed.
    Ref<NSString> cityId() const { return m_cityId; }
    void setCityId(const Ref<NSString>& value);
    // The number prefix.
    Ref<NSString> phone() const { return m_phone; }
    void setPhone(const Ref<NSString>& value);

    // The next-batch button's action.
    void changeSectionA(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
    Ref<NSString> listKey() const override;
    Ref<NSString> numberPrefix() const override;
    dv::app::ServerRequest listRequest(NSInteger page) const override;

private:
    Ref<NSString> m_cityId;
    Ref<NSString> m_phone;
};
