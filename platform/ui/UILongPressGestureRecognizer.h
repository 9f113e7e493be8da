// UILongPressGestureRecognizer: a continuous gesture that begins once the required fingers have
// stayed down for minimumPressDuration (0.5 seconds, on the process clock) without moving more
// than allowableMovement (10 points); it then changes as they move and ends when they lift. A lift
// or a larger movement before that makes it fail. With numberOfTapsRequired above 0 that many
// taps come first (each within 0.35 seconds of the last), the press being the next touch.
//
//   auto press = alloc<UILongPressGestureRecognizer>()->initWithTarget(self(), "longpressAct:");
//   imageView->addGestureRecognizer(press);
#pragma once

#include "platform/ui/UIGestureRecognizer.h"

class NSTimer;

class UILongPressGestureRecognizer : public UIGestureRecognizer {
    DV_CLASS(UILongPressGestureRecognizer, UIGestureRecognizer)

    UILongPressGestureRecognizer() = default;
    ~UILongPressGestureRecognizer() override;

    NSTimeInterval minimumPressDuration() const { return m_minimumPressDuration; }
    void setMinimumPressDuration(NSTimeInterval duration) { m_minimumPressDuration = std::max<NSTimeInterval>(duration, 0); }
    CGFloat allowableMovement() const { return m_allowableMovement; }
    void setAllowableMovement(CGFloat movement) { m_allowableMovement = std::max<CGFloat>(movement, 0); }
    NSUInteger numberOfTouchesRequired() const { return m_touchesRequired; }
    void setNumberOfTouchesRequired(NSUInteger touches) { m_touchesRequired = std::max<NSUInteger>(touches, 1); }
    NSUInteger numberOfTapsRequired() const { return m_tapsRequired; }
    void setNumberOfTapsRequired(NSUInteger taps) { m_tapsRequired = taps; }

    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void reset() override;

private:
    void startTimer(NSTimeInterval interval, bool pressing);
    void stopTimer();

    NSTimeInterval m_minimumPressDuration = 0.5;
    CGFloat m_allowableMovement = 10;
    NSUInteger m_touchesRequired = 1;
    NSUInteger m_tapsRequired = 0;
    NSUInteger m_tapsDone = 0;
    Ref<NSTimer> m_timer; // the press timer, or between taps the wait for the next one
};
