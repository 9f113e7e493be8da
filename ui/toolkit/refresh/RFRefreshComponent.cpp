#include "ui/toolkit/refresh/RFRefreshComponent.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/UIPanGestureRecognizer.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"

#include <array>

DV_DEFINE_CLASS(RFRefreshComponent)

RFRefreshComponent::~RFRefreshComponent() { removeObservers(); }

Ref<RFRefreshComponent> RFRefreshComponent::init() { return initWithFrame(CGRectZero); }

Ref<RFRefreshComponent> RFRefreshComponent::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    prepare();
    setState(RefreshStateIdle);
    return self<RFRefreshComponent>();
}

void RFRefreshComponent::prepare()
{
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setBackgroundColor(UIColor::clearColor());
}

void RFRefreshComponent::layoutSubviews()
{
    UIView::layoutSubviews();
    placeSubviews();
}

void RFRefreshComponent::placeSubviews() { }

void RFRefreshComponent::willMoveToSuperview(const Ref<UIView>& newSuperview)
{
    UIView::willMoveToSuperview(newSuperview);
    // Whatever the component moves into, the scroll view it leaves is no longer observed (also
    // when the new superview is a plain view, where the component stays inert).
    removeObservers();
    auto scroll = dv::as<UIScrollView>(newSuperview);
    if (!scroll)
        return;
    setRf_w(this, rf_w(scroll.get()));
    setRf_x(this, 0);
    m_scrollView = scroll;
    scroll->setAlwaysBounceVertical(true);
    m_scrollViewOriginalInset = scroll->contentInset();
    addObservers();
}

void RFRefreshComponent::drawRect(CGRect)
{
    // The base draws nothing and is not called: a class whose drawing only reaches the base is
    // taken for one that never draws, and this step has to run at every draw.
    if (m_state == RefreshStateWillRefresh)
        setState(RefreshStateRefreshing);
}

// Observation

void RFRefreshComponent::addObservers()
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    Weak<RFRefreshComponent> weak = self<RFRefreshComponent>();
    auto forward = [weak](std::string_view keyPath) {
        return [weak, keyPath](const id&, const dv::KeyValueChange& change) {
            if (auto component = weak.lock())
                component->observeValueForKeyPath(keyPath, change);
        };
    };
    const auto options = NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld;
    m_observedScrollView = scroll;
    m_offsetObservation = scroll->observe(RFRefreshKeyPathContentOffset, options, forward(RFRefreshKeyPathContentOffset));
    m_sizeObservation = scroll->observe(RFRefreshKeyPathContentSize, options, forward(RFRefreshKeyPathContentSize));
    m_pan = scroll->panGestureRecognizer();
    if (m_pan)
        m_panObservation = m_pan->observe(RFRefreshKeyPathPanState, options, forward(RFRefreshKeyPathPanState));
}

void RFRefreshComponent::removeObservers()
{
    if (auto observed = m_observedScrollView.lock()) {
        observed->removeObservation(m_offsetObservation);
        observed->removeObservation(m_sizeObservation);
    }
    if (m_pan)
        m_pan->removeObservation(m_panObservation);
    m_observedScrollView.reset();
    m_offsetObservation.reset();
    m_sizeObservation.reset();
    m_panObservation.reset();
    m_pan = nil;
}

void RFRefreshComponent::observeValueForKeyPath(std::string_view keyPath, const dv::KeyValueChange& change)
{
    if (!isUserInteractionEnabled())
        return;
    if (keyPath == RFRefreshKeyPathContentSize)
        scrollViewContentSizeDidChange(change);
    if (isHidden())
        return;
    if (keyPath == RFRefreshKeyPathContentOffset)
        scrollViewContentOffsetDidChange(change);
    else if (keyPath == RFRefreshKeyPathPanState)
        scrollViewPanStateDidChange(change);
}

void RFRefreshComponent::scrollViewContentOffsetDidChange(const dv::KeyValueChange&) { }

void RFRefreshComponent::scrollViewContentSizeDidChange(const dv::KeyValueChange&) { }

void RFRefreshComponent::scrollViewPanStateDidChange(const dv::KeyValueChange&) { }

// Refreshing

void RFRefreshComponent::setRefreshingTarget(const id& target, SEL action)
{
    m_refreshingTarget = target;
    m_refreshingAction = action;
}

void RFRefreshComponent::beginRefreshing()
{
    UIView::animateWithDuration(RFRefreshFastAnimationDuration, [this] { setAlpha(1.0); });
    setPullingPercent(1.0);
    if (window()) {
        setState(RefreshStateRefreshing);
    } else if (m_state != RefreshStateRefreshing) {
        // Only a drawing in a window moves it on: then the scroll view can show the refresh.
        setState(RefreshStateWillRefresh);
        setNeedsDisplay();
    }
}

void RFRefreshComponent::endRefreshing() { setState(RefreshStateIdle); }

bool RFRefreshComponent::isRefreshing() const
{
    return m_state == RefreshStateRefreshing || m_state == RefreshStateWillRefresh;
}

void RFRefreshComponent::setState(RefreshState state) { m_state = state; }

void RFRefreshComponent::setPullingPercent(CGFloat pullingPercent)
{
    m_pullingPercent = pullingPercent;
    if (isRefreshing())
        return;
    if (m_automaticallyChangeAlpha)
        setAlpha(pullingPercent);
}

void RFRefreshComponent::setAutomaticallyChangeAlpha(bool changes)
{
    m_automaticallyChangeAlpha = changes;
    if (isRefreshing())
        return;
    setAlpha(changes ? m_pullingPercent : 1.0);
}

void RFRefreshComponent::executeRefreshingCallback()
{
    Weak<RFRefreshComponent> weak = self<RFRefreshComponent>();
    dispatch_async(dispatch_get_main_queue(), [weak] {
        auto component = weak.lock();
        if (!component)
            return;
        // Copied first: the block may set another in its place.
        if (auto block = component->m_refreshingBlock)
            block();
        auto target = component->m_refreshingTarget.lock();
        const SEL action = component->m_refreshingAction;
        if (target && action && target->respondsToSelector(action)) {
            const std::array<id, 1> arguments {component};
            target->performSelector(action, arguments);
        }
    });
}
