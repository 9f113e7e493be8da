// UIGestureRecognizer: turns the touches that land in a view (or its subviews) into a gesture and
// tells its targets. A view owns the recognisers added to it; a recogniser refers to its view,
// its targets and its delegate weakly. Main thread only.
//
// Touches reach the recognisers of their hit view and its ancestors before they reach the view
// (see internal/TouchRouter.h), each recogniser only when its delegate does not refuse the touch
// (gestureRecognizerShouldReceiveTouch). A recogniser moves from possible to began (continuous
// gestures: pan, long press) or straight to ended (discrete ones: tap), then changed, ended or
// cancelled; or it fails. Before it begins, the views the touches landed in
// (UIView::gestureRecognizerShouldBegin) and its delegate may refuse; a recogniser that shares a
// touch with one that has already begun fails unless one of the two delegates lets them run
// together. When one begins, the others that share its touches and may not run with it fail, and
// with cancelsTouchesInView (the default) the views get touchesCancelled for its touches and hear
// no more of them. A touch's lift reaches the view only once no recogniser that delays it
// (delaysTouchesEnded) can still recognise. Targets get their action (with no argument or the
// recogniser) at began, changed, ended and cancelled. After the gesture's touches are gone the
// recogniser is reset to possible. The state is observable (key "state"), every change included.
//
//   auto tap = alloc<UITapGestureRecognizer>()->initWithTarget(self(), "handleTap:");
//   label->addGestureRecognizer(tap);
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"
#include "platform/ui/Forward.h"

#include <optional>
#include <vector>

enum UIGestureRecognizerState : NSInteger {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
    UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

// The delegate protocol; every method is optional (nullopt: not implemented, the default holds).
class UIGestureRecognizerDelegate {
public:
    virtual ~UIGestureRecognizerDelegate() = default;

    // Default YES.
    virtual std::optional<bool> gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>&) { return std::nullopt; }
    // Asked when the touch lands, before the recogniser sees it; NO leaves the touch to the
    // views. Default YES.
    virtual std::optional<bool> gestureRecognizerShouldReceiveTouch(const Ref<UIGestureRecognizer>&, const Ref<UITouch>&)
    {
        return std::nullopt;
    }
    // Whether the recogniser may run together with `other`; either side's YES is enough.
    // Default NO.
    virtual std::optional<bool> gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(const Ref<UIGestureRecognizer>&,
        const Ref<UIGestureRecognizer>& other)
    {
        (void)other;
        return std::nullopt;
    }
};

class UIGestureRecognizer : public NSObject, public dv::Observable {
    DV_CLASS(UIGestureRecognizer, NSObject)

    UIGestureRecognizer();
    ~UIGestureRecognizer() override;
    Ref<UIGestureRecognizer> init();
    Ref<UIGestureRecognizer> initWithTarget(const id& target, SEL action);

    // Targets are held weakly; the same pair is added once. removeTarget with a nil target
    // removes the action for every target, with a null action every action of the target.
    void addTarget(const id& target, SEL action);
    void removeTarget(const id& target, SEL action);

    UIGestureRecognizerState state() const { return m_state; }
    // The view the recogniser is attached to; nil before addGestureRecognizer.
    Ref<UIView> view() const { return m_view.lock(); }
    // Disabling a recogniser during its gesture cancels it (fails it while still possible).
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    Ref<UIGestureRecognizerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIGestureRecognizerDelegate>& delegate) { m_delegate = delegate; }
    bool cancelsTouchesInView() const { return m_cancelsTouchesInView; }
    void setCancelsTouchesInView(bool cancels) { m_cancelsTouchesInView = cancels; }
    bool delaysTouchesEnded() const { return m_delaysTouchesEnded; }
    void setDelaysTouchesEnded(bool delays) { m_delaysTouchesEnded = delays; }

    // Where the gesture is: the centre of its touches (the last place they were once they have
    // lifted), in the view's coordinates (nil: the window's).
    virtual CGPoint locationInView(const Ref<UIView>& view) const;
    NSUInteger numberOfTouches() const { return m_touches.size(); }
    CGPoint locationOfTouchInView(NSUInteger index, const Ref<UIView>& view) const;

    // What subclasses build on (the platform's subclassing interface). A subclass follows its
    // touches in the touch methods and moves the state with setState; reset clears its own state
    // (it calls the superclass's).
    virtual void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void reset();
    // Whether this recogniser, once begun, makes `other` fail; and whether `other` makes this one
    // fail. YES by default.
    virtual bool canPreventGestureRecognizer(const Ref<UIGestureRecognizer>& other) const;
    virtual bool canBePreventedByGestureRecognizer(const Ref<UIGestureRecognizer>& other) const;
    // Moves the state, asking the views and the delegate first when the gesture would begin.
    void setState(UIGestureRecognizerState state);
    // Stops following `touch`; it goes on to the view as if the recogniser had never taken it.
    void ignoreTouch(const Ref<UITouch>& touch, const Ref<UIEvent>& event);

    Ref<NSString> description() const override;

protected:
    // The touches the recogniser follows now, oldest first.
    const std::vector<Ref<UITouch>>& trackedTouches() const { return m_touches; }
    // How far (in window points) the followed touch that moved most is from where it landed.
    CGFloat largestMovement() const;

private:
    friend class UIView;
    friend class dv::internal::uikit::TouchRouter;

    struct Target {
        Weak<NSObject> target;
        SEL action;
    };

    bool handleMayBegin();
    void handleSendActions();
    void handleRemovedFromView();
    void handleReset();

    Weak<UIView> m_view;
    Weak<UIGestureRecognizerDelegate> m_delegate;
    std::vector<Target> m_targets;
    std::vector<Ref<UITouch>> m_touches;
    CGPoint m_lastLocation {}; // window coordinates, kept when the touches lift
    UIGestureRecognizerState m_state = UIGestureRecognizerStatePossible;
    bool m_enabled = true;
    bool m_cancelsTouchesInView = true;
    bool m_delaysTouchesEnded = true;
};
