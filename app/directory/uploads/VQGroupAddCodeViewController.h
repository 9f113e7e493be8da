// VQGroupAddCodeViewController: the upload form of the directory's QR codes of group chats (sent as type "3"), opened
// from VQAddGroupViewController; the account row reads "群主信聊", a tap on the picture's row opens the photo sheet
// too. See QRCodeUploadController.h.
#pragma once

#include "app/directory/uploads/QRCodeUploadController.h"

class VQGroupAddCodeViewController : public dv::app::QRCodeUploadController {
    DV_CLASS(VQGroupAddCodeViewController, dv::app::QRCodeUploadController)

    VQGroupAddCodeViewController() = default;

    // The picture button's action: the photo sheet.
    void addPhotoAction(const Ref<UIButton>& sender);
    // The upload button's action.
    void uploadGroupAct(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
};
