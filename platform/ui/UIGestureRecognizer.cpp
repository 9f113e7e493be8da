#include "platform/ui/UIGestureRecognizer.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIView.h"
#include "platform/ui/internal/ActionSending.h"
#include "platform/ui/internal/TouchRouter.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS_WITH(UIGestureRecognizer, b)
{
    b.property<NSInteger>("state", "Tq,R,N", [](const UIGestureRecognizer& g) { return NSInteger(g.state()); });
    b.property<bool>("enabled", "TB,N,GisEnabled", [](const UIGestureRecognizer& g) { return g.isEnabled(); },
        [](UIGestureRecognizer& g, bool enabled) { g.setEnabled(enabled); });
}

namespace {

bool isTerminal(UIGestureRecognizerState state)
{
    return state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled || state == UIGestureRecognizerStateFailed;
}

} // namespace

UIGestureRecognizer::UIGestureRecognizer() = default;

UIGestureRecognizer::~UIGestureRecognizer() = default;

Ref<UIGestureRecognizer> UIGestureRecognizer::init() { return self<UIGestureRecognizer>(); }

Ref<UIGestureRecognizer> UIGestureRecognizer::initWithTarget(const id& target, SEL action)
{
    addTarget(target, action);
    return self<UIGestureRecognizer>();
}

void UIGestureRecognizer::addTarget(const id& target, SEL action)
{
    if (!target || !action)
        return;
    for (auto& t : m_targets)
        if (t.action == action && t.target.lock() == target)
            return;
    m_targets.push_back({target, action});
}

void UIGestureRecognizer::removeTarget(const id& target, SEL action)
{
    std::erase_if(m_targets, [&](const Target& t) {
        auto held = t.target.lock();
        return (!target || held == target) && (!action || t.action == action);
    });
}

void UIGestureRecognizer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    changeValueForKey("enabled", [&] { m_enabled = enabled; });
    if (enabled)
        return;
    if (m_state == UIGestureRecognizerStateBegan || m_state == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateCancelled);
    else if (m_state == UIGestureRecognizerStatePossible && !m_touches.empty())
        setState(UIGestureRecognizerStateFailed);
}

CGPoint UIGestureRecognizer::locationInView(const Ref<UIView>& view) const
{
    CGPoint point = m_lastLocation;
    if (!m_touches.empty()) {
        point = CGPointZero;
        for (auto& touch : m_touches) {
            const CGPoint p = touch->locationInView(nil);
            point.x += p.x;
            point.y += p.y;
        }
        point.x /= CGFloat(m_touches.size());
        point.y /= CGFloat(m_touches.size());
    }
    return view ? view->convertPointFromView(point, nil) : point;
}

CGPoint UIGestureRecognizer::locationOfTouchInView(NSUInteger index, const Ref<UIView>& view) const
{
    if (index >= m_touches.size())
        return CGPointZero;
    return m_touches[index]->locationInView(view);
}

CGFloat UIGestureRecognizer::largestMovement() const
{
    CGFloat largest = 0;
    for (auto& touch : m_touches)
        largest = std::max(largest, std::hypot(touch->m_location.x - touch->m_startLocation.x, touch->m_location.y - touch->m_startLocation.y));
    return largest;
}

void UIGestureRecognizer::touchesBegan(const Ref<NSSet>&, const Ref<UIEvent>&) { }
void UIGestureRecognizer::touchesMoved(const Ref<NSSet>&, const Ref<UIEvent>&) { }
void UIGestureRecognizer::touchesEnded(const Ref<NSSet>&, const Ref<UIEvent>&) { }
void UIGestureRecognizer::touchesCancelled(const Ref<NSSet>&, const Ref<UIEvent>&) { }
void UIGestureRecognizer::reset() { }

bool UIGestureRecognizer::canPreventGestureRecognizer(const Ref<UIGestureRecognizer>&) const { return true; }
bool UIGestureRecognizer::canBePreventedByGestureRecognizer(const Ref<UIGestureRecognizer>&) const { return true; }

void UIGestureRecognizer::setState(UIGestureRecognizerState state)
{
    const UIGestureRecognizerState old = m_state;
    const bool begins = old == UIGestureRecognizerStatePossible
        && (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateEnded);
    if (begins && !handleMayBegin())
        state = UIGestureRecognizerStateFailed;
    if (state == old && state != UIGestureRecognizerStateChanged)
        return;
    auto keep = self<UIGestureRecognizer>(); // targets may drop the last reference
    changeValueForKey("state", [&] { m_state = state; });
    auto& router = dv::internal::uikit::TouchRouter::shared();
    if (begins && state != UIGestureRecognizerStateFailed)
        router.handleGestureBegan(*this);
    if (state != UIGestureRecognizerStateFailed && state != UIGestureRecognizerStatePossible)
        handleSendActions();
    if (old == UIGestureRecognizerStatePossible)
        router.releaseHeldEnds();
    if (isTerminal(m_state) && m_touches.empty())
        handleReset();
}

void UIGestureRecognizer::ignoreTouch(const Ref<UITouch>& touch, const Ref<UIEvent>&)
{
    if (!touch || std::find(m_touches.begin(), m_touches.end(), touch) == m_touches.end())
        return;
    std::erase(m_touches, touch);
    std::erase_if(touch->m_receivers, [&](auto& weak) {
        auto held = weak.lock();
        return !held || held.get() == this;
    });
}

bool UIGestureRecognizer::handleMayBegin()
{
    if (!m_enabled || !dv::internal::uikit::TouchRouter::shared().gestureMayBegin(*this))
        return false;
    auto me = self<UIGestureRecognizer>();
    std::vector<UIView*> asked;
    for (auto& touch : m_touches) {
        auto view = touch->view();
        if (!view || std::find(asked.begin(), asked.end(), view.get()) != asked.end())
            continue;
        asked.push_back(view.get());
        if (!view->gestureRecognizerShouldBegin(me))
            return false;
    }
    if (auto delegate = this->delegate())
        return delegate->gestureRecognizerShouldBegin(me).value_or(true);
    return true;
}

void UIGestureRecognizer::handleSendActions()
{
    const auto targets = m_targets;
    auto me = self<UIGestureRecognizer>();
    for (auto& t : targets)
        if (auto target = t.target.lock())
            dv::internal::uikit::performAction(target, t.action, me, nil);
}

void UIGestureRecognizer::handleRemovedFromView()
{
    if (m_state == UIGestureRecognizerStateBegan || m_state == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateCancelled);
    dv::internal::uikit::TouchRouter::shared().forgetRecognizer(*this);
    m_touches.clear();
    handleReset();
}

void UIGestureRecognizer::handleReset()
{
    reset();
    if (m_state != UIGestureRecognizerStatePossible)
        changeValueForKey("state", [&] { m_state = UIGestureRecognizerStatePossible; });
}

Ref<NSString> UIGestureRecognizer::description() const
{
    static const char* const names[] = {"Possible", "Began", "Changed", "Ended", "Cancelled", "Failed"};
    auto view = this->view();
    return NSString::stringWithFormat("<%s: %p; state = %s; view = <%s %p>>", className()->UTF8String(), static_cast<const void*>(this),
        names[std::clamp<NSInteger>(m_state, 0, 5)], view ? view->className()->UTF8String() : "nil", static_cast<const void*>(view.get()));
}
