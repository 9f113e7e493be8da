// The recogniser side of the touch router: handing touches to recognisers, arbitration between
// them, and taking touches from views.
#include "platform/ui/internal/TouchRouter.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSSet.h"
#include "platform/dispatch/MainThreadCheck.h"
#include "platform/ui/UIEvent.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIView.h"

#include <algorithm>

namespace dv::internal::uikit {

namespace {

bool isFinished(UIGestureRecognizerState state)
{
    return state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled || state == UIGestureRecognizerStateFailed;
}

bool mayRunTogether(const Ref<UIGestureRecognizer>& a, const Ref<UIGestureRecognizer>& b)
{
    if (auto d = a->delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(a, b).value_or(false))
        return true;
    if (auto d = b->delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(b, a).value_or(false))
        return true;
    return false;
}

} // namespace

// The other recognisers that took one of the touches `touches`, each once.
std::vector<Ref<UIGestureRecognizer>> TouchRouter::sharing(const UIGestureRecognizer& recognizer, const std::vector<Ref<UITouch>>& touches)
{
    std::vector<Ref<UIGestureRecognizer>> others;
    for (auto& touch : touches)
        for (auto& weak : touch->m_receivers)
            if (auto other = weak.lock(); other && other.get() != &recognizer && std::find(others.begin(), others.end(), other) == others.end())
                others.push_back(other);
    return others;
}

namespace {

template <class Touches>
void groupByView(const Touches& touches, std::vector<std::pair<Ref<UIView>, std::vector<id>>>& groups)
{
    for (auto& touch : touches) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](auto& g) { return g.first == touch->view(); });
        if (it == groups.end())
            groups.push_back({touch->view(), {touch}});
        else
            it->second.push_back(touch);
    }
}

} // namespace

void TouchRouter::deliverToRecognizers(const std::vector<Ref<UITouch>>& touches, int phase, const Ref<UIEvent>& event)
{
    std::vector<std::pair<Ref<UIGestureRecognizer>, std::vector<id>>> groups;
    auto add = [&](const Ref<UIGestureRecognizer>& recognizer, const Ref<UITouch>& touch) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](auto& g) { return g.first == recognizer; });
        if (it == groups.end())
            groups.push_back({recognizer, {touch}});
        else
            it->second.push_back(touch);
    };
    for (auto& touch : touches) {
        if (phase != UITouchPhaseBegan) {
            for (auto& weak : touch->m_receivers)
                if (auto recognizer = weak.lock())
                    add(recognizer, touch);
            continue;
        }
        for (auto& weak : touch->m_gestureRecognizers) {
            auto recognizer = weak.lock();
            if (!recognizer || !recognizer->isEnabled() || !recognizer->view() || isFinished(recognizer->state()))
                continue;
            if (auto delegate = recognizer->delegate(); delegate && !delegate->gestureRecognizerShouldReceiveTouch(recognizer, touch).value_or(true))
                continue;
            touch->m_receivers.push_back(recognizer);
            recognizer->m_touches.push_back(touch);
            add(recognizer, touch);
        }
    }
    for (auto& [recognizer, group] : groups) {
        // An earlier recogniser of this event may have made this one fail.
        if (!recognizer->isEnabled() || isFinished(recognizer->state()))
            continue;
        auto set = NSSet::setWithArray(NSArray::fromVector(group));
        switch (phase) {
        case UITouchPhaseBegan:
            recognizer->touchesBegan(set, event);
            break;
        case UITouchPhaseMoved:
            recognizer->touchesMoved(set, event);
            break;
        case UITouchPhaseEnded:
            recognizer->touchesEnded(set, event);
            break;
        case UITouchPhaseCancelled:
            recognizer->touchesCancelled(set, event);
            break;
        default:
            break;
        }
    }
}

void TouchRouter::finishTouches(const std::vector<Ref<UITouch>>& touches)
{
    std::vector<Ref<UIGestureRecognizer>> touched;
    for (auto& touch : touches)
        for (auto& weak : touch->m_receivers) {
            auto recognizer = weak.lock();
            if (!recognizer)
                continue;
            recognizer->m_lastLocation = recognizer->locationInView(nil);
            std::erase(recognizer->m_touches, touch);
            if (std::find(touched.begin(), touched.end(), recognizer) == touched.end())
                touched.push_back(recognizer);
        }
    for (auto& recognizer : touched)
        if (recognizer->m_touches.empty() && isFinished(recognizer->state()))
            recognizer->handleReset();
}

