// UIScrollView: a view whose bounds origin (the content offset) moves over a larger content.
// The content spans contentSize from the origin, widened by contentInset; the offset may rest
// anywhere from -inset.top to contentHeight + inset.bottom - boundsHeight (and the same across),
// never below the first. Setting the inset moves the offset only when the view rests and the
// offset falls outside the new range: it comes to the nearest edge. The view clips its subviews
// by default. Main thread only.
//
// A person scrolls it through its own pan recogniser (panGestureRecognizer, a real
// UIPanGestureRecognizer on this view, refused while scrollEnabled is NO and for a movement
// along an axis that cannot scroll). The delegate hears, in order:
//   scrollViewWillBeginDragging, scrollViewDidScroll for every step of the finger,
//   scrollViewWillEndDragging (the natural rest point, which it may move),
//   scrollViewDidEndDragging(willDecelerate), then, when the view moves on by itself:
//   scrollViewWillBeginDecelerating, scrollViewDidScroll for each step on the clock (1/60 s; dragging
//   NO, decelerating YES), scrollViewDidEndDecelerating.
// Past an edge while dragging the content moves by half of the finger's movement (with bounces;
// without, it stops at the edge) and springs back once released. A release goes on with the
// finger's speed, slowing by decelerationRate per millisecond; with pagingEnabled it glides to the
// page the release points to (a page is the bounds size). A release at rest inside the edges gives
// willDecelerate NO and nothing more. A touch that lands while the view moves by itself stops it
// there (the motion ends as a natural one would). setContentOffset(animated YES) moves over 0.3 s
// on the clock and ends with scrollViewDidEndScrollingAnimation only.
//
// Every set of contentOffset and contentSize is observable (keys "contentOffset", "contentSize",
// and "contentInset") with old and new values, also when the value does not change; a change of
// the offset calls scrollViewDidScroll before the observers hear it.
//
//   auto scroll = alloc<UIScrollView>()->initWithFrame(view->bounds());
//   scroll->setContentSize(CGSizeMake(W * 3, H));
//   scroll->setPagingEnabled(true);
//   scroll->setDelegate(self<GuideController>());
#pragma once

#include "platform/dispatch/Observable.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <functional>
#include <memory>

class NSTimer;
class UIPanGestureRecognizer;
class UIScrollView;

namespace dv {
// How far a finger must move (window points) for the content offset of `scrollView` to change by
// `change`, the rubber band past the edges counted; zero along an axis that cannot scroll. The UI
// driver drags by offsets with it.
CGPoint fingerTranslationForOffsetChange(const UIScrollView& scrollView, CGPoint change);
// Whether the view moves by itself now: a deceleration, bounce, paging glide or animated scroll.
bool isScrollViewMoving(const UIScrollView& scrollView);

// What runs after every reloadData of a table or collection view (UITableView::addReloadDataHook,
// UICollectionView::addReloadDataHook), in place of exchanging the method.
using ReloadDataHook = std::function<void(const Ref<UIScrollView>& reloaded)>;
using ReloadDataHookID = std::uint64_t;
} // namespace dv

namespace dv::internal::uikit {
class ScrollPanDelegate;
class ScrollPanRecognizer;
} // namespace dv::internal::uikit

inline constexpr CGFloat UIScrollViewDecelerationRateNormal = 0.998;
inline constexpr CGFloat UIScrollViewDecelerationRateFast = 0.99;

// The delegate protocol; every method is optional (false: not implemented).
class UIScrollViewDelegate {
public:
    virtual ~UIScrollViewDelegate() = default;

    virtual bool scrollViewDidScroll(const Ref<UIScrollView>&) { return false; }
    virtual bool scrollViewWillBeginDragging(const Ref<UIScrollView>&) { return false; }
    // The release velocity in points per millisecond (positive towards larger offsets) and the
    // offset where the view would come to rest, which the delegate may change.
    virtual bool scrollViewWillEndDragging(const Ref<UIScrollView>&, CGPoint velocity, CGPoint* targetContentOffset)
    {
        (void)velocity;
        (void)targetContentOffset;
        return false;
    }
    virtual bool scrollViewDidEndDragging(const Ref<UIScrollView>&, bool willDecelerate)
    {
        (void)willDecelerate;
        return false;
    }
    virtual bool scrollViewWillBeginDecelerating(const Ref<UIScrollView>&) { return false; }
    virtual bool scrollViewDidEndDecelerating(const Ref<UIScrollView>&) { return false; }
    virtual bool scrollViewDidEndScrollingAnimation(const Ref<UIScrollView>&) { return false; }
};

class UIScrollView : public UIView, public dv::Observable {
    DV_CLASS(UIScrollView, UIView)

    UIScrollView();
    ~UIScrollView() override;
    Ref<UIScrollView> init();
    Ref<UIScrollView> initWithFrame(CGRect frame);

