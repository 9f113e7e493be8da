#include "platform/ui/UIScrollView.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/internal/ScrollMotion.h"
#include "platform/ui/internal/ScrollPan.h"
#include "platform/ui/internal/ViewFormat.h"

#include <algorithm>
#include <cmath>

DV_DEFINE_CLASS_WITH(UIScrollView, b)
{
    b.property<CGPoint>("contentOffset", "N", [](const UIScrollView& v) { return v.contentOffset(); },
        [](UIScrollView& v, CGPoint offset) { v.setContentOffset(offset); });
    b.property<CGSize>("contentSize", "N", [](const UIScrollView& v) { return v.contentSize(); },
        [](UIScrollView& v, CGSize size) { v.setContentSize(size); });
    b.property<UIEdgeInsets>("contentInset", "N", [](const UIScrollView& v) { return v.contentInset(); },
        [](UIScrollView& v, UIEdgeInsets inset) { v.setContentInset(inset); });
    // The action of the view's own pan recogniser.
    b.method("handlePan:", "v24@0:8@16", [](UIScrollView& v, std::span<const id>) {
        dv::internal::uikit::ScrollPanDelegate::handlePan(v);
        return nil;
    });
}

using dv::internal::uikit::AxisLimits;
using dv::internal::uikit::AxisMotion;

namespace {

constexpr NSTimeInterval kFrame = 1.0 / 60;
constexpr NSTimeInterval kAnimationDuration = 0.3;
// Slower releases stop where they are (unless paging or past an edge).
constexpr CGFloat kMinimumFlingSpeed = 50;
// A paging release faster than this goes on to the next page in its direction.
constexpr CGFloat kPagingFlingSpeed = 200;
constexpr CGFloat kEpsilon = 1e-9;

CGFloat decelerationPerSecond(CGFloat ratePerMillisecond)
{
    return -1000 * std::log(std::clamp<CGFloat>(ratePerMillisecond, 0.5, 0.9999));
}

// The offset a paging release glides to along one axis.
CGFloat pageTarget(CGFloat offset, CGFloat velocity, CGFloat pageSize, AxisLimits limits)
{
    if (pageSize <= 0)
        return std::clamp(offset, limits.low, limits.high);
    const CGFloat page = offset / pageSize;
    CGFloat target;
    if (velocity > kPagingFlingSpeed)
        target = std::floor(page + kEpsilon) + 1;
    else if (velocity < -kPagingFlingSpeed)
        target = std::ceil(page - kEpsilon) - 1;
    else
        target = std::round(page);
    return std::clamp(target * pageSize, limits.low, limits.high);
}

// The rate of a glide onto a chosen target that keeps the release's speed where it can.
CGFloat snapRate(CGFloat velocity, CGFloat distance)
{
    if (std::abs(distance) < kEpsilon || velocity * distance <= 0)
        return AxisMotion::kMinimumSnapRate;
    return std::clamp(velocity / distance, AxisMotion::kMinimumSnapRate, AxisMotion::kMaximumSnapRate);
}

CGFloat easeInOut(CGFloat t) { return t * t * (3 - 2 * t); }

} // namespace

struct UIScrollView::Motion {
    bool animation = false; // setContentOffset(animated): eased from `from` to `to`
    AxisMotion x, y;
    CGPoint from {}, to {};
    NSTimeInterval start = 0;
    NSTimeInterval lastTime = 0;
};

// The pan and its delegate

