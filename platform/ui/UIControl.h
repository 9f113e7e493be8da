// UIControl: a view that turns touches into control events and sends each event's actions to
// their targets. Targets are held weakly; an action takes no argument, the sender, or the sender
// and the event; a nil target sends the action up the responder chain from the first responder
// (UIApplication::sendAction). Main thread only.
//
// Tracking: a touch that lands on an enabled control highlights it, calls beginTrackingWithTouch
// (NO stops the tracking calls for this touch, not the events) and sends touch down (touch down
// repeat for a further tap); each move calls continueTrackingWithTouch (NO stops tracking),
// keeps the highlight while the finger is inside and sends drag inside / outside, enter / exit;
// the lift calls endTrackingWithTouch, removes the highlight and sends touch up inside when the
// finger lifts inside the bounds widened by 70 points on every side (the platform's slack), else
// touch up outside; a cancel calls cancelTrackingWithEvent and sends touch cancel. A disabled
// control takes no touches: they land on what lies behind it.
//
//   button->addTarget(self(), "back", UIControlEventTouchUpInside);
//   slider->sendActionsForControlEvents(UIControlEventValueChanged);
#pragma once

#include "platform/ui/UIView.h"

#include <vector>

using UIControlState = NSUInteger;
enum : UIControlState {
    UIControlStateNormal = 0,
    UIControlStateHighlighted = 1 << 0,
    UIControlStateDisabled = 1 << 1,
    UIControlStateSelected = 1 << 2,
    UIControlStateFocused = 1 << 3,
    UIControlStateApplication = 0x00FF0000,
    UIControlStateReserved = 0xFF000000,
};

using UIControlEvents = NSUInteger;
enum : UIControlEvents {
    UIControlEventTouchDown = 1 << 0,
    UIControlEventTouchDownRepeat = 1 << 1,
    UIControlEventTouchDragInside = 1 << 2,
    UIControlEventTouchDragOutside = 1 << 3,
    UIControlEventTouchDragEnter = 1 << 4,
    UIControlEventTouchDragExit = 1 << 5,
    UIControlEventTouchUpInside = 1 << 6,
    UIControlEventTouchUpOutside = 1 << 7,
    UIControlEventTouchCancel = 1 << 8,
    UIControlEventValueChanged = 1 << 12,
    UIControlEventPrimaryActionTriggered = 1 << 13,
    UIControlEventEditingDidBegin = 1 << 16,
    UIControlEventEditingChanged = 1 << 17,
    UIControlEventEditingDidEnd = 1 << 18,
    UIControlEventEditingDidEndOnExit = 1 << 19,
    UIControlEventAllTouchEvents = 0x00000FFF,
    UIControlEventAllEditingEvents = 0x000F0000,
    UIControlEventApplicationReserved = 0x0F000000,
    UIControlEventSystemReserved = 0xF0000000,
    UIControlEventAllEvents = 0xFFFFFFFF,
};

enum UIControlContentHorizontalAlignment : NSInteger {
    UIControlContentHorizontalAlignmentCenter = 0,
    UIControlContentHorizontalAlignmentLeft = 1,
    UIControlContentHorizontalAlignmentRight = 2,
    UIControlContentHorizontalAlignmentFill = 3,
};

enum UIControlContentVerticalAlignment : NSInteger {
    UIControlContentVerticalAlignmentCenter = 0,
    UIControlContentVerticalAlignmentTop = 1,
    UIControlContentVerticalAlignmentBottom = 2,
    UIControlContentVerticalAlignmentFill = 3,
};

class UIControl : public UIView {
    DV_CLASS(UIControl, UIView)

    UIControl() = default;
    Ref<UIControl> init();
    Ref<UIControl> initWithFrame(CGRect frame);

    // The state bits; setting one redraws and lays the control out again.
    virtual bool isEnabled() const { return m_enabled; }
    virtual void setEnabled(bool enabled);
    virtual bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected);
    virtual bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted);
    // Highlighted, disabled and selected combined.
    UIControlState state() const;

    UIControlContentHorizontalAlignment contentHorizontalAlignment() const { return m_horizontalAlignment; }
    void setContentHorizontalAlignment(UIControlContentHorizontalAlignment alignment);
    UIControlContentVerticalAlignment contentVerticalAlignment() const { return m_verticalAlignment; }
    void setContentVerticalAlignment(UIControlContentVerticalAlignment alignment);

    // The same target, action and events are added once (adding more events to a pair extends
    // it). removeTarget with a nil target removes the action for every target, with a null action
    // every action of the target.
    void addTarget(const id& target, SEL action, UIControlEvents events);
    void removeTarget(const id& target, SEL action, UIControlEvents events);
    Ref<NSSet> allTargets() const;
    UIControlEvents allControlEvents() const;
    // The actions (as selector names) for the target and one event; nil when none.
    Ref<NSArray> actionsForTarget(const id& target, UIControlEvents event) const;
    // Sends the actions registered for any of `events`, in the order they were added.
    void sendActionsForControlEvents(UIControlEvents events);
    // Through the application (UIApplication::sendAction).
    virtual void sendActionToTargetForEvent(SEL action, const id& target, const Ref<UIEvent>& event);

    bool isTracking() const { return m_tracking; }
    bool isTouchInside() const { return m_touchInside; }
    // The tracking methods, for controls that follow the finger. The defaults answer YES and do
    // nothing else.
    virtual bool beginTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event);
    virtual bool continueTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event);
    virtual void endTrackingWithTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event);
    virtual void cancelTrackingWithEvent(const Ref<UIEvent>& event);

    // A control handles its touches itself: they do not travel on up the responder chain.
    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    Ref<UIView> hitTest(CGPoint point, const Ref<UIEvent>& event) override;
    // Refuses a single-finger single tap recogniser of another view where a tap is the control's
    // own action (see defaultActionIsSingleTap).
    bool gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer) override;

    // Disabled and selected controls say so.
    UIAccessibilityTraits accessibilityTraits() const override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    // Called after a state bit changed (the default redraws and lays out again).
    virtual void stateDidChange();
    // Whether a single-finger single tap recogniser of an ancestor would take this control's own
    // action (buttons, switches, page controls answer YES): such a recogniser then does not
    // begin over the control. NO by default.
    virtual bool defaultActionIsSingleTap() const { return false; }

private:
    struct TargetAction {
        Weak<NSObject> target;
        bool hasTarget = false; // a nil target goes up the responder chain
        SEL action;
        UIControlEvents events = 0;
    };
    bool handleInside(const Ref<UITouch>& touch) const;
    void handleSendActions(UIControlEvents events, const Ref<UIEvent>& event);

    std::vector<TargetAction> m_actions;
    Ref<UITouch> m_trackedTouch;
    UIControlContentHorizontalAlignment m_horizontalAlignment = UIControlContentHorizontalAlignmentCenter;
    UIControlContentVerticalAlignment m_verticalAlignment = UIControlContentVerticalAlignmentCenter;
    bool m_enabled = true;
    bool m_selected = false;
    bool m_highlighted = false;
    bool m_tracking = false;
    bool m_touchInside = false;
};
