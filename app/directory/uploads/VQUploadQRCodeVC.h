// VQUploadQRCodeVC: the upload form of the directory's QR codes of personal accounts (sent as type "2"), opened from
// VQPassiveFansVC; the account row reads "信聊号", only the picture button opens the photo sheet. See
// QRCodeUploadController.h.
#pragma once

#include "app/directory/uploads/QRCodeUploadController.h"

class VQUploadQRCodeVC : public dv::app::QRCodeUploadController {
    DV_CLASS(VQUploadQRCodeVC, dv::app::QRCodeUploadController)

    VQUploadQRCodeVC() = default;

    // The picture button's action: the photo sheet.
    void addPhotoAction(const Ref<UIButton>& sender);
    // The upload button's action.
    void uploadFansAct(const Ref<UIButton>& sender);

protected:
    const Traits& traits() const override;
};
