#include "app/directory/lists/VQAddPublicViewController.h"

#include "app/directory/details/VQPublicDetailViewController.h"
#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQAddPublicViewController, b)
{
    b.method("shangchuanPublicAct:", "v24@0:8@16", [](VQAddPublicViewController& screen, std::span<const id> args) -> id {
        screen.shangchuanPublicAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

void VQAddPublicViewController::shangchuanPublicAct(const Ref<UIButton>&) { pushUploadForm(); }

const VQAddPublicViewController::Traits& VQAddPublicViewController::traits() const
{
    static const Traits traits {
        .kind = dv::app::QRCodeKind::Public,
        .pageKey = "PublicPage",
        .uploadAction = "shangchuanPublicAct:",
        .uploadFormClass = "VQPublicAddCodeViewController",
        .makeDetailScreen = [] { return dv::as<dv::app::QRCodeDetailController>(alloc<VQPublicDetailViewController>()->init()); },
    };
    return traits;
}
