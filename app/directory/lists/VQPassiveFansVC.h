// VQPassiveFansVC: the list of the directory's QR codes of personal accounts (sent as type "2"), with its
// batch remembered under "FansPage"; a tapped row opens VQFunsDetailViewController, the floating button
// VQUploadQRCodeVC. See QRCodeListController.h.
#pragma once

#include "app/directory/lists/QRCodeListController.h"

class VQPassiveFansVC : public dv::app::QRCodeListController {
    DV_CLASS(VQPassiveFansVC, dv::app::QRCodeListController)

    VQPassiveFansVC() = default;

    // The floating button's action: opens the upload form of personal accounts.
    void shangchuanFansAct(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
};
