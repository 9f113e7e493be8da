// RFRefreshComponent: the base of the pull-to-refresh family. A view that lives inside a scroll
// view (a header above the content, a footer below it), watches the scroll view's content offset
// and size and the state of its pan recogniser, runs a small state machine (RefreshState) and
// calls its owner back when a refresh starts. Headers and footers derive from it and override
// the hooks: prepare, placeSubviews, the three scrollView…DidChange methods, setState,
// setPullingPercent, beginRefreshing and endRefreshing.
//
// The scroll view owns the component (a subview); the component holds the scroll view, the
// refreshing target and the scroll view it observes weakly, and owns its block and the pan
// recogniser while it observes it. Whenever it moves to another superview, it ends the
// observations it holds before anything else; only a scroll view is observed again. Main thread
// only; the refresh callback always comes asynchronously on the main queue.
//
//   auto header = RFRefreshNormalHeader::headerWithRefreshingBlock([weak] { load(weak); });
//   setRf_header(tableView, header);
//   ... when the data has arrived: header->endRefreshing();
#pragma once

#include "platform/dispatch/Observable.h"
#include "platform/ui/UIView.h"
#include "ui/toolkit/refresh/RFRefreshConst.h"

#include <functional>
#include <string_view>

class UIPanGestureRecognizer;
class UIScrollView;

class RFRefreshComponent : public UIView {
    DV_CLASS(RFRefreshComponent, UIView)

    using RefreshingBlock = std::function<void()>;

    RFRefreshComponent() = default;
    ~RFRefreshComponent() override;
    // The view's own initialiser, then prepare, then idle.
    Ref<RFRefreshComponent> init();
    Ref<RFRefreshComponent> initWithFrame(CGRect frame);

    // Set-up, once, from the initialiser: a subclass calls its superclass first, then adds its
    // own. Here: flexible width, clear background.
    virtual void prepare();
    // The view's own layout, then placeSubviews.
    void layoutSubviews() override;
    // Where a subclass positions its subviews (after its superclass's placement).
    virtual void placeSubviews();
    // Attaching: observation of the scroll view the component enters (see the source).
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;
    // A component asked to refresh outside a window starts refreshing when it is next drawn.
    void drawRect(CGRect rect) override;

    // Dispatches a change observed on the scroll view ("contentOffset", "contentSize") or on its
    // pan recogniser ("state") to the hooks below. Size changes reach a hidden component too;
    // nothing reaches one whose user interaction is off.
    void observeValueForKeyPath(std::string_view keyPath, const dv::KeyValueChange& change);
    // Hooks; nothing here. The change carries the old and the new value (NSValue or NSNumber).
    virtual void scrollViewContentOffsetDidChange(const dv::KeyValueChange& change);
    virtual void scrollViewContentSizeDidChange(const dv::KeyValueChange& change);
    virtual void scrollViewPanStateDidChange(const dv::KeyValueChange& change);

    // The refresh callback: the block, then the target's action with the component as argument.
    RefreshingBlock refreshingBlock() const { return m_refreshingBlock; }
    void setRefreshingBlock(RefreshingBlock block) { m_refreshingBlock = std::move(block); }
    id refreshingTarget() const { return m_refreshingTarget.lock(); }
    void setRefreshingTarget(const id& target) { m_refreshingTarget = target; }
    SEL refreshingAction() const { return m_refreshingAction; }
    void setRefreshingAction(SEL action) { m_refreshingAction = action; }
    void setRefreshingTarget(const id& target, SEL action);

    // Into view and refreshing (will refresh outside a window, refreshing at the next draw).
    virtual void beginRefreshing();
    // Back to idle.
    virtual void endRefreshing();
    // Refreshing or will refresh.
    bool isRefreshing() const;

    RefreshState state() const { return m_state; }
    // Only stores the state here. Every subclass returns at once for an unchanged state, else
    // calls its superclass first and then reacts, reading state() before that call as the old
    // state (headers tell idle after refreshing from idle after pulling so).
    virtual void setState(RefreshState state);

    // How far the component has been pulled into view: 0 to 1 and beyond.
    CGFloat pullingPercent() const { return m_pullingPercent; }
    // Stores the value; unless refreshing, the alpha follows it when automaticallyChangeAlpha.
    virtual void setPullingPercent(CGFloat pullingPercent);

    // When YES the alpha follows pullingPercent (outside a refresh). NO by default.
    bool isAutomaticallyChangeAlpha() const { return m_automaticallyChangeAlpha; }
    void setAutomaticallyChangeAlpha(bool changes);
    // Older names of the same.
    bool isAutoChangeAlpha() const { return isAutomaticallyChangeAlpha(); }
    void setAutoChangeAlpha(bool changes) { setAutomaticallyChangeAlpha(changes); }

    // Calls the owner back, asynchronously on the main queue (nothing when the component is gone
    // by then). A target that does not respond to the action is skipped.
    void executeRefreshingCallback();

    // The scroll view's content inset as it was when the component was attached (headers keep
    // it up to date outside a refresh).
    UIEdgeInsets scrollViewOriginalInset() const { return m_scrollViewOriginalInset; }
    // The scroll view the component was last attached to.
    Ref<UIScrollView> scrollView() const { return m_scrollView.lock(); }
    // The scroll view's pan recogniser, while its state is observed.
    Ref<UIPanGestureRecognizer> pan() const { return m_pan; }

protected:
    // Observes the scroll view's offset and size and its pan's state (old and new values).
    void addObservers();
    // Ends every observation made by addObservers, through the tokens it kept; nothing when
    // nothing is observed.
    void removeObservers();
    void setScrollViewOriginalInset(UIEdgeInsets inset) { m_scrollViewOriginalInset = inset; }

    // A new component of class C with the block, or with the target and action; for the
    // headerWith… and footerWith… factories of the subclasses.
    template <class C>
    static Ref<C> makeWithRefreshingBlock(RefreshingBlock block)
    {
        auto component = alloc<C>();
        component->init();
        component->setRefreshingBlock(std::move(block));
        return component;
    }
    template <class C>
    static Ref<C> makeWithRefreshingTarget(const id& target, SEL action)
    {
        auto component = alloc<C>();
        component->init();
        component->setRefreshingTarget(target, action);
        return component;
    }

private:
    UIEdgeInsets m_scrollViewOriginalInset {};
    Weak<UIScrollView> m_scrollView;
    RefreshingBlock m_refreshingBlock;
    Weak<NSObject> m_refreshingTarget;
    SEL m_refreshingAction;
    RefreshState m_state = RefreshState(0); // 0 only while the initialiser sets the component up
    CGFloat m_pullingPercent = 0;
    bool m_automaticallyChangeAlpha = false;
    Ref<UIPanGestureRecognizer> m_pan;

    // What addObservers registered, and where.
    Weak<UIScrollView> m_observedScrollView;
    dv::ObservationToken m_offsetObservation;
    dv::ObservationToken m_sizeObservation;
    dv::ObservationToken m_panObservation;
};
