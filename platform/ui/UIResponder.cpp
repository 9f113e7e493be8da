#include "platform/ui/UIResponder.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Runtime.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/Keyboard.h"

#include <utility>

DV_DEFINE_CLASS(UIResponder)

Ref<UIResponder> UIResponder::nextResponder() const { return nil; }

bool UIResponder::canBecomeFirstResponder() const { return false; }

bool UIResponder::canResignFirstResponder() const { return true; }

Ref<UIWindow> UIResponder::windowForFirstResponder() const { return UIApplication::sharedApplication()->keyWindow(); }

bool UIResponder::isFirstResponder() const
{
    auto window = windowForFirstResponder();
    return window && window->firstResponder().get() == this;
}

bool UIResponder::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    auto window = windowForFirstResponder();
    if (!window || !canBecomeFirstResponder())
        return false;
    if (auto current = window->firstResponder()) {
        // While the current responder resigns, the keyboard knows who takes over, so that it
        // stays up when the focus moves from one field to another.
        dv::internal::uikit::Keyboard::Handover handover(self<UIResponder>());
        if (!current->canResignFirstResponder() || !current->resignFirstResponder())
            return false;
        // The resigning responder may have handed the status to someone else meanwhile.
        if (window->firstResponder())
            return false;
    }
    window->handleSetFirstResponder(self<UIResponder>());
    return true;
}

bool UIResponder::resignFirstResponder()
{
    if (!canResignFirstResponder())
        return false;
    if (auto window = windowForFirstResponder(); window && window->firstResponder().get() == this)
        window->handleSetFirstResponder(nil);
    return true;
}

void UIResponder::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (auto next = nextResponder())
        next->touchesBegan(touches, event);
}

void UIResponder::touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (auto next = nextResponder())
        next->touchesMoved(touches, event);
}

void UIResponder::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (auto next = nextResponder())
        next->touchesEnded(touches, event);
}

void UIResponder::touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (auto next = nextResponder())
        next->touchesCancelled(touches, event);
}

Ref<UIView> UIResponder::inputView() const { return nil; }

Ref<UIView> UIResponder::inputAccessoryView() const { return nil; }

void UIResponder::reloadInputViews()
{
    if (isFirstResponder())
        dv::internal::uikit::Keyboard::shared().reload(self<UIResponder>());
}

bool UIResponder::showsKeyboard() const { return false; }

namespace {
bool s_forcingResign = false;
}

bool UIResponder::isForcingResign() { return s_forcingResign; }

void UIResponder::handleForcedResign()
{
    const bool was = std::exchange(s_forcingResign, true);
    resignFirstResponder();
    s_forcingResign = was;
}

bool UIResponder::canPerformAction(SEL action, const id& sender) const
{
    if (!action)
        return false;
    if (respondsToSelector(action))
        return true;
    auto next = nextResponder();
    return next && next->canPerformAction(action, sender);
}