namespace dv::internal::uikit {

Ref<UIScrollView> ScrollPanRecognizer::scrollView() const { return std::dynamic_pointer_cast<UIScrollView>(view()); }

void ScrollPanRecognizer::touchesBegan(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (!m_down) {
        m_down = true;
        if (auto scroll = scrollView())
            scroll->handleTouchDown();
    }
    UIPanGestureRecognizer::touchesBegan(touches, event);
}

void ScrollPanRecognizer::touchesEnded(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (m_down && touches->count() >= trackedTouches().size()) {
        m_down = false;
        if (auto scroll = scrollView())
            scroll->handleTouchUp();
    }
    UIPanGestureRecognizer::touchesEnded(touches, event);
}

void ScrollPanRecognizer::touchesCancelled(const Ref<NSSet>& touches, const Ref<UIEvent>& event)
{
    if (m_down) {
        m_down = false;
        if (auto scroll = scrollView())
            scroll->handleTouchUp();
    }
    UIPanGestureRecognizer::touchesCancelled(touches, event);
}

void ScrollPanRecognizer::reset()
{
    // A recogniser that failed hears no lift: its reset comes once the touches are gone.
    if (m_down) {
        m_down = false;
        if (auto scroll = scrollView())
            scroll->handleTouchUp();
    }
    UIPanGestureRecognizer::reset();
}

std::optional<bool> ScrollPanDelegate::gestureRecognizerShouldBegin(const Ref<UIGestureRecognizer>&)
{
    auto scroll = m_scrollView.lock();
    return scroll && scroll->handlePanShouldBegin();
}

void ScrollPanDelegate::handlePan(UIScrollView& scrollView) { scrollView.handlePan(); }

} // namespace dv::internal::uikit

// Set-up

UIScrollView::UIScrollView() = default;

UIScrollView::~UIScrollView()
{
    if (m_timer)
        m_timer->invalidate();
}

Ref<UIScrollView> UIScrollView::init() { return initWithFrame(CGRectZero); }

Ref<UIScrollView> UIScrollView::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    setClipsToBounds(true);
    auto me = self<UIScrollView>();
    auto pan = alloc<dv::internal::uikit::ScrollPanRecognizer>();
    pan->initWithTarget(me, "handlePan:");
    m_panDelegate = std::make_shared<dv::internal::uikit::ScrollPanDelegate>(me);
    pan->setDelegate(m_panDelegate);
    m_pan = pan;
    addGestureRecognizer(m_pan);
    return me;
}

Ref<UIPanGestureRecognizer> UIScrollView::panGestureRecognizer() const { return m_pan; }

// Offset, size, inset

void UIScrollView::setContentOffset(CGPoint offset)
{
    stopScrolling();
    handleSetOffset(offset);
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated)
{
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    stopScrolling();
    if (CGPointEqualToPoint(offset, contentOffset()))
        return;
    m_motion = std::make_unique<Motion>();
    m_motion->animation = true;
    m_motion->from = contentOffset();
    m_motion->to = offset;
    m_motion->start = dv::Clock::current().now();
    handleStartMotion();
}

void UIScrollView::setBounds(CGRect bounds)
{
    if (CGPointEqualToPoint(bounds.origin, this->bounds().origin)) {
        UIView::setBounds(bounds);
        return;
    }
    handleSetBounds(bounds);
}

void UIScrollView::handleSetOffset(CGPoint offset)
{
    CGRect b = bounds();
    b.origin = offset;
    handleSetBounds(b);
}

void UIScrollView::handleSetBounds(CGRect bounds)
{
    const bool moved = !CGPointEqualToPoint(bounds.origin, this->bounds().origin);
    auto keep = self<UIScrollView>(); // the delegate or an observer may let go of the view
    willChangeValueForKey("contentOffset");
    UIView::setBounds(bounds);
    if (moved)
        if (auto delegate = this->delegate())
            delegate->scrollViewDidScroll(keep);
    didChangeValueForKey("contentOffset");
}

void UIScrollView::setContentSize(CGSize size)
{
    willChangeValueForKey("contentSize");
    m_contentSize = size;
    didChangeValueForKey("contentSize");
}

void UIScrollView::setContentInset(UIEdgeInsets inset)
{
    willChangeValueForKey("contentInset");
    m_contentInset = inset;
    didChangeValueForKey("contentInset");
    // At rest, an offset the new inset leaves outside the range comes back to the nearest edge (a
    // refresh header that gives back its inset slides away). A finger or a motion of the view's
    // own keeps it: the motion re-reads the limits and springs there by itself.
    if (m_tracking || m_dragging || m_motion)
        return;
    const CGPoint offset = contentOffset(), low = minimumContentOffset(), high = maximumContentOffset();
    const CGPoint kept = CGPointMake(std::clamp(offset.x, low.x, high.x), std::clamp(offset.y, low.y, high.y));
    if (!CGPointEqualToPoint(kept, offset))
        handleSetOffset(kept);
}

