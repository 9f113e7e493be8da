// The driver's view of controllers and navigation: which screen shows, the navigation stack and
// its bar, the back button and the back swipe.
#include "platform/testing/UIDriver.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIActionSheet.h"
#include "platform/ui/UIAlertView.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIViewController.h"

namespace dv::testing {

Ref<UIViewController> UIDriver::topViewController() const
{
    auto controller = topPresentedViewController(window());
    while (auto navigation = dv::as<UINavigationController>(controller)) {
        auto top = navigation->topViewController();
        if (!top)
            break;
        controller = top;
    }
    return controller;
}

Ref<UINavigationController> UIDriver::navigationController() const
{
    auto controller = topPresentedViewController(window());
    if (auto navigation = dv::as<UINavigationController>(controller))
        return navigation;
    return controller ? controller->navigationController() : nil;
}

std::vector<Ref<UIViewController>> UIDriver::navigationStack() const
{
    std::vector<Ref<UIViewController>> stack;
    if (auto navigation = navigationController())
        if (auto controllers = navigation->viewControllers())
            for (auto& object : controllers->items())
                stack.push_back(std::static_pointer_cast<UIViewController>(object));
    return stack;
}

std::string UIDriver::navigationTitle() const
{
    auto navigation = navigationController();
    if (!navigation || navigation->isNavigationBarHidden())
        return {};
    auto bar = navigation->navigationBar();
    if (auto view = bar->titleDisplayView())
        return textOf(view);
    auto top = bar->topItem();
    return top && top->title() ? dv::str(top->title()) : std::string();
}

bool UIDriver::tapBackButton()
{
    auto navigation = navigationController();
    auto button = navigation ? navigation->navigationBar()->backButton() : nil;
    return button && tap(button);
}

bool UIDriver::swipeBack(CGFloat fraction, const PanOptions& options)
{
    auto root = window();
    if (!root)
        return false;
    const CGRect bounds = root->bounds();
    const CGPoint from = CGPointMake(CGRectGetMinX(bounds) + 5, CGRectGetMidY(bounds));
    return pan(from, CGPointMake(bounds.size.width * fraction, 0), options);
}

std::vector<UIDriver::Alert> UIDriver::visibleAlerts() const
{
    std::vector<Alert> alerts;
    for (auto& shown : UIAlertBase::visibleAlerts(window())) {
        Alert alert;
        if (auto view = dv::as<UIAlertView>(shown)) {
            alert.kind = "alert";
            alert.title = view->title() ? dv::str(view->title()) : "";
            alert.message = view->message() ? dv::str(view->message()) : "";
        } else if (auto sheet = dv::as<UIActionSheet>(shown)) {
            alert.kind = "sheet";
            alert.title = sheet->title() ? dv::str(sheet->title()) : "";
        }
        for (NSInteger i = 0; i < shown->numberOfButtons(); ++i)
            alert.buttons.push_back(dv::str(shown->buttonTitleAtIndex(i)));
        alert.cancelButtonIndex = shown->cancelButtonIndex();
        alert.tag = shown->tag();
        alerts.push_back(std::move(alert));
    }
    return alerts;
}

bool UIDriver::tapAlertButton(std::string_view title)
{
    auto shown = UIAlertBase::visibleAlerts(window());
    if (shown.empty())
        return false;
    auto& top = shown.back();
    for (NSInteger i = 0; i < top->numberOfButtons(); ++i)
        if (dv::str(top->buttonTitleAtIndex(i)) == title)
            return tapAlertButtonAtIndex(i);
    return false;
}

bool UIDriver::tapAlertButtonAtIndex(NSInteger index)
{
    auto shown = UIAlertBase::visibleAlerts(window());
    if (shown.empty())
        return false;
    auto button = shown.back()->buttonViewAtIndex(index);
    return button && tap(button);
}

} // namespace dv::testing
