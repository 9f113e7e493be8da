#include "ui/toolkit/refresh/RFRefreshHeader.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIScrollView.h"
#include "ui/toolkit/refresh/UIViewRFExtension.h"
#include "ui/toolkit/refresh/internal/RefreshSupport.h"

DV_DEFINE_CLASS(RFRefreshHeader)

void RFRefreshHeader::prepare()
{
    RFRefreshComponent::prepare();
    setLastUpdatedTimeKey(NSString::fromUTF8(RFRefreshHeaderLastUpdatedTimeKey));
    setRf_h(this, RFRefreshHeaderHeight);
}

void RFRefreshHeader::placeSubviews()
{
    RFRefreshComponent::placeSubviews();
    setRf_y(this, -rf_h(this) - m_ignoredScrollViewContentInsetTop);
}

void RFRefreshHeader::scrollViewContentOffsetDidChange(const dv::KeyValueChange& change)
{
    RFRefreshComponent::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll)
        return;
    const CGFloat height = rf_h(this);
    if (state() == RefreshStateRefreshing) {
        // The inset follows the content while refreshing: all of the header's height while it
        // is pulled down, less as the user scrolls it away.
        if (!window())
            return;
        const CGFloat recordedTop = scrollViewOriginalInset().top;
        CGFloat insetT = -rf_offsetY(scroll.get()) > recordedTop ? -rf_offsetY(scroll.get()) : recordedTop;
        insetT = insetT > height + recordedTop ? height + recordedTop : insetT;
        setRf_insetT(scroll.get(), insetT);
        m_insetTDelta = recordedTop - insetT;
        return;
    }

    // Outside a refresh the inset is the owner's: keep it up to date.
    setScrollViewOriginalInset(scroll->contentInset());
    const CGFloat offsetY = rf_offsetY(scroll.get());
    const CGFloat happenOffsetY = -scrollViewOriginalInset().top;
    if (offsetY > happenOffsetY) // the header is out of sight
        return;
    const CGFloat normalToPullingOffsetY = happenOffsetY - height;
    // A header without height shows nothing of itself however far it is pulled.
    const CGFloat pullingPercent = height > 0 ? (happenOffsetY - offsetY) / height : 0;

    if (scroll->isDragging()) {
        setPullingPercent(pullingPercent);
        if (state() == RefreshStateIdle && offsetY < normalToPullingOffsetY)
            setState(RefreshStatePulling);
        else if (state() == RefreshStatePulling && offsetY >= normalToPullingOffsetY)
            setState(RefreshStateIdle);
    } else if (state() == RefreshStatePulling) {
        beginRefreshing();
    } else if (pullingPercent < 1) {
        setPullingPercent(pullingPercent);
    }
}

void RFRefreshHeader::setState(RefreshState state)
{
    const RefreshState oldState = this->state();
    if (state == oldState)
        return;
    RFRefreshComponent::setState(state);

    Weak<RFRefreshHeader> weak = self<RFRefreshHeader>();
    if (state == RefreshStateIdle) {
        if (oldState != RefreshStateRefreshing)
            return;
        if (m_lastUpdatedTimeKey) {
            auto defaults = NSUserDefaults::standardUserDefaults();
            defaults->setObjectForKey(NSDate::date(), m_lastUpdatedTimeKey);
            defaults->synchronize();
        }
        UIView::animateWithDuration(RFRefreshSlowAnimationDuration,
            [this] {
                if (auto scroll = scrollView())
                    setRf_insetT(scroll.get(), rf_insetT(scroll.get()) + m_insetTDelta);
                if (isAutomaticallyChangeAlpha())
                    setAlpha(0.0);
            },
            [weak](bool) {
                if (auto header = weak.lock())
                    header->setPullingPercent(0.0);
            });
    } else if (state == RefreshStateRefreshing) {
        UIView::animateWithDuration(RFRefreshFastAnimationDuration,
            [this] {
                auto scroll = scrollView();
                if (!scroll)
                    return;
                const CGFloat top = scrollViewOriginalInset().top + rf_h(this);
                setRf_insetT(scroll.get(), top);
                setRf_offsetY(scroll.get(), -top);
            },
            [weak](bool) {
                if (auto header = weak.lock())
                    header->executeRefreshingCallback();
            });
    }
}

void RFRefreshHeader::endRefreshing()
{
    if (!dv::as<UICollectionView>(scrollView())) {
        RFRefreshComponent::endRefreshing();
        return;
    }
    Weak<RFRefreshHeader> weak = self<RFRefreshHeader>();
    dv::internal::toolkit::dispatchAfterOnMainQueue(dv::internal::toolkit::kCollectionViewEndDelay, [weak] {
        if (auto header = weak.lock())
            header->RFRefreshComponent::endRefreshing();
    });
}

void RFRefreshHeader::setLastUpdatedTimeKey(const Ref<NSString>& key) { m_lastUpdatedTimeKey = key ? dv::as<NSString>(key->copy()) : nil; }

Ref<NSDate> RFRefreshHeader::lastUpdatedTime() const
{
    if (!m_lastUpdatedTimeKey)
        return nil;
    return dv::as<NSDate>(NSUserDefaults::standardUserDefaults()->objectForKey(m_lastUpdatedTimeKey));
}
