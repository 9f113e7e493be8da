#include "app/shell/ApplicationEntry.h"

#include "app/shell/ShellScreens.h"
#include "app/shell/start/AppDelegate.h"
#include "foundation/http/_PNURLSessionTaskSwizzling.h"
#include "platform/base/NSString.h"
#include "platform/system/NSBundle.h"
#include "platform/ui/UIApplication.h"
#include "push/PSDictionaryCategories.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"
#include "ui/toolkit/refresh/UIScrollViewRFRefresh.h"
#include "ui/toolkit/views/UINavigationControllerBSFullscreenPopGesture.h"

#include <mutex>

namespace dv::app {

void installApplicationHooks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        PSInstallDictionaryCategories();
        _PNURLSessionTaskSwizzling::load();
        dv::installMainBundleImageResolver();
        dv::installRefreshReloadDataHooks();
        dv::installKeyboardManager();
        dv::installFullscreenPopGesture();
        installShellScreens();
    });
}

Ref<UIApplication> startApplication(const Ref<NSDictionary>& launchOptions)
{
    installApplicationHooks();
    auto app = UIApplication::sharedApplication();
    auto delegate = alloc<AppDelegate>()->init();
    app->keepDelegate(delegate);
    app->launch(launchOptions);
    return app;
}

int applicationMain(int argc, char** argv)
{
    installApplicationHooks();
    return UIApplicationMain(argc, argv, nil, NSStringFromClass(AppDelegate::class_()));
}

} // namespace dv::app
