// VQFunsDetailViewController: the detail page of a personal account's QR code, opened from VQPassiveFansVC; its
// account row is labelled "个人信聊号". See QRCodeDetailController.h.
#pragma once

#include "app/directory/details/QRCodeDetailController.h"

class VQFunsDetailViewController : public dv::app::QRCodeDetailController {
    DV_CLASS(VQFunsDetailViewController, dv::app::QRCodeDetailController)

    VQFunsDetailViewController() = default;

protected:
    Ref<NSString> accountRowLabel() const override;
};
