// UIGestureRecognizer: the base of the recognisers that views carry. A view owns the recognisers
// added to it; a recogniser refers to its view weakly. Touches collect the recognisers of their
// hit view and its ancestors when they begin (UITouch::gestureRecognizers). Main thread only.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

class UIGestureRecognizer : public NSObject {
    DV_CLASS(UIGestureRecognizer, NSObject)

    UIGestureRecognizer() = default;

    // The view the recogniser is attached to; nil before addGestureRecognizer.
    Ref<UIView> view() const { return m_view.lock(); }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

private:
    friend class UIView;

    Weak<UIView> m_view;
    bool m_enabled = true;
};
