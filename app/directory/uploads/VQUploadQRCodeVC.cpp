#include "app/directory/uploads/VQUploadQRCodeVC.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQUploadQRCodeVC, b)
{
    b.method("addPhotoAction:", "v24@0:8@16", [](VQUploadQRCodeVC& form, std::span<const id> args) -> id {
        form.addPhotoAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("uploadFansAct:", "v24@0:8@16", [](VQUploadQRCodeVC& form, std::span<const id> args) -> id {
        form.uploadFansAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

void VQUploadQRCodeVC::addPhotoAction(const Ref<UIButton>&) { showPhotoSheet(); }

void VQUploadQRCodeVC::uploadFansAct(const Ref<UIButton>&) { uploadCode(); }

const VQUploadQRCodeVC::Traits& VQUploadQRCodeVC::traits() const
{
    static const Traits traits {
        .kind = dv::app::QRCodeKind::Personal,
        .accountLabel = "信聊号",
        .accountLabelWidth = 50,
        .accountFieldX = 60,
        .accountPlaceholder = "请输入信聊号",
        .photoAction = "addPhotoAction:",
        .pictureRowOpensSheet = false,
        .uploadAction = "uploadFansAct:",
        .uploadTitle = "上传更新(一天只能更新一次)",
        .uploadCornerRadius = 20,
    };
    return traits;
}
