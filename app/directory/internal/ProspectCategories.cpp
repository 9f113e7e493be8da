#include "app/directory/internal/ProspectCategories.h"

#include "app/directory/prospects/VQBuyerResourceVC.h"
#include "app/shell/models/VQCategoryModel.h"
#include "app/shell/server/ServerReply.h"
#include "app/shell/server/ServerRequests.h"
#include "app/shell/server/ZHHttpTool.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIViewController.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

namespace dv::internal {

void requestCategories(const Ref<UIViewController>& screen, std::function<void(const Ref<NSMutableArray>& categories)> fill)
{
    if (!screen)
        return;
    auto request = dv::app::listCategoryRequest();
    PHProgressHUD::showMessag("正在加载"_ns, screen->view());
    ZHHttpTool::postWithURL(request.URL, request.fields,
        [screen, fill = std::move(fill)](const id& json) {
            PHProgressHUD::hideHUDForView(screen->view(), true);
            auto reply = ServerReply::fromObject(json);
            if (!reply || !reply->succeeded()) {
                PHProgressHUD::showError(reply ? reply->msg() : ""_ns, screen->view());
                return;
            }
            if (fill)
                fill(dv::app::replyModels<VQCategoryModel>(reply->infoArray()));
        },
        [screen](const Ref<NSError>& error) {
            NSLog("error=====%@", error);
            PHProgressHUD::hideHUDForView(screen->view(), true);
        });
}

void openIndustryList(const Ref<UIViewController>& screen, const Ref<VQCategoryModel>& category)
{
    auto categoryId = category ? category->categoryId() : nil;
    if (!categoryId || categoryId->length() == 0) {
        NSLog("category without id: %@", category ? category->name() : nil);
        return;
    }
    auto list = alloc<VQBuyerResourceVC>();
    list->init();
    list->setCategoryId(categoryId);
    if (auto navigation = screen ? screen->navigationController() : nil)
        navigation->pushViewController(list, true);
}

} // namespace dv::internal
