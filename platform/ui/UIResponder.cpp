#include "platform/ui/UIResponder.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Runtime.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIWindow.h"

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

bool UIResponder::canPerformAction(SEL action, const id& sender) const
{
    if (!action)
        return false;
    if (respondsToSelector(action))
        return true;
    auto next = nextResponder();
    return next && next->canPerformAction(action, sender);
}
