// UITapGestureRecognizer: a discrete gesture of one or more taps with a number of fingers. It
// recognises (ended) when the last finger of the required tap lifts; it fails when a finger moves
// more than 10 points from where it landed, when more fingers than required come down, when the
// next tap of a multiple tap does not land within 0.35 seconds and 44 points of the first, or when
// its touches are cancelled.
//
//   auto tap = alloc<UITapGestureRecognizer>()->initWithTarget(self(), "handleTap:");
//   tap->setNumberOfTapsRequired(2);
#pragma once

#include "platform/ui/UIGestureRecognizer.h"

class NSTimer;

class UITapGestureRecognizer : public UIGestureRecognizer {
    DV_CLASS(UITapGestureRecognizer, UIGestureRecognizer)

    UITapGestureRecognizer() = default;
    ~UITapGestureRecognizer() override;

    NSUInteger numberOfTapsRequired() const { return m_tapsRequired; }
    void setNumberOfTapsRequired(NSUInteger taps) { m_tapsRequired = std::max<NSUInteger>(taps, 1); }
    NSUInteger numberOfTouchesRequired() const { return m_touchesRequired; }
    void setNumberOfTouchesRequired(NSUInteger touches) { m_touchesRequired = std::max<NSUInteger>(touches, 1); }

    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void reset() override;

private:
    void stopWaiting();

    NSUInteger m_tapsRequired = 1;
    NSUInteger m_touchesRequired = 1;
    NSUInteger m_tapsDone = 0;
    NSUInteger m_fingersThisTap = 0; // the most fingers down together during this tap
    CGPoint m_firstTap {};           // window coordinates
    Ref<NSTimer> m_waitForNextTap;
};
