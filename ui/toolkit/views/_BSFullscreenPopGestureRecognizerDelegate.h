// _BSFullscreenPopGestureRecognizerDelegate: decides whether the full-screen back pan of a
// navigation controller may begin. Each navigation controller makes one on first use and keeps
// it (see UINavigationControllerBSFullscreenPopGesture.h); it refers back to the navigation
// controller weakly. Main thread only.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/UIGestureRecognizer.h"

class UINavigationController;

class _BSFullscreenPopGestureRecognizerDelegate : public NSObject, public UIGestureRecognizerDelegate {
    DV_CLASS(_BSFullscreenPopGestureRecognizerDelegate, NSObject)

    _BSFullscreenPopGestureRecognizerDelegate() = default;

    Ref<UINavigationController> navigationController() const { return m_navigationController.lock(); }
    void setNavigationController(const Ref<UINavigationController>& navigationController) { m_navigationController = navigationController; }

    // NO, in this order, when: fewer than two screens are on the stack; the top screen disables
    // the pan; the pan started farther from the left edge than the top screen allows; a
    // transition is running; the finger moved right to left (or straight up or down). Else YES.
    std::optional<bool> gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer) override;

private:
    Weak<UINavigationController> m_navigationController;
};