bool TouchRouter::endIsHeld(const UITouch& touch) const
{
    return std::any_of(touch.m_receivers.begin(), touch.m_receivers.end(), [](auto& weak) {
        auto recognizer = weak.lock();
        return recognizer && recognizer->isEnabled() && recognizer->delaysTouchesEnded()
            && recognizer->state() == UIGestureRecognizerStatePossible;
    });
}

bool TouchRouter::gestureMayBegin(UIGestureRecognizer& recognizer) const
{
    auto me = recognizer.self<UIGestureRecognizer>();
    for (auto& other : sharing(recognizer, recognizer.m_touches)) {
        const auto state = other->state();
        if (state != UIGestureRecognizerStateBegan && state != UIGestureRecognizerStateChanged)
            continue;
        if (!mayRunTogether(other, me) && other->canPreventGestureRecognizer(me) && me->canBePreventedByGestureRecognizer(other))
            return false;
    }
    return true;
}

void TouchRouter::handleGestureBegan(UIGestureRecognizer& recognizer)
{
    DV_CHECK_MAIN_THREAD();
    auto me = recognizer.self<UIGestureRecognizer>();
    // The lifts it held belong to its gesture too.
    std::vector<Ref<UITouch>> touches = recognizer.m_touches;
    for (auto& held : m_heldEnds)
        for (auto& weak : held->m_receivers)
            if (weak.lock() == me)
                touches.push_back(held);
    for (auto& other : sharing(recognizer, touches))
        if (other->state() == UIGestureRecognizerStatePossible && !mayRunTogether(me, other) && me->canPreventGestureRecognizer(other)
            && other->canBePreventedByGestureRecognizer(me))
            other->setState(UIGestureRecognizerStateFailed);
    if (!recognizer.cancelsTouchesInView())
        return;
    std::vector<Ref<UITouch>> taken;
    for (auto& touch : touches) {
        if (touch->m_cancelledForView)
            continue;
        touch->m_cancelledForView = true;
        if (touch->m_viewBegan && touch->view())
            taken.push_back(touch);
    }
    std::erase_if(m_heldEnds, [](auto& touch) { return touch->m_cancelledForView; });
    if (taken.empty())
        return;
    auto event = alloc<UIEvent>();
    event->m_touches = taken;
    event->m_timestamp = taken.back()->m_timestamp;
    std::vector<std::pair<Ref<UIView>, std::vector<id>>> groups;
    groupByView(taken, groups);
    for (auto& [view, group] : groups)
        view->touchesCancelled(NSSet::setWithArray(NSArray::fromVector(group)), event);
}

void TouchRouter::releaseHeldEnds()
{
    DV_CHECK_MAIN_THREAD();
    if (m_heldEnds.empty())
        return;
    std::vector<Ref<UITouch>> released;
    std::erase_if(m_heldEnds, [&](const Ref<UITouch>& touch) {
        if (touch->m_cancelledForView)
            return true;
        if (endIsHeld(*touch))
            return false;
        released.push_back(touch);
        return true;
    });
    if (released.empty())
        return;
    auto event = alloc<UIEvent>();
    event->m_touches = released;
    event->m_timestamp = released.back()->m_timestamp;
    std::vector<std::pair<Ref<UIView>, std::vector<id>>> groups;
    groupByView(released, groups);
    for (auto& [view, group] : groups)
        view->touchesEnded(NSSet::setWithArray(NSArray::fromVector(group)), event);
}

void TouchRouter::forgetRecognizer(UIGestureRecognizer& recognizer)
{
    DV_CHECK_MAIN_THREAD();
    auto forget = [&](UITouch& touch) {
        std::erase_if(touch.m_receivers, [&](auto& weak) {
            auto held = weak.lock();
            return !held || held.get() == &recognizer;
        });
    };
    for (auto& active : m_active)
        forget(*active.touch);
    for (auto& touch : m_heldEnds)
        forget(*touch);
    releaseHeldEnds();
}

} // namespace dv::internal::uikit
