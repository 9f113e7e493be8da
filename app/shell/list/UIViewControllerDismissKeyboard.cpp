#include "app/shell/list/UIViewControllerDismissKeyboard.h"

#include "platform/base/Associations.h"
#include "platform/base/ClassBuilder.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIViewController.h"

#include <memory>

namespace dv::internal::shell {

// The recogniser's target: recognisers hold their targets weakly and the controller's class
// cannot take a new method, so the recogniser keeps this small object, which holds the controller
// weakly and passes the tap on.
class DismissKeyboardTarget : public NSObject {
    DV_CLASS(DismissKeyboardTarget, NSObject)

    DismissKeyboardTarget() = default;
    Weak<UIViewController> controller;
};

DV_DEFINE_CLASS_WITH(DismissKeyboardTarget, b)
{
    b.method(
        "tapAnywhereToDismissKeyboard:", "v24@0:8@16", [](DismissKeyboardTarget& target, std::span<const id> args) {
            if (auto controller = target.controller.lock())
                tapAnywhereToDismissKeyboard(controller, args.empty() ? nil : dv::as<UIGestureRecognizer>(args[0]));
            return nil;
        });
}

namespace {
    const char kTargetKey = 0;
} // namespace

} // namespace dv::internal::shell

void setupForDismissKeyboard(const Ref<UIViewController>& controller)
{
    if (!controller)
        return;
    using dv::internal::shell::DismissKeyboardTarget;
    auto target = alloc<DismissKeyboardTarget>();
    target->controller = controller;
    auto tap = alloc<UITapGestureRecognizer>()->initWithTarget(target, "tapAnywhereToDismissKeyboard:");
    objc_setAssociatedObject(tap, &dv::internal::shell::kTargetKey, target, OBJC_ASSOCIATION_RETAIN_NONATOMIC);

    Weak<UIViewController> weakController = controller;
    auto center = NSNotificationCenter::defaultCenter();
    // Filled right after both are registered; the observers end both once the screen is gone.
    auto tokens = std::make_shared<std::pair<id, id>>();
    auto endObservers = [tokens] {
        auto center = NSNotificationCenter::defaultCenter();
        center->removeObserver(tokens->first);
        center->removeObserver(tokens->second);
        *tokens = {};
    };
    tokens->first = center->addObserverForName(UIKeyboardWillShowNotification, nil, NSOperationQueue::mainQueue(),
        [weakController, tap, endObservers](const Ref<NSNotification>&) {
            auto screen = weakController.lock();
            if (!screen)
                return endObservers();
            if (screen->isViewLoaded())
                screen->view()->addGestureRecognizer(tap);
        });
    tokens->second = center->addObserverForName(UIKeyboardWillHideNotification, nil, NSOperationQueue::mainQueue(),
        [weakController, tap, endObservers](const Ref<NSNotification>&) {
            auto screen = weakController.lock();
            if (!screen)
                return endObservers();
            if (screen->isViewLoaded())
                screen->view()->removeGestureRecognizer(tap);
        });
}

void tapAnywhereToDismissKeyboard(const Ref<UIViewController>& controller, const Ref<UIGestureRecognizer>&)
{
    if (controller && controller->isViewLoaded())
        controller->view()->endEditing(true);
}
