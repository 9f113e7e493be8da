// What the two category screens (the grid and the one-column list) share: asking the server for
// the industry categories, and opening a category's prospect list.
//
//   dv::internal::directory::requestCategories(self<Screen>(), [](const Ref<Screen>& screen, const Ref<NSMutableArray>& categories) { ... });
//
// Main thread.
#pragma once

#include "platform/base/Forward.h"

#include <functional>

class UIViewController;
class VQCategoryModel;

namespace dv::internal::directory {

// Posts data/listCategory.do with the loading overlay "正在加载" on the screen's view, which the
// reply takes down. A reply whose status is not 1 shows its msg; a successful one hands `fill` the
// categories of `info` in reply order (entries that are not records left out). A failure is
// logged (the server client shows the network message). The request keeps the screen until then.
void requestCategories(const Ref<UIViewController>& screen, std::function<void(const Ref<NSMutableArray>& categories)> fill);

// Pushes the prospect list (VQBuyerResourceVC) of the category on the screen's navigation
// controller, animated. A category without id cannot be listed: nothing opens, the tap is logged.
void openIndustryList(const Ref<UIViewController>& screen, const Ref<VQCategoryModel>& category);

} // namespace dv::internal::directory
