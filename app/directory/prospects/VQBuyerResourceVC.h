// VQBuyerResourceVC: the prospects of one industry category ("客源信息"), company and number, from
// data/listIndustry.do, its batch remembered under "hangyekeyuan" as "categoryId-page". It always
// opens on the first batch; the remembered one counts from the first next-batch press. Opened by
// the category grid. See ProspectListController.h.
#pragma once

#include "app/directory/prospects/ProspectListController.h"

class VQBuyerResourceVC : public dv::app::ProspectListController {
    DV_CLASS(VQBuyerResourceVC, dv::app::ProspectListController)

    VQBuyerResourceVC() = default;

    // The category whose prospects are listed.
    Ref<NSString> categoryId() const { return m_categoryId; }
    void setCategoryId(const Ref<NSString>& value);

    // The next-batch button's action.
    void changeSection(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
    Ref<NSString> listKey() const override;
    dv::app::ServerRequest listRequest(NSInteger page) const override;

private:
    Ref<NSString> m_categoryId;
};
