// VQAddPublicViewController: the list of the directory's QR codes of public accounts (sent as type "11"), with its
// batch remembered under "PublicPage"; a tapped row opens VQPublicDetailViewController, the floating button
// VQPublicAddCodeViewController. See QRCodeListController.h.
#pragma once

#include "app/directory/lists/QRCodeListController.h"

class VQAddPublicViewController : public dv::app::QRCodeListController {
    DV_CLASS(VQAddPublicViewController, dv::app::QRCodeListController)

    VQAddPublicViewController() = default;

    // The floating button's action: opens the upload form of public accounts.
    void shangchuanPublicAct(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
};
