#include "app/directory/lists/VQPassiveFansVC.h"

#include "app/directory/details/VQFunsDetailViewController.h"
#include "app/shell/server/ServerRequests.h"
#include "platform/base/ClassBuilder.h"
#include "platform/ui/UIButton.h"

DV_DEFINE_CLASS_WITH(VQPassiveFansVC, b)
{
    b.method("shangchuanFansAct:", "v24@0:8@16", [](VQPassiveFansVC& screen, std::span<const id> args) -> id {
        screen.shangchuanFansAct(args.empty() ? nil : dv::as<UIButton>(args[0]));
        return nil;
    });
}

void VQPassiveFansVC::shangchuanFansAct(const Ref<UIButton>&) { pushUploadForm(); }

const VQPassiveFansVC::Traits& VQPassiveFansVC::traits() const
{
    static const Traits traits {
        .kind = dv::app::QRCodeKind::Personal,
        .pageKey = "FansPage",
        .uploadAction = "shangchuanFansAct:",
        .uploadFormClass = "VQUploadQRCodeVC",
        .makeDetailScreen = [] { return dv::as<dv::app::QRCodeDetailController>(alloc<VQFunsDetailViewController>()->init()); },
    };
    return traits;
}
