#include "platform/ui/UILongPressGestureRecognizer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"

DV_DEFINE_CLASS(UILongPressGestureRecognizer)

namespace {

constexpr NSTimeInterval kNextTapInterval = 0.35;

bool isActive(UIGestureRecognizerState state) { return state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged; }

} // namespace

UILongPressGestureRecognizer::~UILongPressGestureRecognizer() { stopTimer(); }

void UILongPressGestureRecognizer::stopTimer()
{
    if (m_timer)
        m_timer->invalidate();
    m_timer = nil;
}

void UILongPressGestureRecognizer::startTimer(NSTimeInterval interval, bool pressing)
{
    stopTimer();
    Weak<UILongPressGestureRecognizer> weak = self<UILongPressGestureRecognizer>();
    m_timer = NSTimer::timerWithTimeInterval(interval, false, [weak, pressing](const Ref<NSTimer>&) {
        auto me = weak.lock();
        if (!me || me->state() != UIGestureRecognizerStatePossible)
            return;
        me->m_timer = nil;
        me->setState(pressing ? UIGestureRecognizerStateBegan : UIGestureRecognizerStateFailed);
    });
    NSRunLoop::mainRunLoop()->addTimer(m_timer, NSRunLoopCommonModes);
}

void UILongPressGestureRecognizer::touchesBegan(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    if (state() != UIGestureRecognizerStatePossible)
        return; // extra fingers of a running press are followed, not counted
    const NSUInteger down = trackedTouches().size();
    if (down > m_touchesRequired) {
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    if (down == m_touchesRequired)
        startTimer(m_minimumPressDuration, m_tapsDone >= m_tapsRequired);
    else
        stopTimer();
}

void UILongPressGestureRecognizer::touchesMoved(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    if (isActive(state()))
        setState(UIGestureRecognizerStateChanged);
    else if (state() == UIGestureRecognizerStatePossible && largestMovement() > m_allowableMovement)
        setState(UIGestureRecognizerStateFailed);
}

void UILongPressGestureRecognizer::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    if (isActive(state())) {
        if (trackedTouches().size() - touches->count() < m_touchesRequired)
            setState(UIGestureRecognizerStateEnded);
        return;
    }
    // A lift before the press: one of the leading taps, or the end of the gesture.
    if (touches->count() < trackedTouches().size()) {
        stopTimer(); // too few fingers left to press
        return;
    }
    if (m_tapsDone < m_tapsRequired && largestMovement() <= m_allowableMovement) {
        ++m_tapsDone;
        startTimer(kNextTapInterval, false);
        return;
    }
    setState(UIGestureRecognizerStateFailed);
}

void UILongPressGestureRecognizer::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    setState(isActive(state()) ? UIGestureRecognizerStateCancelled : UIGestureRecognizerStateFailed);
}

void UILongPressGestureRecognizer::reset()
{
    UIGestureRecognizer::reset();
    stopTimer();
    m_tapsDone = 0;
}
