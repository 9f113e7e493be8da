#include "app/directory/internal/ScreenRequest.h"

#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ZHHttpTool.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIView.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

namespace dv::internal::directory {

void requestShowingLoading(const dv::app::ServerRequest& request, const Ref<UIView>& host, FailedCallOverlay failedCall,
    std::function<void(const std::optional<ServerReply>& reply)> handler)
{
    PHProgressHUD::showMessag("正在加载"_ns, host);
    ZHHttpTool::postWithURL(request.URL, request.fields,
        [host, handler = std::move(handler)](const id& json) {
            PHProgressHUD::hideHUDForView(host, true);
            handler(ServerReply::fromObject(json));
        },
        [host, failedCall](const Ref<NSError>& error) {
            NSLog("error=====%@", error);
            if (failedCall == FailedCallOverlay::HideOnHost)
                PHProgressHUD::hideHUDForView(host, true);
        });
}

bool acceptReply(const std::optional<ServerReply>& reply, const Ref<UIView>& view)
{
    if (reply && reply->succeeded())
        return true;
    PHProgressHUD::showError(reply ? reply->msg() : ""_ns, view);
    return false;
}

} // namespace dv::internal::directory
