// UIPanGestureRecognizer: a continuous gesture of fingers dragging. It begins once the centre of
// its touches has moved more than 10 points from where they landed, with at least the minimum and
// at most the maximum number of fingers down (more fingers than the maximum make it fail before
// it begins and are ignored after); it changes on every move and ends when the last finger lifts.
// The translation counts from where the fingers landed (setTranslation moves that origin); the
// velocity is the movement of the last 0.1 seconds of clock time, in points per second.
//
//   auto pan = alloc<UIPanGestureRecognizer>()->initWithTarget(self(), "handlePan:");
//   pan->setMaximumNumberOfTouches(1);
//   CGPoint moved = pan->translationInView(pan->view());
#pragma once

#include "platform/ui/UIGestureRecognizer.h"

#include <limits>
#include <vector>

class UIPanGestureRecognizer : public UIGestureRecognizer {
    DV_CLASS(UIPanGestureRecognizer, UIGestureRecognizer)

    UIPanGestureRecognizer() = default;

    NSUInteger minimumNumberOfTouches() const { return m_minimumTouches; }
    void setMinimumNumberOfTouches(NSUInteger touches) { m_minimumTouches = std::max<NSUInteger>(touches, 1); }
    NSUInteger maximumNumberOfTouches() const { return m_maximumTouches; }
    void setMaximumNumberOfTouches(NSUInteger touches) { m_maximumTouches = touches; }

    // In the coordinates of `view` (nil: the window's).
    CGPoint translationInView(const Ref<UIView>& view) const;
    void setTranslation(CGPoint translation, const Ref<UIView>& view);
    CGPoint velocityInView(const Ref<UIView>& view) const;

    void touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void reset() override;

private:
    struct Sample {
        NSTimeInterval time;
        CGPoint point; // the summed translation then, window coordinates
    };
    void addSample(NSTimeInterval time);

    NSUInteger m_minimumTouches = 1;
    NSUInteger m_maximumTouches = std::numeric_limits<NSUInteger>::max();
    CGPoint m_translation {}; // window coordinates
    std::vector<Sample> m_samples;
};
