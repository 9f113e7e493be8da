#include "platform/ui/UIControl.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "platform/ui/UITouch.h"

#include <algorithm>

DV_DEFINE_CLASS_WITH(UIControl, b)
{
    b.property<bool>("enabled", "TB,N,GisEnabled", [](const UIControl& c) { return c.isEnabled(); },
        [](UIControl& c, bool v) { c.setEnabled(v); });
    b.property<bool>("selected", "TB,N,GisSelected", [](const UIControl& c) { return c.isSelected(); },
        [](UIControl& c, bool v) { c.setSelected(v); });
    b.property<bool>("highlighted", "TB,N,GisHighlighted", [](const UIControl& c) { return c.isHighlighted(); },
        [](UIControl& c, bool v) { c.setHighlighted(v); });
}

namespace {

// How far outside its bounds a finger may lift and still count as inside.
constexpr CGFloat kTouchSlack = 70;

} // namespace

Ref<UIControl> UIControl::init() { return initWithFrame(CGRectZero); }

Ref<UIControl> UIControl::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    return self<UIControl>();
}

void UIControl::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled)
        m_highlighted = false;
    stateDidChange();
}

void UIControl::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    stateDidChange();
}

void UIControl::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    stateDidChange();
}

UIControlState UIControl::state() const
{
    UIControlState state = UIControlStateNormal;
    if (isHighlighted())
        state |= UIControlStateHighlighted;
    if (!isEnabled())
        state |= UIControlStateDisabled;
    if (isSelected())
        state |= UIControlStateSelected;
    return state;
}

void UIControl::stateDidChange()
{
    setNeedsDisplay();
    setNeedsLayout();
}

void UIControl::setContentHorizontalAlignment(UIControlContentHorizontalAlignment alignment)
{
    m_horizontalAlignment = alignment;
    setNeedsLayout();
    setNeedsDisplay(); // controls that draw their content (text fields) place it anew
}

void UIControl::setContentVerticalAlignment(UIControlContentVerticalAlignment alignment)
{
    m_verticalAlignment = alignment;
    setNeedsLayout();
    setNeedsDisplay(); // controls that draw their content (text fields) place it anew
}

// Targets and actions

void UIControl::addTarget(const id& target, SEL action, UIControlEvents events)
{
    if (!action || !events)
        return;
    for (auto& entry : m_actions)
        if (entry.action == action && entry.hasTarget == bool(target) && entry.target.lock() == target) {
            entry.events |= events;
            return;
        }
    m_actions.push_back({target, bool(target), action, events});
}

void UIControl::removeTarget(const id& target, SEL action, UIControlEvents events)
{
    for (auto& entry : m_actions)
        if ((!target || entry.target.lock() == target) && (!action || entry.action == action))
            entry.events &= ~events;
    std::erase_if(m_actions, [](const TargetAction& entry) { return entry.events == 0 || (entry.hasTarget && entry.target.expired()); });
}

Ref<NSSet> UIControl::allTargets() const
{
    std::vector<id> targets;
    for (auto& entry : m_actions)
        if (auto target = entry.target.lock(); target && std::find(targets.begin(), targets.end(), target) == targets.end())
            targets.push_back(target);
    return NSSet::setWithArray(NSArray::fromVector(std::move(targets)));
}

UIControlEvents UIControl::allControlEvents() const
{
    UIControlEvents events = 0;
    for (auto& entry : m_actions)
        if (!entry.hasTarget || !entry.target.expired())
            events |= entry.events;
    return events;
}

Ref<NSArray> UIControl::actionsForTarget(const id& target, UIControlEvents event) const
{
    std::vector<id> actions;
    for (auto& entry : m_actions)
        if ((entry.events & event) && entry.hasTarget == bool(target) && entry.target.lock() == target)
            actions.push_back(NSStringFromSelector(entry.action));
    return actions.empty() ? nil : NSArray::fromVector(std::move(actions));
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) { handleSendActions(events, nil); }

void UIControl::handleSendActions(UIControlEvents events, const Ref<UIEvent>& event)
{
    const auto entries = m_actions; // an action may change the list
    auto keep = self<UIControl>();
    for (auto& entry : entries) {
        if (!(entry.events & events))
            continue;
        auto target = entry.target.lock();
        if (entry.hasTarget && !target)
            continue;
        sendActionToTargetForEvent(entry.action, target, event);
    }
}

