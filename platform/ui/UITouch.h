// UITouch: one finger on the screen, from the moment it lands until it lifts or is cancelled. The
// touch router makes and updates touches (see internal/TouchRouter.h); views read them in their
// touch methods. A touch keeps the view it first hit for its whole life, as the platform does, so
// that a view removed mid-touch still hears the end of it. Main thread only.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/ui/Forward.h"

#include <vector>

enum UITouchPhase : NSInteger {
    UITouchPhaseBegan = 0,
    UITouchPhaseMoved = 1,
    UITouchPhaseStationary = 2,
    UITouchPhaseEnded = 3,
    UITouchPhaseCancelled = 4,
};

class UITouch : public NSObject {
    DV_CLASS(UITouch, NSObject)

    UITouch() = default;

    // In the view's coordinates; nil gives window coordinates.
    CGPoint locationInView(const Ref<UIView>& view) const;
    CGPoint previousLocationInView(const Ref<UIView>& view) const;

    Ref<UIView> view() const { return m_view; }
    Ref<UIWindow> window() const { return m_window.lock(); }
    UITouchPhase phase() const { return m_phase; }
    NSUInteger tapCount() const { return m_tapCount; }
    NSTimeInterval timestamp() const { return m_timestamp; }
    // The recognisers of the hit view and its ancestors, collected when the touch began.
    Ref<NSArray> gestureRecognizers() const;

private:
    friend class UIGestureRecognizer;
    friend class dv::internal::uikit::TouchRouter;

    Ref<UIView> m_view;
    Weak<UIWindow> m_window;
    CGPoint m_location;         // window coordinates
    CGPoint m_previousLocation; // window coordinates
    CGPoint m_startLocation;    // window coordinates, where it landed
    UITouchPhase m_phase = UITouchPhaseBegan;
    NSUInteger m_tapCount = 1;
    NSTimeInterval m_timestamp = 0;
    std::vector<Weak<UIGestureRecognizer>> m_gestureRecognizers;
    // Delivery bookkeeping of the router: the recognisers that took the touch (their delegates
    // did not refuse it), whether its view has heard it begin, and whether a recogniser has
    // taken it from the view.
    std::vector<Weak<UIGestureRecognizer>> m_receivers;
    bool m_viewBegan = false;
    bool m_cancelledForView = false;
};