    // The bounds origin. Setting it stops any movement of the view's own.
    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    void setContentOffset(CGPoint offset, bool animated);
    CGSize contentSize() const { return m_contentSize; }
    void setContentSize(CGSize size);
    UIEdgeInsets contentInset() const { return m_contentInset; }
    void setContentInset(UIEdgeInsets inset);
    UIEdgeInsets scrollIndicatorInsets() const { return m_scrollIndicatorInsets; }
    void setScrollIndicatorInsets(UIEdgeInsets insets) { m_scrollIndicatorInsets = insets; }

    Ref<UIScrollViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const Ref<UIScrollViewDelegate>& delegate) { m_delegate = delegate; }

    // A finger is down on the content; it has moved the content; the content moves by itself
    // after a release.
    bool isTracking() const { return m_tracking; }
    bool isDragging() const { return m_dragging; }
    bool isDecelerating() const { return m_decelerating; }
    Ref<UIPanGestureRecognizer> panGestureRecognizer() const;

    bool isPagingEnabled() const { return m_pagingEnabled; }
    void setPagingEnabled(bool enabled) { m_pagingEnabled = enabled; }
    bool isScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool enabled);
    bool bounces() const { return m_bounces; }
    void setBounces(bool bounces) { m_bounces = bounces; }
    bool alwaysBounceVertical() const { return m_alwaysBounceVertical; }
    void setAlwaysBounceVertical(bool bounce) { m_alwaysBounceVertical = bounce; }
    bool alwaysBounceHorizontal() const { return m_alwaysBounceHorizontal; }
    void setAlwaysBounceHorizontal(bool bounce) { m_alwaysBounceHorizontal = bounce; }
    // Per millisecond (UIScrollViewDecelerationRateNormal by default).
    CGFloat decelerationRate() const { return m_decelerationRate; }
    void setDecelerationRate(CGFloat rate);
    // Whether the scroll indicators would show while scrolling (they are not drawn).
    bool showsHorizontalScrollIndicator() const { return m_showsHorizontalIndicator; }
    void setShowsHorizontalScrollIndicator(bool shows) { m_showsHorizontalIndicator = shows; }
    bool showsVerticalScrollIndicator() const { return m_showsVerticalIndicator; }
    void setShowsVerticalScrollIndicator(bool shows) { m_showsVerticalIndicator = shows; }
    // Stored only: there is no status bar to tap.
    bool scrollsToTop() const { return m_scrollsToTop; }
    void setScrollsToTop(bool scrolls) { m_scrollsToTop = scrolls; }

    // Scrolls the least distance that shows `rect` (content coordinates), within the edges.
    void scrollRectToVisible(CGRect rect, bool animated);

    // The offset is the bounds origin: setting the bounds is setting the offset.
    void setBounds(CGRect bounds) override;

    id observedValueForKeyPath(std::string_view keyPath) const override;
    void appendDescriptionFields(dv::DescriptionFields& fields) const override;

protected:
    // The range the offset rests in, from the content size, the inset and the bounds size.
    CGPoint minimumContentOffset() const;
    CGPoint maximumContentOffset() const;
    // Whether the touch that landed last stopped a movement of the view's own (a tap that stops
    // a list does not choose a row).
    bool lastTouchStoppedScrolling() const { return m_touchStoppedMotion; }
    // Ends any movement of the view's own at once, reporting its end as a natural end.
    void stopScrolling();

private:
    friend class dv::internal::uikit::ScrollPanDelegate;
    friend class dv::internal::uikit::ScrollPanRecognizer;
    friend CGPoint dv::fingerTranslationForOffsetChange(const UIScrollView&, CGPoint);
    friend bool dv::isScrollViewMoving(const UIScrollView&);
    struct Motion;

    bool handlePanShouldBegin();
    void handleTouchDown();
    void handleTouchUp();
    void handlePan();
    void handleRelease(CGPoint fingerVelocity);
    void handleSetOffset(CGPoint offset);
    void handleSetBounds(CGRect bounds);
    void handleStartMotion();
    void handleTick();
    void handleFinishMotion();
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;

    Weak<UIScrollViewDelegate> m_delegate;
    Ref<UIPanGestureRecognizer> m_pan;
    Ref<dv::internal::uikit::ScrollPanDelegate> m_panDelegate;
    std::unique_ptr<Motion> m_motion;
    Ref<NSTimer> m_timer;
    std::uint64_t m_motionGeneration = 0;
    CGSize m_contentSize {};
    UIEdgeInsets m_contentInset {};
    UIEdgeInsets m_scrollIndicatorInsets {};
    CGPoint m_dragRaw {};        // the offset the finger asks for, before the rubber band
    CGPoint m_lastDragOffset {}; // the offset the drag set last (another setter moves the origin)
    CGPoint m_lastTranslation {};
    CGFloat m_decelerationRate = UIScrollViewDecelerationRateNormal;
    bool m_tracking = false;
    bool m_dragging = false;
    bool m_decelerating = false;
    bool m_touchStoppedMotion = false;
    bool m_pagingEnabled = false;
    bool m_scrollEnabled = true;
    bool m_bounces = true;
    bool m_alwaysBounceVertical = false;
    bool m_alwaysBounceHorizontal = false;
    bool m_showsHorizontalIndicator = true;
    bool m_showsVerticalIndicator = true;
    bool m_scrollsToTop = true;
};
