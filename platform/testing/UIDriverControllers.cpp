// The driver's view of controllers and navigation: which screen shows, the navigation stack and
// its bar, the back button and the back swipe.
#include "platform/testing/UIDriver.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIActionSheet.h"
#include "platform/ui/UIAlertView.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImagePickerController.h"
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
    return button && dragIntoView(button) && tap(button);
}

void UIDriver::setPermissionAnswer(PrivacyService service, bool grant) { PrivacyAccess::setPromptAnswer(service, grant); }
bool UIDriver::isPermissionPromptShowing(PrivacyService service) const { return PrivacyAccess::isPromptShowing(service); }
bool UIDriver::answerPermissionPrompt(PrivacyService service, bool grant) { return PrivacyAccess::answerPrompt(service, grant); }
int UIDriver::permissionPromptCount(PrivacyService service) const { return PrivacyAccess::promptCount(service); }
void UIDriver::setCameraPresent(CameraPosition position, bool present) { Cameras::setPresent(position, present); }

Ref<UIImagePickerController> UIDriver::imagePicker() const
{
    Ref<UIImagePickerController> picker;
    for (auto c = window() ? window()->rootViewController() : nil; c; c = c->presentedViewController())
        if (auto p = dv::as<UIImagePickerController>(c))
            picker = p;
    return picker;
}

namespace {

Ref<UIButton> buttonIn(const Ref<UIView>& root, const std::function<bool(const Ref<UIButton>&)>& matches)
{
    if (!root)
        return nil;
    if (auto button = dv::as<UIButton>(root); button && matches(button))
        return button;
    const auto subviews = root->subviews();
    for (auto& sub : subviews->items())
        if (auto found = buttonIn(std::static_pointer_cast<UIView>(sub), matches))
            return found;
    return nil;
}

Ref<UIButton> titled(const Ref<UIView>& root, std::string_view title)
{
    return buttonIn(root, [title](const Ref<UIButton>& b) { return b->currentTitle() && dv::str(b->currentTitle()) == title; });
}

} // namespace

bool UIDriver::pickImage(const Ref<UIImage>& image)
{
    auto picker = imagePicker();
    if (!picker || !image)
        return false;
    auto screen = picker->topViewController();
    if (!screen)
        return false;
    Ref<UIButton> target;
    if (picker->sourceType() == UIImagePickerControllerSourceTypeCamera) {
        UIImagePickerController::setCameraScene(image);
        target = buttonIn(screen->view(), [](const Ref<UIButton>& b) {
            return b->accessibilityLabel() && dv::str(b->accessibilityLabel()) == "拍照";
        });
    } else {
        auto shows = [&](const Ref<UIButton>& b) { return b->backgroundImageForState(UIControlStateNormal) == image; };
        target = buttonIn(screen->view(), shows);
        if (!target) {
            UIImagePickerController::addLibraryPicture(image);
            runUntilIdle();
            target = buttonIn(screen->view(), shows);
        }
    }
    if (!target || !tap(target))
        return false;
    if (!picker->allowsEditing())
        return true;
    advance(0.4); // the edit screen slides in
    auto edit = picker->topViewController();
    auto choose = edit && edit != screen ? titled(edit->view(), "选取") : nil;
    return choose && tap(choose);
}

bool UIDriver::cancelImagePicker()
{
    auto picker = imagePicker();
    auto screen = picker ? picker->topViewController() : nil;
    if (!screen)
        return false;
    if (auto item = screen->navigationItem()->rightBarButtonItem(); item && !picker->isNavigationBarHidden())
        return tap(item);
    auto cancel = titled(screen->view(), "取消");
    return cancel && tap(cancel);
}

} // namespace dv::testing
