// VQGroupDetailViewController: the detail page of a group chat's QR code, opened from VQAddGroupViewController; its
// account row is labelled "群主信聊". See QRCodeDetailController.h.
#pragma once

#include "app/directory/details/QRCodeDetailController.h"

class VQGroupDetailViewController : public dv::app::QRCodeDetailController {
    DV_CLASS(VQGroupDetailViewController, dv::app::QRCodeDetailController)

    VQGroupDetailViewController() = default;

protected:
    Ref<NSString> accountRowLabel() const override;
};
