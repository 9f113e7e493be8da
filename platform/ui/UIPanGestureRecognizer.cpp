#include "platform/ui/UIPanGestureRecognizer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIView.h"

#include <cmath>

DV_DEFINE_CLASS(UIPanGestureRecognizer)

namespace {

constexpr CGFloat kHysteresis = 10;
constexpr NSTimeInterval kVelocityWindow = 0.1;

bool isActive(UIGestureRecognizerState state) { return state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged; }

// A vector in window coordinates as seen in `view` (and back).
CGPoint vectorToView(CGPoint vector, const Ref<UIView>& view)
{
    if (!view)
        return vector;
    const CGPoint a = view->convertPointFromView(CGPointZero, nil), b = view->convertPointFromView(vector, nil);
    return CGPointMake(b.x - a.x, b.y - a.y);
}

CGPoint vectorFromView(CGPoint vector, const Ref<UIView>& view)
{
    if (!view)
        return vector;
    const CGPoint a = view->convertPointToView(CGPointZero, nil), b = view->convertPointToView(vector, nil);
    return CGPointMake(b.x - a.x, b.y - a.y);
}

} // namespace

CGPoint UIPanGestureRecognizer::translationInView(const Ref<UIView>& view) const { return vectorToView(m_translation, view); }

void UIPanGestureRecognizer::setTranslation(CGPoint translation, const Ref<UIView>& view)
{
    const CGPoint before = m_translation;
    m_translation = vectorFromView(translation, view);
    // The velocity samples move with the origin, so the speed is not disturbed.
    for (auto& sample : m_samples) {
        sample.point.x += m_translation.x - before.x;
        sample.point.y += m_translation.y - before.y;
    }
}

CGPoint UIPanGestureRecognizer::velocityInView(const Ref<UIView>& view) const
{
    if (m_samples.size() < 2)
        return CGPointZero;
    const Sample& last = m_samples.back();
    const Sample* first = &last;
    for (auto it = m_samples.rbegin(); it != m_samples.rend() && last.time - it->time <= kVelocityWindow; ++it)
        first = &*it;
    const NSTimeInterval dt = last.time - first->time;
    if (dt <= 0)
        return CGPointZero;
    return vectorToView(CGPointMake((last.point.x - first->point.x) / dt, (last.point.y - first->point.y) / dt), view);
}

void UIPanGestureRecognizer::addSample(NSTimeInterval time)
{
    m_samples.push_back({time, m_translation});
    // Only the recent ones count.
    while (m_samples.size() > 2 && time - m_samples[1].time > kVelocityWindow)
        m_samples.erase(m_samples.begin());
}

void UIPanGestureRecognizer::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (trackedTouches().size() <= m_maximumTouches) {
        NSTimeInterval time = 0;
        for (auto& item : touches->items())
            time = std::max(time, std::static_pointer_cast<UITouch>(item)->timestamp());
        addSample(time);
        return;
    }
    if (!isActive(state())) {
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    for (auto& item : touches->items())
        ignoreTouch(std::static_pointer_cast<UITouch>(item), event);
}

void UIPanGestureRecognizer::touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    // The centre of the fingers moves by the sum of the moves over their number.
    CGPoint sum = CGPointZero;
    NSTimeInterval time = 0;
    for (auto& item : touches->items()) {
        auto touch = std::static_pointer_cast<UITouch>(item);
        const CGPoint now = touch->locationInView(nil), before = touch->previousLocationInView(nil);
        sum.x += now.x - before.x;
        sum.y += now.y - before.y;
        time = std::max(time, touch->timestamp());
    }
    const CGFloat count = CGFloat(std::max<std::size_t>(trackedTouches().size(), 1));
    m_translation.x += sum.x / count;
    m_translation.y += sum.y / count;
    addSample(time);
    if (isActive(state())) {
        setState(UIGestureRecognizerStateChanged);
        return;
    }
    if (trackedTouches().size() >= m_minimumTouches && std::hypot(m_translation.x, m_translation.y) > kHysteresis)
        setState(UIGestureRecognizerStateBegan);
}

void UIPanGestureRecognizer::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>&)
{
    NSTimeInterval time = 0;
    for (auto& item : touches->items())
        time = std::max(time, std::static_pointer_cast<UITouch>(item)->timestamp());
    addSample(time);
    if (touches->count() < trackedTouches().size())
        return; // fingers are still down
    setState(isActive(state()) ? UIGestureRecognizerStateEnded : UIGestureRecognizerStateFailed);
}

void UIPanGestureRecognizer::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&)
{
    setState(isActive(state()) ? UIGestureRecognizerStateCancelled : UIGestureRecognizerStateFailed);
}

void UIPanGestureRecognizer::reset()
{
    UIGestureRecognizer::reset();
    m_translation = CGPointZero;
    m_samples.clear();
}