void UIControl::sendActionToTargetForEvent(SEL action, const id& target, const Ref<UIEvent>& event)
{
    UIApplication::sharedApplication()->sendAction(action, target, self<UIControl>(), event);
}

// Tracking

bool UIControl::beginTrackingWithTouch(const Ref<UITouch>&, const Ref<UIEvent>&) { return true; }
bool UIControl::continueTrackingWithTouch(const Ref<UITouch>&, const Ref<UIEvent>&) { return true; }
void UIControl::endTrackingWithTouch(const Ref<UITouch>&, const Ref<UIEvent>&) { }
void UIControl::cancelTrackingWithEvent(const Ref<UIEvent>&) { }

bool UIControl::handleInside(const Ref<UITouch>& touch) const
{
    const CGPoint p = touch->locationInView(std::const_pointer_cast<UIControl>(self<UIControl>()));
    return CGRectContainsPoint(CGRectInset(bounds(), -kTouchSlack, -kTouchSlack), p);
}

void UIControl::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (m_trackedTouch)
        return; // one finger at a time
    auto touch = dv::as<UITouch>(touches->anyObject());
    if (!touch)
        return;
    auto keep = self<UIControl>();
    m_trackedTouch = touch;
    m_touchInside = true;
    setHighlighted(true);
    m_tracking = beginTrackingWithTouch(touch, event);
    handleSendActions(touch->tapCount() > 1 ? UIControlEventTouchDown | UIControlEventTouchDownRepeat : UIControlEventTouchDown, event);
}

void UIControl::touchesMoved(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (!m_trackedTouch || !touches->containsObject(m_trackedTouch))
        return;
    auto keep = self<UIControl>();
    auto touch = m_trackedTouch;
    const bool wasInside = m_touchInside;
    m_touchInside = handleInside(touch);
    setHighlighted(m_touchInside);
    if (m_tracking)
        m_tracking = continueTrackingWithTouch(touch, event);
    UIControlEvents events = m_touchInside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    if (m_touchInside != wasInside)
        events |= m_touchInside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    handleSendActions(events, event);
}

void UIControl::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (!m_trackedTouch || !touches->containsObject(m_trackedTouch))
        return;
    auto keep = self<UIControl>();
    auto touch = m_trackedTouch;
    m_trackedTouch = nil;
    m_touchInside = handleInside(touch);
    setHighlighted(false);
    if (m_tracking)
        endTrackingWithTouch(touch, event);
    m_tracking = false;
    handleSendActions(m_touchInside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside, event);
    m_touchInside = false;
}

void UIControl::touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (!m_trackedTouch || !touches->containsObject(m_trackedTouch))
        return;
    auto keep = self<UIControl>();
    m_trackedTouch = nil;
    setHighlighted(false);
    if (m_tracking)
        cancelTrackingWithEvent(event);
    m_tracking = false;
    m_touchInside = false;
    handleSendActions(UIControlEventTouchCancel, event);
}

Ref<UIView> UIControl::hitTest(CGPoint point, const Ref<UIEvent>& event)
{
    if (!isEnabled())
        return nil;
    return UIView::hitTest(point, event);
}

bool UIControl::gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>& recognizer)
{
    auto tap = dv::as<UITapGestureRecognizer>(recognizer);
    if (tap && defaultActionIsSingleTap() && tap->view().get() != this && tap->numberOfTapsRequired() == 1 && tap->numberOfTouchesRequired() == 1)
        return false;
    return UIView::gestureRecognizerShouldBegin(recognizer);
}

UIAccessibilityTraits UIControl::accessibilityTraits() const
{
    UIAccessibilityTraits traits = UIView::accessibilityTraits();
    if (!isEnabled())
        traits |= UIAccessibilityTraitNotEnabled;
    if (isSelected())
        traits |= UIAccessibilityTraitSelected;
    return traits;
}

void UIControl::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    UIView::appendDescriptionFields(fields);
    if (!isEnabled())
        fields.emplace_back("disabled", "");
    if (isSelected())
        fields.emplace_back("selected", "");
    if (isHighlighted())
        fields.emplace_back("highlighted", "");
}
