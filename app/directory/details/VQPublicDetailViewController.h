// VQPublicDetailViewController: the detail page of a public account's QR code, opened from VQAddPublicViewController; its
// account row is labelled "公众号". See QRCodeDetailController.h.
#pragma once

#include "app/directory/details/QRCodeDetailController.h"

class VQPublicDetailViewController : public dv::app::QRCodeDetailController {
    DV_CLASS(VQPublicDetailViewController, dv::app::QRCodeDetailController)

    VQPublicDetailViewController() = default;

protected:
    Ref<NSString> accountRowLabel() const override;
};
