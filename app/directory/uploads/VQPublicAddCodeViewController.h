// VQPublicAddCodeViewController: the upload form of the directory's QR codes of public accounts (sent as type "11"),
// opened from VQAddPublicViewController; the account row reads "公众号", a tap on the picture's row opens the photo
// sheet too. See QRCodeUploadController.h.
#pragma once

#include "app/directory/uploads/QRCodeUploadController.h"

class VQPublicAddCodeViewController : public dv::app::QRCodeUploadController {
    DV_CLASS(VQPublicAddCodeViewController, dv::app::QRCodeUploadController)

    VQPublicAddCodeViewController() = default;

    // The picture button's action: the photo sheet.
    void addPhotoPublicAction(const Ref<UIButton>& sender);
    // The upload button's action.
    void uploadPublicAct(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
};