void UIScrollView::setScrollEnabled(bool enabled)
{
    m_scrollEnabled = enabled;
    m_pan->setEnabled(enabled);
}

void UIScrollView::setDecelerationRate(CGFloat rate) { m_decelerationRate = std::clamp<CGFloat>(rate, 0.5, 0.9999); }

CGPoint UIScrollView::minimumContentOffset() const { return CGPointMake(-m_contentInset.left, -m_contentInset.top); }

CGPoint UIScrollView::maximumContentOffset() const
{
    const CGSize size = bounds().size;
    const CGPoint low = minimumContentOffset();
    return CGPointMake(std::max(low.x, m_contentSize.width + m_contentInset.right - size.width),
        std::max(low.y, m_contentSize.height + m_contentInset.bottom - size.height));
}

bool UIScrollView::canScrollHorizontally() const
{
    return m_alwaysBounceHorizontal || m_contentSize.width + m_contentInset.left + m_contentInset.right > bounds().size.width + kEpsilon;
}

bool UIScrollView::canScrollVertically() const
{
    return m_alwaysBounceVertical || m_contentSize.height + m_contentInset.top + m_contentInset.bottom > bounds().size.height + kEpsilon;
}

void UIScrollView::scrollRectToVisible(CGRect rect, bool animated)
{
    const CGRect visible = bounds();
    CGPoint offset = visible.origin;
    auto fit = [](CGFloat from, CGFloat length, CGFloat start, CGFloat size) {
        if (size >= length || start < from)
            return start;
        if (start + size > from + length)
            return start + size - length;
        return from;
    };
    offset.x = fit(visible.origin.x, visible.size.width, rect.origin.x, rect.size.width);
    offset.y = fit(visible.origin.y, visible.size.height, rect.origin.y, rect.size.height);
    const CGPoint low = minimumContentOffset(), high = maximumContentOffset();
    offset.x = std::clamp(offset.x, low.x, high.x);
    offset.y = std::clamp(offset.y, low.y, high.y);
    if (!CGPointEqualToPoint(offset, contentOffset()))
        setContentOffset(offset, animated);
}

// Touches and the drag

bool UIScrollView::handlePanShouldBegin()
{
    const bool across = canScrollHorizontally(), down = canScrollVertically();
    if (across && down)
        return true;
    const CGPoint t = m_pan->translationInView(self<UIScrollView>());
    // A movement mostly along an axis this view cannot scroll is left to others (an outer list,
    // a back swipe).
    if (across)
        return std::abs(t.x) >= std::abs(t.y);
    if (down)
        return std::abs(t.y) >= std::abs(t.x);
    return false;
}

void UIScrollView::handleTouchDown()
{
    m_tracking = true;
    m_touchStoppedMotion = m_motion != nullptr;
    stopScrolling();
}

void UIScrollView::handleTouchUp() { m_tracking = false; }

void UIScrollView::handlePan()
{
    auto keep = self<UIScrollView>();
    const UIGestureRecognizerState state = m_pan->state();
    const CGPoint low = minimumContentOffset(), high = maximumContentOffset();
    const AxisLimits limitsX {low.x, high.x, m_bounces}, limitsY {low.y, high.y, m_bounces};
    if (state == UIGestureRecognizerStateBegan) {
        stopScrolling();
        m_dragging = true;
        const CGPoint start = contentOffset();
        m_dragRaw = CGPointMake(dv::internal::uikit::rubberBandInverse(start.x, limitsX), dv::internal::uikit::rubberBandInverse(start.y, limitsY));
        m_lastDragOffset = start;
        m_lastTranslation = CGPointZero;
        if (auto delegate = this->delegate())
            delegate->scrollViewWillBeginDragging(keep);
    }
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged) {
        if (!m_dragging)
            return;
        const CGPoint current = contentOffset();
        if (!CGPointEqualToPoint(current, m_lastDragOffset)) // moved by someone else meanwhile
            m_dragRaw = CGPointMake(dv::internal::uikit::rubberBandInverse(current.x, limitsX), dv::internal::uikit::rubberBandInverse(current.y, limitsY));
        const CGPoint t = m_pan->translationInView(keep);
        m_dragRaw.x -= t.x - m_lastTranslation.x;
        m_dragRaw.y -= t.y - m_lastTranslation.y;
        m_lastTranslation = t;
        const CGPoint offset = CGPointMake(canScrollHorizontally() ? dv::internal::uikit::rubberBand(m_dragRaw.x, limitsX) : current.x,
            canScrollVertically() ? dv::internal::uikit::rubberBand(m_dragRaw.y, limitsY) : current.y);
        handleSetOffset(offset);
        m_lastDragOffset = contentOffset();
        return;
    }
    if ((state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled) && m_dragging)
        handleRelease(state == UIGestureRecognizerStateEnded ? m_pan->velocityInView(keep) : CGPointZero);
}

