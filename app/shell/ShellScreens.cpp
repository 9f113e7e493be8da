#include "app/shell/ShellScreens.h"

#include "app/shell/about/VQAboutvqViewController.h"
#include "app/shell/agent/VQQueWebViewController.h"
#include "app/shell/agent/VQQueryViewController.h"
#include "app/shell/bridge/LYAppSpeakController.h"
#include "app/shell/guide/LYIntroduceController.h"
#include "app/shell/list/QPAllController.h"
#include "app/shell/picture/KYWifiController.h"
#include "app/shell/web/VQADWebViewController.h"
#include "app/shell/web/VQFunctionVideoVC.h"
#include "app/shell/web/VQGetGiftViewController.h"
#include "app/shell/web/VQMainWebViewController.h"
#include "app/shell/web/VQNewVideoVC.h"

namespace dv::app {

void installShellScreens()
{
    // Asking for each descriptor registers the class (once) and keeps its code in the executable.
    for (Class cls :
        { VQAboutvqViewController::class_(), VQMainWebViewController::class_(), VQADWebViewController::class_(),
            VQNewVideoVC::class_(), VQGetGiftViewController::class_(), VQFunctionVideoVC::class_(),
            VQQueryViewController::class_(), VQQueWebViewController::class_(), KYWifiController::class_(),
            LYIntroduceController::class_(), LYAppSpeakController::class_(), QPAllController::class_() })
        (void)cls;
}

} // namespace dv::app
