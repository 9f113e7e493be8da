#include "app/directory/uploads/VQGroupAddCodeViewController.h"

#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQGroupAddCodeViewController, b)
{
    b.method("addPhotoAction:", "v24@0:8@16", [](VQGroupAddCodeViewController& form, std::span<const id> args) -> id {
        form.addPhotoAction(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
    b.method("uploadGroupAct:", "v24@0:8@16", [](VQGroupAddCodeViewController& form, std::span<const id> args) -> id {
        form.uploadGroupAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

void VQGroupAddCodeViewController::addPhotoAction(const Ref<UIButton>&) { showPhotoSheet(); }

void VQGroupAddCodeViewController::uploadGroupAct(const Ref<UIButton>&) { uploadCode(); }

const VQGroupAddCodeViewController::Traits& VQGroupAddCodeViewController::traits() const
{
    static const Traits traits {
        .kind = dv::app::QRCodeKind::Group,
        .accountLabel = "群主信聊",
        .accountLabelWidth = 60,
        .accountFieldX = 80,
        .accountPlaceholder = "请输入信聊号",
        .photoAction = "addPhotoAction:",
        .pictureRowOpensSheet = true,
        .uploadAction = "uploadGroupAct:",
        .uploadTitle = "上传更新(一天只能更新一次)",
        .uploadCornerRadius = 20,
    };
    return traits;
}