void UIScrollView::handleRelease(CGPoint fingerVelocity)
{
    auto keep = self<UIScrollView>();
    const CGPoint offset = contentOffset();
    const CGPoint low = minimumContentOffset(), high = maximumContentOffset();
    const AxisLimits limits[2] = {{low.x, high.x, m_bounces}, {low.y, high.y, m_bounces}};
    const bool scrollable[2] = {canScrollHorizontally(), canScrollVertically()};
    const CGFloat position[2] = {offset.x, offset.y};
    const CGFloat velocity[2] = {scrollable[0] ? -fingerVelocity.x : 0, scrollable[1] ? -fingerVelocity.y : 0};
    const CGFloat pageSize[2] = {bounds().size.width, bounds().size.height};
    const CGFloat rate = decelerationPerSecond(m_decelerationRate);

    auto motion = std::make_unique<Motion>();
    AxisMotion* axes[2] = {&motion->x, &motion->y};
    CGFloat natural[2];
    for (int i = 0; i < 2; ++i) {
        const CGFloat x = position[i], v = velocity[i];
        const AxisLimits lim = limits[i];
        if (x < lim.low - kEpsilon || x > lim.high + kEpsilon) {
            const bool highEdge = x > lim.high;
            axes[i]->springToEdge(x, v, highEdge);
            natural[i] = highEdge ? lim.high : lim.low;
        } else if (m_pagingEnabled && scrollable[i]) {
            natural[i] = pageTarget(x, v, pageSize[i], lim);
            axes[i]->glide(x, natural[i], snapRate(v, natural[i] - x), false);
        } else if (std::abs(v) >= kMinimumFlingSpeed) {
            const CGFloat target = x + v / rate;
            axes[i]->glide(x, target, rate, true);
            natural[i] = std::clamp(target, lim.low, lim.high);
        } else {
            axes[i]->rest(x);
            natural[i] = x;
        }
    }

    const std::uint64_t generation = m_motionGeneration;
    CGPoint target = CGPointMake(natural[0], natural[1]);
    if (auto delegate = this->delegate())
        delegate->scrollViewWillEndDragging(keep, CGPointMake(velocity[0] / 1000, velocity[1] / 1000), &target);
    const CGFloat chosen[2] = {target.x, target.y};
    for (int i = 0; i < 2; ++i) {
        if (chosen[i] == natural[i])
            continue;
        const CGFloat to = std::clamp(chosen[i], limits[i].low, limits[i].high);
        axes[i]->glide(position[i], to, snapRate(velocity[i], to - position[i]), false);
    }

    const bool moves = motion->x.isMoving() || motion->y.isMoving();
    m_dragging = false;
    if (auto delegate = this->delegate())
        delegate->scrollViewDidEndDragging(keep, moves);
    if (!moves || generation != m_motionGeneration || m_motion)
        return; // at rest, or the delegate moved the view itself
    m_decelerating = true;
    if (auto delegate = this->delegate())
        delegate->scrollViewWillBeginDecelerating(keep);
    if (generation != m_motionGeneration || m_motion || !m_decelerating)
        return;
    motion->start = dv::Clock::current().now();
    m_motion = std::move(motion);
    handleStartMotion();
}

// The movement of the view's own

