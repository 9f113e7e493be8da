#include "app/shell/navigation/SMNavigationController.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UINavigationItem.h"

#include <mutex>

DV_DEFINE_CLASS_WITH(SMNavigationController, b)
{
    b.method("back", "v16@0:8", [](SMNavigationController& navigation, std::span<const id>) {
        navigation.back();
        return nil;
    });
}

void SMNavigationController::initialize()
{
    static std::once_flag once;
    std::call_once(once, [] {
        auto bar = UINavigationBar::appearanceWhenContainedIn({ SMNavigationController::class_() });
        bar->setTitleTextAttributes(NSDictionary::of({
            { NSFontAttributeName, UIFont::systemFontOfSize(18) },
            { NSForegroundColorAttributeName, UIColor::whiteColor() },
        }));
        bar->setBackgroundImage(UIImage::imageNamed("nav"_ns), UIBarMetricsDefault);
    });
}

Ref<SMNavigationController> SMNavigationController::init()
{
    initialize();
    UINavigationController::init();
    return self<SMNavigationController>();
}

Ref<SMNavigationController> SMNavigationController::initWithRootViewController(const Ref<UIViewController>& root)
{
    initialize();
    UINavigationController::initWithRootViewController(root);
    return self<SMNavigationController>();
}

void SMNavigationController::pushViewController(const Ref<UIViewController>& controller, bool animated)
{
    if (controller && childViewControllers()->count() > 0) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        auto picture = UIImage::imageNamed("back"_ns);
        button->setImage(picture, UIControlStateNormal);
        button->setImage(picture, UIControlStateHighlighted);
        button->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
        button->setTitleColor(UIColor::redColor(), UIControlStateHighlighted);
        button->setContentEdgeInsets(UIEdgeInsetsMake(0, 0, 0, 0));
        button->setFrame(CGRectMake(0, 0, 100, 30));
        button->setContentHorizontalAlignment(UIControlContentHorizontalAlignmentLeft);
        button->addTarget(self(), "back", UIControlEventTouchUpInside);
        controller->navigationItem()->setLeftBarButtonItem(alloc<UIBarButtonItem>()->initWithCustomView(button));
    }
    UINavigationController::pushViewController(controller, animated);
}

void SMNavigationController::back() { popViewControllerAnimated(true); }
