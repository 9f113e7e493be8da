#include "app/directory/uploads/VQPublicAddCodeViewController.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQPublicAddCodeViewController, b)
{
    b.method("addPhotoPublicAction:", "v24@0:8@16", [](VQPublicAddCodeViewController& form, std::span<const id> args) -> id {
        form.addPhotoPublicAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("uploadPublicAct:", "v24@0:8@16", [](VQPublicAddCodeViewController& form, std::span<const id> args) -> id {
        form.uploadPublicAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

void VQPublicAddCodeViewController::addPhotoPublicAction(const Ref<UIButton>&) { showPhotoSheet(); }

void VQPublicAddCodeViewController::uploadPublicAct(const Ref<UIButton>&) { uploadCode(); }

const VQPublicAddCodeViewController::Traits& VQPublicAddCodeViewController::traits() const
{
    static const Traits traits {
        .kind = dv::app::QRCodeKind::Public,
        .accountLabel = "公众号",
        .accountLabelWidth = 60,
        .accountFieldX = 80,
        .accountPlaceholder = "请输入公众号",
        .photoAction = "addPhotoPublicAction:",
        .pictureRowOpensSheet = true,
        .uploadAction = "uploadPublicAct:",
        .uploadTitle = "上传更新",
        .uploadCornerRadius = 5,
    };
    return traits;
}
