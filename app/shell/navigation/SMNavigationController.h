// SMNavigationController: the navigation controller every screen of the application is shown in.
// The first time the class is used it gives the bars inside it their look (white 18-point titles
// on the "nav" picture); every screen pushed above the root gets a "back" picture button as its
// left item, which pops it. The root screen has no back button. Main thread only.
//
//   auto navigation = alloc<SMNavigationController>()->initWithRootViewController(home);
//   navigation->pushViewController(screen, true);   // screen shows the "back" button
#pragma once

#include "platform/ui/UINavigationController.h"

class SMNavigationController : public UINavigationController {
    DV_CLASS(SMNavigationController, UINavigationController)

    SMNavigationController() = default;
    Ref<SMNavigationController> init();
    Ref<SMNavigationController> initWithRootViewController(const Ref<UIViewController>& root);

    // The bar look, applied once per process to the bars contained in this class.
    static void initialize();

    // Gives a screen pushed above the root the back button, then pushes as the platform does.
    void pushViewController(const Ref<UIViewController>& controller, bool animated) override;
    // The back button's action: pops the top screen, animated.
    void back();
};
