#include "app/directory/internal/ProspectCategories.h"

#include "app/directory/internal/ScreenRequest.h"
#include "app/directory/prospects/VQBuyerResourceVC.h"
#include "app/shell/models/VQCategoryModel.h"
#include "app/shell/server/ServerRequests.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIViewController.h"

namespace dv::internal::directory {

void requestCategories(const Ref<UIViewController>& screen, std::function<void(const Ref<NSMutableArray>& categories)> fill)
{
    if (!screen)
        return;
    requestShowingLoading(dv::app::listCategoryRequest(), screen->view(), FailedCallOverlay::HideOnHost,
        [screen, fill = std::move(fill)](const std::optional<ServerReply>& reply) {
            if (acceptReply(reply, screen->view()) && fill)
                fill(dv::app::replyModels<VQCategoryModel>(reply->infoArray()));
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

} // namespace dv::internal::directory
