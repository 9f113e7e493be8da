#include "app/shell/start/AppDelegate.h"

#include "app/shell/navigation/SMNavigationController.h"
#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIColor.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"

DV_DEFINE_CLASS(AppDelegate)

Ref<AppDelegate> AppDelegate::init()
{
    UIResponder::init();
    return self<AppDelegate>();
}

std::optional<bool> AppDelegate::applicationDidFinishLaunchingWithOptions(const Ref<UIApplication>&, const Ref<NSDictionary>&)
{
    m_window = alloc<UIWindow>()->initWithFrame(UIScreen::mainScreen()->bounds());
    m_window->setBackgroundColor(UIColor::whiteColor());
    auto root = alloc<UIViewController>()->init();
    m_window->setRootViewController(alloc<SMNavigationController>()->initWithRootViewController(root));
    m_window->makeKeyAndVisible();
    return true;
}
