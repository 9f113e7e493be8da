#include "app/directory/lists/VQAddGroupViewController.h"

#include "app/directory/details/VQGroupDetailViewController.h"
#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQAddGroupViewController, b)
{
    b.method("shangchuanGroupAct:", "v24@0:8@16", [](VQAddGroupViewController& screen, std::span<const id> args) -> id {
        screen.shangchuanGroupAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

void VQAddGroupViewController::shangchuanGroupAct(const Ref<UIButton>&) { pushUploadForm(); }

const VQAddGroupViewController::Traits& VQAddGroupViewController::traits() const
{
    static const Traits traits {
        .kind = dv::app::QRCodeKind::Group,
        .pageKey = "GroupPage",
        .uploadAction = "shangchuanGroupAct:",
        .uploadFormClass = "VQGroupAddCodeViewController",
        .makeDetailScreen = [] { return dv::as<dv::app::QRCodeDetailController>(alloc<VQGroupDetailViewController>()->init()); },
    };
    return traits;
}