void UIScrollView::handleStartMotion()
{
    ++m_motionGeneration;
    m_motion->lastTime = dv::Clock::current().now();
    Weak<UIScrollView> weak = self<UIScrollView>();
    m_timer = NSTimer::timerWithTimeInterval(kFrame, true, [weak](const Ref<NSTimer>&) {
        if (auto me = weak.lock())
            me->handleTick();
    });
    NSRunLoop::mainRunLoop()->addTimer(m_timer, NSRunLoopCommonModes);
}

void UIScrollView::handleTick()
{
    if (!m_motion)
        return;
    auto keep = self<UIScrollView>();
    const std::uint64_t generation = m_motionGeneration;
    const NSTimeInterval now = dv::Clock::current().now();
    const double elapsed = now - m_motion->lastTime;
    m_motion->lastTime = now;
    if (m_motion->animation) {
        const CGFloat t = easeInOut(CGFloat(std::clamp((now - m_motion->start) / kAnimationDuration, 0.0, 1.0)));
        const CGPoint from = m_motion->from, to = m_motion->to;
        const bool done = t >= 1;
        handleSetOffset(done ? to : CGPointMake(from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t));
        if (done && generation == m_motionGeneration)
            handleFinishMotion();
        return;
    }
    const CGPoint low = minimumContentOffset(), high = maximumContentOffset();
    m_motion->x.step(elapsed, {low.x, high.x, m_bounces});
    m_motion->y.step(elapsed, {low.y, high.y, m_bounces});
    handleSetOffset(CGPointMake(m_motion->x.position(), m_motion->y.position()));
    if (generation != m_motionGeneration || !m_motion)
        return; // an observer or the delegate stopped it, or started another
    if (!m_motion->x.isMoving() && !m_motion->y.isMoving())
        handleFinishMotion();
}

void UIScrollView::stopScrolling()
{
    if (m_motion)
        handleFinishMotion();
}

void UIScrollView::handleFinishMotion()
{
    const bool animation = m_motion->animation;
    m_motion.reset();
    ++m_motionGeneration;
    if (auto timer = std::exchange(m_timer, nil))
        timer->invalidate();
    auto keep = self<UIScrollView>();
    if (animation) {
        if (auto delegate = this->delegate())
            delegate->scrollViewDidEndScrollingAnimation(keep);
        return;
    }
    m_decelerating = false;
    if (auto delegate = this->delegate())
        delegate->scrollViewDidEndDecelerating(keep);
}

// Observation and description

id UIScrollView::observedValueForKeyPath(std::string_view keyPath) const
{
    if (keyPath == "contentOffset")
        return NSValue::valueWithCGPoint(contentOffset());
    if (keyPath == "contentSize")
        return NSValue::valueWithCGSize(m_contentSize);
    if (keyPath == "contentInset")
        return NSValue::valueWithUIEdgeInsets(m_contentInset);
    return dv::Observable::observedValueForKeyPath(keyPath);
}

void UIScrollView::appendDescriptionFields(dv::DescriptionFields& fields) const
{
    using dv::internal::uikit::ViewFormat;
    UIView::appendDescriptionFields(fields);
    const CGPoint offset = contentOffset();
    if (offset.x != 0 || offset.y != 0)
        fields.emplace_back("offset", ViewFormat::number(offset.x) + "," + ViewFormat::number(offset.y));
    fields.emplace_back("content", ViewFormat::number(m_contentSize.width) + "x" + ViewFormat::number(m_contentSize.height));
}

CGPoint dv::fingerTranslationForOffsetChange(const UIScrollView& scrollView, CGPoint change)
{
    using dv::internal::uikit::rubberBandInverse;
    const CGPoint offset = scrollView.contentOffset();
    const CGPoint low = scrollView.minimumContentOffset(), high = scrollView.maximumContentOffset();
    const AxisLimits x {low.x, high.x, scrollView.bounces()}, y {low.y, high.y, scrollView.bounces()};
    return CGPointMake(scrollView.canScrollHorizontally() ? rubberBandInverse(offset.x, x) - rubberBandInverse(offset.x + change.x, x) : 0,
        scrollView.canScrollVertically() ? rubberBandInverse(offset.y, y) - rubberBandInverse(offset.y + change.y, y) : 0);
}

bool dv::isScrollViewMoving(const UIScrollView& scrollView) { return scrollView.m_motion != nullptr; }
