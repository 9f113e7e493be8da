#include "platform/ui/internal/TouchRouter.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSSet.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIEvent.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UIMenuController.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"

#include <algorithm>
#include <cmath>

namespace dv::internal::uikit {

namespace {

// Two taps make a double tap when the second lands this soon after the first lifts, this near.
constexpr NSTimeInterval kMultiTapInterval = 0.35;
constexpr CGFloat kMultiTapDistance = 44;

CGFloat distance(CGPoint a, CGPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

} // namespace

TouchRouter& TouchRouter::shared()
{
    static TouchRouter* s_shared = new TouchRouter();
    return *s_shared;
}

void TouchRouter::reset()
{
    DV_CHECK_MAIN_THREAD();
    m_active.clear();
    m_heldEnds.clear();
    m_event = nil;
    m_lastTapTime = -1;
    m_lastTapCount = 0;
}

TouchRouter::Active* TouchRouter::find(std::uint64_t id)
{
    auto it = std::find_if(m_active.begin(), m_active.end(), [&](auto& a) { return a.id == id; });
    return it == m_active.end() ? nullptr : &*it;
}

bool TouchRouter::exclusiveTouchBlocks(const Ref<UIView>& hitView) const
{
    if (m_active.empty())
        return false;
    if (hitView->isExclusiveTouch())
        return true;
    return std::any_of(m_active.begin(), m_active.end(), [&](auto& a) {
        return a.touch->view() && a.touch->view()->isExclusiveTouch() && a.touch->view() != hitView;
    });
}

std::uint64_t TouchRouter::begin(const Ref<UIWindow>& window, CGPoint windowPoint)
{
    DV_CHECK_MAIN_THREAD();
    if (!window)
        return 0;
    auto hit = window->hitTest(windowPoint, m_event);
    if (!hit || exclusiveTouchBlocks(hit))
        return 0;
    UIMenuController::sharedMenuController()->handleTouchLanded(hit);
    const NSTimeInterval now = Clock::current().now();
    auto touch = alloc<UITouch>();
    touch->m_view = hit;
    touch->m_window = window;
    touch->m_location = touch->m_previousLocation = touch->m_startLocation = windowPoint;
    touch->m_phase = UITouchPhaseBegan;
    touch->m_timestamp = now;
    const bool followsTap = m_lastTapTime >= 0 && now - m_lastTapTime <= kMultiTapInterval
        && distance(windowPoint, m_lastTapPoint) <= kMultiTapDistance;
    touch->m_tapCount = followsTap ? m_lastTapCount + 1 : 1;
    for (auto view = hit; view; view = view->superview())
        for (auto& recognizer : view->m_gestureRecognizers)
            touch->m_gestureRecognizers.push_back(recognizer);
    const std::uint64_t id = m_nextId++;
    m_active.push_back({id, touch});
    send(touch);
    return id;
}

bool TouchRouter::move(std::uint64_t id, CGPoint windowPoint, std::optional<NSTimeInterval> time)
{
    DV_CHECK_MAIN_THREAD();
    return change(id, UITouchPhaseMoved, windowPoint, true, time);
}

bool TouchRouter::end(std::uint64_t id, CGPoint windowPoint, std::optional<NSTimeInterval> time)
{
    DV_CHECK_MAIN_THREAD();
    return change(id, UITouchPhaseEnded, windowPoint, true, time);
}

bool TouchRouter::cancel(std::uint64_t id)
{
    DV_CHECK_MAIN_THREAD();
    return change(id, UITouchPhaseCancelled, {}, false);
}

bool TouchRouter::change(std::uint64_t id, int phase, CGPoint windowPoint, bool movesPoint, std::optional<NSTimeInterval> time)
{
    auto* active = find(id);
    if (!active)
        return false;
    auto touch = active->touch;
    const NSTimeInterval now = Clock::current().now();
    touch->m_phase = UITouchPhase(phase);
    touch->m_timestamp = time ? std::clamp(*time, std::min(touch->m_timestamp, now), now) : now;
    touch->m_previousLocation = touch->m_location;
    if (movesPoint)
        touch->m_location = windowPoint;
    const bool finishes = phase == UITouchPhaseEnded || phase == UITouchPhaseCancelled;
    if (phase == UITouchPhaseEnded) {
        m_lastTapTime = touch->m_timestamp;
        m_lastTapPoint = touch->m_location;
        m_lastTapCount = touch->m_tapCount;
    }
    send(touch);
    if (finishes)
        std::erase_if(m_active, [&](auto& a) { return a.id == id; });
    return true;
}

void TouchRouter::send(const Ref<UITouch>& changed)
{
    if (!m_event)
        m_event = alloc<UIEvent>();
    m_event->m_timestamp = changed->m_timestamp;
    m_event->m_touches.clear();
    for (auto& active : m_active) {
        if (active.touch != changed && active.touch->m_phase != UITouchPhaseEnded && active.touch->m_phase != UITouchPhaseCancelled)
            active.touch->m_phase = UITouchPhaseStationary;
        m_event->m_touches.push_back(active.touch);
    }
    // The event is reused for the next change; keep this one's touches for the call.
    auto event = m_event;
    UIApplication::sharedApplication()->sendEvent(event);
}

void TouchRouter::deliver(UIWindow& window, const Ref<UIEvent>& event)
{
    DV_CHECK_MAIN_THREAD();
    std::vector<Ref<UITouch>> changed;
    int phase = UITouchPhaseStationary;
    for (auto& touch : event->m_touches) {
        if (touch->window().get() != &window || touch->m_phase == UITouchPhaseStationary || !touch->view())
            continue;
        phase = touch->m_phase;
        changed.push_back(touch);
    }
    if (changed.empty())
        return;
    deliverToRecognizers(changed, phase, event);
    deliverToViews(changed, phase, event);
    if (phase == UITouchPhaseEnded || phase == UITouchPhaseCancelled)
        finishTouches(changed);
}

void TouchRouter::deliverToViews(const std::vector<Ref<UITouch>>& touches, int phase, const Ref<UIEvent>& event)
{
    // Grouped by hit view, in the order the touches went down.
    std::vector<std::pair<Ref<UIView>, std::vector<id>>> groups;
    for (auto& touch : touches) {
        if (touch->m_cancelledForView || (phase != UITouchPhaseBegan && !touch->m_viewBegan))
            continue;
        if (phase == UITouchPhaseBegan)
            touch->m_viewBegan = true;
        if (phase == UITouchPhaseEnded && endIsHeld(*touch)) {
            m_heldEnds.push_back(touch);
            continue;
        }
        auto it = std::find_if(groups.begin(), groups.end(), [&](auto& g) { return g.first == touch->view(); });
        if (it == groups.end())
            groups.push_back({touch->view(), {touch}});
        else
            it->second.push_back(touch);
    }
    for (auto& [view, group] : groups) {
        auto set = NSSet::setWithArray(NSArray::fromVector(group));
        switch (phase) {
        case UITouchPhaseBegan:
            view->touchesBegan(set, event);
            break;
        case UITouchPhaseMoved:
            view->touchesMoved(set, event);
            break;
        case UITouchPhaseEnded:
            view->touchesEnded(set, event);
            break;
        case UITouchPhaseCancelled:
            view->touchesCancelled(set, event);
            break;
        default:
            break;
        }
    }
}

} // namespace dv::internal::uikit
