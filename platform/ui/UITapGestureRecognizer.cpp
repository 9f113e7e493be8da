#include "platform/ui/UITapGestureRecognizer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/ui/UITouch.h"

#include <cmath>

DV_DEFINE_CLASS(UITapGestureRecognizer)

namespace {

constexpr CGFloat kAllowableMovement = 10;
constexpr NSTimeInterval kNextTapInterval = 0.35;
constexpr CGFloat kNextTapDistance = 44;

} // namespace

UITapGestureRecognizer::~UITapGestureRecognizer() { stopWaiting(); }

void UITapGestureRecognizer::stopWaiting()
{
    if (m_waitForNextTap)
        m_waitForNextTap->invalidate();
    m_waitForNextTap = nil;
}

void UITapGestureRecognizer::touchesBegan(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    stopWaiting();
    const CGPoint here = locationInView(nil);
    if (m_tapsDone == 0 && m_fingersThisTap == 0)
        m_firstTap = here;
    else if (m_tapsDone > 0 && std::hypot(here.x - m_firstTap.x, here.y - m_firstTap.y) > kNextTapDistance) {
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    m_fingersThisTap = std::max<NSUInteger>(m_fingersThisTap, trackedTouches().size());
    if (m_fingersThisTap > m_touchesRequired)
        setState(UIGestureRecognizerStateFailed);
}

void UITapGestureRecognizer::touchesMoved(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    if (largestMovement() > kAllowableMovement)
        setState(UIGestureRecognizerStateFailed);
}

void UITapGestureRecognizer::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    if (largestMovement() > kAllowableMovement) {
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    if (touches->count() < trackedTouches().size())
        return; // fingers are still down
    if (m_fingersThisTap != m_touchesRequired) {
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    m_fingersThisTap = 0;
    if (++m_tapsDone >= m_tapsRequired) {
        setState(UIGestureRecognizerStateRecognized);
        return;
    }
    Weak<UITapGestureRecognizer> weak = self<UITapGestureRecognizer>();
    m_waitForNextTap = NSTimer::timerWithTimeInterval(kNextTapInterval, false, [weak](const Ref<NSTimer>&) {
        if (auto me = weak.lock(); me && me->state() == UIGestureRecognizerStatePossible)
            me->setState(UIGestureRecognizerStateFailed);
    });
    NSRunLoop::mainRunLoop()->addTimer(m_waitForNextTap, NSRunLoopCommonModes);
}

void UITapGestureRecognizer::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&) { setState(UIGestureRecognizerStateFailed); }

void UITapGestureRecognizer::reset()
{
    UIGestureRecognizer::reset();
    stopWaiting();
    m_tapsDone = 0;
    m_fingersThisTap = 0;
}
