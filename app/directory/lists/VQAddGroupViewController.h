// VQAddGroupViewController: the list of the directory's QR codes of group chats (sent as type "3"), with its
// batch remembered under "GroupPage"; a tapped row opens VQGroupDetailViewController, the floating button
// VQGroupAddCodeViewController. See QRCodeListController.h.
#pragma once

#include "app/directory/lists/QRCodeListController.h"

class VQAddGroupViewController : public dv::app::QRCodeListController {
    DV_CLASS(VQAddGroupViewController, dv::app::QRCodeListController)

    VQAddGroupViewController() = default;

    // The floating button's action: opens the upload form of group chats.
    void shangchuanGroupAct(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
};
